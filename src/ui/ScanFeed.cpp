#include "ui/ScanFeed.h"

#include <algorithm>

namespace kelvor::ui {

ScanFeed::ScanFeed(std::function<void()> wakeUi, std::size_t capacity)
    : wakeUi_(std::move(wakeUi)), capacity_(std::max<std::size_t>(capacity, 1)) {}

void ScanFeed::Push(Report report) {
    bool wake = false;
    {
        std::unique_lock lock(mutex_);
        if (report.kind == Kind::File) {
            space_.wait(lock,
                        [this] { return closed_ || !accepting_ || reports_.size() < capacity_; });
            if (closed_ || !accepting_)
                return;
        } else if (closed_) {
            return;
        }
        reports_.push_back(std::move(report));
        if (!uiWoken_) {
            uiWoken_ = true;
            wake = true;
        }
    }
    if (wake && wakeUi_)
        wakeUi_();
}

bool ScanFeed::Take(Report& report) {
    {
        std::lock_guard lock(mutex_);
        if (closed_ || reports_.empty()) {
            uiWoken_ = false;
            return false;
        }
        report = std::move(reports_.front());
        reports_.pop_front();
        // A waiting scanner goes on once half the room is free, not at every path taken.
        if (reports_.size() != capacity_ / 2)
            return true;
    }
    space_.notify_one();
    return true;
}

void ScanFeed::Reject() {
    {
        std::lock_guard lock(mutex_);
        accepting_ = false;
        std::erase_if(reports_, [](const Report& r) { return r.kind == Kind::File; });
    }
    space_.notify_all();
}

void ScanFeed::Accept() {
    std::lock_guard lock(mutex_);
    accepting_ = true;
}

void ScanFeed::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        reports_.clear();
    }
    space_.notify_all();
}

std::size_t ScanFeed::Waiting() const {
    std::lock_guard lock(mutex_);
    return reports_.size();
}

}  // namespace kelvor::ui
