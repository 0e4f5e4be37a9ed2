#include "ui/Playlist.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/files/OutputFile.h"
#include "core/shell/About.h"

namespace kelvor::ui {
namespace {

constexpr const char* kEol = "\r\n";
const std::string kHyphens = "# " + std::string(61, '-');

}  // namespace

const char* PlaylistSortText(int sortMode) {
    switch (sortMode) {
        case 1:
            return " by alphabetical order";
        case 2:
            return " by filesize";
        case 3:
            return " by filedate";
        default:
            return " by datecode";
    }
}

std::string PlaylistText(const std::vector<std::string>& fullNames, int sortMode,
                         const std::string& versionText, const std::string& doneOn) {
    const std::size_t n = fullNames.size();
    const std::string count = "# " + std::to_string(n) + " file" + (n >= 2 ? "s" : "") + " " +
                              "sorted" + PlaylistSortText(sortMode);
    std::string out;
    const auto line = [&out](const std::string& s) { out += s + kEol; };
    line(kHyphens);
    line("#");
    line(std::string("# Playlist of ") + about::kProductName + " version " + versionText + " " +
         about::kLanguageTag);
    line("#");
    line(kHyphens);
    line(std::string("# Visit my website : ") + about::kWebAddress);
    line("");
    for (const std::string& name : fullNames)
        line("     " + name);
    line("");
    line(kHyphens);
    line(count);
    line("# Done on " + doneOn);
    return out;
}

bool WritePlaylistFile(const std::string& path, const std::string& text, std::string& error) {
    // Written beside the playlist under a name of its own and moved over it complete, so an
    // interrupted or concurrent save never leaves a half playlist.
    files::TemporaryFile temp = files::CreateTemporaryFile(path);
    if (temp.Fd < 0) {
        error = std::strerror(temp.ErrorNumber);
        return false;
    }
    bool ok = files::WriteAll(temp.Fd, std::as_bytes(std::span(text))) && ::fsync(temp.Fd) == 0;
    if (!ok)
        error = std::strerror(errno);
    // The file is closed in every case; a failure to close is a failed write too.
    if (::close(temp.Fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    if (ok && ::rename(temp.Name.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok)
        ::unlink(temp.Name.c_str());
    return ok;
}

}  // namespace kelvor::ui
