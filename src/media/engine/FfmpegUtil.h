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

// What a codec holds while it streams: its context, a frame and a packet, and the copy of each
// packet's bytes with the padding libavcodec may read past their end.
struct CodecState {
    CodecContextPtr ctx;
    FramePtr frame;
    PacketPtr packet;
    std::vector<std::uint8_t> padded;

    // False when memory runs out.
    bool Allocate(const AVCodec* codec) {
        ctx.reset(avcodec_alloc_context3(codec));
        frame.reset(av_frame_alloc());
        packet.reset(av_packet_alloc());
        return ctx && frame && packet;
    }
    // The bytes as one packet; the codec's result (a packet it refuses is the caller's to skip).
    int Send(std::span<const std::uint8_t> bytes, std::int64_t pts = AV_NOPTS_VALUE) {
        padded.resize(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE);
        std::copy(bytes.begin(), bytes.end(), padded.begin());
        std::fill(padded.begin() + static_cast<std::ptrdiff_t>(bytes.size()), padded.end(), 0);
        AVPacket* pkt = packet.get();
        pkt->data = padded.data();
        pkt->size = static_cast<int>(bytes.size());
        pkt->pts = pts;
        const int err = avcodec_send_packet(ctx.get(), pkt);
        pkt->data = nullptr;
        pkt->size = 0;
        return err;
    }
};

inline std::string ErrorText(int err) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

}  // namespace kelvor::media::ff
