// Loading, storing and deleting the preferences.
//
// Two stores hold the same sections and keys as UTF-8 ini text: "Kelvor.ini" beside the program
// (portable use; chosen whenever that file exists) and the user store
// $XDG_CONFIG_HOME/Quennel/Kelvor.conf. Every location and desktop fact comes in through
// PreferencesEnvironment, so tests never touch the real home.
//
// Main thread only (the values are the program-wide preferences). Nothing here throws: a store
// that cannot be read gives the fallback values, one that cannot be written is left as it was.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "core/files/DatePattern.h"
#include "core/settings/Preferences.h"
#include "core/settings/PreferencesHost.h"

namespace kelvor::settings {

inline constexpr const char* kIniFileName = "Kelvor.ini";

struct StoreLocations {
    std::filesystem::path ProgramFile;  // full file name of the running program
    std::filesystem::path ConfigHome;   // $XDG_CONFIG_HOME, by default ~/.config

    std::filesystem::path IniFile() const { return ProgramFile.parent_path() / kIniFileName; }
    std::filesystem::path UserFolder() const { return ConfigHome / "Quennel"; }
    std::filesystem::path UserFile() const { return UserFolder() / "Kelvor.conf"; }
};

// The facts of the desktop the load and the store depend on; kelvor_platform fills it.
struct PreferencesEnvironment {
    StoreLocations Locations;
    // Mount point of the file system that holds the program: the "drive" of portable use.
    std::string ProgramRoot;
    int ScreenWidth = 1024;
    int ScreenHeight = 768;
    int WindowWidth = 594;  // the main window's actual size, for the fallback values
    int WindowHeight = 500;
    // Without a trailing delimiter; when empty the folders fall back to the root "/".
    std::string DocumentsFolder;
    // The image-grabbing program "varnolt" as found on PATH, or empty.
    std::string VarnoltProgram;
    // For "Dernière Sauvegarde".
    LocaleInfo Locale = EnglishLocale();
    // The local time as a date-time value; the system clock when not set.
    std::function<double()> Now;
};

enum class LoadOutcome {
    Read,      // every key read (or defaulted when absent)
    Fallback,  // the store could not be read: the fallback values were taken
};

// Reads every preference from the store in use and sets prefs.IniMode. A key that is absent
// takes its default. In the ini file a value that does not parse takes its default; in the user
// store it ends the reading, as does a store that cannot be read or is not text, and the fallback
// values are taken ("Frequence DV" keeps whatever value it had). Empty texts are completed, the
// values stored as EmptyMarker become empty, and portable paths follow the program's new mount
// point.
LoadOutcome LoadPreferences(Preferences& prefs, const PreferencesEnvironment& env);

// Writes "version", "Dernière Sauvegarde", "Exename", every key and the font section into the
// store that prefs.IniMode names, creating it when missing; the empty texts of the marker list
// are written as EmptyMarker. Keys and sections of the file that are not ours are kept. The file
// is replaced in one rename, so a failed store leaves the old file whole; a store that exists
// but cannot be written is left alone. False when the store was not written (nothing is shown;
// the caller decides whether to tell the user).
bool StorePreferences(const Preferences& prefs, const PreferencesEnvironment& env);

// Asks the host to confirm, deletes Kelvor.ini beside the program and the user store (and the
// maker's folder when it is left empty), then reports what was found. The values in memory do
// not change.
void DeletePreferences(const PreferencesEnvironment& env, PreferencesHost& host);

// Records the program's mount point in "POrtable Drive", as the window does before it stores.
void RecordProgramRoot(Preferences& prefs, const PreferencesEnvironment& env);

// The message texts of DeletePreferences.
std::string DeleteQuestionText();
std::string DeletedText();
std::string NotFoundText();
std::string NotDeletedText();

}  // namespace kelvor::settings
