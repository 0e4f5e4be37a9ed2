#include "media/engine/MediaType.h"

#include <cstring>

namespace kelvor::media {
namespace {

class LeWriter {
  public:
    void u16(std::uint16_t v) {
        out_.push_back(static_cast<std::uint8_t>(v));
        out_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void i64(std::int64_t v) {
        const auto u = static_cast<std::uint64_t>(v);
        u32(static_cast<std::uint32_t>(u));
        u32(static_cast<std::uint32_t>(u >> 32));
    }
    void rect(const Rect& r) {
        i32(r.left);
        i32(r.top);
        i32(r.right);
        i32(r.bottom);
    }
    std::vector<std::uint8_t> take() { return std::move(out_); }

  private:
    std::vector<std::uint8_t> out_;
};

// Reads fixed-layout blocks; the caller checks the total size first, so every call is in bounds.
class LeReader {
  public:
    explicit LeReader(std::span<const std::uint8_t> b) : b_(b) {}
    std::uint16_t u16() {
        const auto v = static_cast<std::uint16_t>(b_[pos_] | (b_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    std::uint32_t u32() {
        const std::uint32_t lo = u16();
        const std::uint32_t hi = u16();
        return lo | (hi << 16);
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::int64_t i64() {
        const std::uint64_t lo = u32();
        const std::uint64_t hi = u32();
        return static_cast<std::int64_t>(lo | (hi << 32));
    }
    Rect rect() {
        Rect r;
        r.left = i32();
        r.top = i32();
        r.right = i32();
        r.bottom = i32();
        return r;
    }

  private:
    std::span<const std::uint8_t> b_;
    std::size_t pos_ = 0;
};

}  // namespace

std::string FourCCText(FourCC code) {
    std::string s(4, '?');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<char>((code >> (8 * i)) & 0xFF);
        if (c >= 0x20 && c < 0x7F)
            s[static_cast<std::size_t>(i)] = c;
    }
    return s;
}

std::vector<std::uint8_t> Serialize(const VideoInfoHeader& v) {
    LeWriter w;
    w.rect(v.rcSource);
    w.rect(v.rcTarget);
    w.u32(v.dwBitRate);
    w.u32(v.dwBitErrorRate);
    w.i64(v.AvgTimePerFrame);
    const BitmapInfoHeader& b = v.bmiHeader;
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
    return w.take();
}

std::vector<std::uint8_t> Serialize(const WaveFormatEx& f) {
    LeWriter w;
    w.u16(f.wFormatTag);
    w.u16(f.nChannels);
    w.u32(f.nSamplesPerSec);
    w.u32(f.nAvgBytesPerSec);
    w.u16(f.nBlockAlign);
    w.u16(f.wBitsPerSample);
    w.u16(f.cbSize);
    return w.take();
}

std::vector<std::uint8_t> Serialize(const DvInfo& d) {
    LeWriter w;
    w.u32(d.dwDVAAuxSrc);
    w.u32(d.dwDVAAuxCtl);
    w.u32(d.dwDVAAuxSrc1);
    w.u32(d.dwDVAAuxCtl1);
    w.u32(d.dwDVVAuxSrc);
    w.u32(d.dwDVVAuxCtl);
    w.u32(d.dwDVReserved[0]);
    w.u32(d.dwDVReserved[1]);
    return w.take();
}

std::optional<VideoInfoHeader> ParseVideoInfoHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < VideoInfoHeader::kSize)
        return std::nullopt;
    LeReader r(bytes);
    VideoInfoHeader v;
    v.rcSource = r.rect();
    v.rcTarget = r.rect();
    v.dwBitRate = r.u32();
    v.dwBitErrorRate = r.u32();
    v.AvgTimePerFrame = r.i64();
    BitmapInfoHeader& b = v.bmiHeader;
    b.biSize = r.u32();
    b.biWidth = r.i32();
    b.biHeight = r.i32();
    b.biPlanes = r.u16();
    b.biBitCount = r.u16();
    b.biCompression = r.u32();
    b.biSizeImage = r.u32();
    b.biXPelsPerMeter = r.i32();
    b.biYPelsPerMeter = r.i32();
    b.biClrUsed = r.u32();
    b.biClrImportant = r.u32();
    return v;
}

std::optional<WaveFormatEx> ParseWaveFormatEx(std::span<const std::uint8_t> bytes) {
    // A 16-byte PCMWAVEFORMAT (no cbSize) is common in AVI files and reads with cbSize 0.
    if (bytes.size() < WaveFormatEx::kSize - 2)
        return std::nullopt;
    LeReader r(bytes);
    WaveFormatEx f;
    f.wFormatTag = r.u16();
    f.nChannels = r.u16();
    f.nSamplesPerSec = r.u32();
    f.nAvgBytesPerSec = r.u32();
    f.nBlockAlign = r.u16();
    f.wBitsPerSample = r.u16();
    f.cbSize = bytes.size() >= WaveFormatEx::kSize ? r.u16() : 0;
    return f;
}

std::optional<DvInfo> ParseDvInfo(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < DvInfo::kSize)
        return std::nullopt;
    LeReader r(bytes);
    DvInfo d;
    d.dwDVAAuxSrc = r.u32();
    d.dwDVAAuxCtl = r.u32();
    d.dwDVAAuxSrc1 = r.u32();
    d.dwDVAAuxCtl1 = r.u32();
    d.dwDVVAuxSrc = r.u32();
    d.dwDVVAuxCtl = r.u32();
    d.dwDVReserved[0] = r.u32();
    d.dwDVReserved[1] = r.u32();
    return d;
}

std::optional<VideoInfoHeader> MediaType::videoInfo() const {
    if (formatType != FormatType::VideoInfo)
        return std::nullopt;
    return ParseVideoInfoHeader(format);
}
std::optional<WaveFormatEx> MediaType::waveFormat() const {
    if (formatType != FormatType::WaveFormatEx)
        return std::nullopt;
    return ParseWaveFormatEx(format);
}
std::optional<DvInfo> MediaType::dvInfo() const {
    if (formatType != FormatType::DvInfo)
        return std::nullopt;
    return ParseDvInfo(format);
}

MediaType MakeVideoType(FourCC subtype, const VideoInfoHeader& vih) {
    MediaType mt;
    mt.majorType = MEDIATYPE_Video;
    mt.subtype = subtype;
    mt.formatType = FormatType::VideoInfo;
    mt.format = Serialize(vih);
    mt.fixedSizeSamples = true;
    mt.sampleSize = vih.bmiHeader.biSizeImage;
    return mt;
}

MediaType MakeAudioType(const WaveFormatEx& wfx) {
    MediaType mt;
    mt.majorType = MEDIATYPE_Audio;
    mt.subtype = wfx.wFormatTag == WaveFormatEx::kFormatPcm ? MEDIASUBTYPE_PCM
                                                            : static_cast<FourCC>(wfx.wFormatTag);
    mt.formatType = FormatType::WaveFormatEx;
    mt.format = Serialize(wfx);
    mt.fixedSizeSamples = true;
    mt.sampleSize = wfx.nBlockAlign;
    return mt;
}

MediaType MakeInterleavedDvType(const DvInfo& info) {
    MediaType mt;
    mt.majorType = MEDIATYPE_Interleaved;
    mt.subtype = MEDIASUBTYPE_dvsd;
    mt.formatType = FormatType::DvInfo;
    mt.format = Serialize(info);
    mt.fixedSizeSamples = true;
    return mt;
}

MediaType MakeStreamType(FourCC subtype) {
    MediaType mt;
    mt.majorType = MEDIATYPE_Stream;
    mt.subtype = subtype;
    return mt;
}

WaveFormatEx MakePcmFormat(int sampleRate, int channels, int bitsPerSample) {
    WaveFormatEx w;
    w.wFormatTag = WaveFormatEx::kFormatPcm;
    w.nChannels = static_cast<std::uint16_t>(channels);
    w.nSamplesPerSec = static_cast<std::uint32_t>(sampleRate);
    w.wBitsPerSample = static_cast<std::uint16_t>(bitsPerSample);
    w.nBlockAlign = static_cast<std::uint16_t>(channels * bitsPerSample / 8);
    w.nAvgBytesPerSec = w.nSamplesPerSec * w.nBlockAlign;
    return w;
}

VideoInfoHeader MakeRgb24Info(int width, int height, REFERENCE_TIME avgTimePerFrame) {
    VideoInfoHeader v;
    v.AvgTimePerFrame = avgTimePerFrame;
    v.bmiHeader.biWidth = width;
    v.bmiHeader.biHeight = height;
    v.bmiHeader.biBitCount = 24;
    v.bmiHeader.biCompression = 0;
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    v.bmiHeader.biSizeImage = stride * static_cast<std::uint32_t>(height);
    if (avgTimePerFrame > 0)
        v.dwBitRate =
            static_cast<std::uint32_t>(static_cast<std::int64_t>(v.bmiHeader.biSizeImage) * 8 *
                                       kUnitsPerSecond / avgTimePerFrame);
    return v;
}

VideoInfoHeader MakePlanarInfo(FourCC subtype, int width, int height,
                               REFERENCE_TIME avgTimePerFrame) {
    VideoInfoHeader v;
    v.AvgTimePerFrame = avgTimePerFrame;
    v.bmiHeader.biWidth = width;
    v.bmiHeader.biHeight = height;
    v.bmiHeader.biBitCount = 12;
    v.bmiHeader.biCompression = subtype;
    v.bmiHeader.biSizeImage =
        static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 3 / 2;
    return v;
}

VideoInfoHeader MakeDvsdInfo(bool pal) {
    VideoInfoHeader v;
    v.AvgTimePerFrame = pal ? 400000 : 333667;
    v.bmiHeader.biWidth = 720;
    v.bmiHeader.biHeight = pal ? 576 : 480;
    v.bmiHeader.biBitCount = 24;
    v.bmiHeader.biCompression = MEDIASUBTYPE_dvsd;
    v.bmiHeader.biSizeImage = pal ? 144000 : 120000;
    v.dwBitRate = pal ? 28800000 : 28771200;
    return v;
}

}  // namespace kelvor::media
