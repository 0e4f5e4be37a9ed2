// How kelvor-cli shows file names on the terminal. A Linux file name is any bytes but '/' and
// NUL: a newline would split a report line in two and a byte that is not UTF-8 would show as
// another letter, so such names are shown escaped, in a form that gives their bytes back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvor::cli {

// The length of the UTF-8 sequence at s[i] (1 to 4), or 0 when the bytes there are no valid
// UTF-8 (a stray continuation byte, an overlong form, a surrogate, a value past U+10FFFF, a cut
// sequence).
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i);
bool IsUtf8(std::string_view s);

// A file name for text output: unchanged when it is valid UTF-8 without control characters,
// backslashes or double quotes; otherwise in double quotes with C escapes (\n, \t, \r, \\, \"
// and \xNN for every other control byte and every byte that is not UTF-8). An unquoted name is
// therefore always the name itself, and a quoted one reads back byte for byte.
std::string ShownName(std::string_view name);

// A message for one terminal line: control bytes and bytes that are not UTF-8 become \xNN
// escapes (a newline \n); everything else stays. Messages name files the deeper layers wrote in.
std::string ShownText(std::string_view text);

}  // namespace kelvor::cli
