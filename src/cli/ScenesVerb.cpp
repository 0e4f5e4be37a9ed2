// kelvor-cli scenes: the scn file by date beside each video, and on request the extended text
// list, the extended spreadsheet and the subtitle file, in one pass over the file.
#include <string>

#include "cli/CliSession.h"
#include "cli/VerbArgs.h"
#include "commands/ScenesByDate.h"
#include "commands/ScriptRunner.h"

namespace kelvor::cli {

int runScenes(Args args) {
    const VerbArgs a = ParseVerbArgs(args, {"--text", "--xlsx", "--srt"});
    if (!a.Error.empty() || a.Files.empty())
        return UsageError("scenes", a.Error, "scenes [--text] [--xlsx] [--srt] FILE...");
    commands::ScenesByDateRequest request;
    request.Text = a.Has("--text");
    request.Spreadsheet = a.Has("--xlsx");
    request.Subtitles = a.Has("--srt");
    HostOptions options;
    options.Verb = "scenes";
    Session s(options);
    InterruptGuard guard(s.Control);
    for (const std::string& f : a.Files)
        s.Host.AddFile(f, true);
    commands::ScriptRunner(s.Services())
        .RunCommand(commands::ScenesByDateCommand(s.Module, request));
    return s.Host.ExitStatus();
}

}  // namespace kelvor::cli
