#include "media/engine/AudioDecoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "media/engine/FfmpegUtil.h"

namespace kelvor::media {
namespace {

constexpr std::uint16_t kFormatFloat = 3;
constexpr int kMaxChannels = 8;

AVCodecID codecFor(const MediaType& mt) {
    if (mt.majorType != MajorType::Audio)
        return AV_CODEC_ID_NONE;
    const auto w = mt.waveFormat();
    if (!w || w->nChannels < 1 || w->nChannels > kMaxChannels || w->nSamplesPerSec < 1000 ||
        w->nSamplesPerSec > 384000)
        return AV_CODEC_ID_NONE;
    if (w->wFormatTag == WaveFormatEx::kFormatPcm) {
        switch (w->wBitsPerSample) {
            case 8:
                return AV_CODEC_ID_PCM_U8;
            case 16:
                return AV_CODEC_ID_PCM_S16LE;
            case 24:
                return AV_CODEC_ID_PCM_S24LE;
            case 32:
                return AV_CODEC_ID_PCM_S32LE;
            default:
                return AV_CODEC_ID_NONE;
        }
    }
    if (w->wFormatTag == kFormatFloat)
        return w->wBitsPerSample == 64 ? AV_CODEC_ID_PCM_F64LE : AV_CODEC_ID_PCM_F32LE;
    const AVCodecTag* const tags[] = {avformat_get_riff_audio_tags(), nullptr};
    return av_codec_get_id(tags, w->wFormatTag);
}

}  // namespace

bool IsPcm16(const MediaType& mt) {
    const auto w = mt.majorType == MajorType::Audio ? mt.waveFormat() : std::nullopt;
    return w && w->wFormatTag == WaveFormatEx::kFormatPcm && w->wBitsPerSample == 16;
}

struct AudioDecoderFilter::Impl : ff::CodecState {
    ff::SwrPtr swr;
    int rate = 0;
    int channels = 0;
    StreamTime base = 0;  // time of the first sound
    bool timed = false;
    std::int64_t samplesOut = 0;
};

AudioDecoderFilter::AudioDecoderFilter()
    : BaseFilter("Audio Decoder", "{6B6D0801-9ADA-11D0-A520-00A0D10129C0}") {
    input_ = &AddInputPin("XForm In");
    output_ = &AddOutputPin("XForm Out");
}

AudioDecoderFilter::~AudioDecoderFilter() = default;

Status AudioDecoderFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin == input_) {
        const AVCodecID id = codecFor(mt);
        return id != AV_CODEC_ID_NONE && avcodec_find_decoder(id) ? Code::Ok
                                                                  : Code::TypeNotAccepted;
    }
    MediaType mine;
    if (GetMediaType(pin, 0, mine) != Code::Ok)
        return Code::TypeNotAccepted;
    return mt.waveFormat() == mine.waveFormat() ? Code::Ok : Code::TypeNotAccepted;
}

Status AudioDecoderFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin != output_ || position != 0 || !input_->IsConnected())
        return Code::NoMoreItems;
    const auto w = input_->CurrentMediaType().waveFormat();
    if (!w)
        return Code::NoMoreItems;
    mt = MakeAudioType(MakePcmFormat(static_cast<int>(w->nSamplesPerSec), w->nChannels));
    return Code::Ok;
}

Status AudioDecoderFilter::DecideBufferSize(const Pin& pin, AllocatorProperties& props) {
    if (&pin != output_)
        return Code::Ok;
    props.BufferCount = 4;
    props.BufferSize = 64 * 1024;
    return Code::Ok;
}

