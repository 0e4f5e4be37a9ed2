// The clock the preview's two renderers present by. While a sound output plays, it is the sound
// actually heard: the stream time of the first sound written since the last start or seek plus
// what the output says it has played since then. Without a sound output, when the output fails,
// or once the sound has ended, a silent clock stands in: the wall clock counted from the stream
// time the graph ran (or sought) from, frozen while paused. The silent clock is kept level with
// the sound at every reading, so a switch carries on from the last sound time without a stall or
// a jump.
//
// Threads: Run, Pause, Stop, Flushed and SoundStarted come from the driving thread through the
// renderers' state changes; the anchors, Now, WaitUntil and SoundEnded from the streaming
// threads. All state is under stateMutex_.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "media/engine/Filter.h"

namespace kelvor::media {

class PreviewAudioOutput;

class PreviewClock {
  public:
    // The output started for this run (its played position drives the clock), or null when
    // there is none or it could not start.
    void SoundStarted(std::shared_ptr<PreviewAudioOutput> out);
    // The graph runs from stream time start; nothing changes when already running.
    void Run(StreamTime start);
    void Pause();
    void Stop();
    // A seek: both bases are forgotten and the first samples of the new position set them.
    void Flushed();
    // The first sound written since the output's start or last flush was at stream time t.
    void AnchorSound(StreamTime t);
    // A running renderer is about to wait for t: the first such sample after a seek starts the
    // silent clock there.
    void AnchorSilent(StreamTime t);
    // The sound has no more samples: the silent clock carries on from where the sound is.
    void SoundEnded();

    StreamTime Now();
    // True while the sound's played position is what the clock reads.
    bool SoundDriving();
    // The stream time of the sound heard; false unless the sound drives the clock and its
    // first block since the start or the last seek was written.
    bool Heard(StreamTime& t);
    // Waits until the clock reaches t; false when the pin started flushing (stop or seek) first.
    bool WaitUntil(StreamTime t, const InputPin& pin);

  private:
    using Steady = std::chrono::steady_clock;
    StreamTime nowLocked(Steady::time_point now);

    std::mutex stateMutex_;
    std::condition_variable changed_;
    std::shared_ptr<PreviewAudioOutput> started_;  // the output of this run, or null
    std::shared_ptr<PreviewAudioOutput> sound_;    // null: the silent clock alone
    bool soundAnchored_ = false;
    StreamTime soundBase_ = 0;
    bool running_ = false;
    bool silentAnchored_ = false;
    StreamTime silentBase_ = 0;  // the silent clock's reading at silentWall_
    Steady::time_point silentWall_{};
};

}  // namespace kelvor::media
