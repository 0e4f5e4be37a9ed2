// Dates as the files store them, read back for the window: the value behind a text that
// FormatDateTime wrote, and a scene caption with its stored start date shown in the window's
// style.
//
// Pure functions, callable from any thread; none throws.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/files/DatePattern.h"

namespace kelvor::files {

// The date and time (to the second) whose text in `pattern` and `locale` is exactly `text`;
// none when no value gives that text, so a text a person typed is not taken for a date.
std::optional<double> ReadFormattedDateTime(std::string_view text, std::string_view pattern,
                                            const LocaleInfo& locale);

// A caption as the scene finder writes it ("Scene 2: <date> | Duration = 00.04", or the date
// alone) with its date, when that reads back exactly as FormatDateTime wrote it with the
// "Format pour Afficher Datecode" preference, shown in the window's style (DisplayDateTime of
// the same preference); any other caption, such as one a person typed, as it is.
std::string CaptionInDisplayStyle(const std::string& caption, std::string_view displayFormat,
                                  const LocaleInfo& locale);

}  // namespace kelvor::files
