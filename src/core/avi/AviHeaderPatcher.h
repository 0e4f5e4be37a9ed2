// Finds the file offsets of the video stream's codec code, frame rate and bitmap compression
// code, and reads or writes those fields in place. Only those 4 or 8 bytes of a file ever
// change; its size never does.
//
// One AviHeaderPatcher serves the whole program (the program entry owns it and passes it by
// reference). Its operations may be called from any thread; they are serialised, so one walk
// and its read or write run at a time, and the results of the last walk are kept for
// lastOffsets(). A call made from inside the message pump callback (on the thread that is
// walking) would wait for itself: it is refused instead (ReadCodec and WriteFrameRate raise,
// WriteCodec returns false, LocateHeaderFields returns no offsets).
//
// Failure: ReadCodec and WriteFrameRate raise FileError when the file cannot be opened, read or
// written, and WriteFrameRate raises std::invalid_argument for a rate whose scale does not fit
// 32 bits; WriteCodec returns false on any error. A write that fails puts back the bytes of
// every field it had touched, so a failed patch leaves the file as it was (as far as the disk
// lets those bytes be written back).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "core/avi/PositionedFile.h"
#include "core/avi/RiffChunks.h"

namespace kelvor::avi {

struct HeaderFieldOffsets {
    std::int64_t CodecOffset = -1;        // fccHandler of the last vids/iavs stream header
    std::int64_t ScaleOffset = -1;        // dwScale of that header; dwRate follows
    std::int64_t CompressionOffset = -1;  // biCompression of the last strf after a vids header
    friend bool operator==(const HeaderFieldOffsets&, const HeaderFieldOffsets&) = default;
};

// Lists deeper than this are passed over whole rather than walked.
inline constexpr int kMaxPatcherDepth = kMaxChunkDepth;

class AviHeaderPatcher {
  public:
    // Called at the start of every chunk of a walk, on the walking thread. The window sets one
    // that lets its pending messages run when it is called on the UI thread and does nothing on
    // any other thread.
    using MessagePump = std::function<void()>;

    void setMessagePump(MessagePump pump);

    HeaderFieldOffsets LocateHeaderFields(const std::string& fileName);
    // The code at CodecOffset; 0 when the file has no video stream header.
    std::uint32_t ReadCodec(const std::string& fileName);
    bool WriteCodec(const std::string& fileName, std::uint32_t code);
    void WriteFrameRate(const std::string& fileName, double rate);

    HeaderFieldOffsets lastOffsets() const;

    // One field to patch: its offset and its new bytes (at most 8).
    struct FieldWrite {
        std::int64_t Offset = -1;
        std::uint8_t Bytes[8]{};
        std::size_t Size = 0;
    };
    // Writes the fields in order; fields at a negative offset or past the end are passed over.
    // When a write fails, the former bytes of the fields written so far (the failed one
    // included) are written back and the result is false.
    static bool PatchFields(PositionedFile& file, std::span<const FieldWrite> fields);

    // The walk itself over a file already open, without the lock (tests, fuzzing).
    static HeaderFieldOffsets Walk(PositionedFile& file, const MessagePump& pump = {});
    // round(1 000 000 / rate), ties to even; raises std::invalid_argument when the rate is not
    // above 0 or the scale is 0 or does not fit 32 bits.
    static std::uint32_t ScaleForRate(double rate);

  private:
    class Guard;

    mutable std::mutex mutex_;  // guards offsets_ and pump_, and serialises the operations
    std::atomic<std::thread::id> owner_{};
    HeaderFieldOffsets offsets_;
    MessagePump pump_;
};

}  // namespace kelvor::avi
