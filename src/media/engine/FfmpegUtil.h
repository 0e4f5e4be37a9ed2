// Private helpers of the media engine for FFmpeg objects: owners with the right deleters and
// error texts. Included only by .cpp files of src/media.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kelvor::media::ff {

struct CodecContextDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsDeleter {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct SwrDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FormatInputDeleter {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using FormatInputPtr = std::unique_ptr<AVFormatContext, FormatInputDeleter>;
struct BufferPoolDeleter {
    void operator()(AVBufferPool* p) const { av_buffer_pool_uninit(&p); }
};
// Freed when the last of its buffers comes back, so a codec may still hold one.
using BufferPoolPtr = std::unique_ptr<AVBufferPool, BufferPoolDeleter>;

// What a codec holds while it streams: its context, a frame and a packet, and the copy of each
// packet's bytes with the padding libavcodec may read past their end.
struct CodecState {
    CodecContextPtr ctx;
    FramePtr frame;
    PacketPtr packet;
    // The packets' buffers, reused frame after frame; a packet that owns its buffer is taken by
    // reference where the codec would otherwise allocate and copy its own.
    BufferPoolPtr packetPool;
    std::size_t packetPoolSize = 0;

    // False when memory runs out.
    bool Allocate(const AVCodec* codec) {
        ctx.reset(avcodec_alloc_context3(codec));
        frame.reset(av_frame_alloc());
        packet.reset(av_packet_alloc());
        return ctx && frame && packet;
    }
    // The bytes as one packet; the codec's result (a packet it refuses is the caller's to skip).
    // With keep, *keep takes a reference to the packet's padded copy of the bytes (replacing
    // what it held), so a caller can send them again without holding a copy of its own.
    int Send(std::span<const std::uint8_t> bytes, std::int64_t pts = AV_NOPTS_VALUE,
             AVBufferRef** keep = nullptr) {
        const std::size_t size = bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE;
        if (!packetPool || packetPoolSize < size) {
            packetPool.reset(av_buffer_pool_init(size, nullptr));
            packetPoolSize = size;
        }
        AVBufferRef* buf = packetPool ? av_buffer_pool_get(packetPool.get()) : nullptr;
        if (!buf)
            return AVERROR(ENOMEM);
        std::copy(bytes.begin(), bytes.end(), buf->data);
        std::memset(buf->data + bytes.size(), 0, AV_INPUT_BUFFER_PADDING_SIZE);
        AVPacket* pkt = packet.get();
        pkt->buf = buf;
        pkt->data = buf->data;
        pkt->size = static_cast<int>(bytes.size());
        pkt->pts = pts;
        const int err = avcodec_send_packet(ctx.get(), pkt);
        if (keep) {
            av_buffer_unref(keep);
            *keep = av_buffer_ref(buf);
        }
        av_packet_unref(pkt);
        return err;
    }
};

// Scales a frame into bottom-up BGR24 rows (a DIB) of `stride` bytes, the last row first. The
// scaler's vector code may write a few pixels past a row whose width is not a multiple of 16
// (360 at half size, 940 from another codec); stepping backwards, that tail would land on the
// start of the row already written above it or past the buffer's end. Such pictures go
// top-down through scratch rows with room for the tail, then are copied bottom-up.
inline void ScaleToBottomUpRgb24(SwsContext* sws, const AVFrame* f, std::uint8_t* out,
                                 std::size_t stride, int width, int height,
                                 std::vector<std::uint8_t>& scratch) {
    constexpr std::size_t kScalerSlack = 64;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    const auto rows = static_cast<std::size_t>(height);
    if (width % 16 != 0) {
        const std::size_t scratchStride = (rowBytes + kScalerSlack + 15) & ~std::size_t{15};
        scratch.resize(scratchStride * rows + kScalerSlack);
        std::uint8_t* dst[4] = {scratch.data(), nullptr, nullptr, nullptr};
        const int dstStride[4] = {static_cast<int>(scratchStride), 0, 0, 0};
        sws_scale(sws, f->data, f->linesize, 0, height, dst, dstStride);
        for (std::size_t y = 0; y < rows; ++y)
            std::memcpy(out + stride * (rows - 1 - y), scratch.data() + scratchStride * y,
                        rowBytes);
    } else {
        std::uint8_t* dst[4] = {out + stride * (rows - 1), nullptr, nullptr, nullptr};
        const int dstStride[4] = {-static_cast<int>(stride), 0, 0, 0};
        sws_scale(sws, f->data, f->linesize, 0, height, dst, dstStride);
    }
}

inline std::string ErrorText(int err) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

}  // namespace kelvor::media::ff
