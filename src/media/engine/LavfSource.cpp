#include "media/engine/LavfSource.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

#include "core/avi/AviDemuxer.h"
#include "core/avi/Fourcc.h"
#include "media/engine/AviSource.h"
#include "media/engine/FfmpegUtil.h"
#include "media/engine/RawDvSource.h"

extern "C" {
#include <libavutil/dict.h>
}

namespace kelvor::media {
namespace {

constexpr AVRational kTimeBase100ns{1, static_cast<int>(kUnitsPerSecond)};
// Packets bigger than this are refused rather than delivered (the same cap as the DV splitter).
constexpr int kMaxPacketSize = 64 * 1024 * 1024;

// The demuxers a file may be read with: containers of video and sound only, so that a playlist
// or a description file named like a video never makes libavformat open other files or URLs.
constexpr const char* kContainers =
    "avi,mov,matroska,dv,mpeg,mpegts,flv,asf,ogg,nut,mxf,wav,mp3,aac,flac";

struct StreamOut {
    MediaType type;
    AVRational timeBase{1, 1};
    // A DV stream's frame size and duration (100 ns units): its samples carry frame numbers.
    int dvFrameSize = 0;
    StreamTime frameDuration = 0;
    // Big-endian 16-bit sound, turned into the little-endian PCM the type announces.
    bool swapBytes = false;
};

// Opens the file among the video containers only, read from the local file alone; the
// libavformat result. `*ctx` may hold an allocated context (with its interrupt callback) or null.
int openContainer(AVFormatContext** ctx, const std::string& fileName) {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kContainers, 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int err = avformat_open_input(ctx, fileName.c_str(), nullptr, &options);
    av_dict_free(&options);
    return err;
}

StreamTime toTime(std::int64_t ts, AVRational tb) {
    return av_rescale_q(ts, tb, kTimeBase100ns);
}

FourCC riffTag(const AVCodecParameters& par, const AVCodecTag* table) {
    if (par.codec_tag)
        return par.codec_tag;
    const AVCodecTag* const tags[] = {table, nullptr};
    return av_codec_get_tag(tags, par.codec_id);
}

MediaType videoType(const AVStream& st) {
    const AVCodecParameters& par = *st.codecpar;
    VideoInfoHeader vih;
    vih.bmiHeader.biWidth = par.width;
    vih.bmiHeader.biHeight = par.height;
    vih.bmiHeader.biBitCount =
        static_cast<std::uint16_t>(par.bits_per_coded_sample > 0 ? par.bits_per_coded_sample : 24);
    vih.bmiHeader.biCompression = riffTag(par, avformat_get_riff_video_tags());
    const std::int64_t image =
        static_cast<std::int64_t>(std::max(par.width, 0)) * std::max(par.height, 0) * 3;
    vih.bmiHeader.biSizeImage =
        static_cast<std::uint32_t>(std::min<std::int64_t>(image, kMaxPacketSize));
    vih.dwBitRate =
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(par.bit_rate, 0, UINT32_MAX));
    AVRational rate = st.avg_frame_rate.num > 0 && st.avg_frame_rate.den > 0 ? st.avg_frame_rate
                                                                             : st.r_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        vih.AvgTimePerFrame = av_rescale_q(1, av_inv_q(rate), kTimeBase100ns);
    FourCC sub = vih.bmiHeader.biCompression ? vih.bmiHeader.biCompression : Subtype::Rgb24;
    MediaType mt = MakeVideoType(sub, vih);
    mt.sampleSize = 0;
    return mt;
}

// DV of the 625 or 525 line standard, as the AVI splitter shows a DV type 2 video stream; false for
// other pictures (DVCPRO HD among them), which keep the generic video type.
bool dvVideoType(const AVStream& st, StreamOut& out) {
    const AVCodecParameters& par = *st.codecpar;
    if (par.codec_id != AV_CODEC_ID_DVVIDEO || par.width != 720 ||
        (par.height != 576 && par.height != 480))
        return false;
    const bool pal = par.height == 576;
    VideoInfoHeader vih = MakeDvsdInfo(pal);
    const AVRational rate = st.avg_frame_rate.num > 0 && st.avg_frame_rate.den > 0
                                ? st.avg_frame_rate
                                : st.r_frame_rate;
    if (rate.num > 0 && rate.den > 0)
        vih.AvgTimePerFrame = av_rescale_q(1, av_inv_q(rate), kTimeBase100ns);
    out.type = MakeVideoType(Subtype::Dvsd, vih);
    out.dvFrameSize = static_cast<int>(vih.bmiHeader.biSizeImage);
    out.frameDuration = vih.AvgTimePerFrame;
    return true;
}

// Integer PCM of 16 bits or less in either byte order, shown as little-endian PCM.
bool pcmAudioType(const AVCodecParameters& par, StreamOut& out) {
    int bits = 0;
    switch (par.codec_id) {
        case AV_CODEC_ID_PCM_U8:
            bits = 8;
            break;
        case AV_CODEC_ID_PCM_S16LE:
            bits = 16;
            break;
        case AV_CODEC_ID_PCM_S16BE:
            bits = 16;
            out.swapBytes = true;
            break;
        default:
            return false;
    }
    const int channels = par.ch_layout.nb_channels;
    if (channels <= 0 || channels > 8 || par.sample_rate <= 0)
        return false;
    out.type = MakeAudioType(MakePcmFormat(par.sample_rate, channels, bits));
    return true;
}

MediaType audioType(const AVStream& st) {
    const AVCodecParameters& par = *st.codecpar;
    WaveFormatEx wfx;
    wfx.wFormatTag = static_cast<std::uint16_t>(riffTag(par, avformat_get_riff_audio_tags()));
    wfx.nChannels = static_cast<std::uint16_t>(std::clamp(par.ch_layout.nb_channels, 0, 0xFFFF));
    wfx.nSamplesPerSec = static_cast<std::uint32_t>(std::max(par.sample_rate, 0));
    wfx.nBlockAlign = static_cast<std::uint16_t>(std::clamp(par.block_align, 0, 0xFFFF));
    wfx.wBitsPerSample =
        static_cast<std::uint16_t>(std::clamp(par.bits_per_coded_sample, 0, 0xFFFF));
    wfx.nAvgBytesPerSec =
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(par.bit_rate / 8, 0, UINT32_MAX));
    const int extra = par.extradata ? std::clamp(par.extradata_size, 0, 0xFFFF) : 0;
    wfx.cbSize = static_cast<std::uint16_t>(extra);
    MediaType mt = MakeAudioType(wfx);
    mt.format.insert(mt.format.end(), par.extradata, par.extradata + extra);
    return mt;
}

}  // namespace

