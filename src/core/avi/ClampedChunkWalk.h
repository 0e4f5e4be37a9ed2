// The walk the header patcher and the structure report share, chunk by chunk from the start of
// the file: a chunk's size is rounded up to its pad byte and cut at the end of the file; lists
// are walked (not "movi", nor below kMaxChunkDepth), a child that claims more than its list has
// left ending the list once it is walked; the known header blocks are read with fixed sizes that
// may run past a shorter chunk, the position then stepping back to the chunk's end. A short read
// anywhere ends the whole walk, as does a top-level chunk that is not "RIFF" or holds nothing.
//
// A walker derives from it and says what it does at each step through the hooks; they run on the
// thread that calls run(). The file must outlive the walk.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/avi/RiffChunks.h"

namespace kelvor::avi {

// The header blocks the walk reads, by chunk id and the kind of the stream header before them.
enum class StreamKind { Video, Audio, Interleaved, Unknown };
enum class HeaderBlock {
    None,
    StreamHeader,
    MainHeader,
    VideoFormat,
    AudioFormat,
    DvFormat,
    Index
};

// The kind a stream header's fccType gives.
StreamKind StreamKindOf(std::uint32_t fccType);
// The block a chunk holds: "strh", "avih", "strf" by the stream kind (none when no stream header
// came before it), "indx" or "ix##".
HeaderBlock HeaderBlockOf(std::uint32_t id, std::optional<StreamKind> kind);

// Bytes read of an index chunk: its header and the entries that fit.
inline constexpr std::size_t kIndexBlockRead = 16384;

class ClampedChunkWalk {
  public:
    virtual ~ClampedChunkWalk() = default;
    // Walks the whole file.
    void run();
    // A read came up short (or the chunk cap was reached): the walk ended there.
    bool endOfData() const { return eof_; }

  protected:
    // A list whose size is below the 4 bytes of its type has a negative count left; with
    // negativeIsLarge that count is taken as unsigned, so the chunks after it are walked as its
    // children (the report's count); otherwise the list holds none (the patcher's).
    ClampedChunkWalk(PositionedFile& file, bool negativeIsLarge)
        : c_(file), negativeIsLarge_(negativeIsLarge) {}

    // Hooks, in the order the walk meets them; each does nothing by default.
    // Before each chunk: false stops the walk (also checked between a list's children).
    virtual bool goOn() { return true; }
    virtual void startChunk() {}
    // A top-level chunk other than "RIFF": `bytes` from its header to the end of the file.
    virtual void garbage(std::uint64_t) {}
    virtual void chunkMet(const ChunkHeader&, int /*depth*/) {}
    // The padded size passes the end of the file, where only `left` bytes are.
    virtual void badLength(std::uint64_t /*padded*/, std::uint64_t /*left*/, int /*depth*/) {}
    virtual void listTypeMet(std::uint32_t, int /*depth*/) {}
    virtual void tooDeep(int /*depth*/) {}
    // The blocks of a chunk that is not a list; `left` counts its data bytes still to pass.
    virtual void headerBlocks(const ChunkHeader& chunk, int depth, std::int64_t& left) = 0;

    // For headerBlocks: all of out at the position, lowering left by its size; a short read
    // ends the walk and returns false.
    bool readBlock(std::span<std::uint8_t> out, std::int64_t& left);
    // The count left compared with a limit as this walk counts (see the constructor).
    bool above(std::int64_t left, std::int64_t limit) const {
        return left > limit || (negativeIsLarge_ && left < 0);
    }

  private:
    std::int64_t chunk(int depth, bool top);

    ChunkCursor c_;
    bool negativeIsLarge_;
    bool eof_ = false;
};

}  // namespace kelvor::avi
