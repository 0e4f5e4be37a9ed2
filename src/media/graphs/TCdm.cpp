#include "media/graphs/TCdm.h"

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
#include "media/filters/Tdv_sceneDetect.h"

namespace kelvor::media {

// The graph's seeking in 100 ns units, whatever time format a builder left the graph in.
class TCdm::GraphSeekingImpl : public MediaSeeking {
  public:
    explicit GraphSeekingImpl(TCdm& owner) : owner_(owner) {}
    bool GetDuration(std::int64_t& duration) override {
        Graph* g = mediaTime();
        return g && Succeeded(g->GetDuration(duration));
    }
    bool GetCurrentPosition(std::int64_t& position) override {
        Graph* g = mediaTime();
        return g && Succeeded(g->GetCurrentPosition(position));
    }
    bool SetPositions(std::int64_t start, std::int64_t stop) override {
        Graph* g = mediaTime();
        return g && Succeeded(g->SetPositions(start, stop));
    }

  private:
    Graph* mediaTime() {
        Graph* g = owner_.fg();
        if (g)
            g->SetTimeFormat(TimeFormat::MediaTime);
        return g;
    }
    TCdm& owner_;
};

namespace {

template <typename F>
FilterHolder::Factory make() {
    return [] { return std::make_shared<F>(); };
}

}  // namespace

TCdm::TCdm()
    : source("File Source", make<FileSourceFilter>()),
      destination("File writer", make<FileWriterFilter>()),
      // The splitter that can read a file depends on the file; OpenVideo chooses it.
      avisplitter("AVI Splitter", make<AviSplitterFilter>()),
      dvsplitter("DV Splitter", make<DvSplitterFilter>()),
      dvsplitter2("DV Splitter 2", make<DvSplitterFilter>()),
      dvmuxer("DV Muxer", make<DvMuxerFilter>()),
      avimux("AVI Mux", make<AviMuxFilter>()),
      acm1("ACM Wrapper", make<AudioResamplerFilter>()),
      acm2("ACM Wrapper 2", make<AudioResamplerFilter>()),
      DVdecoder("DV Video Decoder", make<DvVideoDecoderFilter>()),
      DVenc("DV Video Encoder", make<DvVideoEncoderFilter>()),
      nullrender("Null Renderer", make<NullRenderer>()),
      infinite("Infinite Pin Tee Filter", make<InfiniteTeeFilter>()),
      holders_{&source, &destination, &avisplitter, &dvsplitter, &dvsplitter2, &dvmuxer, &avimux,
               &acm1,   &acm2,        &DVdecoder,   &DVenc,      &nullrender,  &infinite},
      graphSeeking_(std::make_unique<GraphSeekingImpl>(*this)),
      sceneDetect_(std::make_shared<Tdv_sceneDetect>()),
      sinks_(std::make_unique<scenes::DetectionSinks>()) {}

TCdm::~TCdm() {
    Stop();
    Clear();
    Release();
}

void TCdm::MakeLive() {
    if (fg_)
        return;
    fg_ = std::make_unique<Graph>();
    fg_->SetCompletionCallback([this](int, HRESULT) { fgGraphComplete(); });
    std::lock_guard lock(mutex_);
    runFailure_.clear();
}

void TCdm::Release() {
    if (!fg_)
        return;
    fg_->Stop();
    fg_->RemoveAllFilters();
    fg_.reset();
    for (FilterHolder* h : holders_)
        h->filter_.reset();
    progress_.ProgressSeeking = nullptr;
}

void TCdm::Clear() {
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

HRESULT TCdm::Run() {
    return fg_ ? fg_->Run() : E_UNEXPECTED;
}

HRESULT TCdm::Pause() {
    return fg_ ? fg_->Pause() : E_UNEXPECTED;
}

HRESULT TCdm::Stop() {
    return fg_ ? fg_->Stop() : S_OK;
}

void TCdm::RemoveReferenceClock() {
    if (fg_)
        fg_->SetPaced(false);
}

MediaSeeking& TCdm::GraphSeeking() {
    return *graphSeeking_;
}

void TCdm::SetCompletionEvent(std::shared_ptr<CompletionEvent> event) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(event);
}

void TCdm::fgGraphComplete() {
    std::shared_ptr<CompletionEvent> event;
    {
        std::lock_guard lock(mutex_);
        event = completion_;
    }
    if (event)
        event->Signal();
}

bool TCdm::GraphCompleted() const {
    if (!fg_)
        return false;
    int code = 0;
    HRESULT hr = S_OK;
    return fg_->WaitForCompletion(0, code, hr);
}

std::string TCdm::RunFailure() const {
    if (fg_) {
        const GraphError error = fg_->LastErrorInfo();
        if (Failed(error.code))
            return error.Describe();
    }
    std::lock_guard lock(mutex_);
    return runFailure_;
}

void TCdm::NoteRunFailure(std::string why) {
    std::lock_guard lock(mutex_);
    if (runFailure_.empty())
        runFailure_ = std::move(why);
}

bool TCdm::Attach(GraphBuilder& b, FilterHolder& holder) {
    if (holder.filter_)
        return true;
    FilterPtr f = holder.make_();
    if (!b.Add(f, holder.Name()))
        return false;
    holder.filter_ = std::move(f);
    return true;
}

void TCdm::Detach(FilterHolder& holder) {
    if (!holder.filter_)
        return;
    if (fg_)
        fg_->RemoveFilter(*holder.filter_);
    holder.filter_.reset();
}

bool TCdm::AddOwn(GraphBuilder& b, const FilterPtr& filter, const std::string& name) {
    return b.Add(filter, name) != nullptr;
}

void TCdm::RemoveOwn(BaseFilter& filter) {
    if (fg_ && filter.GetGraph() == fg_.get())
        fg_->RemoveFilter(filter);
}

bool TCdm::OpenVideo(GraphBuilder& b, const std::string& video) {
    Detach(source);
    Detach(avisplitter);
    const auto opened = OpenAviFile(b, video);
    if (!opened)
        return false;
    source.filter_ = opened->source;
    avisplitter.filter_ = opened->splitter;
    return true;
}

bool TCdm::buildFailed(const GraphBuilder& b, const std::string& fallback) {
    buildError_ = b.Error().empty() ? fallback : b.Error();
    return false;
}

void TCdm::ResetGraph() {
    for (FilterHolder* h :
         {&dvsplitter, &avisplitter, &dvmuxer, &avimux, &acm1, &acm2, &DVdecoder, &DVenc})
        Detach(*h);
    RemoveOwn(*sceneDetect_);
    for (FilterHolder* h : {&infinite, &nullrender, &destination})
        Detach(*h);
    scenes::DateSceneDetector& d = sceneDetect_->Detector();
    d.OnSceneEnd = nullptr;
    d.OnStreamEnd = nullptr;
    d.SetSubtitleSink(nullptr);
}

bool TCdm::BuildSceneDateGraph(const std::string& video) {
    buildError_.clear();
    MakeLive();
    ResetGraph();
    GraphBuilder b(*fg_);
    if (!AddOwn(b, sceneDetect_, "scenedetect") || !Attach(b, nullrender))
        return buildFailed(b, video + ": the graph cannot be built");
    if (!OpenVideo(b, video))
        return buildFailed(b, video + ": not an AVI file that can be read");
    auto& splitter = *avisplitter.Filter();
    if (!b.ConnectFirstOutput(splitter, *sceneDetect_->GetInputPin(0)))
        return buildFailed(b, "not a DV file: no stream carries DV frames");
    if (!b.Connect(*sceneDetect_->GetOutputPin(0), *nullrender.As<NullRenderer>()->GetInputPin(0)))
        return buildFailed(b, "the DV stream cannot be read");
    progress_.ProgressSeeking = graphSeeking_.get();
    return true;
}

bool TCdm::BuildSrtGraph(const std::string& video) {
    return BuildSceneDateGraph(video);
}

bool TCdm::SetAudioRate(FilterHolder& wrapper, int rate) {
    auto* resampler = wrapper.As<AudioResamplerFilter>();
    if (!resampler)
        return false;
    resampler->SetOutputRate(rate);
    return true;
}

}  // namespace kelvor::media
