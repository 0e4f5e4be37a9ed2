#include "commands/InlaySettings.h"

#include <algorithm>

#include "core/files/Rounding.h"
#include "core/settings/Preferences.h"
#include "media/filters/Tdv_Superposer.h"

namespace kelvor::commands {

void ConfigureInlay(media::Tdv_Superposer& inlay, const settings::Preferences& prefs,
                    double framesPerSecond) {
    inlay.SetDisplayKind(prefs.WhatIncrust);
    inlay.SetAutoMode(prefs.AutoIncrust != 0);
    inlay.SetTrigger(prefs.WhenIncrust);
    const double frames = prefs.DureeIncrustation * std::max(framesPerSecond, 0.0);
    inlay.SetDisplayFrames(std::max<int>(1, static_cast<int>(RoundHalfEven(frames))));
    inlay.SetStandardFontSize(prefs.StandardFontSize);
    inlay.SetFontSize(prefs.InlayFont.Size);
    inlay.SetFontName(prefs.InlayFont.Name);
    inlay.SetTextColor(static_cast<std::uint32_t>(prefs.InlayFont.Color));
    inlay.SetBold(prefs.InlayFont.Bold);
    inlay.SetItalic(prefs.InlayFont.Italic);
    inlay.SetUnderline(prefs.InlayFont.Underline);
    inlay.SetStrikeOut(prefs.InlayFont.StrikeOut);
    inlay.SetPosition(prefs.IncrustPositionX, prefs.IncrustPositionY, prefs.Alignement);
    inlay.SetDateFormats(prefs.FormatPourIncrusterDatecode1, prefs.FormatPourIncrusterDatecode2);
    inlay.SetTimeShift(prefs.DecalageHoraire);
    inlay.SetEnabled(true);
}

}  // namespace kelvor::commands
