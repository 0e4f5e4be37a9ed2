#include "media/graphs/ConversionGraphs.h"

#include <algorithm>

#include "core/scenes/DetectionSinks.h"
#include "media/engine/AviSink.h"
#include "media/engine/AviSource.h"
#include "media/engine/DvFilters.h"
#include "media/engine/Graph.h"
#include "media/engine/GraphBuilder.h"
#include "media/engine/LavfSource.h"
#include "media/engine/PlatformFilters.h"
#include "media/engine/Renderer.h"
#include "media/filters/ContentDetectorFilter.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/DeinterlaceFilter.h"
#include "media/filters/DvHeaderFilter.h"
#include "media/filters/InlayFilter.h"
#include "media/filters/SampleTimeFilter.h"
#include "media/filters/WavWriterFilter.h"

namespace kelvor::media {

// The graph's seeking in 100 ns units, whatever time format a builder left the graph in.
class ConversionGraphs::GraphSeekingImpl : public MediaSeeking {
  public:
    explicit GraphSeekingImpl(ConversionGraphs& owner) : owner_(owner) {}
    bool GetDuration(std::int64_t& duration) override {
        Graph* g = mediaTime();
        return g && g->GetDuration(duration).ok();
    }
    bool GetCurrentPosition(std::int64_t& position) override {
        Graph* g = mediaTime();
        return g && g->GetCurrentPosition(position).ok();
    }
    bool SetPositions(std::int64_t start, std::int64_t stop) override {
        Graph* g = mediaTime();
        return g && g->SetPositions(start, stop).ok();
    }

  private:
    Graph* mediaTime() {
        Graph* g = owner_.fg();
        if (g)
            g->SetTimeFormat(TimeFormat::MediaTime);
        return g;
    }
    ConversionGraphs& owner_;
};

// The AVI mux writes the file itself, so no renderer presents its stream: the position is how
// far the mux has written the video, read from any thread while it runs.
class ConversionGraphs::AviMuxSeekingImpl : public MediaSeeking {
  public:
    explicit AviMuxSeekingImpl(ConversionGraphs& owner) : owner_(owner) {}
    bool GetDuration(std::int64_t& duration) override {
        return owner_.GraphSeeking().GetDuration(duration);
    }
    bool GetCurrentPosition(std::int64_t& position) override {
        const auto* mux = owner_.aviMux.As<AviMuxFilter>();
        if (!mux)
            return false;
        std::int64_t start = 0, stop = 0;
        Graph* g = owner_.fg();
        if (g && g->GetPositions(start, stop).ok())
            position = std::max(mux->CurrentPosition(), start);
        else
            position = mux->CurrentPosition();
        return true;
    }
    bool SetPositions(std::int64_t start, std::int64_t stop) override {
        return owner_.GraphSeeking().SetPositions(start, stop);
    }

