#include "core/avi/FormatBlocks.h"

namespace kelvor::avi {
namespace {

static_assert(dv::DvInfo::kSize == layout::kDvInfoSize);

// Little-endian stores into a block of a known size, field after field.
template <std::size_t N>
class BlockWriter {
  public:
    void u16(std::uint16_t v) {
        StoreU16LE(b_, pos_, v);
        pos_ += 2;
    }
    void u32(std::uint32_t v) {
        StoreU32LE(b_, pos_, v);
        pos_ += 4;
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    const std::array<std::uint8_t, N>& bytes() const { return b_; }

  private:
    std::array<std::uint8_t, N> b_{};
    std::size_t pos_ = 0;
};

// Whether n bytes are left; when they are not, the reader is put in its failed state.
bool HasBytes(ByteReader& r, std::size_t n) {
    return r.remaining() >= n || r.skip(n);
}

}  // namespace

std::optional<BitmapInfoHeader> ReadBitmapInfoHeader(ByteReader& r) {
    if (!HasBytes(r, BitmapInfoHeader::kSize))
        return std::nullopt;
    BitmapInfoHeader b;
    b.biSize = *r.readU32LE();
    b.biWidth = *r.readI32LE();
    b.biHeight = *r.readI32LE();
    b.biPlanes = *r.readU16LE();
    b.biBitCount = *r.readU16LE();
    b.biCompression = *r.readFourcc();
    b.biSizeImage = *r.readU32LE();
    b.biXPelsPerMeter = *r.readI32LE();
    b.biYPelsPerMeter = *r.readI32LE();
    b.biClrUsed = *r.readU32LE();
    b.biClrImportant = *r.readU32LE();
    return b;
}

std::optional<WaveFormatEx> ReadWaveFormatEx(ByteReader& r) {
    constexpr std::size_t kWithoutCbSize = WaveFormatEx::kSize - 2;
    if (!HasBytes(r, kWithoutCbSize))
        return std::nullopt;
    WaveFormatEx w;
    w.wFormatTag = *r.readU16LE();
    w.nChannels = *r.readU16LE();
    w.nSamplesPerSec = *r.readU32LE();
    w.nAvgBytesPerSec = *r.readU32LE();
    w.nBlockAlign = *r.readU16LE();
    w.wBitsPerSample = *r.readU16LE();
    w.cbSize = r.remaining() >= 2 ? *r.readU16LE() : 0;
    return w;
}

std::optional<dv::DvInfo> ReadDvInfo(ByteReader& r) {
    if (!HasBytes(r, dv::DvInfo::kSize))
        return std::nullopt;
    dv::DvInfo d;
    for (std::uint32_t* word :
         {&d.dwDVAAuxSrc, &d.dwDVAAuxCtl, &d.dwDVAAuxSrc1, &d.dwDVAAuxCtl1, &d.dwDVVAuxSrc,
          &d.dwDVVAuxCtl, &d.dwDVReserved[0], &d.dwDVReserved[1]})
        *word = *r.readU32LE();
    return d;
}

std::array<std::uint8_t, BitmapInfoHeader::kSize> BlockBytes(const BitmapInfoHeader& b) {
    BlockWriter<BitmapInfoHeader::kSize> w;
    w.u32(b.biSize);
    w.i32(b.biWidth);
    w.i32(b.biHeight);
    w.u16(b.biPlanes);
    w.u16(b.biBitCount);
    w.u32(b.biCompression);
    w.u32(b.biSizeImage);
    w.i32(b.biXPelsPerMeter);
    w.i32(b.biYPelsPerMeter);
    w.u32(b.biClrUsed);
    w.u32(b.biClrImportant);
    return w.bytes();
}

std::array<std::uint8_t, WaveFormatEx::kSize> BlockBytes(const WaveFormatEx& f) {
    BlockWriter<WaveFormatEx::kSize> w;
    w.u16(f.wFormatTag);
    w.u16(f.nChannels);
    w.u32(f.nSamplesPerSec);
    w.u32(f.nAvgBytesPerSec);
    w.u16(f.nBlockAlign);
    w.u16(f.wBitsPerSample);
    w.u16(f.cbSize);
    return w.bytes();
}

std::array<std::uint8_t, dv::DvInfo::kSize> BlockBytes(const dv::DvInfo& d) {
    BlockWriter<dv::DvInfo::kSize> w;
    for (const std::uint32_t word :
         {d.dwDVAAuxSrc, d.dwDVAAuxCtl, d.dwDVAAuxSrc1, d.dwDVAAuxCtl1, d.dwDVVAuxSrc,
          d.dwDVVAuxCtl, d.dwDVReserved[0], d.dwDVReserved[1]})
        w.u32(word);
    return w.bytes();
}

}  // namespace kelvor::avi
