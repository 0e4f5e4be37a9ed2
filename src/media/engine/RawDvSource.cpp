#include "media/engine/RawDvSource.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>

#include "core/avi/PositionedFile.h"
#include "core/dv/DvInfo.h"
#include "core/dv/DvPacks.h"
#include "media/engine/AviSource.h"

namespace kelvor::media {
namespace {

// How many leading frames may be damaged before the one whose packs make the DVINFO.
constexpr std::uint64_t kFirstFrameSearch = 30;
// The bytes that decide whether a file is raw DV: the first header block's ID and 50/60 byte.
constexpr std::size_t kSniffBytes = 4;

StreamTime frameTime(std::uint64_t frame, std::int64_t rate, std::int64_t scale) {
    const long double t = static_cast<long double>(frame) * scale * kUnitsPerSecond / rate;
    return static_cast<StreamTime>(t);
}

// The frame whose start is nearest a time.
std::uint64_t frameAt(StreamTime t, std::int64_t rate, std::int64_t scale) {
    return static_cast<std::uint64_t>(
        (static_cast<long double>(t) * rate / scale + kUnitsPerSecond / 2) / kUnitsPerSecond);
}

}  // namespace

struct RawDvSplitterState {
    std::string fileName;
    std::unique_ptr<avi::PositionedFile> file;
    std::size_t frameSize = 0;
    std::uint64_t frameCount = 0;
    std::int64_t rate = 0;
    std::int64_t scale = 1;
};

RawDvSplitterFilter::RawDvSplitterFilter()
    : FileSplitter("DV Raw Splitter", "{7A7CE7A3-6A0F-4F86-9D33-1F6B5A3E2D41}", "input pin") {}

RawDvSplitterFilter::~RawDvSplitterFilter() {
    StopThreads();
}

Status RawDvSplitterFilter::OpenFile(const std::string& fileName, std::vector<MediaType>& types) {
    auto state = std::make_shared<RawDvSplitterState>();
    state->fileName = fileName;
    state->file = avi::DiskFile::open(fileName);
    if (!state->file) {
        openError_ = fileName + ": the file cannot be opened";
        return Code::InvalidFileFormat;
    }
    avi::PositionedFile& file = *state->file;
    std::array<std::uint8_t, kSniffBytes> head{};
    const auto got = file.readAt(0, head);
    const int standard =
        got && *got == head.size() ? dv::HeaderBlockStandard(head) : dv::kStandardUnknown;
    if (standard == dv::kStandardUnknown) {
        openError_ = fileName + ": not a raw DV file (it does not start with a DIF header block)";
        return Code::InvalidFileFormat;
    }
    const bool pal = standard == dv::kStandardPal;
    state->frameSize = pal ? dv::kFrameSize625 : dv::kFrameSize525;
    state->rate = pal ? 25 : 30000;
    state->scale = pal ? 1 : 1001;
    // A short last frame still counts: it keeps its place in the timeline.
    state->frameCount = file.size() / state->frameSize + (file.size() % state->frameSize ? 1 : 0);

    // The DVINFO a DV type 1 AVI of these frames would carry: the packs of the first frame that
    // reads, the standard always the one the header block says.
    DvInfo info;
    std::vector<std::uint8_t> frame(state->frameSize);
    const std::uint64_t search = std::min(state->frameCount, kFirstFrameSearch);
    for (std::uint64_t i = 0; i < search; ++i) {
        const auto n = file.readAt(i * state->frameSize, frame);
        if (!n || *n != frame.size() || dv::HeaderBlockStandard(frame) != standard)
            continue;
        dv::TakeFramePacks(info, dv::DvInfoFromFrame(frame));
        break;
    }
    dv::SetDvInfoStandard(info, standard);
    MediaType mt = MakeInterleavedDvType(info);
    mt.sampleSize = static_cast<std::uint32_t>(state->frameSize);
    types.push_back(std::move(mt));

    duration_ = frameTime(state->frameCount, state->rate, state->scale);
    frameRateNum_ = state->rate;
    frameRateDen_ = state->scale;
    s_ = std::move(state);
    return Code::Ok;
}

std::int32_t RawDvSplitterFilter::MaxSampleSize(int) const {
    return static_cast<std::int32_t>(s_->frameSize);
}

void RawDvSplitterFilter::stream() {
    RawDvSplitterState& s = *s_;
    auto* out = static_cast<OutputPin*>(GetPin(0));
    if (!out->IsConnected())
        return;
    std::uint64_t next = std::min(frameAt(start_, s.rate, s.scale), s.frameCount);
    const std::uint64_t end =
        stop_ < 0 ? s.frameCount : std::min(frameAt(stop_, s.rate, s.scale), s.frameCount);
    for (; next < end && !stopRequested_; ++next) {
        SamplePtr sample = out->GetDeliveryBuffer();
        sample->Reserve(s.frameSize);
        const auto got = s.file->readAt(next * s.frameSize, {sample->GetPointer(), s.frameSize});
        if (!got || *got == 0) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::Fail,
                               "cannot read frame " + std::to_string(next) + " of " + s.fileName));
            return;
        }
        sample->SetActualDataLength(static_cast<std::int32_t>(*got));
        sample->SetTime(frameTime(next, s.rate, s.scale), frameTime(next + 1, s.rate, s.scale));
        sample->SetMediaTime(static_cast<std::int64_t>(next), static_cast<std::int64_t>(next + 1));
        sample->SetSyncPoint(true);
        sample->SetDiscontinuity(next == 0);
        const Status hr = out->Deliver(std::move(sample));
        if (hr != Code::Ok) {
            if (hr.failed() && hr != Code::WrongState) {
                stoppedByDelivery(hr);
                return;
            }
            break;
        }
    }
    if (!stopRequested_)
        out->DeliverEndOfStream();
}

bool IsRawDvFile(const std::string& fileName) {
    const auto file = avi::DiskFile::open(fileName);
    std::array<std::uint8_t, kSniffBytes> head{};
    const auto got = file ? file->readAt(0, head) : std::nullopt;
    return got && *got == head.size() && dv::HeaderBlockStandard(head) != dv::kStandardUnknown;
}

}  // namespace kelvor::media
