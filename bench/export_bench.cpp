// The exports as whole processes against the ffmpeg commands doing the same job, on a 40 s PAL
// DV type 2 file of ten recordings, warm cache, best of three; one function per row, each
// printing "BENCH export-NAME ours=S peer=S speedup=R".
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TimedCommand.h"
#include "fixtures/DvFixture.h"

namespace {

constexpr int kScenes = 10;
constexpr int kFramesPerScene = 100;  // 4 s each: 40 s in all
constexpr int kRuns = 3;

struct Source {
    std::string Dir;   // where the outputs go
    std::string Path;  // the 40 s file
};

bool MakeSource(Source& s) {
    const char* env = std::getenv("KELVOR_BENCH_DATA");
    s.Dir = std::string(env ? env : "/tmp") + "/export";
    ::mkdir(s.Dir.c_str(), 0755);
    s.Path = s.Dir + "/source_40s_pal.avi";
    struct stat st {};
    if (::stat(s.Path.c_str(), &st) == 0)
        return true;
    std::string description = "type=2 picture=moving";
    for (int k = 0; k < kScenes; ++k) {
        char segment[96];
        std::snprintf(segment, sizeof segment, "%s frames=%d date=2024-05-06T%02d:00:00",
                      k == 0 ? "" : ";", kFramesPerScene, 8 + k);
        description += segment;
    }
    std::string error;
    if (!kelvor::fixtures::WriteDvFile(s.Path, description, error)) {
        std::fprintf(stderr, "bench export: %s\n", error.c_str());
        return false;
    }
    return true;
}

// Best of kRuns of each command, run in turn after one warm-up each.
bool Race(const char* row, const std::vector<std::string>& ours,
          const std::vector<std::string>& peer) {
    kelvor::bench::TimedCommand(ours);
    kelvor::bench::TimedCommand(peer);
    double o = 1e9, p = 1e9;
    for (int r = 0; r < kRuns; ++r) {
        const double a = kelvor::bench::TimedCommand(ours);
        const double b = kelvor::bench::TimedCommand(peer);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "bench export: %s: a run failed\n", row);
            return false;
        }
        o = std::min(o, a);
        p = std::min(p, b);
    }
    std::printf("BENCH %s ours=%.3f peer=%.3f speedup=%.2f\n", row, o, p, p / o);
    return true;
}

// The lossless archive (chapters, tags and subtitles included, after the pass that finds the
// scenes) against a plain stream copy into Matroska.
bool ExportMkvRow(const Source& s) {
    return Race("export-mkv",
                {KELVOR_CLI, "export-mkv", "--yes-to-all", "--output-dir", s.Dir, s.Path},
                {"ffmpeg", "-v", "error", "-y", "-i", s.Path, "-map", "0", "-c", "copy",
                 s.Dir + "/peer.mkv"});
}

}  // namespace

int main() {
    Source source;
    if (!MakeSource(source))
        return 1;
    bool ok = true;
    ok = ExportMkvRow(source) && ok;
    return ok ? 0 : 1;
}
