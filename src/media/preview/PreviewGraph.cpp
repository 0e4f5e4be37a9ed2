#include "media/preview/PreviewGraph.h"

#include <algorithm>
#include <cmath>

#include "core/files/DisplayStyle.h"
#include "media/engine/AviSource.h"
#include "media/engine/DvFilters.h"
#include "media/engine/GraphBuilder.h"
#include "media/engine/LavfSource.h"
#include "media/engine/PlatformFilters.h"
#include "media/engine/RawDvSource.h"
#include "media/engine/VideoDecoder.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/InlayFilter.h"

namespace kelvor::media {
namespace {

constexpr const char* kNotAvailable = "N/A";
constexpr int kPauseWaitMs = 2000;

}  // namespace

PreviewGraph::PreviewGraph(const settings::Preferences& prefs)
    : prefs_(prefs),
      detector_(std::make_shared<DateDetectorFilter>()),
      clock_(std::make_shared<PreviewClock>()),
      videoRenderer_(std::make_shared<PreviewVideoRenderer>(clock_)),
      audioRenderer_(std::make_shared<PreviewAudioRenderer>(clock_)) {
    inlay_ = std::make_shared<InlayFilter>(detector_, [this] { return borderSize_.load(); });
    // The renderers pace themselves by the preview's clock (the sound heard, or a silent
    // clock), not by the graph's wall clock.
    graph_.SetPaced(false);
}

PreviewGraph::~PreviewGraph() {
    graph_.Stop();
    graph_.RemoveAllFilters();
}

void PreviewGraph::reset() {
    graph_.Stop();
    graph_.SetCompletionCallback(nullptr);
    graph_.RemoveAllFilters();
    source_.reset();
    splitter_.reset();
    dvSplitter_.reset();
    videoRenderer_->ClearPicture();
    video_ = audio_ = active_ = throughDvSplitter_ = atEnd_ = false;
}

bool PreviewGraph::addSourceAndSplitter(const std::string& path, bool dv) {
    GraphBuilder b(graph_);
    if (path == kNotAvailable) {
        phase_ = kPhaseNoFile;
        return false;
    }
    phase_ = kPhaseLoading;
    source_ = b.Add(std::make_shared<FileSourceFilter>(), "source");
    if (!source_ || source_->Load(path) != Code::Ok)
        return false;
    phase_ = kPhaseSplitter;
    // DV AVI files take the AVI splitter on our own demuxer; raw DV and others the one that
    // reads them.
    FilterPtr splitter = dv ? CreateDvSplitter(path) : CreateAviSplitter(path);
    splitter_ = b.Add(std::dynamic_pointer_cast<SplitterBase>(splitter), "avisplitter");
    return splitter_ && b.Connect(source_->Output(), splitter_->Input());
}

bool PreviewGraph::buildDv(const std::string& path) {
    if (!addSourceAndSplitter(path, true))
        return false;
    GraphBuilder b(graph_);
    auto detector = b.Add(detector_, "vScenedetect");
    dvSplitter_ = b.Add(std::make_shared<DvSplitterFilter>(), "dvsplitter");
    if (!detector || !dvSplitter_)
        return false;
    const std::vector<OutputPin*> outs = splitter_->Outputs();
    bool toDetector = false;
    if (b.ConnectFirstOutput(*splitter_, dvSplitter_->Input())) {
        throughDvSplitter_ = true;
        toDetector = b.ConnectFirstOutput(*dvSplitter_, detector_->Input()) != nullptr;
    } else {
        graph_.RemoveFilter(*dvSplitter_);
        dvSplitter_.reset();
        toDetector = b.ConnectFirstOutput(*splitter_, detector_->Input()) != nullptr;
    }

    phase_ = kPhaseDecoder;
    auto decoder = b.Add(std::make_shared<DvVideoDecoderFilter>(), "Dvdecoder");
    if (!decoder || !toDetector)
        return false;
    decoder->SetResolution(prefs_.PreviewDvAtHalfSize ? DvResolution::Half : DvResolution::Full);
    // A preview shows each frame when it is due: holding one back would only delay it.
    decoder->SetFrameThreads(false);
    if (!b.Connect(detector_->Output(), decoder->Input()))
        return false;
    auto inlay = b.Add(inlay_, "superposer");
    auto colour = b.Add(std::make_shared<ColourConverterFilter>(), "color");
    auto renderer = b.Add(videoRenderer_, "video");
    if (inlay && colour && renderer && b.Connect(decoder->Output(), inlay_->Input()) &&
        b.Connect(inlay_->Output(), colour->Input())) {
        video_ = b.Connect(colour->Output(), videoRenderer_->Input());
        if (!video_) {
            // The other mode of the video window may take what this one refused.
            b.Disconnect(colour->Output());
            videoRenderer_->SetMode(videoRenderer_->GetMode() == PreviewVideoRenderer::Mode::Normal
                                        ? PreviewVideoRenderer::Mode::Vmr
                                        : PreviewVideoRenderer::Mode::Normal);
            video_ = b.Connect(colour->Output(), videoRenderer_->Input());
        }
    }

    // Sound: the AVI splitter's own audio streams (type 2), else the DV splitter's pairs; the
    // sound renderer takes the first that plays.
    if (b.Add(audioRenderer_, "audio")) {
        std::vector<OutputPin*> sound;
        if (outs.size() > 1)
            sound = outs;
        else if (dvSplitter_)
            sound = dvSplitter_->OutputPins();
        for (OutputPin* p : sound) {
            if (!p->IsConnected() && !audio_ && b.Connect(*p, audioRenderer_->Input()))
                audio_ = true;
        }
        if (!audio_)
            graph_.RemoveFilter(*audioRenderer_);
    }
    ConfigureInlay(prefs_.IsInlayOn);
    graph_.SetTimeFormat(TimeFormat::Frame);
    return true;
}

bool PreviewGraph::buildOther(const std::string& path) {
    if (!addSourceAndSplitter(path, false))
        return false;
    GraphBuilder b(graph_);
    b.Add(audioRenderer_, "audio");
    for (OutputPin* p : splitter_->Outputs()) {
        MediaType mt;
        if (splitter_->GetMediaType(*p, 0, mt) != Code::Ok)
            continue;
        if (mt.majorType == MajorType::Video && !video_) {
            auto decoder = b.Add(std::make_shared<VideoDecoderFilter>(), "decoder");
            auto colour = b.Add(std::make_shared<ColourConverterFilter>(), "color");
            if (!decoder || !colour || !b.Connect(*p, decoder->Input()) ||
                !b.Connect(decoder->Output(), colour->Input())) {
                if (decoder)
                    graph_.RemoveFilter(*decoder);
                if (colour)
                    graph_.RemoveFilter(*colour);
                continue;
            }
            if (!videoRenderer_->GetGraph())
                b.Add(videoRenderer_, "video");
            video_ = b.Connect(colour->Output(), videoRenderer_->Input());
        } else if (mt.majorType == MajorType::Audio && !audio_) {
            audio_ = b.Connect(*p, audioRenderer_->Input());
        }
    }
    if (!audio_)
        graph_.RemoveFilter(*audioRenderer_);
    graph_.SetTimeFormat(video_ ? TimeFormat::Frame : TimeFormat::MediaTime);
    if (!video_)
        fps_ = 0;
    return true;
}

bool PreviewGraph::OpenPreview(const files::FileRecord& record) {
    reset();
    record_ = record;
    fps_ = record.Fps;
    message_ = 0;
    // The window draws DV pictures at 4:3 or 16:9 (as the file says), so the text is shaped for
    // that.
    inlay_->SetDisplayAspect(record.IsDV ? (record.Wide ? 16.0 / 9.0 : 4.0 / 3.0) : 0);
    if (released_) {
        phase_ = message_ = kPhaseNoFile;
        return false;
    }
    const bool built = record.IsDV ? buildDv(record.FullName) : buildOther(record.FullName);
    if (!built) {
        message_ = phase_;
        graph_.Stop();
        return false;
    }
    afterBuild(record);
    return true;
}

void PreviewGraph::afterBuild(const files::FileRecord& record) {
    hasPicture_ = record.ImageText != kNotAvailable && video_;
    if (hasPicture_) {
        graph_.SetTimeFormat(TimeFormat::Frame);
        message_ = 0;
    } else if (audio_) {
        graph_.SetTimeFormat(TimeFormat::MediaTime);
        message_ = record.ImageText == kNotAvailable ? 3 : 5;
    } else {
        message_ = record.ImageText == kNotAvailable   ? 4
                   : record.AudioText != kNotAvailable ? 6
                                                       : 7;
        return;
    }
    active_ = true;
    // The sound runs ahead of what is heard; with a picture, the position is the picture's.
    audioRenderer_->SetReportsPosition(!video_);
    graph_.SetVolume(prefs_.IsMuteOn ? 0 : std::clamp(prefs_.Volume, 0, 10000));
    // Paused on the first frame: the pause streams from position 0 and the renderers hold it.
    graph_.SetPositions(0, -1);
    graph_.Run();
    graph_.Pause();
    FilterState state;
    graph_.GetState(kPauseWaitMs, state);
}

void PreviewGraph::ConfigureInlay(bool on) {
    const settings::Preferences& p = prefs_;
    borderSize_ = std::clamp(p.BorderSize, 0, InlayFilter::kMaxBorder);
    inlay_->SetEnabled(on);
    inlay_->SetPosition(p.InlayPositionX, p.InlayPositionY, p.InlayAlignment);
    // The rest may change only while the graph is stopped.
    if (Running() || Paused())
        return;
    inlay_->SetDisplayKind(p.InlayWhat);
    inlay_->SetTrigger(p.InlayWhen);
    inlay_->SetAutoMode(p.InlayAuto != 0);
    const double fps = fps_ > 0 ? fps_ : 25.0;
    inlay_->SetDisplayFrames(static_cast<int>(std::lround(p.InlayDuration * fps)));
    inlay_->SetStandardFontSize(p.StandardFontSize);
    inlay_->SetFontSize(p.InlayFont.Size);
    inlay_->SetFontName(p.InlayFont.Name);
    inlay_->SetTextColor(static_cast<std::uint32_t>(p.InlayFont.Color));
    inlay_->SetBold(p.InlayFont.Bold);
    inlay_->SetItalic(p.InlayFont.Italic);
    inlay_->SetUnderline(p.InlayFont.Underline);
    inlay_->SetStrikeOut(p.InlayFont.StrikeOut);
    const files::OverlayPatterns overlay =
        files::PreviewOverlayPatterns(p.DisplayDatecodeFormat, p.InlayFormat1, p.InlayFormat2);
    inlay_->SetDateFormats(overlay.First, overlay.Second);
    inlay_->SetLocale(locale_);
    inlay_->SetTimeShift(p.TimeShift);
}

void PreviewGraph::SetTimeFormat(TimeFormat f) {
    if (active_)
        graph_.SetTimeFormat(f);
}

std::int64_t PreviewGraph::Position() const {
    std::int64_t v = 0;
    if (!active_ || graph_.GetCurrentPosition(v) != Code::Ok)
        return 0;
    // Without a picture the graph's position is that of the sound written, which runs ahead of
    // the sound heard while a device plays.
    StreamTime heard = 0;
    if (!video_ && graph_.GetTimeFormat() == TimeFormat::MediaTime && clock_->Heard(heard))
        return std::clamp<std::int64_t>(heard, 0, Duration());
    // At the end the last frame is shown, one frame before the position.
    if (atEnd_)
        return Duration();
    return v;
}

std::int64_t PreviewGraph::Duration() const {
    std::int64_t v = 0;
    if (!active_ || graph_.GetDuration(v) != Code::Ok)
        return 0;
    return v;
}

int PreviewGraph::TrackbarValue(int maximum) const {
    const std::int64_t d = Duration();
    if (d <= 0)
        return 0;
    return static_cast<int>(std::llround(static_cast<double>(maximum) * Position() / d));
}

void PreviewGraph::SeekTo(std::int64_t position) {
    if (active_)
        seekGraph(std::clamp<std::int64_t>(position, 0, Duration()));
}

void PreviewGraph::seekGraph(std::int64_t at) {
    // The end lies one frame past the last: a seek there would present nothing and leave the
    // picture of the previous place on screen, so the last frame is shown instead.
    const std::int64_t end = Duration();
    std::int64_t frame = 0;
    if (hasPicture_ && end > 0 && at >= end) {
        if (graph_.GetTimeFormat() == TimeFormat::Frame)
            frame = 1;
        else if (fps_ > 0)
            frame = std::max<std::int64_t>(1, std::llround(kUnitsPerSecond / fps_));
    }
    atEnd_ = frame > 0 && end - frame >= 0;
    graph_.SetPositions(atEnd_ ? end - frame : at, -1);
}

void PreviewGraph::SeekFrames(std::int64_t n) {
    if (active_)
        SeekTo(Position() + n);
}

void PreviewGraph::SeekTime(std::int64_t t) {
    if (!active_)
        return;
    graph_.SetTimeFormat(TimeFormat::MediaTime);
    SeekTo(Position() + t);
    if (hasPicture_)
        graph_.SetTimeFormat(TimeFormat::Frame);
}

void PreviewGraph::Run() {
    if (active_)
        graph_.Run();
}

void PreviewGraph::PausePreview() {
    if (active_ && !Paused())
        graph_.Pause();
}

void PreviewGraph::Stop() {
    if (!active_)
        return;
    // A stopped graph starts again where it stood, not where the last seek put it.
    const std::int64_t at = Position();
    graph_.Stop();
    seekGraph(at);
}

bool PreviewGraph::Running() const {
    FilterState s;
    return active_ && const_cast<Graph&>(graph_).GetState(0, s) != Code::Fail &&
           s == FilterState::Running;
}

bool PreviewGraph::Paused() const {
    FilterState s;
    return active_ && const_cast<Graph&>(graph_).GetState(0, s) != Code::Fail &&
           s == FilterState::Paused;
}

void PreviewGraph::SetInlay(bool on) {
    if (!active_ || Running()) {
        ConfigureInlay(on);
        return;
    }
    // Not playing: stopped and paused again at the same frame, so that frame is drawn anew.
    const std::int64_t at = Position();
    graph_.Stop();
    ConfigureInlay(on);
    seekGraph(at);
    graph_.Pause();
}

bool PreviewGraph::DetectorStreaming() const {
    return active_ && detector_->GetGraph() != nullptr && (Running() || Paused());
}

void PreviewGraph::ReleasePreview() {
    reset();
    released_ = true;
    phase_ = message_ = kPhaseNoFile;
}

void PreviewGraph::ResumePreview() {
    released_ = false;
}

void PreviewGraph::Clear() {
    reset();
    record_.reset();
    phase_ = message_ = kPhaseNoFile;
}

void PreviewGraph::SetVolume(int volume) {
    graph_.SetVolume(std::clamp(volume, 0, 10000));
}

}  // namespace kelvor::media
