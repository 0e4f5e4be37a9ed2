// The date scene detection graph (also the subtitle graph): file source, AVI splitter, the first
// stream the date detector accepts, the detector, a null renderer. The caller points the
// detector's callbacks at its sinks, then runs the graph free (unpaced) to its end.
//
// Driving thread only; the detector's callbacks run on the streaming thread. Failure: Build
// answers false when the file cannot be opened or has no stream the detector takes; Run answers
// false when the graph could not start or a stage reported an error; ErrorText says why.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kelvor::media {

class Graph;
class Tdv_sceneDetect;

class SceneDateGraph {
  public:
    explicit SceneDateGraph(std::shared_ptr<Tdv_sceneDetect> detector);
    ~SceneDateGraph();

    bool BuildSceneDateGraph(const std::string& video);
    bool BuildSrtGraph(const std::string& video) { return BuildSceneDateGraph(video); }

    // Streams the file through the detector. progress(done, total) in frames, called on this
    // thread a few times a second; answering false aborts. Stopping the graph at the end makes
    // the detector end its last scene and report the stream end.
    bool Run(const std::function<bool(std::int64_t done, std::int64_t total)>& progress = {});
    bool Aborted() const { return aborted_; }
    // Why the last build or run failed; empty when it did not.
    const std::string& ErrorText() const { return error_; }

  private:
    std::unique_ptr<Graph> graph_;
    std::shared_ptr<Tdv_sceneDetect> detector_;
    bool aborted_ = false;
    std::string error_;
};

}  // namespace kelvor::media
