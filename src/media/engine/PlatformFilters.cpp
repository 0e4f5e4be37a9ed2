#include "media/engine/PlatformFilters.h"

#include <cstring>

#include "media/engine/DvCodec.h"
#include "media/engine/FfmpegUtil.h"

namespace kelvor::media {

// ---- tee ----

InfiniteTeeFilter::InfiniteTeeFilter()
    : BaseFilter("Infinite Pin Tee Filter", "{F8388A40-D5BB-11D0-BE5A-0080C706568E}") {
    AddInputPin("Input");
    AddOutputPin("Output1");
}

Status InfiniteTeeFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (pin.Direction() == PinDirection::Input)
        return Code::Ok;
    return GetPin(0)->IsConnected() && mt == GetPin(0)->CurrentMediaType() ? Code::Ok
                                                                           : Code::TypeNotAccepted;
}

Status InfiniteTeeFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (pin.Direction() != PinDirection::Output || position != 0 || !GetPin(0)->IsConnected())
        return Code::NoMoreItems;
    mt = GetPin(0)->CurrentMediaType();
    return Code::Ok;
}

Status InfiniteTeeFilter::CompleteConnect(Pin& pin) {
    if (pin.Direction() == PinDirection::Output && GetPin(PinCount() - 1) == &pin &&
        PinCount() < 64)
        AddOutputPin("Output" + std::to_string(PinCount()));
    return Code::Ok;
}

Status InfiniteTeeFilter::Receive(InputPin&, SamplePtr sample) {
    Status result = Code::False;
    for (int i = 1; i < PinCount(); ++i) {
        auto* out = static_cast<OutputPin*>(GetPin(i));
        if (!out->IsConnected())
            continue;
        const Status hr = out->Deliver(sample);
        // The stream goes on while any output still takes it.
        if (hr == Code::Ok)
            result = Code::Ok;
        else if (hr.failed() && hr != Code::WrongState)
            return hr;
    }
    return result;
}

// ---- resampler ----

struct AudioResamplerFilter::Impl {
    ff::SwrPtr swr;  // null when the sound passes unchanged
    int inChannels = 2;
    int outChannels = 2;
    int inRate = 0;
};

AudioResamplerFilter::AudioResamplerFilter()
    : TransformFilter("ACM Wrapper", "{6A08CF80-0E18-11CF-A24D-0020AFD79767}") {}
AudioResamplerFilter::~AudioResamplerFilter() = default;

Status AudioResamplerFilter::SetOutputRate(int rate) {
    if (State() != FilterState::Stopped)
        return Code::NotStopped;
    if (rate != 0 && (rate < 8000 || rate > 192000))
        return Code::InvalidArgument;
    rate_ = rate;
    return Code::Ok;
}

Status AudioResamplerFilter::SetOutputChannels(int channels) {
    if (State() != FilterState::Stopped)
        return Code::NotStopped;
    if (channels < 0 || channels > 8)
        return Code::InvalidArgument;
    channels_ = channels;
    return Code::Ok;
}

Status AudioResamplerFilter::CheckInputType(const MediaType& mt) {
    return IsResamplerInput(mt) ? Code::Ok : Code::TypeNotAccepted;
}

Status AudioResamplerFilter::GetMediaType(int position, MediaType& mt) {
    if (position != 0)
        return Code::NoMoreItems;
    const auto w = InputMediaType().waveFormat();
    if (!w)
        return Code::NoMoreItems;
    mt = MakeAudioType(MakePcmFormat(rate_ ? rate_ : static_cast<int>(w->nSamplesPerSec),
                                     channels_ ? channels_ : w->nChannels));
    return Code::Ok;
}

Status AudioResamplerFilter::CheckTransform(const MediaType&, const MediaType& out) {
    MediaType mine;
    if (GetMediaType(0, mine) != Code::Ok)
        return Code::TypeNotAccepted;
    return out.waveFormat() == mine.waveFormat() ? Code::Ok : Code::TypeNotAccepted;
}

Status AudioResamplerFilter::DecideBufferSize(AllocatorProperties& props) {
    props.BufferCount = 4;
    props.BufferSize = 64 * 1024;
    return Code::Ok;
}

