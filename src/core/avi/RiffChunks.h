// The mechanics every walk over the RIFF chunks of an AVI file shares: a chunk header read at a
// position (a header never starts at an odd offset: an odd-sized chunk's pad byte comes first),
// a list's type, a declared size measured against what its list and the file have left, a
// list's children one after the other, and the caps on nesting depth and on the headers one walk
// reads. The four walkers (the reader, the header patcher, the structure report, the demuxer)
// put only their policies on top: what a size that overruns does, which blocks they read, what
// they keep.
//
// A cursor reads a caller's PositionedFile, which must outlive it; one thread per cursor.
// Nothing here throws: a short read is a value.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/avi/AviLayout.h"
#include "core/avi/PositionedFile.h"

namespace kelvor::avi {

// Lists nested deeper than this are passed over whole rather than walked.
inline constexpr int kMaxChunkDepth = 64;
// Chunk headers one cursor reads at most. Each takes 8 bytes of the file, so only a file of
// hundreds of megabytes of empty chunks comes near it; the walk then ends as at the file's end.
inline constexpr std::uint64_t kMaxChunksPerWalk = 1ull << 26;

struct ChunkHeader {
    std::uint64_t Start = 0;  // file offset of the 8-byte header
    std::uint32_t Id = 0;
    std::uint32_t Size = 0;  // data bytes as stored, the pad byte not counted

    std::uint64_t DataStart() const { return Start + layout::kChunkHeaderSize; }
    std::uint64_t PaddedSize() const { return std::uint64_t{Size} + (Size & 1); }
    // Where the next chunk's header starts.
    std::uint64_t End() const { return DataStart() + PaddedSize(); }
    // "RIFF" and "LIST" chunks: a list type, then children.
    bool IsList() const;
};

// What is left from `at` up to `end`; 0 at or past it.
constexpr std::uint64_t BytesLeft(std::uint64_t end, std::uint64_t at) {
    return end > at ? end - at : 0;
}

// A position in a file and the reads of a walk from it. Seeking past the end is allowed; reads
// there come up short.
class ChunkCursor {
  public:
    explicit ChunkCursor(PositionedFile& file, std::uint64_t maxHeaders = kMaxChunksPerWalk)
        : s_(file), maxHeaders_(maxHeaders) {}

    std::uint64_t position() const { return s_.position(); }
    std::uint64_t fileSize() const { return s_.size(); }
    std::uint64_t leftInFile() const { return BytesLeft(s_.size(), s_.position()); }
    void seek(std::uint64_t at) { s_.seek(at); }
    // Forward, or back for a negative count (not before the start of the file).
    void skip(std::int64_t n) { s_.seekRelative(n); }

    // The chunk header at the position, moving past it; at an odd position the pad byte is
    // skipped first. None when the 8 bytes are not all there (the position is then where the
    // read stopped) or when this cursor has read its cap of headers (capped()).
    std::optional<ChunkHeader> readHeader();
    // The four bytes at the position (a list's type, just after its header); none when they are
    // not all there.
    std::optional<std::uint32_t> readListType();
    // All of out from the position; false when fewer bytes came.
    bool read(std::span<std::uint8_t> out) { return s_.readExact(out); }
    bool capped() const { return headers_ >= maxHeaders_; }

  private:
    FileStream s_;
    std::uint64_t maxHeaders_;
    std::uint64_t headers_ = 0;
};

// The children of one list, from the cursor's position: `left` is what the list holds for them.
// next() reads the next child's header while at least 8 bytes are left, and takes the child off
// what is left in one of two counts:
// - Count::Declared: its header and declared size; the next header is read wherever the walker
//   left the position, the pad byte being skipped by position and not counted (the reader's
//   count);
// - Count::Padded: its header and padded size; the next header is read at the child's end,
//   wherever the walker left the position.
// A child whose declared size claims more than is left either ends the list before it is handed
// out (Overrun::Stop), or is handed out as the list's last child (Overrun::Last), with clamped()
// telling how much of it the list holds.
class ChildChunks {
  public:
    enum class Count { Declared, Padded };
    enum class Overrun { Stop, Last };
    enum class End { Exhausted, ShortRead, Capped, Overrun };

    ChildChunks(ChunkCursor& cursor, std::uint64_t left, Count count, Overrun overrun);

    std::optional<ChunkHeader> next();
    // Why next() returned no header (Exhausted: fewer than 8 bytes were left).
    End end() const { return end_; }
    // The child's declared data go past what its list had left for it.
    bool overruns(const ChunkHeader& child) const;
    // The child's data bytes that fit in what its list had left.
    std::uint64_t clamped(const ChunkHeader& child) const;
    // Goes on with the child's own children as if they were this list's, the child taking only
    // its header and list type ("rec " groups in "movi").
    void enterInline(const ChunkHeader& child);

  private:
    ChunkCursor& c_;
    std::uint64_t left_;
    std::uint64_t leftBefore_ = 0;  // what was left before the last child was taken
    Count count_;
    Overrun overrun_;
    std::optional<std::uint64_t> nextAt_;  // Count::Padded: the next header's offset
    End end_ = End::Exhausted;
};

}  // namespace kelvor::avi