struct LavfSplitterState {
    std::string fileName;
    ff::FormatInputPtr ctx;          // the streaming thread's while it runs
    std::vector<StreamOut> streams;  // one per output pin, in file order
    // Duration and frame rate are read once the file is open: reading packets may update the
    // context's streams, so the driving thread never looks at them while the streaming thread runs.
    int video = -1;  // the stream that gives frame positions
};

namespace {

StreamTime fileDuration(const AVFormatContext& ctx, int video) {
    if (video >= 0) {
        const AVStream& st = *ctx.streams[video];
        if (st.duration != AV_NOPTS_VALUE && st.duration > 0)
            return toTime(st.duration, st.time_base);
    }
    const std::int64_t d = ctx.duration;
    return d == AV_NOPTS_VALUE || d < 0 ? 0 : av_rescale_q(d, AV_TIME_BASE_Q, kTimeBase100ns);
}

AVRational videoFrameRate(const AVFormatContext& ctx, int video) {
    if (video < 0)
        return {0, 0};
    const AVStream& st = *ctx.streams[video];
    return st.avg_frame_rate.num > 0 && st.avg_frame_rate.den > 0 ? st.avg_frame_rate
                                                                  : st.r_frame_rate;
}

}  // namespace

LavfSplitterFilter::LavfSplitterFilter()
    : FileSplitter("LAV Splitter", "{171252A0-8820-4AFE-9DF8-5C92B2D66B04}", "Input") {}

LavfSplitterFilter::~LavfSplitterFilter() {
    StopThreads();
}

