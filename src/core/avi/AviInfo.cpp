#include "core/avi/AviInfo.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <span>

#include "core/avi/ByteReader.h"
#include "core/avi/Fourcc.h"
#include "core/avi/RiffChunks.h"

namespace kelvor::avi {

namespace {

using namespace layout;

constexpr std::size_t kSuperIndexKept = 88;

bool IsAviForm(std::uint32_t form) {
    const std::string text = FourccToText(form);
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "AVI"[i])
            return false;
    return true;
}

// One walk over a file. Each level counts what its list has left by declared sizes and goes on
// from wherever the level below left the position.
class Walker {
  public:
    Walker(PositionedFile& file, AviParams& p) : c_(file), p_(p) {}

    void run();

  private:
    // Each level ends at a child that claims more than the level has left.
    ChildChunks children(std::uint64_t left) {
        return ChildChunks(c_, left, ChildChunks::Count::Declared, ChildChunks::Overrun::Stop);
    }

    // A list's type; none when its size cannot hold one or the read comes up short.
    std::optional<std::uint32_t> listType(const ChunkHeader& list) {
        return list.Size < 4 ? std::nullopt : c_.readListType();
    }
    void passOver(std::uint64_t n) { c_.skip(static_cast<std::int64_t>(n)); }
    // Keeps the first min(n, out.size()) bytes of a chunk's data, then moves to the end of its
    // data; false when they were not all there (the position then stays where the read stopped).
    bool keep(const ChunkHeader& chunk, std::span<std::uint8_t> out, std::uint64_t n) {
        if (!c_.read(out.first(static_cast<std::size_t>(std::min<std::uint64_t>(n, out.size())))))
            return false;
        c_.seek(chunk.DataStart() + chunk.Size);
        return true;
    }

    bool walkRiff(std::uint64_t left);
    bool walkHeader(std::uint64_t left);
    void walkStream(std::uint64_t left);
    void walkOdml(std::uint64_t left);

    ChunkCursor c_;
    AviParams& p_;
};

void Walker::run() {
    ChildChunks file = children(c_.fileSize());
    while (const auto riff = file.next()) {
        if (riff->Id != fcc::kRiff)
            break;
        const auto form = listType(*riff);
        if (!form || !IsAviForm(*form) || !walkRiff(riff->Size - 4))
            break;
        p_.Valid = true;
    }
    if (p_.VideoIndex >= 0) {
        const AviStream& v = p_.Streams[static_cast<std::size_t>(p_.VideoIndex)];
        if (v.SuperIndexEntriesOffset != 0) {
            const std::uint8_t type = v.SuperIndex[3];
            p_.IndexKind = type == 0 ? 0 : type == 1 ? 1 : 4;
        } else {
            p_.IndexKind = p_.Idx1Offset != 0 ? 2 : 3;
        }
    }
}

// The end of the file inside the RIFF chunk ends its walk well.
bool Walker::walkRiff(std::uint64_t left) {
    ChildChunks list = children(left);
    while (const auto h = list.next()) {
        if (h->Id == fcc::kList) {
            const auto type = listType(*h);
            if (!type)
                return false;
            if (*type == fcc::kHdrl) {
                if (!walkHeader(h->Size - 4))
                    return false;
                continue;
            }
            if (*type == fcc::kMovi)
                p_.MoviOffset = c_.position();
            passOver(h->Size - 4);
        } else {
            if (h->Id == fcc::kIdx1)
                p_.Idx1Offset = c_.position();
            passOver(h->Size);
        }
    }
    return list.end() != ChildChunks::End::Overrun;
}

// Whatever the stream and OpenDML walks meet does not fail the header walk.
bool Walker::walkHeader(std::uint64_t left) {
    ChildChunks list = children(left);
    while (const auto h = list.next()) {
        if (h->Id == fcc::kAvih) {
            // The whole chunk must be there; only its first 56 bytes are kept.
            if (c_.leftInFile() < h->Size || !keep(*h, p_.MainHeader, h->Size))
                return false;
        } else if (h->Id == fcc::kList) {
            const auto type = listType(*h);
            if (!type)
                return false;
            if (*type == fcc::kStrl && p_.Streams.size() < kMaxReaderStreams)
                walkStream(h->Size - 4);
            else if (*type == fcc::kOdml)
                walkOdml(h->Size - 4);
            else
                passOver(h->Size - 4);
        } else {
            passOver(h->Size);
        }
    }
    return list.end() == ChildChunks::End::Exhausted;
}

void Walker::walkStream(std::uint64_t left) {
    p_.Streams.emplace_back();
    const std::size_t index = p_.Streams.size() - 1;
    ChildChunks list = children(left);
    while (const auto h = list.next()) {
        AviStream& st = p_.Streams[index];
        if (h->Id == fcc::kStrh) {
            if (!keep(*h, st.StreamHeader, h->Size))
                return;
            const std::uint32_t type = LoadU32LE(st.StreamHeader, kStrhType);
            if (type == fcc::kAuds && p_.AudioIndex < 0)
                p_.AudioIndex = static_cast<std::int32_t>(index);
            if ((type == fcc::kVids || type == fcc::kIavs) && p_.VideoIndex < 0)
                p_.VideoIndex = static_cast<std::int32_t>(index);
        } else if (h->Id == fcc::kStrf) {
            st.StreamFormat.assign(
                static_cast<std::size_t>(std::min<std::uint64_t>(h->Size, kMaxStreamFormatBytes)),
                0);
            if (!keep(*h, st.StreamFormat, h->Size)) {
                st.StreamFormat.resize(0);
                return;
            }
        } else if (h->Id == fcc::kVprp) {
            st.VideoPropertiesBytes.assign(static_cast<std::size_t>(std::min<std::uint64_t>(
                                               h->Size, kMaxVideoPropertiesBytes)),
                                           0);
            if (!keep(*h, st.VideoPropertiesBytes, h->Size)) {
                st.VideoPropertiesBytes.resize(0);
                return;
            }
        } else if (h->Id == fcc::kIndx) {
            st.SuperIndexEntriesOffset = h->DataStart() + kIndexHeaderSize;
            // A chunk shorter than the 88 bytes read still ends where its size says.
            if (!keep(*h, st.SuperIndex, kSuperIndexKept))
                return;
        } else {
            passOver(h->Size);
        }
    }
}

void Walker::walkOdml(std::uint64_t left) {
    p_.OpenDml = true;
    ChildChunks list = children(left);
    while (const auto h = list.next()) {
        if (h->Id == fcc::kDmlh) {
            if (!keep(*h, p_.OpenDmlHeader, h->Size))
                return;
        } else {
            passOver(h->Size);
        }
    }
}

}  // namespace

AviInfo::AviInfo(const std::string& fileName) {
    auto file = OpenOrRaise(fileName, DiskFile::Mode::Read);
    walk(*file);
}

AviInfo::AviInfo(PositionedFile& file) {
    walk(file);
}

void AviInfo::walk(PositionedFile& file) {
    Walker(file, *this).run();
}

const AviStream* AviInfo::VideoStream() const {
    if (VideoIndex < 0 || static_cast<std::size_t>(VideoIndex) >= Streams.size())
        return nullptr;
    return &Streams[static_cast<std::size_t>(VideoIndex)];
}

std::string AviInfo::VideoCodec() const {
    const AviStream* v = VideoStream();
    if (!v)
        return "####";
    return std::string(v->StreamHeader.begin() + 4, v->StreamHeader.begin() + 8);
}

}  // namespace kelvor::avi
