#include "media/filters/SampleTimeFilter.h"

#include <string>

namespace kelvor::media {

SampleTimeFilter::SampleTimeFilter()
    : InPlaceTransformFilter(std::string(kIdentity.Name), std::string(kIdentity.ClassId), false) {}

HRESULT SampleTimeFilter::Transform(MediaSample& sample) {
    std::int64_t start = 0, stop = 0;
    if (Succeeded(sample.GetMediaTime(start, stop))) {
        start_ = start;
        stop_ = stop;
    }
    return S_OK;
}

}  // namespace kelvor::media
