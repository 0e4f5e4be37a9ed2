#include "media/engine/Graph.h"

#include <algorithm>

namespace kelvor::media {

Graph::Graph() = default;

Graph::~Graph() {
    Stop();
    RemoveAllFilters();
}

Status Graph::AddFilter(const FilterPtr& filter, const std::string& name) {
    std::lock_guard control(control_);
    if (!filter)
        return Code::NullPointer;
    if (state_ != FilterState::Stopped)
        return Code::WrongState;
    if (filter->graph_)
        return Code::InvalidArgument;
    const std::string used = name.empty() ? filter->DisplayName() : name;
    if (FindFilterByName(used))
        return Code::InvalidArgument;
    filter->graph_ = this;
    filter->graphName_ = used;
    filters_.push_back({filter, used});
    return Code::Ok;
}

Status Graph::RemoveFilter(BaseFilter& filter) {
    std::lock_guard control(control_);
    if (state_ != FilterState::Stopped)
        return Code::WrongState;
    const auto it = std::find_if(filters_.begin(), filters_.end(),
                                 [&](const Entry& e) { return e.filter.get() == &filter; });
    if (it == filters_.end())
        return Code::NotFound;
    for (int i = filter.PinCount() - 1; i >= 0; --i) {
        if (i >= filter.PinCount())
            continue;
        Disconnect(*filter.GetPin(i));
    }
    filter.graph_ = nullptr;
    filter.graphName_.clear();
    filters_.erase(it);
    return Code::Ok;
}

void Graph::RemoveAllFilters() {
    Stop();
    std::lock_guard control(control_);
    stopLocked();  // another thread may have started it again meanwhile
    while (!filters_.empty())
        if (RemoveFilter(*filters_.back().filter) != Code::Ok)
            break;
}

BaseFilter* Graph::FindFilterByName(const std::string& name) const {
    std::lock_guard control(control_);
    for (const Entry& e : filters_)
        if (e.name == name)
            return e.filter.get();
    return nullptr;
}

std::vector<BaseFilter*> Graph::Filters() const {
    std::lock_guard control(control_);
    std::vector<BaseFilter*> out;
    for (const Entry& e : filters_)
        out.push_back(e.filter.get());
    return out;
}

Status Graph::ConnectDirect(Pin& out, Pin& in, const MediaType* mt) {
    std::lock_guard control(control_);
    if (state_ != FilterState::Stopped)
        return Code::NotStopped;
    if (out.Direction() != PinDirection::Output || in.Direction() != PinDirection::Input)
        return Code::InvalidDirection;
    if (out.Filter().graph_ != this || in.Filter().graph_ != this)
        return Code::NotFound;
    if (&out.Filter() == &in.Filter())
        return Code::CannotConnect;
    if (out.IsConnected() || in.IsConnected())
        return Code::AlreadyConnected;

    auto tryType = [&](const MediaType& candidate) -> Status {
        if (in.Filter().CheckMediaType(in, candidate) != Code::Ok)
            return Code::TypeNotAccepted;
        out.peer_ = &in;
        in.peer_ = &out;
        out.mt_ = candidate;
        in.mt_ = candidate;
        Status hr = in.Filter().CompleteConnect(in);
        if (hr.ok()) {
            AllocatorProperties props;
            props.BufferSize = static_cast<std::int32_t>(candidate.sampleSize);
            hr = out.Filter().DecideBufferSize(out, props);
            if (hr.ok())
                static_cast<OutputPin&>(out).SetAllocatorProperties(props);
        }
        if (hr.ok())
            hr = out.Filter().CompleteConnect(out);
        if (hr.failed()) {
            out.Filter().BreakConnect(out);
            in.Filter().BreakConnect(in);
            out.peer_ = nullptr;
            in.peer_ = nullptr;
            out.mt_ = MediaType{};
            in.mt_ = MediaType{};
            return hr;
        }
        return Code::Ok;
    };

    const bool partial = mt && mt->subtype == Subtype::None && mt->formatType == FormatType::None;
    constexpr int kMaxProposals = 64;
    for (int i = 0; i < kMaxProposals; ++i) {
        MediaType proposal;
        if (out.Filter().GetMediaType(out, i, proposal) != Code::Ok)
            break;
        if (mt && !partial && !(proposal == *mt))
            continue;
        if (mt && partial && proposal.majorType != mt->majorType)
            continue;
        if (tryType(proposal) == Code::Ok)
            return Code::Ok;
    }
    return Code::TypeNotAccepted;
}

Status Graph::Disconnect(Pin& pin) {
    std::lock_guard control(control_);
    if (state_ != FilterState::Stopped)
        return Code::NotStopped;
    Pin* peer = pin.peer_;
    if (!peer)
        return Code::False;
    pin.peer_ = nullptr;
    peer->peer_ = nullptr;
    pin.mt_ = MediaType{};
    peer->mt_ = MediaType{};
    pin.Filter().BreakConnect(pin);
    peer->Filter().BreakConnect(*peer);
    return Code::Ok;
}

std::vector<BaseFilter*> Graph::renderers() const {
    std::vector<BaseFilter*> out;
    for (const Entry& e : filters_) {
        if (!e.filter->IsRenderer())
            continue;
        bool connected = false;
        for (int i = 0; i < e.filter->PinCount(); ++i)
            connected = connected || e.filter->GetPin(i)->IsConnected();
        if (connected)
            out.push_back(e.filter.get());
    }
    return out;
}

Seekable* Graph::seekable() const {
    for (const Entry& e : filters_)
        if (auto* s = dynamic_cast<Seekable*>(e.filter.get()))
            return s;
    return nullptr;
}

void Graph::setFlushing(bool on) {
    for (const Entry& e : filters_)
        for (int i = 0; i < e.filter->PinCount(); ++i) {
            Pin* p = e.filter->GetPin(i);
            if (p->Direction() == PinDirection::Input)
                static_cast<InputPin*>(p)->flushing_ = on;
        }
    if (on) {
        std::lock_guard lock(mutex_);
        released_ = true;
        cv_.notify_all();
    }
}

void Graph::startThreads() {
    for (const Entry& e : filters_)
        for (int i = 0; i < e.filter->PinCount(); ++i) {
            Pin* p = e.filter->GetPin(i);
            if (p->Direction() == PinDirection::Output)
                static_cast<OutputPin*>(p)->startQueue();
        }
    for (const Entry& e : filters_)
        e.filter->StartThreads();
}

void Graph::flushAndStopThreads() {
    setFlushing(true);
    for (const Entry& e : filters_)
        for (int i = 0; i < e.filter->PinCount(); ++i) {
            Pin* p = e.filter->GetPin(i);
            if (p->Direction() == PinDirection::Output)
                static_cast<OutputPin*>(p)->stopQueue();
        }
    for (const Entry& e : filters_)
        e.filter->StopThreads();
}

void Graph::setState(FilterState state) {
    std::lock_guard lock(mutex_);
    state_ = state;
    cv_.notify_all();
}

Status Graph::Pause() {
    std::lock_guard control(control_);
    if (state_ == FilterState::Paused)
        return Code::Ok;
    if (state_ == FilterState::Running) {
        {
            std::lock_guard lock(mutex_);
            released_ = false;
        }
        for (const Entry& e : filters_)
            e.filter->Pause();
        setState(FilterState::Paused);
        return Code::Ok;
    }
    {
        std::lock_guard lock(mutex_);
        prerolled_ = 0;
        completedRenderers_.clear();
        completed_ = false;
        completionCode_ = 0;
        error_ = Code::Ok;
        errorFilter_.clear();
        released_ = false;
    }
    if (Seekable* s = seekable()) {
        streamStart_ = s->StartPosition();
        lastPresented_ = streamStart_.load();
    }
    for (const Entry& e : filters_) {
        const Status hr = e.filter->Pause();
        if (hr.failed()) {
            {
                // A filter that said why has already recorded its reason.
                std::lock_guard lock(mutex_);
                if (error_ == Code::Ok) {
                    // A filter that answers with a reason ("cannot create ...: Permission
                    // denied") is reported with it.
                    error_ = Status(hr.code(), hr.reason().empty() ? e.name + " cannot start (" +
                                                                         CodeText(hr.code()) + ")"
                                                                   : hr.reason());
                    errorFilter_ = e.name;
                }
            }
            for (const Entry& f : filters_)
                f.filter->Stop();
            return hr;
        }
    }
    setState(FilterState::Paused);
    startThreads();
    return Code::Ok;
}

Status Graph::Run() {
    std::lock_guard control(control_);
    if (state_ == FilterState::Running)
        return Code::Ok;
    if (state_ == FilterState::Stopped) {
        const Status hr = Pause();
        if (hr.failed())
            return hr;
    }
    StreamTime start = 0;
    {
        std::lock_guard lock(mutex_);
        clockBase_ = std::chrono::steady_clock::now();
        streamBase_ = start = lastPresented_.load();
    }
    for (const Entry& e : filters_)
        e.filter->Run(start);
    // The held streams go on only once every filter runs: a renderer released earlier would
    // still see itself paused and present its samples unpaced.
    {
        std::lock_guard lock(mutex_);
        released_ = true;
        cv_.notify_all();
    }
    setState(FilterState::Running);
    return Code::Ok;
}

Status Graph::Stop() {
    Status result = Code::Ok;
    {
        std::lock_guard control(control_);
        result = stopLocked();
    }
    // The streaming threads are joined, so no completion comes any more: one not delivered yet
    // is dropped, one being delivered is waited for (unless this is its callback). Outside the
    // control lock, so that callback may itself call into the graph meanwhile.
    events_.Cancel();
    return result;
}

Status Graph::stopLocked() {
    if (state_ == FilterState::Stopped)
        return Code::Ok;
    flushAndStopThreads();
    Status result = Code::Ok;
    for (const Entry& e : filters_) {
        const Status hr = e.filter->Stop();
        if (hr.failed() && result == Code::Ok)
            result = hr;
    }
    setFlushing(false);
    setState(FilterState::Stopped);
    return result;
}

Status Graph::GetState(int timeoutMs, FilterState& state) {
    std::size_t need = 0;
    {
        std::lock_guard control(control_);
        state = state_;
        if (state != FilterState::Paused)
            return Code::Ok;
        for (BaseFilter* r : renderers())
            need += r->PrerollsOnPause() ? 1 : 0;
    }
    std::unique_lock lock(mutex_);
    // A run or stop from another thread meanwhile also ends the wait.
    const bool done = cv_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)), [&] {
        return static_cast<std::size_t>(prerolled_) >= need || completed_ || error_ != Code::Ok ||
               state_ != FilterState::Paused;
    });
    state = state_;
    return done ? Code::Ok : Code::StateIntermediate;
}

