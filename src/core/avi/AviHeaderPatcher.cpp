#include "core/avi/AviHeaderPatcher.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "core/avi/ByteReader.h"
#include "core/avi/Fourcc.h"
#include "core/files/Rounding.h"

namespace kelvor::avi {

namespace {

constexpr std::int64_t kStrhRead = 56;
constexpr std::int64_t kAvihRead = 56;
constexpr std::int64_t kBitmapRead = 40;
constexpr std::int64_t kDvInfoRead = 32;
constexpr std::int64_t kWaveRead = 18;
constexpr std::int64_t kIndexRead = 16384;
constexpr std::int64_t kCodecInStrh = 12;  // from the chunk start: header 8 + fccHandler 4
constexpr std::int64_t kScaleInStrh = 28;  // header 8 + dwScale 20
constexpr std::int64_t kCompressionInStrf = 16;
constexpr std::uint32_t kFrameRateBase = 1000000;

enum class Kind { None, Video, Audio, Interleaved, Other };

class Walker {
  public:
    Walker(PositionedFile& file, const AviHeaderPatcher::MessagePump& pump)
        : s_(file), pump_(pump) {}

    HeaderFieldOffsets run() {
        std::int64_t remaining = static_cast<std::int64_t>(s_.size());
        while (remaining > 0) {
            const std::int64_t n = walkChunk(0, true);
            if (eof_ || n == 8)
                break;
            remaining -= n;
        }
        return found_;
    }

  private:
    // Reads n bytes (into a scratch buffer; the values are not kept). A short read sets the
    // end-of-file flag.
    bool read(std::span<std::uint8_t> out) {
        if (s_.readExact(out))
            return true;
        eof_ = true;
        return false;
    }
    bool skipRead(std::int64_t n) {
        scratch_.resize(static_cast<std::size_t>(n));
        return read(scratch_);
    }

    std::int64_t walkChunk(int depth, bool top);

    FileStream s_;
    const AviHeaderPatcher::MessagePump& pump_;
    HeaderFieldOffsets found_;
    bool eof_ = false;
    Kind kind_ = Kind::None;
    std::vector<std::uint8_t> scratch_;
};

std::int64_t Walker::walkChunk(int depth, bool top) {
    if (pump_)
        pump_();
    const std::uint64_t chunkStart = s_.position();
    std::array<std::uint8_t, 8> h{};
    if (!read(h))
        return 0;
    const std::uint32_t code = LoadU32LE(h, 0);
    std::int64_t size = LoadU32LE(h, 4);
    if (top && code != fcc::kRiff)
        return 8;
    size += size & 1;
    const std::uint64_t dataStart = s_.position();
    const std::uint64_t left = s_.size() > dataStart ? s_.size() - dataStart : 0;
    if (static_cast<std::uint64_t>(size) > left)
        size = static_cast<std::int64_t>(left);
    const std::int64_t result = size + 8;
    if (size == 0)
        return result;

    if (code == fcc::kRiff || code == fcc::kList) {
        std::array<std::uint8_t, 4> t{};
        if (!read(t))
            return result;
        size -= 4;
        if (LoadU32LE(t, 0) == fcc::kMovi || depth >= kMaxPatcherDepth) {
            s_.seekRelative(size);
            return result;
        }
        while (size > 7 && !eof_) {
            const std::int64_t n = walkChunk(depth + 1, false);
            if (n > size)
                return result;
            size -= n;
        }
        s_.seekRelative(size);
        return result;
    }

    if (code == fcc::kStrh) {
        std::array<std::uint8_t, kStrhRead> b{};
        if (!read(b))
            return result;
        size -= kStrhRead;
        const std::uint32_t type = LoadU32LE(b, 0);
        if (type == fcc::kVids || type == fcc::kIavs) {
            kind_ = type == fcc::kVids ? Kind::Video : Kind::Interleaved;
            found_.CodecOffset = static_cast<std::int64_t>(chunkStart) + kCodecInStrh;
            found_.ScaleOffset = static_cast<std::int64_t>(chunkStart) + kScaleInStrh;
        } else {
            kind_ = type == fcc::kAuds ? Kind::Audio : Kind::Other;
        }
    } else if (code == fcc::kAvih) {
        if (!skipRead(kAvihRead))
            return result;
        size -= kAvihRead;
    } else if (code == fcc::kStrf && kind_ == Kind::Video) {
        std::array<std::uint8_t, kBitmapRead> b{};
        if (!read(b))
            return result;
        found_.CompressionOffset = static_cast<std::int64_t>(dataStart) + kCompressionInStrf;
        size -= kBitmapRead;
        const std::uint32_t c = FourccToLower(LoadU32LE(b, 16));
        if (size >= kDvInfoRead && (c == fcc::kDvsd || c == fcc::kDsvd || c == fcc::kCsvd)) {
            if (!skipRead(kDvInfoRead))
                return result;
            size -= kDvInfoRead;
        }
    } else if (code == fcc::kStrf && kind_ == Kind::Audio) {
        if (!skipRead(kWaveRead))
            return result;
        size -= kWaveRead;
    } else if (code == fcc::kStrf && kind_ == Kind::Interleaved) {
        if (!skipRead(kDvInfoRead))
            return result;
        size -= kDvInfoRead;
    } else if (code == fcc::kIndx || ((code & 0xFF) == 'i' && ((code >> 8) & 0xFF) == 'x')) {
        if (!skipRead(kIndexRead))
            return result;
        size -= kIndexRead;
    }
    // Forward past the rest, or back when a fixed-size read went past a shorter chunk's end.
    s_.seekRelative(size);
    return result;
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
    return Walker(file, pump).run();
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
