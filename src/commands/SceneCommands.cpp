// The scene commands: scene lists, exports and subtitles by date and by content through the
// detection graphs, the exports of an existing scn file, the removal of the scn and srt files,
// and the cut of a video into one file per scene.
#include "commands/CommandModule.h"
#include "commands/CommandTexts.h"
#include "core/scenes/DetectionSinks.h"
#include "core/scenes/ScnConversions.h"
#include "core/shell/DesktopServices.h"
#include "media/filters/ContentDetectorFilter.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/graphs/ConversionGraphs.h"

namespace kelvor::commands {
namespace {

std::string Companion(const files::FileRecord& f, std::string_view ext) {
    return scenes::ReplaceExtension(f.FullName, ext);
}

scenes::SubtitleSettings SubtitlesFrom(const settings::Preferences& prefs) {
    scenes::SubtitleSettings s;
    s.DisplayKind = prefs.InlayWhat;
    s.AutoMode = prefs.InlayAuto != 0;
    s.Trigger = prefs.InlayWhen;
    s.DisplaySeconds = prefs.InlayDuration;
    s.DateFormat1 = prefs.InlayFormat1;
    s.DateFormat2 = prefs.InlayFormat2;
    s.TimeShift = prefs.TimeShift;
    return s;
}

}  // namespace

void CommandModule::dvAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                bool& enabled) {
    visible = enabled = f.IsDV;
}

void CommandModule::videoAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                   bool& enabled) {
    visible = enabled = f.ImageText != "N/A";
}

void CommandModule::scnAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                 bool& enabled) {
    visible = enabled = f.HasScn;
}

void CommandModule::srtAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                 bool& enabled) {
    visible = enabled = f.HasSrt;
}

void CommandModule::sceneExportAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                         bool& enabled) {
    visible = enabled = f.HasScn || f.ImageText != "N/A" || f.IsDV;
}

void CommandModule::cutScenesAppliesTo(CommandParam&, const files::FileRecord& f, bool& visible,
                                       bool& enabled) {
    visible = enabled = f.IsDV && f.HasScn;
}

void CommandModule::scnReplaceConfirm(CommandParam&, const files::FileRecord& f, std::string& msg) {
    msg = ReplaceQuestion(
        Companion(f, ".scn"),
        Translate("kelvor::commands", "Do you want to replace the existing scn-file ?"));
}

void CommandModule::srtReplaceConfirm(CommandParam&, const files::FileRecord& f, std::string& msg) {
    msg = ReplaceQuestion(Companion(f, ".srt"));
}

void CommandModule::textReplaceConfirm(CommandParam&, const files::FileRecord& f,
                                       std::string& msg) {
    msg = ReplaceQuestion(Companion(f, "_scn.txt"));
}

void CommandModule::spreadsheetReplaceConfirm(CommandParam&, const files::FileRecord& f,
                                              std::string& msg) {
    msg = ReplaceQuestion(Companion(f, ".xlsx"));
}

void CommandModule::deleteScnConfirm(CommandParam&, const files::FileRecord& f, std::string& msg) {
    msg = FirstFitting(
        {FormatText(Translate("kelvor::commands",
                              "Do you really want to move the file %s to the recycle bin?"),
                    {Companion(f, ".scn")}),
         Translate("kelvor::commands",
                   "Do you really want to move this scn-file to the recycle bin?")});
}

void CommandModule::deleteSrtConfirm(CommandParam&, const files::FileRecord& f, std::string& msg) {
    msg = FirstFitting(
        {FormatText(Translate("kelvor::commands",
                              "Do you really want to move the file %s to the recycle bin?"),
                    {Companion(f, ".srt")}),
         Translate("kelvor::commands",
                   "Do you really want to move this srt-file to the recycle bin?")});
}

void CommandModule::cutScenesConfirm(CommandParam&, const files::FileRecord& f, std::string& msg) {
    msg = ReplaceQuestion(SceneOutputPath(f, CutSceneIndex));
}

