#include "commands/ScriptRunner.h"

#include <cmath>
#include <cstdlib>

#include "commands/CommandModule.h"
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

bool ScriptRunner::RunSwitch(const ScriptSwitch& p, Result& result) {
    CommandModule& commandModule = s_.Module;
    switch (p.Letter) {
        case 'F':
            return loadFiles(p.Value);
        case 'U':
            if (!s_.Host.LoadPlaylist(p.Value))
                return false;
            s_.Host.SelectAll();
            return true;
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
                return false;
            commandModule.CorrectionShift = *v;
            return runAs("ShiftTime", RunsAs::Graph);
        }
        case 'Y': {
            const auto v = ScriptNumber(p.Value);
            if (!v)
                return false;
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
    return false;
}

}  // namespace kelvor::commands
