// The FFmpeg libraries' own messages ("[avi @ 0x...] ...") go through the program instead of
// straight to the terminal: on standard error with the program's prefix when the user asks for
// them, otherwise kept out, the last warning or error line kept for a failure to quote.
//
// Any thread: the libraries call back on their own threads; the kept line is guarded.
#pragma once

#include <string>

namespace kelvor::media {

// Installs the route for the process's life. `prefix` begins each shown line ("kelvor-cli").
void RouteLibraryLog(bool verbose, std::string prefix);

// The last warning or error line the libraries gave since the route was installed, without
// the object's address; empty when none.
std::string LastLibraryMessage();

}  // namespace kelvor::media
