// The frames of a DV file through the date scene detector without the media engine: the frames
// the date scene graph would stream (the chunks of the first "iavs" stream, or of the first
// "vids" stream whose compression, else handler, is dvsd; the frames of a raw DV file by its
// frame size), in the same order, the detector seeing the same facts of each.
//
// Of each frame only its first two DIF sequences' leading blocks are read (the date, time,
// timecode, aspect and sound packs and their repeats there); a frame whose packs are missing or
// disagree there is read whole, so damaged frames give exactly what the graph gives. A chunk of
// another size than a DV frame is never read: it says nothing either way.
//
// Ownership: the scan owns its file. Threads: one thread at a time. Failure: Open answers null
// for a file that is neither raw DV nor an AVI file with such a stream, or one whose chunk the
// graph would refuse; Run answers false when a read fails, after the frames before it went
// through, and ErrorText says why.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/avi/AviDemuxer.h"
#include "core/avi/PositionedFile.h"
#include "core/scenes/DateSceneDetector.h"

namespace kelvor::scenes {

class DvFrameScan {
  public:
    static std::unique_ptr<DvFrameScan> Open(const std::string& path);

    std::uint64_t FrameCount() const { return frameCount_; }
    // Every frame through detector.ProcessSample or ProcessFrameFacts, between the caller's
    // StartStreaming and FinishStream.
    bool Run(DateSceneDetector& detector);
    const std::string& ErrorText() const { return error_; }
    // The file's reads so far, for those who check how little was read.
    const avi::PositionedFile& File() const { return *file_; }
    // Frames read whole so far, their sampled packs not being enough.
    std::uint64_t WholeFrameReads() const { return wholeReads_; }

  private:
    DvFrameScan() = default;
    // Where frame `index` lies; no value past the frames of the stream.
    std::optional<avi::AviChunk> frame(std::uint64_t index) const;

    // An AVI file: its demuxer, which owns the file, and the stream read.
    std::unique_ptr<avi::AviDemuxer> demuxer_;
    std::size_t stream_ = 0;
    // A raw DV file: the file, cut into frames of one size (the last may be short).
    std::unique_ptr<avi::PositionedFile> rawFile_;
    std::uint32_t rawFrameSize_ = 0;
    avi::PositionedFile* file_ = nullptr;
    std::string path_;
    std::uint64_t frameCount_ = 0;
    std::uint64_t wholeReads_ = 0;
    std::string error_;
};

}  // namespace kelvor::scenes
