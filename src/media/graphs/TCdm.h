// The conversion module: the one media graph through which the commands rewrite a video or play
// it through a detector, the holders of the engine's stock filters, one instance of each of the
// program's own filters, the progress state the graph worker reads, and the completion signal.
//
// Builders tear the previous graph down, place the filters their graph needs and connect them;
// they never run the graph. The commands make the filters' settings after a build, remove the
// reference clock and run; the graph worker waits for completion and stops the graph.
// Builders added later follow BuildSceneDateGraph: MakeLive, ResetGraph, Attach the holders,
// AddOwn the program's filters, OpenVideo, connect through a GraphBuilder, set
// Progress().ProgressSeeking, keep the first reason of a failure in buildError_.
//
// Ownership: the program entry creates one TCdm and keeps it for the program's life; the module
// owns its graph, the stock filter instances in it (through the holders) and its own filters.
// Threads: everything but fgGraphComplete, SetCompletionEvent and NoteRunFailure runs on one
// driving thread at a time (the graph worker's, inside command executions, or the caller of a
// run such as the CLI); the program's own filters call their owners' callbacks on the graph's
// streaming threads. fgGraphComplete may run on any thread (the graph's completion callback
// decides which) and only signals. Failure: builders answer false with BuildError() saying
// why; RunFailure() says why a run failed. Nothing throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "media/engine/Filter.h"
#include "media/graphs/CompletionEvent.h"

namespace kelvor::scenes {
class DetectionSinks;
}

namespace kelvor::media {

class Graph;
class GraphBuilder;
class Tdv_sceneDetect;

// The positions of a running conversion in 100 ns units, as the graph worker reads them and the
// cut command sets them.
class MediaSeeking {
  public:
    virtual ~MediaSeeking() = default;
    virtual bool GetDuration(std::int64_t& duration) = 0;
    virtual bool GetCurrentPosition(std::int64_t& position) = 0;
    // Absolute start and stop of the next run.
    virtual bool SetPositions(std::int64_t start, std::int64_t stop) = 0;
};

// The run state shared by the conversion module, the graph commands and the graph worker: one
// instance, in the module, driving thread only.
struct ConversionProgress {
    // The seeking of the graph that runs, or null: builders set it, the worker clears it
    // before each execution.
    MediaSeeking* ProgressSeeking = nullptr;
    // Length of the conversion the last command started, 100 ns units.
    std::int64_t ProgressDuration = 0;
    // Where that conversion starts; 0 unless the command positions the graph itself.
    std::int64_t ProgressStart = 0;
};

// A slot bound to one kind of stock filter. Attaching creates a fresh instance and adds it to
// the graph under the holder's name; detaching removes it. The binding (the factory) stays.
class FilterHolder {
  public:
    using Factory = std::function<FilterPtr()>;
    FilterHolder(std::string name, Factory make) : name_(std::move(name)), make_(std::move(make)) {}

    const std::string& Name() const { return name_; }
    bool Attached() const { return filter_ != nullptr; }
    BaseFilter* Filter() const { return filter_.get(); }
    template <typename F>
    F* As() const {
        return dynamic_cast<F*>(filter_.get());
    }

  private:
    friend class TCdm;
    std::string name_;
    Factory make_;
    FilterPtr filter_;
};

class TCdm {
  public:
    TCdm();   // DataModuleCreate: the program's own filters
    ~TCdm();  // DataModuleDestroy: stops, clears and releases the graph
    TCdm(const TCdm&) = delete;
    TCdm& operator=(const TCdm&) = delete;

    // --- Graph operations.
    bool IsLive() const { return fg_ != nullptr; }
    // Creates an empty graph (nothing when one is live) whose completion runs fgGraphComplete.
    void MakeLive();
    // Stops and drops the graph with every filter instance in it; holders keep their bindings.
    void Release();
    // Stops, disconnects every pin, and removes every filter no holder owns (the program's own
    // filters and whatever else a builder added).
    void Clear();
    HRESULT Run();
    HRESULT Pause();
    HRESULT Stop();  // S_OK when no graph is live
    // The graph then runs as fast as its stages go instead of in real time.
    void RemoveReferenceClock();
    // The graph's own seeking (duration and position of its source), 100 ns units.
    MediaSeeking& GraphSeeking();
    ConversionProgress& Progress() { return progress_; }
    // The live graph, or null (builders and tests).
    Graph* fg() const { return fg_.get(); }

