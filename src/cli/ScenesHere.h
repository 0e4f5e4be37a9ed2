// kelvor-cli scenes and scenes-by-date in the light front end: the scn file by date of DV files
// our own readers take, written without the media engine's graph, so the run loads no codec
// library. Only the plain run is taken here (no lists, report, progress lines or dry run, no
// terminal to ask or to show progress on); anything else is left to the media program.
//
// Threads: the main thread of the front end.
#pragma once

#include <string_view>

#include "cli/Verbs.h"

namespace kelvor::cli {

// False, having touched nothing, when the media program must run the verb; otherwise true with
// the exit status in `status`. A file that fails midway hands the files from it on to the media
// program, which says why, and does not return.
bool RunScenesHere(std::string_view verb, Args rest, int& status);

}  // namespace kelvor::cli
