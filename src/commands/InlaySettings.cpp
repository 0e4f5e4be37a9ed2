#include "commands/InlaySettings.h"

#include <algorithm>

#include "core/files/Rounding.h"
#include "core/settings/Preferences.h"
#include "media/filters/InlayFilter.h"

namespace kelvor::commands {

void ConfigureInlay(media::InlayFilter& inlay, const settings::Preferences& prefs,
                    double framesPerSecond) {
    inlay.SetDisplayKind(prefs.InlayWhat);
    inlay.SetAutoMode(prefs.InlayAuto != 0);
    inlay.SetTrigger(prefs.InlayWhen);
    const double frames = prefs.InlayDuration * std::max(framesPerSecond, 0.0);
    inlay.SetDisplayFrames(std::max<int>(1, static_cast<int>(RoundHalfEven(frames))));
    inlay.SetStandardFontSize(prefs.StandardFontSize);
    inlay.SetFontSize(prefs.InlayFont.Size);
    inlay.SetFontName(prefs.InlayFont.Name);
    inlay.SetTextColor(static_cast<std::uint32_t>(prefs.InlayFont.Color));
    inlay.SetBold(prefs.InlayFont.Bold);
    inlay.SetItalic(prefs.InlayFont.Italic);
    inlay.SetUnderline(prefs.InlayFont.Underline);
    inlay.SetStrikeOut(prefs.InlayFont.StrikeOut);
    inlay.SetPosition(prefs.InlayPositionX, prefs.InlayPositionY, prefs.InlayAlignment);
    inlay.SetDateFormats(prefs.InlayFormat1, prefs.InlayFormat2);
    inlay.SetTimeShift(prefs.TimeShift);
    inlay.SetEnabled(true);
}

}  // namespace kelvor::commands
