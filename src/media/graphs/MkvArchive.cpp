#include "media/graphs/MkvArchive.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "core/avi/AviDemuxer.h"
#include "core/avi/ByteReader.h"
#include "core/avi/FormatBlocks.h"
#include "core/avi/PositionedFile.h"
#include "core/dv/DvPacks.h"
#include "core/files/OutputFile.h"
#include "media/engine/DvAudio.h"
#include "media/engine/FfmpegUtil.h"
#include "media/engine/LavfSource.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

namespace kelvor::media {
namespace {

// The writer's buffer, flushed only when full: the muxer marks a flush point after each packet
// and cluster (a cluster a frame), which would otherwise make a write call a frame.
constexpr int kIoBufferSize = 1 << 20;
// Frames read ahead of the muxer.
constexpr std::size_t kReadAhead = 8;
// The first frame with readable sound within this many decides the sound track's rate.
constexpr std::int64_t kAudioProbeFrames = 250;
constexpr int kChannels = 2;
constexpr AVRational kMilliseconds{1, 1000};

struct OutputContextDeleter {
    void operator()(AVFormatContext* f) const { avformat_free_context(f); }
};
struct IoContextDeleter {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

// What a read of frame i gives.
enum class FrameRead { Frame, End, Failed };

// The DV frames of an AVI file's video stream, of a raw DV file at fixed positions, or of the
// first DV stream of a QuickTime or Matroska file (its packets in order, so a read behind the
// last one opens the file again).
class FrameSource {
  public:
    bool open(const std::string& path, std::string& error) {
        path_ = path;
        auto avi = std::make_unique<avi::AviDemuxer>();
        if (avi->open(path) && avi->videoStream() >= 0) {
            avi_ = std::move(avi);
            stream_ = static_cast<std::size_t>(avi_->videoStream());
            count_ = static_cast<std::int64_t>(avi_->chunkCount(stream_));
            return true;
        }
        file_ = avi::DiskFile::open(path);
        if (!file_) {
            error = "the file cannot be opened";
            return false;
        }
        std::array<std::uint8_t, dv::kDifBlockSize> header{};
        const auto got = file_->readAt(0, header);
        const int standard = got && *got == header.size() ? dv::HeaderBlockStandard(header) : 0;
        if (standard != dv::kStandardPal && standard != dv::kStandardNtsc) {
            file_.reset();
            if (openContainer())
                return true;
            error = "not a DV AVI file, a raw DV file nor DV in QuickTime or Matroska";
            return false;
        }
        frameSize_ = standard == dv::kStandardPal ? dv::kFrameSize625 : dv::kFrameSize525;
        count_ = static_cast<std::int64_t>((file_->size() + frameSize_ - 1) / frameSize_);
        file_->adviseSequential();
        return true;
    }

    // The frames of the file; a container read through libavformat says it only at its end.
    std::optional<std::int64_t> count() const {
        return container_ ? std::nullopt : std::optional<std::int64_t>(count_);
    }
    avi::AviDemuxer* avi() const { return avi_.get(); }

    // Frame i as the file holds it (a damaged chunk keeps its own size).
    FrameRead read(std::int64_t i, std::vector<std::uint8_t>& frame) {
        if (container_)
            return readPacket(i, frame);
        if (i >= count_)
            return FrameRead::End;
        if (avi_) {
            const auto chunk = avi_->chunk(stream_, static_cast<std::uint64_t>(i));
            if (!chunk)
                return FrameRead::Failed;
            frame.resize(chunk->Size);
            if (chunk->Size == 0)
                return FrameRead::Frame;
            const auto got = avi_->readChunk(stream_, static_cast<std::uint64_t>(i), frame);
            return got && *got == chunk->Size ? FrameRead::Frame : FrameRead::Failed;
        }
        const std::uint64_t at = static_cast<std::uint64_t>(i) * frameSize_;
        frame.resize(
            static_cast<std::size_t>(std::min<std::uint64_t>(frameSize_, file_->size() - at)));
        const auto got = file_->readAt(at, frame);
        return got && *got == frame.size() ? FrameRead::Frame : FrameRead::Failed;
    }

