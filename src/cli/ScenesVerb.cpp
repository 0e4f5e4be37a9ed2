// kelvor-cli scenes: the scn file by date beside each video, and on request the extended text
// list, the extended spreadsheet and the subtitle file, in one pass over the file.
#include <string>

#include "cli/CliSession.h"
#include "cli/VerbArgs.h"
#include "cli/VerbTable.h"
#include "commands/ScenesByDate.h"
#include "commands/ScriptRunner.h"

namespace kelvor::cli {

int runScenes(Args args) {
    const VerbInfo& verb = *FindVerb("scenes");
    const VerbArgs a = ParseVerbArgs(args, verb.Flags(), verb.Valued());
    if (!a.Error.empty() || a.Files.empty())
        return UsageError("scenes", a.Error, verb.Synopsis());
    commands::ScenesByDateRequest request;
    request.Text = a.Has("--text");
    request.Spreadsheet = a.Has("--xlsx");
    request.Subtitles = a.Has("--srt");
    HostOptions options;
    options.Verb = "scenes";
    options.Command = "ScenesByDate";
    if (const std::string why = TakeRunOptions(a, options); !why.empty())
        return UsageError("scenes", why, verb.Synopsis());
    Session s(options);
    InterruptGuard guard(s.Control);
    for (const std::string& f : a.Files)
        s.Host.AddFile(f, true);
    commands::ScriptRunner(s.Services())
        .RunCommand(commands::ScenesByDateCommand(s.Module, request));
    if (options.Json)
        s.Host.PrintReport();
    return s.Host.ExitStatus();
}

}  // namespace kelvor::cli
