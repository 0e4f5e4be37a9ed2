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

#include "core/avi/FormatBlocks.h"
#include "core/avi/Fourcc.h"
#include "core/dv/DvInfo.h"

namespace kelvor::media {

// Major types and subtypes are four-character codes as stored in AVI stream headers
// ("vids", "dvsd"), read as a little-endian 32-bit value: the core's one code type.
using FourCC = avi::FourccCode;
inline constexpr auto& MakeFourCC = avi::Fourcc;
inline constexpr auto& FourCCText = avi::FourccToPrintable;  // '?' for unprintable bytes

struct MajorType {
    static constexpr FourCC Video = avi::fcc::kVids;
    static constexpr FourCC Audio = avi::fcc::kAuds;
    static constexpr FourCC Interleaved = avi::fcc::kIavs;
    static constexpr FourCC Stream = MakeFourCC("strm");  // a file source's byte stream
};

struct Subtype {
    static constexpr FourCC Dvsd = avi::fcc::kDvsd;
    static constexpr FourCC Rgb24 = MakeFourCC("RGB3");
    // Planar pictures as the DV codec holds them: 4:2:0 (625/50) and 4:1:1 (525/60).
    static constexpr FourCC I420 = MakeFourCC("I420");
    static constexpr FourCC Y41B = MakeFourCC("Y41B");
    static constexpr FourCC Pcm = MakeFourCC("PCM ");
    static constexpr FourCC Avi = MakeFourCC("AVI ");   // the stream of an AVI file
    static constexpr FourCC Wave = MakeFourCC("WAVE");  // the stream of a WAV file
    static constexpr FourCC None = 0;
};

enum class FormatType { None, VideoInfo, WaveFormatEx, DvInfo };

// Stream times count 100 ns units from the start of the stream.
inline constexpr std::int64_t kUnitsPerSecond = 10'000'000;
using StreamTime = std::int64_t;

struct Rect {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The format blocks of the core (BITMAPINFOHEADER 40, WAVEFORMATEX 18, DVINFO 32 bytes).
using BitmapInfoHeader = avi::BitmapInfoHeader;
using WaveFormatEx = avi::WaveFormatEx;
using DvInfo = dv::DvInfo;

// VIDEOINFOHEADER, 88 bytes: the engine's own block around the bitmap header.
struct VideoInfoHeader {
    static constexpr std::size_t kSize = 88;
    Rect rcSource;
    Rect rcTarget;
    std::uint32_t dwBitRate = 0;
    std::uint32_t dwBitErrorRate = 0;
    StreamTime AvgTimePerFrame = 0;
    BitmapInfoHeader bmiHeader;
    friend bool operator==(const VideoInfoHeader&, const VideoInfoHeader&) = default;
};

// The format block bytes of each, as a media type holds them.
std::vector<std::uint8_t> Serialize(const VideoInfoHeader& v);
std::vector<std::uint8_t> Serialize(const WaveFormatEx& w);
std::vector<std::uint8_t> Serialize(const DvInfo& d);
std::optional<VideoInfoHeader> ParseVideoInfoHeader(std::span<const std::uint8_t> bytes);
std::optional<WaveFormatEx> ParseWaveFormatEx(std::span<const std::uint8_t> bytes);
std::optional<DvInfo> ParseDvInfo(std::span<const std::uint8_t> bytes);

struct MediaType {
    FourCC majorType = 0;
    FourCC subtype = Subtype::None;
    FormatType formatType = FormatType::None;
    std::vector<std::uint8_t> format;  // the format block bytes
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
// Sound the resampler takes: 16-bit PCM, 1 to 8 channels, 1,000 to 384,000 Hz. Here, and not
// beside the resampler, so that programs without libswresample can tell what it would pass.
bool IsResamplerInput(const MediaType& mt);
// An RGB24 picture of this size, bottom-up, at this frame duration.
VideoInfoHeader MakeRgb24Info(int width, int height, StreamTime avgTimePerFrame);
// A planar I420 or Y41B picture of this size.
VideoInfoHeader MakePlanarInfo(FourCC subtype, int width, int height, StreamTime avgTimePerFrame);
// A DV video ("dvsd") picture of this standard: 720x576 at 25 Hz or 720x480 at 29.97 Hz.
VideoInfoHeader MakeDvsdInfo(bool pal);

}  // namespace kelvor::media
