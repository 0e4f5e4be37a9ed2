// kelvor-cli to-type1, to-type2, shift-time, extract-audio and cut-scenes in the light front end:
// the stream copies of DV files our own readers take, through the same engine filters the media
// program joins (AVI splitter, DV splitter and muxer, header filter, AVI mux, WAV writer), without
// the stages that need the codec libraries. The sound wrappers those graphs put in front of the
// muxers pass the sound unchanged when its rate stays, so they are left out; a run that would
// resample goes to the media program. Only the plain run is taken here (--yes-to-all, --no-to-all,
// --output-dir and --by; no terminal, which gets the progress line and may be asked); anything
// else is left to the media program, before anything is written or printed.
//
// Threads: the main thread of the front end waits for each graph run; the signal handlers only
// store to atomics.
#pragma once

#include <string_view>

#include "cli/Verbs.h"

namespace kelvor::cli {

// False, having touched nothing, when the media program must run the verb; otherwise true with
// the exit status in `status`. A file that fails midway hands the files from it on to the media
// program, which says why, and does not return.
bool RunCopiesHere(std::string_view verb, Args rest, int& status);

}  // namespace kelvor::cli
