// `kelvor-cli info` on 200 DV files against `mediainfo` on the same files, one process each
// over all the files, warm cache, best of three.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TimedCommand.h"
#include "fixtures/DvFixture.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFiles = 200;

}  // namespace

int main() {
    const char* env = std::getenv("KELVOR_BENCH_DATA");
    const std::string dir = std::string(env ? env : "/tmp") + "/info200";
    ::mkdir(dir.c_str(), 0755);
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        const std::string p = dir + "/clip" + std::to_string(i) + ".avi";
        struct stat st {};
        if (::stat(p.c_str(), &st) != 0) {
            std::string error;
            const std::string desc = std::string("frames=25 type=") + (i % 2 ? "1" : "2") +
                                     " date=2024-05-06T07:08:09" + (i % 3 ? " aspect=16:9" : "");
            if (!kelvor::fixtures::WriteDvFile(p, desc, error)) {
                std::fprintf(stderr, "bench info: %s\n", error.c_str());
                return 1;
            }
        }
        files.push_back(p);
    }
    std::vector<std::string> ours = {KELVOR_CLI, "info", "--json"};
    std::vector<std::string> peer = {"mediainfo", "--Output=JSON"};
    ours.insert(ours.end(), files.begin(), files.end());
    peer.insert(peer.end(), files.begin(), files.end());
    kelvor::bench::TimedCommand(ours);
    kelvor::bench::TimedCommand(peer);
    double o = 1e9, p = 1e9;
    for (int r = 0; r < 3; ++r) {
        const double a = kelvor::bench::TimedCommand(ours), b = kelvor::bench::TimedCommand(peer);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "bench info: run failed\n");
            return 1;
        }
        o = std::min(o, a);
        p = std::min(p, b);
    }
    std::printf("BENCH info ours=%.3f peer=%.3f speedup=%.2f\n", o, p, p / o);
    return 0;
}