Status LavfSplitterFilter::OpenFile(const std::string& fileName, std::vector<MediaType>& types) {
    auto s = std::make_unique<LavfSplitterState>();
    s->fileName = fileName;
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return Code::OutOfMemory;
    // A pending read gives up as soon as the streaming thread is asked to stop.
    raw->interrupt_callback.callback = [](void* flag) -> int {
        return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
    };
    raw->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(&stopRequested_);
    stopRequested_ = false;
    containerAspect_ = 0;
    // The container is probed from the file's bytes.
    if (const int err = openContainer(&raw, fileName); err < 0) {
        // avformat_open_input freed the context.
        openError_ =
            fileName + " is not a video file that can be read (" + ff::ErrorText(err) + ")";
        return Code::InvalidFileFormat;
    }
    s->ctx.reset(raw);
    const bool media = avformat_find_stream_info(raw, nullptr) >= 0 &&
                       std::any_of(raw->streams, raw->streams + raw->nb_streams, [](AVStream* st) {
                           return st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ||
                                  st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
                       });
    if (!media) {
        openError_ = fileName + " holds no stream that can be read";
        return Code::InvalidFileFormat;
    }
    const bool avi = std::string_view(raw->iformat->name) == "avi";
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVStream& st = *raw->streams[i];
        StreamOut out;
        out.timeBase = st.time_base;
        if (st.codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            // The stream's own value is the container's; the codec parameters' come from the
            // frames, which the probe reads itself.
            const AVRational sar = st.sample_aspect_ratio;
            const AVCodecParameters& par = *st.codecpar;
            if (containerAspect_ == 0 && par.codec_id == AV_CODEC_ID_DVVIDEO && sar.num > 0 &&
                sar.den > 0 && par.width > 0 && par.height > 0)
                containerAspect_ = av_q2d(sar) * par.width / par.height;
            // An AVI file keeps the codec code it states, which decides whether it reads as DV.
            if (avi || !dvVideoType(st, out))
                out.type = videoType(st);
            if (s->video < 0)
                s->video = static_cast<int>(i);
        } else if (st.codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            if (!pcmAudioType(*st.codecpar, out))
                out.type = audioType(st);
        } else {
            out.type.majorType = st.codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE
                                     ? MakeFourCC("txts")
                                     : MakeFourCC("data");
        }
        s->streams.push_back(std::move(out));
    }
    duration_ = fileDuration(*raw, s->video);
    const AVRational rate = videoFrameRate(*raw, s->video);
    frameRateNum_ = rate.num;
    frameRateDen_ = rate.den;
    s_ = std::move(s);
    for (const auto& out : s_->streams)
        types.push_back(out.type);
    return Code::Ok;
}

// A DV frame's size is known; other packet sizes are not, and their buffers grow to the packet
// on delivery.
std::int32_t LavfSplitterFilter::MaxSampleSize(int stream) const {
    return s_->streams[static_cast<std::size_t>(stream)].dvFrameSize;
}

