// The DV stages of the engine: the DV splitter (an interleaved DV stream into whole DV frames
// and PCM sound), the DV video decoder (to RGB24 bottom-up pictures, full or half size), the DV
// video encoder (RGB24 pictures into PAL or NTSC DV frames), and the DV muxer (DV frames plus
// PCM into DV frames with their audio blocks, keeping every subcode and VAUX pack of the frames).
//
// Threads: settings and connections on the driving thread while stopped; samples on streaming
// threads. The muxer takes video and sound from different threads and pairs them under its
// own lock; its audio input waits while it is more than a second ahead of the video, so memory
// stays bounded. Failures end the stream with an error event (EventCode::ErrorAbort).
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "media/engine/Filter.h"
#include "media/engine/TransformFilter.h"

namespace kelvor::media {

class DvPicture;
class DvVideoDecoder;
class DvVideoEncoder;

class DvSplitterFilter : public BaseFilter {
  public:
    DvSplitterFilter();
    InputPin& Input() const { return *input_; }
    // Once the input is connected: the DV video output, then one output per stereo pair.
    OutputPin* VideoOutput() const { return GetOutputPin(0); }
    std::vector<OutputPin*> AudioOutputs() const;

    Status CheckMediaType(const Pin& pin, const MediaType& mt) override;
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) override;
    Status CompleteConnect(Pin& pin) override;
    void BreakConnect(Pin& pin) override;
    Status DecideBufferSize(const Pin& pin, AllocatorProperties& props) override;
    Status Pause() override;
    Status Receive(InputPin& pin, SamplePtr sample) override;
    Status Stop() override;
    // The outputs deliver on the thread that delivers the frames, as SplitterBase's serial
    // delivery; otherwise each gets a queue when more than one is connected. While stopped.
    void SetSerialDelivery(bool serial) { serial_ = serial; }

  private:
    InputPin* input_;
    bool serial_ = false;
    bool pal_ = true;
    int pairs_ = 1;
    int rate_ = 48000;
    std::int64_t audioSamples_ = 0;  // sample frames delivered this run, for the audio times
    std::int64_t frames_ = 0;        // frames received this run, for the length of silence
    // Kept from frame to frame so that a steady stream allocates nothing; streaming thread.
    std::vector<std::int16_t> pcm_;
    std::vector<SamplePtr> sound_;
};

// The decoder's picture sizes; the values are those its callers have always passed.
struct DvResolution {
    enum : int { Full = 1000, Half = 1001 };
};

class DvVideoDecoderFilter : public PairedTransformFilter {
  public:
    DvVideoDecoderFilter();
    ~DvVideoDecoderFilter() override;
    // DvResolution::Full or DvResolution::Half; while stopped and before the output connects.
    Status SetResolution(int resolution);

  protected:
    Status CheckInputType(const MediaType& mt) override;
    Status CheckTransform(const MediaType& in, const MediaType& out) override;
    Status GetMediaType(int position, MediaType& mt) override;
    Status DecideBufferSize(AllocatorProperties& props) override;
    Status StartLanes(int lanes) override;
    void StopLanes() override;
    bool Work(int lane, const MediaSample& in, MediaSample& out) override;
    // A frame that did not decode shows the last picture that did (black before any), so the
    // frame count stays right.
    Status Finish(int lane, bool decoded, MediaSample& out) override;

  private:
    bool pal() const;
    bool planar() const;
    bool half_ = false;
    std::size_t pictureSize_ = 0;
    std::vector<std::unique_ptr<DvVideoDecoder>> decoders_;  // one per lane
    std::unique_ptr<DvPicture> last_;                        // streaming thread
};

// The encoder's standards: 525/60 and 625/50.
struct DvVideoFormat {
    enum : int { Ntsc = 2000, Pal = 2001 };
};

class DvVideoEncoderFilter : public PairedTransformFilter {
  public:
    DvVideoEncoderFilter();
    ~DvVideoEncoderFilter() override;
    Status SetVideoFormat(int format);  // DvVideoFormat::Pal or _NTSC
    bool IsPal() const { return pal_; }
    // The 16:9 flag of the frames; while stopped.
    void SetWide(bool wide) { wide_ = wide; }
    bool Wide() const { return wide_; }

  protected:
    Status CheckInputType(const MediaType& mt) override;
    Status CheckTransform(const MediaType& in, const MediaType& out) override;
    Status GetMediaType(int position, MediaType& mt) override;
    // A picture of the DV frame size at the DV frame rate: the codec's planar layout first (no
    // colour conversion), then RGB24. Any RGB24 picture is accepted and stretched to the frame.
    Status GetInputMediaType(int position, MediaType& mt) override;
    Status DecideBufferSize(AllocatorProperties& props) override;
    Status StartLanes(int lanes) override;
    void StopLanes() override;
    bool Work(int lane, const MediaSample& in, MediaSample& out) override;
    Status Finish(int lane, bool encoded, MediaSample& out) override;

  private:
    bool pal_ = true;
    bool wide_ = false;
    std::vector<std::unique_ptr<DvVideoEncoder>> encoders_;  // one per lane
};

// Pins: the video input, the audio inputs, the output. Once the video input is connected a free
// audio input stands just before the output; connecting it adds the next one there (two at most:
// two 32 kHz pairs are written as 12-bit four-channel sound).
class DvMuxerFilter : public BaseFilter {
  public:
    DvMuxerFilter();
    InputPin& VideoInput() const { return *video_; }
    // The k-th audio input (0 first), or nullptr.
    InputPin* AudioInput(int k) const { return GetInputPin(1 + k); }
    // The next free audio input, just before the output; nullptr until the video input is
    // connected and once both pairs are.
    InputPin* FreeAudioInput() const;
    OutputPin& Output() const { return output(); }

    Status CheckMediaType(const Pin& pin, const MediaType& mt) override;
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) override;
    Status CompleteConnect(Pin& pin) override;
    Status DecideBufferSize(const Pin& pin, AllocatorProperties& props) override;
    Status Pause() override;
    Status Stop() override;
    // Without a connected video input there are no frames to carry the sound: the output's
    // stream ends at once and sound is dropped, so the graph completes.
    void StartThreads() override;
    Status Receive(InputPin& pin, SamplePtr sample) override;
    void EndOfStream(InputPin& pin) override;

  private:
    OutputPin& output() const { return *static_cast<OutputPin*>(GetPin(PinCount() - 1)); }
    int audioIndex(const InputPin& pin) const;  // -1 for the video input

    InputPin* video_;
    // Sound waiting for its video frames, guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable cv_;
    struct AudioQueue {
        std::vector<std::int16_t> pcm;  // interleaved stereo, from head on
        std::size_t head = 0;
        std::size_t queued() const { return pcm.size() - head; }
        int rate = 0;
        bool connected = false;
        bool ended = false;
    };
    AudioQueue audio_[2];
    bool videoEnded_ = false;
    bool stopping_ = false;
    std::int64_t frames_ = 0;
    // The video input's thread only: each frame's sound, kept so that no frame allocates.
    std::vector<std::int16_t> framePcm_[2];
};

}  // namespace kelvor::media
