#include "media/engine/Filter.h"

#include <algorithm>
#include <exception>

#include "media/engine/Graph.h"

namespace kelvor::media {

Status InputPin::Receive(SamplePtr sample) {
    if (flushing_.load() || !IsConnected())
        return Code::False;
    if (Filter().State() == FilterState::Stopped)
        return Code::WrongState;
    return Filter().Receive(*this, std::move(sample));
}

void InputPin::EndOfStream() {
    if (flushing_.load())
        return;
    Filter().EndOfStream(*this);
}

OutputPin::~OutputPin() {
    stopQueue();
}

Status OutputPin::Deliver(SamplePtr sample) {
    auto* in = static_cast<InputPin*>(ConnectedTo());
    if (!in)
        return Code::NotConnected;
    std::unique_lock lock(qMutex_);
    if (!qActive_) {
        lock.unlock();
        return in->Receive(std::move(sample));
    }
    // A full queue lets the sender go on only once half of it has gone, so the two threads
    // wake each other once per few samples rather than for each one.
    if (static_cast<int>(queue_.size()) >= depth_) {
        ++qSendersWaiting_;
        qCv_.wait(lock, [&] {
            return qStop_ || static_cast<int>(queue_.size()) <= depth_ / 2 || qResult_ != Code::Ok;
        });
        --qSendersWaiting_;
    }
    if (qStop_)
        return Code::False;
    if (qResult_ != Code::Ok)
        return qResult_;
    queue_.push_back(std::move(sample));
    if (queue_.size() == 1)
        qCv_.notify_all();
    return Code::Ok;
}

void OutputPin::DeliverEndOfStream() {
    auto* in = static_cast<InputPin*>(ConnectedTo());
    if (!in)
        return;
    std::unique_lock lock(qMutex_);
    if (!qActive_) {
        lock.unlock();
        in->EndOfStream();
        return;
    }
    if (qStop_)
        return;
    queue_.push_back(nullptr);
    qCv_.notify_all();
}

SamplePtr OutputPin::GetDeliveryBuffer() {
    return pool_.Get(static_cast<std::size_t>(std::max(props_.BufferSize, 0)));
}

// Enough free buffers for what the receivers hold and the queue carries, so a steady stream
// never allocates.
void OutputPin::sizePool() {
    pool_.SetCapacity(static_cast<std::size_t>(std::max(props_.BufferCount, 1)) +
                      static_cast<std::size_t>(depth_) + 2);
}

void OutputPin::startQueue() {
    stopQueue();
    if (!queued_ || !IsConnected())
        return;
    {
        std::lock_guard lock(qMutex_);
        queue_.clear();
        qStop_ = false;
        qResult_ = Code::Ok;
        qActive_ = true;
    }
    qThread_ = std::thread([this] {
        // Nothing may leave the queue thread: a failure becomes an error event and ends the pin.
        try {
            queueLoop();
        } catch (const std::exception& e) {
            failQueue(std::string("delivery to ") + Filter().DisplayName() +
                      " failed: " + e.what());
        } catch (...) {
            failQueue(std::string("delivery to ") + Filter().DisplayName() + " failed");
        }
    });
}

void OutputPin::failQueue(std::string text) {
    Filter().NotifyEvent(EventCode::ErrorAbort, Status(Code::Fail, std::move(text)));
    std::lock_guard lock(qMutex_);
    qResult_ = Code::Fail;
    queue_.clear();
    qCv_.notify_all();
}

void OutputPin::stopQueue() {
    {
        std::lock_guard lock(qMutex_);
        qStop_ = true;
        queue_.clear();
        qCv_.notify_all();
    }
    if (qThread_.joinable())
        qThread_.join();
    std::lock_guard lock(qMutex_);
    qActive_ = false;
    qStop_ = false;
}

void OutputPin::queueLoop() {
    auto* in = static_cast<InputPin*>(ConnectedTo());
    for (;;) {
        SamplePtr s;
        {
            std::unique_lock lock(qMutex_);
            qCv_.wait(lock, [&] { return qStop_ || !queue_.empty(); });
            if (qStop_)
                return;
            s = std::move(queue_.front());
            queue_.pop_front();
            if (qSendersWaiting_ > 0 && static_cast<int>(queue_.size()) <= depth_ / 2)
                qCv_.notify_all();
        }
        if (!s) {
            in->EndOfStream();
            continue;
        }
        const Status hr = in->Receive(std::move(s));
        if (hr != Code::Ok) {
            std::lock_guard lock(qMutex_);
            qResult_ = hr;
            queue_.clear();
            qCv_.notify_all();
        }
    }
}

InputPin* BaseFilter::GetInputPin(int n) const {
    for (const auto& p : pins_)
        if (p->Direction() == PinDirection::Input && n-- == 0)
            return static_cast<InputPin*>(p.get());
    return nullptr;
}

OutputPin* BaseFilter::GetOutputPin(int n) const {
    for (const auto& p : pins_)
        if (p->Direction() == PinDirection::Output && n-- == 0)
            return static_cast<OutputPin*>(p.get());
    return nullptr;
}

std::vector<InputPin*> BaseFilter::InputPins() const {
    std::vector<InputPin*> out;
    for (const auto& p : pins_)
        if (p->Direction() == PinDirection::Input)
            out.push_back(static_cast<InputPin*>(p.get()));
    return out;
}

std::vector<OutputPin*> BaseFilter::OutputPins() const {
    std::vector<OutputPin*> out;
    for (const auto& p : pins_)
        if (p->Direction() == PinDirection::Output)
            out.push_back(static_cast<OutputPin*>(p.get()));
    return out;
}

Status BaseFilter::Pause() {
    state_ = FilterState::Paused;
    return Code::Ok;
}

Status BaseFilter::Run(StreamTime start) {
    runStart_ = start;
    state_ = FilterState::Running;
    return Code::Ok;
}

Status BaseFilter::Stop() {
    state_ = FilterState::Stopped;
    return Code::Ok;
}

Status BaseFilter::CheckMediaType(const Pin&, const MediaType&) {
    return Code::TypeNotAccepted;
}
Status BaseFilter::GetMediaType(const Pin&, int, MediaType&) {
    return Code::NoMoreItems;
}
Status BaseFilter::CompleteConnect(Pin&) {
    return Code::Ok;
}
void BaseFilter::BreakConnect(Pin&) {}
Status BaseFilter::DecideBufferSize(const Pin&, AllocatorProperties&) {
    return Code::Ok;
}
Status BaseFilter::Receive(InputPin&, SamplePtr) {
    return Code::Ok;
}

void BaseFilter::EndOfStream(InputPin&) {
    for (const auto& p : pins_)
        if (p->Direction() == PinDirection::Output)
            static_cast<OutputPin*>(p.get())->DeliverEndOfStream();
}

InputPin& BaseFilter::AddInputPin(std::string name, int at) {
    auto pin = std::make_unique<InputPin>(*this, std::move(name));
    InputPin& ref = *pin;
    if (at < 0 || at >= PinCount())
        pins_.push_back(std::move(pin));
    else
        pins_.insert(pins_.begin() + at, std::move(pin));
    return ref;
}

OutputPin& BaseFilter::AddOutputPin(std::string name, int at) {
    auto pin = std::make_unique<OutputPin>(*this, std::move(name));
    OutputPin& ref = *pin;
    if (at < 0 || at >= PinCount())
        pins_.push_back(std::move(pin));
    else
        pins_.insert(pins_.begin() + at, std::move(pin));
    return ref;
}

void BaseFilter::RemovePin(Pin& pin) {
    std::erase_if(pins_, [&](const std::unique_ptr<Pin>& p) { return p.get() == &pin; });
}

void BaseFilter::NotifyEvent(int code, Status status) {
    if (graph_)
        graph_->Notify(*this, code, std::move(status));
}

}  // namespace kelvor::media
