#include "media/export/Mp4Export.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "core/dv/DvPacks.h"
#include "core/files/DateTime.h"
#include "core/files/OutputFile.h"
#include "core/scenes/DateSceneDetector.h"
#include "media/engine/DvCodec.h"
#include "media/engine/FfmpegUtil.h"
#include "media/engine/LavfSource.h"
#include "media/filters/InlayFilter.h"

namespace kelvor::media {
namespace {

constexpr int kAudioRate = 48000;
constexpr int kAudioBitRate = 160000;
constexpr AVRational kMilliseconds{1, 1000};
// A minimal style block for the timed-text encoder, which reads its default style from it.
constexpr const char* kSubtitleHeader =
    "[Script Info]\r\nScriptType: v4.00+\r\nPlayResX: 384\r\nPlayResY: 288\r\n\r\n"
    "[V4+ Styles]\r\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, "
    "OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, "
    "Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\r\n"
    "Style: Default,Arial,16,&Hffffff,&Hffffff,&H0,&H0,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,0"
    "\r\n\r\n[Events]\r\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, "
    "Effect, Text\r\n";

struct GraphFree {
    void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};
struct FifoFree {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
using CodecCtx = ff::CodecContextPtr;
using Frame = ff::FramePtr;
using Packet = ff::PacketPtr;
using Input = ff::FormatInputPtr;
using FilterGraph = std::unique_ptr<AVFilterGraph, GraphFree>;
using Swr = ff::SwrPtr;
using Fifo = std::unique_ptr<AVAudioFifo, FifoFree>;

// libavformat writes through the output file, so the temporary-name rule holds for the MP4 too.
struct OutputSink {
    files::OutputFile* File = nullptr;
    std::uint64_t Position = 0;
};

int WriteToOutput(void* opaque, std::uint8_t* data, int size) {
    auto* sink = static_cast<OutputSink*>(opaque);
    if (size <= 0)
        return 0;
    std::span<const std::uint8_t> bytes(data, static_cast<std::size_t>(size));
    const std::uint64_t end = sink->File->Size();
    if (sink->Position < end) {
        const std::size_t over =
            static_cast<std::size_t>(std::min<std::uint64_t>(end - sink->Position, bytes.size()));
        if (!sink->File->WriteAt(sink->Position, bytes.first(over)))
            return AVERROR(EIO);
        sink->Position += over;
        bytes = bytes.subspan(over);
    }
    if (!bytes.empty()) {
        if (sink->Position != sink->File->Size() || !sink->File->Write(bytes))
            return AVERROR(EIO);
        sink->Position += bytes.size();
    }
    return size;
}

std::int64_t SeekOutput(void* opaque, std::int64_t offset, int whence) {
    auto* sink = static_cast<OutputSink*>(opaque);
    const auto size = static_cast<std::int64_t>(sink->File->Size());
    std::int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = static_cast<std::int64_t>(sink->Position) + offset;
            break;
        case SEEK_END:
            target = size + offset;
            break;
        default:
            return AVERROR(EINVAL);
    }
    // Writing past the end would leave a hole the output file cannot make.
    if (target < 0 || target > size)
        return AVERROR(EINVAL);
    sink->Position = static_cast<std::uint64_t>(target);
    return target;
}

// The display aspect of DV's 720-pixel lines as a sample aspect, exact rather than BT.601's
// 702-pixel active width, so that the picture shows at exactly 4:3 or 16:9.
AVRational ExactSampleAspect(int width, int height, bool wide) {
    AVRational sar{};
    av_reduce(&sar.num, &sar.den, static_cast<std::int64_t>(wide ? 16 : 4) * height,
              static_cast<std::int64_t>(wide ? 9 : 3) * width, 1 << 20);
    return sar;
}

// A fixed ring of slots handed from one thread to another, so that each slot's frame is
// allocated once: the filling side takes the next free slot and publishes it, the other takes the
// oldest and releases it. Each side touches only the slots the ring hands it.
template <typename Slot>
class SlotRing {
  public:
    explicit SlotRing(std::size_t size) : slots_(size) {
        for (Slot& s : slots_)
            s.Data.reset(av_frame_alloc());
    }
    bool Allocated() const {
        return std::all_of(slots_.begin(), slots_.end(),
                           [](const Slot& s) { return s.Data != nullptr; });
    }

    // Filling side: the slot to fill next, waiting for room; null once the other side cancelled.
    Slot* Free() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return count_ < slots_.size() || cancelled_; });
        return cancelled_ ? nullptr : &slots_[(head_ + count_) % slots_.size()];
    }
    void Publish() {
        const std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    void End() {
        const std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

    // Taking side: the oldest slot, waiting for one; null at the end or once cancelled.
    Slot* Next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return count_ > 0 || ended_ || cancelled_; });
        return count_ > 0 && !cancelled_ ? &slots_[head_] : nullptr;
    }
    void Release() {
        const std::lock_guard lock(mutex_);
        head_ = (head_ + 1) % slots_.size();
        --count_;
        changed_.notify_all();
    }
    void Cancel() {
        const std::lock_guard lock(mutex_);
        cancelled_ = true;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;  // guards head_, count_, ended_ and cancelled_
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    bool ended_ = false;
    bool cancelled_ = false;
};

// The first datecode of a scene's local date as Qt's date-time.
std::optional<QDateTime> LocalDateTime(double localValue, const QTimeZone& zone) {
    const auto civil = DecodeDateTime(localValue);
    if (!localValue || !civil)
        return std::nullopt;
    QDateTime t(QDate(civil->Year, civil->Month, civil->Day),
                QTime(civil->Hour, civil->Minute, civil->Second), zone);
    if (!t.isValid())
        return std::nullopt;
    return t;
}

}  // namespace

bool KnownTimeZone(const std::string& timeZone) {
    return timeZone.empty() || QTimeZone(QByteArray::fromStdString(timeZone)).isValid();
}

RecordingTime RecordingTimeIn(double localValue, const std::string& timeZone) {
    RecordingTime r;
    const QTimeZone zone = timeZone.empty() ? QTimeZone::systemTimeZone()
                                            : QTimeZone(QByteArray::fromStdString(timeZone));
    if (!zone.isValid())
        return r;
    const auto local = LocalDateTime(localValue, zone);
    if (!local)
        return r;
    const QDateTime utc = local->toUTC();
    r.Valid = true;
    r.UnixSeconds = utc.toSecsSinceEpoch();
    r.Utc = utc.toString("yyyy-MM-ddTHH:mm:ss.000000Z").toStdString();
    const int offset = zone.offsetFromUtc(*local);
    const int minutes = std::abs(offset) / 60;
    char tail[16];
    std::snprintf(tail, sizeof tail, "%c%02d%02d", offset < 0 ? '-' : '+', minutes / 60,
                  minutes % 60);
    r.Local = local->toString("yyyy-MM-ddTHH:mm:ss").toStdString() + tail;
    return r;
}

namespace {

// The recording date burnt into the first seconds of each scene by the inlay filter, which draws
// on BGR pictures: a picture that gets lines goes to BGR and back, and only the rows the lines
// changed are copied back, so the rest of it stays as decoded.
class DateBurn {
  public:
    DateBurn(const Mp4Settings& settings, AVRational frameRate)
        : filter_(
              nullptr, [border = settings.InlayBorder] { return border; }, settings.Locale) {
        if (settings.ConfigureInlay)
            settings.ConfigureInlay(filter_);
        const double frames = settings.InlaySeconds * av_q2d(frameRate);
        filter_.SetDisplayFrames(std::max(1, static_cast<int>(std::lround(frames))));
        filter_.SetAutoMode(true);
        filter_.SetEnabled(true);
    }

    // A scene starts: its first pictures show the date again.
    bool Restart(int width, int height) {
        if (filter_.BeginPictures(width, height).failed())
            return fail("the date cannot be drawn (no fonts without a GUI application)");
        return true;
    }

