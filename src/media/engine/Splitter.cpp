#include "media/engine/Splitter.h"

#include <algorithm>
#include <new>

namespace kelvor::media {

SplitterBase::SplitterBase(std::string name, std::string classId, std::string inputPinName)
    : BaseFilter(std::move(name), std::move(classId)), input_(&AddInputPin(inputPinName)) {}

Status SplitterBase::Pause() {
    if (state_ == FilterState::Stopped && HasFile()) {
        int connected = 0;
        for (int i = 0; i < StreamCount(); ++i)
            connected += GetPin(i)->IsConnected() ? 1 : 0;
        for (int i = 0; i < StreamCount(); ++i)
            static_cast<OutputPin*>(GetPin(i))->SetQueued(connected > 1, 8);
    }
    return BaseFilter::Pause();
}

Status SplitterBase::SetPositions(StreamTime start, StreamTime stop) {
    const StreamTime d = Duration();
    start_ = std::clamp<StreamTime>(start, 0, d);
    stop_ = stop < 0 ? -1 : std::clamp<StreamTime>(stop, start_, d);
    return Code::Ok;
}

void SplitterBase::StartThreads() {
    StopThreads();
    if (!HasFile())
        return;
    stopRequested_ = false;
    thread_ = std::thread([this] {
        // Nothing may leave the streaming thread: a failure becomes an error event.
        try {
            stream();
        } catch (const std::bad_alloc&) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::OutOfMemory, DisplayName() + ": out of memory"));
        } catch (const std::exception& e) {
            NotifyEvent(EventCode::ErrorAbort, Status(Code::Fail, DisplayName() + ": " + e.what()));
        } catch (...) {
            NotifyEvent(EventCode::ErrorAbort,
                        Status(Code::Fail, DisplayName() + ": reading stopped on an error"));
        }
    });
}

int SplitterBase::OutputIndex(const Pin& pin) const {
    for (int i = 0; i < StreamCount(); ++i)
        if (GetPin(i) == &pin)
            return i;
    return -1;
}

void SplitterBase::ShowStreams(std::vector<MediaType> types) {
    types_ = std::move(types);
    for (int i = 0; i < static_cast<int>(types_.size()); ++i)
        AddOutputPin("Stream " + std::to_string(i), i);
    start_ = 0;
    stop_ = -1;
}

void SplitterBase::ForgetStreams() {
    for (int i = PinCount() - 1; i >= 0; --i) {
        Pin* p = GetPin(i);
        if (p != input_ && !p->IsConnected())
            RemovePin(*p);
    }
    types_.clear();
}

Status SplitterBase::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    const int i = OutputIndex(pin);
    if (position != 0 || i < 0 || i >= static_cast<int>(types_.size()))
        return Code::NoMoreItems;
    mt = types_[static_cast<std::size_t>(i)];
    return Code::Ok;
}

void SplitterBase::StopThreads() {
    stopRequested_ = true;
    if (thread_.joinable())
        thread_.join();
}

}  // namespace kelvor::media
