// The playlist text file: the header lines, one line per listed video (five blanks and its full
// path), the count line and the date line, every line ended by CR LF, written as UTF-8.
//
// Pure functions, any thread. Reading is commands::PlaylistEntries (UTF-8, else Windows-1252).
#pragma once

#include <string>
#include <vector>

namespace kelvor::ui {

// The default playlist's file name in the playlist folder.
inline constexpr const char* kDefaultPlaylistName = "PlayList.txt";

// " by datecode", " by alphabetical order", " by filesize", " by filedate".
const char* PlaylistSortText(int sortMode);

// The whole file for the paths in list order; doneOn is the date line's text after "# Done on ".
std::string PlaylistText(const std::vector<std::string>& fullNames, int sortMode,
                         const std::string& versionText, const std::string& doneOn);

// Writes the text to path, replacing what was there; false with a reason when the file could
// not be written completely (what was written stays, as a failed write leaves it).
bool WritePlaylistFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace kelvor::ui
