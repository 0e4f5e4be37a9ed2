// The frames of a DV file through the date scene detector without the media engine: the frames
// the date scene graph would stream (the chunks of the first "iavs" stream, or of the first
// "vids" stream whose compression, else handler, is dvsd; the frames of a raw DV file by its
// frame size), in the same order, the detector seeing the same facts of each.
//
// Of each frame only its first two DIF sequences' leading blocks are read (the date, time,
// timecode, aspect and sound packs and their repeats there); a frame whose packs are missing or
// disagree there is read whole, so damaged frames give exactly the facts the graph gives. A chunk
// of another size than a DV frame is never read: it says nothing either way. The detector gets
// every frame as facts (ProcessFrameFacts), so its HeaderBlocks are not kept.
//
// A long file is read by two threads, each with its own descriptor and buffers: the calling one
// takes the even batches of frames, a helper the odd ones, and the facts reach the detector
// batch by batch in frame order, so the detector sees what one reader would show it. At most
// kHandOverSlots batches wait for the caller, whatever the file's length.
//
// Ownership: the scan owns its file. Threads: one thread at a time calls it; Run starts and joins
// its helper. Failure: Open answers null for a file that is neither raw DV nor an AVI file with
// such a stream, or one whose chunk the graph would refuse; Run answers false when a read fails,
// after the frames before it went through, and ErrorText says why.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

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
    // Frames per batch; a file of more than one batch is read by two threads. Tests make it
    // small to cross many hand-overs; 0 keeps the reading on the calling thread.
    void SetBatchFrames(std::uint32_t frames) { batchFrames_ = frames; }
    // The bytes and calls of every read so far, both threads', for those who check how little
    // was read.
    std::uint64_t BytesRead() const;
    std::uint64_t ReadCalls() const;
    // Frames read whole so far, their sampled packs not being enough.
    std::uint64_t WholeFrameReads() const { return wholeReads_; }

    static constexpr std::uint32_t kDefaultBatchFrames = 128;
    static constexpr std::size_t kHandOverSlots = 4;

  private:
    // What the detector is told of one frame.
    struct ScannedFrame {
        bool Readable = false;
        dv::FrameFacts Facts;
    };
    // One thread's file and buffers.
    struct Reader {
        avi::PositionedFile* File = nullptr;
        // A frame's bytes, left uninitialised: most frames fill only its first pages, and
        // zeroing all of it would fault in every page for nothing.
        std::unique_ptr<std::uint8_t[]> Whole;
        std::uint64_t WholeReads = 0;
    };
    // A batch read by the helper: free while the helper may fill it, ready once filled.
    struct Slot {
        bool Ready = false;
        std::uint64_t Batch = 0;
        std::vector<ScannedFrame> Frames;
        std::optional<std::uint64_t> FailedAt;
    };

    DvFrameScan() = default;
    // Where frame `index` lies; no value past the frames of the stream.
    std::optional<avi::AviChunk> frame(std::uint64_t index) const;
    // Frames [first, last) into `out`, which it resizes; the frame whose read failed, if one
    // did, `out` then holding the frames before it. Touches only the reader and `out`.
    std::optional<std::uint64_t> scanFrames(Reader& reader, std::uint64_t first, std::uint64_t last,
                                            std::vector<ScannedFrame>& out) const;
    // The helper's loop: the odd batches, in order, into the slots.
    void readOddBatches(Reader& reader, std::uint64_t batches);
    bool runBatches(DateSceneDetector& detector, avi::DiskFile* second);
    bool readFailed(std::uint64_t index);

    // An AVI file: its demuxer, which owns the file, and the stream read.
    std::unique_ptr<avi::AviDemuxer> demuxer_;
    std::size_t stream_ = 0;
    // A raw DV file: the file, cut into frames of one size (the last may be short).
    std::unique_ptr<avi::PositionedFile> rawFile_;
    std::uint32_t rawFrameSize_ = 0;
    avi::PositionedFile* file_ = nullptr;
    // The same file as a descriptor of its own can be made of it, for the helper.
    avi::DiskFile* disk_ = nullptr;
    std::string path_;
    std::uint64_t frameCount_ = 0;
    std::uint64_t wholeReads_ = 0;
    std::uint32_t batchFrames_ = kDefaultBatchFrames;
    // The helper's reads, added once it has been joined.
    std::uint64_t helperBytes_ = 0;
    std::uint64_t helperCalls_ = 0;
    std::string error_;

    // The hand-over between the helper and the calling thread: a slot's Frames and FailedAt are
    // written by the helper only while the slot is not Ready, and read by the caller only once
    // it is; Ready, Batch and stop_ change under handOverMutex_.
    std::mutex handOverMutex_;
    std::condition_variable handOver_;
    std::vector<Slot> slots_;
    bool stop_ = false;
};

}  // namespace kelvor::scenes
