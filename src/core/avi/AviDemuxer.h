// Reads the chunks of an AVI file's streams by number: each stream's chunk list comes from the
// OpenDML indexes (indx and its ix## chunks), else from idx1, else from a walk of the "movi"
// lists. Meant for DV (type 1 and type 2) and PCM streams; any stream's chunks can be read.
//
// Nothing from the file is trusted: every index entry is checked against the file size and
// dropped when its chunk does not lie wholly inside the file, so a truncated file yields exactly
// its whole chunks. Index sizes are checked against their chunks before any allocation; the
// chunk lists hold at most one entry per 8 bytes of file.
//
// Ownership: the demuxer owns its PositionedFile. Threads: one thread at a time. Failure:
// open() returns false (errorText() says why) for a file that is not RIFF AVI or has no
// readable header; readChunk() returns no value for a chunk it cannot read in full.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/avi/PositionedFile.h"

namespace kelvor::avi {

enum class IndexSource { None, OpenDml, Idx1, Walk };

struct AviChunk {
    std::uint64_t Offset = 0;  // file offset of the chunk data (after its 8-byte header)
    std::uint32_t Size = 0;    // bytes of data
    bool KeyFrame = true;
};

struct AviStreamInfo {
    std::uint32_t Type = 0;                 // fccType: "vids", "auds", "iavs", ...
    std::uint32_t Handler = 0;              // fccHandler
    std::array<std::uint8_t, 56> Header{};  // the strh data (zero-filled when shorter)
    std::vector<std::uint8_t> Format;       // the strf data (at most 64 KiB kept)
    std::uint32_t Scale = 0;                // strh dwScale and dwRate
    std::uint32_t Rate = 0;
    std::uint32_t Length = 0;        // strh dwLength as stored
    std::uint32_t SampleSize = 0;    // strh dwSampleSize as stored
    std::uint64_t ChunkCount = 0;    // chunks found (frames of a video stream)
    std::uint64_t TotalBytes = 0;    // bytes in those chunks
    std::uint32_t MaxChunkSize = 0;  // the largest of them
};

class AviDemuxer {
  public:
    AviDemuxer();
    ~AviDemuxer();
    AviDemuxer(const AviDemuxer&) = delete;
    AviDemuxer& operator=(const AviDemuxer&) = delete;

    bool open(const std::string& path);
    bool open(std::unique_ptr<PositionedFile> file);

    const std::array<std::uint8_t, 56>& mainHeader() const;
    const std::vector<AviStreamInfo>& streams() const;
    IndexSource indexSource() const;
    // The first "vids" or "iavs" stream, or -1.
    int videoStream() const;
    // The first "auds" stream, or -1.
    int audioStream() const;

    std::uint64_t chunkCount(std::size_t stream) const;
    std::optional<AviChunk> chunk(std::size_t stream, std::uint64_t index) const;
    // Reads chunk `index` of `stream` into the caller's buffer and returns its size; no value
    // when the chunk does not exist, the buffer is too small or the read comes up short.
    std::optional<std::size_t> readChunk(std::size_t stream, std::uint64_t index,
                                         std::span<std::uint8_t> buffer);

    PositionedFile* file() const;
    const std::string& errorText() const;

  private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace kelvor::avi
