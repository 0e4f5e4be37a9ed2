#include "media/engine/AviSource.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <array>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "core/avi/AviDemuxer.h"
#include "core/avi/ByteReader.h"
#include "core/avi/Fourcc.h"
#include "core/dv/DvInfo.h"
#include "media/engine/RawDvSource.h"

namespace kelvor::media {
namespace {

// How many leading chunks may be damaged before the stream's first readable frame.
constexpr std::uint64_t kFirstFrameSearch = 30;

// The DVINFO words of the first frame of an interleaved stream whose header block reads (a
// dropout at the start must not decide the stream's format), with the standard its header says.
struct FirstFrame {
    DvInfo words;
    int standard = dv::kStandardUnknown;
};
std::optional<FirstFrame> firstFrameDvInfo(avi::AviDemuxer& demuxer, std::size_t stream) {
    std::vector<std::uint8_t> frame(dv::kFrameSize625);
    const std::uint64_t count = std::min(demuxer.chunkCount(stream), kFirstFrameSearch);
    for (std::uint64_t i = 0; i < count; ++i) {
        const auto n = demuxer.readChunk(stream, i, frame);
        if (!n || !dv::SequenceCountForSize(*n))
            continue;
        const std::span<const std::uint8_t> bytes(frame.data(), *n);
        FirstFrame first;
        if (!dv::ReadStandard(bytes, first.standard))
            continue;
        first.words = dv::DvInfoFromFrame(bytes);
        return first;
    }
    return std::nullopt;
}

// Chunks bigger than this are refused rather than allocated (a DV frame is 144000 bytes; an
// uncompressed HD picture stays far below).
constexpr std::uint32_t kMaxChunkSize = 64u * 1024 * 1024;
// Times in 100 ns units of a count of units at rate/scale per second.
StreamTime unitsToTime(std::uint64_t n, std::uint32_t rate, std::uint32_t scale) {
    if (rate == 0)
        return 0;
    const long double t = static_cast<long double>(n) * scale * kUnitsPerSecond / rate;
    return static_cast<StreamTime>(t);
}

struct StreamOut {
    MediaType type;
    bool audio = false;
    std::uint32_t blockAlign = 1;
    std::uint32_t bytesPerSec = 0;
    std::uint32_t sampleRate = 0;
    // Video frames per `scale` units of time; a DV stream whose header gives no rate takes
    // the DV rate of its standard.
    std::uint32_t rate = 0;
    std::uint32_t scale = 0;
};

// The frame rate of DV of the standard of a stream's first readable frame, as rate and scale.
bool dvFrameRate(avi::AviDemuxer& demuxer, std::size_t stream, std::uint32_t& rate,
                 std::uint32_t& scale) {
    const auto first = firstFrameDvInfo(demuxer, stream);
    if (!first)
        return false;
    const bool pal = first->standard == dv::kStandardPal;
    rate = pal ? 25 : 30000;
    scale = pal ? 1 : 1001;
    return true;
}

}  // namespace

FileSourceFilter::FileSourceFilter()
    : BaseFilter("File Source (Async.)", "{E436EBB5-524F-11CE-9F53-0020AF0BA770}"),
      output_(&AddOutputPin("Output")) {}

Status FileSourceFilter::Load(const std::string& fileName) {
    loadError_.clear();
    struct stat st {};
    if (fileName.empty() || ::stat(fileName.c_str(), &st) != 0) {
        loadError_ = fileName + ": the file is not found";
        return Code::Fail;
    }
    // A FIFO or a device named like a video would block or read without end.
    if (!S_ISREG(st.st_mode)) {
        loadError_ = fileName + ": not a regular file";
        return Code::Fail;
    }
    if (::access(fileName.c_str(), R_OK) != 0) {
        loadError_ = fileName + ": " + std::strerror(errno);
        return Code::Fail;
    }
    fileName_ = fileName;
    return Code::Ok;
}

Status FileSourceFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin != output_ || position != 0 || fileName_.empty())
        return Code::NoMoreItems;
    mt = MakeStreamType(Subtype::Avi);
    return Code::Ok;
}

struct AviSplitterState {
    explicit AviSplitterState(std::unique_ptr<avi::AviDemuxer> opened)
        : demuxer(opened ? std::move(opened) : std::make_unique<avi::AviDemuxer>()) {}
    std::string fileName;
    std::unique_ptr<avi::AviDemuxer> demuxer;  // never null
    std::vector<StreamOut> streams;            // one per output pin, in stream order
    int video = -1;                            // the stream that gives frame positions
};

AviSplitterFilter::AviSplitterFilter()
    : FileSplitter("AVI Splitter", "{1B544C20-FD0B-11CE-8C63-00AA0044B51E}", "input pin") {}

