#include "core/scenes/ScnFile.h"

#include <array>
#include <cstdio>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "core/files/OutputFile.h"
#include "core/scenes/TextEncoding.h"

namespace kelvor::scenes {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 14> kFileTag = {0x63, 0x26, 0x01, 0x00, 0x04, 0x00, 0x00,
                                                   0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0A, 0x00};
constexpr std::string_view kSourceTapeClass = "SourceTape";
constexpr std::array<std::uint8_t, 8> kNarrowConstants = {0, 0, 0, 0, 0, 0, 0x00, 0};
constexpr std::array<std::uint8_t, 8> kWideConstants = {0, 0, 0, 0, 0, 0, 0x0C, 0};
constexpr std::array<std::uint8_t, 6> kClipClass = {0xFF, 0xFF, 0x01, 0x00, 0x04, 0x00};
constexpr std::string_view kClipName = "Clip";
constexpr std::uint8_t kClipSchema = 0x50;
constexpr std::uint8_t kCaptionFlag = 0x80;
constexpr std::array<std::uint8_t, 6> kSceneClass = {0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00};
constexpr std::string_view kSceneName = "Scene";
constexpr std::array<std::uint8_t, 6> kFirstSceneTail = {0x00, 0x00, 0x00, 0x00, 0x01, 0x80};
constexpr std::array<std::uint8_t, 3> kNextClipTag = {0x03, 0x80, 0xF0};
constexpr std::array<std::uint8_t, 4> kNextSceneTag = {0x00, 0x00, 0x05, 0x80};
constexpr std::array<std::uint8_t, 6> kNextSceneTail = {0x00, 0x00, 0x00, 0x00, 0x07, 0x00};
constexpr std::array<std::uint8_t, 3> kWideMarker = {0xFF, 0xFE, 0xFF};

// Header bytes before the name's string element, and the 8 constants after it.
constexpr std::size_t kHeaderBeforeName = kFileTag.size() + kSourceTapeClass.size();
constexpr std::size_t kConstantsSize = 8;
// What the reader takes in one piece after the name: the constants, the count, the Clip tag with
// its flags and the first two bytes of the Scene tag; then the rest of that tag.
constexpr std::size_t kFixedAfterName = kConstantsSize + 2 + kClipClass.size() + 4 + 4 + 2;
constexpr std::size_t kCountOffset = kConstantsSize;
constexpr std::size_t kFirstFlagOffset = kConstantsSize + 2 + kClipClass.size() + 4 + 1;
constexpr std::size_t kRestOfSceneTag = kSceneClass.size() + 5 - 2;
constexpr std::size_t kRecordTailSize = kFirstSceneTail.size();
constexpr std::size_t kThreeDwords = 12;
constexpr std::size_t kNextTagSize = kNextClipTag.size() + 1 + kNextSceneTag.size();
constexpr std::size_t kNextFlagOffset = kNextClipTag.size();
static_assert(kFixedAfterName == 26 && kFirstFlagOffset == 21 && kRestOfSceneTag == 9);

constexpr std::uint8_t kLongLength = 0xFF;
constexpr std::uint16_t kWideLength = 0xFFFE;
constexpr std::uint16_t kMaxLongNarrowLength = 1023;
constexpr std::uint8_t kBadWideLength = 0xFF;

// A scn file holds at most 65535 scenes of a few hundred bytes each.
constexpr std::size_t kMaxScnFileSize = 64u << 20;

template <std::size_t N>
void append(Bytes& out, const std::array<std::uint8_t, N>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}
void append(Bytes& out, std::string_view ascii) {
    out.insert(out.end(), ascii.begin(), ascii.end());
}
void appendU32LE(Bytes& out, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A cut at n that would part a CR from its LF moves before the CR.
template <typename Text>
std::size_t keepLineBreaksWhole(const Text& text, std::size_t n) {
    if (n > 0 && n < text.size() && text[n - 1] == '\r' && text[n] == '\n')
        return n - 1;
    return n;
}

void appendString(Bytes& out, std::string_view utf8, ScnVariant variant) {
    if (variant == ScnVariant::Narrow) {
        const std::string bytes = Utf8ToWindows1252(utf8);
        std::size_t n = std::min(bytes.size(), kScnMaxStringLength);
        n = keepLineBreaksWhole(bytes, n);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        return;
    }
    const std::u16string units = Utf8ToUtf16(utf8);
    std::size_t n = Utf16CutLength(units, kScnMaxStringLength);
    n = keepLineBreaksWhole(units, n);
    append(out, kWideMarker);
    out.push_back(static_cast<std::uint8_t>(n));
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(static_cast<std::uint8_t>(units[i] & 0xFF));
        out.push_back(static_cast<std::uint8_t>(units[i] >> 8));
    }
}

// The one reader of scn bytes: every read checks what is left and fails instead of reading
// past the end.
class ScnReader {
  public:
    explicit ScnReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::optional<std::span<const std::uint8_t>> readBytes(std::size_t n) {
        if (bytes_.size() - pos_ < n)
            return std::nullopt;
        const auto s = bytes_.subspan(pos_, n);
        pos_ += n;
        return s;
    }
    bool skip(std::size_t n) { return readBytes(n).has_value(); }
    std::optional<std::uint8_t> readU8() {
        const auto s = readBytes(1);
        if (!s)
            return std::nullopt;
        return (*s)[0];
    }
    std::optional<std::uint16_t> readU16LE() {
        const auto s = readBytes(2);
        if (!s)
            return std::nullopt;
        return static_cast<std::uint16_t>((*s)[0] | ((*s)[1] << 8));
    }
    std::optional<std::uint32_t> readU32LE() {
        const auto s = readBytes(4);
        if (!s)
            return std::nullopt;
        return static_cast<std::uint32_t>((*s)[0]) | (static_cast<std::uint32_t>((*s)[1]) << 8) |
               (static_cast<std::uint32_t>((*s)[2]) << 16) |
               (static_cast<std::uint32_t>((*s)[3]) << 24);
    }
    std::optional<std::int32_t> readI32LE() {
        const auto v = readU32LE();
        if (!v)
            return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }

