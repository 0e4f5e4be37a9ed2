#include "media/engine/Renderer.h"

#include "media/engine/Graph.h"

namespace kelvor::media {

RendererBase::RendererBase(std::string displayName, std::string classId)
    : BaseFilter(std::move(displayName), std::move(classId)), input_(&AddInputPin("In")) {}

HRESULT RendererBase::Pause() {
    if (state_ == FilterState::Stopped)
        ended_ = false;
    prerolled_ = false;
    return BaseFilter::Pause();
}

HRESULT RendererBase::Stop() {
    presented_ = 0;
    prerolled_ = false;
    ended_ = false;
    return BaseFilter::Stop();
}

void RendererBase::Flushed() {
    prerolled_ = false;
    ended_ = false;
}

HRESULT RendererBase::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin != input_)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return CheckInputType(mt);
}

HRESULT RendererBase::present(const MediaSample& sample) {
    const HRESULT hr = DoRenderSample(sample);
    ++presented_;
    REFERENCE_TIME start = 0, stop = 0;
    if (reportsPosition_ && Succeeded(sample.GetTime(start, stop)) && GetGraph())
        GetGraph()->RendererPresented(start);
    if (Failed(hr))
        NotifyEvent(EC_ERRORABORT, hr);
    return hr;
}

HRESULT RendererBase::Receive(InputPin& pin, SamplePtr sample) {
    Graph* graph = GetGraph();
    if (state_ == FilterState::Paused && !prerolled_.exchange(true)) {
        const HRESULT hr = present(*sample);
        if (graph)
            graph->RendererPrerolled(*this);
        if (Failed(hr))
            return hr;
        if (graph)
            graph->WaitWhilePaused(pin);
        return pin.IsFlushing() ? S_FALSE : S_OK;
    }
    if (graph && state_ == FilterState::Paused)
        graph->WaitWhilePaused(pin);
    if (pin.IsFlushing() || state_ == FilterState::Stopped)
        return S_FALSE;
    if (graph && graph->IsPaced()) {
        REFERENCE_TIME start = 0, stop = 0;
        if (Succeeded(sample->GetTime(start, stop)) && !graph->WaitUntilDue(start, pin))
            return S_FALSE;
    }
    return present(*sample);
}

void RendererBase::EndOfStream(InputPin&) {
    if (ended_.exchange(true))
        return;
    const HRESULT hr = OnEndOfStream();
    Graph* graph = GetGraph();
    if (!graph)
        return;
    if (!prerolled_.exchange(true))
        graph->RendererPrerolled(*this);
    if (Failed(hr))
        graph->Notify(*this, EC_ERRORABORT, hr);
    else
        graph->Notify(*this, EC_COMPLETE, S_OK);
}

NullRenderer::NullRenderer()
    : RendererBase("Null Renderer", "{C1F400A4-3F08-11D3-9F0B-006008039E37}") {}

HRESULT NullRenderer::CheckInputType(const MediaType& mt) {
    if (only_ != 0 && mt.majorType != only_)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT NullRenderer::DoRenderSample(const MediaSample& sample) {
    if (onSample_)
        onSample_(sample);
    return S_OK;
}

}  // namespace kelvor::media
