#include "media/graphs/SceneGraphs.h"

#include "media/engine/AviSource.h"
#include "media/engine/Graph.h"
#include "media/engine/GraphBuilder.h"
#include "media/engine/Renderer.h"
#include "media/filters/Tdv_sceneDetect.h"

namespace kelvor::media {

SceneDateGraph::SceneDateGraph(std::shared_ptr<Tdv_sceneDetect> detector)
    : detector_(std::move(detector)) {}

SceneDateGraph::~SceneDateGraph() = default;

bool SceneDateGraph::BuildSceneDateGraph(const std::string& video) {
    graph_ = std::make_unique<Graph>();
    error_.clear();
    GraphBuilder b(*graph_);
    const auto opened = OpenAviFile(b, video);
    auto detector = b.Add(detector_, "scenedetect");
    auto renderer = b.Add(std::make_shared<NullRenderer>(), "Null Renderer");
    if (!opened || !detector || !renderer) {
        error_ = b.Error();
        return false;
    }
    if (!b.ConnectFirstOutput(*opened->splitter, detector->Input())) {
        error_ = video + ": no DV stream";
        return false;
    }
    if (!b.Connect(detector->Output(), renderer->Input())) {
        error_ = video + ": the DV stream cannot be read";
        return false;
    }
    return true;
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
        error_ = graph_->LastErrorInfo().Describe();
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
    const GraphError error = graph_->LastErrorInfo();
    graph_->Stop();
    if (Failed(error.code) || Failed(hr))
        error_ = error.Describe();
    return !aborted_ && Succeeded(error.code) && Succeeded(hr);
}

}  // namespace kelvor::media
