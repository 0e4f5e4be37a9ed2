// The conversion graphs against the outside commands doing the same job on the same file in the
// same run, each reported as a ratio (the peer's time over ours: above 1 means we are faster):
//
//   convert_ntsc   PAL type 2 into NTSC        ffmpeg -i IN -vf scale=720:480,fps=30000/1001
//                                              -c:v dvvideo -pix_fmt yuv411p -c:a pcm_s16le
//                                              -ar 48000 OUT.avi
//   extract_wav    the sound into WAV          ffmpeg -i IN -vn -c:a pcm_s16le OUT.wav
//   content        scenes by content           ffmpeg -i IN -vf "select='gt(scene,0.3)'" -f null -
//   type2          type 1 into type 2          cat IN > /dev/null
//   time_shift     the datecode shifted        cat IN > /dev/null
//   cut            the whole file as a scene   cat IN > /dev/null
//
// and the peak memory of the NTSC conversion of 1000 and 20,000 frames (through /usr/bin/time
// -v when it is installed; KELVOR_BENCH_NO_MEMORY skips it). The files are made once in
// KELVOR_BENCH_DATA (default /tmp) and kept.
//
//   bench_conversions                     every measurement
//   bench_conversions --ntsc IN OUT       one NTSC conversion (the memory runs)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "TimedCommand.h"
#include "fixtures/DvFixture.h"
#include "media/engine/Graph.h"
#include "media/filters/ContentDetectorFilter.h"
#include "media/filters/DvHeaderFilter.h"
#include "media/graphs/ConversionGraphs.h"

namespace {

using namespace kelvor;
namespace fs = std::filesystem;

bool runGraph(media::ConversionGraphs& graphs) {
    graphs.RemoveReferenceClock();
    if (graphs.Run().failed())
        return false;
    int code = 0;
    media::Status hr = media::Code::Ok;
    const bool done = graphs.fg()->WaitForCompletion(3600 * 1000, code, hr);
    graphs.Stop();
    return done && graphs.RunFailure().empty();
}

bool ntsc(const std::string& in, const std::string& out) {
    media::ConversionGraphs graphs;
    if (!graphs.BuildStandardGraphType2(in, out, media::kStandardNtsc))
        return false;
    graphs.SetAudioRate(graphs.resampler1, 48000);
    graphs.SetAudioRate(graphs.resampler2, 48000);
    graphs.DvHeader().SetRestore(true);
    return runGraph(graphs);
}

// Seconds of one run of ours, -1 when it failed.
double timed(const std::function<bool()>& job) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!job())
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool ensureFile(const std::string& path, const std::string& type, int frames) {
    if (fs::exists(path))
        return true;
    std::string error;
    const std::string desc = "type=" + type + " frames=" + std::to_string(frames) +
                             " date=2004-07-14T10:00:00 picture=moving";
    if (!fixtures::WriteDvFile(path, desc, error)) {
        std::fprintf(stderr, "bench_conversions: %s\n", error.c_str());
        return false;
    }
    return true;
}

void report(const char* name, double ours, double peer) {
    if (ours < 0)
        std::printf("BENCH %s ours=failed\n", name);
    else if (peer < 0)
        std::printf("BENCH %s ours=%.3f peer=unavailable\n", name, ours);
    else
        std::printf("BENCH %s ours=%.3f peer=%.3f speedup=%.2f\n", name, ours, peer, peer / ours);
    std::fflush(stdout);
}

// The page cache holds the file, so both sides read from memory.
void warm(const std::string& path) {
    kelvor::bench::TimedCommand({"cat", path});
}

