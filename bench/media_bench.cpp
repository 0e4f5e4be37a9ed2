// The DV round trip of the media engine (demux, DV decode to planar pictures, DV encode, DV mux
// with the sound, AVI type 2 write) against `ffmpeg -i FILE -c:v dvvideo -c:a copy OUT.avi` on the
// same 1000-frame PAL file, both as whole processes run alternately (KELVOR_BENCH_RUNS, default
// 5), as a median ratio with its spread and goal; and the peak memory of our round trip on 1000
// and 20,000 frames (through /usr/bin/time -v when it is installed).
//
//   bench_media                 both measurements
//   bench_media --roundtrip IN OUT   one round trip (used for the timed and the memory runs)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TimedCommand.h"
#include "fixtures/DvFixture.h"
#include "media/engine/AviSink.h"
#include "media/engine/AviSource.h"
#include "media/engine/DvFilters.h"
#include "media/engine/Graph.h"
#include "media/engine/GraphBuilder.h"

namespace {

using namespace kelvor::media;
namespace fs = std::filesystem;

bool roundTrip(const std::string& in, const std::string& out) {
    Graph g;
    GraphBuilder b(g);
    const auto file = OpenAviFile(b, in);
    auto dec = b.Add(std::make_shared<DvVideoDecoderFilter>(), "DVdecoder");
    auto enc = b.Add(std::make_shared<DvVideoEncoderFilter>(), "DVenc");
    auto mux = b.Add(std::make_shared<DvMuxerFilter>(), "dvmuxer");
    auto split2 = b.Add(std::make_shared<DvSplitterFilter>(), "dvsplitter");
    auto aviMux = b.Add(std::make_shared<AviMuxFilter>(), "avimux");
    auto writer = b.Add(std::make_shared<FileWriterFilter>(), "destination");
    if (!file || !dec || !enc || !mux || !split2 || !aviMux || !writer ||
        file->splitter->StreamCount() < 2)
        return false;
    writer->SetFileName(out);
    // The decoder's output goes through a queue, so decoding and encoding run on two threads.
    dec->Output().SetQueued(true, 3);
    // As in the program's conversions: each frame and its sound go on into the AVI mux on the
    // encoder's thread, one after the other (the mux never waits for one while taking the other).
    split2->SetSerialDelivery(true);
    bool ok = b.ConnectFirstOutput(*file->splitter, dec->Input()) &&
              b.Connect(dec->Output(), enc->Input()) &&
              b.Connect(enc->Output(), mux->VideoInput()) && mux->FreeAudioInput() &&
              b.ConnectFirstOutput(*file->splitter, *mux->FreeAudioInput()) &&
              b.Connect(mux->Output(), split2->Input());
    for (OutputPin* o : split2->OutputPins())
        ok = ok && b.Connect(*o, *aviMux->FreeInput());
    ok = ok && b.Connect(aviMux->Output(), writer->Input());
    if (!ok || g.Run() != Code::Ok)
        return false;
    int code = 0;
    Status hr = Code::Ok;
    const bool done = g.WaitForCompletion(3600 * 1000, code, hr);
    g.Stop();
    return done && code == EventCode::Complete;
}

bool ensureFile(const std::string& path, int frames) {
    if (fs::exists(path))
        return true;
    std::string error;
    const std::string desc =
        "type=2 frames=" + std::to_string(frames) + " date=2004-07-14T10:00:00 picture=moving";
    if (!kelvor::fixtures::WriteDvFile(path, desc, error)) {
        std::fprintf(stderr, "bench_media: %s\n", error.c_str());
        return false;
    }
    return true;
}

long peakKb(const std::string& self, const std::string& in, const std::string& out,
            const std::string& dir) {
    return kelvor::bench::PeakMemoryKb({self, "--roundtrip", in, out}, dir + "/time.log");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--roundtrip") == 0)
        return roundTrip(argv[2], argv[3]) ? 0 : 1;
    const char* data = std::getenv("KELVOR_BENCH_DATA");
    const std::string dir = data ? data : "/tmp";
    const std::string in = dir + "/media-pal-1000.avi";
    if (!ensureFile(in, 1000))
        return 1;
    const std::string ours = dir + "/media-ours.avi";
    const std::string peer = dir + "/media-peer.avi";

    // Warm the page cache so both sides read from memory.
    kelvor::bench::TimedCommand({"cat", in});
    // Both sides as whole processes, alternately, so start-up counts and load falls on both.
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const char* runsText = std::getenv("KELVOR_BENCH_RUNS");
    const int runs = runsText && std::atoi(runsText) > 0 ? std::atoi(runsText) : 5;
    namespace bench = kelvor::bench;
    bench::PairRuns t;
    bool oursFailed = false;
    const bool ran = bench::RunAlternately(
        runs,
        [&] {
            const auto o = bench::TimedCommandTimes({self, "--roundtrip", in, ours});
            oursFailed = o.Wall < 0;
            return o;
        },
        [&] {
            return bench::TimedCommandTimes(
                {"ffmpeg", "-y", "-v", "error", "-i", in, "-c:v", "dvvideo", "-c:a", "copy", peer});
        },
        t);
    if (!ran && oursFailed) {
        std::fprintf(stderr, "bench_media: our round trip failed\n");
        return 1;
    }
    if (!ran) {
        std::printf("BENCH media_roundtrip peer=unavailable (ffmpeg failed)\n");
        return 0;
    }
    const double ratio = bench::Median(t.Ratios);
    constexpr double kGoal = 1.2;
    std::printf(
        "BENCH media_roundtrip ours=%.3f peer=%.3f ratio=%.2f spread=%.2f-%.2f "
        "cpu_ratio=%.2f goal=%.1f %s (peer ffmpeg -c:v dvvideo -c:a copy, 1000 frames, "
        "%d runs)\n",
        bench::Median(t.OursWall), bench::Median(t.PeerWall), ratio, t.Low(), t.High(),
        bench::Median(t.CpuRatios), kGoal, ratio >= kGoal ? "holds" : "short", runs);
    std::fflush(stdout);
    fs::remove(ours);
    fs::remove(peer);

    if (!fs::exists("/usr/bin/time") || std::getenv("KELVOR_BENCH_NO_MEMORY"))
        return 0;
    const std::string big = dir + "/media-pal-20000.avi";
    if (!ensureFile(big, 20000))
        return 1;
    const long small = peakKb(self, in, ours, dir);
    fs::remove(ours);
    const long large = peakKb(self, big, ours, dir);
    fs::remove(ours);
    std::printf("BENCH media_memory frames1000_peak_kb=%ld frames20000_peak_kb=%ld\n", small,
                large);
    return 0;
}
