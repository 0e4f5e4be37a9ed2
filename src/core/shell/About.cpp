#include "core/shell/About.h"

#include "core/files/DateTime.h"

namespace kelvor::about {

std::string VersionText() {
    return KELVOR_VERSION_TEXT;
}

double BuildDate() {
    // __DATE__ is "Mmm dd yyyy".
    static constexpr const char* kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const std::string d = __DATE__;
    const int month = static_cast<int>(std::string(kMonths).find(d.substr(0, 3)) / 3) + 1;
    const int day = std::stoi(d.substr(4, 2));
    const int year = std::stoi(d.substr(7, 4));
    return EncodeDate(year, month, day).value_or(0.0);
}

}  // namespace kelvor::about