    // Counts the display down for this frame and draws on its picture when it shows the date;
    // a frame without a picture only counts.
    bool Apply(AVFrame* picture, const scenes::FrameInfo& record) {
        if (!filter_.Advance(record) || !picture)
            return true;
        if (!convert(*picture))
            return false;
        drawn_ = bgr_;
        if (filter_.Draw(drawn_).failed())
            return fail("the date cannot be drawn");
        int first = -1, last = -1;
        for (int r = 0; r < picture->height; ++r)
            if (std::memcmp(drawn_.data() + r * stride_, bgr_.data() + r * stride_, stride_) != 0) {
                first = first < 0 ? r : first;
                last = r;
            }
        if (first < 0)
            return true;
        return copyBack(*picture, first, last);
    }
    const std::string& Error() const { return error_; }

  private:
    bool fail(std::string why) {
        if (error_.empty())
            error_ = std::move(why);
        return false;
    }
    bool convert(const AVFrame& picture) {
        const auto format = static_cast<AVPixelFormat>(picture.format);
        if (!toBgr_ || picture.width != width_ || picture.height != height_ || format != format_) {
            width_ = picture.width;
            height_ = picture.height;
            format_ = format;
            stride_ = Rgb24Stride(width_);
            toBgr_.reset(sws_getContext(width_, height_, format_, width_, height_, AV_PIX_FMT_BGR24,
                                        SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr,
                                        nullptr));
            fromBgr_.reset(sws_getContext(width_, height_, AV_PIX_FMT_BGR24, width_, height_,
                                          format_, SWS_BILINEAR | SWS_ACCURATE_RND, nullptr,
                                          nullptr, nullptr));
            back_.reset(av_frame_alloc());
            if (!toBgr_ || !fromBgr_ || !back_)
                return fail("the pictures cannot be converted for the date");
            back_->width = width_;
            back_->height = height_;
            back_->format = format_;
            if (av_frame_get_buffer(back_.get(), 0) < 0)
                return fail("out of memory");
            bgr_.assign(stride_ * static_cast<std::size_t>(height_), 0);
        }
        std::uint8_t* planes[4] = {bgr_.data(), nullptr, nullptr, nullptr};
        const int strides[4] = {static_cast<int>(stride_), 0, 0, 0};
        sws_scale(toBgr_.get(), picture.data, picture.linesize, 0, height_, planes, strides);
        return true;
    }
    bool copyBack(AVFrame& picture, int first, int last) {
        const std::uint8_t* planes[4] = {drawn_.data(), nullptr, nullptr, nullptr};
        const int strides[4] = {static_cast<int>(stride_), 0, 0, 0};
        sws_scale(fromBgr_.get(), planes, strides, 0, height_, back_->data, back_->linesize);
        if (av_frame_make_writable(&picture) < 0)
            return fail("out of memory");
        const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format_);
        for (int plane = 0; plane < 4 && picture.data[plane]; ++plane) {
            const int shift = plane == 1 || plane == 2 ? desc->log2_chroma_h : 0;
            const int bytes = av_image_get_linesize(format_, width_, plane);
            for (int r = first >> shift; r <= (last >> shift); ++r)
                std::memcpy(picture.data[plane] + r * picture.linesize[plane],
                            back_->data[plane] + r * back_->linesize[plane], bytes);
        }
        return true;
    }

    InlayFilter filter_;
    int width_ = 0, height_ = 0;
    AVPixelFormat format_ = AV_PIX_FMT_NONE;
    std::size_t stride_ = 0;
    ff::SwsPtr toBgr_, fromBgr_;
    Frame back_;
    std::vector<std::uint8_t> bgr_, drawn_;
    std::string error_;
};

// What the source gives: its demuxer and decoders, which only the reading thread uses once the
// export runs, and the sound's parameters, copied so that the outputs never read a decoder's
// context while it decodes.
struct Source {
    Input Format;
    int VideoIndex = -1;
    int AudioIndex = -1;
    CodecCtx Video;
    CodecCtx Audio;
    AVRational FrameRate{25, 1};
    bool Pal = true;
    bool HasSound = false;
    int SoundRate = 0;
    AVSampleFormat SoundFormat = AV_SAMPLE_FMT_NONE;
    AVChannelLayout SoundLayout{};
    ~Source() { av_channel_layout_uninit(&SoundLayout); }
};

// The H.264 encoder, shared by consecutive outputs of the same picture format. Each output's
// first picture is forced to an IDR frame, so no picture refers across the cut and the packets
// split cleanly by time; the encoder's threads and lookahead carry on from one scene into the
// next instead of draining and filling again at every cut, which left a core idle.
struct PictureEncoder {
    CodecCtx Codec;
    int Width = 0;
    int Height = 0;
    AVRational Sar{1, 1};
    std::int64_t NextPts = 0;  // the time of the next picture, in the encoder's time base
    bool Fits(int width, int height, AVRational sar) const {
        return Codec && width == Width && height == Height && av_cmp_q(sar, Sar) == 0;
    }
};

bool OpenPictureEncoder(PictureEncoder& e, const Source& src, const Mp4Settings& set, int width,
                        int height, AVRational sar, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        error = "the H.264 encoder (libx264) is missing";
        return false;
    }
    e.Codec.reset(avcodec_alloc_context3(codec));
    if (!e.Codec) {
        error = "out of memory";
        return false;
    }
    e.Width = width;
    e.Height = height;
    e.Sar = sar;
    e.NextPts = 0;
    const AVRational rate = set.DoubleRate ? av_mul_q(src.FrameRate, {2, 1}) : src.FrameRate;
    AVCodecContext* v = e.Codec.get();
    v->width = width;
    v->height = height;
    v->pix_fmt = AV_PIX_FMT_YUV420P;
    v->time_base = av_inv_q(rate);
    v->framerate = rate;
    v->sample_aspect_ratio = sar;
    v->color_range = AVCOL_RANGE_MPEG;
    v->color_primaries = src.Pal ? AVCOL_PRI_BT470BG : AVCOL_PRI_SMPTE170M;
    v->colorspace = src.Pal ? AVCOL_SPC_BT470BG : AVCOL_SPC_SMPTE170M;
    // BT.601's transfer curve is the same for both systems.
    v->color_trc = AVCOL_TRC_SMPTE170M;
    v->field_order = AV_FIELD_PROGRESSIVE;
    v->thread_count = 0;
    // MP4 keeps the parameter sets in its header.
    v->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(v->priv_data, "preset", set.Preset.c_str(), 0);
    av_opt_set_int(v->priv_data, "crf", set.Crf, 0);
    av_opt_set_int(v->priv_data, "forced-idr", 1, 0);
    if (const int err = avcodec_open2(v, codec, nullptr); err < 0) {
        e.Codec.reset();
        error = "the H.264 encoder cannot start: " + ff::ErrorText(err);
        return false;
    }
    return true;
}

class SoundEncoder;

// One MP4 being written: muxer, the text encoder and the deinterlacing graph. Its pictures go to
// a shared encoder through the picture sink, and the encoder's packets come back through
// WriteVideo; its sound goes to the shared sound encoder, whose thread writes the sound packets
// through WriteSound. Both threads write packets into the muxer, one at a time.
class Mp4Output {
  public:
    // Takes a deinterlaced picture (its time counted from the output's start) to the encoder;
    // false, with the reason, when that fails.
    using PictureSink = std::function<bool(AVFrame* picture, std::string& why)>;

    Mp4Output(const Source& source, const Mp4Settings& settings) : src_(source), set_(settings) {}
    ~Mp4Output() { Abandon(); }
    Mp4Output(const Mp4Output&) = delete;
    Mp4Output& operator=(const Mp4Output&) = delete;

