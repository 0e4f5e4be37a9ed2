// Playback of a 10-second PAL DV file (type 1, with sound) through the preview graph, headless:
// at half and at full size with the silent clock, then at half size with a sound output that
// plays in real time. For each run: the frames shown against the frames due, how many were shown
// more than a frame late, the process CPU time per second of playback, and for the sound run
// the largest gap between the sound heard and the picture presented.
#include <sys/resource.h>

#include <QGuiApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "fixtures/DvFixture.h"
#include "media/graphs/ProbeGraph.h"
#include "media/preview/PreviewGraph.h"

namespace {

using namespace kelvor;
using namespace kelvor::media;
using Steady = std::chrono::steady_clock;

constexpr int kFrames = 250;
constexpr double kFps = 25.0;

double processSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// A device that plays what it was given in real time while not suspended; it never plays
// sound it has not been given.
class RealTimeSound final : public PreviewAudioOutput {
  public:
    bool Start(int rate, int channels) override {
        std::lock_guard lock(mutex_);
        bytesPerSecond_ = rate * channels * 2;
        reset();
        return true;
    }
    void Write(const std::uint8_t*, std::size_t bytes, int) override {
        std::lock_guard lock(mutex_);
        written_ += static_cast<std::int64_t>(bytes);
    }
    void Stop() override {}
    void Suspend(bool on) override {
        std::lock_guard lock(mutex_);
        if (on && playing_)
            heard_ = playedLocked();
        else if (!on && !playing_)
            since_ = Steady::now();
        playing_ = !on;
    }
    void Flush() override {
        std::lock_guard lock(mutex_);
        const bool playing = playing_;
        reset();
        playing_ = playing;
    }
    std::int64_t PlayedUSecs() const override {
        std::lock_guard lock(mutex_);
        return playedLocked();
    }

  private:
    void reset() {
        written_ = 0;
        heard_ = 0;
        playing_ = false;
        since_ = Steady::now();
    }
    std::int64_t playedLocked() const {
        std::int64_t t = heard_;
        if (playing_)
            t += std::chrono::duration_cast<std::chrono::microseconds>(Steady::now() - since_)
                     .count();
        const std::int64_t given = bytesPerSecond_ > 0 ? written_ * 1'000'000 / bytesPerSecond_ : 0;
        return std::min(t, given);
    }

    mutable std::mutex mutex_;  // guards every field below
    int bytesPerSecond_ = 0;
    std::int64_t written_ = 0;
    std::int64_t heard_ = 0;
    bool playing_ = false;
    Steady::time_point since_;
};

struct Figures {
    long shown = 0;
    long late = 0;
    double wall = 0;
    double cpuPerSecond = 0;
    double maxGapMs = 0;
};

bool play(const files::FileRecord& record, bool half, bool withSound, Figures& out) {
    settings::Preferences prefs;
    prefs.PreviewDvAtHalfSize = half;
    prefs.IsInlayOn = true;
    PreviewGraph view(prefs);
    std::shared_ptr<RealTimeSound> sound;
    if (withSound) {
        sound = std::make_shared<RealTimeSound>();
        view.AudioRenderer().SetOutput(sound);
    }
    std::atomic<bool> running{false};
    std::mutex figuresMutex;  // guards start, late and maxGap
    Steady::time_point start;
    long late = 0;
    double maxGap = 0;
    view.VideoRenderer().SetNotifier([&] {
        if (!running.load())
            return;
        const auto p = view.VideoRenderer().Latest();
        if (!p)
            return;
        const auto now = Steady::now();
        std::lock_guard lock(figuresMutex);
        const double dueMs = static_cast<double>(p->Time) / 1e4;
        const double atMs = std::chrono::duration<double, std::milli>(now - start).count();
        if (atMs - dueMs > 1000.0 / kFps)
            ++late;
        if (withSound) {
            const double heardMs = static_cast<double>(view.Clock().Now()) / 1e4;
            maxGap = std::max(maxGap, std::abs(heardMs - dueMs));
        }
    });
    if (!view.OpenPreview(record))
        return false;
    const std::uint64_t before = view.VideoRenderer().Sequence();
    {
        std::lock_guard lock(figuresMutex);
        start = Steady::now();
    }
    const double cpu0 = processSeconds();
    running = true;
    view.Run();
    int code = 0;
    Status hr = Code::Ok;
    const bool done = view.GetGraph().WaitForCompletion(60'000, code, hr);
    const double wall = std::chrono::duration<double>(Steady::now() - start).count();
    const double cpu = processSeconds() - cpu0;
    running = false;
    view.Stop();
    if (!done || code != EventCode::Complete)
        return false;
    std::lock_guard lock(figuresMutex);
    // The paused first frame was shown before the run and is not presented again.
    out.shown = static_cast<long>(view.VideoRenderer().Sequence() - before) + 1;
    out.late = late;
    out.wall = wall;
    out.cpuPerSecond = cpu / wall;
    out.maxGapMs = maxGap;
    return true;
}

void print(const char* what, const Figures& f, bool withSound) {
    std::printf("  %-28s shown/due %ld/%d = %.3f, late %ld, %.1f s, CPU %.3f core", what, f.shown,
                kFrames, static_cast<double>(f.shown) / kFrames, f.late, f.wall, f.cpuPerSecond);
    if (withSound)
        std::printf(", largest sound-picture gap %.1f ms", f.maxGapMs);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // the inlay draws its text with Qt
    const char* dataDir = std::getenv("KELVOR_BENCH_DATA");
    const std::string path = std::string(dataDir ? dataDir : "/tmp") + "/preview_10s.avi";
    std::string error;
    if (!fixtures::WriteDvFile(
            path, "type=1 frames=250 picture=moving audio=48k date=2024-05-06T07:08:09", error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    ProbeGraph probe;
    const files::FileRecord record(path, probe);
    std::printf(
        "preview playback of a 10 s PAL DV type 1 file (goals: shown/due >= 0.99, "
        "CPU under 0.5 core at half size, gap within 40 ms)\n");
    struct Run {
        const char* what;
        bool half;
        bool sound;
    };
    const Run runs[] = {{"half size, silent clock", true, false},
                        {"full size, silent clock", false, false},
                        {"half size, real-time sound", true, true},
                        {"full size, real-time sound", false, true}};
    int failures = 0;
    double halfCpu = 0;
    for (const Run& r : runs) {
        Figures f;
        if (!play(record, r.half, r.sound, f)) {
            std::fprintf(stderr, "  %s: the playback did not complete\n", r.what);
            ++failures;
            continue;
        }
        print(r.what, f, r.sound);
        if (r.half && !r.sound)
            halfCpu = f.cpuPerSecond;
    }
    // The peer is the goal: half of one core per second of playback at half size.
    if (halfCpu > 0)
        std::printf(
            "BENCH preview_half_cpu ours=%.3f peer=0.500 speedup=%.2f (process CPU seconds "
            "per second of playback; peer: the goal)\n",
            halfCpu, 0.5 / halfCpu);
    return failures == 0 ? 0 : 1;
}
