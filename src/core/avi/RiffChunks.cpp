#include "core/avi/RiffChunks.h"

#include <algorithm>
#include <array>

#include "core/avi/ByteReader.h"
#include "core/avi/Fourcc.h"

namespace kelvor::avi {

using layout::kChunkHeaderSize;

bool ChunkHeader::IsList() const {
    return Id == fcc::kRiff || Id == fcc::kList;
}

std::optional<ChunkHeader> ChunkCursor::readHeader() {
    if (capped())
        return std::nullopt;
    ++headers_;
    if (s_.position() & 1)
        s_.seekRelative(1);
    ChunkHeader h;
    h.Start = s_.position();
    std::array<std::uint8_t, kChunkHeaderSize> b{};
    if (!s_.readExact(b))
        return std::nullopt;
    h.Id = LoadU32LE(b, 0);
    h.Size = LoadU32LE(b, 4);
    return h;
}

std::optional<std::uint32_t> ChunkCursor::readListType() {
    std::array<std::uint8_t, 4> b{};
    if (!s_.readExact(b))
        return std::nullopt;
    return LoadU32LE(b, 0);
}

ChildChunks::ChildChunks(ChunkCursor& cursor, std::uint64_t left, Count count, Overrun overrun)
    : c_(cursor), left_(left), count_(count), overrun_(overrun) {}

std::optional<ChunkHeader> ChildChunks::next() {
    if (left_ < kChunkHeaderSize) {
        end_ = End::Exhausted;
        return std::nullopt;
    }
    if (nextAt_)
        c_.seek(*nextAt_);
    auto h = c_.readHeader();
    if (!h) {
        end_ = c_.capped() ? End::Capped : End::ShortRead;
        return std::nullopt;
    }
    leftBefore_ = left_;
    const std::uint64_t taken = count_ == Count::Padded ? h->PaddedSize() : h->Size;
    left_ = overruns(*h) ? 0 : BytesLeft(left_ - kChunkHeaderSize, taken);
    if (overruns(*h) && overrun_ == Overrun::Stop) {
        end_ = End::Overrun;
        return std::nullopt;
    }
    if (count_ == Count::Padded)
        nextAt_ = h->End();
    return h;
}

bool ChildChunks::overruns(const ChunkHeader& child) const {
    return child.Size > leftBefore_ - kChunkHeaderSize;
}

std::uint64_t ChildChunks::clamped(const ChunkHeader& child) const {
    return std::min<std::uint64_t>(child.Size, leftBefore_ - kChunkHeaderSize);
}

void ChildChunks::enterInline(const ChunkHeader& child) {
    left_ = BytesLeft(leftBefore_, layout::kListHeaderSize);
    nextAt_ = child.DataStart() + 4;
}

}  // namespace kelvor::avi
