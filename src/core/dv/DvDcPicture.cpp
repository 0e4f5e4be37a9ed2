#include "core/dv/DvDcPicture.h"

#include <algorithm>

#include "core/dv/DvPacks.h"

namespace kelvor::dv {
namespace {

// Within a DIF sequence: the header, two subcode and three VAUX blocks lead, then each group of
// 15 video blocks (three segments of five macroblocks) follows one audio block.
constexpr int kLeadingBlocks = 6;
constexpr int kSegmentsPerSequence = 27;
constexpr int kMacroblocksPerSegment = 5;
constexpr int kBlocksPerSequence = 150;
// Within a video DIF block: three ID bytes and the status/quantiser byte, then four luma blocks
// of 14 bytes and the Cr and Cb blocks of 10, each opening with its 9-bit signed DC term.
constexpr std::size_t kFirstDctByte = 4;
constexpr std::size_t kLumaBlockBytes = 14;
constexpr std::size_t kCrOffset = kFirstDctByte + 4 * kLumaBlockBytes;
constexpr std::size_t kCbOffset = kCrOffset + 10;
// The video source pack's signal type byte in the first VAUX block, and the application ID.
constexpr std::size_t kSignalTypeOffset = 5 * kDifBlockSize + 48 + 3;
constexpr std::size_t kHeaderFlagsOffset = 3;
constexpr std::size_t kApplicationIdOffset = 4;

// How the blocks of a segment spread over the picture, so that a dropout never takes a region.
constexpr int kSequenceShift[kMacroblocksPerSegment] = {2, 6, 8, 0, 4};
constexpr int kColumnStart420[kMacroblocksPerSegment] = {18, 9, 27, 0, 36};
constexpr int kColumnStart411[kMacroblocksPerSegment] = {9, 4, 13, 0, 18};
constexpr int kRows420[kSegmentsPerSequence] = {0, 1, 2, 2, 1, 0, 0, 1, 2, 2, 1, 0, 0, 1,
                                                2, 2, 1, 0, 0, 1, 2, 2, 1, 0, 0, 1, 2};
constexpr int kRows411[30] = {0, 1, 2, 3, 4, 5, 5, 4, 3, 2, 1, 0, 0, 1, 2,
                              3, 4, 5, 5, 4, 3, 2, 1, 0, 0, 1, 2, 3, 4, 5};

std::uint8_t dcValue(std::span<const std::uint8_t> block, std::size_t at) {
    int dc = (block[at] << 1) | (block[at + 1] >> 7);
    if (dc >= 256)
        dc -= 512;
    // The decoder adds 1024 to four times the term and its one-coefficient inverse transform
    // rounds an eighth of that.
    return static_cast<std::uint8_t>(std::clamp((4 * dc + 1024 + 4) >> 3, 0, 255));
}

int sequencesOf(DcLayout layout) {
    return layout == DcLayout::Ntsc411 ? kSequences525 : kSequences625;
}

}  // namespace

DcLayout FrameDcLayout(std::span<const std::uint8_t> frame, DcLayout previous) {
    if (frame.size() <= kSignalTypeOffset)
        return DcLayout::None;
    const bool dsf625 = (frame[kHeaderFlagsOffset] & 0x80) != 0;
    const int signalType = frame[kSignalTypeOffset] & 0x1F;
    DcLayout layout = DcLayout::None;
    if (signalType == 0)
        layout = !dsf625                                     ? DcLayout::Ntsc411
                 : (frame[kApplicationIdOffset] & 0x07) != 0 ? DcLayout::Pal411
                                                             : DcLayout::Pal420;
    else if (previous != DcLayout::None &&
             frame.size() == static_cast<std::size_t>(sequencesOf(previous)) * kDifSequenceSize)
        layout = previous;
    else if ((frame[kHeaderFlagsOffset] & 0x7F) == 0x3F && frame[kSignalTypeOffset] == 0xFF)
        layout = dsf625 ? DcLayout::Pal420 : DcLayout::Ntsc411;
    else if (signalType != 0)
        return DcLayout::None;
    if (frame.size() < static_cast<std::size_t>(sequencesOf(layout)) * kDifSequenceSize)
        return DcLayout::None;
    return layout;
}

bool ReadDcPicture(std::span<const std::uint8_t> frame, DcLayout layout, DcPicture& out) {
    if (layout == DcLayout::None)
        return false;
    const int sequences = sequencesOf(layout);
    if (frame.size() < static_cast<std::size_t>(sequences) * kDifSequenceSize)
        return false;
    out.Rows = layout == DcLayout::Ntsc411 ? 60 : 72;
    constexpr int W = DcPicture::kColumns;
    for (int seq = 0; seq < sequences; ++seq) {
        int block = seq * kBlocksPerSequence + kLeadingBlocks;
        for (int slot = 0; slot < kSegmentsPerSequence; ++slot) {
            block += slot % 3 == 0;  // the audio block before each three segments
            for (int m = 0; m < kMacroblocksPerSegment; ++m, ++block) {
                const auto dif =
                    frame.subspan(static_cast<std::size_t>(block) * kDifBlockSize, kDifBlockSize);
                // The four luma blocks' places in 8-pixel units.
                int at[4];
                if (layout == DcLayout::Pal420) {
                    const int x = 2 * (kColumnStart420[m] + slot / 3);
                    const int y =
                        2 * (kRows420[slot] + ((seq + kSequenceShift[m]) % sequences) * 3);
                    at[0] = y * W + x;
                    at[1] = at[0] + 1;
                    at[2] = at[0] + W;
                    at[3] = at[2] + 1;
                } else {
                    const int i = (seq + kSequenceShift[m]) % sequences;
                    const int k = slot + (m == 1 || m == 2 ? 3 : 0);
                    const int x = kColumnStart411[m] + k / 6;
                    int y = kRows411[k] + i * 6;
                    if (x > 21) {
                        // The right edge of 4:1:1 holds 16x16 macroblocks.
                        y = y * 2 - i * 6;
                        at[0] = y * W + 4 * x;
                        at[1] = at[0] + 1;
                        at[2] = at[0] + W;
                        at[3] = at[2] + 1;
                    } else {
                        at[0] = y * W + 4 * x;
                        at[1] = at[0] + 1;
                        at[2] = at[0] + 2;
                        at[3] = at[0] + 3;
                    }
                }
                const std::uint8_t cr = dcValue(dif, kCrOffset);
                const std::uint8_t cb = dcValue(dif, kCbOffset);
                for (int b = 0; b < 4; ++b) {
                    if (at[b] < 0 || at[b] >= W * out.Rows)
                        continue;
                    const auto p = static_cast<std::size_t>(at[b]);
                    out.Y[p] =
                        dcValue(dif, kFirstDctByte + static_cast<std::size_t>(b) * kLumaBlockBytes);
                    out.Cb[p] = cb;
                    out.Cr[p] = cr;
                }
            }
        }
    }
    return true;
}

}  // namespace kelvor::dv
