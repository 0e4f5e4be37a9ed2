// The folder scanner: a thread that owns a queue of folders, walks each one depth first (with
// its subfolders when Recursive is set) and reports every entry that is not a folder. It knows
// nothing of videos and opens no file; its owner decides what to keep.
//
// Threads: QueueFolder, Stop, Sleeping, Busy and the destructor belong to the owner's thread;
// the callbacks run on the scanner's own thread, one at a time, and must hand their work to the
// owner (the window posts them to the UI thread). A callback may block (the window's file
// handler waits while its hand-over queue is full) as long as Stop releases it. The queue is
// guarded by mutex_; ScanGoFlag is an atomic read between entries. Nothing throws: folders that
// do not exist or cannot be read are skipped without a callback.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kelvor::ui {

class FolderScanner {
  public:
    using ScanEvent = std::function<void(FolderScanner&, const std::string& root, bool recursive,
                                         const std::string& mask)>;
    using FolderEvent = std::function<void(FolderScanner&, const std::string& folder)>;
    using FileEvent = std::function<void(FolderScanner&, const std::string& path)>;

    // Each callback is optional.
    struct Callbacks {
        ScanEvent OnBeginScan;
        ScanEvent OnEndScan;
        FolderEvent OnEnterDir;
        FolderEvent OnLeaveDir;
        FolderEvent OnDirWithFiles;
        FileEvent OnFileFound;
        // The queue has run empty and Sleeping() is true: the scanner is about to wait.
        std::function<void(FolderScanner&)> OnSleep;
    };

    // Starts the thread, which sleeps at once on its empty queue.
    FolderScanner(Callbacks callbacks, std::string mask = "*.*", bool recursive = true);
    // Stops the scan, wakes the thread, joins it and empties the queue.
    ~FolderScanner();
    FolderScanner(const FolderScanner&) = delete;
    FolderScanner& operator=(const FolderScanner&) = delete;

    // Appends a folder (a trailing "/" is added when missing), sets ScanGoFlag and wakes the
    // scanner. With oneFileSystem the walk stays on the file system of that folder, as a scan
    // of every disk needs (each disk is queued on its own, and /proc is not one).
    void QueueFolder(const std::string& folder, bool oneFileSystem = false);
    // Abort: the scan stops at its next entry, its end callback still comes, and every folder
    // still queued is dropped.
    void Stop() { ScanGoFlag = false; }
    // True while the thread waits on its empty queue.
    bool Sleeping() const { return sleeping_.load(); }
    // True while a root folder is being scanned.
    bool Busy() const { return busy_.load(); }
    bool Recursive() const { return recursive_; }
    const std::string& Mask() const { return mask_; }

    // Scanning may go on. Cleared by the owner to stop; set by QueueFolder and again by the
    // scanner when its queue has run empty.
    std::atomic<bool> ScanGoFlag{true};

    // Folders a walk enters at most below its root; deeper ones are skipped.
    static constexpr int kMaxDepth = 512;

  private:
    struct Queued {
        std::string folder;
        bool oneFileSystem;
    };
    void body();
    // False when the walk stopped because ScanGoFlag was cleared.
    bool scanFolder(const std::string& folder, int depth);
    bool wanted(const char* name) const;

    Callbacks on_;
    const std::string mask_;
    const bool matchAll_;
    const bool recursive_;

    std::mutex mutex_;  // guards queue_ and terminate_
    std::condition_variable wake_;
    std::deque<Queued> queue_;
    bool terminate_ = false;

    std::atomic<bool> sleeping_{false};
    std::atomic<bool> busy_{false};
    // The walk's own state, scanner thread only.
    std::string currentFolder_;
    bool oneFileSystem_ = false;
    dev_t rootDevice_ = 0;

    std::thread thread_;  // last, so it starts after every field above exists
};

// The folder with a trailing "/".
std::string WithDelimiter(const std::string& folder);

}  // namespace kelvor::ui
