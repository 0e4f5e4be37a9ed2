// The exports as whole processes against the ffmpeg commands doing the same job, on a 40 s PAL
// DV type 2 file of ten recordings, warm cache; one function per row, each printing
// "BENCH export-NAME ours=S peer=S speedup=R goal=G holds|short". The stream copy is the best
// of three; the MP4 rows, which encode for tens of seconds, run once, or KELVOR_BENCH_RUNS times
// alternately with ours, their line then giving the medians and the spread of the ratios.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TimedCommand.h"
#include "fixtures/DvFixture.h"

namespace {

namespace fs = std::filesystem;

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

// The wall times make the ratio; the processor times say how much of it a loaded machine took.
void Report(const char* row, kelvor::bench::CommandTimes ours, kelvor::bench::CommandTimes peer,
            double goal) {
    const double ratio = peer.Wall / ours.Wall;
    std::printf(
        "BENCH %s ours=%.3f peer=%.3f speedup=%.2f goal=%.1f %s cpu-ours=%.3f "
        "cpu-peer=%.3f\n",
        row, ours.Wall, peer.Wall, ratio, goal, ratio >= goal ? "holds" : "short", ours.Cpu,
        peer.Cpu);
}

// Best of kRuns of each command, run in turn after one warm-up each.
bool Race(const char* row, const std::vector<std::string>& ours,
          const std::vector<std::string>& peer, double goal) {
    kelvor::bench::TimedCommand(ours);
    kelvor::bench::TimedCommand(peer);
    kelvor::bench::CommandTimes o{1e9, 1e9}, p{1e9, 1e9};
    for (int r = 0; r < kRuns; ++r) {
        const auto a = kelvor::bench::TimedCommandTimes(ours);
        const auto b = kelvor::bench::TimedCommandTimes(peer);
        if (a.Wall < 0 || b.Wall < 0) {
            std::fprintf(stderr, "bench export: %s: a run failed\n", row);
            return false;
        }
        o = {std::min(o.Wall, a.Wall), std::min(o.Cpu, a.Cpu)};
        p = {std::min(p.Wall, b.Wall), std::min(p.Cpu, b.Cpu)};
    }
    Report(row, o, p, goal);
    return true;
}

// The lossless archive (chapters, tags and subtitles included, after the pass that finds the
// scenes) against a plain stream copy into Matroska.
bool ExportMkvRow(const Source& s) {
    return Race("export-mkv",
                {KELVOR_CLI, "export-mkv", "--yes-to-all", "--output-dir", s.Dir, s.Path},
                {"ffmpeg", "-v", "error", "-y", "-i", s.Path, "-map", "0", "-c", "copy",
                 s.Dir + "/peer.mkv"},
                1.0);
}

// The ffmpeg arguments of our MP4 export: same filters, encoder, quality and sound.
std::vector<std::string> FfmpegMp4(const std::string& in, const std::string& out, double from,
                                   double to) {
    std::vector<std::string> a = {"ffmpeg", "-nostdin", "-y", "-v", "error"};
    if (to > 0)
        a.insert(a.end(), {"-ss", std::to_string(from), "-to", std::to_string(to)});
    a.insert(a.end(), {"-i",
                       in,
                       "-map",
                       "0:v:0",
                       "-map",
                       "0:a:0",
                       "-vf",
                       "bwdif=mode=send_frame:parity=bff:deint=all,format=yuv420p,setsar=16/15",
                       "-c:v",
                       "libx264",
                       "-preset",
                       "medium",
                       "-crf",
                       "20",
                       "-color_primaries",
                       "bt470bg",
                       "-colorspace",
                       "bt470bg",
                       "-color_trc",
                       "smpte170m",
                       "-c:a",
                       "aac",
                       "-b:a",
                       "160k",
                       "-ar",
                       "48000",
                       "-ac",
                       "2",
                       out});
    return a;
}

void Fresh(const std::string& dir) {
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
}

// The runs of an MP4 row: KELVOR_BENCH_RUNS, else one.
int Mp4Runs() {
    const char* text = std::getenv("KELVOR_BENCH_RUNS");
    return text && std::atoi(text) > 0 ? std::atoi(text) : 1;
}

// An MP4 row: one run of each side prints the plain line; several, run alternately, print the
// medians and the spread of the ratios.
bool Mp4Row(const char* row, const std::function<kelvor::bench::CommandTimes()>& ours,
            const std::function<kelvor::bench::CommandTimes()>& peer, double goal) {
    const auto failed = [row] {
        std::fprintf(stderr, "bench export: %s: a run failed\n", row);
        return false;
    };
    const int runs = Mp4Runs();
    if (runs == 1) {
        // Ours first, as the row always ran.
        const auto o = ours();
        const auto p = o.Wall > 0 ? peer() : kelvor::bench::CommandTimes{};
        if (p.Wall <= 0)
            return failed();
        Report(row, o, p, goal);
        return true;
    }
    kelvor::bench::PairRuns t;
    if (!kelvor::bench::RunAlternately(runs, ours, peer, t))
        return failed();
    using kelvor::bench::Median;
    const double ratio = Median(t.Ratios);
    std::printf(
        "BENCH %s ours=%.3f peer=%.3f speedup=%.2f spread=%.2f-%.2f goal=%.1f %s cpu-ours=%.3f "
        "cpu-peer=%.3f runs=%d\n",
        row, Median(t.OursWall), Median(t.PeerWall), ratio, t.Low(), t.High(), goal,
        ratio >= goal ? "holds" : "short", Median(t.OursCpu), Median(t.PeerCpu), runs);
    std::fflush(stdout);
    return true;
}

// One MP4 with a chapter per recording against one ffmpeg run with the same filters and encoder.
bool ExportMp4WholeRow(const Source& s) {
    const std::string ours = s.Dir + "/mp4-ours", peer = s.Dir + "/mp4-peer";
    return Mp4Row(
        "export-mp4-whole",
        [&] {
            Fresh(ours);
            return kelvor::bench::TimedCommandTimes({KELVOR_CLI, "export-mp4", "--whole",
                                                     "--output-dir", ours, "--yes-to-all", s.Path});
        },
        [&] {
            Fresh(peer);
            return kelvor::bench::TimedCommandTimes(FfmpegMp4(s.Path, peer + "/whole.mp4", 0, 0));
        },
        1.0);
}

// One MP4 per recording, the source decoded once, against one ffmpeg run per recording.
bool ExportMp4ScenesRow(const Source& s) {
    const std::string ours = s.Dir + "/mp4-ours", peer = s.Dir + "/mp4-peer";
    return Mp4Row(
        "export-mp4-scenes",
        [&] {
            Fresh(ours);
            return kelvor::bench::TimedCommandTimes(
                {KELVOR_CLI, "export-mp4", "--output-dir", ours, "--yes-to-all", s.Path});
        },
        [&] {
            Fresh(peer);
            kelvor::bench::CommandTimes p{0, 0};
            for (int i = 0; i < kScenes && p.Wall >= 0; ++i) {
                const double from = i * kFramesPerScene / 25.0,
                             to = (i + 1) * kFramesPerScene / 25.0;
                const auto t = kelvor::bench::TimedCommandTimes(
                    FfmpegMp4(s.Path, peer + "/scene" + std::to_string(i) + ".mp4", from, to));
                p = t.Wall < 0 ? kelvor::bench::CommandTimes{}
                               : kelvor::bench::CommandTimes{p.Wall + t.Wall, p.Cpu + t.Cpu};
            }
            return p;
        },
        2.0);
}

}  // namespace

int main() {
    Source source;
    if (!MakeSource(source))
        return 1;
    bool ok = true;
    ok = ExportMkvRow(source) && ok;
    ok = ExportMp4WholeRow(source) && ok;
    ok = ExportMp4ScenesRow(source) && ok;
    return ok ? 0 : 1;
}
