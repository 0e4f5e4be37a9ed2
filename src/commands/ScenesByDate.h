// Scenes by date of DV videos in one pass each: the scn file beside the video and, on request,
// the extended text list, the extended spreadsheet and the subtitle file, written by the
// detection sinks while the date scene graph streams the file through the date detector. It is
// a graph command of its own (kelvor-cli scenes), run by the graph worker like the others; it
// asks no question, as it always replaced its outputs.
#pragma once

#include "commands/Command.h"

namespace kelvor::commands {

class CommandModule;

struct ScenesByDateRequest {
    bool Text = false;         // the extended text list "_scn.txt"
    bool Spreadsheet = false;  // the extended spreadsheet
    bool Subtitles = false;    // the subtitle file ".srt"
};

// The command; it uses the module's conversion graph and lives no longer than the module.
Command ScenesByDateCommand(CommandModule& module, const ScenesByDateRequest& request);

}  // namespace kelvor::commands
