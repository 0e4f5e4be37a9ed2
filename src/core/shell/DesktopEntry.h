// The desktop entry that makes file managers offer Kelvor for AVI files ("Open With").
//
// Pure functions, callable from any thread; the desktop layer writes the text to its file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvor::shell {

inline constexpr std::string_view kAviMimeTypes = "video/x-msvideo;video/avi;";

struct DesktopEntry {
    std::string Name;           // "Kelvor"
    std::string Comment;        // "Shortcut to Kelvor"
    std::string Program;        // absolute file name of the program
    std::string WorkingFolder;  // Path=, left out when empty
};

// One argument of an Exec line: quoted when it holds a reserved character, with the escapes of
// both the quoting rule and the string rule applied. No value for a text that holds a line break
// or another control character, which an Exec line cannot carry.
std::optional<std::string> QuoteExecArgument(std::string_view argument);

// The whole file, "[Desktop Entry]" first; no value when a field cannot be written.
std::optional<std::string> DesktopEntryText(const DesktopEntry& entry);

// The file name of the entry for a name: the ASCII lower-cased name + ".desktop".
std::string DesktopFileName(std::string_view name);

}  // namespace kelvor::shell