    // Opens the file and its streams; the picture size and aspect come from the first frame.
    // The sound, when the source has some, goes to `sound` from here on.
    bool Open(const std::string& target, const std::string& sourceName, const AVFrame& first,
              const PictureEncoder& encoder, PictureSink pictures, SoundEncoder* sound,
              const std::string& title, const RecordingTime& date,
              const std::vector<Mp4Scene>& chapters, std::int64_t chapterBase);
    // One source picture (index from the output's start); a null picture repeats the last one.
    bool AddPicture(const AVFrame* picture);
    // Sound of the source at the source sample `at`, counted from the output's start; samples
    // from `limit` on are left out. The frame's data is taken over (the frame is left empty) and
    // encoded on the sound thread.
    bool AddSound(AVFrame& sound, std::int64_t at, std::int64_t limit);
    // The timed text from the output's frame `frame` on; empty text ends the cue.
    bool SetText(std::int64_t frame, const std::string& text);
    // The deinterlacer's last pictures to the encoder: the output takes no more pictures.
    bool EndPictures();
    // One packet of the encoder, whose times are `base` ahead of the output's.
    bool WriteVideo(AVPacket* packet, std::int64_t base);
    // One packet of the sound encoder, its times already the output's; on the sound thread.
    bool WriteSound(AVPacket* packet, AVRational timeBase, std::string& why);
    // The sound thread has written the output's last sound packet, or failed with `why`.
    void SoundDone(const std::string& why);
    // Once every packet of its pictures is written: waits for the sound's last packets, flushes
    // the rest and moves the file into place. Runs on any one thread.
    bool Finish();
    // Removes the temporary file.
    void Abandon();
    const std::string& Error() const { return error_; }

  private:
    bool fail(std::string why) {
        if (error_.empty())
            error_ = std::move(why);
        return false;
    }
    bool openVideo(const AVFrame& first, const PictureEncoder& encoder);
    bool openAudio(const SoundEncoder& sound);
    bool openText();
    bool filterAndEncode(AVFrame* picture);
    bool takeFiltered();
    bool writeCue(std::int64_t endMs);
    std::int64_t frameMs(std::int64_t frame) const {
        return av_rescale_q(frame, av_inv_q(src_.FrameRate), kMilliseconds);
    }

    const Source& src_;
    const Mp4Settings& set_;
    std::unique_ptr<files::OutputFile> file_;
    OutputSink sink_;
    AVFormatContext* mux_ = nullptr;
    AVIOContext* io_ = nullptr;
    CodecCtx text_;
    PictureSink pictures_;
    SoundEncoder* sound_ = nullptr;
    AVRational videoTimeBase_{1, 25};
    std::int64_t picturesOut_ = 0;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    AVStream* textStream_ = nullptr;
    AVRational sar_{1, 1};
    FilterGraph graph_;
    AVFilterContext* graphIn_ = nullptr;
    AVFilterContext* graphOut_ = nullptr;
    Frame filtered_, last_;
    Packet packet_;
    std::int64_t picturesIn_ = 0;
    std::string cueText_;
    std::int64_t cueStart_ = 0;
    bool headerWritten_ = false;
    std::string error_;

    std::mutex muxMutex_;    // guards mux_ and the output file while both threads write packets
    std::mutex soundMutex_;  // guards soundDone_ and soundError_
    std::condition_variable soundChanged_;
    bool soundDone_ = true;  // until the sound encoder takes the output's sound
    std::string soundError_;
};

// The AAC encoder, shared by the outputs of one export in turn, on a thread of its own: the AAC
// encoder costs about a sixth of the export, and on the pictures' thread it would keep x264's
// threads waiting for their next picture. A fresh AAC encoder spends its first seconds searching
// for its rate (several encodes of each block), which made ten short files cost twice the sound
// of one long one; the shared encoder settles once. The outputs' sound follows one another in
// the encoder, and each output takes the packets that decode to its samples, with the one before
// its first sample as the priming packet that MP4's edit list skips, as it does an encoder's
// delay; its times are the encoder's less the output's first sample, and its last packet's length
// ends at its last sample.
class SoundEncoder {
  public:
    explicit SoundEncoder(const Source& source) : src_(source) {}
    ~SoundEncoder() { Stop(true); }
    SoundEncoder(const SoundEncoder&) = delete;
    SoundEncoder& operator=(const SoundEncoder&) = delete;

    bool Open(std::string& error);
    const AVCodecContext* Codec() const { return codec_.get(); }
    // From the pictures' thread, in order: an output's sound starts (the one before it ends), and
    // its blocks follow. False once the sound thread has failed.
    bool Begin(Mp4Output* output);
    bool Add(AVFrame& sound, std::int64_t at, std::int64_t limit);
    // No more sound: the sound thread encodes the rest and gives every output its last packets.
    void EndInput();
    // Ends the thread, at once when cancelled, else once it has done what it was given.
    void Stop(bool cancel);
    // Why Begin or Add failed.
    const std::string& Error() const { return error_; }

  private:
    struct Block {
        Frame Data;
        std::int64_t At = 0;
        std::int64_t Limit = 0;
        Mp4Output* Begins = nullptr;  // an output's sound starts here instead
    };
    // An output's samples in the encoder's time, from its first to one after its last.
    struct Span {
        Mp4Output* Output = nullptr;
        std::int64_t First = 0;
        std::int64_t End = -1;  // -1 while its sound comes in
    };
    static constexpr std::size_t kBlocks = 32;  // about a second of DV sound

    // The sound thread's side; its failures go to error_ before it cancels the ring.
    bool fail(std::string why) {
        if (error_.empty())
            error_ = std::move(why);
        return false;
    }
    void loop();
    bool beginSpan(Mp4Output* output);
    bool endSpan();
    bool encodeSound(const AVFrame& sound, std::int64_t at, std::int64_t limit);
    bool toFifo(int count);
    bool encodeFrames(bool flush);
    bool drain();
    bool route(AVPacket* packet);
    // Gives the outputs whose packets are all written (or all of them) their end.
    void complete(bool all, const std::string& why);
    bool reserveConverted(int samples);

    const Source& src_;
    CodecCtx codec_;
    std::optional<SlotRing<Block>> ring_;
    std::thread thread_;
    std::string error_;
    // The sound thread's own state from here on.
    Swr resampler_;  // the current output's, fresh for each
    Fifo fifo_;
    Frame converted_, block_;
    int convertedCapacity_ = 0;
    Packet packet_, copy_;
    std::int64_t soundAt_ = 0;  // source samples of the current output given so far (with padding)
    std::int64_t fed_ = 0;      // 48 kHz samples into the queue
    std::int64_t sent_ = 0;     // and into the encoder
    std::int64_t lastPts_ = std::numeric_limits<std::int64_t>::min();  // of the last packet
    std::deque<Span> spans_;  // the outputs waiting for packets, oldest first
};

bool Mp4Output::Open(const std::string& target, const std::string& sourceName, const AVFrame& first,
                     const PictureEncoder& encoder, PictureSink pictures, SoundEncoder* sound,
                     const std::string& title, const RecordingTime& date,
                     const std::vector<Mp4Scene>& chapters, std::int64_t chapterBase) {
    file_ = std::make_unique<files::OutputFile>(target, sourceName);
    if (!file_->Good())
        return fail(file_->Error());
    sink_.File = file_.get();
    if (avformat_alloc_output_context2(&mux_, nullptr, "mp4", nullptr) < 0 || !mux_)
        return fail("the MP4 muxer is missing");
    constexpr int kBufferSize = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    io_ = avio_alloc_context(buffer, kBufferSize, 1, &sink_, nullptr, WriteToOutput, SeekOutput);
    if (!io_)
        return fail("out of memory");
    mux_->pb = io_;
    mux_->flags |= AVFMT_FLAG_CUSTOM_IO;
    packet_.reset(av_packet_alloc());
    filtered_.reset(av_frame_alloc());
    pictures_ = std::move(pictures);
    if (!packet_ || !filtered_ || !openVideo(first, encoder) || (sound && !openAudio(*sound)) ||
        !openText())
        return false;

    if (!title.empty())
        av_dict_set(&mux_->metadata, "title", title.c_str(), 0);
    if (date.Valid) {
        av_dict_set(&mux_->metadata, "creation_time", date.Utc.c_str(), 0);
        av_dict_set(&mux_->metadata, "com.apple.quicktime.creationdate", date.Local.c_str(), 0);
    }
    for (const Mp4Scene& c : chapters) {
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!chapter)
            return fail("out of memory");
        chapter->id = mux_->nb_chapters;
        chapter->time_base = av_inv_q(src_.FrameRate);
        chapter->start = c.FirstFrame - chapterBase;
        chapter->end = c.LastFrame + 1 - chapterBase;
        if (!c.Caption.empty())
            av_dict_set(&chapter->metadata, "title", c.Caption.c_str(), 0);
        // The muxer frees the chapters with its context.
        auto** grown = static_cast<AVChapter**>(
            av_realloc_array(mux_->chapters, mux_->nb_chapters + 1, sizeof(AVChapter*)));
        if (!grown) {
            av_dict_free(&chapter->metadata);
            av_free(chapter);
            return fail("out of memory");
        }
        mux_->chapters = grown;
        mux_->chapters[mux_->nb_chapters++] = chapter;
    }
    AVDictionary* options = nullptr;
    // The Apple creation date is a metadata key only the key-value form can hold.
    av_dict_set(&options, "movflags", "use_metadata_tags", 0);
    const int err = avformat_write_header(mux_, &options);
    av_dict_free(&options);
    if (err < 0)
        return fail("the MP4 header cannot be written: " + ff::ErrorText(err));
    headerWritten_ = true;
    if (sound) {
        {
            const std::lock_guard lock(soundMutex_);
            soundDone_ = false;
        }
        if (!sound->Begin(this)) {
            SoundDone(sound->Error());
            return fail(sound->Error());
        }
        sound_ = sound;
    }
    return true;
}

