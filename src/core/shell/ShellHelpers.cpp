#include "core/shell/ShellHelpers.h"

#include <cstdlib>
#include <system_error>

namespace kelvor::shell {

std::string UnquoteArgument(std::string_view text) {
    auto blankOrControl = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!text.empty() && blankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blankOrControl(text.back()))
        text.remove_suffix(1);
    if (text.size() > 1 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return std::string(text);
}

std::string RemapDrive(std::string_view path, std::string_view oldRoot, std::string_view newRoot) {
    auto stripSlashes = [](std::string_view r) {
        while (!r.empty() && r.back() == '/')
            r.remove_suffix(1);
        return r;
    };
    if (path.empty() || oldRoot.empty())
        return std::string(path);
    // "/" strips to "", which every absolute path starts with.
    const std::string_view oldBase = stripSlashes(oldRoot);
    const std::string_view newBase = stripSlashes(newRoot);
    if (path.substr(0, oldBase.size()) != oldBase)
        return std::string(path);
    const std::string_view rest = path.substr(oldBase.size());
    if (!rest.empty() && rest.front() != '/')
        return std::string(path);
    if (newBase.empty() && rest.empty())
        return std::string(1, '/');
    std::string out;
    out.reserve(newBase.size() + rest.size());
    out.append(newBase);
    out.append(rest);
    return out;
}

std::string ExpandEnvironment(std::string_view text, const EnvironmentLookup& lookup) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('%', i);
        if (open == std::string_view::npos)
            break;
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos)
            break;
        out.append(text.substr(i, open - i));
        const std::string name(text.substr(open + 1, close - open - 1));
        std::optional<std::string> value;
        if (!name.empty() && lookup)
            value = lookup(name);
        if (value)
            out += *value;
        else
            out.append(text.substr(open, close - open + 1));
        i = close + 1;
    }
    out.append(text.substr(i));
    return out;
}

std::string ExpandEnvironment(std::string_view text) {
    return ExpandEnvironment(text, [](const std::string& name) -> std::optional<std::string> {
        const char* v = std::getenv(name.c_str());
        if (!v)
            return std::nullopt;
        return std::string(v);
    });
}

bool DeleteFileForced(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (ec || !fs::exists(st) || fs::is_directory(st))
        return false;
    if (!fs::is_symlink(st))
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
    return fs::remove(path, ec) && !ec;
}

}  // namespace kelvor::shell
