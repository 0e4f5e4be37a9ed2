// kelvor-cli as a user runs it: from the test's scratch folder, with the preferences of the
// folder's cfg/ (XDG_CONFIG_HOME), so a test never touches the real user's and never changes the
// test process's own environment. KELVOR_CLI is the program's path, set by the build.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempDir.h"

namespace kelvor::test {

inline ProcessResult RunCli(const TempDir& dir, std::vector<std::string> args,
                            std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    args.insert(args.begin(), KELVOR_CLI);
    ProcessOptions options;
    options.workDir = dir.path();
    options.environment["XDG_CONFIG_HOME"] = (dir / "cfg").string();
    options.timeout = timeout;
    return RunProcess(args, options);
}

}  // namespace kelvor::test
