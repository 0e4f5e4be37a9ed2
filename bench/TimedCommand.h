// Times an outside command (the peer of a benchmark) run with its output thrown away.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace kelvor::bench {

// What one run of a command took: the seconds from start to exit, and the processor seconds
// (user and system) it and the children it waited for used. Under a loaded machine the processor
// time says more than the wall time, which also counts the waits for a free core.
struct CommandTimes {
    double Wall = -1;  // -1 when the command cannot start or does not exit with status 0
    double Cpu = -1;
};

// Runs the command with standard output and error to /dev/null. The arguments go to the program
// as they are, never through a shell.
inline CommandTimes TimedCommandTimes(std::vector<std::string> argv) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        return {};
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
            seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

// Seconds from start to exit of the command, with standard output and error to /dev/null; -1
// when it cannot start or does not exit with status 0.
inline double TimedCommand(std::vector<std::string> argv) {
    return TimedCommandTimes(std::move(argv)).Wall;
}

// The middle value (the mean of the two middle ones for an even count); 0 for none.
inline double Median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A pair of jobs timed over several runs: each run's times and the peer-over-ours ratios.
struct PairRuns {
    std::vector<double> OursWall, PeerWall, OursCpu, PeerCpu, Ratios, CpuRatios;
    double Low() const {
        return Ratios.empty() ? 0 : *std::min_element(Ratios.begin(), Ratios.end());
    }
    double High() const {
        return Ratios.empty() ? 0 : *std::max_element(Ratios.begin(), Ratios.end());
    }
};

// Runs the pair `runs` times, alternately (the peer first on even runs, ours first on odd ones,
// so neither side always finds the cache or the other developers' load the same way); false as
// soon as a run fails. A job is one command or several, its times summed.
inline bool RunAlternately(int runs, const std::function<CommandTimes()>& ours,
                           const std::function<CommandTimes()>& peer, PairRuns& result) {
    for (int r = 0; r < runs; ++r) {
        CommandTimes o, p;
        if (r % 2 == 0) {
            p = peer();
            o = ours();
        } else {
            o = ours();
            p = peer();
        }
        if (o.Wall <= 0 || p.Wall <= 0)
            return false;
        result.OursWall.push_back(o.Wall);
        result.PeerWall.push_back(p.Wall);
        result.OursCpu.push_back(o.Cpu);
        result.PeerCpu.push_back(p.Cpu);
        result.Ratios.push_back(p.Wall / o.Wall);
        // A run too short for the clock's tick counts as one tick.
        result.CpuRatios.push_back(std::max(p.Cpu, 1e-3) / std::max(o.Cpu, 1e-3));
    }
    return true;
}

// The peak resident memory in KB of a command, as /usr/bin/time reports it into `log`; -1 when
// the command fails or the report has no such line.
inline long PeakMemoryKb(std::vector<std::string> argv, const std::string& log) {
    // /usr/bin/time writes its report to the file named by -o.
    argv.insert(argv.begin(), {"/usr/bin/time", "-v", "-o", log});
    if (TimedCommand(std::move(argv)) < 0)
        return -1;
    std::ifstream f(log);
    std::string line;
    const std::string key = "Maximum resident set size (kbytes): ";
    while (std::getline(f, line))
        if (auto p = line.find(key); p != std::string::npos)
            return std::atol(line.c_str() + p + key.size());
    return -1;
}

}  // namespace kelvor::bench
