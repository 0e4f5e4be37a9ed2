// An auto-reset event: Signal wakes one wait (or the next one, when nobody waits yet), and a
// wait that returns true has consumed the signal. The graph worker waits on it in short slices
// so that it can post progress and see the abort flags between them.
//
// Any thread may signal, reset or wait; the object is shared (std::shared_ptr) between the
// worker that owns it and the modules that signal it, so a late signal never reaches a dead
// object. Not for signal handlers (it takes a mutex).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kelvor::media {

class CompletionEvent {
  public:
    void Signal() {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        cv_.notify_one();
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }
    // True when the event was signalled within the timeout; the signal is then consumed.
    bool WaitFor(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_for(lock, timeout, [&] { return signalled_; }))
            return false;
        signalled_ = false;
        return true;
    }

  private:
    std::mutex mutex_;  // guards signalled_
    std::condition_variable cv_;
    bool signalled_ = false;
};

}  // namespace kelvor::media
