// kelvor-cli scenes: the scn file by date beside each video, and on request the extended text
// list, the extended spreadsheet and the subtitle file, in one pass over the file.
#include <cstdio>
#include <string>

#include "cli/CliSession.h"
#include "cli/Verbs.h"
#include "commands/ScenesByDate.h"
#include "commands/ScriptRunner.h"

namespace kelvor::cli {

int runScenes(Args args) {
    commands::ScenesByDateRequest request;
    std::vector<std::string> files;
    for (std::string_view a : args) {
        if (a == "--text")
            request.Text = true;
        else if (a == "--xlsx")
            request.Spreadsheet = true;
        else if (a == "--srt")
            request.Subtitles = true;
        else
            files.emplace_back(a);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: kelvor-cli scenes [--text] [--xlsx] [--srt] FILE...\n");
        return 2;
    }
    HostOptions options;
    options.Verb = "scenes";
    Session s(options);
    InterruptGuard guard(s.Control);
    for (const std::string& f : files)
        s.Host.AddFile(f, true);
    commands::ScriptRunner(s.Services())
        .RunCommand(commands::ScenesByDateCommand(s.Module, request));
    return s.Host.ExitStatus();
}

}  // namespace kelvor::cli