bool Mp4Output::openVideo(const AVFrame& first, const PictureEncoder& encoder) {
    const bool doubled = set_.DoubleRate;
    const AVCodecContext* v = encoder.Codec.get();
    const AVRational sar = encoder.Sar;
    sar_ = sar;
    videoTimeBase_ = v->time_base;

    graph_.reset(avfilter_graph_alloc());
    if (!graph_)
        return fail("out of memory");
    char args[256];
    std::snprintf(args, sizeof args,
                  "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", first.width,
                  first.height, first.format, src_.FrameRate.den, src_.FrameRate.num, sar.num,
                  sar.den);
    if (avfilter_graph_create_filter(&graphIn_, avfilter_get_by_name("buffer"), "in", args, nullptr,
                                     graph_.get()) < 0 ||
        avfilter_graph_create_filter(&graphOut_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, graph_.get()) < 0)
        return fail("the picture filters cannot be made");
    // DV stores the bottom field first, whatever a container says.
    const std::string chain = std::string("bwdif=mode=") + (doubled ? "send_field" : "send_frame") +
                              ":parity=bff:deint=all,format=yuv420p";
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    if (!outputs || !inputs) {
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        return fail("out of memory");
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = graphIn_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = graphOut_;
    int err = avfilter_graph_parse_ptr(graph_.get(), chain.c_str(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&outputs);
    avfilter_inout_free(&inputs);
    if (err < 0 || (err = avfilter_graph_config(graph_.get(), nullptr)) < 0)
        return fail("the deinterlacer cannot be set up: " + ff::ErrorText(err));

    videoStream_ = avformat_new_stream(mux_, nullptr);
    if (!videoStream_ || avcodec_parameters_from_context(videoStream_->codecpar, v) < 0)
        return fail("out of memory");
    videoStream_->time_base = v->time_base;
    videoStream_->sample_aspect_ratio = sar;
    videoStream_->avg_frame_rate = v->framerate;
    return true;
}

bool Mp4Output::openAudio(const SoundEncoder& sound) {
    const AVCodecContext* a = sound.Codec();
    audioStream_ = avformat_new_stream(mux_, nullptr);
    if (!audioStream_ || avcodec_parameters_from_context(audioStream_->codecpar, a) < 0)
        return fail("out of memory");
    audioStream_->time_base = a->time_base;
    return true;
}

bool Mp4Output::openText() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MOV_TEXT);
    if (!codec)
        return fail("the timed-text encoder is missing");
    text_.reset(avcodec_alloc_context3(codec));
    if (!text_)
        return fail("out of memory");
    AVCodecContext* t = text_.get();
    t->time_base = kMilliseconds;
    const std::size_t size = std::strlen(kSubtitleHeader);
    t->subtitle_header = static_cast<std::uint8_t*>(av_mallocz(size + 1));
    if (!t->subtitle_header)
        return fail("out of memory");
    std::memcpy(t->subtitle_header, kSubtitleHeader, size);
    t->subtitle_header_size = static_cast<int>(size);
    const int err = avcodec_open2(t, codec, nullptr);
    if (err < 0)
        return fail("the timed-text encoder cannot start: " + ff::ErrorText(err));
    textStream_ = avformat_new_stream(mux_, nullptr);
    if (!textStream_ || avcodec_parameters_from_context(textStream_->codecpar, t) < 0)
        return fail("out of memory");
    textStream_->time_base = kMilliseconds;
    av_dict_set(&textStream_->metadata, "language", "eng", 0);
    return true;
}

bool Mp4Output::WriteSound(AVPacket* packet, AVRational timeBase, std::string& why) {
    av_packet_rescale_ts(packet, timeBase, audioStream_->time_base);
    packet->stream_index = audioStream_->index;
    const std::lock_guard lock(muxMutex_);
    const int w = av_interleaved_write_frame(mux_, packet);
    if (w < 0) {
        why = file_->Error().empty() ? "the MP4 cannot be written: " + ff::ErrorText(w)
                                     : file_->Error();
        return false;
    }
    return true;
}

void Mp4Output::SoundDone(const std::string& why) {
    const std::lock_guard lock(soundMutex_);
    if (soundError_.empty())
        soundError_ = why;
    soundDone_ = true;
    soundChanged_.notify_all();
}

bool Mp4Output::WriteVideo(AVPacket* packet, std::int64_t base) {
    packet->pts -= base;
    packet->dts -= base;
    av_packet_rescale_ts(packet, videoTimeBase_, videoStream_->time_base);
    packet->stream_index = videoStream_->index;
    const std::lock_guard lock(muxMutex_);
    const int w = av_interleaved_write_frame(mux_, packet);
    if (w < 0)
        return fail(file_->Error().empty() ? "the MP4 cannot be written: " + ff::ErrorText(w)
                                           : file_->Error());
    return true;
}

// The deinterlaced picture to the encoder, the output's first as a key frame.
bool Mp4Output::takeFiltered() {
    const AVRational from = av_buffersink_get_time_base(graphOut_);
    filtered_->pts = av_rescale_q(filtered_->pts, from, videoTimeBase_);
    filtered_->pict_type = picturesOut_++ == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    filtered_->sample_aspect_ratio = sar_;
    std::string why;
    const bool ok = pictures_(filtered_.get(), why);
    av_frame_unref(filtered_.get());
    return ok || fail(why.empty() ? "the H.264 encoder failed" : why);
}

