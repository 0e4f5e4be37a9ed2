// How the window shows a recording date and time, a tape timecode and a frame rate: one style
// for every place a user reads them (panel, picture overlay, list, status bar, dialogs). Texts
// written into files keep their own formats and do not come through here.
//
// Pure functions, callable from any thread.
#pragma once

#include <string>
#include <string_view>

#include "core/dv/DvPacks.h"
#include "core/files/DatePattern.h"

namespace kelvor::files {

// The locale's short date and its time with seconds, 24 h or 12 h as the locale says.
inline constexpr std::string_view kLocaleDateTimePattern = "ddddd tt";
// The "Format pour Afficher Datecode" value every store holds until the user changes it; it is
// read as "not set", so a store written by an earlier version follows the locale too.
inline constexpr std::string_view kShippedDisplayFormat = "ddddd hh:nn:ss";
// The shipped formats of the inlay's two lines.
inline constexpr std::string_view kShippedInlayFormat1 = "ddddd";
inline constexpr std::string_view kShippedInlayFormat2 = "tt";

// The user's format when set, otherwise kLocaleDateTimePattern.
std::string DisplayPattern(std::string_view format);
// A recording date and time in the window's style; "" when the value is not a date.
std::string DisplayDateTime(double value, std::string_view format, const LocaleInfo& locale);

// The two line patterns of the datecode drawn on the preview. Inlay formats the user chose are
// kept, since the preview then shows what a burn-in will write; the shipped ones follow the
// window's style (the date over the time, or the user's display format on the second line).
struct OverlayPatterns {
    std::string First;
    std::string Second;
};
OverlayPatterns PreviewOverlayPatterns(std::string_view displayFormat, std::string_view inlay1,
                                       std::string_view inlay2);

// "01:02:03:04", with ';' before the frames when the timecode counts drop-frame.
std::string TapeTimecodeText(const dv::Timecode& timecode, bool dropFrame);
// A frame rate as a person reads it: at most two decimals, no trailing zeros ("29.97", "25").
std::string ReadableFrameRate(double fps);

}  // namespace kelvor::files
