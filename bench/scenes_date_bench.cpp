// Scene detection by date of a 2 GB DV type 2 file through the engine's graph, against
// `cat FILE > /dev/null` on the same file, both from a warm page cache in the same run.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "RepeatedType2.h"
#include "TimedCommand.h"
#include "core/avi/AviWriter.h"
#include "core/dv/DvPacks.h"
#include "fixtures/DvFixture.h"
#include "media/engine/Graph.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/graphs/ConversionGraphs.h"

extern char** environ;

namespace {

using namespace kelvor;
using Clock = std::chrono::steady_clock;

constexpr int kFrames = 14000;  // 9m20s of PAL: just over 2 GB with its audio

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// 50 real dated frames, repeated: the date steps back one second every two seconds, no cut.
bool MakeFile(const std::string& dir, const std::string& path) {
    const std::string seed = dir + "/scenes_date_seed.dv";
    std::string error;
    if (!fixtures::WriteDvFile(seed, "type=raw frames=50 audio=none date=2024-05-06T07:08:09",
                               error))
        return false;
    return bench::WriteRepeatedType2(seed, path, kFrames);
}

double RunDetection(const std::string& path, int& scenes, std::int64_t& frames) {
    const auto t0 = Clock::now();
    media::ConversionGraphs graphs;
    if (!graphs.BuildDateScenesGraph(path))
        return -1;
    scenes::DateSceneDetector& detector = graphs.DateDetector().Detector();
    scenes = 0;
    detector.OnSceneEnd = [&](const scenes::FrameInfo&, const scenes::FrameInfo&) { ++scenes; };
    graphs.RemoveReferenceClock();
    if (graphs.Run().failed())
        return -1;
    int code = 0;
    media::Status hr = media::Code::Ok;
    while (!graphs.fg()->WaitForCompletion(250, code, hr)) {
    }
    graphs.Stop();
    if (hr.failed())
        return -1;
    frames = detector.SampleCount();
    return Seconds(t0, Clock::now());
}

}  // namespace

int main() {
    const char* env = std::getenv("KELVOR_BENCH_DATA");
    const std::string dir = env ? env : "/tmp";
    const std::string path = dir + "/scenes_date_2gb_type2.avi";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || st.st_size < 2000000000) {
        std::fprintf(stderr, "bench scenes_date: writing %s\n", path.c_str());
        if (!MakeFile(dir, path)) {
            std::fprintf(stderr, "bench scenes_date: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    kelvor::bench::TimedCommand({"cat", path});
    double ours = 1e9, peer = 1e9;
    int scenes = 0;
    std::int64_t frames = 0;
    for (int r = 0; r < 3; ++r) {
        const double c = kelvor::bench::TimedCommand({"cat", path});
        const double o = RunDetection(path, scenes, frames);
        if (c < 0 || o < 0) {
            std::fprintf(stderr, "bench scenes_date: run failed\n");
            return 1;
        }
        peer = std::min(peer, c);
        ours = std::min(ours, o);
    }
    std::fprintf(stderr, "bench scenes_date: %lld frames, %d scene ends\n",
                 static_cast<long long>(frames), scenes);
    std::printf("BENCH scenes_date ours=%.3f peer=%.3f speedup=%.2f\n", ours, peer, peer / ours);
    return 0;
}
