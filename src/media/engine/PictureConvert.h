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
