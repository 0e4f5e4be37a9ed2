// kelvor-cli script and kelvor-cli do: the program's command runs without its window.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliSession.h"
#include "cli/VerbArgs.h"
#include "cli/VerbTable.h"
#include "cli/Verbs.h"
#include "commands/CommandModule.h"
#include "commands/ListLoading.h"
#include "commands/ScriptParser.h"
#include "commands/ScriptRunner.h"
#include "media/export/Mp4Export.h"

namespace kelvor::cli {
namespace {

constexpr const char* kScriptUsage =
    "script [--yes-to-all | --no-to-all] [--json] [--output-dir DIR] ARG...";
constexpr const char* kDoUsage = "do COMMAND [OPTION...] FILE...";
// A burnt date longer than an hour would hide most recordings whole.
constexpr double kMaxInlaySeconds = 3600;

bool HasWildcard(const std::string& s) {
    return s.find_first_of("*?") != std::string::npos;
}

int Finish(Session& s, const HostOptions& options) {
    if (options.Json)
        s.Host.PrintReport();
    return s.Host.ExitStatus();
}

bool IsRename(const std::string& name) {
    return name == "AddDatecode" || name == "AddTimecode" || name == "ShortenName" ||
           name == "RenameToDate";
}

// The values a command needs, from its options; empty when they are all there, otherwise the
// usage error.
std::string TakeCommandValues(const commands::CommandInfo& info, const VerbArgs& a,
                              commands::CommandModule& module) {
    const std::string name = info.Name;
    const std::string verb = KebabName(info.Name);
    if (name == "ShiftTime") {
        std::optional<double> days;
        std::string given;
        for (const char* option : {"--days", "--shift"})
            if (const std::string* v = a.Value(option)) {
                given = option;
                days = commands::ScriptNumber(*v);
                if (!days)
                    return given + " takes a decimal number";
            }
        if (const std::string* v = a.Value("--by")) {
            if (days)
                return "--by and " + given + " exclude each other";
            given = "--by";
            days = DurationDays(*v);
            if (!days)
                return "--by takes a time difference as [-]H:MM or [-]H:MM:SS";
        }
        if (!days)
            return verb + " needs --by [-]H:MM[:SS] or --days N";
        if (const std::string why = commands::ShiftRefusal(*days); !why.empty())
            return given + " " + why;
        module.CorrectionShift = *days;
    } else if (name == "FixFrameRate") {
        const std::string* v = a.Value("--fps");
        if (!v)
            return verb + " needs --fps N";
        const auto fps = commands::ScriptNumber(*v);
        if (!fps || *fps <= 0)
            return "--fps takes a positive decimal number";
        module.TargetFps = *fps;
    } else if (name == "ExportMp4") {
        module.Mp4.Whole = a.Has("--whole");
        module.Mp4.DoubleRate = a.Has("--double-rate");
        if (const std::string* v = a.Value("--timezone")) {
            if (!media::KnownTimeZone(*v))
                return "--timezone: unknown time zone " + *v;
            module.Mp4.TimeZone = *v;
        }
        if (const std::string* v = a.Value("--name")) {
            if (v->empty())
                return "--name takes a date pattern";
            module.Mp4.NamePattern = *v;
        }
        if (const std::string* v = a.Value("--crf")) {
            const auto crf = commands::ScriptNumber(*v);
            if (!crf || *crf < 0 || *crf > 51 || *crf != static_cast<int>(*crf))
                return "--crf takes a whole number from 0 to 51";
            module.Mp4.Crf = static_cast<int>(*crf);
        }
        if (const std::string* v = a.Value("--inlay")) {
            const auto seconds = commands::ScriptNumber(*v);
            if (!seconds || *seconds < 0 || *seconds > kMaxInlaySeconds)
                return "--inlay takes a number of seconds from 0 to 3600";
            module.Mp4.InlaySeconds = *seconds;
        }
        if (const std::string* v = a.Value("--preset")) {
            static const char* const kPresets[] = {"ultrafast", "superfast", "veryfast",
                                                   "faster",    "fast",      "medium",
                                                   "slow",      "slower",    "veryslow"};
            if (std::find(std::begin(kPresets), std::end(kPresets), *v) == std::end(kPresets))
                return "--preset takes one of ultrafast, superfast, veryfast, faster, fast, "
                       "medium, slow, slower, veryslow";
            module.Mp4.Preset = *v;
        }
    } else if (name == "FixCodec") {
        const std::string* v = a.Value("--fourcc");
        if (!v)
            v = a.Value("--codec");
        if (!v || v->empty())
            return verb + " needs --fourcc CODE";
        module.TargetCodec = v->substr(0, 4);
    }
    return {};
}

// A dry run of a command that is no rename: each file it applies to is named, each other file
// is passed over with the reason; nothing runs.
void PlanRun(Session& s, commands::Command& c) {
    for (const commands::FileItem& f : s.List.SelectedFiles()) {
        bool visible = true, enabled = true;
        if (c.AppliesTo)
            c.AppliesTo(c.Param, *f.Record, visible, enabled);
        if (enabled)
            s.Host.Planned(c.Name, f.FullName(), "");
        else
            s.Host.PassedOver(c.Name, f.FullName(),
                              !f.Record->Exists       ? "the file is not found"
                              : c.Requirement.empty() ? "the command does not apply to this file"
                                                      : c.Requirement);
    }
}

// One command on the files: `verb` names the runs's lines, `letter` is the script letter it was
// named by (0 for a name).
int RunOnFiles(const commands::CommandInfo& info, char letter, const VerbArgs& a,
               const std::string& verb, std::string_view usage) {
    HostOptions options;
    options.Verb = verb;
    options.Command = info.Name;
    if (const std::string why = TakeRunOptions(a, options); !why.empty())
        return UsageError(verb, why, usage);
    if (a.Files.empty())
        return UsageError(verb, "no file given", usage);
    const bool rename = IsRename(info.Name);
    if (options.DryRun && !CommandWrites(info))
        return UsageError(verb, "--dry-run is for the commands that write", usage);
    // A dry run changes nothing, so there is nothing to ask.
    if (options.DryRun)
        options.Answers = AnswerPolicy::YesToAll;
    Session s(options, CommandDrawsPictures(info.Name));
    commands::Command* c = s.Module.Find(info.Name);
    if (!c)
        return UsageError(verb, std::string("unknown command ") + info.Name, usage);
    if (const std::string why = TakeCommandValues(info, a, s.Module); !why.empty())
        return UsageError(verb, why, usage);
    s.Module.DryRun = options.DryRun && rename;

    InterruptGuard guard(s.Control);
    s.Control.KeepLoading = true;
    for (const std::string& f : a.Files) {
        if (!s.Control.KeepLoading)
            break;
        s.Host.AddFile(f, true);
    }
    commands::ScriptRunner runner(s.Services());
    if (options.DryRun && !rename) {
        PlanRun(s, *c);
    } else if (letter == 'X') {
        commands::ScriptRunner::Result ignored;
        runner.RunSwitch(commands::ScriptSwitch{'+', 'X', {}}, ignored);
    } else if (!s.List.SelectedFiles().empty() && !runner.RunCommand(*c)) {
        // With files selected, only a general condition keeps a command from starting.
        s.Host.NotProcessed(c->Name, "not available: its program is not set in the settings");
    }
    return Finish(s, options);
}

}  // namespace

int runScript(Args args) {
    const VerbInfo& verb = *FindVerb("script");
    const VerbArgs a = ParseVerbArgs(args, verb.Flags(), verb.Valued());
    if (!a.Error.empty())
        return UsageError("script", a.Error, kScriptUsage);
    HostOptions options;
    options.Verb = "script";
    if (const std::string why = TakeRunOptions(a, options); !why.empty())
        return UsageError("script", why, kScriptUsage);
    if (a.Files.empty())
        return UsageError("script", "", kScriptUsage);
    Session s(options);
    InterruptGuard guard(s.Control);
    commands::Script script = commands::ParseCommandLine(a.Files);
    // A named file that is not there loads nothing; the user hears of it.
    for (const commands::ScriptSwitch& p : script)
        if (p.Letter == 'F' && !p.Value.empty() && !HasWildcard(p.Value) &&
            commands::ExpandFileMask(p.Value).empty())
            s.Host.NotProcessed(p.Value, "no such file");
    commands::ScriptRunner(s.Services()).Run(script);
    return Finish(s, options);
}

int runDo(Args args) {
    const VerbInfo* self = FindVerb("do");
    if (args.empty() || args[0].starts_with("--"))
        return UsageError("do", args.empty() ? "no command given" : "the command comes first",
                          kDoUsage);
    const std::string name(args[0]);
    const VerbArgs a = ParseVerbArgs(args.subspan(1), self->Flags(), self->Valued());
    if (!a.Error.empty())
        return UsageError("do", a.Error, kDoUsage);
    const commands::CommandInfo* info = FindCommandByAnyName(name);
    if (!info)
        return UsageError("do",
                          name.size() == 1 ? "'" + name + "' is not the letter of a command"
                                           : "unknown command " + name,
                          kDoUsage);
    // Options of other commands are refused, as the command's own verb refuses them.
    std::vector<std::string> own;
    for (const OptionHelp& o : CommandOptions(*info))
        own.push_back(o.Name);
    const auto ownOrAlias = [&](const std::string& option) {
        const std::string canonical = option == "--shift"   ? "--days"
                                      : option == "--codec" ? "--fourcc"
                                                            : option;
        return std::find(own.begin(), own.end(), canonical) != own.end() ||
               option == "--yes-to-all" || option == "--no-to-all" || option == "--json" ||
               option == "--progress";
    };
    for (const auto& [option, value] : a.Values)
        if (!ownOrAlias(option))
            return UsageError("do", std::string(option) + " is not an option of " + info->Name,
                              kDoUsage);
    for (const std::string& flag : a.Flags)
        if (!ownOrAlias(flag))
            return UsageError("do", flag + " is not an option of " + info->Name, kDoUsage);
    const char letter =
        name.size() == 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(name[0]))) : 0;
    return RunOnFiles(*info, letter, a, "do", kDoUsage);
}