Status AudioResamplerFilter::StartStreaming() {
    // A wrapper left out of the graph's streams (a second one without a second sound) idles.
    if (!Input().IsConnected() || !Output().IsConnected())
        return Code::Ok;
    const auto in = InputMediaType().waveFormat();
    const auto out = OutputMediaType().waveFormat();
    if (!in || !out)
        return Code::Unexpected;
    s_ = std::make_unique<Impl>();
    s_->inChannels = in->nChannels;
    s_->outChannels = out->nChannels;
    s_->inRate = static_cast<int>(in->nSamplesPerSec);
    samplesOut_ = 0;
    if (in->nSamplesPerSec == out->nSamplesPerSec && in->nChannels == out->nChannels)
        return Code::Ok;
    AVChannelLayout inLayout, outLayout;
    av_channel_layout_default(&inLayout, in->nChannels);
    av_channel_layout_default(&outLayout, out->nChannels);
    SwrContext* swr = nullptr;
    const int err = swr_alloc_set_opts2(
        &swr, &outLayout, AV_SAMPLE_FMT_S16, static_cast<int>(out->nSamplesPerSec), &inLayout,
        AV_SAMPLE_FMT_S16, static_cast<int>(in->nSamplesPerSec), 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (err < 0 || !swr)
        return Code::Fail;
    s_->swr.reset(swr);
    return swr_init(swr) < 0 ? Code::Fail : Code::Ok;
}

Status AudioResamplerFilter::Transform(const MediaSample& in, MediaSample& out) {
    const int inFrameBytes = 2 * s_->inChannels;
    const int outFrameBytes = 2 * s_->outChannels;
    const int inSamples = in.GetActualDataLength() / inFrameBytes;
    const auto outRate = static_cast<int>(OutputMediaType().waveFormat()->nSamplesPerSec);
    int got = 0;
    if (!s_->swr) {
        got = inSamples;
        out.assign({in.GetPointer(), static_cast<std::size_t>(got) * inFrameBytes});
    } else {
        const int room = static_cast<int>(swr_get_out_samples(s_->swr.get(), inSamples)) + 16;
        out.Reserve(static_cast<std::size_t>(room) * static_cast<std::size_t>(outFrameBytes));
        const std::uint8_t* src[1] = {in.GetPointer()};
        std::uint8_t* dst[1] = {out.GetPointer()};
        got = swr_convert(s_->swr.get(), dst, room, src, inSamples);
        if (got < 0)
            return Code::Fail;
        out.SetActualDataLength(got * outFrameBytes);
    }
    StreamTime t0 = 0, t1 = 0;
    if (in.GetTime(t0, t1).ok())
        out.SetTime(t0, t0 + static_cast<StreamTime>(got) * kUnitsPerSecond / outRate);
    out.SetMediaTime(samplesOut_, samplesOut_ + got);
    samplesOut_ += got;
    return got > 0 ? Code::Ok : Code::False;
}

void AudioResamplerFilter::EndOfStream(InputPin& pin) {
    // What the resampler still holds goes out before the end.
    if (s_ && s_->swr && Output().IsConnected()) {
        const int frameBytes = 2 * s_->outChannels;
        SamplePtr out = Output().GetDeliveryBuffer();
        const int room = 4096;
        out->Reserve(static_cast<std::size_t>(room * frameBytes));
        std::uint8_t* dst[1] = {out->GetPointer()};
        const int got = swr_convert(s_->swr.get(), dst, room, nullptr, 0);
        if (got > 0) {
            out->SetActualDataLength(got * frameBytes);
            out->SetMediaTime(samplesOut_, samplesOut_ + got);
            samplesOut_ += got;
            Output().Deliver(std::move(out));
        }
    }
    TransformFilter::EndOfStream(pin);
}

Status AudioResamplerFilter::StopStreaming() {
    s_.reset();
    return Code::Ok;
}

// ---- colour converter ----

struct ColourConverterFilter::Impl {
    SwsContext* sws = nullptr;
    ~Impl() { sws_freeContext(sws); }
};

ColourConverterFilter::ColourConverterFilter()
    : TransformFilter("Color Space Converter", "{1643E180-90F5-11CE-97D5-00AA0055595A}") {}
ColourConverterFilter::~ColourConverterFilter() = default;

Status ColourConverterFilter::CheckInputType(const MediaType& mt) {
    if (mt.majorType != MajorType::Video)
        return Code::TypeNotAccepted;
    if (mt.subtype != Subtype::I420 && mt.subtype != Subtype::Y41B && mt.subtype != Subtype::Rgb24)
        return Code::TypeNotAccepted;
    const auto v = mt.videoInfo();
    if (!v || v->bmiHeader.biWidth <= 0 || v->bmiHeader.biHeight <= 0 ||
        v->bmiHeader.biWidth > 8192 || v->bmiHeader.biHeight > 8192 ||
        v->bmiHeader.biWidth % 4 != 0)
        return Code::TypeNotAccepted;
    return Code::Ok;
}

Status ColourConverterFilter::GetMediaType(int position, MediaType& mt) {
    if (position != 0)
        return Code::NoMoreItems;
    const auto v = InputMediaType().videoInfo();
    if (!v)
        return Code::NoMoreItems;
    mt = MakeVideoType(Subtype::Rgb24, MakeRgb24Info(v->bmiHeader.biWidth, v->bmiHeader.biHeight,
                                                     v->AvgTimePerFrame));
    return Code::Ok;
}

Status ColourConverterFilter::CheckTransform(const MediaType&, const MediaType& out) {
    MediaType mine;
    if (GetMediaType(0, mine) != Code::Ok)
        return Code::TypeNotAccepted;
    return out.subtype == mine.subtype && out.format == mine.format ? Code::Ok
                                                                    : Code::TypeNotAccepted;
}

Status ColourConverterFilter::DecideBufferSize(AllocatorProperties& props) {
    const auto v = OutputMediaType().videoInfo();
    props.BufferCount = 3;
    props.BufferSize = v ? static_cast<std::int32_t>(v->bmiHeader.biSizeImage) : 0;
    return Code::Ok;
}

Status ColourConverterFilter::Transform(const MediaSample& in, MediaSample& out) {
    const auto v = InputMediaType().videoInfo();
    const int w = v->bmiHeader.biWidth, h = v->bmiHeader.biHeight;
    const std::size_t stride = Rgb24Stride(w);
    const std::size_t outSize = stride * static_cast<std::size_t>(h);
    out.Reserve(outSize);
    const FourCC sub = InputMediaType().subtype;
    if (sub == Subtype::Rgb24) {
        if (static_cast<std::size_t>(in.GetActualDataLength()) < outSize)
            return Code::Fail;
        std::memcpy(out.GetPointer(), in.GetPointer(), outSize);
    } else {
        if (static_cast<std::size_t>(in.GetActualDataLength()) < PlanarSize(w, h))
            return Code::Fail;
        if (!s_)
            s_ = std::make_unique<Impl>();
        const AVPixelFormat fmt = sub == Subtype::I420 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV411P;
        s_->sws = sws_getCachedContext(s_->sws, w, h, fmt, w, h, AV_PIX_FMT_BGR24,
                                       SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
        if (!s_->sws)
            return Code::Fail;
        const int cw = sub == Subtype::I420 ? w / 2 : w / 4;
        const int ch = sub == Subtype::I420 ? h / 2 : h;
        const std::uint8_t* y = in.GetPointer();
        const std::uint8_t* u = y + static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
        const std::uint8_t* vv = u + static_cast<std::size_t>(cw) * static_cast<std::size_t>(ch);
        const std::uint8_t* src[4] = {y, u, vv, nullptr};
        const int srcStride[4] = {w, cw, cw, 0};
        std::uint8_t* dst[4] = {out.GetPointer() + stride * static_cast<std::size_t>(h - 1),
                                nullptr, nullptr, nullptr};
        const int dstStride[4] = {-static_cast<int>(stride), 0, 0, 0};
        sws_scale(s_->sws, src, srcStride, 0, h, dst, dstStride);
    }
    out.SetActualDataLength(static_cast<std::int32_t>(outSize));
    return Code::Ok;
}

Status ColourConverterFilter::StopStreaming() {
    s_.reset();
    return Code::Ok;
}

}  // namespace kelvor::media