    // A string element in either variant, as UTF-8.
    std::optional<std::string> readString() {
        const auto b = readU8();
        if (!b)
            return std::nullopt;
        if (*b != kLongLength)
            return readNarrow(*b);
        const auto w = readU16LE();
        if (!w)
            return std::nullopt;
        if (*w <= kMaxLongNarrowLength)
            return readNarrow(*w);
        if (*w != kWideLength)
            return std::nullopt;
        const auto c = readU8();
        if (!c)
            return std::nullopt;
        if (*c == 0 || *c == kBadWideLength)
            return std::string();
        const auto s = readBytes(2 * static_cast<std::size_t>(*c));
        if (!s)
            return std::nullopt;
        std::u16string units;
        units.reserve(*c);
        for (std::size_t i = 0; i < *c; ++i)
            units += static_cast<char16_t>((*s)[2 * i] | ((*s)[2 * i + 1] << 8));
        return Utf16ToUtf8(units);
    }

  private:
    std::optional<std::string> readNarrow(std::size_t n) {
        const auto s = readBytes(n);
        if (!s)
            return std::nullopt;
        std::string bytes;
        for (std::uint8_t b : *s) {
            if (b == 0)
                break;  // narrow text ends at its first zero byte
            bytes += static_cast<char>(b);
        }
        return Windows1252ToUtf8(bytes);
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

std::string captionFromFile(std::uint8_t flag, ScnReader& in, bool& ok, int rank,
                            const SceneRange& scene, double frameRate) {
    ok = true;
    if ((flag & kCaptionFlag) == 0)
        return DefaultSceneCaption(rank, scene, frameRate);
    const auto text = in.readString();
    if (!text) {
        ok = false;
        return {};
    }
    return LinesToCaption(*text);
}

}  // namespace

ScnVariant ScnVariantFromPreference(int typeScn) {
    return typeScn == 1 ? ScnVariant::Narrow : ScnVariant::Wide;
}

ScnWriter::ScnWriter(std::string_view videoName, ScnVariant variant)
    : fileName_(ReplaceExtension(videoName, ".scn")), variant_(variant), videoName_(videoName) {
    file_ = std::make_unique<files::OutputFile>(fileName_, videoName_);
    Bytes header;
    append(header, kFileTag);
    append(header, kSourceTapeClass);
    appendString(header, videoName_, variant_);
    append(header, variant_ == ScnVariant::Narrow ? kNarrowConstants : kWideConstants);
    countPosition_ = header.size();
    file_->Write(header);
}

ScnWriter::~ScnWriter() {
    Close();
}

bool ScnWriter::Good() const {
    return file_ && file_->Good();
}

std::string ScnWriter::Error() const {
    return file_ ? file_->Error() : error_;
}

bool ScnWriter::AddScene(std::string_view caption, std::int32_t endFrame) {
    if (!Good() || count_ == std::numeric_limits<std::uint16_t>::max())
        return false;
    const std::string lines = CaptionToLines(caption);
    const std::uint8_t flag = lines.empty() ? 0 : kCaptionFlag;
    const std::int32_t start = lastEnd_;
    const auto length = SceneRange{start, endFrame}.Length();
    Bytes record;
    if (count_ == 0) {
        record = {0x00, 0x00};  // the count, set below
        append(record, kClipClass);
        append(record, kClipName);
        record.insert(record.end(), {kClipSchema, flag, 0x00, 0x00});
        append(record, kSceneClass);
        append(record, kSceneName);
        appendString(record, {}, variant_);
        appendU32LE(record, 0);
        appendU32LE(record, endFrame);
        append(record, kFirstSceneTail);
        appendString(record, videoName_, variant_);
        appendU32LE(record, 0);
        appendU32LE(record, 0);
        appendU32LE(record, endFrame);
    } else {
        append(record, kNextClipTag);
        record.push_back(flag);
        append(record, kNextSceneTag);
        appendString(record, {}, variant_);
        appendU32LE(record, start);
        appendU32LE(record, length);
        append(record, kNextSceneTail);
        appendU32LE(record, start);
        appendU32LE(record, length);
        appendU32LE(record, start);
    }
    if (flag != 0)
        appendString(record, lines, variant_);
    if (!file_->Write(record))
        return false;
    ++count_;
    lastEnd_ = endFrame;
    const std::array<std::uint8_t, 2> count = {static_cast<std::uint8_t>(count_ & 0xFF),
                                               static_cast<std::uint8_t>(count_ >> 8)};
    return file_->WriteAt(countPosition_, count);
}

bool ScnWriter::Close() {
    if (!file_)
        return false;
    const bool ok = file_->Commit();
    error_ = file_->Error();
    file_.reset();
    return ok;
}

void ScnWriter::Discard() {
    if (!file_)
        return;
    file_->Discard();
    file_.reset();
}

bool ReadScnBytes(std::span<const std::uint8_t> bytes, SceneList& scenes, double frameRate) {
    ScnReader in(bytes);
    if (!in.skip(kHeaderBeforeName) || !in.readString())
        return false;
    const auto fixed = in.readBytes(kFixedAfterName);
    if (!fixed)
        return false;
    const int count = (*fixed)[kCountOffset] | ((*fixed)[kCountOffset + 1] << 8);
    const std::uint8_t firstFlag = (*fixed)[kFirstFlagOffset];
    if (!in.skip(kRestOfSceneTag) || !in.readString() || !in.readU32LE())
        return false;
    const auto firstEnd = in.readI32LE();
    if (!firstEnd)
        return false;
    if (!in.skip(kRecordTailSize) || !in.readString() || !in.skip(kThreeDwords))
        return false;
    bool ok = false;
    SceneRange scene{0, *firstEnd};
    std::string caption = captionFromFile(firstFlag, in, ok, 1, scene, frameRate);
    if (!ok)
        return false;
    scenes.push_back({std::move(caption), scene});
    for (int rank = 2; rank <= count; ++rank) {
        const auto tag = in.readBytes(kNextTagSize);
        if (!tag || !in.readString())
            return false;
        const auto start = in.readI32LE();
        const auto length = in.readU32LE();
        if (!start || !length || !in.skip(kRecordTailSize + kThreeDwords))
            return false;
        // The end wraps like the 32-bit field it came from instead of overflowing.
        scene = {*start, static_cast<std::int32_t>(static_cast<std::uint32_t>(*start) + *length)};
        caption = captionFromFile((*tag)[kNextFlagOffset], in, ok, rank, scene, frameRate);
        if (!ok)
            return false;
        scenes.push_back({std::move(caption), scene});
    }
    return true;
}

bool ReadScnFile(const std::string& scnName, SceneList& scenes, double frameRate) {
    std::FILE* f = std::fopen(scnName.c_str(), "rb");
    if (f == nullptr)
        return false;
    Bytes bytes;
    std::array<std::uint8_t, 64 * 1024> chunk;
    bool readError = false;
    while (bytes.size() < kMaxScnFileSize) {
        const std::size_t want = std::min(chunk.size(), kMaxScnFileSize - bytes.size());
        const std::size_t got = std::fread(chunk.data(), 1, want, f);
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
        if (got < want) {
            readError = std::ferror(f) != 0;
            break;
        }
    }
    std::fclose(f);
    if (readError)
        return false;
    return ReadScnBytes(bytes, scenes, frameRate);
}

}  // namespace kelvor::scenes
