#include "commands/ListLoading.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

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

std::optional<std::vector<std::string>> PlaylistEntries(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::string> entries;
    std::string line;
    for (std::size_t n = 0; n < kMaxPlaylistLines && std::getline(in, line); ++n) {
        const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
        const auto first = std::find_if_not(line.begin(), line.end(), blank);
        const auto last = std::find_if_not(line.rbegin(), line.rend(), blank).base();
        if (first >= last || *first == '#')
            continue;
        entries.emplace_back(first, last);
    }
    return entries;
}

}  // namespace kelvor::commands