void Graph::RendererPrerolled(BaseFilter&) {
    std::lock_guard lock(mutex_);
    ++prerolled_;
    cv_.notify_all();
}

void Graph::WaitWhilePaused(const InputPin& pin) {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return released_ || pin.IsFlushing(); });
}

bool Graph::WaitUntilDue(StreamTime t, const InputPin& pin) {
    std::unique_lock lock(mutex_);
    // A stop or seek sets the pin flushing and then notifies under mutex_, so it is not missed.
    for (;;) {
        if (pin.IsFlushing())
            return false;
        const auto due = clockBase_ + std::chrono::microseconds((t - streamBase_) / 10);
        if (std::chrono::steady_clock::now() >= due)
            return true;
        cv_.wait_until(lock, due);
    }
}

void Graph::Notify(BaseFilter& from, int code, Status status) {
    std::function<void(int, Status)> cb;
    {
        std::lock_guard lock(mutex_);
        if (completed_)
            return;
        if (code == EventCode::Complete) {
            if (std::find(completedRenderers_.begin(), completedRenderers_.end(), &from) ==
                completedRenderers_.end())
                completedRenderers_.push_back(&from);
            std::size_t need = 0;
            for (const Entry& e : filters_) {
                if (!e.filter->IsRenderer())
                    continue;
                for (int i = 0; i < e.filter->PinCount(); ++i)
                    if (e.filter->GetPin(i)->IsConnected()) {
                        ++need;
                        break;
                    }
            }
            if (completedRenderers_.size() < need)
                return;
        } else if (code == EventCode::ErrorAbort) {
            if (error_ == Code::Ok) {
                const Code failure = status.failed() ? status.code() : Code::Fail;
                error_ =
                    Status(failure, Status(failure, status.reason()).Message(from.GraphName()));
                errorFilter_ = from.GraphName();
            }
        } else {
            return;
        }
        completed_ = true;
        completionCode_ = code;
        cv_.notify_all();
        cb = onComplete_;
    }
    if (cb)
        events_.Post([cb = std::move(cb), code,
                      result = code == EventCode::Complete ? Status() : std::move(status)] {
            cb(code, result);
        });
}

