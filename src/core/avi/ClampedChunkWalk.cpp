#include "core/avi/ClampedChunkWalk.h"

#include "core/avi/Fourcc.h"

namespace kelvor::avi {

StreamKind StreamKindOf(std::uint32_t fccType) {
    return fccType == fcc::kVids   ? StreamKind::Video
           : fccType == fcc::kAuds ? StreamKind::Audio
           : fccType == fcc::kIavs ? StreamKind::Interleaved
                                   : StreamKind::Unknown;
}

HeaderBlock HeaderBlockOf(std::uint32_t id, std::optional<StreamKind> kind) {
    if (id == fcc::kStrh)
        return HeaderBlock::StreamHeader;
    if (id == fcc::kAvih)
        return HeaderBlock::MainHeader;
    if (id == fcc::kStrf && kind) {
        switch (*kind) {
            case StreamKind::Video:
                return HeaderBlock::VideoFormat;
            case StreamKind::Audio:
                return HeaderBlock::AudioFormat;
            case StreamKind::Interleaved:
                return HeaderBlock::DvFormat;
            case StreamKind::Unknown:
                return HeaderBlock::None;
        }
    }
    if (id == fcc::kIndx || IsIndexChunkId(id))
        return HeaderBlock::Index;
    return HeaderBlock::None;
}

void ClampedChunkWalk::run() {
    auto remaining = static_cast<std::int64_t>(c_.fileSize());
    while (remaining > 0 && goOn()) {
        const std::int64_t n = chunk(0, true);
        if (eof_ || n == static_cast<std::int64_t>(layout::kChunkHeaderSize))
            break;
        remaining -= n;
    }
}

bool ClampedChunkWalk::readBlock(std::span<std::uint8_t> out, std::int64_t& left) {
    if (!c_.read(out)) {
        eof_ = true;
        return false;
    }
    left -= static_cast<std::int64_t>(out.size());
    return true;
}

// S is kept in 64 bits so that a stored size of FFFFFFFF (an unfinished recording) does not wrap
// to 0 when its pad byte is added.
std::int64_t ClampedChunkWalk::chunk(int depth, bool top) {
    startChunk();
    if (!goOn())
        return 0;
    const auto h = c_.readHeader();
    if (!h) {
        eof_ = true;
        return 0;
    }
    if (top && h->Id != fcc::kRiff) {
        garbage(c_.leftInFile() + layout::kChunkHeaderSize);
        return layout::kChunkHeaderSize;
    }
    chunkMet(*h, depth);
    auto S = static_cast<std::int64_t>(h->PaddedSize());
    if (static_cast<std::uint64_t>(S) > c_.leftInFile()) {
        badLength(static_cast<std::uint64_t>(S), c_.leftInFile(), depth);
        S = static_cast<std::int64_t>(c_.leftInFile());
    }
    const std::int64_t result = S + static_cast<std::int64_t>(layout::kChunkHeaderSize);
    if (S == 0)
        return result;

    if (h->IsList()) {
        const auto type = c_.readListType();
        if (!type) {
            eof_ = true;
            return result;
        }
        S -= 4;
        listTypeMet(*type, depth);
        if (*type == fcc::kMovi) {
            c_.skip(S);
            return result;
        }
        if (depth >= kMaxChunkDepth) {
            tooDeep(depth);
            c_.skip(S);
            return result;
        }
        while (above(S, 7) && !eof_ && goOn()) {
            const std::int64_t L = chunk(depth + 1, false);
            if (S >= 0 && L > S)
                return result;
            S -= L;
        }
    } else {
        headerBlocks(*h, depth, S);
        if (eof_)
            return result;
    }
    // Forward past the rest, or back when a fixed-size read went past a shorter chunk's end.
    c_.skip(S);
    return result;
}

}  // namespace kelvor::avi
