// The file of a byte stream that the file writer writes (a WAV file), in the IStream role: bytes
// land at the positions their writers name, and the stream's producer seeks back at its stop to
// put its header in. The file is written beside the target under a temporary name and moved into
// place when the last of its users lets go, so a header written at the producer's stop is in the
// file before it replaces the target, whichever of the writer and the producer stops first. A
// run stopped early keeps what was written; a run in which no sample and no end of stream
// arrived (one that failed to start) leaves the target as it was.
//
// Small writes that follow one another are gathered into blocks of kBlockSize before they reach
// the file (a WAV file gets its sound a frame's worth at a time), larger ones (raw DV frames) go
// straight from the caller's bytes; any other write, and every Release, first writes out what is
// gathered, so a failure is reported no later than the release of the file writer.
//
// Shared through std::shared_ptr by the file writer and the producer upstream of it. Every call
// takes the object's mutex, so any thread may call. Failures are result codes: Code::Fail when the
// temporary file cannot be created, written or moved into place, with the reason in words
// ("/v/a.wav: write failed: No space left on device"); the target then stays as it was and the
// temporary file is removed.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "media/engine/Status.h"

namespace kelvor::media {

class ByteStreamFile {
  public:
    static constexpr std::size_t kBlockSize = 1024 * 1024;
    static constexpr std::size_t kGatherBelow = 64 * 1024;

    explicit ByteStreamFile(std::string target);
    ~ByteStreamFile();  // a file still in use is removed, the target kept
    ByteStreamFile(const ByteStreamFile&) = delete;
    ByteStreamFile& operator=(const ByteStreamFile&) = delete;

    const std::string& Target() const { return target_; }

    // One more user; the first creates the temporary file (a new one after a file was moved
    // into place).
    Status Acquire();
    // The stream has begun (a sample or its end arrived): the last release will move the file
    // into place rather than drop it.
    void Keep();
    // One user fewer; the last moves the file into place (Code::Ok, or Code::Fail when that failed)
    // or, without Keep, removes it and answers Code::False.
    Status Release();

    // Moves the write position (from the start of the file).
    Status Seek(std::uint64_t position);
    // Writes at the write position and advances it; Code::Fail when no user holds the file.
    Status Write(std::span<const std::uint8_t> bytes);
    // Seek and Write as one step, for writers on different threads.
    Status WriteAt(std::uint64_t position, std::span<const std::uint8_t> bytes);

    // The temporary name of the file being written; empty when none is open.
    std::string TemporaryName() const;

  private:
    Status writeLocked(std::uint64_t position, std::span<const std::uint8_t> bytes);
    Status writeOut(std::uint64_t position, std::span<const std::uint8_t> bytes);  // mutex_ held
    Status flushLocked();    // writes out the gathered bytes; mutex_ held
    void removeTemporary();  // mutex_ held
    // Marks the file failed and keeps the first reason, from errno; always false. mutex_ held.
    bool noteFailure(const char* what);

    const std::string target_;
    mutable std::mutex mutex_;  // guards everything below
    std::string temp_;
    int fd_ = -1;
    int users_ = 0;
    bool failed_ = false;
    std::string error_;  // the reason of the first failure
    bool keep_ = false;
    std::uint64_t position_ = 0;
    std::vector<std::uint8_t> gathered_;  // bytes not yet written, from gatheredAt_ on
    std::uint64_t gatheredAt_ = 0;
};

}  // namespace kelvor::media
