// The lossless Matroska archive of DV videos (kelvor-cli export-mkv): every DV frame kept byte
// for byte, the sound as PCM, a chapter per scene (the scn's, else by date) with its caption and
// recording date, the recording date and the tape timecode as tags, and a subtitle track of the
// running datecode. One file per video named after it, or one per scene named after the scene's
// first datecode.
//
// The command runs on the short worker: each execution streams the video once through the date
// detector, then copies it. The request is copied into the command, which uses the module's
// graphs, preferences and host and lives no longer than the module. A failure is the result's.
#pragma once

#include <string>

#include "commands/Command.h"

namespace kelvor::commands {

class CommandModule;

struct ExportMkvRequest {
    bool PerScene = false;
    // The date-time pattern of the names of scene files.
    std::string NamePattern = "yyyy-mm-dd hh.nn.ss";
};

Command ExportMkvCommand(CommandModule& module, const ExportMkvRequest& request);

// The text of the recording date in the archive's tags: "2024-07-14 10:05:06".
std::string RecordedDateText(double date);

}  // namespace kelvor::commands
