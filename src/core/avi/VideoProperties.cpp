#include "core/avi/VideoProperties.h"

#include "core/avi/ByteReader.h"

namespace kelvor::avi {

namespace {
constexpr double kNarrowestAspect = 0.25;
constexpr double kWidestAspect = 4.0;
}  // namespace

std::optional<VideoProperties> ReadVideoProperties(std::span<const std::uint8_t> data) {
    if (data.size() < VideoProperties::kFixedSize)
        return std::nullopt;
    ByteReader r(data);
    VideoProperties v;
    v.VideoFormatToken = r.readU32LE().value_or(0);
    v.VideoStandard = r.readU32LE().value_or(0);
    v.VerticalRefreshRate = r.readU32LE().value_or(0);
    v.HTotal = r.readU32LE().value_or(0);
    v.VTotal = r.readU32LE().value_or(0);
    const std::uint32_t aspect = r.readU32LE().value_or(0);
    v.AspectWidth = static_cast<std::uint16_t>(aspect >> 16);
    v.AspectHeight = static_cast<std::uint16_t>(aspect & 0xFFFFu);
    v.FrameWidth = r.readU32LE().value_or(0);
    v.FrameHeight = r.readU32LE().value_or(0);
    v.FieldsPerFrame = r.readU32LE().value_or(0);
    if (!r.ok())
        return std::nullopt;
    return v;
}

std::optional<double> FrameAspect(const VideoProperties& properties) {
    if (properties.AspectWidth == 0 || properties.AspectHeight == 0)
        return std::nullopt;
    const double ratio =
        static_cast<double>(properties.AspectWidth) / static_cast<double>(properties.AspectHeight);
    if (ratio < kNarrowestAspect || ratio > kWidestAspect)
        return std::nullopt;
    return ratio;
}

}  // namespace kelvor::avi
