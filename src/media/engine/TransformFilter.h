// The two base classes of the program's own filters, each with one input pin (position 0) and
// one output pin (position 1).
//
// TransformFilter copies: for each input sample it takes a fresh output buffer, copies the
// sample's times and flags, and calls Transform(in, out); Code::Ok delivers the output sample,
// Code::False drops it, a failure ends the stream with an error event. InPlaceTransformFilter works
// on the sample that goes on: Transform(sample), then the same sample is delivered. A filter that
// does not modify the data says so at creation.
//
// Threads: CheckInputType, CheckTransform, GetMediaType and DecideBufferSize run on the thread
// that builds the graph; StartStreaming when the graph leaves the stopped state (driving thread);
// Transform on the streaming thread; StopStreaming from Stop, after streaming has ended.
#pragma once

#include <memory>

#include "media/engine/Filter.h"

namespace kelvor::media {

// What both bases share: the two pins, streaming started on leaving the stopped state and
// stopped with the filter, the input type checks, and what a transform's result means.
class OneToOneFilter : public BaseFilter {
  public:
    InputPin& Input() const { return *input_; }
    OutputPin& Output() const { return *output_; }
    // The connected input type (meaningful once the input is connected).
    const MediaType& InputMediaType() const { return input_->CurrentMediaType(); }

    Status Pause() override;
    // A filter that overrides Stop does its own work and then calls its base's Stop.
    Status Stop() override;

  protected:
    OneToOneFilter(std::string displayName, std::string classId, std::string inputName,
                   std::string outputName);

    virtual Status CheckInputType(const MediaType& mtIn) = 0;
    virtual Status CheckTransform(const MediaType& mtIn, const MediaType& mtOut) = 0;
    virtual Status StartStreaming() { return Code::Ok; }
    virtual Status StopStreaming() { return Code::Ok; }
    // What a transform's result means for the sample that goes on: Code::Ok delivers it,
    // Code::False drops it, a failure ends the stream with an error event.
    Status DeliverTransformed(Status hr, SamplePtr out);

  private:
    Status CheckMediaType(const Pin& pin, const MediaType& mt) final;

    InputPin* input_;
    OutputPin* output_;
    bool streaming_ = false;
};

class TransformFilter : public OneToOneFilter {
  public:
    TransformFilter(std::string displayName, std::string classId);

    const MediaType& OutputMediaType() const { return Output().CurrentMediaType(); }

  protected:
    // The output type at a position (0 first); Code::NoMoreItems after the last.
    virtual Status GetMediaType(int position, MediaType& mt) = 0;
    // The input types this filter prefers, best first, for a graph builder that must insert
    // converters in front of it; none by default.
    virtual Status GetInputMediaType(int /*position*/, MediaType& /*mt*/) {
        return Code::NoMoreItems;
    }
    virtual Status DecideBufferSize(AllocatorProperties& props) = 0;
    virtual Status Transform(const MediaSample& in, MediaSample& out) = 0;
    // Transform and delivery of one sample; a filter that must see what the delivery returned
    // overrides it and calls this one.
    Status Receive(InputPin& pin, SamplePtr sample) override;

  private:
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) final;
    Status DecideBufferSize(const Pin& pin, AllocatorProperties& props) final;
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
    Status SetFrameThreads(bool on);

    Status Receive(InputPin& pin, SamplePtr sample) override;
    void EndOfStream(InputPin& pin) override;
    void Flushed() override;

  protected:
    // Makes the objects of `lanes` lanes (1 or 2); a codec of a filter with two lanes needs no
    // threads of its own.
    virtual Status StartLanes(int lanes) = 0;
    virtual void StopLanes() = 0;
    // One frame through a lane; false when it gave nothing (Finish decides what that means).
    virtual bool Work(int lane, const MediaSample& in, MediaSample& out) = 0;
    // Code::Ok delivers out, Code::False drops it, a failure ends the stream.
    virtual Status Finish(int lane, bool worked, MediaSample& out) = 0;

  private:
    class Worker;
    Status StartStreaming() final;
    Status Transform(const MediaSample& in, MediaSample& out) final;
    Status StopStreaming() final;
    Status finishAndDeliver(int lane, bool worked, SamplePtr out);
    bool frameThreads_ = true;
    std::unique_ptr<Worker> worker_;  // while streaming with frame threads
    SamplePtr pending_;               // streaming thread: the worker's frame, not yet delivered
};

class InPlaceTransformFilter : public OneToOneFilter {
  public:
    InPlaceTransformFilter(std::string displayName, std::string classId, bool modifiesData);

    bool ModifiesData() const { return modifiesData_; }

  protected:
    // Default: the output carries the input's type unchanged.
    Status CheckTransform(const MediaType& mtIn, const MediaType& mtOut) override;
    // Code::Ok passes the sample on, Code::False drops it.
    virtual Status Transform(MediaSample& sample) = 0;

  private:
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) final;
    Status Receive(InputPin& pin, SamplePtr sample) final;

    bool modifiesData_;
};

}  // namespace kelvor::media
