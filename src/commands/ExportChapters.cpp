#include "commands/ExportChapters.h"

#include "commands/CommandModule.h"
#include "commands/CommandTexts.h"
#include "commands/ExportMkv.h"
#include "commands/ExportScenes.h"
#include "core/files/OutputFile.h"
#include "core/scenes/SceneList.h"

namespace kelvor::commands {
namespace {

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string StemOf(const std::string& path) {
    const std::string name = NameOf(path);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

Command ExportChaptersCommand(CommandModule& module, scenes::ChapterFormat format) {
    Command c;
    c.Name = "ExportChapters";
    c.Caption = "Chapter file of the scenes";
    c.Runs = RunsAs::File;
    c.Requirement = "not a DV file";
    c.AppliesTo = [](CommandParam&, const files::FileRecord& f, bool& visible, bool& enabled) {
        visible = enabled = f.IsDV;
    };
    const std::string suffix(scenes::ChapterFileSuffix(format));
    c.Confirm = [&module, suffix](CommandParam&, const files::FileRecord& f, std::string& msg) {
        msg = ReplaceQuestion(ConversionOutputPath(f, suffix, module.Services().Prefs));
    };
    c.Execute = [&module, format, suffix](CommandParam&, const files::FileRecord& f,
                                          ExecutionResult& result) {
        result.NewFile.clear();
        result.update = ListUpdate::None;
        const CommandServices& s = module.Services();
        ExportSceneSource source;
        const ExportSceneSettings settings{f.Fps > 0 ? f.Fps : 25, s.Locale,
                                           s.Prefs.DisplayDatecodeFormat};
        if (!ReadExportScenes(
                s.Graphs, f.FullName,
                f.HasScn ? scenes::ReplaceExtension(f.FullName, ".scn") : std::string(), settings,
                source)) {
            result.failure = source.Error;
            return;
        }
        scenes::ChapterDocument document;
        document.Title = StemOf(f.FullName);
        document.Source = NameOf(f.FullName);
        document.Rate = scenes::FrameRateOf(settings.FrameRate);
        for (const ExportScene& scene : source.Scenes)
            document.Chapters.push_back({scene.FirstFrame, scene.LastFrame + 1, scene.Caption,
                                         scene.DateValid
                                             ? RecordedDateText(scene.StartDate + s.Prefs.TimeShift)
                                             : std::string()});
        const std::string path = ConversionOutputPath(f, suffix, s.Prefs);
        files::OutputFile out(path, f.FullName);
        out.Write(scenes::WriteChapterFile(format, document));
        if (!out.Commit()) {
            result.failure = out.Error().empty() ? "the file cannot be written" : out.Error();
            return;
        }
        // A chapter file is no video for the list: it is only named.
        result.NewFile = path;
    };
    return c;
}

}  // namespace kelvor::commands
