#include "media/engine/VideoDecoder.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "media/engine/DvCodec.h"
#include "media/engine/FfmpegUtil.h"
#include "media/engine/PictureConvert.h"

namespace kelvor::media {
namespace {

AVCodecID codecFor(const MediaType& mt) {
    if (mt.majorType != MajorType::Video || mt.subtype == Subtype::Dvsd)
        return AV_CODEC_ID_NONE;
    const auto v = mt.videoInfo();
    if (!v || v->bmiHeader.biWidth <= 0 || v->bmiHeader.biWidth > 8192 ||
        v->bmiHeader.biHeight == 0 || v->bmiHeader.biHeight > 8192 || v->bmiHeader.biHeight < -8192)
        return AV_CODEC_ID_NONE;
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};  // public tag table
    return av_codec_get_id(tags, v->bmiHeader.biCompression);
}

// The full-range "J" formats (MJPEG's) are the plain ones with full-range samples: swscale takes
// them under their plain names with the range set, and warns on every picture otherwise.
AVPixelFormat plainFormat(AVPixelFormat f, bool& fullRange) {
    fullRange = true;
    switch (f) {
        case AV_PIX_FMT_YUVJ420P:
            return AV_PIX_FMT_YUV420P;
        case AV_PIX_FMT_YUVJ422P:
            return AV_PIX_FMT_YUV422P;
        case AV_PIX_FMT_YUVJ444P:
            return AV_PIX_FMT_YUV444P;
        case AV_PIX_FMT_YUVJ440P:
            return AV_PIX_FMT_YUV440P;
        case AV_PIX_FMT_YUVJ411P:
            return AV_PIX_FMT_YUV411P;
        default:
            fullRange = false;
            return f;
    }
}

void mapPlane(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int width, int height,
              bool chroma) {
    for (int y = 0; y < height; ++y)
        FullToStudioRange(src + static_cast<std::ptrdiff_t>(y) * srcStride,
                          dst + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                          width, chroma);
}

}  // namespace

struct VideoDecoderFilter::Impl : ff::CodecState {
    SwsContext* sws = nullptr;
    bool fullRange = false;                // of the pictures sws was last set up for
    std::vector<std::uint8_t> rgbScratch;  // the scaler's output when rows need slack
    StreamTime frameTime = 400000;
    std::int64_t delivered = 0;
    // Pictures up to this time only prepare the decoder for a start position: not shown.
    StreamTime prerollUntil = std::numeric_limits<StreamTime>::min();
    ~Impl() { sws_freeContext(sws); }
};

VideoDecoderFilter::VideoDecoderFilter()
    : BaseFilter("AVI Decompressor", "{CF49D4E0-1115-11CE-B03A-0020AF0BA770}") {
    input_ = &AddInputPin("XForm In");
    output_ = &AddOutputPin("XForm Out");
}

VideoDecoderFilter::~VideoDecoderFilter() = default;

Status VideoDecoderFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin == input_) {
        const AVCodecID id = codecFor(mt);
        return id != AV_CODEC_ID_NONE && avcodec_find_decoder(id) ? Code::Ok
                                                                  : Code::TypeNotAccepted;
    }
    for (int i = 0; i < 2; ++i) {
        MediaType mine;
        if (GetMediaType(pin, i, mine) == Code::Ok && mt.subtype == mine.subtype &&
            mt.format == mine.format)
            return Code::Ok;
    }
    return Code::TypeNotAccepted;
}

Status VideoDecoderFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin != output_ || position < 0 || position > 1 || !input_->IsConnected())
        return Code::NoMoreItems;
    const auto v = input_->CurrentMediaType().videoInfo();
    const int h = v->bmiHeader.biHeight < 0 ? -v->bmiHeader.biHeight : v->bmiHeader.biHeight;
    const int w = v->bmiHeader.biWidth;
    if (position == 0) {
        mt = MakeVideoType(Subtype::Rgb24, MakeRgb24Info(w, h, v->AvgTimePerFrame));
        return Code::Ok;
    }
    // Planar 4:2:0 second, so a DV encoder takes the picture without a colour round trip.
    if (position == 1 && w % 2 == 0 && h % 2 == 0) {
        mt = MakeVideoType(Subtype::I420, MakePlanarInfo(Subtype::I420, w, h, v->AvgTimePerFrame));
        return Code::Ok;
    }
    return Code::NoMoreItems;
}

Status VideoDecoderFilter::DecideBufferSize(const Pin& pin, AllocatorProperties& props) {
    if (&pin != output_)
        return Code::Ok;
    const auto v = output_->CurrentMediaType().videoInfo();
    props.BufferCount = 3;
    props.BufferSize = v ? static_cast<std::int32_t>(v->bmiHeader.biSizeImage) : 0;
    return Code::Ok;
}

Status VideoDecoderFilter::Pause() {
    if (state_ == FilterState::Stopped && input_->IsConnected()) {
        const AVCodec* codec = avcodec_find_decoder(codecFor(input_->CurrentMediaType()));
        if (!codec)
            return Code::TypeNotAccepted;
        s_ = std::make_unique<Impl>();
        if (!s_->Allocate(codec))
            return Code::OutOfMemory;
        const auto v = input_->CurrentMediaType().videoInfo();
        s_->ctx->width = v->bmiHeader.biWidth;
        s_->ctx->height =
            v->bmiHeader.biHeight < 0 ? -v->bmiHeader.biHeight : v->bmiHeader.biHeight;
        s_->ctx->codec_tag = v->bmiHeader.biCompression;
        s_->ctx->thread_count = 2;
        if (v->AvgTimePerFrame > 0)
            s_->frameTime = v->AvgTimePerFrame;
        if (avcodec_open2(s_->ctx.get(), codec, nullptr) < 0)
            return Code::Fail;
    }
    return BaseFilter::Pause();
}

