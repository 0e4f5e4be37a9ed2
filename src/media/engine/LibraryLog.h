// The FFmpeg libraries' own messages ("[avi @ 0x...] ...") and the lines other libraries print
// (libxlsxwriter's, see core/shell/LibraryMessages.h) go through the program instead of straight
// to the terminal: on standard error with the program's prefix when the user asks for
// them, otherwise kept out. The failures the engine reports carry the libraries' error codes in
// words already.
//
// Any thread: the libraries call back on their own threads.
#pragma once

#include <string>

namespace kelvor::media {

// Installs the route for the process's life. `prefix` begins each shown line ("kelvor-cli").
void RouteLibraryLog(bool verbose, std::string prefix);

}  // namespace kelvor::media
