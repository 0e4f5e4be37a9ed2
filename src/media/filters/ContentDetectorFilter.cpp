#include "media/filters/ContentDetectorFilter.h"

#include <algorithm>
#include <string>

#include "media/filters/SampleTimeFilter.h"

namespace kelvor::media {

ContentDetectorFilter::ContentDetectorFilter()
    : InPlaceTransformFilter(std::string(kIdentity.Name), std::string(kIdentity.ClassId), false) {}

Status ContentDetectorFilter::CheckInputType(const MediaType& mtIn) {
    return mtIn.majorType == MajorType::Video && mtIn.subtype == Subtype::Rgb24 ? Code::Ok
                                                                                : Code::Fail;
}

std::int32_t ContentDetectorFilter::stamperFrame() const {
    // The frame number is the low 32 bits of the media start, as the scene writers take it.
    return sampleTimes_ ? static_cast<std::int32_t>(static_cast<std::uint32_t>(
                              static_cast<std::uint64_t>(sampleTimes_->MediaStart())))
                        : 0;
}

void ContentDetectorFilter::reportSceneEnd(std::int32_t frame) const {
    if (!OnSceneEnd)
        return;
    try {
        OnSceneEnd(frame);
    } catch (...) {
        // A sink's failure must not stop the stream.
    }
}

Status ContentDetectorFilter::Transform(MediaSample& sample) {
    const auto bytes = sample.data();
    const std::size_t n = std::min(bytes.size() / kStride, kMaxSamples);
    std::int64_t changed = 0;
    for (std::size_t k = 0, at = 0; at < bytes.size() && k < kMaxSamples; ++k, at += kStride) {
        const int b = bytes[at];
        const int d = b - previous_[k];
        changed += d > kChangeThreshold || d < -kChangeThreshold;
        previous_[k] = static_cast<std::uint8_t>(b);
    }
    // c > 0.3 n, in whole numbers.
    const bool change = 10 * changed > 3 * static_cast<std::int64_t>(n) &&
                        changed > 2 * history_[0] && changed > 2 * history_[1] &&
                        changed > 2 * history_[2];
    if (change)
        reportSceneEnd(stamperFrame());
    history_ = {changed, history_[0], history_[1]};
    return Code::Ok;
}

Status ContentDetectorFilter::Stop() {
    if (State() != FilterState::Stopped) {
        reportSceneEnd(stamperFrame());
        // A copy, since the handler may well clear the callbacks.
        const auto streamEnd = OnStreamEnd;
        if (streamEnd) {
            try {
                streamEnd();
            } catch (...) {
                // As above: the stream end of a sink that failed is still an end.
            }
        }
    }
    return InPlaceTransformFilter::Stop();
}

}  // namespace kelvor::media
