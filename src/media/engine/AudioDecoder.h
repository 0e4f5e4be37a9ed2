// Decoding the sound of any AVI audio codec libavcodec knows (MP3, AC-3, ADPCM, 8-, 24- and
// 32-bit or floating-point PCM, ...), found from the WAVEFORMATEX format tag, into 16-bit
// interleaved PCM at the stream's rate and channel count. What the codec holds back comes out at
// the end of the stream.
//
// Threads: connection on the driving thread; Receive and EndOfStream on the streaming thread.
// Failure: a format tag no decoder knows is refused (Code::TypeNotAccepted); a packet that
// does not decode is skipped; a decoder that cannot start fails the pause with Code::Fail.
#pragma once

#include <memory>

#include "media/engine/Filter.h"

namespace kelvor::media {

// True when the type is 16-bit integer PCM, which needs no decoding.
bool IsPcm16(const MediaType& mt);

class AudioDecoderFilter : public BaseFilter {
  public:
    AudioDecoderFilter();
    ~AudioDecoderFilter() override;
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
    Status drain();  // delivers the sound the codec has ready
    InputPin* input_;
    OutputPin* output_;
    std::unique_ptr<Impl> s_;
};

}  // namespace kelvor::media
