#include "media/engine/TransformFilter.h"

namespace kelvor::media {

TBCTransformFilter::TBCTransformFilter(std::string displayName, std::string classId)
    : BaseFilter(std::move(displayName), std::move(classId)),
      input_(&AddInputPin("XForm In")),
      output_(&AddOutputPin("XForm Out")) {}

HRESULT TBCTransformFilter::Pause() {
    if (state_ == FilterState::Stopped && !streaming_) {
        const HRESULT hr = StartStreaming();
        if (Failed(hr))
            return hr;
        streaming_ = true;
    }
    return BaseFilter::Pause();
}

HRESULT TBCTransformFilter::Stop() {
    HRESULT hr = S_OK;
    if (streaming_) {
        hr = StopStreaming();
        streaming_ = false;
    }
    BaseFilter::Stop();
    return hr;
}

HRESULT TBCTransformFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin == input_)
        return CheckInputType(mt);
    if (!input_->IsConnected())
        return VFW_E_NOT_CONNECTED;
    return CheckTransform(input_->CurrentMediaType(), mt);
}

HRESULT TBCTransformFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin == input_)
        return GetInputMediaType(position, mt);
    if (&pin != output_ || !input_->IsConnected())
        return VFW_S_NO_MORE_ITEMS;
    return GetMediaType(position, mt);
}

HRESULT TBCTransformFilter::DecideBufferSize(const Pin& pin, AllocatorProperties& props) {
    if (&pin != output_)
        return S_OK;
    return DecideBufferSize(props);
}

HRESULT TBCTransformFilter::Receive(InputPin&, SamplePtr sample) {
    if (!output_->IsConnected())
        return S_OK;
    SamplePtr out = output_->GetDeliveryBuffer();
    out->CopyPropertiesFrom(*sample);
    const HRESULT hr = Transform(*sample, *out);
    if (hr == S_FALSE)
        return S_OK;
    if (Failed(hr)) {
        NotifyEvent(EC_ERRORABORT, hr);
        return hr;
    }
    return output_->Deliver(std::move(out));
}

TBCTransInPlaceFilter::TBCTransInPlaceFilter(std::string displayName, std::string classId,
                                             bool modifiesData)
    : BaseFilter(std::move(displayName), std::move(classId)),
      input_(&AddInputPin("Input")),
      output_(&AddOutputPin("Output")),
      modifiesData_(modifiesData) {}

HRESULT TBCTransInPlaceFilter::Pause() {
    if (state_ == FilterState::Stopped && !streaming_) {
        const HRESULT hr = StartStreaming();
        if (Failed(hr))
            return hr;
        streaming_ = true;
    }
    return BaseFilter::Pause();
}

HRESULT TBCTransInPlaceFilter::Stop() {
    HRESULT hr = S_OK;
    if (streaming_) {
        hr = StopStreaming();
        streaming_ = false;
    }
    BaseFilter::Stop();
    return hr;
}

HRESULT TBCTransInPlaceFilter::CheckTransform(const MediaType& mtIn, const MediaType& mtOut) {
    return mtIn == mtOut ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TBCTransInPlaceFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin == input_)
        return CheckInputType(mt);
    if (!input_->IsConnected())
        return VFW_E_NOT_CONNECTED;
    return CheckTransform(input_->CurrentMediaType(), mt);
}

HRESULT TBCTransInPlaceFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin != output_ || !input_->IsConnected() || position != 0)
        return VFW_S_NO_MORE_ITEMS;
    mt = input_->CurrentMediaType();
    return S_OK;
}

HRESULT TBCTransInPlaceFilter::Receive(InputPin&, SamplePtr sample) {
    const HRESULT hr = Transform(*sample);
    if (hr == S_FALSE)
        return S_OK;
    if (Failed(hr)) {
        NotifyEvent(EC_ERRORABORT, hr);
        return hr;
    }
    if (!output_->IsConnected())
        return S_OK;
    return output_->Deliver(std::move(sample));
}

}  // namespace kelvor::media
