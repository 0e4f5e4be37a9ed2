// What every scene export needs from the running program, passed in rather than reached for:
// the current frame rate, the locale of date texts and the clock of the footers.
//
// A plain value; copy it into each writer.
#pragma once

#include <functional>

#include "core/files/DatePattern.h"

namespace kelvor::scenes {

struct ExportContext {
    // Frames per second of the shown file; 0 when it has no video (positions then read
    // "0:00:00:00" and subtitle times are empty).
    double FrameRate = 0;
    LocaleInfo Locale = EnglishLocale();
    // The local date and time as a date-time value; empty means the system clock.
    std::function<double()> Now;

    double CurrentTime() const;
};

// "Terminated at " texts and the like: the local date and time now.
double SystemLocalNow();

}  // namespace kelvor::scenes