  private:
    bool openContainer() {
        container_.reset();
        next_ = 0;
        AVFormatContext* raw = nullptr;
        if (OpenVideoContainer(&raw, path_) < 0)
            return false;
        container_.reset(raw);
        if (avformat_find_stream_info(raw, nullptr) < 0)
            return false;
        packetStream_ = -1;
        for (unsigned k = 0; k < raw->nb_streams && packetStream_ < 0; ++k)
            if (raw->streams[k]->codecpar->codec_id == AV_CODEC_ID_DVVIDEO)
                packetStream_ = static_cast<int>(k);
        packet_.reset(av_packet_alloc());
        if (packetStream_ < 0 || !packet_) {
            container_.reset();
            return false;
        }
        return true;
    }
    FrameRead readPacket(std::int64_t i, std::vector<std::uint8_t>& frame) {
        if (i < next_ && !openContainer())
            return FrameRead::Failed;
        while (av_read_frame(container_.get(), packet_.get()) >= 0) {
            const bool ours = packet_->stream_index == packetStream_;
            if (ours && next_++ == i) {
                frame.assign(packet_->data, packet_->data + packet_->size);
                av_packet_unref(packet_.get());
                return FrameRead::Frame;
            }
            av_packet_unref(packet_.get());
        }
        return FrameRead::End;
    }

    std::string path_;
    std::unique_ptr<avi::AviDemuxer> avi_;
    std::size_t stream_ = 0;
    std::unique_ptr<avi::DiskFile> file_;
    std::size_t frameSize_ = 0;
    std::int64_t count_ = 0;
    ff::FormatInputPtr container_;
    ff::PacketPtr packet_;
    int packetStream_ = -1;
    std::int64_t next_ = 0;  // the index of the container's next DV packet
};

// A type 2 file's own sound stream when it is 16-bit PCM: its chunks read on as one run of
// sample frames, so each video frame takes the samples of its time whatever the chunks' sizes.
class StreamSound {
  public:
    bool open(avi::AviDemuxer& avi) {
        const int index = avi.audioStream();
        if (index < 0)
            return false;
        const avi::AviStreamInfo& info = avi.streams()[static_cast<std::size_t>(index)];
        avi::ByteReader r(info.Format);
        const auto w = avi::ReadWaveFormatEx(r);
        if (!w || w->wFormatTag != avi::WaveFormatEx::kFormatPcm || w->wBitsPerSample != 16 ||
            w->nChannels == 0 || w->nChannels > kMaxStreamChannels || w->nSamplesPerSec == 0 ||
            w->nBlockAlign != 2 * w->nChannels)
            return false;
        avi_ = &avi;
        stream_ = static_cast<std::size_t>(index);
        chunks_ = avi.chunkCount(stream_);
        Rate = static_cast<int>(w->nSamplesPerSec);
        Channels = w->nChannels;
        return true;
    }

    // The next `samples` sample frames into out (resized), silence past the stream's end; false
    // on a failed read.
    bool take(std::int64_t samples, std::vector<std::uint8_t>& out) {
        const std::size_t block = 2 * static_cast<std::size_t>(Channels);
        out.assign(static_cast<std::size_t>(samples) * block, 0);
        std::size_t filled = 0;
        while (filled < out.size()) {
            if (at_ == chunk_.size()) {
                if (next_ >= chunks_)
                    return true;
                const auto c = avi_->chunk(stream_, next_);
                if (!c)
                    return false;
                chunk_.resize(c->Size);
                if (c->Size > 0) {
                    const auto got = avi_->readChunk(stream_, next_, chunk_);
                    if (!got || *got != c->Size)
                        return false;
                }
                ++next_;
                at_ = 0;
                continue;
            }
            const std::size_t n = std::min(chunk_.size() - at_, out.size() - filled);
            std::copy_n(chunk_.begin() + static_cast<std::ptrdiff_t>(at_), n,
                        out.begin() + static_cast<std::ptrdiff_t>(filled));
            at_ += n;
            filled += n;
        }
        return true;
    }

