// Scripts of switches: the program's command line, or the lines of a script text file. A switch
// is one letter after "+", "-" or "/", alone or followed by "=" and a value; any other word is a
// file to load; L names a script file whose switches take its place.
//
// A parser is used by one thread at a time; it reads script files and nothing else. Nothing
// throws: a missing script file adds nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvor::commands {

// One parsed switch.
struct ScriptSwitch {
    char Prefix = '+';  // kept, but has no effect
    char Letter = 'F';  // upper case
    std::string Value;
    friend bool operator==(const ScriptSwitch&, const ScriptSwitch&) = default;
};

// The pending script: the switches in the order they run.
using Script = std::vector<ScriptSwitch>;

// A script holds at most this many switches; the rest of an oversized one is dropped (script
// files naming each other many times over would otherwise grow without end).
inline constexpr std::size_t kMaxScriptSwitches = 100000;

class ScriptParser {
  public:
    // Parses one token and appends its switch (or, for L, the script file's switches).
    void ParseToken(std::string_view token, Script& script);
    // Appends the switches of every line of the script file; nothing when it does not exist.
    // A script file that is already being read (named again, directly or through others, while
    // its own lines are parsed) is skipped, so a cycle of L switches ends.
    void ReadScriptFile(const std::string& path, Script& script);

  private:
    std::vector<std::string> reading_;  // the script files being read, outermost first
};

// Each argument is one token.
Script ParseCommandLine(const std::vector<std::string>& arguments);
// A new script from a script file.
Script LoadScriptFile(const std::string& path);

}  // namespace kelvor::commands
