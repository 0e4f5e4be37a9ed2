// The desktop entry that makes file managers and menus offer Kelvor for DV and AVI videos ("Open
// With"). The entry the package installs and the one the settings panel writes for the user come
// from ProgramDesktopEntry, so they differ only in the program they start.
//
// Pure functions, callable from any thread; the desktop layer writes the text to its file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvor::shell {

// Raw DV, DV in AVI, QuickTime and Matroska, under the names the desktop databases use.
inline constexpr std::string_view kVideoMimeTypes =
    "video/x-msvideo;video/avi;video/x-dv;video/dv;video/quicktime;video/x-matroska;";

struct DesktopEntry {
    std::string Name;           // "Kelvor"
    std::string Comment;        // left out when empty
    std::string Program;        // the program's file name, or a bare name looked up on PATH
    std::string WorkingFolder;  // Path=, left out when empty
    std::string GenericName;    // left out when empty
    std::string Icon;           // an icon theme name, left out when empty
    std::string Keywords;       // ';'-terminated search words, left out when empty
};

// Kelvor's own entry, starting `program` with the chosen files: what the package installs with
// the program "kelvor", and what the user's copy holds with the running program's path.
DesktopEntry ProgramDesktopEntry(std::string program);

// One argument of an Exec line: quoted when it holds a reserved character, with the escapes of
// both the quoting rule and the string rule applied. No value for a text that holds a line break
// or another control character, which an Exec line cannot carry.
std::optional<std::string> QuoteExecArgument(std::string_view argument);

// The whole file, "[Desktop Entry]" first; no value when a field cannot be written.
std::optional<std::string> DesktopEntryText(const DesktopEntry& entry);

// The file name of the entry for a name: the ASCII lower-cased name + ".desktop".
std::string DesktopFileName(std::string_view name);

}  // namespace kelvor::shell
