#include "media/filters/SampleTimeFilter.h"

#include <string>

namespace kelvor::media {

SampleTimeFilter::SampleTimeFilter()
    : InPlaceTransformFilter(std::string(kIdentity.Name), std::string(kIdentity.ClassId), false) {}

Status SampleTimeFilter::Transform(MediaSample& sample) {
    std::int64_t start = 0, stop = 0;
    if (sample.GetMediaTime(start, stop).ok()) {
        start_ = start;
        stop_ = stop;
    }
    return Code::Ok;
}

}  // namespace kelvor::media
