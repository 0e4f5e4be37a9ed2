#include "core/shell/OsVersion.h"

namespace kelvor::shell {
namespace {

std::string productName(const WindowsVersion& v) {
    const std::string& sp = v.ServicePack;
    const char second = sp.size() >= 2 ? sp[1] : '\0';
    switch (v.PlatformId) {
        case 0:
            return "Windows 3.1";
        case 1:
            if (v.Major != 4)
                return "Unknown";
            if (v.Minor == 0)
                return second == 'B' || second == 'c' ? "Windows 95 OSR 2" : "Windows 95";
            if (v.Minor == 10)
                return second == 'a' ? "Windows 98 Second Edition" : "Windows 98";
            if (v.Minor == 90)
                return "Windows ME";
            return "Windows 9X";
        case 2:
            if (v.Major == 3)
                return "Windows NT 3.5";
            if (v.Major == 4)
                return "Windows NT 4";
            if (v.Major == 5) {
                if (v.Minor == 0)
                    return "Windows 2000";
                if (v.Minor == 1)
                    return "Windows XP";
                if (v.Minor == 2)
                    return "Windows Server 2003";
                return "Windows NT ?";
            }
            if (v.Major == 6)
                return v.Minor == 0 ? "Windows Vista" : "Unknown";
            return "Windows NT ?";
        default:
            return "Unknown";
    }
}

}  // namespace

std::string WindowsVersionText(const WindowsVersion& version) {
    return productName(version) + " " + version.ServicePack + " - build " +
           std::to_string(version.Build & 0xFFFFu);
}

std::string PrettyNameFromOsRelease(std::string_view text) {
    constexpr std::string_view kKey = "PRETTY_NAME=";
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        if (line.substr(0, kKey.size()) != kKey)
            continue;
        std::string_view value = line.substr(kKey.size());
        if (value.empty())
            return {};
        const char quote = value.front();
        if (quote != '"' && quote != '\'')
            return std::string(value);
        std::string out;
        for (std::size_t i = 1; i < value.size(); ++i) {
            const char c = value[i];
            if (c == quote)
                break;
            // Only double-quoted values know backslash escapes.
            if (c == '\\' && quote == '"' && i + 1 < value.size()) {
                out += value[++i];
                continue;
            }
            out += c;
        }
        return out;
    }
    return {};
}

std::string LinuxVersionText(std::string_view kernelName, std::string_view kernelRelease,
                             std::string_view prettyName) {
    std::string out(kernelName);
    if (!kernelRelease.empty()) {
        if (!out.empty())
            out += ' ';
        out += kernelRelease;
    }
    if (!prettyName.empty()) {
        if (!out.empty())
            out += " - ";
        out += prettyName;
    }
    return out;
}

}  // namespace kelvor::shell
