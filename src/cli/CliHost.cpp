#include "cli/CliHost.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace kelvor::cli {

TerminalHost::TerminalHost() : tty_(::isatty(STDERR_FILENO) == 1) {}

bool TerminalHost::Progress(const std::string& file, std::int64_t done, std::int64_t total) {
    if (!tty_)
        return true;
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    if (shown_ && now - lastMs_ < 200)
        return true;
    lastMs_ = now;
    shown_ = true;
    if (total > 0)
        std::fprintf(stderr, "\r%s: %lld / %lld frames (%lld%%)\x1b[K", file.c_str(),
                     static_cast<long long>(done), static_cast<long long>(total),
                     static_cast<long long>(done * 100 / total));
    else
        std::fprintf(stderr, "\r%s: %lld frames\x1b[K", file.c_str(), static_cast<long long>(done));
    std::fflush(stderr);
    return true;
}

void TerminalHost::ProgressDone() {
    if (tty_ && shown_)
        std::fprintf(stderr, "\r\x1b[K");
    shown_ = false;
}

void TerminalHost::FileFailed(const std::string& file, const std::string& reason) {
    ProgressDone();
    std::fprintf(stderr, "kelvor-cli: %s: %s\n", file.c_str(), reason.c_str());
}

}  // namespace kelvor::cli