bool Mp4Output::filterAndEncode(AVFrame* picture) {
    int err = av_buffersrc_add_frame_flags(graphIn_, picture, AV_BUFFERSRC_FLAG_KEEP_REF);
    if (err < 0)
        return fail("the deinterlacer failed: " + ff::ErrorText(err));
    for (;;) {
        err = av_buffersink_get_frame(graphOut_, filtered_.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
            return true;
        if (err < 0)
            return fail("the deinterlacer failed: " + ff::ErrorText(err));
        if (!takeFiltered())
            return false;
    }
}

bool Mp4Output::AddPicture(const AVFrame* picture) {
    if (picture) {
        if (!last_)
            last_.reset(av_frame_alloc());
        if (!last_)
            return fail("out of memory");
        av_frame_unref(last_.get());
        if (av_frame_ref(last_.get(), picture) < 0)
            return fail("out of memory");
    } else if (!last_) {
        return true;
    }
    // The output's own frame count is the clock, so damaged frames keep their place.
    last_->pts = picturesIn_++;
    last_->interlaced_frame = 1;
    last_->top_field_first = 0;
    return filterAndEncode(last_.get());
}

bool Mp4Output::AddSound(AVFrame& sound, std::int64_t at, std::int64_t limit) {
    if (!sound_)
        return true;
    return sound_->Add(sound, at, limit) || fail(sound_->Error());
}

bool Mp4Output::writeCue(std::int64_t endMs) {
    if (cueText_.empty() || endMs <= cueStart_)
        return true;
    std::string ass = "0,0,Default,,0,0,0,,";
    for (const char c : cueText_)
        ass += c == '\n' ? std::string("\\N") : std::string(1, c);
    AVSubtitleRect rect{};
    rect.type = SUBTITLE_ASS;
    rect.ass = ass.data();
    AVSubtitleRect* rects[1] = {&rect};
    AVSubtitle subtitle{};
    subtitle.num_rects = 1;
    subtitle.rects = rects;
    subtitle.end_display_time = static_cast<std::uint32_t>(endMs - cueStart_);
    std::vector<std::uint8_t> buffer(1024 + ass.size() * 4);
    const int size = avcodec_encode_subtitle(text_.get(), buffer.data(),
                                             static_cast<int>(buffer.size()), &subtitle);
    if (size < 0)
        return fail("the timed text cannot be encoded");
    if (av_new_packet(packet_.get(), size) < 0)
        return fail("out of memory");
    std::memcpy(packet_->data, buffer.data(), static_cast<std::size_t>(size));
    packet_->pts = packet_->dts = cueStart_;
    packet_->duration = endMs - cueStart_;
    packet_->stream_index = textStream_->index;
    av_packet_rescale_ts(packet_.get(), kMilliseconds, textStream_->time_base);
    const std::lock_guard lock(muxMutex_);
    const int w = av_interleaved_write_frame(mux_, packet_.get());
    return w < 0 ? fail("the MP4 cannot be written: " + ff::ErrorText(w)) : true;
}

bool Mp4Output::SetText(std::int64_t frame, const std::string& text) {
    if (text == cueText_)
        return true;
    const std::int64_t at = frameMs(frame);
    if (!writeCue(at))
        return false;
    cueText_ = text;
    cueStart_ = at;
    return true;
}

bool Mp4Output::EndPictures() {
    if (!graphIn_)
        return true;
    const int err = av_buffersrc_add_frame_flags(graphIn_, nullptr, 0);
    graphIn_ = nullptr;
    if (err < 0)
        return fail("the deinterlacer failed: " + ff::ErrorText(err));
    while (av_buffersink_get_frame(graphOut_, filtered_.get()) >= 0)
        if (!takeFiltered())
            return false;
    return true;
}

bool Mp4Output::Finish() {
    if (!headerWritten_)
        return fail("the MP4 was not started");
    // The sound thread is done with the output once its last sound packet is written.
    {
        std::unique_lock lock(soundMutex_);
        soundChanged_.wait(lock, [this] { return soundDone_; });
        if (!soundError_.empty())
            return fail(soundError_);
    }
    if (!writeCue(frameMs(picturesIn_)))
        return false;
    cueText_.clear();
    int err = 0;
    if ((err = av_write_trailer(mux_)) < 0)
        return fail("the MP4 cannot be finished: " + ff::ErrorText(err));
    headerWritten_ = false;
    avio_flush(io_);
    if (!file_->Commit())
        return fail(file_->Error().empty() ? "the MP4 cannot be moved into place" : file_->Error());
    return true;
}

void Mp4Output::Abandon() {
    if (file_)
        file_->Discard();
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    if (mux_) {
        avformat_free_context(mux_);
        mux_ = nullptr;
    }
}

bool SoundEncoder::Open(std::string& error) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) {
        error = "the AAC encoder is missing";
        return false;
    }
    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_) {
        error = "out of memory";
        return false;
    }
    AVCodecContext* a = codec_.get();
    a->sample_rate = kAudioRate;
    a->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&a->ch_layout, 2);
    a->bit_rate = kAudioBitRate;
    a->time_base = {1, kAudioRate};
    // MP4 keeps the sound's configuration in its header.
    a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int err = avcodec_open2(a, codec, nullptr); err < 0) {
        error = "the AAC encoder cannot start: " + ff::ErrorText(err);
        return false;
    }
    fifo_.reset(av_audio_fifo_alloc(a->sample_fmt, 2, a->frame_size * 4));
    converted_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    copy_.reset(av_packet_alloc());
    if (!fifo_ || !converted_ || !packet_ || !copy_ || !ring_.emplace(kBlocks).Allocated()) {
        error = "out of memory";
        return false;
    }
    thread_ = std::thread([this] { loop(); });
    return true;
}

bool SoundEncoder::Begin(Mp4Output* output) {
    Block* block = ring_->Free();
    if (!block)
        return false;
    block->Begins = output;
    ring_->Publish();
    return true;
}

bool SoundEncoder::Add(AVFrame& sound, std::int64_t at, std::int64_t limit) {
    Block* block = ring_->Free();
    if (!block)
        return false;
    av_frame_move_ref(block->Data.get(), &sound);
    block->At = at;
    block->Limit = limit;
    block->Begins = nullptr;
    ring_->Publish();
    return true;
}

void SoundEncoder::EndInput() {
    if (ring_)
        ring_->End();
}

void SoundEncoder::Stop(bool cancel) {
    if (ring_) {
        if (cancel)
            ring_->Cancel();
        else
            ring_->End();
    }
    if (thread_.joinable())
        thread_.join();
}

void SoundEncoder::loop() {
    bool ok = true;
    while (Block* block = ring_->Next()) {
        ok = block->Begins ? endSpan() && beginSpan(block->Begins)
                           : encodeSound(*block->Data, block->At, block->Limit);
        av_frame_unref(block->Data.get());
        if (!ok)
            break;
        ring_->Release();
    }
    // The end of the sound, or a cancel: what was given is encoded either way, so that an output
    // whose pictures are all in gets its sound.
    if (ok && endSpan() && encodeFrames(true) && avcodec_send_frame(codec_.get(), nullptr) >= 0 &&
        drain()) {
        complete(true, {});
        return;
    }
    if (error_.empty())
        error_ = "the AAC encoder failed";
    ring_->Cancel();
    complete(true, error_);
}

bool SoundEncoder::beginSpan(Mp4Output* output) {
    // Four-channel 32 kHz DV gives its first stereo pair here: the demuxer's first sound stream.
    AVCodecContext* a = codec_.get();
    SwrContext* swr = nullptr;
    AVChannelLayout inLayout{};
    if (src_.SoundLayout.nb_channels > 0)
        av_channel_layout_copy(&inLayout, &src_.SoundLayout);
    else
        av_channel_layout_default(&inLayout, 2);
    const int err = swr_alloc_set_opts2(&swr, &a->ch_layout, a->sample_fmt, kAudioRate, &inLayout,
                                        src_.SoundFormat, src_.SoundRate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    resampler_.reset(swr);
    if (err < 0 || swr_init(swr) < 0) {
        output->SoundDone("the sound cannot be resampled");
        return fail("the sound cannot be resampled");
    }
    soundAt_ = 0;
    spans_.push_back({output, fed_, -1});
    return true;
}

bool SoundEncoder::endSpan() {
    if (spans_.empty() || spans_.back().End >= 0)
        return true;
    // The resampler's delay ends the output's sound.
    const int room = swr_get_out_samples(resampler_.get(), 0);
    if (room > 0) {
        if (!reserveConverted(room))
            return fail("out of memory");
        const int out = swr_convert(resampler_.get(), converted_->data, room, nullptr, 0);
        if (out > 0 && !toFifo(out))
            return false;
    }
    resampler_.reset();
    spans_.back().End = fed_;
    complete(false, {});
    return encodeFrames(false);
}

bool SoundEncoder::toFifo(int count) {
    if (av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(converted_->data), count) < count)
        return fail("out of memory");
    fed_ += count;
    return true;
}

bool SoundEncoder::encodeSound(const AVFrame& sound, std::int64_t at, std::int64_t limit) {
    if (spans_.empty() || spans_.back().End >= 0)
        return true;
    std::int64_t skip = 0;
    const std::int64_t samples = std::min<std::int64_t>(sound.nb_samples, limit - at);
    if (samples <= 0)
        return true;
    if (at > soundAt_) {
        // A gap in the source's sound is filled with silence so that the pictures keep in step.
        const std::int64_t gap = std::min<std::int64_t>(at - soundAt_, src_.SoundRate);
        if (swr_inject_silence(resampler_.get(), static_cast<int>(gap)) < 0)
            return fail("the sound cannot be resampled");
        soundAt_ = at;
    } else if (at < soundAt_) {
        skip = std::min(samples, soundAt_ - at);
    }
    if (skip >= samples)
        return true;
    const int bytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(sound.format));
    const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(sound.format));
    const int channels = sound.ch_layout.nb_channels;
    const std::uint8_t* planes[8] = {};
    for (int c = 0; c < (planar ? std::min(channels, 8) : 1); ++c)
        planes[c] = sound.extended_data[c] + skip * bytes * (planar ? 1 : channels);
    const int count = static_cast<int>(samples - skip);
    soundAt_ += count;
    const int room = swr_get_out_samples(resampler_.get(), count);
    if (!reserveConverted(room))
        return fail("out of memory");
    const int out = swr_convert(resampler_.get(), converted_->data, room, planes, count);
    if (out < 0)
        return fail("the sound cannot be resampled");
    if (out > 0 && !toFifo(out))
        return false;
    return encodeFrames(false);
}

