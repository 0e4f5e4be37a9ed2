#include "media/preview/PreviewClock.h"

#include <algorithm>

#include "media/preview/PreviewSinks.h"

namespace kelvor::media {
namespace {

// How often a waiting renderer looks again: a stop or seek shows only as its pin flushing, and
// the sound's position moves without telling anyone.
constexpr auto kPollStep = std::chrono::milliseconds(5);

}  // namespace

void PreviewClock::SoundStarted(std::shared_ptr<PreviewAudioOutput> out) {
    std::lock_guard lock(stateMutex_);
    started_ = std::move(out);
    sound_ = started_;
    soundAnchored_ = false;
    changed_.notify_all();
}

void PreviewClock::Run(StreamTime start) {
    std::lock_guard lock(stateMutex_);
    if (running_)
        return;
    // The sound, when it drives, goes on from where it was suspended; the silent clock from
    // the picture the graph stood on.
    running_ = true;
    silentAnchored_ = true;
    silentBase_ = start;
    silentWall_ = Steady::now();
    changed_.notify_all();
}

void PreviewClock::Pause() {
    std::lock_guard lock(stateMutex_);
    if (!running_)
        return;
    silentBase_ = nowLocked(Steady::now());
    running_ = false;
    changed_.notify_all();
}

void PreviewClock::Stop() {
    std::lock_guard lock(stateMutex_);
    running_ = false;
    started_.reset();
    sound_.reset();
    soundAnchored_ = silentAnchored_ = false;
    changed_.notify_all();
}

void PreviewClock::Flushed() {
    std::lock_guard lock(stateMutex_);
    // The output was flushed too: its played count starts again at the new position, and a
    // sound that had ended plays again.
    sound_ = started_;
    soundAnchored_ = silentAnchored_ = false;
    changed_.notify_all();
}

void PreviewClock::AnchorSound(StreamTime t) {
    std::lock_guard lock(stateMutex_);
    if (!soundAnchored_) {
        soundAnchored_ = true;
        soundBase_ = t;
        changed_.notify_all();
    }
}

void PreviewClock::AnchorSilent(StreamTime t) {
    std::lock_guard lock(stateMutex_);
    if (!silentAnchored_) {
        silentAnchored_ = true;
        silentBase_ = t;
        silentWall_ = Steady::now();
        changed_.notify_all();
    }
}

void PreviewClock::SoundEnded() {
    std::lock_guard lock(stateMutex_);
    nowLocked(Steady::now());  // levels the silent clock with the sound
    sound_.reset();
    changed_.notify_all();
}

StreamTime PreviewClock::nowLocked(Steady::time_point now) {
    if (sound_ && soundAnchored_) {
        const std::int64_t played = sound_->PlayedUSecs();
        if (played >= 0) {
            const StreamTime t = soundBase_ + played * 10;
            silentBase_ = t;
            silentWall_ = now;
            silentAnchored_ = true;
            return t;
        }
        // The device failed: the silent clock, level with the last sound reading, takes over.
        sound_.reset();
    }
    if (sound_ || !running_ || !silentAnchored_)
        return silentBase_;  // waiting for the sound's first block, paused, or not yet anchored
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - silentWall_);
    return silentBase_ + elapsed.count() * 10;
}

StreamTime PreviewClock::Now() {
    std::lock_guard lock(stateMutex_);
    return nowLocked(Steady::now());
}

bool PreviewClock::SoundDriving() {
    std::lock_guard lock(stateMutex_);
    nowLocked(Steady::now());
    return sound_ != nullptr;
}

bool PreviewClock::Heard(StreamTime& t) {
    std::lock_guard lock(stateMutex_);
    const StreamTime at = nowLocked(Steady::now());
    if (!sound_ || !soundAnchored_)
        return false;
    t = at;
    return true;
}

bool PreviewClock::WaitUntil(StreamTime t, const InputPin& pin) {
    std::unique_lock lock(stateMutex_);
    for (;;) {
        if (pin.IsFlushing())
            return false;
        const auto now = Steady::now();
        const StreamTime at = nowLocked(now);
        if (at >= t)
            return true;
        const auto ahead = std::chrono::microseconds((t - at) / 10 + 1);
        changed_.wait_until(lock, now + std::min<Steady::duration>(ahead, kPollStep));
    }
}

}  // namespace kelvor::media