  private:
    ConversionGraphs& owner_;
};

namespace {

template <typename F>
FilterHolder::Factory make() {
    return [] { return std::make_shared<F>(); };
}

}  // namespace

ConversionGraphs::ConversionGraphs(LocaleInfo locale)
    : source("File Source", make<FileSourceFilter>()),
      destination("File writer", make<FileWriterFilter>()),
      // The splitter that can read a file depends on the file; OpenVideo chooses it.
      aviSplitter("AVI Splitter", make<AviSplitterFilter>()),
      dvSplitter("DV Splitter", make<DvSplitterFilter>()),
      dvSplitter2("DV Splitter 2", make<DvSplitterFilter>()),
      dvMuxer("DV Muxer", make<DvMuxerFilter>()),
      aviMux("AVI Mux", make<AviMuxFilter>()),
      resampler1("ACM Wrapper", make<AudioResamplerFilter>()),
      resampler2("ACM Wrapper 2", make<AudioResamplerFilter>()),
      dvDecoder("DV Video Decoder", make<DvVideoDecoderFilter>()),
      dvEncoder("DV Video Encoder", make<DvVideoEncoderFilter>()),
      nullRenderer("Null Renderer", make<NullRenderer>()),
      infiniteTee("Infinite Pin Tee Filter", make<InfiniteTeeFilter>()),
      holders_{&source,    &destination,  &aviSplitter, &dvSplitter, &dvSplitter2,
               &dvMuxer,   &aviMux,       &resampler1,  &resampler2, &dvDecoder,
               &dvEncoder, &nullRenderer, &infiniteTee},
      graphSeeking_(std::make_unique<GraphSeekingImpl>(*this)),
      aviMuxSeeking_(std::make_unique<AviMuxSeekingImpl>(*this)),
      dateDetector_(std::make_shared<DateDetectorFilter>()),
      inlay_(std::make_shared<InlayFilter>(
          dateDetector_, [this] { return inlayBorder_.load(); }, locale)),
      dvHeader_(std::make_shared<DvHeaderFilter>(dateDetector_)),
      deinterlacer_(std::make_shared<DeinterlaceFilter>()),
      wavWriter_(std::make_shared<WavWriterFilter>()),
      contentDetector_(std::make_shared<ContentDetectorFilter>()),
      sampleTimes_(std::make_shared<SampleTimeFilter>()),
      sinks_(std::make_unique<scenes::DetectionSinks>()) {
    dateDetector_->Detector().SetLocale(locale);
    contentDetector_->SetSampleTimes(sampleTimes_);
    // The content scenes of a DV file come from its blocks' DC terms, which spares decoding.
    contentDetector_->SetTakesDvFrames(true);
    // The burnt-in date is drawn on the decoder's planar pictures, which the encoder takes as
    // they are: no colour conversion of the whole picture on either side.
    inlay_->SetPlanarInput(true);
}

ConversionGraphs::~ConversionGraphs() {
    Stop();
    Clear();
    Release();
}

void ConversionGraphs::MakeLive() {
    if (fg_)
        return;
    fg_ = std::make_unique<Graph>();
    fg_->SetCompletionCallback([this](int, Status) { GraphComplete(); });
    std::lock_guard lock(mutex_);
    runFailure_.clear();
}

void ConversionGraphs::Release() {
    if (!fg_)
        return;
    fg_->Stop();
    fg_->RemoveAllFilters();
    fg_.reset();
    for (FilterHolder* h : holders_)
        h->filter_.reset();
    progress_.ProgressSeeking = nullptr;
}

void ConversionGraphs::Clear() {
    if (!fg_)
        return;
    fg_->Stop();
    for (BaseFilter* f : fg_->Filters())
        for (int i = 0; i < f->PinCount(); ++i)
            fg_->Disconnect(*f->GetPin(i));
    for (BaseFilter* f : fg_->Filters()) {
        const bool held = std::any_of(std::begin(holders_), std::end(holders_),
                                      [&](const FilterHolder* h) { return h->Filter() == f; });
        if (!held)
            fg_->RemoveFilter(*f);
    }
}

Status ConversionGraphs::Run() {
    return fg_ ? fg_->Run() : Code::Unexpected;
}

Status ConversionGraphs::Pause() {
    return fg_ ? fg_->Pause() : Code::Unexpected;
}

Status ConversionGraphs::Stop() {
    return fg_ ? fg_->Stop() : Code::Ok;
}

void ConversionGraphs::RemoveReferenceClock() {
    if (fg_)
        fg_->SetPaced(false);
}

MediaSeeking& ConversionGraphs::GraphSeeking() {
    return *graphSeeking_;
}

MediaSeeking& ConversionGraphs::AviMuxSeeking() {
    return *aviMuxSeeking_;
}

void ConversionGraphs::SetLocale(const LocaleInfo& locale) {
    dateDetector_->Detector().SetLocale(locale);
    inlay_->SetLocale(locale);
}

void ConversionGraphs::SetCompletionEvent(std::shared_ptr<CompletionEvent> event) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(event);
}

void ConversionGraphs::GraphComplete() {
    std::shared_ptr<CompletionEvent> event;
    {
        std::lock_guard lock(mutex_);
        event = completion_;
    }
    if (event)
        event->Signal();
}

bool ConversionGraphs::GraphCompleted() const {
    if (!fg_)
        return false;
    int code = 0;
    Status hr = Code::Ok;
    return fg_->WaitForCompletion(0, code, hr);
}

bool ConversionGraphs::WrittenFrames(std::int64_t& written, std::int64_t& due) const {
    const auto* mux = aviMux.As<AviMuxFilter>();
    std::int64_t num = 0, den = 1;
    if (!mux)
        return false;
    // Stopped before its first frame: nothing written, and no file whose rate gives the frames due.
    if (!mux->FrameRate(num, den)) {
        written = 0;
        due = -1;
        return true;
    }
    constexpr std::int64_t kUnitsPerSecond = 10'000'000;
    written = static_cast<std::int64_t>(mux->FramesWritten());
    const std::int64_t length = std::max<std::int64_t>(progress_.ProgressDuration, 0);
    // Rounded to the nearest frame; a run never wrote more than it was due.
    due = (length * num + den * kUnitsPerSecond / 2) / (den * kUnitsPerSecond);
    due = std::max(due, written);
    return true;
}

std::string ConversionGraphs::RunFailure() const {
    if (fg_) {
        const Status error = fg_->LastError();
        if (error.failed())
            return error.reason();
    }
    std::lock_guard lock(mutex_);
    return runFailure_;
}

void ConversionGraphs::NoteRunFailure(std::string why) {
    std::lock_guard lock(mutex_);
    if (runFailure_.empty())
        runFailure_ = std::move(why);
}

bool ConversionGraphs::Attach(GraphBuilder& b, FilterHolder& holder) {
    if (holder.filter_)
        return true;
    FilterPtr f = holder.make_();
    if (!b.Add(f, holder.Name()))
        return false;
    holder.filter_ = std::move(f);
    return true;
}