AviSplitterFilter::AviSplitterFilter(std::unique_ptr<avi::AviDemuxer> opened, std::string fileName)
    : AviSplitterFilter() {
    opened_ = std::move(opened);
    openedFileName_ = std::move(fileName);
}

AviSplitterFilter::~AviSplitterFilter() {
    StopThreads();
}

Status AviSplitterFilter::OpenFile(const std::string& fileName, std::vector<MediaType>& types) {
    const bool reuse = opened_ && openedFileName_ == fileName;
    s_ = std::make_unique<AviSplitterState>(reuse ? std::move(opened_) : nullptr);
    opened_.reset();
    s_->fileName = fileName;
    if (!reuse && !s_->demuxer->open(fileName)) {
        openError_ = fileName + ": " + s_->demuxer->errorText();
        s_.reset();
        return Code::InvalidFileFormat;
    }
    const auto& infos = s_->demuxer->streams();
    int index = 0;
    for (const avi::AviStreamInfo& info : infos) {
        StreamOut out;
        out.rate = info.Rate;
        out.scale = info.Scale;
        const bool dvVideo =
            info.Type == MajorType::Interleaved ||
            (info.Type == MajorType::Video && avi::FourccToLower(info.Handler) == Subtype::Dvsd);
        if ((out.rate == 0 || out.scale == 0) && dvVideo)
            dvFrameRate(*s_->demuxer, static_cast<std::size_t>(index), out.rate, out.scale);
        if (info.Type == MajorType::Video) {
            VideoInfoHeader vih;
            // The strf of a video stream is a BITMAPINFOHEADER; a shorter one reads as if
            // filled up with zeros.
            std::array<std::uint8_t, BitmapInfoHeader::kSize> bitmap{};
            std::copy_n(info.Format.begin(), std::min(info.Format.size(), bitmap.size()),
                        bitmap.begin());
            avi::ByteReader reader(bitmap);
            vih.bmiHeader = *avi::ReadBitmapInfoHeader(reader);
            vih.AvgTimePerFrame = unitsToTime(1, out.rate, out.scale);
            FourCC sub = vih.bmiHeader.biCompression ? vih.bmiHeader.biCompression : info.Handler;
            if (avi::FourccToLower(sub) == Subtype::Dvsd)
                sub = Subtype::Dvsd;
            if (sub == 0)
                sub = Subtype::Rgb24;
            out.type = MakeVideoType(sub, vih);
            if (s_->video < 0)
                s_->video = index;
        } else if (info.Type == MajorType::Audio) {
            auto wfx = ParseWaveFormatEx(info.Format);
            if (!wfx)
                wfx = WaveFormatEx{};
            out.type = MakeAudioType(*wfx);
            out.type.format =
                info.Format.size() >= WaveFormatEx::kSize ? info.Format : Serialize(*wfx);
            out.audio = true;
            out.blockAlign = std::max<std::uint32_t>(wfx->nBlockAlign, 1);
            out.bytesPerSec = wfx->nAvgBytesPerSec;
            out.sampleRate = wfx->nSamplesPerSec;
        } else if (info.Type == MajorType::Interleaved) {
            auto dvi = ParseDvInfo(info.Format);
            out.type = MakeInterleavedDvType(dvi.value_or(DvInfo{}));
            out.type.subtype = info.Handler ? avi::FourccToLower(info.Handler) : Subtype::Dvsd;
            if (dvi)
                out.type.format.assign(info.Format.begin(), info.Format.begin() + DvInfo::kSize);
            // Some capture programs store a DVINFO that contradicts the frames (32 kHz announced
            // for 48 kHz sound); the DV splitter would then drop every sound sample, so the
            // first frame's own packs win where it has them.
            if (auto first = firstFrameDvInfo(*s_->demuxer, static_cast<std::size_t>(index))) {
                DvInfo merged = dvi.value_or(DvInfo{});
                dv::TakeFramePacks(merged, first->words);
                // The header block's 50/60 flag decides the standard, whatever the packs say.
                dv::SetDvInfoStandard(merged, first->standard);
                out.type.format = Serialize(merged);
            }
            if (s_->video < 0)
                s_->video = index;
        } else {
            out.type.majorType = info.Type;
            out.type.subtype = info.Handler;
        }
        out.type.sampleSize = info.MaxChunkSize;
        s_->streams.push_back(std::move(out));
        ++index;
    }
    for (const StreamOut& out : s_->streams)
        types.push_back(out.type);
    duration_ = fileDuration();
    if (s_->video >= 0) {
        const StreamOut& v = s_->streams[static_cast<std::size_t>(s_->video)];
        frameRateNum_ = v.rate;
        frameRateDen_ = v.scale;
    }
    return Code::Ok;
}