Status VideoDecoderFilter::Stop() {
    s_.reset();
    return BaseFilter::Stop();
}

bool VideoDecoderFilter::toPlanar(const AVFrame* f, int pixelFormat, bool fullRange,
                                  std::uint8_t* out) {
    const auto format = static_cast<AVPixelFormat>(pixelFormat);
    const int w = f->width, h = f->height;
    const std::size_t luma = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    std::uint8_t* planes[4] = {out, out + luma, out + luma + luma / 4, nullptr};
    const int strides[4] = {w, w / 2, w / 2, 0};
    if (format == AV_PIX_FMT_YUV420P) {
        // The codec's own layout: only the range changes, or nothing but the row padding.
        for (int p = 0; p < 3; ++p) {
            const int pw = p ? w / 2 : w, ph = p ? h / 2 : h;
            if (fullRange)
                mapPlane(f->data[p], f->linesize[p], planes[p], pw, ph, p != 0);
            else
                av_image_copy_plane(planes[p], pw, f->data[p], f->linesize[p], pw, ph);
        }
        return true;
    }
    SwsContext* before = s_->sws;
    s_->sws = sws_getCachedContext(s_->sws, w, h, format, w, h, AV_PIX_FMT_YUV420P, SWS_BICUBIC,
                                   nullptr, nullptr, nullptr);
    if (!s_->sws)
        return false;
    if (s_->sws != before || fullRange != s_->fullRange) {
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(s_->sws, coefficients, fullRange ? 1 : 0, coefficients, 0, 0,
                                 1 << 16, 1 << 16);
        s_->fullRange = fullRange;
    }
    sws_scale(s_->sws, f->data, f->linesize, 0, h, planes, strides);
    return true;
}

Status VideoDecoderFilter::drain() {
    const auto v = output_->CurrentMediaType().videoInfo();
    const int w = v->bmiHeader.biWidth, h = v->bmiHeader.biHeight;
    const bool planar = output_->CurrentMediaType().subtype == Subtype::I420;
    const std::size_t stride = Rgb24Stride(w);
    const std::size_t bytes = planar ? PlanarSize(w, h) : stride * static_cast<std::size_t>(h);
    for (int guard = 0; guard < 64; ++guard) {
        AVFrame* f = s_->frame.get();
        const int err = avcodec_receive_frame(s_->ctx.get(), f);
        if (err < 0)
            return Code::Ok;  // needs more input, or drained
        Status hr = Code::Ok;
        const bool preroll = f->best_effort_timestamp != AV_NOPTS_VALUE &&
                             f->best_effort_timestamp <= s_->prerollUntil;
        if (f->width == w && f->height == h && !preroll) {
            bool fullRange = false;
            const AVPixelFormat format =
                plainFormat(static_cast<AVPixelFormat>(f->format), fullRange);
            fullRange = fullRange || f->color_range == AVCOL_RANGE_JPEG;
            if (planar && output_->IsConnected()) {
                SamplePtr out = output_->GetDeliveryBuffer();
                out->Reserve(bytes);
                if (toPlanar(f, format, fullRange, out->GetPointer()))
                    hr = deliver(f, std::move(out), bytes);
                av_frame_unref(f);
                if (hr != Code::Ok)
                    return hr;
                continue;
            }
            SwsContext* before = s_->sws;
            s_->sws = sws_getCachedContext(s_->sws, w, h, format, w, h, AV_PIX_FMT_BGR24,
                                           SWS_BICUBIC, nullptr, nullptr, nullptr);
            if (s_->sws && (s_->sws != before || fullRange != s_->fullRange)) {
                const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
                sws_setColorspaceDetails(s_->sws, coefficients, fullRange ? 1 : 0, coefficients, 1,
                                         0, 1 << 16, 1 << 16);
                s_->fullRange = fullRange;
            }
            if (s_->sws && output_->IsConnected()) {
                SamplePtr out = output_->GetDeliveryBuffer();
                out->Reserve(stride * static_cast<std::size_t>(h));
                ff::ScaleToBottomUpRgb24(s_->sws, f, out->GetPointer(), stride, w, h,
                                         s_->rgbScratch);
                hr = deliver(f, std::move(out), bytes);
            }
        }
        av_frame_unref(f);
        if (hr != Code::Ok)
            return hr;
    }
    return Code::Ok;
}

Status VideoDecoderFilter::deliver(const AVFrame* f, SamplePtr out, std::size_t bytes) {
    out->SetActualDataLength(static_cast<std::int32_t>(bytes));
    const StreamTime t0 = f->best_effort_timestamp != AV_NOPTS_VALUE
                              ? f->best_effort_timestamp
                              : s_->delivered * s_->frameTime;
    out->SetTime(t0, t0 + s_->frameTime);
    out->SetMediaTime(s_->delivered, s_->delivered + 1);
    ++s_->delivered;
    return output_->Deliver(std::move(out));
}

Status VideoDecoderFilter::Receive(InputPin&, SamplePtr sample) {
    if (!s_)
        return Code::WrongState;
    StreamTime t0 = 0, t1 = 0;
    const bool timed = sample->GetTime(t0, t1).ok();
    if (sample->IsPreroll() && timed)
        s_->prerollUntil = std::max(s_->prerollUntil, t0);
    // A packet the codec refuses is skipped; the stream goes on.
    s_->Send(sample->data(), timed ? t0 : AV_NOPTS_VALUE);
    return drain();
}

void VideoDecoderFilter::EndOfStream(InputPin& pin) {
    if (s_) {
        avcodec_send_packet(s_->ctx.get(), nullptr);
        drain();
    }
    BaseFilter::EndOfStream(pin);
}

}  // namespace kelvor::media
