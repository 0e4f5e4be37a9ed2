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
    if (a.Has("--yes-to-all") && a.Has("--no-to-all"))
        return UsageError("scenes", "--yes-to-all and --no-to-all exclude each other",
                          verb.Synopsis());
    if (a.Has("--yes-to-all"))
        options.Answers = AnswerPolicy::YesToAll;
    if (a.Has("--no-to-all"))
        options.Answers = AnswerPolicy::NoToAll;
    options.Json = a.Has("--json");
    options.Progress = a.Has("--progress");
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