void ConversionGraphs::Detach(FilterHolder& holder) {
    if (!holder.filter_)
        return;
    if (fg_)
        fg_->RemoveFilter(*holder.filter_);
    holder.filter_.reset();
}

bool ConversionGraphs::AddOwn(GraphBuilder& b, const FilterPtr& filter, const std::string& name) {
    return b.Add(filter, name) != nullptr;
}

void ConversionGraphs::RemoveOwn(BaseFilter& filter) {
    if (fg_ && filter.GetGraph() == fg_.get())
        fg_->RemoveFilter(filter);
}

bool ConversionGraphs::OpenVideo(GraphBuilder& b, const std::string& video) {
    Detach(source);
    Detach(aviSplitter);
    const auto opened = OpenAviFile(b, video);
    if (!opened)
        return false;
    source.filter_ = opened->source;
    aviSplitter.filter_ = opened->splitter;
    return true;
}

bool ConversionGraphs::buildFailed(const GraphBuilder& b, const std::string& fallback) {
    buildError_ = b.Error().empty() ? fallback : b.Error();
    return false;
}

void ConversionGraphs::ResetGraph() {
    for (FilterHolder* h : {&dvSplitter, &dvSplitter2, &aviSplitter, &dvMuxer, &aviMux, &resampler1,
                            &resampler2, &dvDecoder, &dvEncoder})
        Detach(*h);
    for (BaseFilter* own :
         {static_cast<BaseFilter*>(deinterlacer_.get()), static_cast<BaseFilter*>(inlay_.get()),
          static_cast<BaseFilter*>(dvHeader_.get()), static_cast<BaseFilter*>(dateDetector_.get()),
          static_cast<BaseFilter*>(wavWriter_.get())})
        RemoveOwn(*own);
    for (FilterHolder* h : {&infiniteTee, &nullRenderer, &destination})
        Detach(*h);
    // What a rendering inserted beside the holders (decoders, converters, the frame-rate
    // converter) would otherwise join every later run; the source, the content detector and
    // the media stamper stay.
    if (fg_) {
        for (BaseFilter* f : fg_->Filters())
            if (f != source.Filter() && f != contentDetector_.get() && f != sampleTimes_.get())
                fg_->RemoveFilter(*f);
    }
    dateDetector_->SetCarryFrames(true);
    scenes::DateSceneDetector& d = dateDetector_->Detector();
    d.OnSceneEnd = nullptr;
    d.OnStreamEnd = nullptr;
    d.SetSubtitleSink(nullptr);
}

bool ConversionGraphs::BuildDateScenesGraph(const std::string& video) {
    buildError_.clear();
    MakeLive();
    ResetGraph();
    // Nothing after the detector reads the frames' facts.
    dateDetector_->SetCarryFrames(false);
    GraphBuilder b(*fg_);
    if (!AddOwn(b, dateDetector_, "scenedetect") || !Attach(b, nullRenderer))
        return buildFailed(b, video + ": the graph cannot be built");
    if (!OpenVideo(b, video))
        return buildFailed(b, video + ": not an AVI file that can be read");
    auto& splitter = *aviSplitter.Filter();
    if (!b.ConnectFirstOutput(splitter, *dateDetector_->GetInputPin(0)))
        return buildFailed(b, "not a DV file: no stream carries DV frames");
    if (!b.Connect(*dateDetector_->GetOutputPin(0),
                   *nullRenderer.As<NullRenderer>()->GetInputPin(0)))
        return buildFailed(b, "the DV stream cannot be read");
    progress_.ProgressSeeking = graphSeeking_.get();
    return true;
}

bool ConversionGraphs::BuildSrtGraph(const std::string& video) {
    return BuildDateScenesGraph(video);
}

int ConversionGraphs::DvAudioRateHz(int dvAudioRate) {
    switch (dvAudioRate) {
        case 0:
            return 32000;
        case 1:
            return 44100;
        case 2:
            return 48000;
        default:
            return 0;
    }
}

bool ConversionGraphs::SetAudioRate(FilterHolder& wrapper, int rate) {
    auto* acm = wrapper.As<AudioResamplerFilter>();
    if (!acm || !fg_ || acm->GetGraph() != fg_.get())
        return false;
    // The rate is part of the output connection's type: the output is joined again to take it.
    const int before = acm->OutputRate();
    Pin* peer = acm->Output().ConnectedTo();
    if (peer)
        fg_->Disconnect(acm->Output());
    if (acm->SetOutputRate(rate).failed())
        acm->SetOutputRate(before);
    if (peer && fg_->ConnectDirect(acm->Output(), *peer) != Code::Ok) {
        // The stage after the wrapper refuses that rate: the connection keeps the old one.
        acm->SetOutputRate(before);
        fg_->ConnectDirect(acm->Output(), *peer);
    }
    return true;
}

}  // namespace kelvor::media
