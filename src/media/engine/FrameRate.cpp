#include "media/engine/FrameRate.h"

#include <algorithm>

namespace kelvor::media {
namespace {

// Uncompressed pictures, or DV frames (each frame stands alone, so any can be repeated or left
// out).
bool isPicture(const MediaType& mt) {
    if (mt.majorType != MajorType::Video)
        return false;
    if (mt.subtype != Subtype::Rgb24 && mt.subtype != Subtype::I420 &&
        mt.subtype != Subtype::Y41B && mt.subtype != Subtype::Dvsd)
        return false;
    const auto v = mt.videoInfo();
    return v && v->bmiHeader.biWidth > 0 && v->bmiHeader.biHeight != 0;
}

}  // namespace

FrameRateFilter::FrameRateFilter()
    : BaseFilter("Frame Rate Converter", "{8F43E0A4-5B2B-4C6E-9E6A-6F1D2C7B9A10}"),
      input_(&AddInputPin("In")),
      output_(&AddOutputPin("Out")) {}

Status FrameRateFilter::SetOutputRate(std::int64_t num, std::int64_t den) {
    if (State() != FilterState::Stopped)
        return Code::NotStopped;
    if (num <= 0 || den <= 0 || num > 1'000'000 || den > 1'000'000)
        return Code::InvalidArgument;
    num_ = num;
    den_ = den;
    return Code::Ok;
}

StreamTime FrameRateFilter::OutputFrameTime() const {
    return (den_ * kUnitsPerSecond + num_ / 2) / num_;
}

StreamTime FrameRateFilter::dueTime(std::int64_t n) const {
    return base_ + n * den_ * kUnitsPerSecond / num_;
}

Status FrameRateFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin == input_)
        return isPicture(mt) ? Code::Ok : Code::TypeNotAccepted;
    MediaType mine;
    if (GetMediaType(pin, 0, mine) != Code::Ok)
        return Code::TypeNotAccepted;
    return mt == mine ? Code::Ok : Code::TypeNotAccepted;
}

Status FrameRateFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin != output_ || position != 0 || !input_->IsConnected())
        return Code::NoMoreItems;
    const MediaType& in = input_->CurrentMediaType();
    auto v = in.videoInfo();
    if (!v)
        return Code::NoMoreItems;
    v->AvgTimePerFrame = OutputFrameTime();
    mt = MakeVideoType(in.subtype, *v);
    return Code::Ok;
}

Status FrameRateFilter::DecideBufferSize(const Pin& pin, AllocatorProperties& props) {
    if (&pin != output_)
        return Code::Ok;
    const auto v = input_->CurrentMediaType().videoInfo();
    props.BufferCount = 3;
    props.BufferSize = v ? static_cast<std::int32_t>(v->bmiHeader.biSizeImage) : 0;
    return Code::Ok;
}

Status FrameRateFilter::Pause() {
    if (state_ == FilterState::Stopped) {
        started_ = false;
        base_ = 0;
        nextInput_ = 0;
        next_ = 0;
    }
    return BaseFilter::Pause();
}

Status FrameRateFilter::Receive(InputPin&, SamplePtr sample) {
    if (!output_->IsConnected())
        return Code::Ok;
    const auto v = input_->CurrentMediaType().videoInfo();
    const StreamTime inFrame = v && v->AvgTimePerFrame > 0 ? v->AvgTimePerFrame : OutputFrameTime();
    StreamTime start = 0, stop = 0;
    if (sample->GetTime(start, stop).failed()) {
        start = nextInput_;
        stop = start + inFrame;
    } else if (stop <= start) {
        stop = start + inFrame;
    }
    nextInput_ = stop;
    if (!started_) {
        started_ = true;
        base_ = start;
    }
    // The output frames due before this picture ends show it: none (dropped), one, or more.
    std::int64_t count = 0;
    while (dueTime(next_ + count) < stop && count < 1000)
        ++count;
    for (std::int64_t k = 0; k < count; ++k) {
        const std::int64_t n = next_++;
        const bool last = k + 1 == count;
        SamplePtr out = sample;
        if (!last) {
            out = output_->GetDeliveryBuffer();
            out->CopyPropertiesFrom(*sample);
            out->assign(sample->data());
        }
        out->SetTime(dueTime(n), dueTime(n + 1));
        out->SetMediaTime(n, n + 1);
        if (n > 0)
            out->SetDiscontinuity(false);
        const Status hr = output_->Deliver(std::move(out));
        if (hr != Code::Ok)
            return hr;
    }
    return Code::Ok;
}

}  // namespace kelvor::media