    // --- Completion.
    // The event of the most recently created graph worker; fgGraphComplete signals it.
    void SetCompletionEvent(std::shared_ptr<CompletionEvent> event);
    // The graph's completion handler: signals that event. Any thread.
    void fgGraphComplete();
    // Whether the live graph has completed its run (ended or failed); false without a graph.
    bool GraphCompleted() const;
    // Why the last run failed: the graph's first error, else a failure a sink noted; empty when
    // it did not fail.
    std::string RunFailure() const;
    // A sink that could not write its file says so here (any thread); cleared by MakeLive.
    void NoteRunFailure(std::string why);

    // --- Builders. Each answers true when its graph is complete.
    // File source, AVI splitter, the first stream the date detector accepts, the detector
    // (as "scenedetect"), null renderer; ProgressSeeking = the graph's.
    bool BuildSceneDateGraph(const std::string& video);
    // The same graph, for the subtitle command.
    bool BuildSrtGraph(const std::string& video);
    // Takes the filters of the last build out of the graph (the source stays) and clears the
    // date detector's scene and stream-end callbacks.
    void ResetGraph();
    // Sets the output sample rate of a sound wrapper (acm1 or acm2); false when the holder is
    // not attached. The wrapper's refusal is not reported.
    bool SetAudioRate(FilterHolder& wrapper, int rate);
    // Why the last build failed; empty when it did not.
    const std::string& BuildError() const { return buildError_; }

    // --- The stock filter holders, named as builders address them.
    FilterHolder source;       // file source
    FilterHolder destination;  // file writer
    FilterHolder avisplitter;  // AVI splitter (the one that reads the file: attach via OpenVideo)
    FilterHolder dvsplitter;
    FilterHolder dvsplitter2;
    FilterHolder dvmuxer;
    FilterHolder avimux;
    FilterHolder acm1;  // sound wrappers: the resampler
    FilterHolder acm2;
    FilterHolder DVdecoder;
    FilterHolder DVenc;
    FilterHolder nullrender;
    FilterHolder infinite;  // infinite pin tee

    // --- The program's own filters, one instance each for the program's life. The inlay,
    // DV header, deinterlace, WAV writer, content detector and media stamper join them here.
    Tdv_sceneDetect& SceneDetect() { return *sceneDetect_; }
    // The writers of the detection graphs, opened by the commands after a build.
    scenes::DetectionSinks& Sinks() { return *sinks_; }

  protected:
    // Attaches a holder to the live graph: a fresh instance under the holder's name.
    bool Attach(GraphBuilder& b, FilterHolder& holder);
    void Detach(FilterHolder& holder);
    // Adds one of the program's own filters under a name.
    bool AddOwn(GraphBuilder& b, const FilterPtr& filter, const std::string& name);
    void RemoveOwn(BaseFilter& filter);
    // Attaches the source with the video loaded and the AVI splitter that reads it, connected.
    bool OpenVideo(GraphBuilder& b, const std::string& video);
    // Records the builder's reason (or `fallback`) as the build error; always false.
    bool buildFailed(const GraphBuilder& b, const std::string& fallback);

  private:
    class GraphSeekingImpl;
    FilterHolder* holders_[13];

    std::unique_ptr<Graph> fg_;
    std::unique_ptr<GraphSeekingImpl> graphSeeking_;
    ConversionProgress progress_;
    std::string buildError_;
    std::shared_ptr<Tdv_sceneDetect> sceneDetect_;
    std::unique_ptr<scenes::DetectionSinks> sinks_;

    mutable std::mutex mutex_;  // guards completion_ and runFailure_
    std::shared_ptr<CompletionEvent> completion_;
    std::string runFailure_;
};

}  // namespace kelvor::media
