// The filter contract: a filter owns its pins (in enumeration order); an output pin delivers
// samples to the input pin it is connected to by calling into that pin's filter.
//
// Threads: building (pins, connections, settings) and the state calls Pause, Run and Stop come
// from the thread that drives the graph. Receive, EndOfStream and everything they call run on a
// streaming thread of the graph (a source's thread, or the thread of an output pin that delivers
// through a queue). The graph guarantees that no streaming thread runs any more when it calls a
// filter's Stop, so Stop and StopStreaming may touch streaming state without a lock.
// Failures are result codes; no exception leaves a filter (the graph catches and reports any).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/engine/MediaSample.h"
#include "media/engine/MediaType.h"
#include "media/engine/SamplePool.h"
#include "media/engine/Status.h"

namespace kelvor::media {

class BaseFilter;
class Graph;

enum class FilterState { Stopped, Paused, Running };
enum class PinDirection { Input, Output };

// Graph events; plain ints so that callers keep and compare them as such.
struct EventCode {
    enum : int { Complete = 0x01, ErrorAbort = 0x03 };
};

// What a filter asks of the buffers its output pin hands out.
struct AllocatorProperties {
    std::int32_t BufferCount = 1;
    std::int32_t BufferSize = 0;
};

class Pin {
  public:
    Pin(BaseFilter& owner, std::string name, PinDirection direction)
        : owner_(owner), name_(std::move(name)), direction_(direction) {}
    virtual ~Pin() = default;
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;

    BaseFilter& Filter() const { return owner_; }
    const std::string& Name() const { return name_; }
    PinDirection Direction() const { return direction_; }
    bool IsConnected() const { return peer_ != nullptr; }
    Pin* ConnectedTo() const { return peer_; }
    // Code::NotConnected when the pin is free.
    Status ConnectionMediaType(MediaType& mt) const {
        if (!peer_)
            return Code::NotConnected;
        mt = mt_;
        return Code::Ok;
    }
    const MediaType& CurrentMediaType() const { return mt_; }

  private:
    friend class Graph;
    BaseFilter& owner_;
    std::string name_;
    PinDirection direction_;
    Pin* peer_ = nullptr;
    MediaType mt_;
};

class InputPin : public Pin {
  public:
    InputPin(BaseFilter& owner, std::string name)
        : Pin(owner, std::move(name), PinDirection::Input) {}
    // Streaming thread. Code::False while flushing or stopped: the sender stops delivering.
    Status Receive(SamplePtr sample);
    void EndOfStream();
    bool IsFlushing() const { return flushing_.load(); }

  private:
    friend class Graph;
    std::atomic<bool> flushing_{false};
};

class OutputPin : public Pin {
  public:
    OutputPin(BaseFilter& owner, std::string name)
        : Pin(owner, std::move(name), PinDirection::Output) {
        sizePool();
    }
    ~OutputPin() override;

    // Streaming thread. Hands the sample to the connected input (or to this pin's queue);
    // Code::NotConnected when free, Code::False when the receiver wants no more.
    Status Deliver(SamplePtr sample);
    void DeliverEndOfStream();

    // A buffer of at least the negotiated size, reused once its last holder let it go (see
    // SamplePool). Any thread.
    SamplePtr GetDeliveryBuffer();
    void SetAllocatorProperties(const AllocatorProperties& p) {
        props_ = p;
        sizePool();
    }
    const AllocatorProperties& Allocator() const { return props_; }

    // Deliver through a bounded queue served by a thread of its own, so that this pin's
    // receivers run in parallel with its filter. Set while stopped.
    void SetQueued(bool queued, int depth = 4) {
        queued_ = queued;
        depth_ = depth < 1 ? 1 : depth;
        sizePool();
    }
    bool IsQueued() const { return queued_; }

  private:
    friend class Graph;
    void startQueue();
    void stopQueue();
    void queueLoop();
    void failQueue(std::string text);  // the queue thread ends the pin with an error event
    void sizePool();

