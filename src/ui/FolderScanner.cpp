#include "ui/FolderScanner.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>

#include "commands/ListLoading.h"

namespace kelvor::ui {
namespace {

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

enum class EntryKind { File, Folder, Skip };

// What an entry is, without opening it. A link to a folder is not followed, so a link back up
// the tree cannot make the walk endless; a link to anything else counts as a file.
EntryKind KindOf(const std::string& path, unsigned char type) {
    switch (type) {
        case DT_DIR:
            return EntryKind::Folder;
        case DT_LNK: {
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0)
                return EntryKind::File;
            return S_ISDIR(st.st_mode) ? EntryKind::Skip : EntryKind::File;
        }
        case DT_UNKNOWN: {
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0)
                return EntryKind::Skip;
            if (S_ISLNK(st.st_mode))
                return KindOf(path, DT_LNK);
            return S_ISDIR(st.st_mode) ? EntryKind::Folder : EntryKind::File;
        }
        default:
            return EntryKind::File;
    }
}

}  // namespace

std::string WithDelimiter(const std::string& folder) {
    if (!folder.empty() && folder.back() == '/')
        return folder;
    return folder + '/';
}

FolderScanner::FolderScanner(Callbacks callbacks, std::string mask, bool recursive)
    : on_(std::move(callbacks)),
      mask_(std::move(mask)),
      // "*.*" names every entry, also those without a dot, as it always did.
      matchAll_(mask_ == "*.*" || mask_ == "*"),
      recursive_(recursive),
      thread_([this] { body(); }) {}

FolderScanner::~FolderScanner() {
    ScanGoFlag = false;
    {
        std::lock_guard lock(mutex_);
        terminate_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
    queue_.clear();
}

void FolderScanner::QueueFolder(const std::string& folder, bool oneFileSystem) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(Queued{folder, oneFileSystem});
        ScanGoFlag = true;
    }
    // The scanner re-checks the queue under the lock before it sleeps, so this wake-up cannot be
    // lost.
    wake_.notify_all();
}

bool FolderScanner::wanted(const char* name) const {
    return matchAll_ || commands::MatchesMask(name, mask_);
}

void FolderScanner::body() {
    std::unique_lock lock(mutex_);
    while (!terminate_) {
        if (queue_.empty()) {
            ScanGoFlag = true;
            sleeping_ = true;
            if (on_.OnSleep) {
                // Out of the lock, so the callback may post or queue; a folder queued meanwhile
                // is seen by the wait's own test.
                lock.unlock();
                on_.OnSleep(*this);
                lock.lock();
            }
            wake_.wait(lock, [this] { return terminate_ || !queue_.empty(); });
            sleeping_ = false;
            continue;
        }
        if (!ScanGoFlag) {
            // A cancelled scan drops every folder still waiting.
            queue_.clear();
            continue;
        }
        const Queued next = queue_.front();
        lock.unlock();
        const std::string root = WithDelimiter(next.folder);
        struct stat st {};
        if (::stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            busy_ = true;
            oneFileSystem_ = next.oneFileSystem;
            rootDevice_ = st.st_dev;
            if (on_.OnBeginScan)
                on_.OnBeginScan(*this, root, recursive_, mask_);
            scanFolder(root, 0);
            if (on_.OnEndScan)
                on_.OnEndScan(*this, root, recursive_, mask_);
            busy_ = false;
        }
        lock.lock();
        if (!queue_.empty())
            queue_.pop_front();
    }
}

bool FolderScanner::scanFolder(const std::string& folder, int depth) {
    currentFolder_ = folder;
    if (on_.OnEnterDir)
        on_.OnEnterDir(*this, folder);
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return true;  // a folder that cannot be read ends its own scan only
    if (on_.OnDirWithFiles)
        on_.OnDirWithFiles(*this, currentFolder_);
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 || !wanted(name))
            continue;
        const std::string path = folder + name;
        const EntryKind kind = KindOf(path, entry->d_type);
        if (kind == EntryKind::File) {
            if (!ScanGoFlag)
                return false;
            if (currentFolder_ != folder) {
                // Back from a subfolder: the owner hears of this folder again.
                currentFolder_ = folder;
                if (on_.OnDirWithFiles)
                    on_.OnDirWithFiles(*this, folder);
            }
            if (on_.OnFileFound)
                on_.OnFileFound(*this, path);
        } else if (kind == EntryKind::Folder && recursive_) {
            if (!ScanGoFlag)
                return false;
            if (depth >= kMaxDepth)
                continue;
            if (oneFileSystem_) {
                struct stat st {};
                if (::lstat(path.c_str(), &st) != 0 || st.st_dev != rootDevice_)
                    continue;
            }
            if (!scanFolder(path + '/', depth + 1))
                return false;
        }
    }
    dir.reset();
    currentFolder_ = folder;
    if (on_.OnLeaveDir)
        on_.OnLeaveDir(*this, folder);
    return true;
}

}  // namespace kelvor::ui
