// What the two AVI splitters share: the input pin, the output pins' queues, the start and stop
// positions and the one streaming thread that reads and delivers.
//
// Threads: positions and state changes on the driving thread; stream() runs on the splitter's
// own thread between StartThreads and StopThreads. A derived class's destructor must call
// StopThreads itself, before its own members go.
// Failure: an exception that leaves stream() becomes an EventCode::ErrorAbort event.
#pragma once

#include <atomic>
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

    // Each output gets a queue of its own when more than one is connected, so the streams'
    // receivers run in parallel with the reading.
    Status Pause() override;
    void StartThreads() override;
    void StopThreads() override;

    // The one type of each output pin: its stream's.
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) override;
    Status SetPositions(StreamTime start, StreamTime stop) override;
    StreamTime StartPosition() const override { return start_; }
    StreamTime StopPosition() const override { return stop_; }

    // The stream outputs in stream order (the input pin comes after them).
    std::vector<OutputPin*> Outputs() const { return OutputPins(); }
    // Why the last connection of the input was refused; empty when it was not.
    const std::string& OpenError() const { return openError_; }

  protected:
    SplitterBase(std::string name, std::string classId, std::string inputPinName);

    // True once the input is connected to a file the splitter opened.
    virtual bool HasFile() const = 0;
    // Reads and delivers until the end, the stop position or stopRequested_.
    virtual void stream() = 0;

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

  private:
    std::vector<MediaType> types_;
    std::thread thread_;
};

}  // namespace kelvor::media
