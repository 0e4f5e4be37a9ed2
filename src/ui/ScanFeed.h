// The hand-over from the folder scanner's thread to the UI thread: the scanner's reports in
// their order (a folder with files, a file found, the end of a root folder's scan), bounded so
// that a walk over a whole disk never holds more than `capacity` paths in memory: the scanner
// waits while the UI thread is behind.
//
// Threads: Push on the scanner's thread; Take, Reject, Accept and Close on the UI thread. Every
// field is guarded by mutex_. wakeUi is called (by Push, on the scanner's thread) when the UI
// thread should come and take; it must only post, never block. Nothing throws.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace kelvor::ui {

class ScanFeed {
  public:
    enum class Kind { Folder, File, End };
    struct Report {
        Kind kind;
        std::string text;  // the folder, the file's path, or the root folder
    };

    ScanFeed(std::function<void()> wakeUi, std::size_t capacity);

    // Scanner thread. A file is dropped while the feed rejects files (after an abort); waits
    // while the feed is full, until the UI thread takes, rejects or closes.
    void Push(Report report);
    // UI thread: the oldest report. False when none is waiting; the next Push then wakes the UI
    // thread again.
    bool Take(Report& report);
    // Abort: the files waiting are dropped (folder and end reports stay, so every scan still
    // ends), further files are dropped until Accept, and a waiting scanner goes on.
    void Reject();
    // A new scan was queued: files are taken again.
    void Accept();
    // For good: nothing is taken any more and the scanner never waits.
    void Close();
    std::size_t Waiting() const;

  private:
    std::function<void()> wakeUi_;
    const std::size_t capacity_;
    mutable std::mutex mutex_;  // guards every field below
    std::condition_variable space_;
    std::deque<Report> reports_;
    bool accepting_ = true;
    bool closed_ = false;
    bool uiWoken_ = false;  // a wake-up is on its way and the UI has not found the queue empty
};

}  // namespace kelvor::ui
