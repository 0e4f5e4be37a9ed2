// The OpenDML video properties header ("vprp" in a stream list): the video format token and
// standard, the refresh rate, the total and active sizes, and the frame's display aspect as two
// 16-bit words (high: width, low: height, e.g. 0x00100009 for 16:9), then one field description
// per field. Only the fixed part is read; the field descriptions are not needed.
//
// Values and pure functions over a byte span: no allocation, no I/O, any thread. Failure: a chunk
// too short for the fixed part gives no value; odd aspect words give no aspect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kelvor::avi {

struct VideoProperties {
    static constexpr std::size_t kFixedSize = 36;  // nine words before the field descriptions
    std::uint32_t VideoFormatToken = 0;
    std::uint32_t VideoStandard = 0;
    std::uint32_t VerticalRefreshRate = 0;
    std::uint32_t HTotal = 0;
    std::uint32_t VTotal = 0;
    std::uint16_t AspectWidth = 0;   // high word of dwFrameAspectRatio
    std::uint16_t AspectHeight = 0;  // low word
    std::uint32_t FrameWidth = 0;
    std::uint32_t FrameHeight = 0;
    std::uint32_t FieldsPerFrame = 0;
};

// The fixed part of a "vprp" chunk's data; none when fewer than kFixedSize bytes are there.
std::optional<VideoProperties> ReadVideoProperties(std::span<const std::uint8_t> data);

// The width-to-height ratio the properties announce; none when a word is 0 or the ratio lies
// outside what a picture can be (below 1:4 or above 4:1), as writers that fill the field with
// the pixel size or garbage do.
std::optional<double> FrameAspect(const VideoProperties& properties);

}  // namespace kelvor::avi
