#include "core/files/FileKinds.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <span>
#include <string_view>

#include "core/dv/DvPacks.h"

namespace kelvor::files {
namespace {

constexpr std::size_t kSniffBytes = 12;
constexpr std::array<std::string_view, 5> kDvVideoExtensions = {"avi", "dv", "dif", "mov", "mkv"};
// The atoms a QuickTime file may start with, at bytes 4 to 7.
constexpr std::array<std::string_view, 6> kQuickTimeAtoms = {"ftyp", "moov", "mdat",
                                                             "wide", "free", "skip"};
constexpr std::array<unsigned char, 4> kEbmlMagic = {0x1A, 0x45, 0xDF, 0xA3};

bool isRegular(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

ContainerKind kindOfBytes(std::span<const unsigned char> b) {
    // Whether the bytes at `at` spell `text`.
    const auto spells = [&](std::size_t at, std::string_view text) {
        return b.size() - std::min(b.size(), at) >= text.size() &&
               std::equal(
                   text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(at),
                   [](char c, unsigned char u) { return static_cast<unsigned char>(c) == u; });
    };
    if (spells(0, "RIFF") && spells(8, "AVI"))
        return ContainerKind::Avi;
    if (dv::HeaderBlockStandard(b) != dv::kStandardUnknown)
        return ContainerKind::RawDv;
    if (b.size() >= 4 && std::equal(kEbmlMagic.begin(), kEbmlMagic.end(), b.begin()))
        return ContainerKind::Matroska;
    if (std::any_of(kQuickTimeAtoms.begin(), kQuickTimeAtoms.end(),
                    [&](std::string_view atom) { return spells(4, atom); }))
        return ContainerKind::QuickTime;
    return ContainerKind::Other;
}

}  // namespace

ContainerKind ContainerOf(const std::string& path) {
    if (!isRegular(path))
        return ContainerKind::Other;
    std::array<unsigned char, kSniffBytes> b{};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return ContainerKind::Other;
    const std::size_t n = std::fread(b.data(), 1, b.size(), f);
    std::fclose(f);
    return kindOfBytes({b.data(), n});
}

bool HasDvVideoName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(kDvVideoExtensions.begin(), kDvVideoExtensions.end(), ext) !=
           kDvVideoExtensions.end();
}

bool IsDvVideoCandidate(const std::string& path) {
    if (!isRegular(path))
        return false;
    return HasDvVideoName(path) || ContainerOf(path) != ContainerKind::Other;
}

bool IsVideoFile(const std::string& path) {
    return IsDvVideoCandidate(path);
}

}  // namespace kelvor::files
