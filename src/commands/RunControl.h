// The flags through which a front end steers the runs: Esc (abort the current file of a graph
// run, stop loading), Shift+Esc (abort every run and the script), and the end of a command run
// that the script runner waits for.
//
// The front end owns one RunControl for its life and hands it to the workers and the script
// runner. Every flag is a lock-free atomic, so any thread may read or write them; the
// *FromSignal operations only store to atomics and are safe in a signal handler. Abort and
// AbortAll also wake the graph worker's wait at once; from a signal handler the worker sees
// the flags at its next check (within 500 ms).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "media/graphs/CompletionEvent.h"

namespace kelvor::commands {

class RunControl {
  public:
    static_assert(std::atomic<bool>::is_always_lock_free);

    std::atomic<bool> GraphFile{true};        // graph worker's current-file flag
    std::atomic<bool> GraphBatch{true};       // graph worker's batch flag
    std::atomic<bool> FastBatch{true};        // short worker's batch flag
    std::atomic<bool> KeepLoading{true};      // loading loops go on while set
    std::atomic<bool> ScriptStop{false};      // the script runner stops when set
    std::atomic<bool> CommandFinished{true};  // the last command run has ended

    // Esc: the graph worker stops the file it converts; loading stops.
    void Abort() {
        AbortFromSignal();
        wake();
    }
    // Shift+Esc: every run ends after its current file, loading and the script stop.
    void AbortAll() {
        AbortAllFromSignal();
        wake();
    }
    void AbortFromSignal() {
        GraphFile = false;
        KeepLoading = false;
    }
    void AbortAllFromSignal() {
        GraphBatch = false;
        FastBatch = false;
        KeepLoading = false;
        CommandFinished = true;
        ScriptStop = true;
    }

    // The wait that Abort and AbortAll wake: the running graph worker's completion event.
    void SetWakeTarget(std::shared_ptr<media::CompletionEvent> event) {
        std::lock_guard lock(mutex_);
        wake_ = std::move(event);
    }

  private:
    void wake() {
        std::shared_ptr<media::CompletionEvent> event;
        {
            std::lock_guard lock(mutex_);
            event = wake_;
        }
        if (event)
            event->Signal();
    }

    std::mutex mutex_;  // guards wake_
    std::shared_ptr<media::CompletionEvent> wake_;
};

}  // namespace kelvor::commands
