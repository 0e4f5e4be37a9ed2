// The DV round trip of the media engine (demux, DV decode to RGB24, DV encode, DV mux with the
// sound, AVI type 2 write) against `ffmpeg -i FILE -c:v dvvideo -c:a copy OUT.avi` on the same
// 1000-frame PAL file in the same run, and the peak memory of our round trip on 1000 and 20,000
// frames (through /usr/bin/time -v when it is installed).
//
//   bench_media                 both measurements
//   bench_media --roundtrip IN OUT   one round trip (used for the memory runs)
#include <unistd.h>

#include <chrono>
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

double seconds(const std::chrono::steady_clock::time_point& t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
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
    auto t0 = std::chrono::steady_clock::now();
    if (!roundTrip(in, ours)) {
        std::fprintf(stderr, "bench_media: our round trip failed\n");
        return 1;
    }
    const double oursS = seconds(t0);
    const double peerS = kelvor::bench::TimedCommand(
        {"ffmpeg", "-y", "-v", "error", "-i", in, "-c:v", "dvvideo", "-c:a", "copy", peer});
    if (peerS < 0) {
        std::printf("BENCH media_roundtrip ours=%.3f peer=unavailable\n", oursS);
    } else {
        std::printf("BENCH media_roundtrip ours=%.3f peer=%.3f speedup=%.2f\n", oursS, peerS,
                    peerS / oursS);
    }
    std::fflush(stdout);
    fs::remove(ours);
    fs::remove(peer);

    if (!fs::exists("/usr/bin/time") || std::getenv("KELVOR_BENCH_NO_MEMORY"))
        return 0;
    const std::string big = dir + "/media-pal-20000.avi";
    if (!ensureFile(big, 20000))
        return 1;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const long small = peakKb(self, in, ours, dir);
    fs::remove(ours);
    const long large = peakKb(self, big, ours, dir);
    fs::remove(ours);
    std::printf("BENCH media_memory frames1000_peak_kb=%ld frames20000_peak_kb=%ld\n", small,
                large);
    return 0;
}
