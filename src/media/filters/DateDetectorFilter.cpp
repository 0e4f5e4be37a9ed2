#include "media/filters/DateDetectorFilter.h"

#include <string>

namespace kelvor::media {

DateDetectorFilter::DateDetectorFilter()
    : InPlaceTransformFilter(std::string(scenes::kDateSceneDetectorName),
                             std::string(scenes::kDateSceneDetectorClassId), false) {}

HRESULT DateDetectorFilter::CheckInputType(const MediaType& mtIn) {
    if (mtIn.majorType == MEDIATYPE_Interleaved)
        return S_OK;
    if (mtIn.majorType == MEDIATYPE_Video && mtIn.subtype == MEDIASUBTYPE_dvsd)
        return S_OK;
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT DateDetectorFilter::StartStreaming() {
    detector_.StartStreaming();
    std::lock_guard lock(latestMutex_);
    latest_.reset();
    return S_OK;
}

HRESULT DateDetectorFilter::Transform(MediaSample& sample) {
    detector_.ProcessSample(sample.data());
    if (detector_.ReadableFrameCount() == 0 && detector_.SampleCount() <= holdBack_)
        return S_FALSE;
    if (!carryFrames_.load(std::memory_order_relaxed))
        return S_OK;
    const auto sequences = dv::SequenceCountForSize(sample.data().size());
    if (!sequences)
        return S_OK;
    auto facts = std::make_shared<DvSourceFrame>();
    facts->Info = detector_.Last();
    facts->Sequences = *sequences;
    facts->Blocks = detector_.HeaderBlocks();
    sample.SetAttachment(facts);
    std::lock_guard lock(latestMutex_);
    latest_ = std::move(facts);
    return S_OK;
}

std::shared_ptr<const DvSourceFrame> DateDetectorFilter::LatestFrame() const {
    std::lock_guard lock(latestMutex_);
    return latest_;
}

HRESULT DateDetectorFilter::Stop() {
    detector_.FinishStream();
    const HRESULT hr = InPlaceTransformFilter::Stop();
    detector_.ResetAfterStop();
    return hr;
}

}  // namespace kelvor::media
