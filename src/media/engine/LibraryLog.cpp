#include "media/engine/LibraryLog.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string_view>

#include "core/shell/LibraryMessages.h"

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

// The lines other libraries print on their own, shown like FFmpeg's.
void onOtherLibraryLine(std::string_view source, std::string_view line) {
    if (!gVerbose.load())
        return;
    std::lock_guard lock(gLogMutex);
    std::fprintf(stderr, "%s: %.*s: %.*s\n", gPrefix.c_str(), static_cast<int>(source.size()),
                 source.data(), static_cast<int>(line.size()), line.data());
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
    shell::SetLibraryMessageRoute(onOtherLibraryLine);
}

}  // namespace kelvor::media
