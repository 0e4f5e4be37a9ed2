// Turns the desktop's date and time formats (Qt's format letters) into the program's own
// date-time pattern language, so a LocaleInfo can be filled from the user's locale.
//
// Pure functions, callable from any thread.
#pragma once

#include <string>
#include <string_view>

namespace kelvor::shell {

struct ConvertedPattern {
    std::string Pattern;
    // The character that separated the fields, which the pattern now names by its placeholder;
    // empty when there was none or no placeholder was asked for.
    std::string Separator;
};

// Qt letters become ours (M month, m minute, AP the locale's am/pm strings); the time zone
// ("t") is left out, since datecodes carry none. When placeholder is '/' or ':', the first
// character that separates two fields becomes the separator and is written as the placeholder;
// with placeholder 0 every literal character stays literal. Literal letters are quoted.
ConvertedPattern PatternFromQtFormat(std::string_view qtFormat, char placeholder);

}  // namespace kelvor::shell
