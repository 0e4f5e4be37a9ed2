#include "media/engine/DvCodec.h"

#include <cstring>

#include "core/dv/DvPacks.h"
#include "media/engine/FfmpegUtil.h"
#include "media/engine/PictureConvert.h"

namespace kelvor::media {

namespace {

// The caller's planar buffer the decoder's next picture goes into, when there is one.
struct DirectTarget {
    std::span<std::uint8_t> bytes;
    bool released = true;  // the codec let go of the last picture it decoded into a target
};

// Plane sizes of the two DV layouts: 4:2:0 halves both directions, 4:1:1 quarters the width.
void planeSizes(AVPixelFormat fmt, int w, int h, int (&pw)[3], int (&ph)[3]) {
    pw[0] = w;
    ph[0] = h;
    const bool is411 = fmt == AV_PIX_FMT_YUV411P;
    pw[1] = pw[2] = is411 ? w / 4 : w / 2;
    ph[1] = ph[2] = is411 ? h : h / 2;
}

void markReleased(void* opaque, std::uint8_t*) {
    *static_cast<bool*>(opaque) = true;
}

// The decoder writes its picture straight into the caller's planar buffer (Y, then U, then V,
// rows without padding: the layout the other filters expect) instead of into a buffer of its
// own that would then be copied. The buffer's reference frees nothing; it only says when the
// codec let go. Anything else (the RGB24 path, a picture that does not fit) takes the codec's
// own buffers.
int directPicture(AVCodecContext* c, AVFrame* f, int flags) {
    auto* t = static_cast<DirectTarget*>(c->opaque);
    const auto fmt = static_cast<AVPixelFormat>(f->format);
    const int w = f->width, h = f->height;
    if (t->bytes.empty() || (fmt != AV_PIX_FMT_YUV420P && fmt != AV_PIX_FMT_YUV411P) || w <= 0 ||
        h <= 0 || t->bytes.size() < PlanarSize(w, h))
        return avcodec_default_get_buffer2(c, f, flags);
    f->buf[0] = av_buffer_create(t->bytes.data(), PlanarSize(w, h), markReleased, &t->released, 0);
    if (!f->buf[0])
        return AVERROR(ENOMEM);
    t->released = false;
    t->bytes = {};
    int pw[3], ph[3];
    planeSizes(fmt, w, h, pw, ph);
    std::uint8_t* p = f->buf[0]->data;
    for (int i = 0; i < 3; ++i) {
        f->data[i] = p;
        f->linesize[i] = pw[i];
        p += static_cast<std::size_t>(pw[i]) * static_cast<std::size_t>(ph[i]);
    }
    return 0;
}

}  // namespace

struct DvVideoDecoder::State : ff::CodecState {
    SwsContext* sws = nullptr;             // cached context, freed in the destructor
    std::vector<std::uint8_t> rgbScratch;  // the scaler's output when rows need slack
    bool half = false;
    DirectTarget direct;
    AVBufferRef* sent = nullptr;  // the padded bytes of the last frame sent to the codec
    std::size_t sentSize = 0;
    ~State() {
        sws_freeContext(sws);
        // The codec goes first: it may still hold a picture in a target.
        ctx.reset();
        frame.reset();
        av_buffer_unref(&sent);
    }
};

DvVideoDecoder::DvVideoDecoder() = default;
DvVideoDecoder::~DvVideoDecoder() = default;

bool DvVideoDecoder::open(bool halfSize, int threads) {
    s_ = std::make_unique<State>();
    s_->half = halfSize;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_DVVIDEO);
    if (!codec) {
        error_ = "no DV video decoder in libavcodec";
        return false;
    }
    if (!s_->Allocate(codec)) {
        error_ = "out of memory";
        return false;
    }
    s_->ctx->lowres = halfSize ? 1 : 0;
    s_->ctx->thread_count = threads;
    s_->ctx->thread_type = FF_THREAD_SLICE;
    if (codec->capabilities & AV_CODEC_CAP_DR1) {
        s_->ctx->opaque = &s_->direct;
        s_->ctx->get_buffer2 = directPicture;
    }
    const int err = avcodec_open2(s_->ctx.get(), codec, nullptr);
    if (err < 0) {
        error_ = "cannot open the DV video decoder: " + ff::ErrorText(err);
        return false;
    }
    return true;
}