void Graph::SetCompletionCallback(std::function<void(int code, Status hr)> cb) {
    std::lock_guard lock(mutex_);
    onComplete_ = std::move(cb);
}

bool Graph::WaitForCompletion(int timeoutMs, int& code, Status& hr) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                 [&] { return completed_ || state_ == FilterState::Stopped; });
    code = completionCode_;
    hr = error_;
    return completed_;
}

Status Graph::LastError() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::string Graph::LastErrorFilter() const {
    std::lock_guard lock(mutex_);
    return errorFilter_;
}

Status Graph::SetVolume(int volume) {
    if (volume < 0 || volume > 10000)
        return Code::InvalidArgument;
    volume_ = volume;
    return Code::Ok;
}

std::int64_t Graph::toFormat(StreamTime t) const {
    std::int64_t num = 0, den = 1;
    Seekable* s = seekable();
    if (timeFormat_ == TimeFormat::Frame && s && s->FrameRate(num, den) && num > 0 && den > 0) {
        // frames = t * num / (den * 1e7), to the nearest frame
        const std::int64_t unit = den * kUnitsPerSecond;
        return (t * num + unit / 2) / unit;
    }
    return t;
}

StreamTime Graph::fromFormat(std::int64_t v) const {
    std::int64_t num = 0, den = 1;
    Seekable* s = seekable();
    if (timeFormat_ == TimeFormat::Frame && s && s->FrameRate(num, den) && num > 0 && den > 0)
        return v * den * kUnitsPerSecond / num;
    return v;
}