    AllocatorProperties props_;
    SamplePool pool_;
    bool queued_ = false;
    int depth_ = 4;
    // Queue state, guarded by qMutex_.
    std::mutex qMutex_;
    std::condition_variable qCv_;
    std::deque<SamplePtr> queue_;  // nullptr marks the end of the stream
    bool qActive_ = false;         // a queue thread serves this pin
    bool qStop_ = false;
    // Senders waiting for room: a count, since two threads may deliver to one pin and the first
    // to go on must not leave the other unwoken.
    int qSendersWaiting_ = 0;
    Status qResult_ = Code::Ok;
    std::thread qThread_;
};

class BaseFilter {
  public:
    BaseFilter(std::string displayName, std::string classId)
        : displayName_(std::move(displayName)), classId_(std::move(classId)) {}
    virtual ~BaseFilter() = default;
    BaseFilter(const BaseFilter&) = delete;
    BaseFilter& operator=(const BaseFilter&) = delete;

    const std::string& DisplayName() const { return displayName_; }
    const std::string& ClassId() const { return classId_; }
    // The name the filter was added to its graph under; empty when in no graph.
    const std::string& GraphName() const { return graphName_; }
    Graph* GetGraph() const { return graph_; }

    int PinCount() const { return static_cast<int>(pins_.size()); }
    // Pins in enumeration order; nullptr past the end.
    Pin* GetPin(int index) const {
        return index >= 0 && index < PinCount() ? pins_[static_cast<std::size_t>(index)].get()
                                                : nullptr;
    }
    InputPin* GetInputPin(int n) const;    // the n-th input pin, or nullptr
    OutputPin* GetOutputPin(int n) const;  // the n-th output pin, or nullptr
    // The input or output pins in enumeration order.
    std::vector<InputPin*> InputPins() const;
    std::vector<OutputPin*> OutputPins() const;
    FilterState State() const { return state_.load(); }

    // State changes, on the driving thread. A filter that overrides one calls the base.
    virtual Status Pause();
    virtual Status Run(StreamTime start);
    virtual Status Stop();

    // True for filters that end a stream (renderers, file writers): the graph completes when
    // each of them has seen the end of its stream.
    virtual bool IsRenderer() const { return false; }
    // False for renderers that never hold a sample in the paused state (file writers): a pause
    // does not wait for them.
    virtual bool PrerollsOnPause() const { return true; }

    // Connection negotiation, on the driving thread.
    // Code::Ok when this input pin takes the type, else Code::TypeNotAccepted.
    virtual Status CheckMediaType(const Pin& pin, const MediaType& mt);
    // The type this output pin proposes at a position; Code::NoMoreItems past the last one.
    // For an input pin, the types it prefers (a builder inserts converters to reach them).
    virtual Status GetMediaType(const Pin& pin, int position, MediaType& mt);
    // The connection is made (pin's type set); a filter may add pins here.
    virtual Status CompleteConnect(Pin& pin);
    virtual void BreakConnect(Pin& pin);
    // Buffer needs of an output pin, asked after its connection.
    virtual Status DecideBufferSize(const Pin& pin, AllocatorProperties& props);

    // Streaming thread.
    virtual Status Receive(InputPin& pin, SamplePtr sample);
    // Default: the end goes on through every connected output pin.
    virtual void EndOfStream(InputPin& pin);

    // Sources and filters with threads of their own: start streaming (after Pause from
    // stopped) and stop and join (before Stop). Driving thread.
    virtual void StartThreads() {}
    virtual void StopThreads() {}
    // Streaming stopped for a seek (threads joined, filter not stopped): drop what is held
    // from the old position. Driving thread.
    virtual void Flushed() {}

  protected:
    InputPin& AddInputPin(std::string name, int at = -1);
    OutputPin& AddOutputPin(std::string name, int at = -1);
    void RemovePin(Pin& pin);  // the pin must be disconnected
    // Reports an event to the graph (any thread); ignored outside a graph. A failure's reason
    // says what went wrong in words a user can act on ("cannot create /v/a.avi: No space left
    // on device"); the graph keeps the first failure of a run with its reason.
    void NotifyEvent(int code, Status status);

    std::atomic<FilterState> state_{FilterState::Stopped};
    StreamTime runStart_ = 0;

  private:
    friend class Graph;
    friend class OutputPin;
    std::string displayName_;
    std::string classId_;
    std::string graphName_;
    Graph* graph_ = nullptr;
    std::vector<std::unique_ptr<Pin>> pins_;
};

using FilterPtr = std::shared_ptr<BaseFilter>;

}  // namespace kelvor::media