    int Rate = 0;
    int Channels = 0;

  private:
    static constexpr int kMaxStreamChannels = 8;
    avi::AviDemuxer* avi_ = nullptr;
    std::size_t stream_ = 0;
    std::uint64_t chunks_ = 0;
    std::uint64_t next_ = 0;
    std::vector<std::uint8_t> chunk_;
    std::size_t at_ = 0;
};

// libavformat writes through this into the output file, seeking back for the headers it
// completes at the end.
struct OutputIo {
    files::OutputFile* file = nullptr;
    std::uint64_t position = 0;

    static int write(void* opaque, std::uint8_t* buf, int size) {
        auto& io = *static_cast<OutputIo*>(opaque);
        std::span<const std::uint8_t> bytes(buf, static_cast<std::size_t>(size));
        const std::uint64_t end = io.file->Size();
        if (io.position > end)
            return AVERROR(EINVAL);
        const std::size_t overlap =
            static_cast<std::size_t>(std::min<std::uint64_t>(end - io.position, bytes.size()));
        if (overlap > 0 && !io.file->WriteAt(io.position, bytes.first(overlap)))
            return AVERROR(EIO);
        if (overlap < bytes.size() && !io.file->Write(bytes.subspan(overlap)))
            return AVERROR(EIO);
        io.position += bytes.size();
        return size;
    }

    static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
        auto& io = *static_cast<OutputIo*>(opaque);
        const auto size = static_cast<std::int64_t>(io.file->Size());
        switch (whence & ~AVSEEK_FORCE) {
            case AVSEEK_SIZE:
                return size;
            case SEEK_SET:
                break;
            case SEEK_CUR:
                offset += static_cast<std::int64_t>(io.position);
                break;
            case SEEK_END:
                offset += size;
                break;
            default:
                return AVERROR(EINVAL);
        }
        if (offset < 0 || offset > size)
            return AVERROR(EINVAL);
        io.position = static_cast<std::uint64_t>(offset);
        return offset;
    }
};

// One frame as the reading thread hands it to the muxer: the DV bytes and the sound of its time.
struct ReadFrame {
    FrameRead Status = FrameRead::End;
    bool SoundFailed = false;
    std::vector<std::uint8_t> Bytes;
    std::vector<std::uint8_t> Sound;  // a sound stream's 16-bit PCM as stored
    std::vector<std::int16_t> Pcm;    // or the frame's own first stereo pair
    std::int64_t Samples = 0;         // sample frames of either

    std::span<const std::uint8_t> SoundBytes() const {
        if (!Sound.empty())
            return Sound;
        return {reinterpret_cast<const std::uint8_t*>(Pcm.data()),
                static_cast<std::size_t>(Samples) * kChannels * sizeof(std::int16_t)};
    }
};

// Reads frames on a thread of its own into a ring of kReadAhead buffers, reused frame after
// frame, while the calling thread muxes the ones before: the file reads and the sound extraction
// run beside the muxer's checksums and writes. A full ring sends the reader to sleep until half
// of it is free again, and each side wakes the other only when it waits, so the two threads do
// not hand over every frame through the kernel. The ring's counts are under mutex_; a buffer
// belongs to the reader until its count says filled and to the muxer until it is released.
class FrameReader {
  public:
    using ReadOne = std::function<void(std::int64_t, ReadFrame&)>;

    FrameReader(std::int64_t first, std::int64_t end, ReadOne read)
        : read_(std::move(read)), thread_([this, first, end] { run(first, end); }) {}
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;
    ~FrameReader() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        freed_.notify_all();
        thread_.join();
    }

