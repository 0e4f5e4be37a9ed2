// kelvor-cli export-mkv: the lossless Matroska archive of each DV video, one file per video or
// one per scene; kelvor-cli export-chapters: a chapter file of each video's scenes.
#include <string>

#include "cli/CliSession.h"
#include "cli/VerbArgs.h"
#include "cli/VerbTable.h"
#include "commands/ExportChapters.h"
#include "commands/ExportMkv.h"
#include "commands/ScriptRunner.h"

namespace kelvor::cli {

int runExportMkv(Args args) {
    const VerbInfo& verb = *FindVerb("export-mkv");
    const VerbArgs a = ParseVerbArgs(args, verb.Flags(), verb.Valued());
    if (!a.Error.empty() || a.Files.empty())
        return UsageError("export-mkv", a.Error, verb.Synopsis());
    commands::ExportMkvRequest request;
    request.PerScene = a.Has("--per-scene");
    if (const std::string* pattern = a.Value("--name")) {
        if (pattern->empty())
            return UsageError("export-mkv", "--name takes a date-time pattern", verb.Synopsis());
        request.NamePattern = *pattern;
    }
    HostOptions options;
    options.Verb = "export-mkv";
    options.Command = "ExportMkv";
    if (const std::string why = TakeRunOptions(a, options); !why.empty())
        return UsageError("export-mkv", why, verb.Synopsis());
    // The archive copies frames and sound and draws nothing: no application object to start.
    Session s(options, false);
    InterruptGuard guard(s.Control);
    for (const std::string& f : a.Files)
        s.Host.AddFile(f, true);
    commands::ScriptRunner(s.Services()).RunCommand(commands::ExportMkvCommand(s.Module, request));
    if (options.Json)
        s.Host.PrintReport();
    return s.Host.ExitStatus();
}

int runExportChapters(Args args) {
    const VerbInfo& verb = *FindVerb("export-chapters");
    const VerbArgs a = ParseVerbArgs(args, verb.Flags(), verb.Valued());
    if (!a.Error.empty() || a.Files.empty())
        return UsageError("export-chapters", a.Error, verb.Synopsis());
    const std::string* name = a.Value("--format");
    const auto format = name ? scenes::ChapterFormatFromName(*name) : std::nullopt;
    if (!format)
        return UsageError("export-chapters", "--format takes ffmetadata, webvtt, mkvxml or edl",
                          verb.Synopsis());
    HostOptions options;
    options.Verb = "export-chapters";
    options.Command = "ExportChapters";
    if (const std::string why = TakeRunOptions(a, options); !why.empty())
        return UsageError("export-chapters", why, verb.Synopsis());
    // Chapters come from the scn or the datecodes and nothing is drawn: no application object.
    Session s(options, false);
    InterruptGuard guard(s.Control);
    for (const std::string& f : a.Files)
        s.Host.AddFile(f, true);
    commands::ScriptRunner(s.Services())
        .RunCommand(commands::ExportChaptersCommand(s.Module, *format));
    if (options.Json)
        s.Host.PrintReport();
    return s.Host.ExitStatus();
}

}  // namespace kelvor::cli
