// What the two AVI splitters share: the input pin and its connection to a file source (which
// opens the file and shows its streams), the output pins' types, buffers and queues, the start
// and stop positions and the one streaming thread that reads and delivers.
//
// Threads: positions and state changes on the driving thread; stream() runs on the splitter's
// own thread between StartThreads and StopThreads. A derived class's destructor must call
// StopThreads itself, before its own members go.
// Failure: an exception that leaves stream() becomes an EventCode::ErrorAbort event.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "media/engine/Filter.h"
#include "media/engine/Graph.h"

namespace kelvor::media {

class SplitterBase : public BaseFilter, public Seekable {
  public:
    InputPin& Input() const { return *input_; }
    int StreamCount() const { return PinCount() - 1; }
    // The display aspect (width to height) the container announces for its DV video, from its
    // sample aspect; 0 when it says none. Driving thread, after the file opened.
    virtual double ContainerAspect() const { return 0; }

    // Each output gets a queue of its own when more than one is connected, so the streams'
    // receivers run in parallel with the reading; unless serial delivery is set.
    Status Pause() override;
    // Every output delivers on the reading thread, also when several are connected: for graphs
    // whose receivers only copy and never wait for one stream's samples while taking another's,
    // where a hand-off per sample costs more than the work. While stopped.
    void SetSerialDelivery(bool serial) { serial_ = serial; }
    void StartThreads() override;
    void StopThreads() override;

    // Only a file source's byte stream on the input pin.
    Status CheckMediaType(const Pin& pin, const MediaType& mt) override;
    // The input's connection to a FileSourceFilter opens its file and shows its streams; a
    // file that does not open refuses it, with OpenError saying why.
    Status CompleteConnect(Pin& pin) override;
    void BreakConnect(Pin& pin) override;
    // The one type of each output pin: its stream's.
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) override;
    // Four buffers per output, each of its stream's largest sample.
    Status DecideBufferSize(const Pin& pin, AllocatorProperties& props) override;
    // What the file's headers said when it opened; they stay so while the streaming thread reads.
    StreamTime Duration() const override { return HasFile() ? duration_ : 0; }
    bool FrameRate(std::int64_t& num, std::int64_t& den) const override;
    Status SetPositions(StreamTime start, StreamTime stop) override;
    StreamTime StartPosition() const override { return start_; }
    StreamTime StopPosition() const override { return stop_; }

    // The stream outputs in stream order (the input pin comes after them).
    std::vector<OutputPin*> Outputs() const { return OutputPins(); }
    // Why the last connection of the input was refused; empty when it was not.
    const std::string& OpenError() const { return openError_; }

  protected:
    SplitterBase(std::string name, std::string classId, std::string inputPinName);

    // Opens the file the input is being connected to: each stream's type in stream order, with
    // duration_ and the video's frame rate set, or a failure with openError_ set when it says why.
    virtual Status OpenFile(const std::string& fileName, std::vector<MediaType>& types) = 0;
    virtual void CloseFile() = 0;
    // True once the input is connected to a file the splitter opened.
    virtual bool HasFile() const = 0;
    // The largest sample of a stream; 0 when buffers grow to each sample on delivery.
    virtual std::int32_t MaxSampleSize(int stream) const = 0;
    // Reads and delivers until the end, the stop position or stopRequested_.
    virtual void stream() = 0;
    // A delivery failed and reading stops: the run ends with an error, so nothing downstream
    // waits for samples that will not come (a stage that failed in words has already said
    // why; the graph keeps the first reason). Streaming thread.
    void stoppedByDelivery(const Status& hr);

    // The stream of an output pin (pins are in stream order), or -1 for the input pin.
    int OutputIndex(const Pin& pin) const;
    // Shows one output pin per stream of a newly opened file, in stream order, its input pin
    // last, and streams from the start again.
    void ShowStreams(std::vector<MediaType> types);
    // Output pins go with the file; the graph disconnects the connected ones when the splitter
    // leaves it.
    void ForgetStreams();

    InputPin* input_;
    std::string openError_;
    StreamTime start_ = 0;
    StreamTime stop_ = -1;
    std::atomic<bool> stopRequested_{false};
    StreamTime duration_ = 0;
    std::int64_t frameRateNum_ = 0;  // 0/0 without video
    std::int64_t frameRateDen_ = 0;

  private:
    std::vector<MediaType> types_;
    std::thread thread_;
    bool serial_ = false;
};

// A splitter with the state of its open file: set by OpenFile, dropped with the connection.
template <class OpenFileState>
class FileSplitter : public SplitterBase {
  protected:
    using SplitterBase::SplitterBase;
    void CloseFile() final { s_.reset(); }
    bool HasFile() const final { return s_ != nullptr; }

    // Shared only so that dropping it needs no complete type where the splitter is used; the
    // splitter alone holds it.
    std::shared_ptr<OpenFileState> s_;
};

}  // namespace kelvor::media
