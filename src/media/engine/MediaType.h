// Media types: what flows on a connection between two filters, in the vocabulary the program's
// filters were written against: a major type, a subtype, a format type and the format block bytes
// (VIDEOINFOHEADER, WAVEFORMATEX or DVINFO, little-endian as they sit in an AVI file).
//
// Values only: copyable, no shared state, any thread may use them. The parsers return
// std::nullopt when a block is too short; they never read past the bytes they are given.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvor::media {

// Major types and subtypes are four-character codes as stored in AVI stream headers
// ("vids", "dvsd"), read as a little-endian 32-bit value.
using FourCC = std::uint32_t;

constexpr FourCC MakeFourCC(const char (&s)[5]) {
    return static_cast<FourCC>(static_cast<std::uint8_t>(s[0])) |
           (static_cast<FourCC>(static_cast<std::uint8_t>(s[1])) << 8) |
           (static_cast<FourCC>(static_cast<std::uint8_t>(s[2])) << 16) |
           (static_cast<FourCC>(static_cast<std::uint8_t>(s[3])) << 24);
}
std::string FourCCText(FourCC code);  // four printable characters, '?' for others

inline constexpr FourCC MEDIATYPE_Video = MakeFourCC("vids");
inline constexpr FourCC MEDIATYPE_Audio = MakeFourCC("auds");
inline constexpr FourCC MEDIATYPE_Interleaved = MakeFourCC("iavs");
inline constexpr FourCC MEDIATYPE_Stream = MakeFourCC("strm");  // a file source's byte stream

inline constexpr FourCC MEDIASUBTYPE_dvsd = MakeFourCC("dvsd");
inline constexpr FourCC MEDIASUBTYPE_RGB24 = MakeFourCC("RGB3");
// Planar pictures as the DV codec holds them: 4:2:0 (625/50) and 4:1:1 (525/60).
inline constexpr FourCC MEDIASUBTYPE_I420 = MakeFourCC("I420");
inline constexpr FourCC MEDIASUBTYPE_Y41B = MakeFourCC("Y41B");
inline constexpr FourCC MEDIASUBTYPE_PCM = MakeFourCC("PCM ");
inline constexpr FourCC MEDIASUBTYPE_Avi = MakeFourCC("AVI ");   // the stream of an AVI file
inline constexpr FourCC MEDIASUBTYPE_WAVE = MakeFourCC("WAVE");  // the stream of a WAV file
inline constexpr FourCC MEDIASUBTYPE_None = 0;

enum class FormatType { None, VideoInfo, WaveFormatEx, DvInfo };

inline constexpr std::int64_t kUnitsPerSecond = 10'000'000;  // REFERENCE_TIME: 100 ns units
using REFERENCE_TIME = std::int64_t;

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// BITMAPINFOHEADER, 40 bytes.
struct BitmapInfoHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;  // positive: bottom-up rows
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;  // 0 = BI_RGB, else a four-character code
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
    friend bool operator==(const BitmapInfoHeader&, const BitmapInfoHeader&) = default;
};

// VIDEOINFOHEADER, 88 bytes.
struct VideoInfoHeader {
    static constexpr std::size_t kSize = 88;
    Rect rcSource;
    Rect rcTarget;
    std::uint32_t dwBitRate = 0;
    std::uint32_t dwBitErrorRate = 0;
    REFERENCE_TIME AvgTimePerFrame = 0;
    BitmapInfoHeader bmiHeader;
    friend bool operator==(const VideoInfoHeader&, const VideoInfoHeader&) = default;
};

// WAVEFORMATEX, 18 bytes (extra bytes after cbSize are not kept).
struct WaveFormatEx {
    static constexpr std::size_t kSize = 18;
    static constexpr std::uint16_t kFormatPcm = 1;
    std::uint16_t wFormatTag = kFormatPcm;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
    friend bool operator==(const WaveFormatEx&, const WaveFormatEx&) = default;
};

// DVINFO, 32 bytes: the AAUX and VAUX source and control packs of the first frame, less ids.
struct DvInfo {
    static constexpr std::size_t kSize = 32;
    std::uint32_t dwDVAAuxSrc = 0;
    std::uint32_t dwDVAAuxCtl = 0;
    std::uint32_t dwDVAAuxSrc1 = 0;
    std::uint32_t dwDVAAuxCtl1 = 0;
    std::uint32_t dwDVVAuxSrc = 0;
    std::uint32_t dwDVVAuxCtl = 0;
    std::array<std::uint32_t, 2> dwDVReserved{};
    friend bool operator==(const DvInfo&, const DvInfo&) = default;
};

std::vector<std::uint8_t> Serialize(const VideoInfoHeader& v);
std::vector<std::uint8_t> Serialize(const WaveFormatEx& w);
std::vector<std::uint8_t> Serialize(const DvInfo& d);
std::optional<VideoInfoHeader> ParseVideoInfoHeader(std::span<const std::uint8_t> bytes);
std::optional<WaveFormatEx> ParseWaveFormatEx(std::span<const std::uint8_t> bytes);
std::optional<DvInfo> ParseDvInfo(std::span<const std::uint8_t> bytes);

struct MediaType {
    FourCC majorType = 0;
    FourCC subtype = MEDIASUBTYPE_None;
    FormatType formatType = FormatType::None;
    std::vector<std::uint8_t> format;  // the format block bytes
    bool fixedSizeSamples = false;
    bool temporalCompression = false;
    std::uint32_t sampleSize = 0;

    std::optional<VideoInfoHeader> videoInfo() const;
    std::optional<WaveFormatEx> waveFormat() const;
    std::optional<DvInfo> dvInfo() const;
    friend bool operator==(const MediaType&, const MediaType&) = default;
};

// The types the engine's own stages produce.
MediaType MakeVideoType(FourCC subtype, const VideoInfoHeader& vih);
MediaType MakeAudioType(const WaveFormatEx& wfx);
MediaType MakeInterleavedDvType(const DvInfo& info);
MediaType MakeStreamType(FourCC subtype);
WaveFormatEx MakePcmFormat(int sampleRate, int channels, int bitsPerSample = 16);
// An RGB24 picture of this size, bottom-up, at this frame duration.
VideoInfoHeader MakeRgb24Info(int width, int height, REFERENCE_TIME avgTimePerFrame);
// A planar I420 or Y41B picture of this size.
VideoInfoHeader MakePlanarInfo(FourCC subtype, int width, int height,
                               REFERENCE_TIME avgTimePerFrame);
// A DV video ("dvsd") picture of this standard: 720x576 at 25 Hz or 720x480 at 29.97 Hz.
VideoInfoHeader MakeDvsdInfo(bool pal);

}  // namespace kelvor::media
