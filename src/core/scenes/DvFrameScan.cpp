#include "core/scenes/DvFrameScan.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <thread>

#include "core/avi/Fourcc.h"
#include "core/dv/DvPacks.h"

namespace kelvor::scenes {
namespace {

constexpr std::uint32_t kInterleaved = avi::Fourcc("iavs");
constexpr std::uint32_t kVideo = avi::Fourcc("vids");
constexpr std::uint32_t kDvsd = avi::Fourcc("dvsd");
// The bitmap header's compression code in a video stream's strf.
constexpr std::size_t kCompressionOffset = 16;
// The AVI splitter refuses a chunk larger than this, so such a file is left to it.
constexpr std::uint32_t kMaxChunkSize = 64u * 1024 * 1024;
// Bytes a raw DV file is recognised by: its first header block's ID and 50/60 byte.
constexpr std::size_t kSniffBytes = 4;

std::uint32_t CompressionOf(const avi::AviStreamInfo& info) {
    if (info.Format.size() < kCompressionOffset + 4)
        return 0;
    std::uint32_t c = 0;
    for (std::size_t i = 0; i < 4; ++i)
        c |= static_cast<std::uint32_t>(info.Format[kCompressionOffset + i]) << (8 * i);
    return c;
}

// The stream the date detector takes: the first one it accepts, as the graph connects it.
std::optional<std::size_t> DvStream(const avi::AviDemuxer& dmx) {
    const auto& streams = dmx.streams();
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const avi::AviStreamInfo& info = streams[i];
        if (info.Type == kInterleaved)
            return i;
        if (info.Type != kVideo)
            continue;
        const std::uint32_t compression = CompressionOf(info);
        if (avi::FourccToLower(compression ? compression : info.Handler) == kDvsd)
            return i;
    }
    return std::nullopt;
}

}  // namespace

std::unique_ptr<DvFrameScan> DvFrameScan::Open(const std::string& path) {
    std::unique_ptr<DvFrameScan> scan(new DvFrameScan);
    scan->path_ = path;
    auto file = avi::DiskFile::open(path);
    if (!file)
        return nullptr;
    std::array<std::uint8_t, kSniffBytes> head{};
    const auto got = file->readAt(0, head);
    const int standard =
        got && *got == head.size() ? dv::HeaderBlockStandard(head) : dv::kStandardUnknown;
    if (standard != dv::kStandardUnknown) {
        const std::size_t size =
            standard == dv::kStandardPal ? dv::kFrameSize625 : dv::kFrameSize525;
        scan->rawFrameSize_ = static_cast<std::uint32_t>(size);
        // A short last frame still counts: it keeps its place in the timeline.
        scan->frameCount_ = file->size() / size + (file->size() % size ? 1 : 0);
        scan->file_ = file.get();
        scan->disk_ = file.get();
        scan->rawFile_ = std::move(file);
        return scan;
    }
    auto dmx = std::make_unique<avi::AviDemuxer>();
    avi::DiskFile* disk = file.get();
    if (!dmx->open(std::move(file)))
        return nullptr;
    const auto stream = DvStream(*dmx);
    if (!stream || dmx->streams()[*stream].MaxChunkSize > kMaxChunkSize)
        return nullptr;
    scan->stream_ = *stream;
    scan->frameCount_ = dmx->chunkCount(*stream);
    scan->file_ = dmx->file();
    scan->disk_ = disk;
    scan->demuxer_ = std::move(dmx);
    return scan;
}

std::optional<avi::AviChunk> DvFrameScan::frame(std::uint64_t index) const {
    if (demuxer_)
        return demuxer_->chunk(stream_, index);
    if (index >= frameCount_)
        return std::nullopt;
    avi::AviChunk c;
    c.Offset = index * rawFrameSize_;
    const std::uint64_t left = file_->size() - c.Offset;
    c.Size = left < rawFrameSize_ ? static_cast<std::uint32_t>(left) : rawFrameSize_;
    return c;
}

std::uint64_t DvFrameScan::BytesRead() const {
    return file_->bytesRead() + helperBytes_;
}

std::uint64_t DvFrameScan::ReadCalls() const {
    return file_->readCalls() + helperCalls_;
}

bool DvFrameScan::readFailed(std::uint64_t index) {
    error_ = "cannot read frame " + std::to_string(index) + " of " + path_;
    return false;
}

