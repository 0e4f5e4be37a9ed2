#include "core/scenes/DvFrameScan.h"

#include <array>

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
        scan->rawFile_ = std::move(file);
        return scan;
    }
    auto dmx = std::make_unique<avi::AviDemuxer>();
    if (!dmx->open(std::move(file)))
        return nullptr;
    const auto stream = DvStream(*dmx);
    if (!stream || dmx->streams()[*stream].MaxChunkSize > kMaxChunkSize)
        return nullptr;
    scan->stream_ = *stream;
    scan->frameCount_ = dmx->chunkCount(*stream);
    scan->file_ = dmx->file();
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

bool DvFrameScan::Run(DateSceneDetector& detector) {
    std::vector<std::uint8_t> whole(dv::kFrameSize625);
    std::array<std::uint8_t, dv::kSampledFactsSize> head{};
    const auto readFailed = [&](std::uint64_t index) {
        error_ = "cannot read frame " + std::to_string(index) + " of " + path_;
        return false;
    };
    for (std::uint64_t i = 0; i < frameCount_; ++i) {
        const auto c = frame(i);
        if (!c)
            break;
        const auto sequences = dv::SequenceCountForSize(c->Size);
        if (!sequences) {
            // Not a DV frame: it keeps its place and says nothing, whatever its bytes.
            detector.ProcessFrameFacts(false, {});
            continue;
        }
        const auto got = file_->readAt(c->Offset, head);
        if (!got || *got != head.size())
            return readFailed(i);
        int standard = 0;
        dv::FrameFacts facts;
        if (!dv::ReadStandard(head, standard)) {
            detector.ProcessFrameFacts(false, {});
            continue;
        }
        if (dv::ReadSampledFrameFacts(head, *sequences, facts)) {
            detector.ProcessFrameFacts(true, facts);
            continue;
        }
        ++wholeReads_;
        const std::span<std::uint8_t> bytes(whole.data(), c->Size);
        const auto all = file_->readAt(c->Offset, bytes);
        if (!all || *all != bytes.size())
            return readFailed(i);
        detector.ProcessSample(bytes);
    }
    return true;
}

}  // namespace kelvor::scenes
