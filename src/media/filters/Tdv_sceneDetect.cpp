#include "media/filters/Tdv_sceneDetect.h"

#include <string>

namespace kelvor::media {

Tdv_sceneDetect::Tdv_sceneDetect()
    : TBCTransInPlaceFilter(std::string(scenes::kDateSceneDetectorName),
                            std::string(scenes::kDateSceneDetectorClassId), false) {}

HRESULT Tdv_sceneDetect::CheckInputType(const MediaType& mtIn) {
    if (mtIn.majorType == MEDIATYPE_Interleaved)
        return S_OK;
    if (mtIn.majorType == MEDIATYPE_Video && mtIn.subtype == MEDIASUBTYPE_dvsd)
        return S_OK;
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Tdv_sceneDetect::StartStreaming() {
    detector_.StartStreaming();
    return S_OK;
}

HRESULT Tdv_sceneDetect::Transform(MediaSample& sample) {
    detector_.ProcessSample(sample.data());
    if (detector_.ReadableFrameCount() == 0 && detector_.SampleCount() <= holdBack_)
        return S_FALSE;
    return S_OK;
}

HRESULT Tdv_sceneDetect::Stop() {
    detector_.FinishStream();
    const HRESULT hr = TBCTransInPlaceFilter::Stop();
    detector_.ResetAfterStop();
    return hr;
}

}  // namespace kelvor::media
