// The DC picture of a DV frame: the mean of each 8x8 block of the picture, read straight from
// the DC coefficients of the compressed blocks (IEC 61834 consumer DV, SMPTE 314M 25 Mbps 4:1:1
// at 625/50), without decoding any AC coefficient. Its values are those the DV decoder gives at
// its lowest resolution, where a block is its DC term alone.
//
// Every function here is pure: no I/O, no state, any thread may call it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace kelvor::dv {

// The block layouts of the 25 Mbps DV pictures: the chroma of 4:2:0 covers 16x16 pixels, that
// of 4:1:1 32x8 (16x16 at the right edge).
enum class DcLayout { None, Pal420, Pal411, Ntsc411 };

// The layout libavcodec's DV decoder picks for a frame: from the header's 50/60 flag, the video
// source pack's signal type and the header's application ID; `previous` stands for a damaged
// frame whose size still fits it, as the decoder keeps its last layout. None for a frame of
// another kind (50 Mbps, HD) or one too short for its layout.
DcLayout FrameDcLayout(std::span<const std::uint8_t> frame, DcLayout previous);

struct DcPicture {
    static constexpr int kColumns = 90;  // 720 pixels in 8-pixel blocks
    static constexpr int kMaxRows = 72;  // 576 lines
    int Rows = 0;                        // 72 (625/50) or 60 (525/60)
    // Per 8x8 luma block, row by row from the top: its luma mean and the chroma of its block.
    std::array<std::uint8_t, kColumns * kMaxRows> Y{}, Cb{}, Cr{};
};

// The DC picture of a frame in this layout (not None); false, leaving `out` unspecified, when
// the frame is shorter than the layout needs.
bool ReadDcPicture(std::span<const std::uint8_t> frame, DcLayout layout, DcPicture& out);

}  // namespace kelvor::dv
