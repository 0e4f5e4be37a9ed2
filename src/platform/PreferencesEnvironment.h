// The desktop facts the preferences store needs, gathered from the running system.
//
// Call on the main thread after the application object exists (the screen size is read from
// it when it is a QGuiApplication; otherwise a nominal 1024 x 768 screen is assumed).
#pragma once

#include "core/settings/PreferencesStore.h"

namespace kelvor::platform {

// $XDG_CONFIG_HOME when it is an absolute path, otherwise ~/.config.
std::filesystem::path ConfigHome();

// The program file, the config home, the program's mount point, the screen, the documents
// folder, "varnolt" on PATH and the user's locale.
settings::PreferencesEnvironment CurrentPreferencesEnvironment();

}  // namespace kelvor::platform
