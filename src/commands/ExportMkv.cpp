#include "commands/ExportMkv.h"

#include <memory>
#include <set>

#include "commands/CommandModule.h"
#include "commands/CommandTexts.h"
#include "commands/ExportScenes.h"
#include "commands/RunControl.h"
#include "core/scenes/SceneList.h"
#include "media/graphs/MkvArchive.h"

namespace kelvor::commands {
namespace {

constexpr const char* kRecordedDateTag = "DATE_RECORDED";
constexpr const char* kProgressMessage = "Archiving \"%s\" into Matroska";

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string StemOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The running datecode as the subtitle file shows it: the two inlay lines, an empty one as a
// blank; consecutive frames of the same text make one cue.
std::vector<media::ArchiveCue> DatecodeCues(const ExportSceneSource& source,
                                            const settings::Preferences& prefs,
                                            const LocaleInfo& locale) {
    std::vector<media::ArchiveCue> cues;
    const auto& steps = source.Datecodes;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const std::int32_t end = i + 1 < steps.size()
                                     ? steps[i + 1].Frame
                                     : static_cast<std::int32_t>(source.FrameCount);
        if (!steps[i].DateValid || end <= steps[i].Frame)
            continue;
        const double date = steps[i].Date + prefs.TimeShift;
        std::string line1 = FormatDateTime(prefs.InlayFormat1, date, locale);
        std::string line2 = FormatDateTime(prefs.InlayFormat2, date, locale);
        const std::string text =
            (line1.empty() ? std::string(" ") : line1) + "\n" + (line2.empty() ? " " : line2);
        if (!cues.empty() && cues.back().EndFrame == steps[i].Frame && cues.back().Text == text)
            cues.back().EndFrame = end;
        else
            cues.push_back({steps[i].Frame, end, text});
    }
    return cues;
}

media::ArchiveChapter ChapterOf(const ExportScene& scene, double timeShift) {
    media::ArchiveChapter c;
    c.FirstFrame = scene.FirstFrame;
    c.EndFrame = scene.LastFrame + 1;
    c.Title = scene.Caption;
    if (scene.DateValid)
        c.Tags.emplace_back(kRecordedDateTag, RecordedDateText(scene.StartDate + timeShift));
    return c;
}

void Execute(CommandModule& module, const ExportMkvRequest& request, const files::FileRecord& f,
             ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    const CommandServices& s = module.Services();
    const settings::Preferences& prefs = s.Prefs;
    ExportSceneSource source;
    const ExportSceneSettings settings{f.Fps > 0 ? f.Fps : 25, s.Locale,
                                       prefs.DisplayDatecodeFormat};
    const auto going = [&s] {
        return !s.Control || (s.Control->GraphFile.load() && s.Control->GraphBatch.load());
    };
    if (!ReadExportScenes(s.Graphs, f.FullName,
                          f.HasScn ? scenes::ReplaceExtension(f.FullName, ".scn") : std::string(),
                          settings, source, going)) {
        result.failure = source.Error;
        result.aborted = !going();
        return;
    }
    const std::vector<media::ArchiveCue> cues = DatecodeCues(source, prefs, s.Locale);

    std::vector<media::MkvArchiveRequest> outputs;
    const std::string whole = ConversionOutputPath(f, ".mkv", prefs);
    if (!request.PerScene) {
        media::MkvArchiveRequest r;
        r.Output = whole;
        r.Title = StemOf(f.FullName);
        for (const ExportScene& scene : source.Scenes)
            r.Chapters.push_back(ChapterOf(scene, prefs.TimeShift));
        if (!source.Scenes.empty() && source.Scenes.front().DateValid)
            r.Tags.emplace_back(kRecordedDateTag, RecordedDateText(source.Scenes.front().StartDate +
                                                                   prefs.TimeShift));
        outputs.push_back(std::move(r));
    } else {
        std::set<std::string> taken;
        int k = 0;
        for (const ExportScene& scene : source.Scenes) {
            ++k;
            media::MkvArchiveRequest r;
            const std::string base =
                ExportBaseName(scene, request.NamePattern, prefs.TimeShift, s.Locale,
                               StemOf(f.FullName) + "_scene_" + std::to_string(k));
            r.Output = FreeExportPath(FolderOf(whole), base, ".mkv", taken);
            r.FirstFrame = scene.FirstFrame;
            r.EndFrame = scene.LastFrame + 1;
            r.Title = scene.Caption;
            r.Chapters.push_back(ChapterOf(scene, prefs.TimeShift));
            if (scene.DateValid)
                r.Tags.emplace_back(kRecordedDateTag,
                                    RecordedDateText(scene.StartDate + prefs.TimeShift));
            outputs.push_back(std::move(r));
        }
    }

    std::int64_t total = 0;
    for (const media::MkvArchiveRequest& r : outputs)
        total += (r.EndFrame < 0 ? source.FrameCount : r.EndFrame) - r.FirstFrame;
    const FileItem item{f.Name, std::make_shared<files::FileRecord>(f)};
    s.Host.FileStarted(item, FormatText(kProgressMessage, {f.Name}));
    std::int64_t before = 0;
    for (media::MkvArchiveRequest& r : outputs) {
        r.Source = f.FullName;
        r.Cues = cues;
        std::int64_t shown = -1;
        r.Progress = [&s, &going, &shown, before, total](std::int64_t done, std::int64_t) {
            const std::int64_t percent = total > 0 ? (before + done) * 100 / total : 100;
            if (percent != shown) {
                shown = percent;
                s.Host.Progress(percent);
            }
            return going();
        };
        media::MkvArchiveResult written;
        std::string error;
        if (!media::WriteMkvArchive(r, written, error)) {
            // A stopped run names no file: the archives already complete stay, the one being
            // written leaves nothing.
            result.aborted = !going();
            if (result.aborted) {
                result.NewFile.clear();
                result.update = ListUpdate::None;
            }
            result.failure = result.aborted ? error : r.Output + ": " + error;
            return;
        }
        before += written.Frames;
        if (result.NewFile.empty()) {
            result.NewFile = r.Output;
            result.update = ListUpdate::Add;
        }
    }
}

}  // namespace

std::string RecordedDateText(double date) {
    return FormatDateTime("yyyy-mm-dd hh:nn:ss", date);
}

Command ExportMkvCommand(CommandModule& module, const ExportMkvRequest& request) {
    Command c;
    c.Name = "ExportMkv";
    c.Caption = "Lossless Matroska archive";
    c.ProgressMessage = kProgressMessage;
    // On the graph worker, whose file flag the window's abort and the terminal's signals clear.
    c.Runs = RunsAs::Graph;
    c.Requirement = "not a DV file";
    c.AppliesTo = [](CommandParam&, const files::FileRecord& f, bool& visible, bool& enabled) {
        visible = enabled = f.IsDV;
    };
    if (!request.PerScene)
        c.Confirm = [&module](CommandParam&, const files::FileRecord& f, std::string& msg) {
            msg = ReplaceQuestion(ConversionOutputPath(f, ".mkv", module.Services().Prefs));
        };
    c.Execute = [&module, request](CommandParam&, const files::FileRecord& f,
                                   ExecutionResult& result) {
        Execute(module, request, f, result);
    };
    return c;
}

}  // namespace kelvor::commands
