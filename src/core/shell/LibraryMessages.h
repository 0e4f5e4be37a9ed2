// The lines the libraries print for a person on their own (libxlsxwriter's "[ERROR]" and
// "[WARNING]" lines, which it writes to standard error with no hook) go through the one route the
// program installs instead of reaching the terminal raw: kelvor-cli shows them with --verbose
// beside FFmpeg's, and keeps them out otherwise.
//
// Threads: any. The route is a plain function, set once at start (before any writer runs) and read
// atomically. CaptureStandardError serialises its callers on one mutex.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kelvor::shell {

// Where a library's line goes: `source` names the library ("libxlsxwriter"), `line` is the line
// without its end.
using LibraryMessageRoute = void (*)(std::string_view source, std::string_view line);

// Installs the route for the process's life; null drops the lines.
void SetLibraryMessageRoute(LibraryMessageRoute route);
// Hands a line to the route (dropped when none is installed).
void ReportLibraryMessage(std::string_view source, std::string_view line);

// Runs `call` with file descriptor 2 sent into a file of its own and answers what was written
// there meanwhile. For libraries that print to standard error with no hook: a line written by
// another thread in that time is caught too, so the caller writes back the lines that are not the
// library's. When the descriptor cannot be redirected, `call` runs as it is and the answer is
// empty.
std::string CaptureStandardError(const std::function<void()>& call);

}  // namespace kelvor::shell
