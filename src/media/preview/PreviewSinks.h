// The two ends of the preview graph: the picture renderer, which keeps the last presented
// picture in a mailbox for the window, and the sound renderer, which hands PCM to a sound output
// the window provides (QAudioSink) or, without one, only keeps time. Both present by the same
// PreviewClock: the sound heard when an output plays, else a silent clock.
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
#include "media/preview/PreviewClock.h"

namespace kelvor::media {

// One presented picture: RGB24 bottom-up rows of Rgb24Stride(Width) bytes.
struct PreviewPicture {
    std::vector<std::uint8_t> Rgb;
    int Width = 0;
    int Height = 0;
    StreamTime Time = 0;                         // stream time of the picture
    std::shared_ptr<const DvSourceFrame> Facts;  // the DV frame's record, null for other files
};

class PreviewVideoRenderer : public RendererBase {
  public:
    // The two modes of the video window; both take RGB24 here, the window draws either way.
    enum class Mode { Normal, Vmr };

    explicit PreviewVideoRenderer(std::shared_ptr<PreviewClock> clock);
    void SetMode(Mode m) { mode_ = m; }
    Mode GetMode() const { return mode_.load(); }

    // Runs on the streaming thread after each new picture reached the mailbox. Set while stopped.
    void SetNotifier(std::function<void()> notify) { notify_ = std::move(notify); }
    // The last picture presented, or null; any thread.
    std::shared_ptr<const PreviewPicture> Latest() const;
    // Counts the pictures presented since the renderer was made; any thread.
    std::uint64_t Sequence() const { return sequence_.load(); }
    void ClearPicture();

    Status Run(StreamTime start) override;
    Status Pause() override;
    Status Stop() override;
    void Flushed() override;

  protected:
    Status CheckInputType(const MediaType& mt) override;
    Status DoRenderSample(const MediaSample& sample) override;

  private:
    std::shared_ptr<PreviewClock> clock_;
    std::atomic<Mode> mode_{Mode::Vmr};
    std::function<void()> notify_;
    mutable std::mutex mailboxMutex_;  // guards latest_
    std::shared_ptr<const PreviewPicture> latest_;
    std::atomic<std::uint64_t> sequence_{0};
};

// Where the sound goes. Start, Suspend, Flush and Stop run on the driving thread, Write on the
// streaming thread for each block of interleaved 16-bit PCM; PlayedUSecs on any thread.
class PreviewAudioOutput {
  public:
    virtual ~PreviewAudioOutput() = default;
    // Opens the device for this format, not yet playing (suspended); false when it cannot.
    virtual bool Start(int sampleRate, int channels) = 0;
    virtual void Write(const std::uint8_t* data, std::size_t bytes, int volume0to10000) = 0;
    virtual void Stop() = 0;
    // Holds (true) or resumes (false) the playing; what is queued stays.
    virtual void Suspend(bool on) = 0;
    // Drops what is queued (a seek); the played count starts again at 0.
    virtual void Flush() = 0;
    // Microseconds of sound heard since Start or the last Flush; negative once the device failed.
    virtual std::int64_t PlayedUSecs() const = 0;
    // How far ahead of what is heard the sound should be written, in microseconds.
    virtual std::int64_t LeadUSecs() const { return 200'000; }
};

// Takes 16-bit PCM ("auds"); without an output (no sound device) it only keeps the time.
class PreviewAudioRenderer : public RendererBase {
  public:
    explicit PreviewAudioRenderer(std::shared_ptr<PreviewClock> clock);
    // Set while stopped; null drops the sound.
    void SetOutput(std::shared_ptr<PreviewAudioOutput> out) { output_ = std::move(out); }
    Status Run(StreamTime start) override;
    Status Pause() override;
    Status Stop() override;
    void Flushed() override;
    std::int64_t BytesWritten() const { return bytes_.load(); }

  protected:
    Status CheckInputType(const MediaType& mt) override;
    Status DoRenderSample(const MediaSample& sample) override;
    Status OnEndOfStream() override;

  private:
    std::shared_ptr<PreviewClock> clock_;
    std::shared_ptr<PreviewAudioOutput> output_;
    std::atomic<bool> started_{false};
    std::atomic<std::int64_t> bytes_{0};
};

}  // namespace kelvor::media