bool SoundEncoder::reserveConverted(int samples) {
    // Grown only, so that the steady state resamples into the same buffer.
    if (samples <= convertedCapacity_)
        return true;
    av_frame_unref(converted_.get());
    converted_->nb_samples = samples;
    converted_->format = codec_->sample_fmt;
    av_channel_layout_copy(&converted_->ch_layout, &codec_->ch_layout);
    if (av_frame_get_buffer(converted_.get(), 0) < 0)
        return false;
    convertedCapacity_ = samples;
    return true;
}

bool SoundEncoder::encodeFrames(bool flush) {
    AVCodecContext* a = codec_.get();
    const int size = a->frame_size > 0 ? a->frame_size : 1024;
    while (av_audio_fifo_size(fifo_.get()) >= size ||
           (flush && av_audio_fifo_size(fifo_.get()) > 0)) {
        const int n = std::min(size, av_audio_fifo_size(fifo_.get()));
        // One block frame throughout: the encoder has let go of it once drained.
        if (!block_) {
            block_.reset(av_frame_alloc());
            if (!block_)
                return fail("out of memory");
            block_->nb_samples = size;
            block_->format = a->sample_fmt;
            block_->sample_rate = a->sample_rate;
            av_channel_layout_copy(&block_->ch_layout, &a->ch_layout);
            if (av_frame_get_buffer(block_.get(), 0) < 0)
                return fail("out of memory");
        }
        if (av_frame_make_writable(block_.get()) < 0)
            return fail("out of memory");
        block_->nb_samples = n;
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(block_->data), n);
        block_->pts = sent_;
        sent_ += n;
        if (avcodec_send_frame(a, block_.get()) < 0)
            return fail("the AAC encoder failed");
        if (!drain())
            return false;
    }
    return true;
}

bool SoundEncoder::drain() {
    for (;;) {
        const int err = avcodec_receive_packet(codec_.get(), packet_.get());
        if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
            return true;
        if (err < 0)
            return fail("the AAC encoder failed: " + ff::ErrorText(err));
        const bool ok = route(packet_.get());
        av_packet_unref(packet_.get());
        if (!ok)
            return false;
    }
}

bool SoundEncoder::route(AVPacket* packet) {
    const std::int64_t size = codec_->frame_size > 0 ? codec_->frame_size : 1024;
    const std::int64_t pts = packet->pts;
    for (Span& s : spans_) {
        // The packet that decodes to the output's first sample, and the one before it.
        const std::int64_t from = s.First / size * size - size;
        if (pts < from || (s.End >= 0 && pts >= s.End) || (s.End >= 0 && s.End <= s.First))
            continue;
        // A copy of its own for each output rather than a shared reference: outputs are
        // finished on other threads, and the count libavutil keeps for a shared buffer is not
        // one the thread checker sees.
        if (av_new_packet(copy_.get(), packet->size) < 0 ||
            av_packet_copy_props(copy_.get(), packet) < 0)
            return fail("out of memory");
        std::memcpy(copy_->data, packet->data, static_cast<std::size_t>(packet->size));
        copy_->pts = copy_->dts = pts - s.First;
        if (s.End >= 0)
            copy_->duration = std::min(packet->duration, s.End - pts);
        std::string why;
        const bool ok = s.Output->WriteSound(copy_.get(), codec_->time_base, why);
        av_packet_unref(copy_.get());
        if (!ok)
            return fail(why);
    }
    lastPts_ = pts;
    complete(false, {});
    return true;
}

void SoundEncoder::complete(bool all, const std::string& why) {
    const std::int64_t size = codec_->frame_size > 0 ? codec_->frame_size : 1024;
    while (!spans_.empty()) {
        const Span& s = spans_.front();
        const bool done = s.End >= 0 && (s.End <= s.First || lastPts_ + size >= s.End);
        if (!done && !all)
            return;
        s.Output->SoundDone(why);
        spans_.pop_front();
    }
}

bool OpenSource(const std::string& name, Source& s, std::string& error) {
    AVFormatContext* format = nullptr;
    // Among the video containers and from the local file only, as the splitters open files.
    int err = OpenVideoContainer(&format, name);
    if (err < 0) {
        error = "the video cannot be opened: " + ff::ErrorText(err);
        return false;
    }
    s.Format.reset(format);
    if ((err = avformat_find_stream_info(format, nullptr)) < 0) {
        error = "the video cannot be read: " + ff::ErrorText(err);
        return false;
    }
    s.VideoIndex = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (s.VideoIndex < 0) {
        error = "the file has no video";
        return false;
    }
    // The first sound stream: with four-channel DV, the first stereo pair.
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
            s.AudioIndex = static_cast<int>(i);
            break;
        }
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != s.VideoIndex && static_cast<int>(i) != s.AudioIndex)
            format->streams[i]->discard = AVDISCARD_ALL;
    const auto open = [&](int index, CodecCtx& ctx) {
        const AVCodecParameters* par = format->streams[index]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (!codec)
            return false;
        ctx.reset(avcodec_alloc_context3(codec));
        if (!ctx || avcodec_parameters_to_context(ctx.get(), par) < 0)
            return false;
        // Slices, not frames: a frame-threaded decoder would hold pictures back. Every core
        // takes a share, as the encoder's threads wait for the pictures.
        ctx->thread_type = FF_THREAD_SLICE;
        ctx->thread_count = 0;
        return avcodec_open2(ctx.get(), codec, nullptr) >= 0;
    };
    if (!open(s.VideoIndex, s.Video)) {
        error = "the video cannot be decoded";
        return false;
    }
    if (s.AudioIndex >= 0 && !open(s.AudioIndex, s.Audio))
        s.Audio.reset();
    if (s.Audio) {
        s.HasSound = true;
        s.SoundRate = s.Audio->sample_rate;
        s.SoundFormat = s.Audio->sample_fmt;
        av_channel_layout_copy(&s.SoundLayout, &s.Audio->ch_layout);
    }
    const AVStream* vs = format->streams[s.VideoIndex];
    s.Pal = vs->codecpar->height != 480;
    s.FrameRate = s.Pal ? AVRational{25, 1} : AVRational{30000, 1001};
    return true;
}

// One step of the source in reading order: a video frame (its picture when it decodes, its
// aspect and its running date) or a decoded block of its sound.
struct SourceStep {
    bool IsPicture = true;
    std::int64_t Frame = 0;  // picture: the source frame index, from 0
    bool Decoded = false;    // picture: a picture came out of the frame
    bool WideKnown = false;  // picture: the frame's packs say its aspect
    bool Wide = false;
    std::string Lines;                  // picture: the running date as the subtitle shows it
    scenes::FrameInfo Record;           // picture: the frame's packs, for the burnt date
    std::int64_t Pts = AV_NOPTS_VALUE;  // sound: its packet's time in the stream's time base
    ff::FramePtr Data;                  // the picture or the sound
};

// The steps go from the reading thread to the encoding one through a ring, so that reading and
// decoding the DV run beside the deinterlacer and the encoder.
using StepQueue = SlotRing<SourceStep>;

// Enough steps for the frames the deinterlacer holds plus a second of reading ahead.
constexpr std::size_t kQueueSteps = 48;

