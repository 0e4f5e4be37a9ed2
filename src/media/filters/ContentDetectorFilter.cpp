#include "media/filters/ContentDetectorFilter.h"

#include <algorithm>
#include <string>

#include "core/dv/DvPacks.h"

#include "media/filters/SampleTimeFilter.h"

namespace kelvor::media {

ContentDetectorFilter::ContentDetectorFilter()
    : InPlaceTransformFilter(std::string(kIdentity.Name), std::string(kIdentity.ClassId), false) {}

namespace {

// The decoded picture's size, and its bottom-up RGB24 rows, that the DV samples stand in for.
constexpr int kDvWidth = 720;
constexpr std::size_t kDvRowBytes = kDvWidth * 3;
constexpr int kBlockSize = 8;

std::uint8_t clampByte(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

Status ContentDetectorFilter::CheckInputType(const MediaType& mtIn) {
    if (mtIn.majorType != MajorType::Video)
        return Code::Fail;
    if (mtIn.subtype == Subtype::Rgb24 || (takesDvFrames_ && mtIn.subtype == Subtype::Dvsd))
        return Code::Ok;
    return Code::Fail;
}

Status ContentDetectorFilter::StartStreaming() {
    const MediaType& in = InputMediaType();
    dvInput_ = in.subtype == Subtype::Dvsd;
    if (!dvInput_)
        return Code::Ok;
    // As the decoder: a stream whose pictures are 480 lines high is 525/60, any other 625/50.
    const auto v = in.videoInfo();
    pal_ = !v || v->bmiHeader.biHeight != 480;
    lastLayout_ = dv::DcLayout::None;
    samples_.fill(0);
    if (!picture_)
        picture_ = std::make_unique<dv::DcPicture>();
    const int height = pal_ ? 576 : 480;
    const std::size_t size = kDvRowBytes * static_cast<std::size_t>(height);
    sampleBase_ = std::min(size / kStride, kMaxSamples);
    places_.clear();
    for (std::size_t k = 0, at = 0; at < size && k < kMaxSamples; ++k, at += kStride) {
        const int row = height - 1 - static_cast<int>(at / kDvRowBytes);
        const int column = static_cast<int>(at % kDvRowBytes) / 3;
        places_.push_back({static_cast<std::uint16_t>((row / kBlockSize) * dv::DcPicture::kColumns +
                                                      column / kBlockSize),
                           static_cast<std::uint8_t>(at % 3)});
    }
    sampleCount_ = places_.size();
    return Code::Ok;
}

bool ContentDetectorFilter::sampleDvFrame(std::span<const std::uint8_t> frame) {
    if (!dv::SequenceCountForSize(frame.size()))
        return false;
    const dv::DcLayout layout = dv::FrameDcLayout(frame, lastLayout_);
    if (layout == dv::DcLayout::None || (layout == dv::DcLayout::Ntsc411) == pal_)
        return false;
    if (!dv::ReadDcPicture(frame, layout, *picture_))
        return false;
    lastLayout_ = layout;
    const dv::DcPicture& p = *picture_;
    for (std::size_t k = 0; k < sampleCount_; ++k) {
        const SamplePlace place = places_[k];
        // ITU-R BT.601 studio range into RGB, in the decoder's fixed point.
        const int c = 298 * (p.Y[place.Block] - 16);
        const int d = p.Cb[place.Block] - 128;
        const int e = p.Cr[place.Block] - 128;
        int v = 0;
        switch (place.Channel) {
            case 0:
                v = (c + 516 * d + 128) >> 8;
                break;
            case 1:
                v = (c - 100 * d - 208 * e + 128) >> 8;
                break;
            default:
                v = (c + 409 * e + 128) >> 8;
                break;
        }
        samples_[k] = clampByte(v);
    }
    return true;
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
    if (!dvInput_) {
        std::size_t taken = 0;
        for (std::size_t at = 0; at < bytes.size() && taken < kMaxSamples; at += kStride)
            samples_[taken++] = bytes[at];
        measure({samples_.data(), taken}, std::min(bytes.size() / kStride, kMaxSamples));
        return Code::Ok;
    }
    // A frame that is no picture shows the last one that did (black before any).
    sampleDvFrame(bytes);
    measure({samples_.data(), sampleCount_}, sampleBase_);
    return Code::Ok;
}

void ContentDetectorFilter::measure(std::span<const std::uint8_t> samples, std::size_t n) {
    std::int64_t changed = 0;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const int b = samples[k];
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
