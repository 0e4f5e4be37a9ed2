#include "commands/ScenesByDate.h"

#include "commands/Tch.h"

namespace kelvor::commands {

tFileAction ScenesByDateCommand(Tch& module, const ScenesByDateRequest& request) {
    tFileAction c;
    c.Name = "ScenesByDate";
    c.Caption = "Scenes by date";
    c.MonoMessage = "Finding the scenes of \"%s\" by date";
    c.Runs = RunsAs::Graph;
    c.Requirement = "not a DV file";
    c.OnFileCondition = [](TParam&, const files::TAfficherFichier& f, bool& visible,
                           bool& enabled) { visible = enabled = f.IsDV; };
    c.OnExecution = [&module, request](TParam&, const files::TAfficherFichier& f,
                                       TExecutionResult& result) {
        module.DetectByDate(f,
                            {.Scn = true,
                             .Text = request.Text,
                             .Spreadsheet = request.Spreadsheet,
                             .Subtitles = request.Subtitles},
                            result);
    };
    return c;
}

}  // namespace kelvor::commands
