// Waiting in tests without sleeping: a counter that threads bump and a test waits on with a
// deadline, and a watchdog that ends a hung test with a message naming the step it hung in
// (a hang then fails in seconds with a reason, not at the test runner's timeout).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace kelvor::test {

class Counter {
  public:
    // Notifies under the lock: a waiter that sees the value may destroy the counter at once.
    void Add(long n = 1) {
        std::lock_guard lock(mutex_);
        value_ += n;
        cv_.notify_all();
    }
    long Value() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        value_ = 0;
    }
    // True once the value is at least n; false when the timeout passes first.
    bool WaitFor(long n, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] { return value_ >= n; });
    }

  private:
    mutable std::mutex mutex_;  // guards value_
    mutable std::condition_variable cv_;
    long value_ = 0;
};

class Watchdog {
  public:
    explicit Watchdog(std::chrono::seconds limit) : limit_(limit) {
        deadline_ = std::chrono::steady_clock::now() + limit_;
        thread_ = std::thread([this] { watch(); });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Names what the calling thread does now and gives it the time limit afresh.
    void Step(const std::string& what) {
        std::lock_guard lock(mutex_);
        steps_[std::this_thread::get_id()] = what;
        deadline_ = std::chrono::steady_clock::now() + limit_;
    }

  private:
    void watch() {
        std::unique_lock lock(mutex_);
        while (!done_) {
            if (cv_.wait_until(lock, deadline_, [&] { return done_; }))
                return;
            if (std::chrono::steady_clock::now() < deadline_)
                continue;
            std::fprintf(stderr, "HANG: no step finished within %lld s; last steps:\n",
                         static_cast<long long>(limit_.count()));
            for (const auto& [id, what] : steps_)
                std::fprintf(stderr, "  %s\n", what.c_str());
            std::abort();
        }
    }

    const std::chrono::seconds limit_;
    std::mutex mutex_;  // guards the fields below
    std::condition_variable cv_;
    std::chrono::steady_clock::time_point deadline_;
    std::map<std::thread::id, std::string> steps_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace kelvor::test