long peakKb(const std::string& self, const std::string& in, const std::string& out,
            const std::string& dir) {
    return kelvor::bench::PeakMemoryKb({self, "--ntsc", in, out}, dir + "/conversions-time.log");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--ntsc") == 0)
        return ntsc(argv[2], argv[3]) ? 0 : 1;
    if (argc == 4 && std::strcmp(argv[1], "--shift") == 0) {
        media::ConversionGraphs graphs;
        if (!graphs.BuildShiftTimeGraph(argv[2], argv[3]))
            return 1;
        graphs.DvHeader().SetRestore(false);
        graphs.DvHeader().SetTimeShift(1.0 / 24);
        return runGraph(graphs) ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--content") == 0) {
        media::ConversionGraphs graphs;
        return graphs.BuildContentScenesGraph(argv[2]) && runGraph(graphs) ? 0 : 1;
    }
    const char* data = std::getenv("KELVOR_BENCH_DATA");
    const std::string dir = data ? data : "/tmp";
    const std::string pal2 = dir + "/conv-pal2-1000.avi";
    const std::string pal1 = dir + "/conv-pal1-1000.avi";
    if (!ensureFile(pal2, "2", 1000) || !ensureFile(pal1, "1", 1000))
        return 1;
    const std::string ours = dir + "/conv-ours.avi";
    const std::string wav = dir + "/conv-ours.wav";
    const std::string peer = dir + "/conv-peer.avi";
    const std::string peerWav = dir + "/conv-peer.wav";

    warm(pal2);
    report(
        "convert_ntsc", timed([&] { return ntsc(pal2, ours); }),
        kelvor::bench::TimedCommand({"ffmpeg", "-y", "-v", "error", "-i", pal2, "-vf",
                                     "scale=720:480,fps=30000/1001", "-c:v", "dvvideo", "-pix_fmt",
                                     "yuv411p", "-c:a", "pcm_s16le", "-ar", "48000", peer}));
    fs::remove(ours);
    fs::remove(peer);

    warm(pal2);
    report("extract_wav", timed([&] {
               media::ConversionGraphs graphs;
               return graphs.BuildExtractAudioGraph(pal2, wav) && runGraph(graphs);
           }),
           kelvor::bench::TimedCommand(
               {"ffmpeg", "-y", "-v", "error", "-i", pal2, "-vn", "-c:a", "pcm_s16le", peerWav}));
    fs::remove(wav);
    fs::remove(peerWav);

    warm(pal2);
    report("content", timed([&] {
               media::ConversionGraphs graphs;
               return graphs.BuildContentScenesGraph(pal2) && runGraph(graphs);
           }),
           kelvor::bench::TimedCommand({"ffmpeg", "-v", "error", "-i", pal2, "-vf",
                                        "select='gt(scene,0.3)'", "-f", "null", "-"}));

    warm(pal1);
    const double cat1 = kelvor::bench::TimedCommand({"cat", pal1});
    report("type2", timed([&] {
               media::ConversionGraphs graphs;
               return graphs.BuildToType2Graph(pal1, ours) && runGraph(graphs);
           }),
           cat1);
    fs::remove(ours);

    warm(pal2);
    const double cat2 = kelvor::bench::TimedCommand({"cat", pal2});
    report("time_shift", timed([&] {
               media::ConversionGraphs graphs;
               if (!graphs.BuildShiftTimeGraph(pal2, ours))
                   return false;
               graphs.DvHeader().SetRestore(false);
               graphs.DvHeader().SetTimeShift(1.0 / 24);
               return runGraph(graphs);
           }),
           cat2);
    fs::remove(ours);

    warm(pal2);
    report("cut", timed([&] {
               media::ConversionGraphs graphs;
               return graphs.BuildCutSceneGraphType2(pal2, ours) &&
                      graphs.GraphSeeking().SetPositions(0, 1000 * 400000LL - 1) &&
                      runGraph(graphs);
           }),
           kelvor::bench::TimedCommand({"cat", pal2}));
    fs::remove(ours);

    if (!fs::exists("/usr/bin/time") || std::getenv("KELVOR_BENCH_NO_MEMORY"))
        return 0;
    const std::string big = dir + "/conv-pal2-20000.avi";
    if (!ensureFile(big, "2", 20000))
        return 1;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const long small = peakKb(self, pal2, ours, dir);
    fs::remove(ours);
    const long large = peakKb(self, big, ours, dir);
    fs::remove(ours);
    std::printf("BENCH conversions_memory frames1000_peak_kb=%ld frames20000_peak_kb=%ld\n", small,
                large);
    return 0;
}
