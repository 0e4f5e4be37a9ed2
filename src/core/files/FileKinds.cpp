#include "core/files/FileKinds.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace kelvor::files {
namespace {

constexpr std::size_t kSniffBytes = 12;

bool hasVideoExtension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == "avi" || ext == "dv" || ext == "dif";
}

}  // namespace

bool IsVideoFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (hasVideoExtension(path))
        return true;
    std::array<unsigned char, kSniffBytes> b{};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    const std::size_t n = std::fread(b.data(), 1, b.size(), f);
    std::fclose(f);
    const bool riffAvi = n >= 12 && b[0] == 'R' && b[1] == 'I' && b[2] == 'F' && b[3] == 'F' &&
                         b[8] == 'A' && b[9] == 'V' && b[10] == 'I';
    // A DIF header block: section type 0, sequence 0, block 0, then the 625/50 or 525/60 byte.
    const bool rawDv = n >= 4 && (b[0] & 0xE0) == 0 && (b[1] & 0xF0) == 0 && b[2] == 0 &&
                       (b[3] == 0xBF || b[3] == 0x3F);
    return riffAvi || rawDv;
}

}  // namespace kelvor::files