void CommandModule::DetectByDate(const files::FileRecord& video, const DateSinks& want,
                                 ExecutionResult& result) {
    // The video is kept: the list re-reads its record to show the new companions.
    result.update = ListUpdate::Modify;
    result.NewFile = video.FullName;
    media::ConversionGraphs& graphs = s_.Graphs;
    GraphRun run;
    run.Update = ListUpdate::Modify;
    run.NewPath = video.FullName;
    run.Build = [&] {
        return want.Scn || want.Text || want.Spreadsheet
                   ? graphs.BuildDateScenesGraph(video.FullName)
                   : graphs.BuildSrtGraph(video.FullName);
    };
    // The writers open only once the graph is built and has a length, so a file that cannot be
    // read leaves an existing output untouched.
    run.Prepare = [&graphs, &video, want, this] {
        scenes::SinkSettings settings;
        settings.Export.FrameRate = video.Fps;
        settings.Export.Locale = s_.Locale;
        settings.DisplayFormat = s_.Prefs.DisplayDatecodeFormat;
        scenes::DetectionSinks& sinks = graphs.Sinks();
        sinks.SetSettings(settings);
        scenes::DateSceneDetector& d = graphs.DateDetector().Detector();
        d.SetLocale(s_.Locale);
        if (want.Subtitles)
            sinks.ConnectSubtitles(d, video.FullName, SubtitlesFrom(s_.Prefs));
        if (want.Scn)
            sinks.OpenScnByDate(video.FullName, s_.Prefs.ScnType);
        if (want.Text)
            sinks.OpenTextByDate(video.FullName);
        if (want.Spreadsheet)
            sinks.OpenSpreadsheetByDate(video.FullName);
        d.OnSceneEnd = [&sinks, want](const scenes::FrameInfo& s, const scenes::FrameInfo& c) {
            if (want.Scn)
                sinks.ScnSceneEnd(s, c);
            if (want.Text)
                sinks.TextSceneEnd(s, c);
            if (want.Spreadsheet)
                sinks.SpreadsheetSceneEnd(s, c);
        };
        // The stream end comes when the worker stops the graph; a writer that could not finish
        // its file makes the file fail.
        d.OnStreamEnd = [&sinks, &graphs, &d, want] {
            // A run that failed (the graph could not start or could not read the file) keeps
            // the files it would have replaced as they were.
            if (!graphs.RunFailure().empty()) {
                sinks.DiscardAll();
                return;
            }
            bool closed = true;
            if (want.Scn)
                closed = sinks.CloseScn() && closed;
            if (want.Text)
                closed = sinks.CloseTextByDate() && closed;
            if (want.Spreadsheet)
                closed = sinks.CloseSpreadsheetByDate() && closed;
            if (want.Subtitles)
                closed = sinks.CloseSubtitles() && closed;
            if (!d.SinkError().empty())
                graphs.NoteRunFailure(
                    Translate("kelvor::commands", "a scene file could not be written: ") +
                    d.SinkError());
            else if (!closed)
                graphs.NoteRunFailure(
                    sinks.Error().empty()
                        ? Translate("kelvor::commands", "a scene file could not be written")
                        : sinks.Error());
        };
    };
    GraphCommandRun(result, run);
}

void CommandModule::DetectByContent(const files::FileRecord& video, ContentSink sink,
                                    ExecutionResult& result) {
    result.update = ListUpdate::Modify;
    result.NewFile = video.FullName;
    media::ConversionGraphs& graphs = s_.Graphs;
    GraphRun run;
    run.Update = ListUpdate::Modify;
    run.NewPath = video.FullName;
    run.Build = [&] { return graphs.BuildContentScenesGraph(video.FullName); };
    // As by date: the writer opens only once the graph is built and has a length.
    run.Prepare = [&graphs, &video, sink, this] {
        scenes::SinkSettings settings;
        settings.Export.FrameRate = video.Fps;
        settings.Export.Locale = s_.Locale;
        settings.DisplayFormat = s_.Prefs.DisplayDatecodeFormat;
        scenes::DetectionSinks& sinks = graphs.Sinks();
        sinks.SetSettings(settings);
        media::ContentDetectorFilter& d = graphs.ContentDetector();
        switch (sink) {
            case ContentSink::Scn:
                sinks.OpenScnByContent(video.FullName);
                d.OnSceneEnd = [&sinks](std::int32_t f) { sinks.ContentScnSceneEnd(f); };
                break;
            case ContentSink::Text:
                sinks.OpenTextByContent(video.FullName);
                d.OnSceneEnd = [&sinks](std::int32_t f) { sinks.ContentTextSceneEnd(f); };
                break;
            case ContentSink::Spreadsheet:
                sinks.OpenSpreadsheetByContent(video.FullName);
                d.OnSceneEnd = [&sinks](std::int32_t f) { sinks.ContentSpreadsheetSceneEnd(f); };
                break;
        }
        // The stream end comes when the worker stops the graph, after the last scene end.
        d.OnStreamEnd = [&sinks, &graphs, sink] {
            if (!graphs.RunFailure().empty()) {
                sinks.DiscardAll();
                return;
            }
            const bool closed = sink == ContentSink::Scn    ? sinks.CloseScn()
                                : sink == ContentSink::Text ? sinks.CloseTextByContent()
                                                            : sinks.CloseSpreadsheetByContent();
            if (!closed)
                graphs.NoteRunFailure(
                    sinks.Error().empty()
                        ? Translate("kelvor::commands", "a scene file could not be written")
                        : sinks.Error());
        };
    };
    GraphCommandRun(result, run);
}

void CommandModule::scenesByContentExecute(CommandParam&, const files::FileRecord& f,
                                           ExecutionResult& result) {
    DetectByContent(f, ContentSink::Scn, result);
}

void CommandModule::exportTextByContentExecute(CommandParam&, const files::FileRecord& f,
                                               ExecutionResult& result) {
    DetectByContent(f, ContentSink::Text, result);
}

