// The picture scaler: an uncompressed picture (RGB24 bottom-up, or the planar I420 and Y41B
// layouts of DV) of any size in, a picture of the target type out (its subtype and size), with
// the source's display aspect kept: the picture is scaled to fit the target's display aspect and
// centred, the rest is black bars (letterbox above and below, pillarbox left and right).
//
// The source's display aspect is its width over its height (square pixels) unless one is set;
// the target's is set with the target (4:3 or 16:9 for a DV frame). Bars and picture edges fall
// on the chroma grid of the target layout.
//
// Threads: settings and connections on the driving thread while stopped; the pictures on the
// streaming thread, or with frame threads (off unless set) alternately on it and on a thread of
// the filter's own. A sample smaller than its type says fails with Code::Fail.
#pragma once

#include <memory>

#include "media/engine/TransformFilter.h"

namespace kelvor::media {

// Where a picture of display aspect sourceAspect lands inside a target frame of width x height
// shown at targetAspect: x, y, w, h in target pixels, x and w multiples of xAlign, y and h of
// yAlign. Pure.
Rect FitPicture(double sourceAspect, int width, int height, double targetAspect, int xAlign,
                int yAlign);

class VideoScalerFilter : public PairedTransformFilter {
  public:
    VideoScalerFilter();
    ~VideoScalerFilter() override;

    // The output type (subtype RGB24, I420 or Y41B, and size; its frame time is replaced by the
    // input's) and its display aspect. While stopped, before the output is connected.
    Status SetTarget(const MediaType& target, double targetAspect);
    // The display aspect of the input pictures; 0 (the default): width over height.
    void SetSourceAspect(double aspect) { sourceAspect_ = aspect; }

  protected:
    Status CheckInputType(const MediaType& mt) override;
    Status CheckTransform(const MediaType& in, const MediaType& out) override;
    Status GetMediaType(int position, MediaType& mt) override;
    Status DecideBufferSize(AllocatorProperties& props) override;
    Status StartLanes(int lanes) override;
    void StopLanes() override;
    bool Work(int lane, const MediaSample& in, MediaSample& out) override;
    Status Finish(int lane, bool worked, MediaSample& out) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> s_;
    MediaType target_;
    double targetAspect_ = 4.0 / 3.0;
    double sourceAspect_ = 0;
};

}  // namespace kelvor::media
