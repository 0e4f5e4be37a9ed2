#include "commands/ScriptParser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

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

std::string ReadSmallFile(const std::string& path, std::size_t maxBytes, std::string& text) {
    text.clear();
    if (path.empty())
        return "no file named";
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    struct stat st {};
    std::string problem;
    if (::fstat(fd, &st) != 0)
        problem = std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        problem = "a folder, not a file";
    else if (!S_ISREG(st.st_mode))
        problem = "not a regular file";
    else if (static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        problem = "larger than " + std::to_string(maxBytes) + " bytes";
    // A file that grows while it is read still stops at the cap.
    char buffer[65536];
    while (problem.empty()) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            problem = std::strerror(errno);
        else if (n == 0)
            break;
        else if (text.size() + static_cast<std::size_t>(n) > maxBytes)
            problem = "larger than " + std::to_string(maxBytes) + " bytes";
        else
            text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!problem.empty())
        text.clear();
    return problem;
}

std::string SwitchText(const ScriptSwitch& p) {
    if (p.Letter == 'F' && p.Prefix == '+')
        return p.Value;
    std::string text(1, p.Prefix == ' ' ? '+' : p.Prefix);
    text += p.Letter;
    if (!p.Value.empty())
        text += "=" + p.Value;
    return text;
}

void ScriptParser::ParseToken(std::string_view raw, Script& script) {
    if (script.size() > kMaxScriptSwitches)
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
    if (script.size() == kMaxScriptSwitches) {
        p.Refusal = "the script holds more than " + std::to_string(kMaxScriptSwitches) +
                    " switches: this one and the rest are not run";
        script.push_back(std::move(p));
        return;
    }
    if (p.Letter == 'L') {
        ReadScriptFile(p.Value, script);
        return;
    }
    script.push_back(std::move(p));
}

void ScriptParser::ReadScriptFile(const std::string& path, Script& script) {
    if (script.size() > kMaxScriptSwitches)
        return;
    std::error_code ec;
    const std::string identity = fs::weakly_canonical(fs::path(path), ec).string();
    if (!path.empty() && std::find(reading_.begin(), reading_.end(), identity) != reading_.end())
        return;
    std::string text;
    if (std::string problem = ReadSmallFile(path, kMaxScriptFileBytes, text); !problem.empty()) {
        script.push_back(
            ScriptSwitch{'+', 'L', path, "the script file cannot be read: " + problem});
        return;
    }
    reading_.push_back(identity);
    std::string_view remaining = text;
    for (std::size_t n = 0;
         n < kMaxScriptLines && script.size() <= kMaxScriptSwitches && !remaining.empty(); ++n) {
        const std::size_t end = remaining.find('\n');
        std::string_view line = remaining.substr(0, end);
        remaining = end == std::string_view::npos ? std::string_view() : remaining.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
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
