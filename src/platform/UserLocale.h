// The locale elements of the date-time pattern language, taken from a Qt locale (by default
// the user's); United States English when the locale is C.
//
// Callable from any thread.
#pragma once

#include <QLocale>

#include "core/files/DatePattern.h"

namespace kelvor::platform {

LocaleInfo UserLocaleInfo(const QLocale& locale = QLocale());

}  // namespace kelvor::platform
