// The media stamper: an in-place filter that takes every type, changes nothing, and remembers the
// media start and stop time (for video, the frame numbers) of the last sample that passed, so
// the content detector can tell which frame it is looking at. For the frame numbers to be those
// of the detector's own pictures, the stamper sits right in front of it, on the same thread.
//
// Created once by its graph owner. Transform runs on the streaming thread; the readers may be
// called from any thread at any time (a sample without media times leaves the values as they
// were).
#pragma once

#include <atomic>
#include <cstdint>

#include "media/engine/TransformFilter.h"
#include "media/filters/FilterIdentity.h"

namespace kelvor::media {

class SampleTimeFilter : public InPlaceTransformFilter {
  public:
    static constexpr FilterIdentity kIdentity{"Quennel dv_Mediastamper",
                                              "{775357D7-A918-4C06-875C-B60697623D34}"};
    SampleTimeFilter();

    std::int64_t MediaStart() const { return start_.load(); }
    std::int64_t MediaStop() const { return stop_.load(); }

  protected:
    Status CheckInputType(const MediaType&) override { return Code::Ok; }
    Status Transform(MediaSample& sample) override;

  private:
    std::atomic<std::int64_t> start_{0};
    std::atomic<std::int64_t> stop_{0};
};

}  // namespace kelvor::media
