#include "core/files/DisplayStyle.h"

#include <cmath>
#include <cstdio>

namespace kelvor::files {

std::string DisplayPattern(std::string_view format) {
    if (format.empty() || format == kShippedDisplayFormat)
        return std::string(kLocaleDateTimePattern);
    return std::string(format);
}

std::string DisplayDateTime(double value, std::string_view format, const LocaleInfo& locale) {
    return FormatDateTime(DisplayPattern(format), value, locale);
}

OverlayPatterns PreviewOverlayPatterns(std::string_view displayFormat, std::string_view inlay1,
                                       std::string_view inlay2) {
    if (inlay1 != kShippedInlayFormat1 || inlay2 != kShippedInlayFormat2)
        return {std::string(inlay1), std::string(inlay2)};
    const std::string pattern = DisplayPattern(displayFormat);
    if (pattern == kLocaleDateTimePattern)
        return {std::string(kShippedInlayFormat1), std::string(kShippedInlayFormat2)};
    // An empty line pattern draws a blank line.
    return {std::string(), pattern};
}

std::string TapeTimecodeText(const dv::Timecode& t, bool dropFrame) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d%c%.2d", t.Hours, t.Minutes, t.Seconds,
                  dropFrame ? ';' : ':', t.Frames);
    return text;
}

std::string ReadableFrameRate(double fps) {
    if (!std::isfinite(fps))
        return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", std::round(fps * 100) / 100);
    std::string s = text;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s;
}

}  // namespace kelvor::files
