#include "commands/ScriptRunner.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "commands/CommandModule.h"
#include "commands/FileList.h"
#include "commands/ListLoading.h"

namespace kelvor::commands {

const std::vector<SwitchMeaning>& SwitchMeanings() {
    // The command letters come from the command table; these are the runner's own.
    static const std::vector<SwitchMeaning> kSwitches = {
        {'F', "load the files the value names (wildcards * and ?), selected"},
        {'U', "load the playlist the value names, then select every file"},
        {'#', "empty the list"},
        {'L', "read the switches of the script file the value names, in place"},
        {'X', "text list of the scenes: from the scn file, by date or by content"},
        {'H', "close when the script has ended"},
    };
    return kSwitches;
}

std::optional<double> ScriptNumber(const std::string& value) {
    std::string text;
    int separators = 0, digits = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c >= '0' && c <= '9') {
            ++digits;
            text += c;
        } else if ((c == '.' || c == ',') && ++separators == 1) {
            text += '.';
        } else if ((c == '-' || c == '+') && i == 0) {
            text += c;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    const double v = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string NumberRefusal(const std::string& value) {
    if (ScriptNumber(value))
        return {};
    return value.empty() ? "needs a decimal number" : "'" + value + "' is not a decimal number";
}

std::string ShiftRefusal(double days) {
    return days == 0 ? "a time shift of 0 changes nothing" : std::string();
}

ScriptRunner::Result ScriptRunner::Run(Script& script) {
    Result result;
    s_.Control.ScriptStop = false;
    for (const ScriptSwitch& p : script) {
        if (s_.Control.ScriptStop)
            break;
        RunSwitch(p, result);
    }
    script.clear();
    return result;
}

bool ScriptRunner::RunCommand(const Command& command) {
    if (command.CanStart) {
        bool visible = true;
        CommandParam param = command.Param;
        command.CanStart(param, visible);
        if (!visible)
            return false;
    }
    switch (command.Runs) {
        case RunsAs::Mono: {
            const std::vector<FileItem> files = s_.Host.SelectedFiles();
            for (const FileItem& f : files) {
                if (s_.Control.ScriptStop)
                    break;
                RunMonoCommand(command, f, s_);
            }
            return !files.empty();
        }
        case RunsAs::File:
        case RunsAs::InnerFile:
            return wait(RunFileCommand(command, s_));
        case RunsAs::Graph:
        case RunsAs::InnerGraph:
            return wait(RunGraphCommand(command, s_));
    }
    return false;
}

bool ScriptRunner::wait(std::unique_ptr<CommandWorker> worker) {
    if (!worker)
        return false;
    s_.Host.WaitForRun(*worker);
    return true;
}

bool ScriptRunner::runAs(const std::string& name, RunsAs runs) {
    const Command* c = s_.Module.Find(name);
    if (!c)
        return false;
    Command copy = *c;
    copy.Runs = runs;
    return RunCommand(copy);
}

bool ScriptRunner::runScenesText() {
    std::optional<FileItem> current = s_.Host.CurrentFile();
    if (!current) {
        // Nothing is focused (files loaded into an empty list): the first selected file
        // chooses, as it is the one the user sees first.
        const std::vector<FileItem> selected = s_.Host.SelectedFiles();
        if (selected.empty())
            return false;
        current = selected.front();
    }
    const files::FileRecord& r = *current->Record;
    if (r.HasScn)
        return runAs("ExportTextFromScn", RunsAs::File);
    return runAs(r.IsDV ? "ExportTextByDate" : "ExportTextByContent", RunsAs::Graph);
}

bool ScriptRunner::loadFiles(const std::string& mask) {
    s_.Host.BeginLoading("Loading files");
    for (const std::string& path : ExpandFileMask(mask)) {
        if (!s_.Control.KeepLoading)
            break;
        s_.Host.AddFile(path, true);
    }
    s_.Host.EndLoading();
    return true;
}

bool ScriptRunner::refuse(const ScriptSwitch& p, const std::string& why) {
    s_.Host.SwitchRefused(SwitchText(p), why);
    return false;
}

bool ScriptRunner::loadPlaylist(const ScriptSwitch& p) {
    const std::optional<std::vector<std::string>> entries = PlaylistEntries(p.Value);
    if (!entries) {
        std::string text;
        const std::string why = ReadSmallFile(p.Value, kMaxPlaylistBytes, text);
        return refuse(p, "the playlist cannot be read: " + (why.empty() ? "unreadable" : why));
    }
    // Any text file reads as lines; a playlist names at least one video the list can take.
    if (std::none_of(entries->begin(), entries->end(), AcceptedFile))
        return refuse(p, "not a playlist: it names no .avi file that exists");
    if (!s_.Host.LoadPlaylist(p.Value))
        return refuse(p, "the playlist cannot be read");
    s_.Host.SelectAll();
    return true;
}

bool ScriptRunner::RunSwitch(const ScriptSwitch& p, Result& result) {
    if (!p.Refusal.empty())
        return refuse(p, p.Refusal);
    CommandModule& commandModule = s_.Module;
    switch (p.Letter) {
        case 'F':
            return loadFiles(p.Value);
        case 'U':
            return loadPlaylist(p);
        case '#':
            s_.Host.EmptyList();
            return true;
        case 'H':
            result.CloseRequested = true;
            return false;
        case 'X':
            return runScenesText();
        case 'E': {
            const auto v = ScriptNumber(p.Value);
            if (!v)
                return refuse(p, NumberRefusal(p.Value));
            if (const std::string why = ShiftRefusal(*v); !why.empty())
                return refuse(p, why);
            commandModule.CorrectionShift = *v;
            return runAs("ShiftTime", RunsAs::Graph);
        }
        case 'Y': {
            const auto v = ScriptNumber(p.Value);
            if (!v)
                return refuse(p, NumberRefusal(p.Value));
            commandModule.TargetFps = *v;
            return runAs("FixFrameRate", RunsAs::File);
        }
        case 'K':
            commandModule.TargetCodec = p.Value.substr(0, 4);
            return runAs("FixCodec", RunsAs::File);
        default:
            break;
    }
    if (const CommandInfo* row = CommandForLetter(p.Letter))
        return runAs(row->Name, row->Runs == RunsAs::File ? RunsAs::File : RunsAs::Graph);
    return refuse(p, std::string("no switch has the letter ") + p.Letter);
}

}  // namespace kelvor::commands
