#include "ui/Playlist.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/shell/About.h"

namespace kelvor::ui {
namespace {

constexpr const char* kEol = "\r\n";
const std::string kHyphens = "# " + std::string(61, '-');

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

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
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    if (std::fwrite(text.data(), 1, text.size(), f.get()) != text.size()) {
        error = std::strerror(errno);
        return false;
    }
    // The file is closed in every case; a failure to flush is a failed write too.
    if (std::fclose(f.release()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace kelvor::ui
