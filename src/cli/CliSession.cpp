#include "cli/CliSession.h"

#include "core/settings/PreferencesStore.h"
#include "platform/PreferencesEnvironment.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {
namespace {

settings::Preferences Loaded() {
    settings::Preferences prefs;
    settings::LoadPreferences(prefs, platform::CurrentPreferencesEnvironment());
    return prefs;
}

files::RecordSettings RecordSettingsOf(const settings::Preferences& prefs,
                                       const LocaleInfo& locale) {
    files::RecordSettings r;
    r.DisplayDatecodeFormat = prefs.FormatPourAfficherDatecode;
    r.Locale = locale;
    return r;
}

}  // namespace

Session::Session(HostOptions options)
    : Prefs(Loaded()),
      Locale(platform::UserLocaleInfo()),
      List(Probe, RecordSettingsOf(Prefs, Locale), Prefs.OrdreDeLaListe,
           Prefs.SelectionnerALOuverture),
      Host(List, Control, options),
      Module(commands::TchServices{Prefs, Cdm, Patcher, Desktop, Host, Locale}) {
    Module.Start();
    Module.LinkCommands();
}

}  // namespace kelvor::cli
