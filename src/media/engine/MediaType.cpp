#include "media/engine/MediaType.h"

#include <algorithm>
#include <array>

#include "core/avi/ByteReader.h"

namespace kelvor::media {
namespace {

constexpr std::size_t kBitmapHeaderAt = VideoInfoHeader::kSize - BitmapInfoHeader::kSize;

template <std::size_t N>
std::vector<std::uint8_t> toVector(const std::array<std::uint8_t, N>& bytes) {
    return {bytes.begin(), bytes.end()};
}

}  // namespace

std::vector<std::uint8_t> Serialize(const VideoInfoHeader& v) {
    std::vector<std::uint8_t> out(VideoInfoHeader::kSize);
    std::size_t at = 0;
    auto u32 = [&](std::uint32_t x) {
        avi::StoreU32LE(out, at, x);
        at += 4;
    };
    for (const Rect& r : {v.rcSource, v.rcTarget})
        for (const std::int32_t edge : {r.left, r.top, r.right, r.bottom})
            u32(static_cast<std::uint32_t>(edge));
    u32(v.dwBitRate);
    u32(v.dwBitErrorRate);
    avi::StoreU64LE(out, at, static_cast<std::uint64_t>(v.AvgTimePerFrame));
    const auto bitmap = avi::BlockBytes(v.bmiHeader);
    std::copy(bitmap.begin(), bitmap.end(), out.begin() + kBitmapHeaderAt);
    return out;
}

std::vector<std::uint8_t> Serialize(const WaveFormatEx& w) {
    return toVector(avi::BlockBytes(w));
}

std::vector<std::uint8_t> Serialize(const DvInfo& d) {
    return toVector(avi::BlockBytes(d));
}

std::optional<VideoInfoHeader> ParseVideoInfoHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < VideoInfoHeader::kSize)
        return std::nullopt;
    avi::ByteReader r(bytes);
    VideoInfoHeader v;
    for (Rect* rect : {&v.rcSource, &v.rcTarget})
        for (std::int32_t* edge : {&rect->left, &rect->top, &rect->right, &rect->bottom})
            *edge = *r.readI32LE();
    v.dwBitRate = *r.readU32LE();
    v.dwBitErrorRate = *r.readU32LE();
    v.AvgTimePerFrame = static_cast<StreamTime>(*r.readU64LE());
    v.bmiHeader = *avi::ReadBitmapInfoHeader(r);
    return v;
}

std::optional<WaveFormatEx> ParseWaveFormatEx(std::span<const std::uint8_t> bytes) {
    avi::ByteReader r(bytes);
    return avi::ReadWaveFormatEx(r);
}

std::optional<DvInfo> ParseDvInfo(std::span<const std::uint8_t> bytes) {
    avi::ByteReader r(bytes);
    return avi::ReadDvInfo(r);
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
    mt.majorType = MajorType::Video;
    mt.subtype = subtype;
    mt.formatType = FormatType::VideoInfo;
    mt.format = Serialize(vih);
    mt.sampleSize = vih.bmiHeader.biSizeImage;
    return mt;
}

MediaType MakeAudioType(const WaveFormatEx& wfx) {
    MediaType mt;
    mt.majorType = MajorType::Audio;
    mt.subtype = wfx.wFormatTag == WaveFormatEx::kFormatPcm ? Subtype::Pcm
                                                            : static_cast<FourCC>(wfx.wFormatTag);
    mt.formatType = FormatType::WaveFormatEx;
    mt.format = Serialize(wfx);
    mt.sampleSize = wfx.nBlockAlign;
    return mt;
}

MediaType MakeInterleavedDvType(const DvInfo& info) {
    MediaType mt;
    mt.majorType = MajorType::Interleaved;
    mt.subtype = Subtype::Dvsd;
    mt.formatType = FormatType::DvInfo;
    mt.format = Serialize(info);
    return mt;
}

MediaType MakeStreamType(FourCC subtype) {
    MediaType mt;
    mt.majorType = MajorType::Stream;
    mt.subtype = subtype;
    return mt;
}

bool IsResamplerInput(const MediaType& mt) {
    const auto w = mt.waveFormat();
    return mt.majorType == MajorType::Audio && w && w->wFormatTag == WaveFormatEx::kFormatPcm &&
           w->wBitsPerSample == 16 && w->nChannels >= 1 && w->nChannels <= 8 &&
           w->nSamplesPerSec >= 1000 && w->nSamplesPerSec <= 384000;
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

VideoInfoHeader MakeRgb24Info(int width, int height, StreamTime avgTimePerFrame) {
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

VideoInfoHeader MakePlanarInfo(FourCC subtype, int width, int height, StreamTime avgTimePerFrame) {
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
    v.bmiHeader.biCompression = Subtype::Dvsd;
    v.bmiHeader.biSizeImage = pal ? 144000 : 120000;
    v.dwBitRate = pal ? 28800000 : 28771200;
    return v;
}

}  // namespace kelvor::media
