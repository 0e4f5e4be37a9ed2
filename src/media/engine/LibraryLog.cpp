#include "media/engine/LibraryLog.h"

#include <atomic>
#include <cstdio>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace kelvor::media {
namespace {

std::atomic<bool> gVerbose{false};
std::mutex gLogMutex;
std::string gPrefix;  // guarded by gLogMutex

extern "C" void OnLibraryMessage(void* object, int level, const char* format, va_list args) {
    if (level > av_log_get_level() || !gVerbose.load())
        return;
    // The line without its "[avi @ 0x...]" part, which means nothing to a user.
    char line[1024];
    int printPrefix = 0;
    av_log_format_line2(nullptr, level, format, args, line, sizeof line, &printPrefix);
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    if (text.empty())
        return;
    const AVClass* avClass = object ? *static_cast<AVClass* const*>(object) : nullptr;
    const char* name = !avClass             ? nullptr
                       : avClass->item_name ? avClass->item_name(object)
                                            : avClass->class_name;
    const std::string source = name ? name : "ffmpeg";
    std::lock_guard lock(gLogMutex);
    std::fprintf(stderr, "%s: %s: %s\n", gPrefix.c_str(), source.c_str(), text.c_str());
}

}  // namespace

void RouteLibraryLog(bool verbose, std::string prefix) {
    {
        std::lock_guard lock(gLogMutex);
        gPrefix = std::move(prefix);
    }
    gVerbose = verbose;
    av_log_set_level(verbose ? AV_LOG_VERBOSE : AV_LOG_QUIET);
    av_log_set_callback(OnLibraryMessage);
}

}  // namespace kelvor::media