void CommandModule::exportXlsxByContentExecute(CommandParam&, const files::FileRecord& f,
                                               ExecutionResult& result) {
    DetectByContent(f, ContentSink::Spreadsheet, result);
}

void CommandModule::cutScenesExecute(CommandParam&, const files::FileRecord& f,
                                     ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    if (CutSceneIndex < 0 || static_cast<std::size_t>(CutSceneIndex) >= CutSceneList.size()) {
        result.failure = Translate("kelvor::commands", "no such scene in the scn file");
        return;
    }
    const scenes::SceneRange scene = CutSceneList[static_cast<std::size_t>(CutSceneIndex)].Scene;
    media::ConversionGraphs& graphs = s_.Graphs;
    GraphRun run;
    run.NewPath = SceneOutputPath(f, CutSceneIndex);
    run.Update = ListUpdate::Add;
    const bool type2 = f.DVType == 2;
    run.Build = [&] {
        return type2 ? graphs.BuildCutSceneGraphType2(f.FullName, run.NewPath)
                     : graphs.BuildCutSceneGraphType1(f.FullName, run.NewPath);
    };
    // The scene's frames as times of the processed file's own rate; the graph streams from the
    // start to just before the end.
    run.Duration = [&]() -> std::int64_t {
        media::ConversionProgress& progress = graphs.Progress();
        const std::int64_t fd = FrameDuration(f);
        const std::int64_t start = static_cast<std::int64_t>(scene.StartFrame) * fd;
        const std::int64_t stop = static_cast<std::int64_t>(scene.EndFrame) * fd - 1;
        progress.ProgressSeeking = &graphs.GraphSeeking();
        progress.ProgressStart = start;
        if (!progress.ProgressSeeking->SetPositions(start, stop))
            return 0;
        return (static_cast<std::int64_t>(scene.EndFrame) - scene.StartFrame) * fd;
    };
    GraphCommandRun(result, run);
}

void CommandModule::scenesByDateExecute(CommandParam&, const files::FileRecord& f,
                                        ExecutionResult& result) {
    DetectByDate(f, {.Scn = true}, result);
}

void CommandModule::makeSrtExecute(CommandParam&, const files::FileRecord& f,
                                   ExecutionResult& result) {
    DetectByDate(f, {.Subtitles = true}, result);
}

void CommandModule::exportTextByDateExecute(CommandParam&, const files::FileRecord& f,
                                            ExecutionResult& result) {
    DetectByDate(f, {.Text = true}, result);
}

void CommandModule::exportXlsxByDateExecute(CommandParam&, const files::FileRecord& f,
                                            ExecutionResult& result) {
    DetectByDate(f, {.Spreadsheet = true}, result);
}

void CommandModule::exportTextFromScnExecute(CommandParam&, const files::FileRecord& f,
                                             ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    const scenes::ExportContext context{f.Fps, s_.Locale, {}};
    if (!scenes::ScnToText(Companion(f, ".scn"), context))
        result.failure = Translate(
            "kelvor::commands", "the scn file cannot be read, or the text list cannot be written");
}

void CommandModule::exportXlsxFromScnExecute(CommandParam&, const files::FileRecord& f,
                                             ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    const scenes::ExportContext context{f.Fps, s_.Locale, {}};
    if (!scenes::ScnToSpreadsheet(Companion(f, ".scn"), Companion(f, ".xlsx"), context))
        result.failure =
            Translate("kelvor::commands",
                      "the scn file cannot be read, or the spreadsheet cannot be written");
}

void CommandModule::exportTextExecute(CommandParam& p, const files::FileRecord& f,
                                      ExecutionResult& result) {
    Command& chosen =
        f.HasScn ? ExportTextFromScn : (f.IsDV ? ExportTextByDate : ExportTextByContent);
    chosen.Execute(p, f, result);
}

void CommandModule::exportXlsxExecute(CommandParam& p, const files::FileRecord& f,
                                      ExecutionResult& result) {
    Command& chosen =
        f.HasScn ? ExportXlsxFromScn : (f.IsDV ? ExportXlsxByDate : ExportXlsxByContent);
    chosen.Execute(p, f, result);
}

void CommandModule::deleteScnExecute(CommandParam&, const files::FileRecord& f,
                                     ExecutionResult& result) {
    result.NewFile = f.FullName;
    result.update = ListUpdate::Modify;
    if (!s_.Desktop.RecycleFile(Companion(f, ".scn")))
        result.failure = Translate("kelvor::commands", "the scn file cannot be moved to the trash");
}

void CommandModule::deleteSrtExecute(CommandParam&, const files::FileRecord& f,
                                     ExecutionResult& result) {
    result.NewFile.clear();
    result.update = ListUpdate::None;
    if (!s_.Desktop.RecycleFile(Companion(f, ".srt"))) {
        result.failure = Translate("kelvor::commands", "the srt file cannot be moved to the trash");
        return;
    }
    result.NewFile = f.FullName;
    result.update = ListUpdate::Modify;
}

}  // namespace kelvor::commands