    // The next frame in order; valid until release().
    ReadFrame& next() {
        std::unique_lock lock(mutex_);
        if (filled_ == taken_) {
            muxerWaits_ = true;
            filledCv_.wait(lock, [this] { return filled_ > taken_; });
            muxerWaits_ = false;
        }
        return ring_[taken_ % kReadAhead];
    }
    void release() {
        bool wake = false;
        {
            const std::lock_guard lock(mutex_);
            ++taken_;
            wake = readerWaits_ && filled_ - taken_ <= kReadAhead / 2;
        }
        if (wake)
            freed_.notify_one();
    }

  private:
    void run(std::int64_t first, std::int64_t end) {
        for (std::int64_t i = first; i < end; ++i) {
            std::size_t slot = 0;
            {
                std::unique_lock lock(mutex_);
                if (filled_ - taken_ == kReadAhead) {
                    readerWaits_ = true;
                    freed_.wait(lock,
                                [this] { return stop_ || filled_ - taken_ <= kReadAhead / 2; });
                    readerWaits_ = false;
                }
                if (stop_)
                    return;
                slot = filled_ % kReadAhead;
            }
            ReadFrame& f = ring_[slot];
            read_(i, f);
            const bool last = f.Status != FrameRead::Frame || f.SoundFailed;
            bool wake = false;
            {
                const std::lock_guard lock(mutex_);
                ++filled_;
                wake = muxerWaits_;
            }
            if (wake)
                filledCv_.notify_one();
            if (last)
                return;
        }
    }

    ReadOne read_;
    std::array<ReadFrame, kReadAhead> ring_;
    std::mutex mutex_;  // guards the counts and flags below
    std::condition_variable filledCv_;
    std::condition_variable freed_;
    std::size_t filled_ = 0;
    std::size_t taken_ = 0;
    bool muxerWaits_ = false;
    bool readerWaits_ = false;
    bool stop_ = false;
    std::thread thread_;  // last: starts once the ring is there
};

bool AddChapter(AVFormatContext* s, const ArchiveChapter& c, std::int64_t first, std::int64_t end,
                AVRational frame) {
    auto* ch = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
    if (!ch)
        return false;
    ch->id = static_cast<std::int64_t>(s->nb_chapters) + 1;
    ch->time_base = frame;
    ch->start = first;
    ch->end = end;
    if (!c.Title.empty())
        av_dict_set(&ch->metadata, "title", c.Title.c_str(), 0);
    for (const auto& [key, value] : c.Tags)
        av_dict_set(&ch->metadata, key.c_str(), value.c_str(), 0);
    void* grown = av_realloc_array(s->chapters, s->nb_chapters + 1, sizeof(*s->chapters));
    if (!grown) {
        av_dict_free(&ch->metadata);
        av_free(ch);
        return false;
    }
    s->chapters = static_cast<AVChapter**>(grown);
    s->chapters[s->nb_chapters++] = ch;
    return true;
}

}  // namespace