// The reading thread: demuxes the source, follows the running date, decodes the frames of the
// scenes and their sound, and hands every step on in order.
void ReadSource(Source& src, const Mp4Job& job, const Mp4Settings& settings, StepQueue& queue) {
    AVFormatContext* format = src.Format.get();
    const std::int64_t firstFrame = job.Scenes.front().FirstFrame;
    const std::int64_t lastFrame = job.Scenes.back().LastFrame;

    // The running date lines, exactly as the subtitle file shows them, always on.
    scenes::DateSceneDetector dates(settings.Locale);
    dates.SetAutoMode(false);
    std::string lines;
    dates.SetSubtitleSink(
        [&lines](const scenes::FrameInfo&, const std::string& l1, const std::string& l2) {
            const auto blank = [](const std::string& l) {
                return l.find_first_not_of(' ') == std::string::npos;
            };
            lines = blank(l1) ? std::string() : l1;
            if (!blank(l2))
                lines += (lines.empty() ? "" : "\n") + l2;
        });
    dates.StartStreaming();

    std::size_t cursor = 0;
    const auto wanted = [&](std::int64_t f) {
        if (job.Whole)
            return f >= firstFrame && f <= lastFrame;
        while (cursor < job.Scenes.size() && job.Scenes[cursor].LastFrame < f)
            ++cursor;
        return cursor < job.Scenes.size() && f >= job.Scenes[cursor].FirstFrame;
    };

    Packet packet(av_packet_alloc());
    std::int64_t frame = -1;
    bool going = packet != nullptr;
    while (going && av_read_frame(format, packet.get()) >= 0) {
        if (packet->stream_index == src.VideoIndex) {
            ++frame;
            if (frame > lastFrame) {
                av_packet_unref(packet.get());
                break;
            }
            const std::span<const std::uint8_t> bytes(packet->data,
                                                      static_cast<std::size_t>(packet->size));
            dates.ProcessSample(bytes);
            if (!wanted(frame)) {
                av_packet_unref(packet.get());
                continue;
            }
            SourceStep* step = queue.Free();
            if (!step) {
                av_packet_unref(packet.get());
                break;
            }
            step->IsPicture = true;
            step->Frame = frame;
            const auto sequences = dv::SequenceCountForSize(bytes.size());
            step->Wide = false;
            step->WideKnown = sequences && dv::ReadWide(bytes, *sequences, step->Wide);
            step->Decoded = avcodec_send_packet(src.Video.get(), packet.get()) >= 0 &&
                            avcodec_receive_frame(src.Video.get(), step->Data.get()) >= 0;
            step->Lines = lines;
            step->Record = dates.Current();
            av_packet_unref(packet.get());
            queue.Publish();
        } else if (packet->stream_index == src.AudioIndex && src.Audio) {
            const std::int64_t pts = packet->pts;
            if (avcodec_send_packet(src.Audio.get(), packet.get()) >= 0 && pts != AV_NOPTS_VALUE) {
                for (;;) {
                    SourceStep* step = queue.Free();
                    if (!step) {
                        going = false;
                        break;
                    }
                    if (avcodec_receive_frame(src.Audio.get(), step->Data.get()) < 0)
                        break;
                    step->IsPicture = false;
                    step->Pts = pts;
                    queue.Publish();
                }
            }
            av_packet_unref(packet.get());
        } else {
            av_packet_unref(packet.get());
        }
    }
    dates.Stop();
    queue.End();
}

}  // namespace

namespace {

// Every scene's encoder allocates and frees tens of megabytes. By default glibc maps blocks that
// large afresh and trims the freed heap, so each scene would fault all of it in again (a third
// of the per-scene run's system time); keeping such blocks in the heap lets the next scene's
// encoder reuse them. Set once for the process, when the first export of several scenes runs.
void KeepEncoderMemory() {
    static std::once_flag once;
    std::call_once(once, [] {
        constexpr int kMapThreshold = 32 << 20;
        constexpr int kTrimThreshold = 128 << 20;
        mallopt(M_MMAP_THRESHOLD, kMapThreshold);
        mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
    });
}

}  // namespace

