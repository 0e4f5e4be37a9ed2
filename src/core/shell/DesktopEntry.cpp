#include "core/shell/DesktopEntry.h"

#include <utility>

#include "core/shell/About.h"

namespace kelvor::shell {
namespace {

bool hasControl(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

// Value of a string key: a backslash is written doubled.
std::string escapeString(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

DesktopEntry ProgramDesktopEntry(std::string program) {
    DesktopEntry e;
    e.Name = about::kProductName;
    e.GenericName = "DV Camcorder Utility";
    e.Comment = "List, rename, cut and convert DV camcorder videos by their recording date";
    e.Program = std::move(program);
    e.Icon = "kelvor";
    e.Keywords = "DV;camcorder;datecode;timecode;scene;tape;";
    return e;
}

std::optional<std::string> QuoteExecArgument(std::string_view arg) {
    if (hasControl(arg))
        return std::nullopt;
    constexpr std::string_view kReserved = " \t\"'\\><~|&;$*?#()`";
    bool quote = arg.empty();
    for (char c : arg)
        quote = quote || kReserved.find(c) != std::string_view::npos;
    std::string body;
    for (char c : arg) {
        if (c == '%') {
            body += "%%";  // field codes start with %
            continue;
        }
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            body += '\\';
        body += c;
    }
    if (quote)
        body = '"' + body + '"';
    // The string rule applies on top of the quoting rule.
    return escapeString(body);
}

std::optional<std::string> DesktopEntryText(const DesktopEntry& e) {
    for (const std::string* field :
         {&e.Name, &e.Comment, &e.WorkingFolder, &e.GenericName, &e.Icon, &e.Keywords})
        if (hasControl(*field))
            return std::nullopt;
    if (e.Name.empty() || e.Program.empty())
        return std::nullopt;
    const std::optional<std::string> program = QuoteExecArgument(e.Program);
    if (!program)
        return std::nullopt;
    std::string out = "[Desktop Entry]\n";
    out += "Type=Application\n";
    out += "Version=1.0\n";
    out += "Name=" + escapeString(e.Name) + "\n";
    if (!e.GenericName.empty())
        out += "GenericName=" + escapeString(e.GenericName) + "\n";
    if (!e.Comment.empty())
        out += "Comment=" + escapeString(e.Comment) + "\n";
    if (!e.Icon.empty())
        out += "Icon=" + escapeString(e.Icon) + "\n";
    out += "Exec=" + *program + " %F\n";
    if (!e.WorkingFolder.empty())
        out += "Path=" + escapeString(e.WorkingFolder) + "\n";
    out += "Terminal=false\n";
    out += "Categories=AudioVideo;Video;\n";
    out += "MimeType=" + std::string(kVideoMimeTypes) + "\n";
    if (!e.Keywords.empty())
        out += "Keywords=" + escapeString(e.Keywords) + "\n";
    return out;
}

std::string DesktopFileName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out + ".desktop";
}

}  // namespace kelvor::shell
