// General stages: the infinite pin tee, the audio resampler (in the place of the audio
// compression wrapper) and the colour converter.
//
// Threads: settings on the driving thread while stopped; samples on the streaming thread.
// The tee hands the same sample to every output, so a receiver that changes data in place must
// be the only one, as with the platform's tee.
#pragma once

#include <memory>

#include "media/engine/Filter.h"
#include "media/engine/TransformFilter.h"

namespace kelvor::media {

// Pins: the input, then the outputs; connecting the last output adds a free one at the end.
class InfiniteTeeFilter : public BaseFilter {
  public:
    InfiniteTeeFilter();
    InputPin& Input() const { return *GetInputPin(0); }
    // The k-th output (0 first), or nullptr; the free one is always the last.
    OutputPin* Output(int k) const { return GetOutputPin(k); }
    OutputPin& FreeOutput() const {
        return *GetOutputPin(static_cast<int>(OutputPins().size()) - 1);
    }
    Status CheckMediaType(const Pin& pin, const MediaType& mt) override;
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) override;
    Status CompleteConnect(Pin& pin) override;
    Status Receive(InputPin& pin, SamplePtr sample) override;
};

// 16-bit PCM in, 16-bit PCM out at the output rate and channel count (the input's until set).
// Sound whose rate and channels stay passes through unchanged.
class AudioResamplerFilter : public TransformFilter {
  public:
    AudioResamplerFilter();
    ~AudioResamplerFilter() override;
    // While stopped, before the output is connected (a connected output must be joined again to
    // take it). Code::InvalidArgument outside 8000..192000 Hz; 0 goes back to the input's rate.
    Status SetOutputRate(int rate);
    int OutputRate() const { return rate_; }
    // 1 to 8 channels; 0 goes back to the input's count. While stopped, as the rate.
    Status SetOutputChannels(int channels);
    void EndOfStream(InputPin& pin) override;

  protected:
    Status CheckInputType(const MediaType& mt) override;
    Status CheckTransform(const MediaType& in, const MediaType& out) override;
    Status GetMediaType(int position, MediaType& mt) override;
    Status DecideBufferSize(AllocatorProperties& props) override;
    Status StartStreaming() override;
    Status Transform(const MediaSample& in, MediaSample& out) override;
    Status StopStreaming() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> s_;
    int rate_ = 0;
    int channels_ = 0;
    std::int64_t samplesOut_ = 0;
};

// Planar DV pictures (I420, Y41B) or RGB24 in, RGB24 bottom-up of the same size out.
class ColourConverterFilter : public TransformFilter {
  public:
    ColourConverterFilter();
    ~ColourConverterFilter() override;

  protected:
    Status CheckInputType(const MediaType& mt) override;
    Status CheckTransform(const MediaType& in, const MediaType& out) override;
    Status GetMediaType(int position, MediaType& mt) override;
    Status DecideBufferSize(AllocatorProperties& props) override;
    Status Transform(const MediaSample& in, MediaSample& out) override;
    Status StopStreaming() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> s_;
};

}  // namespace kelvor::media
