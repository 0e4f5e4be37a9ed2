#include "ui/TimeStamp.h"

#include <cmath>
#include <cstdio>

namespace kelvor::ui {

std::string TimeStampText(std::int64_t position, double fps) {
    const std::int64_t pos = position < 0 ? 0 : position;
    char text[64];
    if (fps > 0) {
        const auto s = static_cast<std::int64_t>(std::trunc(static_cast<double>(pos) / fps));
        const auto f = static_cast<std::int64_t>(
            std::trunc(static_cast<double>(pos) - static_cast<double>(s) * fps));
        std::snprintf(text, sizeof text, "%lld:%.2lld:%.2lld:%.2lld",
                      static_cast<long long>(s / 3600), static_cast<long long>((s / 60) % 60),
                      static_cast<long long>(s % 60), static_cast<long long>(f));
    } else {
        const std::int64_t s = pos / 10000000;
        const std::int64_t m = (pos % 10000000) / 10000;
        std::snprintf(text, sizeof text, "%lld:%.2lld:%.2lld:%.3lld",
                      static_cast<long long>(s / 3600), static_cast<long long>((s / 60) % 60),
                      static_cast<long long>(s % 60), static_cast<long long>(m));
    }
    return text;
}

}  // namespace kelvor::ui
