// The program's about facts: product, maker, version, language tag and web address. Everything
// that prints them (reports, exports, playlists, the about panel) takes them from here.
#pragma once

#include <string>

namespace kelvor::about {

inline constexpr const char* kProductName = "Kelvor";
inline constexpr const char* kMaker = "Quennel";
inline constexpr const char* kLanguageTag = "En";
inline constexpr const char* kWebAddress = "https://quennel.example/kelvor";

// "major.minor" where the minor part holds a dot itself, so the text has three numbers.
std::string VersionText();
// The date the program was built, as a date-time value.
double BuildDate();

}  // namespace kelvor::about
