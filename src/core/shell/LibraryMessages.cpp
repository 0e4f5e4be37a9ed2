#include "core/shell/LibraryMessages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace kelvor::shell {
namespace {

std::atomic<LibraryMessageRoute> gRoute{nullptr};
std::mutex gCaptureMutex;  // one redirection of descriptor 2 at a time

// Reads a descriptor from its start to its end.
std::string readAll(int fd) {
    std::string out;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    return out;
}

}  // namespace

void SetLibraryMessageRoute(LibraryMessageRoute route) {
    gRoute.store(route);
}

void ReportLibraryMessage(std::string_view source, std::string_view line) {
    if (const LibraryMessageRoute route = gRoute.load())
        route(source, line);
}

std::string CaptureStandardError(const std::function<void()>& call) {
    std::lock_guard lock(gCaptureMutex);
    std::fflush(stderr);
    const int sink = ::memfd_create("kelvor-stderr", MFD_CLOEXEC);
    const int saved = sink >= 0 ? ::dup(STDERR_FILENO) : -1;
    if (saved < 0 || ::dup2(sink, STDERR_FILENO) < 0) {
        if (saved >= 0)
            ::close(saved);
        if (sink >= 0)
            ::close(sink);
        call();
        return {};
    }
    // The descriptor is put back even when the call throws.
    struct Restore {
        int saved;
        ~Restore() {
            std::fflush(stderr);
            ::dup2(saved, STDERR_FILENO);
            ::close(saved);
        }
    };
    {
        Restore restore{saved};
        call();
    }
    std::string text = readAll(sink);
    ::close(sink);
    return text;
}

}  // namespace kelvor::shell
