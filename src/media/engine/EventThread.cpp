#include "media/engine/EventThread.h"

namespace kelvor::media {

EventThread::~EventThread() {
    {
        std::lock_guard lock(q_->mutex);
        q_->jobs.clear();
        q_->quit = true;
        q_->cv.notify_all();
    }
    std::lock_guard lock(threadMutex_);
    if (!thread_.joinable())
        return;
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();  // the loop holds its queue and ends after the running job
    else
        thread_.join();
}

bool EventThread::Post(std::function<void()> job) {
    // Called from streaming threads: a failure to start the thread or to queue loses the job
    // rather than throwing into the stream.
    try {
        {
            std::lock_guard lock(threadMutex_);
            if (!thread_.joinable())
                thread_ = std::thread([q = q_] { loop(q); });
        }
        std::lock_guard lock(q_->mutex);
        if (q_->quit)
            return false;
        q_->jobs.push_back(std::move(job));
        q_->cv.notify_all();
        return true;
    } catch (...) {
        return false;
    }
}

void EventThread::Drop() {
    std::deque<std::function<void()>> dropped;
    std::lock_guard lock(q_->mutex);
    dropped.swap(q_->jobs);
}

void EventThread::Cancel() {
    Drop();
    std::unique_lock lock(q_->mutex);
    if (q_->id == std::this_thread::get_id())
        return;
    q_->cv.wait(lock, [&] { return !q_->running; });
}

void EventThread::loop(const std::shared_ptr<Queue>& q) {
    std::unique_lock lock(q->mutex);
    q->id = std::this_thread::get_id();
    for (;;) {
        q->cv.wait(lock, [&] { return q->quit || !q->jobs.empty(); });
        if (q->quit)
            return;
        std::function<void()> job = std::move(q->jobs.front());
        q->jobs.pop_front();
        q->running = true;
        lock.unlock();
        try {
            job();
        } catch (...) {
            // A job's failure is its own; the next job still runs.
        }
        job = nullptr;
        lock.lock();
        q->running = false;
        q->cv.notify_all();
    }
}

}  // namespace kelvor::media
