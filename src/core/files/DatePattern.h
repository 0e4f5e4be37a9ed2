// The date-time pattern language of every datecode format ("yyyy/mm/dd hh:nn:ss", "c", ...).
//
// Pure functions, callable from any thread. The locale elements come from the record the caller
// passes; EnglishLocale() is the default.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kelvor {

struct LocaleInfo {
    std::array<std::string, 7> ShortDayNames;     // Sunday first
    std::array<std::string, 7> LongDayNames;      // Sunday first
    std::array<std::string, 12> ShortMonthNames;  // January first
    std::array<std::string, 12> LongMonthNames;
    std::string ShortDateFormat;  // itself a pattern, such as "m/d/yyyy"
    std::string LongDateFormat;
    std::string ShortTimeFormat;
    std::string LongTimeFormat;
    std::string DateSeparator;
    std::string TimeSeparator;
    std::string TimeAMString;
    std::string TimePMString;
};

// United States English, the locale of the tests and the fallback of the desktop layer.
const LocaleInfo& EnglishLocale();

// Formats a date-time value with a pattern. Letters are case-insensitive; quoted text and every
// character that is not a specifier are copied. A value that is not a date gives "".
std::string FormatDateTime(std::string_view pattern, double value,
                           const LocaleInfo& locale = EnglishLocale());

}  // namespace kelvor
