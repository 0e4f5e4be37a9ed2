// Converting and scaling uncompressed pictures between the engine's layouts: bottom-up RGB24
// (rows of Rgb24Stride bytes, as a bitmap) and the planar 4:2:0 (I420) and 4:1:1 (Y41B) layouts
// of the DV codec (Y plane, then U, then V, rows without padding).
//
// RGB24 into planar goes through the engine's own BT.601 studio-range converter (it runs several
// times faster than the general scaler on these layouts), which also changes the height alone
// (PAL and NTSC frames) by blending neighbouring rows as it converts; any other scaling goes
// through libswscale's bicubic filter, plane by plane. Planar into planar at the same width (the
// other standard's frame from a decoded DV picture) blends rows plane by plane, with no colour
// conversion.
//
// A PictureScaler owns its scaler contexts and work buffer; one thread at a time. Pure functions
// may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "media/engine/MediaType.h"

namespace kelvor::media {

enum class PlanarLayout { Yuv420, Yuv411 };

// Converts a bottom-up RGB24 picture into planar YUV of the same size: Y of each pixel, U and V
// of the average colour of each 2x2 (4:2:0) or 4x1 (4:1:1) block. The width must be a multiple
// of 2 (4:2:0) or 4 (4:1:1) and the height even for 4:2:0; planes[i] with strides[i] bytes per
// row receive Y, U, V.
void Bgr24ToPlanar(const std::uint8_t* bgr, int width, int height, PlanarLayout layout,
                   std::uint8_t* const planes[3], const int strides[3]);

// The same into a picture of outHeight rows (even), each blended from the two source rows around
// its place; scratch holds two rows (2 x Rgb24Stride(width) bytes).
void Bgr24ToPlanarResized(const std::uint8_t* bgr, int width, int inHeight, int outHeight,
                          PlanarLayout layout, std::uint8_t* const planes[3], const int strides[3],
                          std::uint8_t* scratch);

// Resizes a planar picture of width x inHeight in inLayout into width x outHeight in outLayout:
// each plane's rows blended as Bgr24ToPlanarResized blends them, the chroma rows halved
// (pairs averaged) or doubled (interpolated) when the layouts differ in width. scratch holds
// width bytes. Heights even where the layout is 4:2:0.
void PlanarResized(const std::uint8_t* const src[3], const int srcStrides[3], PlanarLayout inLayout,
                   int width, int inHeight, std::uint8_t* const dst[3], const int dstStrides[3],
                   PlanarLayout outLayout, int outHeight, std::uint8_t* scratch);

// One row of full-range samples (MJPEG's) into studio range: luma 16..235, or chroma 16..240
// around 128.
void FullToStudioRange(const std::uint8_t* in, std::uint8_t* out, int width, bool chroma);

// One pixel of BT.601 studio-range YUV as 0xFFRRGGBB (a QImage RGB32 pixel), and back: the Y of
// one pixel, the U and V of the channel sums of a four-pixel block (2x2 or 4x1), with the
// coefficients of the converters above. For drawing on a few rows of a planar picture.
// BT.601 studio range in 8.8 fixed point: Y 16..235, U and V 16..240 around 128.
namespace bt601 {
inline constexpr int kYR = 66, kYG = 129, kYB = 25, kYOffset = (16 << 8) + 128;
inline constexpr int kUR = -38, kUG = -74, kUB = 112;
inline constexpr int kVR = 112, kVG = -94, kVB = -18;
}  // namespace bt601

inline std::uint32_t StudioYuvToRgb32(int y, int u, int v) {
    const int c = 298 * (y - 16) + 128, d = u - 128, e = v - 128;
    const auto channel = [](int x) {
        return static_cast<std::uint32_t>(x < 0 ? 0 : x > 255 << 8 ? 255 : x >> 8);
    };
    return 0xFF000000u | channel(c + 409 * e) << 16 | channel(c - 100 * d - 208 * e) << 8 |
           channel(c + 516 * d);
}
inline std::uint8_t StudioLuma(int r, int g, int b) {
    using namespace bt601;
    return static_cast<std::uint8_t>((kYR * r + kYG * g + kYB * b + kYOffset) >> 8);
}
inline void StudioChroma4(int sumR, int sumG, int sumB, std::uint8_t& u, std::uint8_t& v) {
    using namespace bt601;
    constexpr int kOffset = (128 << 10) + 512;
    u = static_cast<std::uint8_t>((kUR * sumR + kUG * sumG + kUB * sumB + kOffset) >> 10);
    v = static_cast<std::uint8_t>((kVR * sumR + kVG * sumG + kVB * sumB + kOffset) >> 10);
}

// A picture in one of the layouts above.
struct PictureShape {
    FourCC subtype = Subtype::Rgb24;  // RGB24, I420 or Y41B
    int width = 0;
    int height = 0;
};

// Bytes of a packed picture of that shape; 0 for a shape that is not one of the layouts.
std::size_t PictureBytes(const PictureShape& shape);

class PictureScaler {
  public:
    PictureScaler();
    ~PictureScaler();
    PictureScaler(const PictureScaler&) = delete;
    PictureScaler& operator=(const PictureScaler&) = delete;

    // Scales a packed picture (PictureBytes(in) bytes at src) into the rectangle `into` of a
    // planar destination of shape `out` (planes and strides as Bgr24ToPlanar's; a packed RGB24
    // destination takes planes[0] only). False when a shape is unusable or no scaler exists.
    bool Scale(const std::uint8_t* src, const PictureShape& in, std::uint8_t* const planes[3],
               const int strides[3], const PictureShape& out, const Rect& into);

  private:
    struct Impl;
    std::unique_ptr<Impl> s_;
};

}  // namespace kelvor::media
