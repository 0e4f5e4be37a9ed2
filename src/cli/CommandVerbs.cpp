// kelvor-cli script and kelvor-cli do: the program's command runs without its window.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliSession.h"
#include "cli/Verbs.h"
#include "commands/CommandModule.h"
#include "commands/ListLoading.h"
#include "commands/ScriptParser.h"
#include "commands/ScriptRunner.h"

namespace kelvor::cli {
namespace {

constexpr const char* kScriptUsage =
    "usage: kelvor-cli script [--yes-to-all | --no-to-all] [--json] ARG...\n"
    "  ARG: a file (wildcards * and ?), +LETTER or +LETTER=\"VALUE\" (also -LETTER, /LETTER),\n"
    "       +L=SCRIPTFILE; see kelvor-cli help for the letters\n";
constexpr const char* kDoUsage =
    "usage: kelvor-cli do COMMAND [--yes-to-all | --no-to-all] [--json] [--dry-run]\n"
    "                    [--shift DAYS] [--fps N] [--codec CODE] FILE...\n"
    "  COMMAND: a command's name (ToNtsc, AddDatecode) or its script letter; see kelvor-cli "
    "help\n";

int Usage(const char* usage, const std::string& why = {}) {
    if (!why.empty())
        std::fprintf(stderr, "kelvor-cli %s: %s\n", usage == kScriptUsage ? "script" : "do",
                     why.c_str());
    std::fprintf(stderr, "%s", usage);
    return 2;
}

// The answer options, accepted anywhere among the arguments; true when `a` was one of them.
bool AnswerOption(std::string_view a, HostOptions& options, int& answerOptions) {
    if (a == "--yes-to-all") {
        options.Answers = AnswerPolicy::YesToAll;
        ++answerOptions;
    } else if (a == "--no-to-all") {
        options.Answers = AnswerPolicy::NoToAll;
        ++answerOptions;
    } else if (a == "--json") {
        options.Json = true;
    } else {
        return false;
    }
    return true;
}

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

}  // namespace

int runScript(Args args) {
    HostOptions options;
    options.Verb = "script";
    int answerOptions = 0;
    std::vector<std::string> words;
    bool optionsOver = false;
    for (std::string_view a : args) {
        if (!optionsOver && a == "--") {
            optionsOver = true;
        } else if (!optionsOver && a.starts_with("--")) {
            if (!AnswerOption(a, options, answerOptions))
                return Usage(kScriptUsage, "unknown option " + std::string(a));
        } else {
            words.emplace_back(a);
        }
    }
    if (answerOptions > 1)
        return Usage(kScriptUsage, "--yes-to-all and --no-to-all exclude each other");
    if (words.empty())
        return Usage(kScriptUsage);
    Session s(options);
    InterruptGuard guard(s.Control);
    commands::Script script = commands::ParseCommandLine(words);
    // A named file that is not there loads nothing; the user hears of it.
    for (const commands::ScriptSwitch& p : script)
        if (p.Letter == 'F' && !p.Value.empty() && !HasWildcard(p.Value) &&
            commands::ExpandFileMask(p.Value).empty())
            s.Host.NotProcessed(p.Value, "no such file");
    commands::ScriptRunner(s.Services()).Run(script);
    return Finish(s, options);
}

int runDo(Args args) {
    if (args.empty())
        return Usage(kDoUsage);
    const std::string name(args[0]);
    HostOptions options;
    options.Verb = "do";
    int answerOptions = 0;
    std::optional<double> shift, fps;
    std::optional<std::string> codec;
    std::vector<std::string> files;
    bool optionsOver = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (optionsOver || !a.starts_with("--")) {
            files.emplace_back(a);
        } else if (a == "--") {
            optionsOver = true;
        } else if (AnswerOption(a, options, answerOptions)) {
        } else if (a == "--dry-run") {
            options.DryRun = true;
        } else if ((a == "--shift" || a == "--fps") && hasValue) {
            const auto v = commands::ScriptNumber(std::string(args[++i]));
            if (!v)
                return Usage(kDoUsage, std::string(a) + " takes a decimal number");
            (a == "--shift" ? shift : fps) = *v;
        } else if (a == "--codec" && hasValue) {
            codec = std::string(args[++i]);
        } else {
            return Usage(kDoUsage, "unknown option " + std::string(a));
        }
    }
    if (answerOptions > 1)
        return Usage(kDoUsage, "--yes-to-all and --no-to-all exclude each other");
    if (files.empty())
        return Usage(kDoUsage, "no file given");

    // The command named, or the script letter's.
    std::string command = name;
    char letter = 0;
    if (name.size() == 1) {
        letter =
            name[0] >= 'a' && name[0] <= 'z' ? static_cast<char>(name[0] - 'a' + 'A') : name[0];
        const commands::CommandInfo* row = commands::CommandForLetter(letter);
        command = row ? row->Name : "";
        if (command.empty())
            return Usage(kDoUsage, "'" + name + "' is not the letter of a command");
    }
    // A dry run renames nothing, so there is nothing to ask.
    if (options.DryRun)
        options.Answers = AnswerPolicy::YesToAll;
    Session s(options);
    commands::Command* c = s.Module.Find(command);
    if (!c)
        return Usage(kDoUsage, "unknown command " + name);
    command = c->Name;
    if (command == "ShiftTime" && !shift)
        return Usage(kDoUsage, "ShiftTime needs --shift DAYS");
    if (command == "ShiftTime" && !commands::ShiftRefusal(*shift).empty())
        return Usage(kDoUsage, "--shift " + std::string(commands::ShiftRefusal(*shift)));
    if (command == "FixFrameRate" && !fps)
        return Usage(kDoUsage, "FixFrameRate needs --fps N");
    if (command == "FixCodec" && !codec)
        return Usage(kDoUsage, "FixCodec needs --codec CODE");
    if (options.DryRun && !IsRename(command))
        return Usage(kDoUsage, "--dry-run is for the rename commands only");
    s.Module.DryRun = options.DryRun;
    if (shift)
        s.Module.CorrectionShift = *shift;
    if (fps)
        s.Module.TargetFps = *fps;
    if (codec)
        s.Module.TargetCodec = codec->substr(0, 4);

    InterruptGuard guard(s.Control);
    s.Control.KeepLoading = true;
    for (const std::string& f : files) {
        if (!s.Control.KeepLoading)
            break;
        s.Host.AddFile(f, true);
    }
    commands::ScriptRunner runner(s.Services());
    if (letter == 'X') {
        commands::ScriptRunner::Result ignored;
        runner.RunSwitch(commands::ScriptSwitch{'+', 'X', {}}, ignored);
    } else if (!s.List.SelectedFiles().empty() && !runner.RunCommand(*c)) {
        // With files selected, only a general condition keeps a command from starting.
        s.Host.NotProcessed(c->Name, "not available: its program is not set in the settings");
    }
    return Finish(s, options);
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
