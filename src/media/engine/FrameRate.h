// The frame-rate converter: uncompressed pictures or DV frames in, the same out at another frame
// rate, each repeated or dropped on its time (PAL's 25 frames/s into NTSC's 30000/1001 and back).
//
// Output frame n is due at base + n / rate, base being the start time of the first picture of
// the run; it shows the input picture whose time span holds that moment. A picture shown twice
// goes out twice, each time as a sample of its own with every property of the input (its
// attachment too, so the facts of the DV frame a picture came from stay with each copy). Output
// samples carry their own start and stop times and the output frame numbers as media times.
// With equal rates every picture goes out once, unchanged.
//
// Threads: settings and connections on the driving thread while stopped; Receive and
// EndOfStream on the streaming thread. Never fails a sample; a picture without times is taken to
// last one input frame.
#pragma once

#include <cstdint>

#include "media/engine/Filter.h"

namespace kelvor::media {

class FrameRateFilter : public BaseFilter {
  public:
    FrameRateFilter();
    InputPin& Input() const { return *input_; }
    OutputPin& Output() const { return *output_; }

    // Frames per second as num/den (25/1, 30000/1001); while stopped, before the output is
    // connected. Code::InvalidArgument for a rate that is not positive.
    Status SetOutputRate(std::int64_t num, std::int64_t den);
    std::int64_t RateNum() const { return num_; }
    std::int64_t RateDen() const { return den_; }
    // The frame duration of that rate in 100 ns units, rounded.
    StreamTime OutputFrameTime() const;

    Status CheckMediaType(const Pin& pin, const MediaType& mt) override;
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) override;
    Status DecideBufferSize(const Pin& pin, AllocatorProperties& props) override;
    Status Pause() override;
    Status Receive(InputPin& pin, SamplePtr sample) override;

  private:
    StreamTime dueTime(std::int64_t n) const;  // base_ + n / rate

    InputPin* input_;
    OutputPin* output_;
    std::int64_t num_ = 25;
    std::int64_t den_ = 1;
    // Streaming state, reset at the start of a run.
    bool started_ = false;
    StreamTime base_ = 0;
    StreamTime nextInput_ = 0;  // start of the next picture when pictures carry no time
    std::int64_t next_ = 0;     // the next output frame number
};

}  // namespace kelvor::media