bool WriteMkvArchive(const MkvArchiveRequest& request, MkvArchiveResult& result,
                     std::string& error) {
    result = {};
    FrameSource source;
    if (!source.open(request.Source, error))
        return false;
    // A container read through libavformat has no frame count before its end: its range ends
    // where its frames do.
    const std::int64_t count = source.count().value_or(std::numeric_limits<std::int64_t>::max());
    const std::int64_t first = std::clamp<std::int64_t>(request.FirstFrame, 0, count);
    const std::int64_t end =
        request.EndFrame < 0 ? count : std::clamp<std::int64_t>(request.EndFrame, first, count);
    if (end <= first) {
        error = "no frame to write";
        return false;
    }

    // The geometry, the aspect and the sound come from the first frames that say them.
    std::vector<std::uint8_t> frame;
    std::optional<int> sequences;
    bool wide = false;
    std::optional<dvaudio::FrameAudio> sound;
    std::optional<dv::Timecode> timecode;
    for (std::int64_t i = first; i < end && i - first < kAudioProbeFrames; ++i) {
        const FrameRead got = source.read(i, frame);
        if (got == FrameRead::End)
            break;
        if (got == FrameRead::Failed) {
            error = "frame " + std::to_string(i) + " cannot be read";
            return false;
        }
        const auto seq = dv::SequenceCountForSize(frame.size());
        if (!seq)
            continue;
        if (!sequences) {
            sequences = seq;
            dv::ReadWide(frame, *seq, wide);
        }
        if (!sound)
            sound = dvaudio::ReadFrameAudio(frame);
        if (dv::Timecode tc; !timecode && dv::ReadValidTimecode(frame, *seq, tc))
            timecode = tc;
        if (sound && timecode)
            break;
    }
    if (!sequences) {
        error = "no DV frame in the range";
        return false;
    }
    const bool pal = *sequences == dv::kSequences625;
    const AVRational frameTime = pal ? AVRational{1, 25} : AVRational{1001, 30000};
    // A type 2 file's own sound stream is its sound, as a player of the file hears it; the
    // sound inside the DV frames serves files without one.
    std::optional<StreamSound> stream;
    if (source.avi() && !stream.emplace().open(*source.avi()))
        stream.reset();
    const bool hasSound = stream || sound;
    const int soundRate = stream ? stream->Rate : sound ? sound->sampleRate : 1;
    const int channels = stream ? stream->Channels : kChannels;
    // The muxer sets the streams' own time bases when it writes the header.
    const AVRational sampleTime{1, soundRate};
    // Sample frames of the stream before source frame n.
    const auto streamSamplesBefore = [&](std::int64_t n) {
        return av_rescale(n, static_cast<std::int64_t>(soundRate) * frameTime.num, frameTime.den);
    };

    files::OutputFile out(request.Output, request.Source);
    if (!out.IsOpen()) {
        error = out.Error();
        return false;
    }
    const AVOutputFormat* format = av_guess_format("matroska", nullptr, nullptr);
    AVFormatContext* raw = nullptr;
    if (!format || avformat_alloc_output_context2(&raw, format, nullptr, nullptr) < 0 || !raw) {
        out.Discard();
        error = "the Matroska writer is missing";
        return false;
    }
    std::unique_ptr<AVFormatContext, OutputContextDeleter> s(raw);
    OutputIo io{&out, 0};
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    std::unique_ptr<AVIOContext, IoContextDeleter> pb(
        buffer ? avio_alloc_context(buffer, kIoBufferSize, 1, &io, nullptr, &OutputIo::write,
                                    &OutputIo::seek)
               : nullptr);
    if (!pb) {
        av_free(buffer);
        out.Discard();
        error = "out of memory";
        return false;
    }
    s->pb = pb.get();
    s->flags |= AVFMT_FLAG_CUSTOM_IO;
    s->flush_packets = 0;
    pb->min_packet_size = kIoBufferSize;

    AVStream* video = avformat_new_stream(s.get(), nullptr);
    AVStream* audio = hasSound ? avformat_new_stream(s.get(), nullptr) : nullptr;
    AVStream* text = !request.Cues.empty() ? avformat_new_stream(s.get(), nullptr) : nullptr;
    if (!video || (hasSound && !audio) || (!request.Cues.empty() && !text)) {
        out.Discard();
        error = "out of memory";
        return false;
    }
    video->time_base = frameTime;
    video->avg_frame_rate = av_inv_q(frameTime);
    video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    video->codecpar->codec_id = AV_CODEC_ID_DVVIDEO;
    video->codecpar->width = 720;
    video->codecpar->height = pal ? 576 : 480;
    video->codecpar->format = pal ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV411P;
    video->codecpar->field_order = AV_FIELD_BB;
    // The sample aspect that displays the 720-wide frame at exactly 4:3 or 16:9.
    video->codecpar->sample_aspect_ratio = pal ? (wide ? AVRational{64, 45} : AVRational{16, 15})
                                               : (wide ? AVRational{32, 27} : AVRational{8, 9});
    video->sample_aspect_ratio = video->codecpar->sample_aspect_ratio;
    if (audio) {
        audio->time_base = sampleTime;
        audio->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
        audio->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
        audio->codecpar->sample_rate = soundRate;
        av_channel_layout_default(&audio->codecpar->ch_layout, channels);
        audio->codecpar->bits_per_coded_sample = 16;
        audio->codecpar->block_align = 2 * channels;
        audio->codecpar->bit_rate = static_cast<std::int64_t>(soundRate) * 16 * channels;
    }
    if (text) {
        text->time_base = kMilliseconds;
        text->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
        text->codecpar->codec_id = AV_CODEC_ID_SUBRIP;
        av_dict_set(&text->metadata, "title", "Datecode", 0);
    }
    if (!request.Title.empty())
        av_dict_set(&s->metadata, "title", request.Title.c_str(), 0);
    for (const auto& [key, value] : request.Tags)
        av_dict_set(&s->metadata, key.c_str(), value.c_str(), 0);
    if (timecode) {
        std::array<char, 16> tc{};
        std::snprintf(tc.data(), tc.size(), "%02u:%02u:%02u:%02u", unsigned{timecode->Hours},
                      unsigned{timecode->Minutes}, unsigned{timecode->Seconds},
                      unsigned{timecode->Frames});
        av_dict_set(&s->metadata, "TIMECODE", tc.data(), 0);
    }
    for (const ArchiveChapter& c : request.Chapters) {
        const std::int64_t a = std::max<std::int64_t>(c.FirstFrame, first);
        const std::int64_t b = std::min<std::int64_t>(c.EndFrame, end);
        if (b > a && !AddChapter(s.get(), c, a - first, b - first, frameTime)) {
            out.Discard();
            error = "out of memory";
            return false;
        }
    }

    const auto fail = [&](std::string why) {
        out.Discard();
        error = std::move(why);
        return false;
    };
    if (const int err = avformat_write_header(s.get(), nullptr); err < 0)
        return fail("the Matroska header cannot be written: " + ff::ErrorText(err));

    ff::PacketPtr packet(av_packet_alloc());
    if (!packet)
        return fail("out of memory");
    std::vector<std::uint8_t> skipped;
    if (stream && !stream->take(streamSamplesBefore(first), skipped))
        return fail("the sound stream cannot be read");
    std::size_t nextCue = 0;
    std::int64_t samples = 0;
    const auto writePacket = [&](AVStream* st, std::span<const std::uint8_t> bytes,
                                 std::int64_t pts, std::int64_t duration, AVRational tb, bool key) {
        // The packet borrows the bytes: the tracks are written in time order, so the muxer
        // needs no queue of its own and copies nothing.
        av_packet_unref(packet.get());
        packet->data = const_cast<std::uint8_t*>(bytes.data());
        packet->size = static_cast<int>(bytes.size());
        packet->stream_index = st->index;
        packet->pts = packet->dts = av_rescale_q(pts, tb, st->time_base);
        packet->duration = av_rescale_q(duration, tb, st->time_base);
        if (key)
            packet->flags |= AV_PKT_FLAG_KEY;
        return av_write_frame(s.get(), packet.get());
    };
    // Runs on the reading thread, which alone uses the source and the sound stream from here on.
    const auto readOne = [&source, &stream, &sound, audio, pal, first, &streamSamplesBefore](
                             std::int64_t i, ReadFrame& f) {
        f.Status = source.read(i, f.Bytes);
        f.SoundFailed = false;
        f.Samples = 0;
        if (f.Status != FrameRead::Frame || !audio)
            return;
        if (stream) {
            f.Samples = streamSamplesBefore(i + 1) - streamSamplesBefore(i);
            f.SoundFailed = !stream->take(f.Samples, f.Sound);
            return;
        }
        // A frame without readable sound of the track's rate gets silence of its length, so
        // the sound stays in step with the pictures.
        f.Pcm.resize(static_cast<std::size_t>(dvaudio::kMaxSamplesPerFrame) * kChannels);
        const std::span<std::int16_t> pcm(f.Pcm);
        const auto here = dv::SequenceCountForSize(f.Bytes.size())
                              ? dvaudio::ReadFrameAudio(f.Bytes)
                              : std::nullopt;
        if (here && here->sampleRate == sound->sampleRate) {
            f.Samples = dvaudio::ExtractPair(f.Bytes, *here, 0, pcm);
        } else {
            f.Samples = dvaudio::SamplesForFrame(pal, sound->sampleRate, i - first);
            std::fill_n(pcm.begin(), static_cast<std::size_t>(f.Samples) * kChannels, 0);
        }
    };
    const bool counted = source.count().has_value();
    std::optional<FrameReader> reader;
    try {
        reader.emplace(first, end, readOne);
    } catch (const std::system_error&) {
        return fail("no thread can be started for the reads");
    }

    for (std::int64_t i = first; i < end; ++i) {
        ReadFrame& frameRead = reader->next();
        if (frameRead.Status == FrameRead::End)
            break;
        if (frameRead.Status == FrameRead::Failed)
            return fail("frame " + std::to_string(i) + " cannot be read");
        const std::int64_t n = i - first;
        // Cues start with the frame they are shown on, so the tracks interleave in time.
        while (text && nextCue < request.Cues.size() && request.Cues[nextCue].FirstFrame <= i) {
            const ArchiveCue& cue = request.Cues[nextCue++];
            const std::int64_t a = std::max<std::int64_t>(cue.FirstFrame, first) - first;
            const std::int64_t b = std::min<std::int64_t>(cue.EndFrame, end) - first;
            if (b <= a || cue.Text.empty())
                continue;
            const std::int64_t startMs = av_rescale_q(a, frameTime, kMilliseconds);
            const std::int64_t endMs = av_rescale_q(b, frameTime, kMilliseconds);
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(cue.Text.data());
            if (const int err = writePacket(text, {bytes, cue.Text.size()}, startMs,
                                            endMs - startMs, kMilliseconds, true);
                err < 0)
                return fail("a subtitle cannot be written: " + ff::ErrorText(err));
        }
        if (const int err = writePacket(video, frameRead.Bytes, n, 1, frameTime, true); err < 0)
            return fail("a frame cannot be written: " + ff::ErrorText(err));
        if (frameRead.SoundFailed)
            return fail("the sound stream cannot be read");
        // The sound of a type 2 file's own stream is written even when it is silence past its
        // end; frames without any take none.
        if (audio && (stream || frameRead.Samples > 0)) {
            if (const int err = writePacket(audio, frameRead.SoundBytes(), samples,
                                            frameRead.Samples, sampleTime, true);
                err < 0)
                return fail("the sound cannot be written: " + ff::ErrorText(err));
            samples += frameRead.Samples;
        }
        reader->release();
        ++result.Frames;
        if (request.Progress && !request.Progress(n + 1, counted ? end - first : 0))
            return fail("stopped");
    }
    if (const int err = av_write_trailer(s.get()); err < 0)
        return fail("the Matroska file cannot be finished: " + ff::ErrorText(err));
    avio_flush(s->pb);
    if (!out.Good())
        return fail(out.Error());
    result.Samples = samples;
    result.SampleRate = audio ? soundRate : 0;
    result.Bytes = static_cast<std::int64_t>(out.Size());
    if (!out.Commit()) {
        error = out.Error().empty() ? "the file cannot be moved into place" : out.Error();
        return false;
    }
    return true;
}

}  // namespace kelvor::media
