#include "media/filters/DateDetectorFilter.h"

#include <string>

namespace kelvor::media {

DateDetectorFilter::DateDetectorFilter()
    : InPlaceTransformFilter(std::string(scenes::kDateSceneDetectorName),
                             std::string(scenes::kDateSceneDetectorClassId), false) {}

Status DateDetectorFilter::CheckInputType(const MediaType& mtIn) {
    if (mtIn.majorType == MajorType::Interleaved)
        return Code::Ok;
    if (mtIn.majorType == MajorType::Video && mtIn.subtype == Subtype::Dvsd)
        return Code::Ok;
    return Code::TypeNotAccepted;
}

Status DateDetectorFilter::StartStreaming() {
    detector_.StartStreaming();
    std::lock_guard lock(latestMutex_);
    latest_.reset();
    return Code::Ok;
}

Status DateDetectorFilter::Transform(MediaSample& sample) {
    detector_.ProcessSample(sample.data());
    if (detector_.ReadableFrameCount() == 0 && detector_.SampleCount() <= holdBack_)
        return Code::False;
    if (!carryFrames_.load(std::memory_order_relaxed))
        return Code::Ok;
    const auto sequences = dv::SequenceCountForSize(sample.data().size());
    if (!sequences)
        return Code::Ok;
    auto facts = std::make_shared<DvSourceFrame>();
    facts->Info = detector_.Last();
    facts->Sequences = *sequences;
    facts->Blocks = detector_.HeaderBlocks();
    sample.SetAttachment(facts);
    std::lock_guard lock(latestMutex_);
    latest_ = std::move(facts);
    return Code::Ok;
}

std::shared_ptr<const DvSourceFrame> DateDetectorFilter::LatestFrame() const {
    std::lock_guard lock(latestMutex_);
    return latest_;
}

Status DateDetectorFilter::Stop() {
    detector_.FinishStream();
    const Status hr = InPlaceTransformFilter::Stop();
    detector_.ResetAfterStop();
    return hr;
}

}  // namespace kelvor::media
