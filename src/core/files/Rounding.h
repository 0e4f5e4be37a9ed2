// The one rounding rule of the program: to the nearest integer, ties to even (2.5 -> 2, 3.5 -> 4).
#pragma once

#include <cstdint>

namespace kelvor {

// Rounds x to the nearest integer, ties to even. NaN gives 0; values beyond the 64-bit range
// saturate at its ends.
std::int64_t RoundHalfEven(double x);

}  // namespace kelvor
