#include "commands/ScenesByDate.h"

#include "commands/CommandModule.h"
#include "commands/CommandTexts.h"

namespace kelvor::commands {

Command ScenesByDateCommand(CommandModule& module, const ScenesByDateRequest& request) {
    Command c;
    c.Name = "ScenesByDate";
    c.Caption = "Scenes by date";
    c.ProgressMessage = Translate("kelvor::commands", "Finding the scenes of \"%s\" by date");
    c.Runs = RunsAs::Graph;
    c.Requirement = "not a DV file";
    c.AppliesTo = [](CommandParam&, const files::FileRecord& f, bool& visible, bool& enabled) {
        visible = enabled = f.IsDV;
    };
    c.Execute = [&module, request](CommandParam&, const files::FileRecord& f,
                                   ExecutionResult& result) {
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
