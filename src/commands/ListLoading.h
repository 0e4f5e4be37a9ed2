// What the list-loading switches of a script read: the files a name with wildcards matches, and
// the paths a playlist names.
//
// Pure functions over the file system, any thread; nothing throws.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::commands {

// The normal files (regular, not hidden) that the value names: its folder part followed by each
// matching name. The name part may hold * (any characters) and ? (one character), matched
// without regard to ASCII case as the program always did; the folder part is taken as it is.
// Sorted by name; nothing for a folder that cannot be read.
std::vector<std::string> ExpandFileMask(const std::string& value);

// True when the name matches the pattern of * and ?, ASCII letters compared without case.
bool MatchesMask(const std::string& name, const std::string& pattern);

// The path lines of a playlist: every line trimmed of blanks and control characters, empty
// lines and lines beginning with "#" left out. The file is read as UTF-8 (a leading byte order
// mark is skipped) when all of it is valid UTF-8, otherwise as Windows-1252, so that playlists
// made on Windows load. No value when the file cannot be read.
// A playlist of a million paths stays below this; a larger file is not a playlist.
inline constexpr std::size_t kMaxPlaylistBytes = 256u << 20;
std::optional<std::vector<std::string>> PlaylistEntries(const std::string& path);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

}  // namespace kelvor::commands
