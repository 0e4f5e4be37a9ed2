#include "core/files/Rounding.h"

#include <cmath>
#include <limits>

namespace kelvor {

std::int64_t RoundHalfEven(double x) {
    if (std::isnan(x))
        return 0;
    constexpr double kMax = 9223372036854775807.0;  // 2^63, the first value out of range
    if (x >= kMax)
        return std::numeric_limits<std::int64_t>::max();
    if (x <= -kMax)
        return std::numeric_limits<std::int64_t>::min();
    double r = std::round(x);  // ties away from zero
    if (std::fabs(x - std::trunc(x)) == 0.5)
        r = 2.0 * std::round(x / 2.0);
    return static_cast<std::int64_t>(r);
}

}  // namespace kelvor
