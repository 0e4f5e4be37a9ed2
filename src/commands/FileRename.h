// Renaming a file without ever replacing another, also when another process creates the target
// name at the same moment: renameat2 with RENAME_NOREPLACE, or where the file system lacks it a
// hard link then the removal of the old name, and only where it has neither a check followed by
// a rename.
//
// Any thread; touches only the two names. Failure: the status and errno, nothing thrown.
#pragma once

#include <functional>
#include <string>

namespace kelvor::commands {

enum class RenameStatus {
    Renamed,
    TargetExists,  // a file of the new name exists: nothing was changed
    Failed,        // the file system refused (errno in error): nothing was changed
};

RenameStatus RenameNoReplace(const std::string& from, const std::string& to, int* error = nullptr);

// True when a directory entry of that name exists (a dangling link counts).
bool PathTaken(const std::string& path);

// The proposed base when free, else the first of "base(1)", "base(2)"... that is; after the
// last counter tried, that last name, so a full folder still gives an answer.
std::string FirstFreeBase(const std::string& proposed,
                          const std::function<bool(const std::string&)>& taken);

}  // namespace kelvor::commands
