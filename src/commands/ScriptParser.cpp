#include "commands/ScriptParser.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/shell/ShellHelpers.h"

namespace kelvor::commands {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxScriptLines = 1000000;

bool IsPrefix(char c) {
    return c == '+' || c == '-' || c == '/';
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string_view TrimSpaces(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// One token of a script line: a double quote toggles quoting and is dropped; a space outside
// quotes ends the token. `rest` becomes what follows that space.
std::string TakeToken(std::string_view& rest) {
    std::string token;
    bool quoted = false;
    std::size_t i = 0;
    for (; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ' ' && !quoted) {
            break;
        } else {
            token += c;
        }
    }
    rest = i < rest.size() ? rest.substr(i + 1) : std::string_view();
    return token;
}

}  // namespace

void ScriptParser::ParseToken(std::string_view raw, Script& script) {
    if (script.size() >= kMaxScriptSwitches)
        return;
    const std::string token = shell::UnquoteArgument(raw);
    ScriptSwitch p;
    if (token.size() == 2 && IsPrefix(token[0])) {
        p.Prefix = ' ';
        p.Letter = Upper(token[1]);
    } else if (token.size() >= 3 && token[2] == '=' && IsPrefix(token[0])) {
        p.Prefix = token[0];
        p.Letter = Upper(token[1]);
        p.Value = token.substr(3);
    } else {
        p.Prefix = '+';
        p.Letter = 'F';
        p.Value = token;
    }
    if (p.Letter == 'L') {
        ReadScriptFile(p.Value, script);
        return;
    }
    script.push_back(std::move(p));
}

void ScriptParser::ReadScriptFile(const std::string& path, Script& script) {
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec))
        return;
    const std::string identity = fs::weakly_canonical(fs::path(path), ec).string();
    if (std::find(reading_.begin(), reading_.end(), identity) != reading_.end())
        return;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return;
    reading_.push_back(identity);
    std::string line;
    for (std::size_t n = 0;
         n < kMaxScriptLines && script.size() < kMaxScriptSwitches && std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string_view rest = line;
        while (!rest.empty()) {
            rest = TrimSpaces(rest);
            ParseToken(TakeToken(rest), script);
        }
    }
    reading_.pop_back();
}

Script ParseCommandLine(const std::vector<std::string>& arguments) {
    ScriptParser parser;
    Script script;
    for (const std::string& a : arguments)
        parser.ParseToken(a, script);
    return script;
}

Script LoadScriptFile(const std::string& path) {
    ScriptParser parser;
    Script script;
    parser.ReadScriptFile(path, script);
    return script;
}

}  // namespace kelvor::commands
