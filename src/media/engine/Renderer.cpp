#include "media/engine/Renderer.h"

#include "media/engine/Graph.h"

namespace kelvor::media {

RendererBase::RendererBase(std::string displayName, std::string classId)
    : BaseFilter(std::move(displayName), std::move(classId)), input_(&AddInputPin("In")) {}

Status RendererBase::Pause() {
    if (state_ == FilterState::Stopped)
        ended_ = false;
    prerolled_ = false;
    return BaseFilter::Pause();
}

Status RendererBase::Stop() {
    presented_ = 0;
    prerolled_ = false;
    ended_ = false;
    return BaseFilter::Stop();
}

void RendererBase::Flushed() {
    prerolled_ = false;
    ended_ = false;
}

Status RendererBase::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin != input_)
        return Code::TypeNotAccepted;
    return CheckInputType(mt);
}

Status RendererBase::present(const MediaSample& sample) {
    const Status hr = DoRenderSample(sample);
    ++presented_;
    StreamTime start = 0, stop = 0;
    if (reportsPosition_ && sample.GetTime(start, stop).ok() && GetGraph())
        GetGraph()->RendererPresented(start);
    if (hr.failed())
        NotifyEvent(EventCode::ErrorAbort, hr);
    return hr;
}

Status RendererBase::Receive(InputPin& pin, SamplePtr sample) {
    Graph* graph = GetGraph();
    if (state_ == FilterState::Paused && !prerolled_.exchange(true)) {
        const Status hr = present(*sample);
        if (graph)
            graph->RendererPrerolled(*this);
        if (hr.failed())
            return hr;
        if (graph)
            graph->WaitWhilePaused(pin);
        return pin.IsFlushing() ? Code::False : Code::Ok;
    }
    if (graph && state_ == FilterState::Paused)
        graph->WaitWhilePaused(pin);
    if (pin.IsFlushing() || state_ == FilterState::Stopped)
        return Code::False;
    if (graph && graph->IsPaced()) {
        StreamTime start = 0, stop = 0;
        if (sample->GetTime(start, stop).ok() && !graph->WaitUntilDue(start, pin))
            return Code::False;
    }
    return present(*sample);
}

void RendererBase::EndOfStream(InputPin&) {
    if (ended_.exchange(true))
        return;
    const Status hr = OnEndOfStream();
    Graph* graph = GetGraph();
    if (!graph)
        return;
    if (!prerolled_.exchange(true))
        graph->RendererPrerolled(*this);
    if (hr.failed())
        graph->Notify(*this, EventCode::ErrorAbort, hr);
    else
        graph->Notify(*this, EventCode::Complete, Code::Ok);
}

NullRenderer::NullRenderer()
    : RendererBase("Null Renderer", "{C1F400A4-3F08-11D3-9F0B-006008039E37}") {}

Status NullRenderer::CheckInputType(const MediaType& mt) {
    if (only_ != 0 && mt.majorType != only_)
        return Code::TypeNotAccepted;
    return Code::Ok;
}

Status NullRenderer::DoRenderSample(const MediaSample& sample) {
    if (onSample_)
        onSample_(sample);
    return Code::Ok;
}

}  // namespace kelvor::media