void LavfSplitterFilter::stream() {
    AVFormatContext* ctx = s_->ctx.get();
    const std::size_t n = s_->streams.size();
    std::vector<bool> active(n);
    std::vector<bool> first(n, true);
    std::size_t going = 0;
    for (std::size_t i = 0; i < n; ++i) {
        active[i] = GetPin(static_cast<int>(i))->IsConnected();
        going += active[i] ? 1 : 0;
    }
    // Every run starts from its start position: from the keyframe at or before it.
    const std::int64_t seekTo = av_rescale_q(start_, kTimeBase100ns, AV_TIME_BASE_Q);
    if (av_seek_frame(ctx, -1, seekTo, AVSEEK_FLAG_BACKWARD) < 0 && start_ > 0)
        av_seek_frame(ctx, -1, 0, AVSEEK_FLAG_BACKWARD);
    const StreamTime stopAt = stop_ < 0 ? std::numeric_limits<StreamTime>::max() : stop_;
    ff::PacketPtr pkt(av_packet_alloc());
    if (!pkt) {
        NotifyEvent(EventCode::ErrorAbort,
                    Status(Code::OutOfMemory, "out of memory reading " + s_->fileName));
        return;
    }
    bool failed = false;
    while (!stopRequested_ && going > 0) {
        const int err = av_read_frame(ctx, pkt.get());
        if (err == AVERROR_EOF)
            break;
        if (err < 0) {
            if (!stopRequested_) {
                NotifyEvent(
                    EventCode::ErrorAbort,
                    Status(Code::Fail, "cannot read " + s_->fileName + ": " + ff::ErrorText(err)));
                failed = true;
            }
            break;
        }
        const auto i = static_cast<std::size_t>(pkt->stream_index);
        if (pkt->stream_index < 0 || i >= n || !active[i]) {
            av_packet_unref(pkt.get());
            continue;
        }
        if (pkt->size > kMaxPacketSize) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::InvalidFileFormat, s_->fileName + ": a packet of " +
                                                            std::to_string(pkt->size) +
                                                            " bytes is larger than any picture"));
            failed = true;
            break;
        }
        const StreamOut& so = s_->streams[i];
        const AVStream& st = *ctx->streams[i];
        const std::int64_t origin = st.start_time != AV_NOPTS_VALUE ? st.start_time : 0;
        const std::int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        const bool timed = ts != AV_NOPTS_VALUE;
        const StreamTime t0 = timed ? toTime(ts - origin, so.timeBase) : 0;
        const StreamTime t1 = timed ? toTime(ts - origin + pkt->duration, so.timeBase) : 0;
        if (timed && t0 >= stopAt) {
            active[i] = false;
            --going;
            av_packet_unref(pkt.get());
            continue;
        }
        // Sound before the start is not wanted; pictures before it are needed to decode.
        if (timed && t1 <= start_ && st.codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
            av_packet_unref(pkt.get());
            continue;
        }
        auto* out = static_cast<OutputPin*>(GetPin(static_cast<int>(i)));
        SamplePtr sample = out->GetDeliveryBuffer();
        sample->assign({pkt->data, static_cast<std::size_t>(pkt->size)});
        if (so.swapBytes) {
            std::uint8_t* bytes = sample->GetPointer();
            for (int k = 0; k + 1 < pkt->size; k += 2)
                std::swap(bytes[k], bytes[k + 1]);
        }
        if (timed)
            sample->SetTime(t0, t1);
        else
            sample->ClearTime();
        // DV frames are numbered as the AVI splitter numbers them, from their times.
        if (timed && so.frameDuration > 0) {
            const std::int64_t frame = (t0 + so.frameDuration / 2) / so.frameDuration;
            sample->SetMediaTime(frame, frame + 1);
        }
        sample->SetSyncPoint((pkt->flags & AV_PKT_FLAG_KEY) != 0);
        sample->SetPreroll(timed && t0 < start_);
        sample->SetDiscontinuity(first[i]);
        first[i] = false;
        av_packet_unref(pkt.get());
        const Status hr = out->Deliver(std::move(sample));
        if (hr != Code::Ok) {
            active[i] = false;
            --going;
        }
        if (hr.failed() && hr != Code::WrongState) {
            stoppedByDelivery(hr);
            failed = true;
            break;
        }
    }
    if (stopRequested_ || failed)
        return;
    for (int i = 0; i < StreamCount(); ++i) {
        auto* out = static_cast<OutputPin*>(GetPin(i));
        if (out->IsConnected())
            out->DeliverEndOfStream();
    }
}

bool IsDvAvi(const std::string& fileName) {
    avi::AviDemuxer dmx;
    return dmx.open(fileName) && IsDvAviStreams(dmx);
}

FilterPtr CreateAviSplitter(const std::string& fileName) {
    if (FilterPtr own = CreateOwnDvSplitter(fileName))
        return own;
    return std::make_shared<LavfSplitterFilter>();
}

std::vector<std::uint8_t> FirstDvFrame(const std::string& fileName) {
    // Far more packets than any container puts before its first picture.
    constexpr int kPacketsToSearch = 1000;
    AVFormatContext* raw = nullptr;
    if (openContainer(&raw, fileName) < 0)
        return {};
    const ff::FormatInputPtr ctx(raw);
    int stream = -1;
    for (unsigned i = 0; i < raw->nb_streams && stream < 0; ++i)
        if (raw->streams[i]->codecpar->codec_id == AV_CODEC_ID_DVVIDEO)
            stream = static_cast<int>(i);
    ff::PacketPtr pkt(av_packet_alloc());
    if (stream < 0 || !pkt)
        return {};
    for (int n = 0; n < kPacketsToSearch && av_read_frame(raw, pkt.get()) >= 0; ++n) {
        if (pkt->stream_index == stream && pkt->size > 0 && pkt->size <= kMaxPacketSize)
            return {pkt->data, pkt->data + pkt->size};
        av_packet_unref(pkt.get());
    }
    return {};
}

int OpenVideoContainer(AVFormatContext** ctx, const std::string& fileName) {
    return openContainer(ctx, fileName);
}

FilterPtr CreateDvSplitter(const std::string& fileName) {
    auto dmx = std::make_unique<avi::AviDemuxer>();
    if (dmx->open(fileName))
        return std::make_shared<AviSplitterFilter>(std::move(dmx), fileName);
    return CreateAviSplitter(fileName);
}

}  // namespace kelvor::media