std::optional<std::uint64_t> DvFrameScan::scanFrames(Reader& reader, std::uint64_t first,
                                                     std::uint64_t last,
                                                     std::vector<ScannedFrame>& out) const {
    out.resize(last - first);
    for (std::uint64_t i = first; i < last; ++i) {
        ScannedFrame& f = out[i - first];
        f = ScannedFrame{};
        const auto c = frame(i);
        if (!c) {
            out.resize(i - first);
            return std::nullopt;
        }
        const auto sequences = dv::SequenceCountForSize(c->Size);
        // Not a DV frame: it keeps its place and says nothing, whatever its bytes.
        if (!sequences)
            continue;
        const std::span<std::uint8_t> head(reader.Whole.get(), dv::kSampledFactsSize);
        const auto got = reader.File->readAt(c->Offset, head);
        if (!got || *got != head.size()) {
            out.resize(i - first);
            return i;
        }
        int standard = 0;
        if (!dv::ReadStandard(head, standard))
            continue;
        f.Readable = true;
        if (dv::ReadSampledFrameFacts(head, *sequences, f.Facts))
            continue;
        // The rest of the frame goes after the head already read, and the whole frame is read
        // as the detector reads a sample.
        ++reader.WholeReads;
        const std::span<std::uint8_t> rest(reader.Whole.get() + head.size(), c->Size - head.size());
        const auto all = reader.File->readAt(c->Offset + head.size(), rest);
        if (!all || *all != rest.size()) {
            out.resize(i - first);
            return i;
        }
        dv::ReadFrameFacts(std::span<const std::uint8_t>(reader.Whole.get(), c->Size), *sequences,
                           f.Facts);
    }
    return std::nullopt;
}

void DvFrameScan::readOddBatches(Reader& reader, std::uint64_t batches) {
    for (std::uint64_t b = 1; b < batches; b += 2) {
        Slot& slot = slots_[(b / 2) % kHandOverSlots];
        {
            std::unique_lock lock(handOverMutex_);
            handOver_.wait(lock, [&] { return stop_ || !slot.Ready; });
            if (stop_)
                return;
        }
        const std::uint64_t first = b * batchFrames_;
        const std::uint64_t last = std::min<std::uint64_t>(first + batchFrames_, frameCount_);
        slot.FailedAt = scanFrames(reader, first, last, slot.Frames);
        const bool failed = slot.FailedAt.has_value();
        {
            const std::lock_guard lock(handOverMutex_);
            slot.Batch = b;
            slot.Ready = true;
        }
        handOver_.notify_all();
        if (failed)
            return;
    }
}

bool DvFrameScan::runBatches(DateSceneDetector& detector, avi::DiskFile* second) {
    const std::uint64_t batch = batchFrames_ ? batchFrames_ : frameCount_;
    const std::uint64_t batches = batch ? (frameCount_ + batch - 1) / batch : 0;
    Reader own{file_, std::unique_ptr<std::uint8_t[]>(new std::uint8_t[dv::kFrameSize625]), 0};
    Reader helper{second, {}, 0};
    std::vector<ScannedFrame> mine;
    mine.reserve(batch);
    std::thread thread;
    if (second && batches > 1) {
        helper.Whole.reset(new std::uint8_t[dv::kFrameSize625]);
        slots_.assign(kHandOverSlots, Slot{});
        for (Slot& s : slots_)
            s.Frames.reserve(batch);
        stop_ = false;
        try {
            thread = std::thread([this, &helper, batches] { readOddBatches(helper, batches); });
        } catch (const std::system_error&) {
            // No thread to be had: this one reads every batch.
        }
    }
    const bool shared = thread.joinable();
    // The helper is stopped and joined however the loop below ends, also by a throwing detector.
    struct Joined {
        DvFrameScan& Scan;
        std::thread& Thread;
        Reader& Helper;
        ~Joined() {
            if (!Thread.joinable())
                return;
            {
                const std::lock_guard lock(Scan.handOverMutex_);
                Scan.stop_ = true;
            }
            Scan.handOver_.notify_all();
            Thread.join();
            Scan.helperBytes_ += Helper.File->bytesRead();
            Scan.helperCalls_ += Helper.File->readCalls();
            Scan.wholeReads_ += Helper.WholeReads;
        }
    } joined{*this, thread, helper};
    bool ok = true;
    for (std::uint64_t b = 0; b < batches && ok; ++b) {
        const std::vector<ScannedFrame>* frames = &mine;
        std::optional<std::uint64_t> failedAt;
        Slot* slot = nullptr;
        if (shared && b % 2 == 1) {
            slot = &slots_[(b / 2) % kHandOverSlots];
            std::unique_lock lock(handOverMutex_);
            handOver_.wait(lock, [&] { return slot->Ready && slot->Batch == b; });
            frames = &slot->Frames;
            failedAt = slot->FailedAt;
        } else {
            const std::uint64_t first = b * batch;
            failedAt = scanFrames(own, first, std::min(first + batch, frameCount_), mine);
        }
        for (const ScannedFrame& f : *frames)
            detector.ProcessFrameFacts(f.Readable, f.Facts);
        // The helper may refill the slot as soon as it is free, so its size is taken before.
        const bool ended = frames->size() < std::min(batch, frameCount_ - b * batch);
        if (slot) {
            {
                const std::lock_guard lock(handOverMutex_);
                slot->Ready = false;
            }
            handOver_.notify_all();
        }
        if (failedAt)
            ok = readFailed(*failedAt);
        else if (ended)
            break;  // the stream ended before its count said
    }
    wholeReads_ += own.WholeReads;
    return ok;
}

bool DvFrameScan::Run(DateSceneDetector& detector) {
    std::unique_ptr<avi::DiskFile> second;
    if (disk_ && batchFrames_ && frameCount_ > batchFrames_)
        second = disk_->duplicate();
    return runBatches(detector, second.get());
}

}  // namespace kelvor::scenes
