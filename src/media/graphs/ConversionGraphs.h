// The conversion module: the one media graph through which the commands rewrite a video or play
// it through a detector, the holders of the engine's stock filters, one instance of each of the
// program's own filters, the progress state the graph worker reads, and the completion signal.
//
// Builders tear the previous graph down, place the filters their graph needs and connect them;
// they never run the graph. The commands make the filters' settings after a build, remove the
// reference clock and run; the graph worker waits for completion and stops the graph. Every
// builder follows the same steps: MakeLive, load the video, ResetGraph, Attach the holders,
// AddOwn the program's filters, connect through a GraphBuilder, set Progress().ProgressSeeking,
// keep the first reason of a failure in buildError_. A build fails only at the points its
// description names; any other connection that fails leaves that branch out and the build still
// succeeds (a conversion without sound when the sound cannot reach the muxer).
//
// Ownership: the program entry creates one ConversionGraphs and keeps it for the program's life;
// the module owns its graph, the stock filter instances in it (through the holders) and its own
// filters. Threads: everything but GraphComplete, SetCompletionEvent and NoteRunFailure runs on one
// driving thread at a time (the graph worker's, inside command executions, or the caller of a
// run such as the CLI); the program's own filters call their owners' callbacks on the graph's
// streaming threads. GraphComplete may run on any thread (the graph's completion callback
// decides which) and only signals; the seeking interfaces may be read from the driving thread
// while the graph runs. Failure: builders answer false with BuildError() saying why;
// RunFailure() says why a run failed. Nothing throws.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/files/DatePattern.h"
#include "media/engine/Filter.h"
#include "media/graphs/CompletionEvent.h"

namespace kelvor::scenes {
class DetectionSinks;
}

namespace kelvor::media {

class Graph;
class GraphBuilder;
class DateDetectorFilter;
class InlayFilter;
class DvHeaderFilter;
class DeinterlaceFilter;
class WavWriterFilter;
class ContentDetectorFilter;
class SampleTimeFilter;

// The standard argument of the builders.
inline constexpr int kStandardPal = 1;   // 625 lines, 50 fields
inline constexpr int kStandardNtsc = 2;  // 525 lines, 60 fields

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
    friend class ConversionGraphs;
    std::string name_;
    Factory make_;
    FilterPtr filter_;
};

class ConversionGraphs {
  public:
    // DataModuleCreate: the program's own filters, in the order date detector (with the inlay
    // and the DV header filter), deinterlace filter, WAV writer, content detector, stamper.
    explicit ConversionGraphs(LocaleInfo locale = EnglishLocale());
    ~ConversionGraphs();  // DataModuleDestroy: stops, clears and releases the graph
    ConversionGraphs(const ConversionGraphs&) = delete;
    ConversionGraphs& operator=(const ConversionGraphs&) = delete;

    // --- Graph operations.
    bool IsLive() const { return fg_ != nullptr; }
    // Creates an empty graph (nothing when one is live) whose completion runs GraphComplete.
    void MakeLive();
    // Stops and drops the graph with every filter instance in it; holders keep their bindings.
    void Release();
    // Stops, disconnects every pin, and removes every filter no holder owns (the program's own
    // filters and whatever else a builder added).
    void Clear();
    Status Run();
    Status Pause();
    Status Stop();  // Code::Ok when no graph is live
    // The graph then runs as fast as its stages go instead of in real time.
    void RemoveReferenceClock();
    // The graph's own seeking (duration and position of its source), 100 ns units.
    MediaSeeking& GraphSeeking();
    // The AVI mux's: the graph's duration and how far the mux has written the video.
    MediaSeeking& AviMuxSeeking();
    ConversionProgress& Progress() { return progress_; }
    // The live graph, or null (builders and tests).
    Graph* fg() const { return fg_.get(); }

    // --- Completion.
    // The event of the most recently created graph worker; GraphComplete signals it.
    void SetCompletionEvent(std::shared_ptr<CompletionEvent> event);
    // The graph's completion handler: signals that event. Any thread.
    void GraphComplete();
    // Whether the live graph has completed its run (ended or failed); false without a graph.
    bool GraphCompleted() const;
    // Why the last run failed: the graph's first error, else a failure a sink noted; empty when
    // it did not fail.
    std::string RunFailure() const;
    // The video frames the AVI mux wrote in the last run, and those the run's length
    // (Progress().ProgressDuration) holds at that file's frame rate (-1 when no frame was
    // written); false when no AVI mux was in the run. Driving thread, after the run stopped.
    bool WrittenFrames(std::int64_t& written, std::int64_t& due) const;
    // A sink that could not write its file says so here (any thread); cleared by MakeLive.
    void NoteRunFailure(std::string why);