int RunCommandVerb(const VerbInfo& verb, Args args) {
    const VerbArgs a = ParseVerbArgs(args, verb.Flags(), verb.Valued());
    const std::string usage = verb.Synopsis();
    if (!a.Error.empty())
        return UsageError(verb.Name, a.Error, usage);
    return RunOnFiles(*verb.Command, 0, a, verb.Name, usage);
}

}  // namespace kelvor::cli

namespace kelvor::cli {

void PrintCommandHelp(std::FILE* to) {
    std::fprintf(to,
                 "\ncommands (kelvor-cli do NAME|LETTER, or +LETTER in a script; the historic "
                 "names in brackets are accepted too):\n");
    const char* kRuns[] = {"mono", "file", "graph", "inner file", "inner graph"};
    for (const commands::CommandInfo& c : commands::CommandTable()) {
        std::string letters;
        for (const char l : std::string_view(c.Letters))
            letters += (letters.empty() ? "" : ",") + std::string(1, l);
        const std::string caption = c.Caption[0] ? c.Caption : c.Action.Caption;
        const std::string alias =
            std::string_view(c.Alias) == c.Name ? "" : " [" + std::string(c.Alias) + "]";
        std::fprintf(to, "  %-4s %-23s %-12s %s%s\n", letters.c_str(), c.Name,
                     kRuns[static_cast<int>(c.Runs)], caption.c_str(), alias.c_str());
    }
    std::fprintf(to, "\nother script switches:\n");
    for (const commands::SwitchMeaning& sw : commands::SwitchMeanings())
        std::fprintf(to, "  %c    %s\n", sw.Letter, sw.Meaning);
}

}  // namespace kelvor::cli
