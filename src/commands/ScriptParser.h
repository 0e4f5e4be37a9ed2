// Scripts of switches: the program's command line, or the lines of a script text file. A switch
// is one letter after "+", "-" or "/", alone or followed by "=" and a value; any other word is a
// file to load; L names a script file whose switches take its place.
//
// A parser is used by one thread at a time; it reads script files and nothing else. Nothing
// throws: a script file that cannot be read, and the switches past the cap, leave a refused
// switch in the script, so that the runner tells the user instead of running less in silence.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvor::commands {

// One parsed switch.
struct ScriptSwitch {
    ScriptSwitch(char prefix = '+', char letter = 'F', std::string value = {},
                 std::string refusal = {})
        : Prefix(prefix), Letter(letter), Value(std::move(value)), Refusal(std::move(refusal)) {}

    char Prefix = '+';  // kept, but has no effect
    char Letter = 'F';  // upper case
    std::string Value;
    // Why the switch cannot run, set by the parser; empty for a switch to run.
    std::string Refusal;
    friend bool operator==(const ScriptSwitch&, const ScriptSwitch&) = default;
};

// The pending script: the switches in the order they run.
using Script = std::vector<ScriptSwitch>;

// A script holds at most this many switches (script files naming each other many times over
// would otherwise grow without end); the first switch past them is kept refused, the rest are
// dropped.
inline constexpr std::size_t kMaxScriptSwitches = 100000;
// A script file is read whole, so one larger than this is refused.
inline constexpr std::size_t kMaxScriptFileBytes = 16u << 20;

// Reads a regular file of at most maxBytes into text without ever blocking (a FIFO is refused,
// not opened for a writer to come); empty on success, else why it cannot be read.
std::string ReadSmallFile(const std::string& path, std::size_t maxBytes, std::string& text);

// The switch as a script writes it, "+Y=abc", for the messages.
std::string SwitchText(const ScriptSwitch& p);

class ScriptParser {
  public:
    // Parses one token and appends its switch (or, for L, the script file's switches).
    void ParseToken(std::string_view token, Script& script);
    // Appends the switches of every line of the script file; a refused L switch when it cannot be
    // read. A script file that is already being read (named again, directly or through others,
    // while its own lines are parsed) is skipped, so a cycle of L switches ends.
    void ReadScriptFile(const std::string& path, Script& script);

  private:
    std::vector<std::string> reading_;  // the script files being read, outermost first
};

// Each argument is one token.
Script ParseCommandLine(const std::vector<std::string>& arguments);
// A new script from a script file.
Script LoadScriptFile(const std::string& path);

}  // namespace kelvor::commands
