#include "core/avi/AviHeaderPatcher.h"

#include <array>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/avi/ByteReader.h"
#include "core/avi/ClampedChunkWalk.h"
#include "core/avi/Fourcc.h"
#include "core/files/Rounding.h"

namespace kelvor::avi {

namespace {

using namespace layout;

constexpr std::int64_t kCodecInStrh = 12;  // from the chunk start: header 8 + fccHandler 4
constexpr std::int64_t kScaleInStrh = 28;  // header 8 + dwScale 20
constexpr std::uint32_t kFrameRateBase = 1000000;

// The walk keeps only offsets; the blocks are read to move on and to find a truncated file.
class Walker final : public ClampedChunkWalk {
  public:
    Walker(PositionedFile& file, const AviHeaderPatcher::MessagePump& pump)
        : ClampedChunkWalk(file, false), pump_(pump) {}

    HeaderFieldOffsets offsets() const { return found_; }

  private:
    void startChunk() override {
        if (pump_)
            pump_();
    }
    void headerBlocks(const ChunkHeader& chunk, int depth, std::int64_t& left) override;
    bool skipBlock(std::size_t n, std::int64_t& left) {
        scratch_.resize(n);
        return readBlock(scratch_, left);
    }

    const AviHeaderPatcher::MessagePump& pump_;
    HeaderFieldOffsets found_;
    std::optional<StreamKind> kind_;  // of the last stream header; none before the first
    std::vector<std::uint8_t> scratch_;
};

void Walker::headerBlocks(const ChunkHeader& chunk, int, std::int64_t& left) {
    switch (HeaderBlockOf(chunk.Id, kind_)) {
        case HeaderBlock::StreamHeader: {
            std::array<std::uint8_t, kStreamHeaderSize> b{};
            if (!readBlock(b, left))
                return;
            kind_ = StreamKindOf(LoadU32LE(b, kStrhType));
            if (kind_ == StreamKind::Video || kind_ == StreamKind::Interleaved) {
                found_.CodecOffset = static_cast<std::int64_t>(chunk.Start) + kCodecInStrh;
                found_.ScaleOffset = static_cast<std::int64_t>(chunk.Start) + kScaleInStrh;
            }
            return;
        }
        case HeaderBlock::MainHeader:
            skipBlock(kMainHeaderSize, left);
            return;
        case HeaderBlock::VideoFormat: {
            std::array<std::uint8_t, kBitmapHeaderSize> b{};
            if (!readBlock(b, left))
                return;
            found_.CompressionOffset =
                static_cast<std::int64_t>(chunk.DataStart() + kBiCompression);
            if (above(left, kDvInfoSize - 1) && IsDvCompression(LoadU32LE(b, kBiCompression)))
                skipBlock(kDvInfoSize, left);
            return;
        }
        case HeaderBlock::AudioFormat:
            skipBlock(kWaveFormatSize, left);
            return;
        case HeaderBlock::DvFormat:
            skipBlock(kDvInfoSize, left);
            return;
        case HeaderBlock::Index:
            skipBlock(kIndexBlockRead, left);
            return;
        case HeaderBlock::None:
            return;
    }
}

}  // namespace

class AviHeaderPatcher::Guard {
  public:
    explicit Guard(AviHeaderPatcher& p) : p_(p) {
        if (p_.owner_.load() == std::this_thread::get_id())
            return;  // re-entered: refused
        lock_ = std::unique_lock(p_.mutex_);
        p_.owner_.store(std::this_thread::get_id());
    }
    ~Guard() {
        if (lock_.owns_lock())
            p_.owner_.store(std::thread::id{});
    }
    bool held() const { return lock_.owns_lock(); }

