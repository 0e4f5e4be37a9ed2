#include "media/engine/TransformFilter.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kelvor::media {

TBCTransformFilter::TBCTransformFilter(std::string displayName, std::string classId)
    : BaseFilter(std::move(displayName), std::move(classId)),
      input_(&AddInputPin("XForm In")),
      output_(&AddOutputPin("XForm Out")) {}

HRESULT TBCTransformFilter::Pause() {
    if (state_ == FilterState::Stopped && !streaming_) {
        const HRESULT hr = StartStreaming();
        if (Failed(hr))
            return hr;
        streaming_ = true;
    }
    return BaseFilter::Pause();
}

HRESULT TBCTransformFilter::Stop() {
    HRESULT hr = S_OK;
    if (streaming_) {
        hr = StopStreaming();
        streaming_ = false;
    }
    BaseFilter::Stop();
    return hr;
}

HRESULT TBCTransformFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin == input_)
        return CheckInputType(mt);
    if (!input_->IsConnected())
        return VFW_E_NOT_CONNECTED;
    return CheckTransform(input_->CurrentMediaType(), mt);
}

HRESULT TBCTransformFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin == input_)
        return GetInputMediaType(position, mt);
    if (&pin != output_ || !input_->IsConnected())
        return VFW_S_NO_MORE_ITEMS;
    return GetMediaType(position, mt);
}

HRESULT TBCTransformFilter::DecideBufferSize(const Pin& pin, AllocatorProperties& props) {
    if (&pin != output_)
        return S_OK;
    return DecideBufferSize(props);
}

HRESULT TBCTransformFilter::Receive(InputPin&, SamplePtr sample) {
    if (!output_->IsConnected())
        return S_OK;
    SamplePtr out = output_->GetDeliveryBuffer();
    out->CopyPropertiesFrom(*sample);
    const HRESULT hr = Transform(*sample, *out);
    return DeliverTransformed(hr, std::move(out));
}

HRESULT TBCTransformFilter::DeliverTransformed(HRESULT hr, SamplePtr out) {
    if (hr == S_FALSE)
        return S_OK;
    if (Failed(hr)) {
        NotifyEvent(EC_ERRORABORT, hr);
        return hr;
    }
    return output_->Deliver(std::move(out));
}

class TBCPairedTransformFilter::Worker {
  public:
    explicit Worker(TBCPairedTransformFilter& filter)
        : filter_(filter), thread_([this] { loop(); }) {}
    ~Worker() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void start(SamplePtr in, MediaSample& out) {
        {
            std::lock_guard lock(mutex_);
            in_ = std::move(in);
            out_ = &out;
            busy_ = true;
        }
        cv_.notify_all();
    }
    // Waits for the frame handed over; lane 1 is then idle until the next start.
    bool wait() {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return !busy_; });
        in_.reset();
        return worked_;
    }

  private:
    void loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            cv_.wait(lock, [this] { return quit_ || busy_; });
            if (quit_)
                return;
            worked_ = filter_.Work(1, *in_, *out_);
            busy_ = false;
            cv_.notify_all();
        }
    }

    TBCPairedTransformFilter& filter_;
    std::mutex mutex_;  // guards the fields below; the frame's samples pass under it
    std::condition_variable cv_;
    SamplePtr in_;
    MediaSample* out_ = nullptr;
    bool busy_ = false;
    bool worked_ = false;
    bool quit_ = false;
    std::thread thread_;
};

TBCPairedTransformFilter::TBCPairedTransformFilter(std::string displayName, std::string classId)
    : TBCTransformFilter(std::move(displayName), std::move(classId)) {}

TBCPairedTransformFilter::~TBCPairedTransformFilter() = default;

HRESULT TBCPairedTransformFilter::SetFrameThreads(bool on) {
    if (State() != FilterState::Stopped)
        return VFW_E_NOT_STOPPED;
    frameThreads_ = on;
    return S_OK;
}

