// A thread that runs posted jobs one after the other: the graph delivers its completion
// callback here, away from the streaming threads, so that the callback may stop, pause, run or
// seek the graph (all of which join the streaming threads).
//
// Ownership: the thread starts with the first Post and holds its queue jointly with this object,
// so destroying the object from inside a job (a callback that drops the last owner of its graph)
// detaches the thread, which ends after that job, instead of joining itself.
// Threads: Post, Drop and Cancel from any thread. Failure: Post answers false; a job that
// throws is dropped with its exception and the thread goes on with the next one.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kelvor::media {

class EventThread {
  public:
    EventThread() = default;
    ~EventThread();  // drops what is queued, waits for a running job and joins
    EventThread(const EventThread&) = delete;
    EventThread& operator=(const EventThread&) = delete;

    // False when the job could not be queued (the thread could not start, or the object is
    // going); the job is then dropped.
    bool Post(std::function<void()> job);
    // Drops every job not started yet.
    void Drop();
    // Drops every job not started yet and, unless called from a job, waits until a job running
    // now has returned: when Cancel returns, no job posted before it runs or will run.
    void Cancel();

  private:
    struct Queue {
        std::mutex mutex;  // guards the fields below
        std::condition_variable cv;
        std::deque<std::function<void()>> jobs;
        bool running = false;  // a job is being run
        bool quit = false;
        std::thread::id id;
    };
    static void loop(const std::shared_ptr<Queue>& q);

    std::shared_ptr<Queue> q_ = std::make_shared<Queue>();
    std::mutex threadMutex_;  // guards thread_
    std::thread thread_;
};

}  // namespace kelvor::media
