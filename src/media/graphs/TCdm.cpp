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
#include "media/filters/TSceneDetectContenu.h"
#include "media/filters/Tdv_DVheader.h"
#include "media/filters/Tdv_MediaStamper.h"
#include "media/filters/Tdv_Superposer.h"
#include "media/filters/Tdv_WaveDest.h"
#include "media/filters/Tdv_deinter.h"
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

// The AVI mux writes the file itself, so no renderer presents its stream: the position is how
// far the mux has written the video, read from any thread while it runs.
class TCdm::AviMuxSeekingImpl : public MediaSeeking {
  public:
    explicit AviMuxSeekingImpl(TCdm& owner) : owner_(owner) {}
    bool GetDuration(std::int64_t& duration) override {
        return owner_.GraphSeeking().GetDuration(duration);
    }
    bool GetCurrentPosition(std::int64_t& position) override {
        const auto* mux = owner_.avimux.As<AviMuxFilter>();
        if (!mux)
            return false;
        std::int64_t start = 0, stop = 0;
        Graph* g = owner_.fg();
        if (g && Succeeded(g->GetPositions(start, stop)))
            position = std::max(mux->CurrentPosition(), start);
        else
            position = mux->CurrentPosition();
        return true;
    }
    bool SetPositions(std::int64_t start, std::int64_t stop) override {
        return owner_.GraphSeeking().SetPositions(start, stop);
    }

  private:
    TCdm& owner_;
};

namespace {

template <typename F>
FilterHolder::Factory make() {
    return [] { return std::make_shared<F>(); };
}

}  // namespace

TCdm::TCdm(LocaleInfo locale)
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
      aviMuxSeeking_(std::make_unique<AviMuxSeekingImpl>(*this)),
      sceneDetect_(std::make_shared<Tdv_sceneDetect>()),
      superposer_(std::make_shared<Tdv_Superposer>(
          sceneDetect_, [this] { return inlayBorder_.load(); }, locale)),
      dvHeader_(std::make_shared<Tdv_DVheader>(sceneDetect_)),
      deinter_(std::make_shared<Tdv_deinter>()),
      waveDest_(std::make_shared<Tdv_WaveDest>()),
      contenu_(std::make_shared<TSceneDetectContenu>()),
      stamper_(std::make_shared<Tdv_MediaStamper>()),
      sinks_(std::make_unique<scenes::DetectionSinks>()) {
    sceneDetect_->Detector().SetLocale(locale);
    contenu_->SetMediaStamper(stamper_);
}

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

MediaSeeking& TCdm::AviMuxSeeking() {
    return *aviMuxSeeking_;
}

void TCdm::SetLocale(const LocaleInfo& locale) {
    sceneDetect_->Detector().SetLocale(locale);
    superposer_->SetLocale(locale);
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
    for (FilterHolder* h : {&dvsplitter, &dvsplitter2, &avisplitter, &dvmuxer, &avimux, &acm1,
                            &acm2, &DVdecoder, &DVenc})
        Detach(*h);
    for (BaseFilter* own :
         {static_cast<BaseFilter*>(deinter_.get()), static_cast<BaseFilter*>(superposer_.get()),
          static_cast<BaseFilter*>(dvHeader_.get()), static_cast<BaseFilter*>(sceneDetect_.get()),
          static_cast<BaseFilter*>(waveDest_.get())})
        RemoveOwn(*own);
    for (FilterHolder* h : {&infinite, &nullrender, &destination})
        Detach(*h);
    // What a rendering inserted beside the holders (decoders, converters, the frame-rate
    // converter) would otherwise join every later run; the source, the content detector and
    // the media stamper stay.
    if (fg_) {
        for (BaseFilter* f : fg_->Filters())
            if (f != source.Filter() && f != contenu_.get() && f != stamper_.get())
                fg_->RemoveFilter(*f);
    }
    sceneDetect_->SetCarryFrames(true);
    scenes::DateSceneDetector& d = sceneDetect_->Detector();
    d.OnSceneEnd = nullptr;
    d.OnStreamEnd = nullptr;
    d.SetSubtitleSink(nullptr);
}

bool TCdm::BuildSceneDateGraph(const std::string& video) {
    buildError_.clear();
    MakeLive();
    ResetGraph();
    // Nothing after the detector reads the frames' facts.
    sceneDetect_->SetCarryFrames(false);
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

int TCdm::FrequenceDvRate(int frequenceDv) {
    switch (frequenceDv) {
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

bool TCdm::SetAudioRate(FilterHolder& wrapper, int rate) {
    auto* acm = wrapper.As<AudioResamplerFilter>();
    if (!acm || !fg_ || acm->GetGraph() != fg_.get())
        return false;
    // The rate is part of the output connection's type: the output is joined again to take it.
    const int before = acm->OutputRate();
    Pin* peer = acm->Output().ConnectedTo();
    if (peer)
        fg_->Disconnect(acm->Output());
    if (Failed(acm->SetOutputRate(rate)))
        acm->SetOutputRate(before);
    if (peer && fg_->ConnectDirect(acm->Output(), *peer) != S_OK) {
        // The stage after the wrapper refuses that rate: the connection keeps the old one.
        acm->SetOutputRate(before);
        fg_->ConnectDirect(acm->Output(), *peer);
    }
    return true;
}

}  // namespace kelvor::media
