#include "core/shell/Mounts.h"

#include <algorithm>
#include <array>

namespace kelvor::shell {
namespace {

constexpr std::array<std::string_view, 16> kDiskFileSystems = {
    "ext2", "ext3",  "ext4", "xfs",   "btrfs",   "f2fs",    "jfs",    "reiserfs",
    "vfat", "exfat", "ntfs", "ntfs3", "fuseblk", "hfsplus", "nilfs2", "bcachefs"};

// Mounts that belong to the installed system rather than to the user's videos.
bool isSystemMount(std::string_view mountPoint, bool readOnly) {
    if (mountPoint == "/boot" || mountPoint.substr(0, 6) == "/boot/" || mountPoint == "/efi")
        return true;
    if (!readOnly)
        return false;
    return mountPoint == "/" || mountPoint == "/usr" || mountPoint.substr(0, 5) == "/usr/" ||
           mountPoint.substr(0, 6) == "/snap/";
}

std::string decodeOctal(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && field.size() - i >= 4) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size() && out.size() < 8) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

bool hasOption(std::string_view options, std::string_view option) {
    while (!options.empty()) {
        const std::size_t comma = options.find(',');
        if (options.substr(0, comma) == option)
            return true;
        if (comma == std::string_view::npos)
            break;
        options.remove_prefix(comma + 1);
    }
    return false;
}

}  // namespace

std::vector<std::string> FixedMountPoints(std::string_view text) {
    std::vector<std::string> out;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        const std::vector<std::string_view> f = fields(line);
        if (f.size() < 4)
            continue;
        const std::string_view source = f[0], type = f[2], options = f[3];
        if (std::find(kDiskFileSystems.begin(), kDiskFileSystems.end(), type) ==
            kDiskFileSystems.end())
            continue;
        // A disk file system sits on a block device; anything else is a bind or a FUSE mount.
        if (source.substr(0, 5) != "/dev/")
            continue;
        const std::string mountPoint = decodeOctal(f[1]);
        if (mountPoint.empty() || mountPoint.front() != '/')
            continue;
        if (isSystemMount(mountPoint, hasOption(options, "ro")))
            continue;
        if (std::find(out.begin(), out.end(), mountPoint) == out.end())
            out.push_back(mountPoint);
    }
    return out;
}

}  // namespace kelvor::shell
