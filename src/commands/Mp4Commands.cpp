// The MP4 export command: the file's scenes (scn, else by date), their names from the export's
// date pattern, and the export itself, run on the graph worker's thread with progress and stop.
#include <algorithm>
#include <filesystem>
#include <set>

#include "commands/CommandModule.h"
#include "commands/CommandTexts.h"
#include "commands/ExportScenes.h"
#include "commands/InlaySettings.h"
#include "commands/RunControl.h"
#include "core/scenes/SceneList.h"
#include "media/export/Mp4Export.h"

namespace kelvor::commands {

void CommandModule::exportMp4AppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                       bool& enabled) {
    visible = true;
    enabled = f.IsDV;
}

std::string CommandModule::Mp4Pattern() const {
    return Mp4.NamePattern.empty() ? s_.Prefs.Export.Mp4NameFormat : Mp4.NamePattern;
}

std::vector<std::string> CommandModule::PlanMp4Outputs(
    const files::FileRecord& f, const std::vector<ExportScene>& scenes) const {
    // The folder of the conversions' rule: beside the video, or the save folder.
    const std::string sample = OutputPath(f, ".mp4");
    const std::size_t slash = sample.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : sample.substr(0, slash + 1);
    const std::string fallback = std::filesystem::path(f.FullName).stem().string();
    std::set<std::string> taken;
    std::vector<std::string> paths;
    if (Mp4.Whole) {
        const ExportScene first = scenes.empty() ? ExportScene{} : scenes.front();
        paths.push_back(FreeExportPath(
            folder, ExportBaseName(first, Mp4Pattern(), 0, s_.Locale, fallback), ".mp4", taken));
        return paths;
    }
    for (std::size_t i = 0; i < scenes.size(); ++i)
        paths.push_back(FreeExportPath(folder,
                                       ExportBaseName(scenes[i], Mp4Pattern(), 0, s_.Locale,
                                                      fallback + "_scene_" + std::to_string(i + 1)),
                                       ".mp4", taken));
    return paths;
}

void CommandModule::exportMp4Execute(CommandParam&, const files::FileRecord& f,
                                     ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    ExportSceneSettings settings;
    settings.FrameRate = f.Fps > 0 ? f.Fps : 25;
    settings.Locale = s_.Locale;
    settings.DisplayFormat = s_.Prefs.DisplayDatecodeFormat;
    ExportSceneSource source;
    const std::string scn = scenes::ReplaceExtension(f.FullName, ".scn");
    const auto going = [this] {
        return !s_.Control || (s_.Control->GraphFile.load() && s_.Control->GraphBatch.load());
    };
    if (!ReadExportScenes(s_.Graphs, f.FullName, std::filesystem::exists(scn) ? scn : "", settings,
                          source, going)) {
        result.failure = source.Error.empty() ? "the scenes cannot be read" : source.Error;
        result.aborted = !going();
        return;
    }
    if (source.Scenes.empty()) {
        result.failure = "the video has no scene";
        return;
    }
    const std::vector<std::string> outputs = PlanMp4Outputs(f, source.Scenes);

    media::Mp4Job job;
    job.Source = f.FullName;
    job.Whole = Mp4.Whole;
    if (Mp4.Whole)
        job.WholeOutput = outputs.front();
    for (std::size_t i = 0; i < source.Scenes.size(); ++i) {
        const ExportScene& s = source.Scenes[i];
        media::Mp4Scene scene;
        scene.FirstFrame = s.FirstFrame;
        scene.LastFrame = s.LastFrame;
        scene.Caption = s.Caption;
        scene.Recorded = s.DateValid ? s.StartDate : 0;
        if (!Mp4.Whole)
            scene.Output = outputs[i];
        job.Scenes.push_back(std::move(scene));
    }
    media::Mp4Settings encoding;
    encoding.Crf = Mp4.Crf >= 0 ? Mp4.Crf : s_.Prefs.Export.Mp4Quality;
    encoding.Preset = Mp4.Preset.empty() ? s_.Prefs.Export.Mp4Preset : Mp4.Preset;
    encoding.DoubleRate = Mp4.DoubleRate;
    encoding.TimeZone = Mp4.TimeZone;
    encoding.Locale = s_.Locale;
    encoding.InlaySeconds =
        Mp4.InlaySeconds >= 0 ? Mp4.InlaySeconds : std::max(0, s_.Prefs.Export.Mp4InlaySeconds);
    encoding.InlayBorder = s_.Prefs.BorderSize;
    // The burnt date looks as the inlay conversion draws it; the export sets its length.
    encoding.ConfigureInlay = [this, fps = settings.FrameRate](media::InlayFilter& inlay) {
        ConfigureInlay(inlay, s_.Prefs, fps);
    };

    std::int64_t shown = -1;
    media::Mp4Exporter exporter;
    const bool ok = exporter.Run(job, encoding, [&](std::int64_t done, std::int64_t total) {
        const std::int64_t percent = total > 0 ? 100 * done / total : 0;
        if (percent != shown) {
            shown = percent;
            s_.Host.Progress(percent);
        }
        return going();
    });
    if (!exporter.Written().empty())
        result.NewFile = exporter.Written().front();
    if (!ok) {
        result.failure = exporter.Error();
        // The scenes finished before the stop stay complete; none is named as a partial file.
        result.aborted = !going();
        if (result.aborted)
            result.NewFile.clear();
    }
}

}  // namespace kelvor::commands
