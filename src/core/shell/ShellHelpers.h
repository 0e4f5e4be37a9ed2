// Small stateless helpers of the shell layer that need nothing beyond the standard library.
//
// Pure functions (DeleteFileForced touches the file system), callable from any thread; none
// shows a message or throws.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kelvor::shell {

// Removes blanks and control characters at both ends, then one pair of enclosing double quotes
// when the rest is longer than one character and both starts and ends with one.
std::string UnquoteArgument(std::string_view text);

// Moves a path from one mount point to another: the path itself when it is empty, when oldRoot
// is empty or when the path does not lie under oldRoot (whole path components, case-sensitive,
// as the file system is); otherwise newRoot followed by the rest of the path.
std::string RemapDrive(std::string_view path, std::string_view oldRoot, std::string_view newRoot);

// Replaces every %name% whose variable is set by its value. An unset name, an empty name ("%%")
// and a lone "%" stay as written. The result is not truncated.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string&)>;
std::string ExpandEnvironment(std::string_view text, const EnvironmentLookup& lookup);
// The same with the process's environment.
std::string ExpandEnvironment(std::string_view text);

// Makes the file writable by its owner, then deletes it; true when it is gone afterwards
// because of this call. A folder is not deleted.
bool DeleteFileForced(const std::filesystem::path& path);

}  // namespace kelvor::shell
