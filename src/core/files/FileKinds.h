// What kind of file a name stands for, read from its first bytes rather than trusted from its
// name, so that no report or list is ever saved over a video whatever it is called.
//
// Pure functions over the file system; any thread.
#pragma once

#include <string>

namespace kelvor::files {

// True for an existing regular file that holds video: a RIFF AVI file, raw DV (its first DIF
// block a header block), or any file named .avi, .dv or .dif.
bool IsVideoFile(const std::string& path);

}  // namespace kelvor::files
