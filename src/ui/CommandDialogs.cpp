#include "ui/CommandDialogs.h"

#include <cmath>

namespace kelvor::ui {

int FrameRateChoice(double fps) {
    if (fps == 25)
        return 0;
    if (std::abs(fps * 1001 - 30000) < 1)
        return 1;
    return 2;
}

int CodecChoice(const std::string& codec) {
    std::string lower = codec;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (lower == "dvsd")
        return 0;
    if (lower == "dsvd")
        return 1;
    if (lower == "cdvc")
        return 2;
    return 3;
}

double TimeDifferenceReference(double datecode, double now) {
    return datecode > 0 ? datecode : now;
}

}  // namespace kelvor::ui
