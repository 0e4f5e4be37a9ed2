// Writing DV AVI files: the AVI mux (inputs: one "iavs" stream for DV type 1, or a "vids" dvsd
// stream and PCM "auds" streams for DV type 2; output: the file stream) and the file writer it
// connects to, which names the file. The mux writes through our AVI writer, beside the target
// under a temporary name that replaces the target when the stream ends, so a failed run never
// leaves a half file in its place. A run stopped early keeps what was written (the writer
// closes the file with headers and indexes for the frames written).
// Any other stream (a WAV file's) the file writer writes itself through its ByteStreamFile: each
// sample at the byte position its start time gives (after the previous one when it has none).
//
// Threads: settings on the driving thread while stopped; samples from streaming threads, paired
// under the mux's lock; an input more than a second ahead of the others waits, so the chunks
// interleave and memory stays bounded. A write failure ends the run with EventCode::ErrorAbort.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "media/engine/ByteStreamFile.h"
#include "media/engine/Filter.h"
#include "media/engine/Renderer.h"

namespace kelvor::avi {
class AviWriter;
}

namespace kelvor::media {

class FileWriterFilter : public RendererBase {
  public:
    FileWriterFilter();
    // Overwrite mode is the only mode: an existing file is replaced once the new one is done.
    Status SetFileName(const std::string& fileName);
    const std::string& FileName() const { return fileName_; }
    bool PrerollsOnPause() const override { return false; }

    // The IStream role: the file of a byte stream (not the AVI mux's), for the producer upstream
    // that seeks back to write its header at stop. The producer acquires it before its samples
    // flow and releases it after its last write; the file replaces its target once the writer
    // (at the end of the stream or at stop) and the producer have both released it. Null before
    // a file name is set or while the AVI mux is connected.
    std::shared_ptr<ByteStreamFile> Stream() const;

    Status Pause() override;
    Status Stop() override;

  protected:
    Status CheckInputType(const MediaType& mt) override;
    Status DoRenderSample(const MediaSample& sample) override;
    Status OnEndOfStream() override;

  private:
    bool writesBytes() const;
    Status releaseStream();

    std::string fileName_;
    std::shared_ptr<ByteStreamFile> stream_;  // set while stopped
    std::atomic<bool> holdsStream_{false};
};

// Pins: the output first, then the inputs; connecting the last (free) input adds a new one.
class AviMuxFilter : public BaseFilter {
  public:
    AviMuxFilter();
    ~AviMuxFilter() override;
    OutputPin& Output() const { return *output_; }
    // The k-th input (0 first), or nullptr; the free one is always the last pin.
    InputPin* Input(int k) const { return GetInputPin(k); }
    InputPin* FreeInput() const;
    // Frames written in the current or last run.
    std::uint64_t FramesWritten() const;
    // The frame rate of the file the current or last run wrote, as num/den frames per second;
    // false until its first frame fixed the standard.
    bool FrameRate(std::int64_t& num, std::int64_t& den) const;
    // The stream time (100 ns) up to which video was written, for a progress display; any
    // thread. The start of the stream until the first frame is written.
    StreamTime CurrentPosition() const { return position_.load(); }

    Status CheckMediaType(const Pin& pin, const MediaType& mt) override;
    Status GetMediaType(const Pin& pin, int position, MediaType& mt) override;
    Status CompleteConnect(Pin& pin) override;
    Status Pause() override;
    Status Stop() override;
    // A mux without a connected input ends its output's stream at once, so a graph in which
    // nothing reaches it completes (writing no file) instead of waiting for ever.
    void StartThreads() override;
    Status Receive(InputPin& pin, SamplePtr sample) override;
    void EndOfStream(InputPin& pin) override;

  private:
    struct InputState {
        bool video = false;
        bool connected = false;
        bool ended = false;
        StreamTime time = 0;          // end of what it delivered
        std::deque<SamplePtr> early;  // sound that came before the file could be opened
    };
    int inputIndex(const InputPin& pin) const;
    bool openWriter(std::span<const std::uint8_t> firstFrame);  // mutex_ held
    Status finish();                                            // mutex_ held
    std::string writerError() const;                            // mutex_ held
    std::string notDvFrame(std::size_t size) const;             // the reason, with the file

    OutputPin* output_;
    mutable std::mutex mutex_;  // guards everything below
    std::condition_variable cv_;
    std::vector<InputState> inputs_;
    std::unique_ptr<avi::AviWriter> writer_;
    std::string error_;  // why the writer could not be opened
    bool failed_ = false;
    bool finished_ = false;
    bool stopping_ = false;
    std::uint64_t frames_ = 0;
    std::int64_t rateNum_ = 0, rateDen_ = 1;  // 0 until the writer is opened
    std::atomic<StreamTime> position_{0};
};

}  // namespace kelvor::media