HRESULT TBCPairedTransformFilter::StartStreaming() {
    const HRESULT hr = StartLanes(frameThreads_ ? 2 : 1);
    if (Failed(hr))
        return hr;
    if (frameThreads_)
        worker_ = std::make_unique<Worker>(*this);
    return S_OK;
}

HRESULT TBCPairedTransformFilter::StopStreaming() {
    if (worker_)
        worker_->wait();
    pending_.reset();
    worker_.reset();
    StopLanes();
    return S_OK;
}

HRESULT TBCPairedTransformFilter::Transform(const MediaSample& in, MediaSample& out) {
    return Finish(0, Work(0, in, out), out);
}

HRESULT TBCPairedTransformFilter::finishAndDeliver(int lane, bool worked, SamplePtr out) {
    const HRESULT hr = Finish(lane, worked, *out);
    return DeliverTransformed(hr, std::move(out));
}

HRESULT TBCPairedTransformFilter::Receive(InputPin& pin, SamplePtr sample) {
    if (!worker_ || (!pending_ && State() != FilterState::Running))
        return TBCTransformFilter::Receive(pin, std::move(sample));
    if (!Output().IsConnected())
        return S_OK;
    SamplePtr out = Output().GetDeliveryBuffer();
    out->CopyPropertiesFrom(*sample);
    if (!pending_) {
        worker_->start(std::move(sample), *out);
        pending_ = std::move(out);
        return S_OK;
    }
    const bool mine = Work(0, *sample, *out);
    const bool theirs = worker_->wait();
    const HRESULT hr = finishAndDeliver(1, theirs, std::move(pending_));
    if (hr != S_OK)
        return hr;
    return finishAndDeliver(0, mine, std::move(out));
}

void TBCPairedTransformFilter::EndOfStream(InputPin& pin) {
    if (pending_) {
        const bool worked = worker_->wait();
        finishAndDeliver(1, worked, std::move(pending_));
    }
    TBCTransformFilter::EndOfStream(pin);
}

void TBCPairedTransformFilter::Flushed() {
    // The frame from before the seek is not shown.
    if (pending_) {
        worker_->wait();
        pending_.reset();
    }
}

TBCTransInPlaceFilter::TBCTransInPlaceFilter(std::string displayName, std::string classId,
                                             bool modifiesData)
    : BaseFilter(std::move(displayName), std::move(classId)),
      input_(&AddInputPin("Input")),
      output_(&AddOutputPin("Output")),
      modifiesData_(modifiesData) {}

HRESULT TBCTransInPlaceFilter::Pause() {
    if (state_ == FilterState::Stopped && !streaming_) {
        const HRESULT hr = StartStreaming();
        if (Failed(hr))
            return hr;
        streaming_ = true;
    }
    return BaseFilter::Pause();
}

HRESULT TBCTransInPlaceFilter::Stop() {
    HRESULT hr = S_OK;
    if (streaming_) {
        hr = StopStreaming();
        streaming_ = false;
    }
    BaseFilter::Stop();
    return hr;
}

HRESULT TBCTransInPlaceFilter::CheckTransform(const MediaType& mtIn, const MediaType& mtOut) {
    return mtIn == mtOut ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TBCTransInPlaceFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin == input_)
        return CheckInputType(mt);
    if (!input_->IsConnected())
        return VFW_E_NOT_CONNECTED;
    return CheckTransform(input_->CurrentMediaType(), mt);
}

HRESULT TBCTransInPlaceFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin != output_ || !input_->IsConnected() || position != 0)
        return VFW_S_NO_MORE_ITEMS;
    mt = input_->CurrentMediaType();
    return S_OK;
}

HRESULT TBCTransInPlaceFilter::Receive(InputPin&, SamplePtr sample) {
    const HRESULT hr = Transform(*sample);
    if (hr == S_FALSE)
        return S_OK;
    if (Failed(hr)) {
        NotifyEvent(EC_ERRORABORT, hr);
        return hr;
    }
    if (!output_->IsConnected())
        return S_OK;
    return output_->Deliver(std::move(sample));
}

}  // namespace kelvor::media