std::int32_t AviSplitterFilter::MaxSampleSize(int stream) const {
    return static_cast<std::int32_t>(std::min(
        s_->demuxer->streams()[static_cast<std::size_t>(stream)].MaxChunkSize, kMaxChunkSize));
}

StreamTime AviSplitterFilter::fileDuration() const {
    const auto& infos = s_->demuxer->streams();
    if (s_->video >= 0) {
        const auto& v = infos[static_cast<std::size_t>(s_->video)];
        const StreamOut& so = s_->streams[static_cast<std::size_t>(s_->video)];
        return unitsToTime(v.ChunkCount, so.rate, so.scale);
    }
    StreamTime longest = 0;
    for (std::size_t i = 0; i < s_->streams.size(); ++i)
        if (s_->streams[i].audio && s_->streams[i].bytesPerSec)
            longest = std::max<StreamTime>(
                longest, static_cast<StreamTime>(static_cast<long double>(infos[i].TotalBytes) *
                                                 kUnitsPerSecond / s_->streams[i].bytesPerSec));
    return longest;
}

void AviSplitterFilter::stream() {
    avi::AviDemuxer& dmx = *s_->demuxer;
    const std::size_t n = s_->streams.size();
    struct Cursor {
        std::uint64_t next = 0;
        std::uint64_t end = 0;
        std::uint64_t unitsDone = 0;  // frames, or audio sample frames before `next`
        bool active = false;
        // The stop: video ends before frame endUnits, sound before the first chunk whose
        // middle is at or after stopSample.
        std::uint64_t endUnits = std::numeric_limits<std::uint64_t>::max();
        long double stopSample = std::numeric_limits<long double>::infinity();
    };
    std::vector<Cursor> cur(n);
    const StreamTime stopAt = stop_ < 0 ? std::numeric_limits<StreamTime>::max() : stop_;
    for (std::size_t i = 0; i < n; ++i) {
        Cursor& c = cur[i];
        c.active = GetPin(static_cast<int>(i))->IsConnected();
        c.end = dmx.chunkCount(i);
        if (!c.active)
            continue;
        const StreamOut& so = s_->streams[i];
        if (!so.audio) {
            // First frame whose start is at or after the start position (rounded to the nearest).
            std::uint64_t f = 0;
            if (so.rate && so.scale)
                f = static_cast<std::uint64_t>(
                    (static_cast<long double>(start_) * so.rate / so.scale + kUnitsPerSecond / 2) /
                    kUnitsPerSecond);
            c.next = std::min(f, c.end);
            c.unitsDone = c.next;
            if (stop_ >= 0 && so.rate && so.scale)
                c.endUnits = static_cast<std::uint64_t>(
                    (static_cast<long double>(stop_) * so.rate / so.scale + kUnitsPerSecond / 2) /
                    kUnitsPerSecond);
        } else {
            // Walk the chunks up to the start position (each step is one index entry). Sound
            // starts at the chunk boundary nearest the start (the first chunk whose middle is
            // at or after it), as it stops at the one nearest the stop: DV sound comes in one
            // chunk per frame, so a cut takes exactly the sound of its frames and cuts put end
            // to end give the whole sound.
            const long double want =
                static_cast<long double>(start_) * so.sampleRate / kUnitsPerSecond;
            std::uint64_t samples = 0;
            std::uint64_t k = 0;
            for (; k < c.end; ++k) {
                const auto ch = dmx.chunk(i, k);
                if (!ch)
                    break;
                const std::uint64_t inChunk = ch->Size / so.blockAlign;
                if (static_cast<long double>(samples) + static_cast<long double>(inChunk) / 2 >=
                    want)
                    break;
                samples += inChunk;
            }
            c.next = k;
            c.unitsDone = samples;
            if (stop_ >= 0)
                c.stopSample = static_cast<long double>(stop_) * so.sampleRate / kUnitsPerSecond;
        }
    }
    // A stream without a rate has no times to order by; such a file is read in file order.
    bool timed = true;
    for (std::size_t i = 0; i < n; ++i)
        if (cur[i].active &&
            (s_->streams[i].audio ? s_->streams[i].sampleRate == 0
                                  : s_->streams[i].rate == 0 || s_->streams[i].scale == 0))
            timed = false;
    bool failed = false;
    while (!stopRequested_ && !failed) {
        // The chunk that starts first in time among the streams still going, the one first in
        // the file among equals. Files interleave loosely (a writer may put a second of sound
        // after its pictures), and a receiver that pairs the streams (the DV muxer, the AVI
        // mux) must never wait for a chunk the file holds behind a queue's worth of others.
        int pick = -1;
        StreamTime bestTime = std::numeric_limits<StreamTime>::max();
        std::uint64_t bestOffset = std::numeric_limits<std::uint64_t>::max();
        for (std::size_t i = 0; i < n; ++i) {
            if (!cur[i].active || cur[i].next >= cur[i].end)
                continue;
            const auto ch = dmx.chunk(i, cur[i].next);
            if (!ch) {
                cur[i].active = false;
                continue;
            }
            const StreamOut& so = s_->streams[i];
            const StreamTime t = !timed     ? 0
                                 : so.audio ? unitsToTime(cur[i].unitsDone, so.sampleRate, 1)
                                            : unitsToTime(cur[i].unitsDone, so.rate, so.scale);
            if (t < bestTime || (t == bestTime && ch->Offset < bestOffset)) {
                bestTime = t;
                bestOffset = ch->Offset;
                pick = static_cast<int>(i);
            }
        }
        if (pick < 0)
            break;
        const auto i = static_cast<std::size_t>(pick);
        Cursor& c = cur[i];
        const StreamOut& so = s_->streams[i];
        const StreamTime t0 = so.audio ? unitsToTime(c.unitsDone, so.sampleRate, 1)
                                       : unitsToTime(c.unitsDone, so.rate, so.scale);
        const auto ch = dmx.chunk(i, c.next);
        const bool past = so.audio
                              ? static_cast<long double>(c.unitsDone) +
                                        static_cast<long double>(ch->Size / so.blockAlign) / 2 >=
                                    c.stopSample
                              : c.unitsDone >= c.endUnits || t0 >= stopAt;
        if (past) {
            c.active = false;
            continue;
        }
        auto* out = static_cast<OutputPin*>(GetPin(pick));
        SamplePtr sample = out->GetDeliveryBuffer();
        if (ch->Size > kMaxChunkSize) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::InvalidFileFormat,
                               s_->fileName + ": chunk " + std::to_string(c.next) + " of stream " +
                                   std::to_string(i) + " is larger than any picture"));
            failed = true;
            break;
        }
        sample->Reserve(ch->Size);
        const auto got = dmx.readChunk(i, c.next, {sample->GetPointer(), sample->GetSize()});
        if (!got) {
            NotifyEvent(
                EventCode::ErrorAbort,
                Status(Code::Fail, "cannot read chunk " + std::to_string(c.next) + " of stream " +
                                       std::to_string(i) + " of " + s_->fileName));
            failed = true;
            break;
        }
        sample->SetActualDataLength(static_cast<std::int32_t>(*got));
        const std::uint64_t units = so.audio ? *got / so.blockAlign : 1;
        const StreamTime t1 = so.audio ? unitsToTime(c.unitsDone + units, so.sampleRate, 1)
                                       : unitsToTime(c.unitsDone + 1, so.rate, so.scale);
        sample->SetTime(t0, t1);
        sample->SetMediaTime(static_cast<std::int64_t>(c.unitsDone),
                             static_cast<std::int64_t>(c.unitsDone + units));
        sample->SetSyncPoint(ch->KeyFrame);
        sample->SetDiscontinuity(c.next == 0);
        c.unitsDone += units;
        ++c.next;
        const Status hr = out->Deliver(std::move(sample));
        if (hr != Code::Ok)
            c.active = false;
        if (hr.failed() && hr != Code::WrongState) {
            // The other streams would go on into stages that wait for this one.
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

bool IsDvAviStreams(const avi::AviDemuxer& dmx) {
    const auto isDv = [](std::uint32_t code) {
        const std::uint32_t c = avi::FourccToLower(code);
        return c == avi::Fourcc("dvsd") || c == avi::Fourcc("dv25");
    };
    for (const avi::AviStreamInfo& info : dmx.streams()) {
        if (info.Type == MajorType::Interleaved)
            return true;
        if (info.Type != MajorType::Video)
            continue;
        // The strf of a video stream is a BITMAPINFOHEADER; biCompression sits at byte 16.
        const std::uint32_t compression =
            info.Format.size() >= 20 ? static_cast<std::uint32_t>(info.Format[16]) |
                                           (static_cast<std::uint32_t>(info.Format[17]) << 8) |
                                           (static_cast<std::uint32_t>(info.Format[18]) << 16) |
                                           (static_cast<std::uint32_t>(info.Format[19]) << 24)
                                     : 0;
        if (isDv(info.Handler) || isDv(compression))
            return true;
    }
    return false;
}

FilterPtr CreateOwnDvSplitter(const std::string& fileName) {
    // A raw DV stream is read by what its first bytes say, whatever the file is called.
    if (IsRawDvFile(fileName))
        return std::make_shared<RawDvSplitterFilter>();
    // The splitter takes over the demuxer that decided, so the file is parsed once.
    auto dmx = std::make_unique<avi::AviDemuxer>();
    if (dmx->open(fileName) && IsDvAviStreams(*dmx))
        return std::make_shared<AviSplitterFilter>(std::move(dmx), fileName);
    return nullptr;
}

}  // namespace kelvor::media
