// The window program's command line before any window exists: its own options (--help,
// --version) read by QCommandLineParser, and every other word, the script switches and the
// files and folders to open, kept in its order for the window. A display is looked for here too,
// so that a start without one says so in one line instead of the toolkit aborting.
//
// Pure functions of their arguments; any thread. Nothing throws.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kelvor::app {

// Exit statuses of the window program.
inline constexpr int kExitDone = 0;
inline constexpr int kExitNoDisplay = 1;
inline constexpr int kExitUsage = 2;

struct StartRequest {
    enum class Action { Run, Help, Version, UsageError };
    Action What = Action::Run;
    // The words for the window's script, in their order (the options taken out).
    std::vector<std::string> Script;
    // Why the command line is refused, for UsageError.
    std::string Error;
};

// Words starting with "--" are the window's options, up to a lone "--" after which every word
// is a script word; any other word ("+D", "-d", "/d", "+E=1", a file, a folder) is a script word.
StartRequest ParseStartArguments(const std::vector<std::string>& arguments);

// The usage text of --help: the options, the script switches (from the command table and the
// runner's own letters), the files read and the exit statuses.
std::string HelpText();
// "Kelvor 1.2.3", the line --version prints.
std::string VersionLine();
// The one line printed when no display is named.
std::string NoDisplayLine();
// The one line printed when the display named cannot be opened.
std::string UnreachableDisplayLine();

// Whether the window has a display to go to: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set
// and not empty (environment gives a variable's value, empty when unset), or the toolkit's own
// -platform or -display option among the arguments.
bool DisplayNamed(const std::vector<std::string>& arguments,
                  const std::function<std::string(const char*)>& environment);

}  // namespace kelvor::app
