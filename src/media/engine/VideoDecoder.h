// Decoding the pictures of any other AVI video codec libavcodec knows (MJPEG, MPEG-4, ...),
// found from the stream's four-character code, into RGB24 bottom-up pictures of the same size,
// or planar 4:2:0 (I420, studio range) when the next stage takes that.
// A codec that holds frames back (B-frames) gives them out at the end of the stream.
//
// Threads: connection on the driving thread; Receive and EndOfStream on the streaming thread.
// Failure: a type whose codec is unknown is refused (Code::TypeNotAccepted); a sample that
// does not decode is skipped.
#pragma once

#include <cstdint>
#include <memory>

#include "media/engine/Filter.h"

struct AVFrame;

namespace kelvor::media {

class VideoDecoderFilter : public BaseFilter {
  public:
    VideoDecoderFilter();
    ~VideoDecoderFilter() override;
    InputPin& Input() const { return *input_; }
    OutputPin& Output() const { return *output_; }

    Status CheckMediaType(const Pin& pin, const MediaType& mt) override;
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) override;
    Status DecideBufferSize(const Pin& pin, AllocatorProperties& props) override;
    Status Pause() override;
    Status Stop() override;
    Status Receive(InputPin& pin, SamplePtr sample) override;
    void EndOfStream(InputPin& pin) override;

  private:
    struct Impl;
    Status drain();  // delivers every picture the codec has ready
    // A picture into the planar 4:2:0 layout in studio range, at out.
    bool toPlanar(const AVFrame* f, int format, bool fullRange, std::uint8_t* out);
    Status deliver(const AVFrame* f, SamplePtr out, std::size_t bytes);
    InputPin* input_;
    OutputPin* output_;
    std::unique_ptr<Impl> s_;
};

}  // namespace kelvor::media