  private:
    AviHeaderPatcher& p_;
    std::unique_lock<std::mutex> lock_;
};

void AviHeaderPatcher::setMessagePump(MessagePump pump) {
    Guard g(*this);
    if (g.held())
        pump_ = std::move(pump);
}

HeaderFieldOffsets AviHeaderPatcher::lastOffsets() const {
    if (owner_.load() == std::this_thread::get_id())
        return offsets_;
    std::lock_guard lock(mutex_);
    return offsets_;
}

HeaderFieldOffsets AviHeaderPatcher::Walk(PositionedFile& file, const MessagePump& pump) {
    Walker walker(file, pump);
    walker.run();
    return walker.offsets();
}

std::uint32_t AviHeaderPatcher::ScaleForRate(double rate) {
    if (!(rate > 0) || !std::isfinite(rate))
        throw std::invalid_argument("frame rate must be above 0");
    const std::int64_t scale = RoundHalfEven(1000000.0 / rate);
    if (scale <= 0 || scale > 0xFFFFFFFFll)
        throw std::invalid_argument("frame rate out of range");
    return static_cast<std::uint32_t>(scale);
}

HeaderFieldOffsets AviHeaderPatcher::LocateHeaderFields(const std::string& fileName) {
    Guard g(*this);
    if (!g.held())
        return {};
    offsets_ = {};
    if (!RegularFileSize(fileName))
        return offsets_;
    auto file = OpenOrRaise(fileName, DiskFile::Mode::Read);
    offsets_ = Walk(*file, pump_);
    return offsets_;
}

std::uint32_t AviHeaderPatcher::ReadCodec(const std::string& fileName) {
    Guard g(*this);
    if (!g.held())
        throw FileError("the header patcher is busy on this thread");
    offsets_ = {};
    auto file = OpenOrRaise(fileName, DiskFile::Mode::Read);
    offsets_ = Walk(*file, pump_);
    if (offsets_.CodecOffset < 0)
        return 0;
    std::array<std::uint8_t, 4> b{};
    const auto n = file->readAt(static_cast<std::uint64_t>(offsets_.CodecOffset), b);
    if (!n || *n != b.size())
        throw FileError("cannot read the codec of " + fileName);
    return LoadU32LE(b, 0);
}

bool AviHeaderPatcher::PatchFields(PositionedFile& file, std::span<const FieldWrite> fields) {
    struct Former {
        std::uint64_t at = 0;
        std::array<std::uint8_t, 8> bytes{};
        std::size_t size = 0;
    };
    std::vector<Former> former;
    const auto putBack = [&] {
        for (auto it = former.rbegin(); it != former.rend(); ++it)
            file.writeAt(it->at, std::span(it->bytes.data(), it->size));
        return false;
    };
    for (const FieldWrite& f : fields) {
        // A field past the end would grow the file; the walk never finds one, but a file cut
        // short since the walk must not be extended.
        if (f.Offset < 0 || f.Size > sizeof f.Bytes ||
            static_cast<std::uint64_t>(f.Offset) + f.Size > file.size())
            continue;
        Former old;
        old.at = static_cast<std::uint64_t>(f.Offset);
        old.size = f.Size;
        const auto got = file.readAt(old.at, std::span(old.bytes.data(), old.size));
        if (!got || *got != old.size)
            return putBack();
        former.push_back(old);
        if (!file.writeAt(old.at, std::span(f.Bytes, f.Size)))
            return putBack();
    }
    return true;
}

bool AviHeaderPatcher::WriteCodec(const std::string& fileName, std::uint32_t code) {
    try {
        Guard g(*this);
        if (!g.held())
            return false;
        offsets_ = {};
        if (!RegularFileSize(fileName))
            return false;
        auto file = DiskFile::open(fileName, DiskFile::Mode::ReadWrite);
        if (!file)
            return false;
        offsets_ = Walk(*file, pump_);
        FieldWrite fields[2];
        fields[0].Offset = offsets_.CodecOffset;
        fields[1].Offset = offsets_.CompressionOffset;
        for (FieldWrite& f : fields) {
            f.Size = 4;
            StoreU32LE(std::span(f.Bytes, 4), 0, code);
        }
        return PatchFields(*file, fields);
    } catch (...) {
        return false;
    }
}

void AviHeaderPatcher::WriteFrameRate(const std::string& fileName, double rate) {
    const std::uint32_t scale = ScaleForRate(rate);
    Guard g(*this);
    if (!g.held())
        throw FileError("the header patcher is busy on this thread");
    offsets_ = {};
    auto file = OpenOrRaise(fileName, DiskFile::Mode::ReadWrite);
    offsets_ = Walk(*file, pump_);
    if (offsets_.ScaleOffset < 0)
        return;
    FieldWrite field;
    field.Offset = offsets_.ScaleOffset;
    field.Size = 8;
    StoreU32LE(std::span(field.Bytes, 8), 0, scale);
    StoreU32LE(std::span(field.Bytes, 8), 4, kFrameRateBase);
    if (static_cast<std::uint64_t>(field.Offset) + 8 > file->size())
        return;
    if (!PatchFields(*file, std::span(&field, 1)))
        throw FileError("cannot write the frame rate of " + fileName);
}

}  // namespace kelvor::avi
