#include "commands/FileRename.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kelvor::commands {
namespace {

RenameStatus fail(int* error, int code) {
    if (error)
        *error = code;
    return code == EEXIST ? RenameStatus::TargetExists : RenameStatus::Failed;
}

bool unsupported(int code) {
    return code == EINVAL || code == ENOSYS || code == EOPNOTSUPP || code == ENOTSUP;
}

}  // namespace

bool PathTaken(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string FirstFreeBase(const std::string& proposed,
                          const std::function<bool(const std::string&)>& taken) {
    // The same cap as any loop over names: far more files than a folder of videos holds.
    constexpr int kMaxCollisionCounter = 100000;
    std::string candidate = proposed;
    for (int n = 1; taken(candidate) && n <= kMaxCollisionCounter; ++n)
        candidate = proposed + "(" + std::to_string(n) + ")";
    return candidate;
}

RenameStatus RenameNoReplace(const std::string& from, const std::string& to, int* error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return RenameStatus::Renamed;
    if (!unsupported(errno))
        return fail(error, errno);
    // A file system without the no-replace flag: a hard link cannot replace either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0)
            return RenameStatus::Renamed;
        const int code = errno;
        ::unlink(to.c_str());
        return fail(error, code);
    }
    if (errno != EPERM && !unsupported(errno))
        return fail(error, errno);
    // Neither (some network and FUSE file systems): the best that is left.
    if (PathTaken(to))
        return fail(error, EEXIST);
    if (::rename(from.c_str(), to.c_str()) == 0)
        return RenameStatus::Renamed;
    return fail(error, errno);
}

}  // namespace kelvor::commands
