// The deinterlace filter: an in-place filter on RGB24 pictures ("vids" with RGB24), or on the
// luma of the DV codec's planar pictures (I420, Y41B) so a conversion needs no colour round trip,
// that removes combing, the teeth that moving edges show where the two fields of a frame were taken
// 1/50 s apart.
//
// The routine, rows numbered from 0 at the top and pixels stored blue, green, red: on every odd
// row but the last, a pixel whose comb value 3 dR(u) dR(d) + 6 dG(u) dG(d) + dB(u) dB(d) (the
// differences to the pixels above and below) is above 3000 is marked; a mark with a marked left
// or right neighbour keeps, an isolated one is dropped; every kept pixel becomes the average of
// the pixels above and below, per colour, rounded down. Everything else keeps its value.
//
// Created once by its graph owner. Transform runs on the streaming thread and fails a sample with
// Code::Fail only when it is smaller than the connected picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "media/engine/TransformFilter.h"
#include "media/filters/FilterIdentity.h"

namespace kelvor::media {

// Rows of a 24-bit picture: width and height in pixels, stride in bytes per row, bottom-up when
// the first row in memory is the bottom one (as in a bitmap with a positive height).
struct Rgb24Layout {
    int Width = 0;
    int Height = 0;
    std::size_t Stride = 0;
    bool BottomUp = true;
    std::size_t Bytes() const { return Stride * static_cast<std::size_t>(Height); }
};

// Deinterlaces in into out, both of the layout; in and out may be the same buffer. False (and
// nothing written) when a buffer is smaller than the layout or the layout is not a 24-bit one.
bool DeinterlaceRgb24(std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                      const Rgb24Layout& layout);

// The same routine on the luma plane of a planar picture (rows from the top, stride bytes
// apart), in place: a sample is marked when the product of its differences to the samples above
// and below passes the bound equivalent to the colour threshold on a grey picture, and kept marks
// take the average of the samples above and below. The chroma is left as it is. False (nothing
// written) when the plane is smaller than the layout. scratch holds the marks (kept between
// pictures so that none allocates).
bool DeinterlaceLuma(std::span<std::uint8_t> plane, int width, int height, std::size_t stride,
                     std::vector<std::uint8_t>& scratch);

class DeinterlaceFilter : public InPlaceTransformFilter {
  public:
    static constexpr FilterIdentity kIdentity{"Quennel dv_deinter",
                                              "{4D5B0165-D80F-4620-BC2D-F9C84F518C84}"};
    DeinterlaceFilter();

  protected:
    Status CheckInputType(const MediaType& mtIn) override;
    Status StartStreaming() override;
    Status Transform(MediaSample& sample) override;

  private:
    Rgb24Layout layout_;               // of the connected picture, taken at the start of streaming
    bool planar_ = false;              // the luma plane of a planar picture (layout_ then its rows)
    std::vector<std::uint8_t> marks_;  // streaming thread: the marks of a row
};

}  // namespace kelvor::media
