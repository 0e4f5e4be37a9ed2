// The two base classes of the program's own filters, each with one input pin (position 0) and
// one output pin (position 1).
//
// TransformFilter copies: for each input sample it takes a fresh output buffer, copies the
// sample's times and flags, and calls Transform(in, out); S_OK delivers the output sample, S_FALSE
// drops it, a failure ends the stream with an error event.
// InPlaceTransformFilter works on the sample that goes on: Transform(sample), then the same sample
// is delivered. A filter that does not modify the data says so at creation.
//
// Threads: CheckInputType, CheckTransform, GetMediaType and DecideBufferSize run on the thread
// that builds the graph; StartStreaming when the graph leaves the stopped state (driving thread);
// Transform on the streaming thread; StopStreaming from Stop, after streaming has ended.
#pragma once

#include <memory>

#include "media/engine/Filter.h"

namespace kelvor::media {

class TransformFilter : public BaseFilter {
  public:
    TransformFilter(std::string displayName, std::string classId);

    InputPin& Input() const { return *input_; }
    OutputPin& Output() const { return *output_; }
    // The connected input type (meaningful once the input is connected).
    const MediaType& InputMediaType() const { return input_->CurrentMediaType(); }
    const MediaType& OutputMediaType() const { return output_->CurrentMediaType(); }

    HRESULT Pause() override;
    HRESULT Stop() override;

  protected:
    virtual HRESULT CheckInputType(const MediaType& mtIn) = 0;
    virtual HRESULT CheckTransform(const MediaType& mtIn, const MediaType& mtOut) = 0;
    // The output type at a position (0 first); VFW_S_NO_MORE_ITEMS after the last.
    virtual HRESULT GetMediaType(int position, MediaType& mt) = 0;
    // The input types this filter prefers, best first, for a graph builder that must insert
    // converters in front of it; none by default.
    virtual HRESULT GetInputMediaType(int /*position*/, MediaType& /*mt*/) {
        return VFW_S_NO_MORE_ITEMS;
    }
    virtual HRESULT DecideBufferSize(AllocatorProperties& props) = 0;
    virtual HRESULT StartStreaming() { return S_OK; }
    virtual HRESULT Transform(const MediaSample& in, MediaSample& out) = 0;
    virtual HRESULT StopStreaming() { return S_OK; }
    // Transform and delivery of one sample; a filter that must see what the delivery returned
    // overrides it and calls this one.
    HRESULT Receive(InputPin& pin, SamplePtr sample) override;
    // What a transform's result means for its output sample: S_OK delivers it, S_FALSE drops
    // it, a failure ends the stream with an error event.
    HRESULT DeliverTransformed(HRESULT hr, SamplePtr out);

  private:
    HRESULT CheckMediaType(const Pin& pin, const MediaType& mt) final;
    HRESULT GetMediaType(const Pin& pin, int position, MediaType& mt) final;
    HRESULT DecideBufferSize(const Pin& pin, AllocatorProperties& props) final;

    InputPin* input_;
    OutputPin* output_;
    bool streaming_ = false;
};

// A transform whose frames are independent of each other (a DV codec): while the graph runs,
// two frames are worked on at once, one on the streaming thread and one on a thread of the
// filter's own, each in a lane with its own codec, and delivered in order one frame late.
// Paused, or with frame threads off, each frame goes through lane 0 and on at once, so a
// renderer prerolls on the first frame.
//
// Threads: StartLanes and StopLanes on the driving thread; Work on the streaming thread (lane
// 0) or the filter's thread (lane 1), each lane's objects used by one thread at a time; Finish
// on the streaming thread, in the frames' order, with both lanes idle.
class PairedTransformFilter : public TransformFilter {
  public:
    PairedTransformFilter(std::string displayName, std::string classId);
    ~PairedTransformFilter() override;
    // On by default; while stopped.
    HRESULT SetFrameThreads(bool on);

    HRESULT Receive(InputPin& pin, SamplePtr sample) override;
    void EndOfStream(InputPin& pin) override;
    void Flushed() override;

  protected:
    // Makes the objects of `lanes` lanes (1 or 2); a codec of a filter with two lanes needs no
    // threads of its own.
    virtual HRESULT StartLanes(int lanes) = 0;
    virtual void StopLanes() = 0;
    // One frame through a lane; false when it gave nothing (Finish decides what that means).
    virtual bool Work(int lane, const MediaSample& in, MediaSample& out) = 0;
    // S_OK delivers out, S_FALSE drops it, a failure ends the stream.
    virtual HRESULT Finish(int lane, bool worked, MediaSample& out) = 0;

  private:
    class Worker;
    HRESULT StartStreaming() final;
    HRESULT Transform(const MediaSample& in, MediaSample& out) final;
    HRESULT StopStreaming() final;
    HRESULT finishAndDeliver(int lane, bool worked, SamplePtr out);
    bool frameThreads_ = true;
    std::unique_ptr<Worker> worker_;  // while streaming with frame threads
    SamplePtr pending_;               // streaming thread: the worker's frame, not yet delivered
};

class InPlaceTransformFilter : public BaseFilter {
  public:
    InPlaceTransformFilter(std::string displayName, std::string classId, bool modifiesData);

    InputPin& Input() const { return *input_; }
    OutputPin& Output() const { return *output_; }
    const MediaType& InputMediaType() const { return input_->CurrentMediaType(); }
    bool ModifiesData() const { return modifiesData_; }

    HRESULT Pause() override;
    // A filter that overrides Stop does its own work and then calls InPlaceTransformFilter::Stop.
    HRESULT Stop() override;

  protected:
    virtual HRESULT CheckInputType(const MediaType& mtIn) = 0;
    // Default: the output carries the input's type unchanged.
    virtual HRESULT CheckTransform(const MediaType& mtIn, const MediaType& mtOut);
    virtual HRESULT StartStreaming() { return S_OK; }
    // S_OK passes the sample on, S_FALSE drops it.
    virtual HRESULT Transform(MediaSample& sample) = 0;
    virtual HRESULT StopStreaming() { return S_OK; }

  private:
    HRESULT CheckMediaType(const Pin& pin, const MediaType& mt) final;
    HRESULT GetMediaType(const Pin& pin, int position, MediaType& mt) final;
    HRESULT Receive(InputPin& pin, SamplePtr sample) final;

    InputPin* input_;
    OutputPin* output_;
    bool modifiesData_;
    bool streaming_ = false;
};

}  // namespace kelvor::media
