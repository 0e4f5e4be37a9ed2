// The facts the date scene detector reads from one DV frame, shared with the media probe, the
// inlay filter and the player. A plain value.
#pragma once

#include <cstdint>
#include <string>

#include "core/dv/DvPacks.h"

namespace kelvor::scenes {

struct FrameInfo {
    std::int32_t FrameNumber = 0;  // index of the DV frame in the stream, from 0
    bool DateValid = false;        // date and time packs found and forming a real date
    bool TimecodeValid = false;    // timecode pack found
    bool FormatValid = false;      // audio source pack and video source-control pack found
    bool AspectFound = false;      // this frame's video source-control pack found (Widescreen)
    double Date = 0;               // date-time value, whole seconds; 0 when not valid
    dv::Timecode Timecode{};
    std::uint8_t Widescreen = 0;    // 1 for 16:9
    std::uint8_t Standard = 0;      // dv::kStandardPal, dv::kStandardNtsc or 0
    std::int32_t SampleRate = 0;    // 48000, 44100, 32000 or 0
    std::int32_t Quantization = 0;  // 16, 12 or 0
    std::int32_t Channels = 0;
    friend bool operator==(const FrameInfo&, const FrameInfo&) = default;
};

// "1:02:03:04" (hours, minutes, seconds, frames), the timecode text of subtitles and exports.
std::string TimecodeText(const dv::Timecode& timecode);

}  // namespace kelvor::scenes
