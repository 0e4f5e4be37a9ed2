// The base of every stage that ends a stream (null renderer, file writers, picture and sound
// sinks): one input pin; while the graph is paused it presents the first sample it gets and
// then holds the streaming thread until the graph runs or stops; in a paced run it presents each
// sample at its stream time; at the end of its stream it tells the graph.
//
// Threads: DoRenderSample and OnEndOfStream run on the streaming thread; CheckMediaType on the
// building thread. A paced wait ends as soon as a stop or seek flushes the input.
#pragma once

#include <atomic>
#include <functional>

#include "media/engine/Filter.h"

namespace kelvor::media {

class RendererBase : public BaseFilter {
  public:
    RendererBase(std::string displayName, std::string classId);

    InputPin& Input() const { return *input_; }
    bool IsRenderer() const override { return true; }
    Status Pause() override;
    Status Stop() override;
    void Flushed() override;

    // How many samples were presented since the last Stop.
    std::int64_t PresentedCount() const { return presented_.load(); }
    // Off for a renderer whose samples run ahead of what is seen or heard (a sound renderer
    // filling a device's buffer), so the graph's position follows the others.
    void SetReportsPosition(bool on) { reportsPosition_ = on; }

  protected:
    // Code::Ok to take the type (the input pin's check).
    virtual Status CheckInputType(const MediaType& mt) = 0;
    // A failure ends the run with an error event.
    virtual Status DoRenderSample(const MediaSample& sample) = 0;
    virtual Status OnEndOfStream() { return Code::Ok; }

  private:
    Status CheckMediaType(const Pin& pin, const MediaType& mt) final;
    Status Receive(InputPin& pin, SamplePtr sample) final;
    void EndOfStream(InputPin& pin) final;
    Status present(const MediaSample& sample);

    InputPin* input_;
    // Set by the streaming thread, cleared by the driving thread: pausing a running graph keeps
    // its threads, so both may touch them at once.
    std::atomic<bool> prerolled_{false};
    std::atomic<bool> ended_{false};
    std::atomic<std::int64_t> presented_{0};
    std::atomic<bool> reportsPosition_{true};
};

// Takes anything (or only the given major type) and drops it; an optional callback sees each
// presented sample first.
class NullRenderer : public RendererBase {
  public:
    NullRenderer();
    void AcceptOnly(FourCC majorType) { only_ = majorType; }
    // Runs on the streaming thread for each presented sample. Set while stopped.
    void SetSampleCallback(std::function<void(const MediaSample&)> cb) {
        onSample_ = std::move(cb);
    }

  protected:
    Status CheckInputType(const MediaType& mt) override;
    Status DoRenderSample(const MediaSample& sample) override;

  private:
    FourCC only_ = 0;
    std::function<void(const MediaSample&)> onSample_;
};

}  // namespace kelvor::media
