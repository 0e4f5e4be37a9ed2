#include "media/engine/Splitter.h"

#include <algorithm>
#include <new>

#include "media/engine/AviSource.h"

namespace kelvor::media {

SplitterBase::SplitterBase(std::string name, std::string classId, std::string inputPinName)
    : BaseFilter(std::move(name), std::move(classId)), input_(&AddInputPin(inputPinName)) {}

Status SplitterBase::Pause() {
    if (state_ == FilterState::Stopped && HasFile()) {
        int connected = 0;
        for (int i = 0; i < StreamCount(); ++i)
            connected += GetPin(i)->IsConnected() ? 1 : 0;
        for (int i = 0; i < StreamCount(); ++i)
            static_cast<OutputPin*>(GetPin(i))->SetQueued(connected > 1 && !serial_, 8);
    }
    return BaseFilter::Pause();
}

bool SplitterBase::FrameRate(std::int64_t& num, std::int64_t& den) const {
    if (!HasFile() || frameRateNum_ <= 0 || frameRateDen_ <= 0)
        return false;
    num = frameRateNum_;
    den = frameRateDen_;
    return true;
}

Status SplitterBase::SetPositions(StreamTime start, StreamTime stop) {
    const StreamTime d = Duration();
    start_ = std::clamp<StreamTime>(start, 0, d);
    stop_ = stop < 0 ? -1 : std::clamp<StreamTime>(stop, start_, d);
    return Code::Ok;
}

void SplitterBase::stoppedByDelivery(const Status& hr) {
    NotifyEvent(EventCode::ErrorAbort,
                Status(hr.code(), hr.reason().empty() ? DisplayName() + ": reading stopped (" +
                                                            CodeText(hr.code()) + ")"
                                                      : hr.reason()));
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

Status SplitterBase::CheckMediaType(const Pin& pin, const MediaType& mt) {
    return &pin == input_ && mt.majorType == MajorType::Stream ? Code::Ok : Code::TypeNotAccepted;
}

Status SplitterBase::CompleteConnect(Pin& pin) {
    if (&pin != input_)
        return Code::Ok;
    auto* source = dynamic_cast<FileSourceFilter*>(&pin.ConnectedTo()->Filter());
    if (!source)
        return Code::TypeNotAccepted;
    openError_.clear();
    duration_ = 0;
    frameRateNum_ = frameRateDen_ = 0;
    std::vector<MediaType> types;
    if (const Status hr = OpenFile(source->FileName(), types); hr.failed())
        return hr;
    ShowStreams(std::move(types));
    return Code::Ok;
}

void SplitterBase::BreakConnect(Pin& pin) {
    if (&pin != input_ || !HasFile())
        return;
    StopThreads();
    ForgetStreams();
    CloseFile();
}

Status SplitterBase::DecideBufferSize(const Pin& pin, AllocatorProperties& props) {
    if (!HasFile())
        return Code::Unexpected;
    if (const int i = OutputIndex(pin); i >= 0) {
        props.BufferSize = MaxSampleSize(i);
        props.BufferCount = 4;
    }
    return Code::Ok;
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
