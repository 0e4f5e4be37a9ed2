// A media graph: filters added under a name, pins connected directly, and the state machine
// that streams through them.
//
// The graph shares ownership of its filters (the modules that made them keep theirs too).
// Threads: the public calls (building, state, positions, waits) may come from any thread that is
// not one of the graph's streaming threads; they are serialised, so the preview may pause, run
// and seek from the UI thread while a completion callback stops the graph. Streaming runs on the
// graph's own threads (each source's thread, and a thread per queued output pin); the calls
// under "Renderers call these" are theirs.
// Completion: the graph completes when every connected renderer has received the end of its
// stream, or when a filter reports an error; WaitForCompletion then wakes, and the completion
// callback runs once on the graph's event thread, never on a streaming thread. So the callback
// may call Stop, Pause, Run or SetPositions (which join the streaming threads), and may even
// drop the last owner of the graph. Stop drops a completion not delivered yet and waits for one
// being delivered (unless Stop is called from that callback): once Stop returns, no callback of
// the stopped run runs. A seek drops a completion not delivered yet without waiting.
// Nothing here throws; failures are result codes.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media/engine/EventThread.h"
#include "media/engine/Filter.h"

namespace kelvor::media {

// What a source offers for seeking. Positions are stream times in 100 ns units.
class Seekable {
  public:
    virtual ~Seekable() = default;
    virtual StreamTime Duration() const = 0;
    // Frames per second of the video stream as num/den; false when the source has no video.
    virtual bool FrameRate(std::int64_t& num, std::int64_t& den) const = 0;
    // The next run streams from start to stop (stop < 0: to the end). Driving thread, while
    // the source's streaming thread is stopped (the graph stops it first for a seek).
    virtual Status SetPositions(StreamTime start, StreamTime stop) = 0;
    virtual StreamTime StartPosition() const = 0;
    virtual StreamTime StopPosition() const = 0;  // -1: the end
};

enum class TimeFormat { MediaTime, Frame };

class Graph {
  public:
    Graph();
    ~Graph();  // stops, disconnects and removes every filter
    Graph(const Graph&) = delete;
    Graph& operator=(const Graph&) = delete;

    // Code::WrongState unless stopped; Code::InvalidArgument for a filter already in a graph or a
    // name already used (an empty name is replaced by the filter's display name).
    Status AddFilter(const FilterPtr& filter, const std::string& name);
    Status RemoveFilter(BaseFilter& filter);  // disconnects its pins first
    void RemoveAllFilters();
    BaseFilter* FindFilterByName(const std::string& name) const;
    std::vector<BaseFilter*> Filters() const;

    // Joins an output pin to an input pin: with a type, the input must take exactly it (a type
    // with only a major type matches any proposal of that major type); without, the output's
    // proposals are tried in order. Code::TypeNotAccepted, Code::AlreadyConnected,
    // Code::InvalidDirection, Code::NotFound (a pin of a filter outside this graph).
    Status ConnectDirect(Pin& out, Pin& in, const MediaType* mt = nullptr);
    Status Disconnect(Pin& pin);  // both ends; Code::False when it was not connected

    Status Run();
    Status Pause();
    Status Stop();
    // Code::Ok when the state is reached; Code::StateIntermediate when a pause is still waiting
    // for the renderers' first samples after timeoutMs.
    Status GetState(int timeoutMs, FilterState& state);

    // Paced: renderers present samples at their stream times (preview). Free (the default,
    // "no reference clock"): every stage runs as fast as it can.
    void SetPaced(bool paced) { paced_ = paced; }
    bool IsPaced() const { return paced_.load(); }

    void SetTimeFormat(TimeFormat f) { timeFormat_ = f; }
    TimeFormat GetTimeFormat() const { return timeFormat_.load(); }
    // In the current time format. Code::NotImplemented when no source can seek.
    Status GetDuration(std::int64_t& duration) const;
    Status GetCurrentPosition(std::int64_t& position) const;
    // Absolute positions in the current time format; stop < 0 leaves the end open. A paused
    // graph streams again from the new start (its renderers get the new first frame).
    Status SetPositions(std::int64_t start, std::int64_t stop);
    Status GetPositions(std::int64_t& start, std::int64_t& stop) const;

    // 0 (silent) to 10000 (full), linear; the audio renderers read it.
    Status SetVolume(int volume);
    int Volume() const { return volume_.load(); }

    // Runs on the graph's event thread when the graph completes (EventCode::Complete) or aborts
    // (EventCode::ErrorAbort, with the failure code). Set while stopped.
    void SetCompletionCallback(std::function<void(int code, Status hr)> cb);
    // True when the run completed within the timeout; code and hr say how. False at once when
    // the graph is or gets stopped without having completed.
    bool WaitForCompletion(int timeoutMs, int& code, Status& hr);
    // The first error of the current run, Code::Ok when none. Its reason is one line for a
    // person: the reporting filter's own, else the filter's name with the code's name.
    Status LastError() const;
    // The graph name of the filter that reported it; empty when none.
    std::string LastErrorFilter() const;

    // Renderers call these (streaming threads).
    void Notify(BaseFilter& from, int code, Status status);
    void RendererPrerolled(BaseFilter& renderer);
    // The stream time the renderers present, for the position reader.
    // A block of sound that holds the start position begins before it; the position shown is
    // never earlier than where the stream was started.
    void RendererPresented(StreamTime t) { lastPresented_.store(std::max(t, streamStart_.load())); }
    // Waits until stream time t is due in a paced run; false when the pin started flushing
    // (stop or seek) first.
    bool WaitUntilDue(StreamTime t, const InputPin& pin);
    // Blocks a paused renderer until the graph runs or stops. Streaming thread.
    void WaitWhilePaused(const InputPin& pin);

  private:
    Seekable* seekable() const;
    std::int64_t toFormat(StreamTime t) const;
    StreamTime fromFormat(std::int64_t v) const;
    void restartAfterSeek(FilterState was);
    std::vector<BaseFilter*> renderers() const;
    void flushAndStopThreads();
    void startThreads();
    void setFlushing(bool on);

    struct Entry {
        FilterPtr filter;
        std::string name;
    };
    Status stopLocked();
    void setState(FilterState state);

    // Serialises the public calls; recursive because they call one another (Run pauses first).
    // Never taken by a streaming thread. filters_ and the connections change only under it and
    // while stopped, so the streaming threads read them without it.
    mutable std::recursive_mutex control_;
    std::vector<Entry> filters_;
    std::atomic<FilterState> state_{FilterState::Stopped};  // changed under mutex_ (setState)
    std::atomic<bool> paced_{false};
    std::atomic<TimeFormat> timeFormat_{TimeFormat::MediaTime};
    std::atomic<int> volume_{10000};
    std::atomic<StreamTime> lastPresented_{0};
    std::atomic<StreamTime> streamStart_{0};  // the start position of the last pause or seek

    // Run state shared with the streaming threads, guarded by mutex_.
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::function<void(int, Status)> onComplete_;
    int prerolled_ = 0;
    std::vector<const BaseFilter*> completedRenderers_;
    bool completed_ = false;
    int completionCode_ = 0;
    Status error_ = Code::Ok;
    std::string errorFilter_;
    bool released_ = false;  // paused renderers may go on (running or stopping)
    std::chrono::steady_clock::time_point clockBase_;
    StreamTime streamBase_ = 0;

    // Last, so it goes first: its destructor waits for a callback still running.
    EventThread events_;
};

}  // namespace kelvor::media