    // --- Builders. Each answers true when its graph is complete; paths in UTF-8. The ones that
    // write a file set the file writer to the output, which replaces an existing file once the
    // new one is complete.
    // File source, AVI splitter, the first stream the date detector accepts, the detector
    // (as "scenedetect"), null renderer; ProgressSeeking = the graph's.
    bool BuildDateScenesGraph(const std::string& video);
    // The same graph, for the subtitle command.
    bool BuildSrtGraph(const std::string& video);
    // The first stream that can be decoded into RGB24 pictures (DV frames as they are, unless
    // the detector is told otherwise), rendered to the content detector through the media
    // stamper (right in front of it, so the stamper's frame is the detector's picture), then a
    // null renderer. Fails when the file cannot be opened or no
    // picture reaches the detector.
    bool BuildContentScenesGraph(const std::string& video);
    // PAL/NTSC conversion of a DV type 2 or type 1 file into the standard (kStandardPal or
    // kStandardNtsc): date detector on the DV stream, DV decoder, deinterlace filter, frame
    // rate converter when the standards differ (frames left out before decoding, repeated after
    // encoding, each keeping its own source frame's facts), scaler into the target frame, DV
    // encoder, DV header filter, DV muxer with the sound (type 2 through resampler1 and resampler2,
    // type 1 straight from the DV splitter), then type 2 through a DV splitter into the AVI mux, or
    // type 1 straight into it. Fails when the file has no stream or no DV stream (type 1: no
    // interleaved DV stream whose video reaches the decoder).
    bool BuildStandardGraphType2(const std::string& video, const std::string& output, int standard);
    bool BuildStandardGraphType1(const std::string& video, const std::string& output, int standard);
    // The datecode inlay: the standard conversions with the inlay filter where the deinterlace
    // filter stands, the encoder PAL for standard 1 and NTSC otherwise (the file's standard), and
    // the type 2 output through dvSplitter2.
    bool BuildInlayGraphType2(const std::string& video, const std::string& output, int standard);
    bool BuildInlayGraphType1(const std::string& video, const std::string& output, int standard);
    // The time shift: the DV stream through the DV header filter into the AVI mux, the sound
    // through resampler1 and resampler2; no picture is decoded and the output keeps the video's
    // type (a raw DV file gives a raw DV file, through a raw DV mux). Fails when the file has no
    // stream or none reaches the DV header filter.
    bool BuildShiftTimeGraph(const std::string& video, const std::string& output);
    // The type 2 repair: the first two streams into the AVI mux (as video, as sound, or an
    // interleaved one as its DV video through a DV splitter); later streams are left out. Fails
    // only when the video cannot be loaded; a file without streams gives a graph that writes
    // nothing (its duration is 0).
    bool BuildFixType2Graph(const std::string& video, const std::string& output);
    // Type 2 into type 1: the DV video (an interleaved stream's through a DV splitter) into the
    // DV muxer, the first two sound streams through resampler1 and resampler2 into its audio
    // inputs. Fails when the file has no stream.
    bool BuildToType1Graph(const std::string& video, const std::string& output);
    // A raw DV file (or a DV type 1 one) into DV type 1: its interleaved stream straight into the
    // AVI mux, every frame bit for bit. Fails when the file has no stream or its first stream is
    // not interleaved DV.
    bool BuildWrapType1Graph(const std::string& video, const std::string& output);
    // Type 1 into type 2: the first stream through a DV splitter, its video straight into the
    // AVI mux, its first two sound pairs through resampler1 and resampler2, further ones straight.
    // A file of another container whose first stream is DV video ("dvsd") gives its frames
    // straight to the AVI mux and its first two sound streams through resampler1 and resampler2.
    // Fails when the file has no stream or its first stream is neither interleaved DV nor DV
    // video.
    bool BuildToType2Graph(const std::string& video, const std::string& output);
    // Recompression of any AVI into DV type 2 in the standard: the picture rendered to the DV
    // encoder (decoded, brought to the DV frame rate, scaled into the frame with its display
    // aspect kept, 16:9 when it is 1.5 or wider), the sound rendered to the DV muxer through
    // resampler1 (a second stream through resampler2), both wrappers at DvAudioRateHz(dvAudioRate).
    // Fails when the file has no stream or no picture can be brought to the encoder.
    bool BuildRecompressGraph(const std::string& video, const std::string& output, int standard,
                              int dvAudioRate);
    // The sound into a WAV file: the first sound (a DV stream's through a DV splitter) through
    // resampler1 into the WAV writer while the video goes to a null renderer; without video through
    // the tee, whose second output feeds the null renderer. Fails when the file has no sound or
    // its sound cannot be read. ProgressSeeking = the graph's.
    bool BuildExtractAudioGraph(const std::string& video, const std::string& output);
    // One scene, DV type 2: the streams into the DV muxer (sound through resampler1 and
    // resampler2), a DV splitter, the AVI mux; the second stream through the tee, whose other
    // output feeds a null renderer. A file whose only stream is video is cut without the tee. Fails
    // when the file has no stream. ProgressSeeking is left to the cut command, which positions the
    // graph.
    bool BuildCutSceneGraphType2(const std::string& video, const std::string& output);
    // One scene, DV type 1 or other: the first stream, unchanged, through the tee into the AVI
    // mux (a raw DV mux for a raw DV file), the tee's other output to a null renderer.
    bool BuildCutSceneGraphType1(const std::string& video, const std::string& output);
    // Takes the filters of the last build out of the graph (the source stays, and so do the
    // content detector and the media stamper), with whatever a rendering inserted, and clears
    // the date detector's scene and stream-end callbacks.
    void ResetGraph();
    // Sets the output sample rate of a sound wrapper (resampler1 or resampler2): its input's sound
    // format at that rate. False only when the holder is not attached; a rate the wrapper's
    // downstream refuses is not reported (the connection keeps its rate). An unconnected wrapper
    // keeps the rate for its next connection.
    bool SetAudioRate(FilterHolder& wrapper, int rate);
    // The sound rate of the preference "Frequence DV": 0 gives 32000, 1 44100, 2 48000, any
    // other value 0 (the wrappers keep their input's rate).
    static int DvAudioRateHz(int dvAudioRate);
    // Why the last build failed; empty when it did not.
    const std::string& BuildError() const { return buildError_; }

