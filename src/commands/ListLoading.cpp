#include "commands/ListLoading.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/scenes/TextEncoding.h"

namespace kelvor::commands {
namespace {

namespace fs = std::filesystem;

// A folder holds fewer entries than this; a larger count is a file system gone wrong.
constexpr std::size_t kMaxEntries = 1000000;
constexpr std::size_t kMaxPlaylistLines = 1000000;

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NormalFile(const fs::path& p) {
    std::error_code ec;
    const std::string name = p.filename().string();
    return !name.empty() && name.front() != '.' && fs::is_regular_file(p, ec);
}

}  // namespace

bool MatchesMask(const std::string& name, const std::string& pattern) {
    // Iterative matching with one backtrack point for the last star: linear in practice and
    // never recursive.
    std::size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> ExpandFileMask(const std::string& value) {
    const std::size_t slash = value.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : value.substr(0, slash + 1);
    const std::string pattern = slash == std::string::npos ? value : value.substr(slash + 1);
    std::vector<std::string> found;
    if (pattern.empty())
        return found;
    if (pattern.find_first_of("*?") == std::string::npos) {
        if (NormalFile(fs::path(value)))
            found.push_back(value);
        return found;
    }
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
    for (std::size_t seen = 0; !ec && it != fs::directory_iterator() && seen < kMaxEntries;
         it.increment(ec), ++seen) {
        const std::string name = it->path().filename().string();
        if (MatchesMask(name, pattern) && NormalFile(it->path()))
            found.push_back(name);
    }
    std::sort(found.begin(), found.end());
    for (std::string& name : found)
        name = folder + name;
    return found;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = 0;
        std::uint32_t cp = 0, min = 0;
        if ((b0 & 0xE0) == 0xC0) {
            n = 1, cp = b0 & 0x1Fu, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            n = 2, cp = b0 & 0x0Fu, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            n = 3, cp = b0 & 0x07u, min = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - i - 1 < n)
            return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

std::optional<std::vector<std::string>> PlaylistEntries(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxPlaylistBytes)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    else if (!IsValidUtf8(text))
        text = scenes::Windows1252ToUtf8(text);
    std::vector<std::string> entries;
    std::istringstream lines(text);
    std::string line;
    for (std::size_t n = 0; n < kMaxPlaylistLines && std::getline(lines, line); ++n) {
        const auto blank = [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) == 0x7F;
        };
        const auto first = std::find_if_not(line.begin(), line.end(), blank);
        const auto last = std::find_if_not(line.rbegin(), line.rend(), blank).base();
        if (first >= last || *first == '#')
            continue;
        entries.emplace_back(first, last);
    }
    return entries;
}

}  // namespace kelvor::commands
