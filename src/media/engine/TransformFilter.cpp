#include "media/engine/TransformFilter.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace kelvor::media {

OneToOneFilter::OneToOneFilter(std::string displayName, std::string classId, std::string inputName,
                               std::string outputName)
    : BaseFilter(std::move(displayName), std::move(classId)),
      input_(&AddInputPin(std::move(inputName))),
      output_(&AddOutputPin(std::move(outputName))) {}

Status OneToOneFilter::Pause() {
    if (state_ == FilterState::Stopped && !streaming_) {
        const Status hr = StartStreaming();
        if (hr.failed())
            return hr;
        streaming_ = true;
    }
    return BaseFilter::Pause();
}

Status OneToOneFilter::Stop() {
    Status hr = Code::Ok;
    if (streaming_) {
        hr = StopStreaming();
        streaming_ = false;
    }
    BaseFilter::Stop();
    return hr;
}

Status OneToOneFilter::CheckMediaType(const Pin& pin, const MediaType& mt) {
    if (&pin == input_)
        return CheckInputType(mt);
    if (!input_->IsConnected())
        return Code::NotConnected;
    return CheckTransform(input_->CurrentMediaType(), mt);
}

Status OneToOneFilter::DeliverTransformed(Status hr, SamplePtr out) {
    if (hr == Code::False)
        return Code::Ok;
    if (hr.failed()) {
        NotifyEvent(EventCode::ErrorAbort, hr);
        return hr;
    }
    return output_->Deliver(std::move(out));
}

TransformFilter::TransformFilter(std::string displayName, std::string classId)
    : OneToOneFilter(std::move(displayName), std::move(classId), "XForm In", "XForm Out") {}

Status TransformFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin == &Input())
        return GetInputMediaType(position, mt);
    if (&pin != &Output() || !Input().IsConnected())
        return Code::NoMoreItems;
    return GetMediaType(position, mt);
}

Status TransformFilter::DecideBufferSize(const Pin& pin, AllocatorProperties& props) {
    if (&pin != &Output())
        return Code::Ok;
    return DecideBufferSize(props);
}

Status TransformFilter::Receive(InputPin&, SamplePtr sample) {
    if (!Output().IsConnected())
        return Code::Ok;
    SamplePtr out = Output().GetDeliveryBuffer();
    out->CopyPropertiesFrom(*sample);
    const Status hr = Transform(*sample, *out);
    return DeliverTransformed(hr, std::move(out));
}

class PairedTransformFilter::Worker {
  public:
    explicit Worker(PairedTransformFilter& filter) : filter_(filter), thread_([this] { loop(); }) {}
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

    PairedTransformFilter& filter_;
    std::mutex mutex_;  // guards the fields below; the frame's samples pass under it
    std::condition_variable cv_;
    SamplePtr in_;
    MediaSample* out_ = nullptr;
    bool busy_ = false;
    bool worked_ = false;
    bool quit_ = false;
    std::thread thread_;
};

PairedTransformFilter::PairedTransformFilter(std::string displayName, std::string classId)
    : TransformFilter(std::move(displayName), std::move(classId)) {}

PairedTransformFilter::~PairedTransformFilter() = default;

Status PairedTransformFilter::SetFrameThreads(bool on) {
    if (State() != FilterState::Stopped)
        return Code::NotStopped;
    frameThreads_ = on;
    return Code::Ok;
}

Status PairedTransformFilter::StartStreaming() {
    const Status hr = StartLanes(frameThreads_ ? 2 : 1);
    if (hr.failed())
        return hr;
    if (frameThreads_)
        worker_ = std::make_unique<Worker>(*this);
    return Code::Ok;
}

Status PairedTransformFilter::StopStreaming() {
    if (worker_)
        worker_->wait();
    pending_.reset();
    worker_.reset();
    StopLanes();
    return Code::Ok;
}

Status PairedTransformFilter::Transform(const MediaSample& in, MediaSample& out) {
    return Finish(0, Work(0, in, out), out);
}

Status PairedTransformFilter::finishAndDeliver(int lane, bool worked, SamplePtr out) {
    const Status hr = Finish(lane, worked, *out);
    return DeliverTransformed(hr, std::move(out));
}

Status PairedTransformFilter::Receive(InputPin& pin, SamplePtr sample) {
    if (!worker_ || (!pending_ && State() != FilterState::Running))
        return TransformFilter::Receive(pin, std::move(sample));
    if (!Output().IsConnected())
        return Code::Ok;
    SamplePtr out = Output().GetDeliveryBuffer();
    out->CopyPropertiesFrom(*sample);
    if (!pending_) {
        worker_->start(std::move(sample), *out);
        pending_ = std::move(out);
        return Code::Ok;
    }
    const bool mine = Work(0, *sample, *out);
    const bool theirs = worker_->wait();
    const Status hr = finishAndDeliver(1, theirs, std::move(pending_));
    if (hr != Code::Ok)
        return hr;
    return finishAndDeliver(0, mine, std::move(out));
}

void PairedTransformFilter::EndOfStream(InputPin& pin) {
    if (pending_) {
        const bool worked = worker_->wait();
        finishAndDeliver(1, worked, std::move(pending_));
    }
    TransformFilter::EndOfStream(pin);
}

void PairedTransformFilter::Flushed() {
    // The frame from before the seek is not shown.
    if (pending_) {
        worker_->wait();
        pending_.reset();
    }
}

InPlaceTransformFilter::InPlaceTransformFilter(std::string displayName, std::string classId,
                                               bool modifiesData)
    : OneToOneFilter(std::move(displayName), std::move(classId), "Input", "Output"),
      modifiesData_(modifiesData) {}

Status InPlaceTransformFilter::CheckTransform(const MediaType& mtIn, const MediaType& mtOut) {
    return mtIn == mtOut ? Code::Ok : Code::TypeNotAccepted;
}

Status InPlaceTransformFilter::GetMediaType(const Pin& pin, int position, MediaType& mt) {
    if (&pin != &Output() || !Input().IsConnected() || position != 0)
        return Code::NoMoreItems;
    mt = Input().CurrentMediaType();
    return Code::Ok;
}

Status InPlaceTransformFilter::Receive(InputPin&, SamplePtr sample) {
    const Status hr = Transform(*sample);
    // A free output takes nothing, but a failure still ends the stream.
    if (hr.ok() && !Output().IsConnected())
        return Code::Ok;
    return DeliverTransformed(hr, std::move(sample));
}

}  // namespace kelvor::media