int DvVideoDecoder::width() const {
    return s_ && s_->half ? 360 : 720;
}
int DvVideoDecoder::height(bool pal) const {
    return (pal ? 576 : 480) / (s_ && s_->half ? 2 : 1);
}

bool DvVideoDecoder::decodeToFrame(std::span<const std::uint8_t> frame) {
    if (!s_ || !s_->ctx) {
        error_ = "decoder not open";
        return false;
    }
    if (!dv::SequenceCountForSize(frame.size())) {
        error_ = "not a whole DV frame";
        return false;
    }
    int err = s_->Send(frame, AV_NOPTS_VALUE, &s_->sent);
    s_->sentSize = frame.size();
    if (err < 0) {
        error_ = "DV decoding failed: " + ff::ErrorText(err);
        return false;
    }
    err = avcodec_receive_frame(s_->ctx.get(), s_->frame.get());
    if (err < 0) {
        error_ = "DV decoding gave no picture: " + ff::ErrorText(err);
        return false;
    }
    return true;
}

bool DvVideoDecoder::decode(std::span<const std::uint8_t> frame, std::span<std::uint8_t> out,
                            int& width, int& height) {
    return decodeToFrame(frame) && convertRgb(s_->frame.get(), out, width, height);
}

bool DvVideoDecoder::convertRgb(const AVFrame* f, std::span<std::uint8_t> out, int& width,
                                int& height) {
    width = f->width;
    height = f->height;
    s_->sws = sws_getCachedContext(s_->sws, f->width, f->height,
                                   static_cast<AVPixelFormat>(f->format), f->width, f->height,
                                   AV_PIX_FMT_BGR24, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    if (!s_->sws) {
        error_ = "no colour converter for the DV picture";
        return false;
    }
    const std::size_t stride = Rgb24Stride(width);
    if (out.size() / stride < static_cast<std::size_t>(height)) {
        error_ = "picture buffer too small";
        return false;
    }
    ff::ScaleToBottomUpRgb24(s_->sws, f, out.data(), stride, width, height, s_->rgbScratch);
    return true;
}

bool DvVideoDecoder::decodePlanar(std::span<const std::uint8_t> frame, std::span<std::uint8_t> out,
                                  int& width, int& height) {
    if (!s_ || !s_->direct.released) {
        error_ = s_ ? "the DV decoder still holds a picture" : "decoder not open";
        return false;
    }
    s_->direct.bytes = out;
    bool ok = decodeToFrame(frame);
    s_->direct.bytes = {};
    AVFrame* f = s_->frame.get();
    // A picture decoded in place needs no copy; the codec's reference to it goes at once, as
    // the caller's buffer moves on.
    if (ok && f->buf[0] && f->data[0] == out.data()) {
        width = f->width;
        height = f->height;
    } else if (ok) {
        ok = convertPlanar(f, out, width, height);
    }
    av_frame_unref(f);
    if (!s_->direct.released) {
        error_ = "the DV decoder kept a picture";
        return false;
    }
    return ok;
}

bool DvVideoDecoder::convertPlanar(const AVFrame* f, std::span<std::uint8_t> out, int& width,
                                   int& height) {
    width = f->width;
    height = f->height;
    const auto fmt = static_cast<AVPixelFormat>(f->format);
    if ((fmt != AV_PIX_FMT_YUV420P && fmt != AV_PIX_FMT_YUV411P) ||
        out.size() < PlanarSize(width, height)) {
        error_ = "unexpected DV picture layout";
        return false;
    }
    int pw[3], ph[3];
    planeSizes(fmt, width, height, pw, ph);
    std::uint8_t* dst = out.data();
    for (int p = 0; p < 3; ++p) {
        av_image_copy_plane(dst, pw[p], f->data[p], f->linesize[p], pw[p], ph[p]);
        dst += static_cast<std::size_t>(pw[p]) * static_cast<std::size_t>(ph[p]);
    }
    return true;
}

// The padded bytes of the DV frame the picture came from: they take a fraction of the picture's
// memory and no copy to keep, and decode again into any layout.
struct DvPicture::Frame {
    AVBufferRef* bytes = nullptr;
    std::size_t size = 0;
    ~Frame() { av_buffer_unref(&bytes); }
};

DvPicture::DvPicture() = default;
DvPicture::~DvPicture() = default;
DvPicture::DvPicture(DvPicture&&) noexcept = default;
DvPicture& DvPicture::operator=(DvPicture&&) noexcept = default;

bool DvPicture::empty() const {
    return !f_ || !f_->bytes;
}

void DvVideoDecoder::keepPicture(DvPicture& into) const {
    if (!into.f_)
        into.f_ = std::make_unique<DvPicture::Frame>();
    av_buffer_unref(&into.f_->bytes);
    into.f_->size = 0;
    if (s_ && s_->sent && s_->sentSize <= s_->sent->size) {
        into.f_->bytes = av_buffer_ref(s_->sent);
        into.f_->size = s_->sentSize;
    }
}

bool DvVideoDecoder::convert(const DvPicture& picture, bool planar, std::span<std::uint8_t> out,
                             int& width, int& height) {
    if (picture.empty()) {
        error_ = "no picture";
        return false;
    }
    const std::span<const std::uint8_t> bytes{picture.f_->bytes->data, picture.f_->size};
    return planar ? decodePlanar(bytes, out, width, height) : decode(bytes, out, width, height);
}

namespace {

// The encoder's frames come out into buffers of the pool its context carries, so no frame
// allocates.
int pooledPacket(AVCodecContext* c, AVPacket* pkt, int flags) {
    AVBufferRef* buf = av_buffer_pool_get(static_cast<AVBufferPool*>(c->opaque));
    const auto need = static_cast<std::size_t>(pkt->size) + AV_INPUT_BUFFER_PADDING_SIZE;
    if (!buf || buf->size < need) {
        av_buffer_unref(&buf);
        return avcodec_default_get_encode_buffer(c, pkt, flags);
    }
    std::memset(buf->data + pkt->size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    pkt->buf = buf;
    pkt->data = buf->data;
    return 0;
}

}  // namespace

struct DvVideoEncoder::State : ff::CodecState {
    PictureScaler scaler;
    bool pal = true;
    std::int64_t pts = 0;
};

DvVideoEncoder::DvVideoEncoder() = default;
DvVideoEncoder::~DvVideoEncoder() = default;

bool DvVideoEncoder::open(bool pal, bool wide, int threads) {
    s_ = std::make_unique<State>();
    s_->pal = pal;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_DVVIDEO);
    if (!codec) {
        error_ = "no DV video encoder in libavcodec";
        return false;
    }
    if (!s_->Allocate(codec)) {
        error_ = "out of memory";
        return false;
    }
    AVCodecContext* c = s_->ctx.get();
    c->width = 720;
    c->height = pal ? 576 : 480;
    c->pix_fmt = pal ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV411P;
    c->time_base = pal ? AVRational{1, 25} : AVRational{1001, 30000};
    c->framerate = pal ? AVRational{25, 1} : AVRational{30000, 1001};
    c->sample_aspect_ratio = pal ? (wide ? AVRational{64, 45} : AVRational{16, 15})
                                 : (wide ? AVRational{32, 27} : AVRational{8, 9});
    c->field_order = AV_FIELD_BB;
    c->thread_count = threads;
    c->thread_type = FF_THREAD_SLICE;
    if (codec->capabilities & AV_CODEC_CAP_DR1) {
        s_->packetPool.reset(
            av_buffer_pool_init(frameSize() + AV_INPUT_BUFFER_PADDING_SIZE, nullptr));
        if (s_->packetPool) {
            c->opaque = s_->packetPool.get();
            c->get_encode_buffer = pooledPacket;
        }
    }
    int err = avcodec_open2(c, codec, nullptr);
    if (err < 0) {
        error_ = "cannot open the DV video encoder: " + ff::ErrorText(err);
        return false;
    }
    AVFrame* f = s_->frame.get();
    f->format = c->pix_fmt;
    f->width = c->width;
    f->height = c->height;
    err = av_frame_get_buffer(f, 0);
    if (err < 0) {
        error_ = "out of memory for the DV picture";
        return false;
    }
    return true;
}

std::size_t DvVideoEncoder::frameSize() const {
    return s_ && !s_->pal ? dv::kFrameSize525 : dv::kFrameSize625;
}

bool DvVideoEncoder::encode(std::span<const std::uint8_t> rgb, int width, int height,
                            std::span<std::uint8_t> out) {
    if (!s_ || !s_->ctx) {
        error_ = "encoder not open";
        return false;
    }
    const std::size_t stride = Rgb24Stride(width);
    if (width <= 0 || height <= 0 || rgb.size() / stride < static_cast<std::size_t>(height)) {
        error_ = "picture smaller than its size says";
        return false;
    }
    if (out.size() < frameSize()) {
        error_ = "output buffer smaller than a DV frame";
        return false;
    }
    AVCodecContext* c = s_->ctx.get();
    AVFrame* f = s_->frame.get();
    int err = av_frame_make_writable(f);
    if (err < 0) {
        error_ = "out of memory for the DV picture";
        return false;
    }
    const PictureShape in{Subtype::Rgb24, width, height};
    const PictureShape frame{s_->pal ? Subtype::I420 : Subtype::Y41B, c->width, c->height};
    if (!s_->scaler.Scale(rgb.data(), in, f->data, f->linesize, frame,
                          Rect{0, 0, c->width, c->height})) {
        error_ = "no colour converter for this picture";
        return false;
    }
    return encodeFrame(out);
}

bool DvVideoEncoder::encodePlanar(std::span<const std::uint8_t> planar,
                                  std::span<std::uint8_t> out) {
    if (!s_ || !s_->ctx) {
        error_ = "encoder not open";
        return false;
    }
    AVCodecContext* c = s_->ctx.get();
    AVFrame* f = s_->frame.get();
    if (planar.size() < PlanarSize(c->width, c->height) || out.size() < frameSize()) {
        error_ = "buffers smaller than a DV picture";
        return false;
    }
    if (av_frame_make_writable(f) < 0) {
        error_ = "out of memory for the DV picture";
        return false;
    }
    int pw[3], ph[3];
    planeSizes(c->pix_fmt, c->width, c->height, pw, ph);
    const std::uint8_t* src = planar.data();
    for (int p = 0; p < 3; ++p) {
        av_image_copy_plane(f->data[p], f->linesize[p], src, pw[p], pw[p], ph[p]);
        src += static_cast<std::size_t>(pw[p]) * static_cast<std::size_t>(ph[p]);
    }
    return encodeFrame(out);
}

bool DvVideoEncoder::encodeFrame(std::span<std::uint8_t> out) {
    AVCodecContext* c = s_->ctx.get();
    AVFrame* f = s_->frame.get();
    int err = 0;
    f->pts = s_->pts++;
    f->interlaced_frame = 1;
    f->top_field_first = 0;
    err = avcodec_send_frame(c, f);
    if (err < 0) {
        error_ = "DV encoding failed: " + ff::ErrorText(err);
        return false;
    }
    AVPacket* pkt = s_->packet.get();
    err = avcodec_receive_packet(c, pkt);
    if (err < 0) {
        error_ = "DV encoding gave no frame: " + ff::ErrorText(err);
        return false;
    }
    const bool ok = static_cast<std::size_t>(pkt->size) == frameSize();
    if (ok)
        std::memcpy(out.data(), pkt->data, frameSize());
    else
        error_ = "DV encoder gave a frame of an unexpected size";
    av_packet_unref(pkt);
    return ok;
}

}  // namespace kelvor::media
