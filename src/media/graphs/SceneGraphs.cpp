#include "media/graphs/SceneGraphs.h"

#include "media/engine/AviSource.h"
#include "media/engine/Graph.h"
#include "media/engine/Renderer.h"
#include "media/filters/Tdv_sceneDetect.h"

namespace kelvor::media {

SceneDateGraph::SceneDateGraph(std::shared_ptr<Tdv_sceneDetect> detector)
    : detector_(std::move(detector)) {}

SceneDateGraph::~SceneDateGraph() = default;

bool SceneDateGraph::BuildSceneDateGraph(const std::string& video) {
    graph_ = std::make_unique<Graph>();
    auto source = std::make_shared<FileSourceFilter>();
    auto splitter = std::make_shared<AviSplitterFilter>();
    auto renderer = std::make_shared<NullRenderer>();
    graph_->AddFilter(source, "File Source");
    graph_->AddFilter(detector_, "scenedetect");
    graph_->AddFilter(splitter, "AVI Splitter");
    graph_->AddFilter(renderer, "Null Renderer");
    if (source->Load(video) != S_OK)
        return false;
    if (graph_->ConnectDirect(source->Output(), splitter->Input()) != S_OK)
        return false;
    bool connected = false;
    for (int i = 0; i < splitter->PinCount() && !connected; ++i) {
        Pin* p = splitter->GetPin(i);
        if (p && p->Direction() == PinDirection::Output)
            connected = graph_->ConnectDirect(*p, detector_->Input()) == S_OK;
    }
    if (!connected)
        return false;
    return graph_->ConnectDirect(detector_->Output(), renderer->Input()) == S_OK;
}

bool SceneDateGraph::Run(const std::function<bool(std::int64_t, std::int64_t)>& progress) {
    if (!graph_)
        return false;
    aborted_ = false;
    graph_->SetPaced(false);
    graph_->SetTimeFormat(TimeFormat::Frame);
    std::int64_t total = 0;
    graph_->GetDuration(total);
    if (Failed(graph_->Run())) {
        graph_->Stop();
        return false;
    }
    int code = 0;
    HRESULT hr = S_OK;
    while (!graph_->WaitForCompletion(250, code, hr)) {
        std::int64_t done = 0;
        graph_->GetCurrentPosition(done);
        if (progress && !progress(done, total)) {
            aborted_ = true;
            break;
        }
    }
    const HRESULT error = graph_->LastError();
    graph_->Stop();
    return !aborted_ && Succeeded(error) && Succeeded(hr);
}

}  // namespace kelvor::media
