#include "media/preview/PreviewSinks.h"

#include <cstring>

#include "media/engine/DvCodec.h"
#include "media/engine/Graph.h"

namespace kelvor::media {

PreviewVideoRenderer::PreviewVideoRenderer(std::shared_ptr<PreviewClock> clock)
    : RendererBase("Video Renderer", "{6BC1CFFA-8FC1-4261-AC22-CFB4CC38DB50}"),
      clock_(std::move(clock)) {}

Status PreviewVideoRenderer::Run(StreamTime start) {
    clock_->Run(start);
    return RendererBase::Run(start);
}

Status PreviewVideoRenderer::Pause() {
    clock_->Pause();
    return RendererBase::Pause();
}

Status PreviewVideoRenderer::Stop() {
    clock_->Stop();
    return RendererBase::Stop();
}

void PreviewVideoRenderer::Flushed() {
    RendererBase::Flushed();
    clock_->Flushed();
}

Status PreviewVideoRenderer::CheckInputType(const MediaType& mt) {
    if (mt.majorType != MajorType::Video || mt.subtype != Subtype::Rgb24)
        return Code::TypeNotAccepted;
    const auto vih = mt.videoInfo();
    if (!vih || vih->bmiHeader.biWidth <= 0 || vih->bmiHeader.biHeight == 0)
        return Code::TypeNotAccepted;
    return Code::Ok;
}

Status PreviewVideoRenderer::DoRenderSample(const MediaSample& sample) {
    StreamTime start = 0, stop = 0;
    const bool timed = sample.GetTime(start, stop) == Code::Ok;
    // A paused graph shows its first picture at once; a running one when the clock reaches it.
    if (timed && State() == FilterState::Running) {
        clock_->AnchorSilent(start);
        if (!clock_->WaitUntil(start, Input()))
            return Code::Ok;  // stopped or sought meanwhile: this picture is news no more
    }
    MediaType mt;
    Input().ConnectionMediaType(mt);
    const auto vih = mt.videoInfo();
    if (!vih)
        return Code::Fail;
    auto picture = std::make_shared<PreviewPicture>();
    picture->Width = vih->bmiHeader.biWidth;
    picture->Height = std::abs(vih->bmiHeader.biHeight);
    const std::size_t need =
        Rgb24Stride(picture->Width) * static_cast<std::size_t>(picture->Height);
    // A short picture is not shown rather than read past its end.
    if (static_cast<std::size_t>(sample.GetActualDataLength()) < need)
        return Code::Ok;
    picture->Rgb.assign(sample.GetPointer(), sample.GetPointer() + need);
    if (timed)
        picture->Time = start;
    picture->Facts = DvSourceFrame::Of(sample);
    {
        std::lock_guard lock(mailboxMutex_);
        latest_ = std::move(picture);
    }
    sequence_.fetch_add(1);
    if (notify_)
        notify_();
    return Code::Ok;
}

std::shared_ptr<const PreviewPicture> PreviewVideoRenderer::Latest() const {
    std::lock_guard lock(mailboxMutex_);
    return latest_;
}

void PreviewVideoRenderer::ClearPicture() {
    std::lock_guard lock(mailboxMutex_);
    latest_.reset();
}

PreviewAudioRenderer::PreviewAudioRenderer(std::shared_ptr<PreviewClock> clock)
    : RendererBase("Audio Renderer", "{79376820-07D0-11CF-A24D-0020AFD79767}"),
      clock_(std::move(clock)) {}

Status PreviewAudioRenderer::CheckInputType(const MediaType& mt) {
    if (mt.majorType != MajorType::Audio)
        return Code::TypeNotAccepted;
    const auto wfx = mt.waveFormat();
    if (!wfx || wfx->wFormatTag != WaveFormatEx::kFormatPcm || wfx->wBitsPerSample != 16 ||
        wfx->nChannels == 0 || wfx->nSamplesPerSec == 0)
        return Code::TypeNotAccepted;
    return Code::Ok;
}

Status PreviewAudioRenderer::Run(StreamTime start) {
    clock_->Run(start);
    if (started_.load())
        output_->Suspend(false);
    return RendererBase::Run(start);
}

Status PreviewAudioRenderer::Pause() {
    if (State() == FilterState::Stopped) {
        // Opened here, held until the run: the first block is written while paused.
        if (output_ && !started_.load()) {
            MediaType mt;
            if (Input().ConnectionMediaType(mt) == Code::Ok) {
                if (const auto wfx = mt.waveFormat())
                    started_ =
                        output_->Start(static_cast<int>(wfx->nSamplesPerSec), wfx->nChannels);
            }
            if (started_.load())
                output_->Suspend(true);
        }
        clock_->SoundStarted(started_.load() ? output_ : nullptr);
    } else if (State() == FilterState::Running) {
        clock_->Pause();
        if (started_.load())
            output_->Suspend(true);
    }
    return RendererBase::Pause();
}

Status PreviewAudioRenderer::Stop() {
    const Status hr = RendererBase::Stop();
    clock_->Stop();
    if (output_ && started_.exchange(false))
        output_->Stop();
    return hr;
}

void PreviewAudioRenderer::Flushed() {
    RendererBase::Flushed();
    if (started_.load())
        output_->Flush();
    clock_->Flushed();
}

Status PreviewAudioRenderer::OnEndOfStream() {
    clock_->SoundEnded();
    return Code::Ok;
}

Status PreviewAudioRenderer::DoRenderSample(const MediaSample& sample) {
    const auto n = static_cast<std::size_t>(sample.GetActualDataLength());
    const bool sound = started_.load();
    StreamTime start = 0, stop = 0;
    if (sample.GetTime(start, stop) == Code::Ok) {
        if (sound)
            clock_->AnchorSound(start);
        // The device's buffer must hold sound ahead of what is heard, or the sound clock would
        // wait for sound that is never written.
        if (State() == FilterState::Running) {
            clock_->AnchorSilent(start);
            const StreamTime lead = sound ? output_->LeadUSecs() * 10 : 0;
            if (!clock_->WaitUntil(start - lead, Input()))
                return Code::Ok;
        }
    }
    bytes_.fetch_add(static_cast<std::int64_t>(n));
    if (sound && n > 0) {
        const Graph* g = GetGraph();
        output_->Write(sample.GetPointer(), n, g ? g->Volume() : 10000);
    }
    return Code::Ok;
}

}  // namespace kelvor::media
