// The independent tools the tests use as oracles (ffmpeg, ffprobe, mediainfo, dvgrab): whether
// one is installed, and running one through the process runner (support/Process.h).
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/Process.h"

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

using ToolResult = ProcessResult;

// Runs an oracle (looked up on PATH) in `workDir`, where the tools write relative names, and
// kills it after `timeout`. Standard input is empty.
inline ToolResult RunTool(const std::vector<std::string>& argv,
                          const std::filesystem::path& workDir,
                          std::chrono::seconds timeout = std::chrono::seconds(60)) {
    ProcessOptions options;
    options.workDir = workDir;
    options.timeout = timeout;
    return RunProcess(argv, options);
}

}  // namespace kelvor::test
