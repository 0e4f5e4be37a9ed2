// Chapter files of DV videos for other programs (kelvor-cli export-chapters): a chapter per
// scene, the scn's or by date, with its caption and recording date, in one of the formats of
// core/scenes/ChapterFiles, beside the video (or in the save folder) as NAME + the format's
// suffix.
//
// The command runs on the short worker; each execution streams the video once through the date
// detector of the module's graphs and writes the file through a temporary file. The command
// lives no longer than the module. A failure is the result's.
#pragma once

#include "commands/Command.h"
#include "core/scenes/ChapterFiles.h"

namespace kelvor::commands {

class CommandModule;

Command ExportChaptersCommand(CommandModule& module, scenes::ChapterFormat format);

}  // namespace kelvor::commands