    // --- The stock filter holders, named as builders address them.
    FilterHolder source;       // file source
    FilterHolder destination;  // file writer
    FilterHolder aviSplitter;  // AVI splitter (the one that reads the file: attach via OpenVideo)
    FilterHolder dvSplitter;
    FilterHolder dvSplitter2;
    FilterHolder dvMuxer;
    FilterHolder aviMux;
    FilterHolder resampler1;  // sound wrappers: the resampler
    FilterHolder resampler2;
    FilterHolder dvDecoder;
    FilterHolder dvEncoder;
    FilterHolder nullRenderer;
    FilterHolder infiniteTee;  // infinite pin tee

    // --- The program's own filters, one instance each for the program's life. Their settings
    // are made by the commands after a build and kept from one build to the next.
    DateDetectorFilter& DateDetector() { return *dateDetector_; }
    InlayFilter& Inlay() { return *inlay_; }
    DvHeaderFilter& DvHeader() { return *dvHeader_; }
    DeinterlaceFilter& Deinterlacer() { return *deinterlacer_; }
    WavWriterFilter& WavWriter() { return *wavWriter_; }
    ContentDetectorFilter& ContentDetector() { return *contentDetector_; }
    SampleTimeFilter& SampleTimes() { return *sampleTimes_; }
    // The border of the inlay's text in pixels (the preference "Border Size"), read by the
    // inlay at every drawing; any thread.
    void SetInlayBorderSize(int pixels) { inlayBorder_.store(pixels); }
    // The locale of the inlay's and the date detector's date texts; while no graph runs.
    void SetLocale(const LocaleInfo& locale);
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
    // The two halves of OpenVideo: the source with the video loaded (false when it cannot be
    // read), then the splitter that reads it joined to the source (false when it refuses it).
    bool LoadSource(GraphBuilder& b, const std::string& video);
    bool OpenSplitter(GraphBuilder& b, const std::string& video);
    // Records the builder's reason (or `fallback`) as the build error; always false.
    bool buildFailed(const GraphBuilder& b, const std::string& fallback);

  private:
    class GraphSeekingImpl;
    class AviMuxSeekingImpl;
    class Build;
    // The standard conversions and the inlay: one graph with the picture filter and the type.
    bool reencode(Build& build, const std::string& video, const std::string& output, bool type2,
                  bool inlay, bool pal);
    FilterHolder* holders_[13];

    std::unique_ptr<Graph> fg_;
    std::unique_ptr<GraphSeekingImpl> graphSeeking_;
    std::unique_ptr<AviMuxSeekingImpl> aviMuxSeeking_;
    ConversionProgress progress_;
    std::string buildError_;
    std::atomic<int> inlayBorder_{1};
    std::shared_ptr<DateDetectorFilter> dateDetector_;
    std::shared_ptr<InlayFilter> inlay_;        // reads dateDetector_
    std::shared_ptr<DvHeaderFilter> dvHeader_;  // reads dateDetector_
    std::shared_ptr<DeinterlaceFilter> deinterlacer_;
    std::shared_ptr<WavWriterFilter> wavWriter_;
    std::shared_ptr<ContentDetectorFilter> contentDetector_;
    std::shared_ptr<SampleTimeFilter> sampleTimes_;
    std::unique_ptr<scenes::DetectionSinks> sinks_;

    mutable std::mutex mutex_;  // guards completion_ and runFailure_
    std::shared_ptr<CompletionEvent> completion_;
    std::string runFailure_;
};

}  // namespace kelvor::media
