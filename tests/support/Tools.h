// Runs the independent tools the tests use as oracles (ffmpeg, ffprobe, mediainfo, dvgrab) with
// an argument list, never a shell command line, under a time limit.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace kelvor::test {

inline bool ToolAvailable(std::string_view name) {
    const char* path = std::getenv("PATH");
    if (!path)
        return false;
    std::string_view p(path);
    while (!p.empty()) {
        const auto colon = p.find(':');
        const auto dir = p.substr(0, colon);
        std::error_code ec;
        if (!dir.empty() && std::filesystem::exists(std::filesystem::path(dir) / name, ec))
            return true;
        if (colon == std::string_view::npos)
            break;
        p.remove_prefix(colon + 1);
    }
    return false;
}

struct ToolResult {
    int exitCode = -1;  // -1 when it could not start or was killed
    bool timedOut = false;
    std::string out;  // standard output
};

// Runs argv[0] (looked up on PATH) with stdout captured into a file under `workDir`, stderr
// discarded, and stdin from `input` (or /dev/null); kills it after `timeout`.
inline ToolResult RunTool(const std::vector<std::string>& argv,
                          const std::filesystem::path& workDir,
                          std::chrono::seconds timeout = std::chrono::seconds(60),
                          const std::string& input = "/dev/null") {
    ToolResult r;
    const std::string outPath = (workDir / ".tool-stdout").string();
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // The tools write relative names into the work directory.
    const std::string cwd = workDir.string();
    posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
    const int rc = posix_spawnp(&pid, args[0], &fa, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        return r;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t w = waitpid(pid, &status, WNOHANG);
        if (w == pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            r.timedOut = true;
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    std::FILE* f = std::fopen(outPath.c_str(), "rb");
    if (f) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            r.out.append(buf, n);
        std::fclose(f);
    }
    return r;
}

}  // namespace kelvor::test