Status Graph::GetDuration(std::int64_t& duration) const {
    std::lock_guard control(control_);
    Seekable* s = seekable();
    if (!s)
        return Code::NotImplemented;
    duration = toFormat(s->Duration());
    return Code::Ok;
}

Status Graph::GetCurrentPosition(std::int64_t& position) const {
    std::lock_guard control(control_);
    if (!seekable())
        return Code::NotImplemented;
    position = toFormat(lastPresented_.load());
    return Code::Ok;
}

Status Graph::GetPositions(std::int64_t& start, std::int64_t& stop) const {
    std::lock_guard control(control_);
    Seekable* s = seekable();
    if (!s)
        return Code::NotImplemented;
    start = toFormat(s->StartPosition());
    stop = s->StopPosition() < 0 ? toFormat(s->Duration()) : toFormat(s->StopPosition());
    return Code::Ok;
}

Status Graph::SetPositions(std::int64_t start, std::int64_t stop) {
    std::lock_guard control(control_);
    Seekable* s = seekable();
    if (!s)
        return Code::NotImplemented;
    const FilterState was = state_;
    if (was != FilterState::Stopped) {
        flushAndStopThreads();
        for (const Entry& e : filters_)
            e.filter->Flushed();
        // A completion of the old position is news no more. Not waited for: its callback may
        // be waiting for the control lock held here.
        events_.Drop();
    }
    const Status hr = s->SetPositions(fromFormat(start), stop < 0 ? -1 : fromFormat(stop));
    streamStart_ = s->StartPosition();
    lastPresented_ = streamStart_.load();
    if (was != FilterState::Stopped)
        restartAfterSeek(was);
    return hr;
}

void Graph::restartAfterSeek(FilterState was) {
    setFlushing(false);
    {
        std::lock_guard lock(mutex_);
        prerolled_ = 0;
        completedRenderers_.clear();
        completed_ = false;
        released_ = was == FilterState::Running;
        clockBase_ = std::chrono::steady_clock::now();
        streamBase_ = lastPresented_.load();
    }
    if (was == FilterState::Paused)
        for (const Entry& e : filters_)
            e.filter->Pause();
    startThreads();
}

}  // namespace kelvor::media
