#include "commands/ScriptRunner.h"

#include <cmath>
#include <cstdlib>

#include "commands/CommandModule.h"
#include "commands/ListLoading.h"

namespace kelvor::commands {

const std::vector<SwitchMeaning>& SwitchMeanings() {
    static const std::vector<SwitchMeaning> kSwitches = {
        {'F', nullptr, "load the files the value names (wildcards * and ?), selected"},
        {'U', nullptr, "load the playlist the value names, then select every file"},
        {'#', nullptr, "empty the list"},
        {'L', nullptr, "read the switches of the script file the value names, in place"},
        {'D', "AjouterDateCode", "add the datecode to the names"},
        {'T', "AjouterTimecode", "add the timecode to the names"},
        {'Q', "PurgerNom", "shorten the names"},
        {'R', "RenameScAn", "rename with the root and the datecode"},
        {'B', "FileDate", "set the file dates from the datecode"},
        {'O', "SupprimerFichier", "move the files to the trash"},
        {'Z', "SupprimerScn", "move the scn files to the trash"},
        {'J', "Supprimer_srt", "move the srt files to the trash"},
        {'1', "DVtype1", "convert into DV type 1"},
        {'2', "DVType2", "convert into DV type 2"},
        {'N', "Ntsc", "convert into NTSC"},
        {'M', "Ntsc", "convert into NTSC"},
        {'P', "Pal", "convert into PAL"},
        {'I', "IncrusterDatecode", "inlay the datecode"},
        {'G', "ConvertirDV", "recompress into DV type 2"},
        {'W', "ExtraireAudio", "extract the sound to WAV"},
        {'S', "CreerScnFromDate", "scn file by date"},
        {'$', "CreerScnContenu", "scn file by content"},
        {'A', "Creer_srt", "subtitle file"},
        {'C', "CutScenes", "cut into one file per scene"},
        {'X', nullptr, "text list of the scenes: from the scn file, by date or by content"},
        {'V', "ScenesExcel", "spreadsheet of the scenes"},
        {'E', "DecalerHoraire", "shift the datecodes by the value in days"},
        {'Y', "CorrigerFps", "write the value as the frame rate"},
        {'K', "CorrigerCodec", "write the value (four characters) as the codec"},
        {'H', nullptr, "close when the script has ended"},
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
        return runAs("ScenesTextFromScn", RunsAs::File);
    return runAs(r.IsDV ? "ScenesTextFromDate" : "ScenesTextFromContenu", RunsAs::Graph);
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
            return runAs("DecalerHoraire", RunsAs::Graph);
        }
        case 'Y': {
            const auto v = ScriptNumber(p.Value);
            if (!v)
                return false;
            commandModule.TargetFps = *v;
            return runAs("CorrigerFps", RunsAs::File);
        }
        case 'K':
            commandModule.TargetCodec = p.Value.substr(0, 4);
            return runAs("CorrigerCodec", RunsAs::File);
        default:
            break;
    }
    for (const SwitchMeaning& s : SwitchMeanings())
        if (s.Letter == p.Letter && s.Command) {
            const Command* c = commandModule.Find(s.Command);
            return c && runAs(s.Command, c->Runs == RunsAs::File ? RunsAs::File : RunsAs::Graph);
        }
    return false;
}

}  // namespace kelvor::commands