Status AudioDecoderFilter::Pause() {
    if (state_ == FilterState::Stopped && input_->IsConnected()) {
        const MediaType& in = input_->CurrentMediaType();
        const AVCodec* codec = avcodec_find_decoder(codecFor(in));
        const auto w = in.waveFormat();
        if (!codec || !w)
            return Code::TypeNotAccepted;
        s_ = std::make_unique<Impl>();
        if (!s_->Allocate(codec))
            return Code::OutOfMemory;
        AVCodecContext* c = s_->ctx.get();
        c->sample_rate = static_cast<int>(w->nSamplesPerSec);
        av_channel_layout_default(&c->ch_layout, w->nChannels);
        c->block_align = w->nBlockAlign;
        c->bit_rate = static_cast<std::int64_t>(w->nAvgBytesPerSec) * 8;
        c->bits_per_coded_sample = w->wBitsPerSample;
        c->codec_tag = w->wFormatTag;
        // The codec's own setup bytes follow the WAVEFORMATEX.
        const std::size_t extra =
            in.format.size() > WaveFormatEx::kSize ? in.format.size() - WaveFormatEx::kSize : 0;
        if (extra > 0) {
            c->extradata = static_cast<std::uint8_t*>(
                av_mallocz(extra + static_cast<std::size_t>(AV_INPUT_BUFFER_PADDING_SIZE)));
            if (!c->extradata)
                return Code::OutOfMemory;
            std::memcpy(c->extradata, in.format.data() + WaveFormatEx::kSize, extra);
            c->extradata_size = static_cast<int>(extra);
        }
        if (avcodec_open2(c, codec, nullptr) < 0) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::Fail, "the sound decoder cannot start"));
            return Code::Fail;
        }
        s_->rate = static_cast<int>(w->nSamplesPerSec);
        s_->channels = w->nChannels;
    }
    return BaseFilter::Pause();
}

Status AudioDecoderFilter::Stop() {
    s_.reset();
    return BaseFilter::Stop();
}

Status AudioDecoderFilter::drain() {
    constexpr int kMaxFramesPerPacket = 256;
    for (int guard = 0; guard < kMaxFramesPerPacket; ++guard) {
        AVFrame* f = s_->frame.get();
        if (avcodec_receive_frame(s_->ctx.get(), f) < 0)
            return Code::Ok;  // needs more input, or drained
        if (!s_->swr) {
            AVChannelLayout outLayout;
            av_channel_layout_default(&outLayout, s_->channels);
            SwrContext* swr = nullptr;
            const int err = swr_alloc_set_opts2(
                &swr, &outLayout, AV_SAMPLE_FMT_S16, s_->rate, &f->ch_layout,
                static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr);
            av_channel_layout_uninit(&outLayout);
            if (err < 0 || !swr || swr_init(swr) < 0) {
                swr_free(&swr);
                av_frame_unref(f);
                NotifyEvent(EventCode::ErrorAbort,
                            Status(Code::Fail, "the decoded sound cannot be converted"));
                return Code::Fail;
            }
            s_->swr.reset(swr);
        }
        Status hr = Code::Ok;
        if (output_->IsConnected()) {
            const int frameBytes = 2 * s_->channels;
            const int room = swr_get_out_samples(s_->swr.get(), f->nb_samples) + 16;
            SamplePtr out = output_->GetDeliveryBuffer();
            out->Reserve(static_cast<std::size_t>(room) * static_cast<std::size_t>(frameBytes));
            std::uint8_t* dst[1] = {out->GetPointer()};
            const int got =
                swr_convert(s_->swr.get(), dst, room,
                            const_cast<const std::uint8_t**>(f->extended_data), f->nb_samples);
            if (got > 0) {
                out->SetActualDataLength(got * frameBytes);
                const StreamTime t0 = s_->base + s_->samplesOut * kUnitsPerSecond / s_->rate;
                const StreamTime t1 =
                    s_->base + (s_->samplesOut + got) * kUnitsPerSecond / s_->rate;
                out->SetTime(t0, t1);
                out->SetMediaTime(s_->samplesOut, s_->samplesOut + got);
                s_->samplesOut += got;
                hr = output_->Deliver(std::move(out));
            }
        }
        av_frame_unref(f);
        if (hr != Code::Ok)
            return hr;
    }
    return Code::Ok;
}

Status AudioDecoderFilter::Receive(InputPin&, SamplePtr sample) {
    if (!s_)
        return Code::WrongState;
    StreamTime t0 = 0, t1 = 0;
    if (!s_->timed && sample->GetTime(t0, t1).ok()) {
        s_->timed = true;
        s_->base = t0;
    }
    // A packet the codec refuses is skipped; the stream goes on.
    s_->Send(sample->data());
    return drain();
}

void AudioDecoderFilter::EndOfStream(InputPin& pin) {
    if (s_) {
        avcodec_send_packet(s_->ctx.get(), nullptr);
        drain();
    }
    BaseFilter::EndOfStream(pin);
}

}  // namespace kelvor::media