bool Mp4Exporter::Run(const Mp4Job& job, const Mp4Settings& settings, const Progress& progress) {
    error_.clear();
    written_.clear();
    const auto failed = [this](std::string why) {
        error_ = std::move(why);
        return false;
    };
    if (job.Scenes.empty())
        return failed("the video has no scene");
    if (!KnownTimeZone(settings.TimeZone))
        return failed("unknown time zone " + settings.TimeZone);
    if (!job.Whole && job.Scenes.size() > 1)
        KeepEncoderMemory();
    Source src;
    if (!OpenSource(job.Source, src, error_))
        return false;
    const AVStream* audioStream =
        src.AudioIndex >= 0 ? src.Format->streams[src.AudioIndex] : nullptr;
    const AVRational audioTimeBase = audioStream ? audioStream->time_base : AVRational{1, 1};

    const std::int64_t lastFrame = job.Scenes.back().LastFrame;
    // One file keeps the frames between its chapters too, so its times match the source's.
    std::int64_t total = job.Whole ? lastFrame - job.Scenes.front().FirstFrame + 1 : 0;
    for (const Mp4Scene& s : job.Scenes)
        total += job.Whole ? 0 : s.LastFrame - s.FirstFrame + 1;

    // An output whose last picture packet is written is finished (its sound's end, the trailer)
    // on a thread of its own while the next scene is encoded. Its sound's last packets come once
    // the shared sound encoder has the next output's first samples, so a few may wait at once.
    struct Finishing {
        std::unique_ptr<Mp4Output> Output;
        std::size_t Scene = 0;
        std::future<bool> Done;
    };
    std::deque<Finishing> finishing;

    StepQueue queue(kQueueSteps);
    if (!queue.Allocated())
        return failed("out of memory");
    std::thread reader(ReadSource, std::ref(src), std::cref(job), std::cref(settings),
                       std::ref(queue));
    // Every way out stops the reading thread first; an output being finished is let end, as
    // it holds a whole scene.
    struct ReaderStop {
        StepQueue& Queue;
        std::thread& Reader;
        ~ReaderStop() {
            Queue.Cancel();
            Reader.join();
        }
    } readerStop{queue, reader};

    // The shared H.264 encoder. Its packets go to the current output or, until the current one's
    // first packet comes out, to the one before it (pending), whose pictures are all in.
    std::unique_ptr<PictureEncoder> encoder;
    Packet packet(av_packet_alloc());
    if (!packet)
        return failed("out of memory");
    std::unique_ptr<Mp4Output> pending;
    std::size_t pendingScene = 0;
    std::int64_t pendingBase = 0;  // the encoder time of the pending output's first picture
    std::int64_t outBase = 0;      // and of the current one's

    std::unique_ptr<Mp4Output> out;
    // After the outputs, so that its thread ends before they go.
    std::optional<SoundEncoder> sound;
    if (src.HasSound && !sound.emplace(src).Open(error_))
        return false;
    std::size_t scene = 0;      // the scene the current output holds (or starts)
    std::int64_t outFirst = 0;  // the source frame the output starts at
    std::int64_t outLast = 0;   // and its last one
    std::int64_t done = 0;
    bool wide = false;
    std::string shownLines;
    int outWidth = 0, outHeight = 0;  // the output's picture size
    std::optional<DateBurn> burn;
    if (settings.InlaySeconds > 0)
        burn.emplace(settings, src.FrameRate);
    std::size_t burnNext = 0;  // the next scene whose first frame restarts the burnt date

    const auto sceneOf = [&](std::int64_t f) -> std::optional<std::size_t> {
        if (job.Whole)
            return f >= job.Scenes.front().FirstFrame && f <= lastFrame
                       ? std::optional<std::size_t>(0)
                       : std::nullopt;
        for (std::size_t i = scene; i < job.Scenes.size(); ++i) {
            if (f < job.Scenes[i].FirstFrame)
                return std::nullopt;
            if (f <= job.Scenes[i].LastFrame)
                return i;
        }
        return std::nullopt;
    };
    // Takes the finished outputs in order (waiting for them all when `wait`), and gives their
    // files the recording time.
    const auto settle = [&](bool wait) {
        while (!finishing.empty()) {
            Finishing& f = finishing.front();
            if (!wait && f.Done.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
                return true;
            if (!f.Done.get()) {
                error_ = f.Output->Error();
                finishing.pop_front();
                return false;
            }
            const std::string& target = job.Whole ? job.WholeOutput : job.Scenes[f.Scene].Output;
            const Mp4Scene& first = job.Whole ? job.Scenes.front() : job.Scenes[f.Scene];
            // The file's own time is the recording time, for the programs that only read that.
            if (const RecordingTime t = RecordingTimeIn(first.Recorded, settings.TimeZone);
                t.Valid) {
                const timespec times[2] = {{0, UTIME_OMIT},
                                           {static_cast<time_t>(t.UnixSeconds), 0}};
                ::utimensat(AT_FDCWD, target.c_str(), times, 0);
            }
            written_.push_back(target);
            finishing.pop_front();
        }
        return true;
    };
    const auto startFinish = [&](std::unique_ptr<Mp4Output>& which, std::size_t index) {
        if (!which)
            return true;
        if (!settle(false))
            return false;
        Mp4Output* output = which.get();
        finishing.push_back(
            Finishing{std::move(which), index,
                      std::async(std::launch::async, [output] { return output->Finish(); })});
        return true;
    };
    // Writes the packets the encoder has ready where they belong.
    const auto route = [&]() {
        for (;;) {
            const int err = avcodec_receive_packet(encoder->Codec.get(), packet.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF)
                return true;
            if (err < 0)
                return failed("the H.264 encoder failed: " + ff::ErrorText(err));
            if (packet->pts < outBase) {
                if (!pending) {
                    av_packet_unref(packet.get());
                    return failed("the H.264 encoder gave a picture of a finished scene");
                }
                if (!pending->WriteVideo(packet.get(), pendingBase))
                    return failed(pending->Error());
                continue;
            }
            if (pending && !startFinish(pending, pendingScene))
                return false;
            // The pictures of an abandoned output come out to no file.
            if (!out) {
                av_packet_unref(packet.get());
                continue;
            }
            if (!out->WriteVideo(packet.get(), outBase))
                return failed(out->Error());
        }
    };
    const Mp4Output::PictureSink feed = [&](AVFrame* picture, std::string& why) {
        picture->pts += outBase;
        encoder->NextPts = picture->pts + 1;
        const int err = avcodec_send_frame(encoder->Codec.get(), picture);
        if (err < 0) {
            why = "the H.264 encoder failed: " + ff::ErrorText(err);
            return false;
        }
        if (!route()) {
            why = error_;
            return false;
        }
        return true;
    };
    // Empties the encoder into its outputs and finishes them all.
    const auto drainAll = [&]() {
        if (!encoder)
            return true;
        avcodec_send_frame(encoder->Codec.get(), nullptr);
        if (!route() || !startFinish(pending, pendingScene))
            return false;
        encoder.reset();
        return true;
    };
    // The current output takes no more pictures; it waits for its last packets as the pending
    // one, or, when one is still pending, the encoder is emptied so that at most two outputs
    // wait for it.
    const auto finishOutput = [&]() {
        if (!out)
            return true;
        if (!out->EndPictures())
            return failed(out->Error());
        if (pending) {
            if (!drainAll())
                return false;
            return startFinish(out, scene);
        }
        pending = std::move(out);
        pendingScene = scene;
        pendingBase = outBase;
        outBase = encoder->NextPts;
        return true;
    };
    const auto pushPicture = [&](const AVFrame* p, std::int64_t frame, const std::string& lines) {
        if (!out->AddPicture(p))
            return failed(out->Error());
        if (lines != shownLines) {
            if (!out->SetText(frame - outFirst, lines))
                return failed(out->Error());
            shownLines = lines;
        }
        return true;
    };

    bool ok = true;
    while (ok) {
        SourceStep* step = queue.Next();
        if (!step)
            break;
        if (step->IsPicture) {
            const std::int64_t frame = step->Frame;
            const auto in = sceneOf(frame);
            if (!in) {
                av_frame_unref(step->Data.get());
                queue.Release();
                continue;
            }
            if (out && !job.Whole && *in != scene && !(ok = finishOutput()))
                break;
            scene = *in;
            if (step->WideKnown && !out)
                wide = step->Wide;
            AVFrame* picture = step->Data.get();
            if (!out) {
                if (!step->Decoded) {
                    queue.Release();
                    continue;  // an output starts at its first readable picture
                }
                const AVRational sar = ExactSampleAspect(picture->width, picture->height, wide);
                if (encoder && !encoder->Fits(picture->width, picture->height, sar) &&
                    !(ok = drainAll()))
                    break;
                if (!encoder) {
                    encoder = std::make_unique<PictureEncoder>();
                    if (!OpenPictureEncoder(*encoder, src, settings, picture->width,
                                            picture->height, sar, error_)) {
                        ok = false;
                        break;
                    }
                    outBase = 0;
                } else {
                    outBase = encoder->NextPts;
                }
                out = std::make_unique<Mp4Output>(src, settings);
                outFirst = job.Whole ? job.Scenes.front().FirstFrame : job.Scenes[scene].FirstFrame;
                outLast = job.Whole ? lastFrame : job.Scenes[scene].LastFrame;
                const Mp4Scene& first = job.Whole ? job.Scenes.front() : job.Scenes[scene];
                const std::string& target = job.Whole ? job.WholeOutput : first.Output;
                const std::string& title = job.Whole ? job.WholeCaption : first.Caption;
                std::vector<Mp4Scene> chapters;
                if (job.Whole)
                    chapters = job.Scenes;
                shownLines.clear();
                if (!out->Open(target, job.Source, *picture, *encoder, feed,
                               sound ? &*sound : nullptr, title,
                               RecordingTimeIn(first.Recorded, settings.TimeZone), chapters,
                               outFirst)) {
                    error_ = out->Error();
                    ok = false;
                    break;
                }
                outWidth = picture->width;
                outHeight = picture->height;
                // Pictures lost before the first readable one repeat it.
                for (std::int64_t f = outFirst; ok && f < frame; ++f)
                    ok = out->AddPicture(picture) || failed(out->Error());
            }
            if (!ok)
                break;
            if (burn) {
                bool starts = false;
                for (; burnNext < job.Scenes.size() && job.Scenes[burnNext].FirstFrame <= frame;
                     ++burnNext)
                    starts = true;
                if ((starts && !burn->Restart(outWidth, outHeight)) ||
                    !burn->Apply(step->Decoded ? picture : nullptr, step->Record)) {
                    ok = failed(burn->Error());
                    break;
                }
            }
            if (!(ok = pushPicture(step->Decoded ? picture : nullptr, frame, step->Lines)))
                break;
            av_frame_unref(picture);
            queue.Release();
            ++done;
            if (progress && !progress(done, total)) {
                error_ = "stopped";
                ok = false;
                break;
            }
        } else {
            AVFrame* sound = step->Data.get();
            if (out && step->Pts != AV_NOPTS_VALUE) {
                const std::int64_t rate = src.SoundRate;
                const std::int64_t at =
                    av_rescale_q(step->Pts, audioTimeBase, {1, static_cast<int>(rate)});
                const std::int64_t start =
                    av_rescale(outFirst, rate * src.FrameRate.den, src.FrameRate.num);
                const std::int64_t end =
                    av_rescale(outLast + 1, rate * src.FrameRate.den, src.FrameRate.num);
                if (at + sound->nb_samples > start && at < end)
                    ok = out->AddSound(*sound, at - start, end - start) || failed(out->Error());
            }
            av_frame_unref(sound);
            queue.Release();
        }
    }
    if (!ok) {
        const std::string why = error_;
        // The sound given so far is encoded first, for the outputs that are kept; the abandoned
        // one's sound thread is done with it then.
        if (sound)
            sound->Stop(false);
        if (out)
            out->Abandon();
        out.reset();
        // The scene whose pictures are all in is finished still: a stop keeps complete scenes.
        if (pending && !drainAll())
            pending->Abandon();
        settle(true);
        error_ = why;
        return false;
    }
    if (sound)
        sound->EndInput();
    if (out && !out->EndPictures())
        return failed(out->Error());
    if (!drainAll() || !startFinish(out, scene) || !settle(true))
        return false;
    if (written_.empty())
        return failed("no picture of the scenes could be decoded");
    return true;
}

}  // namespace kelvor::media
