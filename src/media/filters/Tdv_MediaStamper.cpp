#include "media/filters/Tdv_MediaStamper.h"

#include <string>

namespace kelvor::media {

Tdv_MediaStamper::Tdv_MediaStamper()
    : TBCTransInPlaceFilter(std::string(kIdentity.Name), std::string(kIdentity.ClassId), false) {}

HRESULT Tdv_MediaStamper::Transform(MediaSample& sample) {
    std::int64_t start = 0, stop = 0;
    if (Succeeded(sample.GetMediaTime(start, stop))) {
        start_ = start;
        stop_ = stop;
    }
    return S_OK;
}

}  // namespace kelvor::media
