// Conversions between the program's strings (UTF-8) and the two encodings of scn files:
// Windows-1252, so that files made on Windows read back, and UTF-16LE.
//
// Pure functions, callable from any thread. Malformed UTF-8 never fails a conversion: each byte
// that does not start a valid sequence counts as one unmappable character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvor::scenes {

// Windows-1252 bytes of a text; a character outside the code page becomes '?'.
std::string Utf8ToWindows1252(std::string_view utf8);
std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-16 code units of a text; malformed input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);

// The longest prefix of at most maxUnits code units that does not split a surrogate pair.
std::size_t Utf16CutLength(std::u16string_view units, std::size_t maxUnits);

// ASCII and Latin-1 letters in lower case; every other character as it is.
std::string LowerCaseText(std::string_view utf8);

}  // namespace kelvor::scenes
