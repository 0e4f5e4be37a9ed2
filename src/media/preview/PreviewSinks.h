// The two ends of the preview graph: the picture renderer, which keeps the last presented
// picture in a mailbox for the window, and the sound renderer, which hands PCM to a sound output
// the window provides (QAudioSink) or, without one, only keeps time.
//
// Threads: DoRenderSample runs on the graph's streaming threads; the mailbox (Latest, Sequence)
// and the outputs' notification may be read from any thread. A picture never crosses into a
// widget from a streaming thread: the notifier only tells the window that a new picture waits,
// and the window takes it on its own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "media/engine/Renderer.h"
#include "media/filters/DvSourceFrame.h"

namespace kelvor::media {

// One presented picture: RGB24 bottom-up rows of Rgb24Stride(Width) bytes.
struct PreviewPicture {
    std::vector<std::uint8_t> Rgb;
    int Width = 0;
    int Height = 0;
    REFERENCE_TIME Time = 0;                      // stream time of the picture
    std::shared_ptr<const DvSourceFrame> Facts;  // the DV frame's record, null for other files
};

class PreviewVideoRenderer : public RendererBase {
  public:
    // The two modes of the video window; both take RGB24 here, the window draws either way.
    enum class Mode { Normal, Vmr };

    PreviewVideoRenderer();
    void SetMode(Mode m) { mode_ = m; }
    Mode GetMode() const { return mode_.load(); }

    // Runs on the streaming thread after each new picture reached the mailbox. Set while stopped.
    void SetNotifier(std::function<void()> notify) { notify_ = std::move(notify); }
    // The last picture presented, or null; any thread.
    std::shared_ptr<const PreviewPicture> Latest() const;
    // Counts the pictures presented since the renderer was made; any thread.
    std::uint64_t Sequence() const { return sequence_.load(); }
    void ClearPicture();

  protected:
    HRESULT CheckInputType(const MediaType& mt) override;
    HRESULT DoRenderSample(const MediaSample& sample) override;

  private:
    std::atomic<Mode> mode_{Mode::Vmr};
    std::function<void()> notify_;
    mutable std::mutex mailboxMutex_;  // guards latest_
    std::shared_ptr<const PreviewPicture> latest_;
    std::atomic<std::uint64_t> sequence_{0};
};

// Where the sound goes. Start runs on the driving thread before the run (format known), Write on
// the streaming thread for each block of interleaved 16-bit PCM, Stop on the driving thread.
class PreviewAudioOutput {
  public:
    virtual ~PreviewAudioOutput() = default;
    virtual bool Start(int sampleRate, int channels) = 0;
    virtual void Write(const std::uint8_t* data, std::size_t bytes, int volume0to10000) = 0;
    virtual void Stop() = 0;
};

// Takes 16-bit PCM ("auds"); without an output (no sound device) it only keeps the time.
class PreviewAudioRenderer : public RendererBase {
  public:
    PreviewAudioRenderer();
    // Set while stopped; null drops the sound.
    void SetOutput(std::shared_ptr<PreviewAudioOutput> out) { output_ = std::move(out); }
    HRESULT Pause() override;
    HRESULT Stop() override;
    std::int64_t BytesWritten() const { return bytes_.load(); }

  protected:
    HRESULT CheckInputType(const MediaType& mt) override;
    HRESULT DoRenderSample(const MediaSample& sample) override;

  private:
    std::shared_ptr<PreviewAudioOutput> output_;
    std::atomic<bool> started_{false};
    std::atomic<std::int64_t> bytes_{0};
};

}  // namespace kelvor::media
