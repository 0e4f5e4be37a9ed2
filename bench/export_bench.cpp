// The exports against the ffmpeg commands doing the same job, one run each, as ratios:
// `kelvor-cli export-mp4 --whole` of a 40 s PAL file against one ffmpeg run with the same
// deinterlacer, encoder settings and sound; the per-scene export of its 10 scenes against 10
// ffmpeg runs cut with -ss/-to.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TimedCommand.h"
#include "fixtures/DvFixture.h"

namespace {

namespace fs = std::filesystem;

constexpr int kScenes = 10;
constexpr int kSceneFrames = 100;  // 4 s each, 40 s in all

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

}  // namespace

int main() {
    const char* env = std::getenv("KELVOR_BENCH_DATA");
    const std::string base = std::string(env ? env : "/tmp") + "/export40";
    fs::create_directories(base);
    const std::string source = base + "/tape.avi";
    if (!fs::exists(source)) {
        std::string description = "type=2";
        for (int i = 0; i < kScenes; ++i) {
            char date[32];
            std::snprintf(date, sizeof date, "2004-07-%02dT10:00:00", 1 + i);
            description += std::string(i ? "; " : " ") + "frames=" + std::to_string(kSceneFrames) +
                           " picture=moving date=" + date;
        }
        std::string error;
        if (!kelvor::fixtures::WriteDvFile(source, description, error)) {
            std::fprintf(stderr, "bench export: %s\n", error.c_str());
            return 1;
        }
    }
    const std::string ours = base + "/ours";
    const std::string peer = base + "/peer";

    Fresh(ours);
    const double wholeOurs = kelvor::bench::TimedCommand(
        {KELVOR_CLI, "export-mp4", "--whole", "--output-dir", ours, "--yes-to-all", source});
    Fresh(peer);
    const double wholePeer =
        kelvor::bench::TimedCommand(FfmpegMp4(source, peer + "/whole.mp4", 0, 0));

    Fresh(ours);
    const double scenesOurs = kelvor::bench::TimedCommand(
        {KELVOR_CLI, "export-mp4", "--output-dir", ours, "--yes-to-all", source});
    Fresh(peer);
    double scenesPeer = 0;
    for (int i = 0; i < kScenes && scenesPeer >= 0; ++i) {
        const double from = i * kSceneFrames / 25.0, to = (i + 1) * kSceneFrames / 25.0;
        const double t = kelvor::bench::TimedCommand(
            FfmpegMp4(source, peer + "/scene" + std::to_string(i) + ".mp4", from, to));
        scenesPeer = t < 0 ? -1 : scenesPeer + t;
    }
    if (wholeOurs < 0 || wholePeer < 0 || scenesOurs < 0 || scenesPeer < 0) {
        std::fprintf(stderr, "bench export: a run failed\n");
        return 1;
    }
    std::printf("BENCH export-mp4-whole ours=%.3f peer=%.3f speedup=%.2f\n", wholeOurs, wholePeer,
                wholePeer / wholeOurs);
    std::printf("BENCH export-mp4-scenes ours=%.3f peer=%.3f speedup=%.2f\n", scenesOurs,
                scenesPeer, scenesPeer / scenesOurs);
    return 0;
}
