// The scene commands: scene lists, exports and subtitles by date and by content through the
// detection graphs, the exports of an existing scn file, the removal of the scn and srt files,
// and the cut of a video into one file per scene.
#include "commands/CommandTexts.h"
#include "commands/Tch.h"
#include "core/scenes/DetectionSinks.h"
#include "core/scenes/ScnConversions.h"
#include "core/shell/DesktopServices.h"
#include "media/filters/TSceneDetectContenu.h"
#include "media/filters/Tdv_sceneDetect.h"
#include "media/graphs/TCdm.h"

namespace kelvor::commands {
namespace {

std::string Companion(const files::TAfficherFichier& f, std::string_view ext) {
    return scenes::ReplaceExtension(f.FullName, ext);
}

scenes::SubtitleSettings SubtitlesFrom(const settings::Preferences& prefs) {
    scenes::SubtitleSettings s;
    s.DisplayKind = prefs.WhatIncrust;
    s.AutoMode = prefs.AutoIncrust != 0;
    s.Trigger = prefs.WhenIncrust;
    s.DisplaySeconds = prefs.DureeIncrustation;
    s.DateFormat1 = prefs.FormatPourIncrusterDatecode1;
    s.DateFormat2 = prefs.FormatPourIncrusterDatecode2;
    s.TimeShift = prefs.DecalageHoraire;
    return s;
}

}  // namespace

void Tch::DVFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible, bool& enabled) {
    visible = enabled = f.IsDV;
}

void Tch::VideoFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                             bool& enabled) {
    visible = enabled = f.ImageText != "N/A";
}

void Tch::ScnFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                           bool& enabled) {
    visible = enabled = f.HasScn;
}

void Tch::SrtFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                           bool& enabled) {
    visible = enabled = f.HasSrt;
}

void Tch::ScenesExportFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                                    bool& enabled) {
    visible = enabled = f.HasScn || f.ImageText != "N/A" || f.IsDV;
}

void Tch::CutScenesFileCondition(TParam&, const files::TAfficherFichier& f, bool& visible,
                                 bool& enabled) {
    visible = enabled = f.IsDV && f.HasScn;
}

void Tch::ScnReplaceConfirmation(TParam&, const files::TAfficherFichier& f, std::string& msg) {
    msg = ReplaceQuestion(Companion(f, ".scn"), "Do you want to replace the existing scn-file ?");
}

void Tch::SrtReplaceConfirmation(TParam&, const files::TAfficherFichier& f, std::string& msg) {
    msg = ReplaceQuestion(Companion(f, ".srt"));
}

void Tch::TextReplaceConfirmation(TParam&, const files::TAfficherFichier& f, std::string& msg) {
    msg = ReplaceQuestion(Companion(f, "_scn.txt"));
}

void Tch::SpreadsheetReplaceConfirmation(TParam&, const files::TAfficherFichier& f,
                                         std::string& msg) {
    msg = ReplaceQuestion(Companion(f, ".xlsx"));
}

void Tch::SupprimerScnConfirmation(TParam&, const files::TAfficherFichier& f, std::string& msg) {
    msg = FirstFitting({FormatText("Do you really want to move the file %s to the recycle bin?",
                                   {Companion(f, ".scn")}),
                        "Do you really want to move this scn-file to the recycle bin?"});
}

void Tch::Supprimer_srtConfirmation(TParam&, const files::TAfficherFichier& f, std::string& msg) {
    msg = FirstFitting({FormatText("Do you really want to move the file %s to the recycle bin?",
                                   {Companion(f, ".srt")}),
                        "Do you really want to move this srt-file to the recycle bin?"});
}

void Tch::CutScenesConfirmation(TParam&, const files::TAfficherFichier& f, std::string& msg) {
    msg = ReplaceQuestion(SceneOutputPath(f, CutSceneIndex));
}

void Tch::DetectByDate(const files::TAfficherFichier& video, const DateSinks& want,
                       TExecutionResult& result) {
    // The video is kept: the list re-reads its record to show the new companions.
    result.update = utModify;
    result.newfichier = video.FullName;
    media::TCdm& cdm = s_.Cdm;
    GraphRun run;
    run.Update = utModify;
    run.NewPath = video.FullName;
    run.Build = [&] {
        return want.Scn || want.Text || want.Spreadsheet ? cdm.BuildSceneDateGraph(video.FullName)
                                                         : cdm.BuildSrtGraph(video.FullName);
    };
    // The writers open only once the graph is built and has a length, so a file that cannot be
    // read leaves an existing output untouched.
    run.Prepare = [&cdm, &video, want, this] {
        scenes::SinkSettings settings;
        settings.Export.FrameRate = video.Fps;
        settings.Export.Locale = s_.Locale;
        settings.DisplayFormat = s_.Prefs.FormatPourAfficherDatecode;
        scenes::DetectionSinks& sinks = cdm.Sinks();
        sinks.SetSettings(settings);
        scenes::DateSceneDetector& d = cdm.SceneDetect().Detector();
        d.SetLocale(s_.Locale);
        if (want.Subtitles)
            sinks.ConnectSubtitles(d, video.FullName, SubtitlesFrom(s_.Prefs));
        if (want.Scn)
            sinks.OpenScnByDate(video.FullName, s_.Prefs.TypeScn);
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
        d.OnStreamEnd = [&sinks, &cdm, &d, want] {
            // A run that failed (the graph could not start or could not read the file) keeps
            // the files it would have replaced as they were.
            if (!cdm.RunFailure().empty()) {
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
                cdm.NoteRunFailure("a scene file could not be written: " + d.SinkError());
            else if (!closed)
                cdm.NoteRunFailure(sinks.Error().empty() ? "a scene file could not be written"
                                                         : sinks.Error());
        };
    };
    GraphCommandRun(result, run);
}

void Tch::DetectByContent(const files::TAfficherFichier& video, ContentSink sink,
                          TExecutionResult& result) {
    result.update = utModify;
    result.newfichier = video.FullName;
    media::TCdm& cdm = s_.Cdm;
    GraphRun run;
    run.Update = utModify;
    run.NewPath = video.FullName;
    run.Build = [&] { return cdm.BuildSceneContenuGraph(video.FullName); };
    // As by date: the writer opens only once the graph is built and has a length.
    run.Prepare = [&cdm, &video, sink, this] {
        scenes::SinkSettings settings;
        settings.Export.FrameRate = video.Fps;
        settings.Export.Locale = s_.Locale;
        settings.DisplayFormat = s_.Prefs.FormatPourAfficherDatecode;
        scenes::DetectionSinks& sinks = cdm.Sinks();
        sinks.SetSettings(settings);
        media::TSceneDetectContenu& d = cdm.SceneDetectContenu();
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
        d.OnStreamEnd = [&sinks, &cdm, sink] {
            if (!cdm.RunFailure().empty()) {
                sinks.DiscardAll();
                return;
            }
            const bool closed = sink == ContentSink::Scn    ? sinks.CloseScn()
                                : sink == ContentSink::Text ? sinks.CloseTextByContent()
                                                            : sinks.CloseSpreadsheetByContent();
            if (!closed)
                cdm.NoteRunFailure(sinks.Error().empty() ? "a scene file could not be written"
                                                         : sinks.Error());
        };
    };
    GraphCommandRun(result, run);
}

void Tch::CreerScnContenuExecution(TParam&, const files::TAfficherFichier& f,
                                   TExecutionResult& result) {
    DetectByContent(f, ContentSink::Scn, result);
}

void Tch::ScenesTextFromContenuExecution(TParam&, const files::TAfficherFichier& f,
                                         TExecutionResult& result) {
    DetectByContent(f, ContentSink::Text, result);
}

void Tch::ScenesExcelFromContenuExecution(TParam&, const files::TAfficherFichier& f,
                                          TExecutionResult& result) {
    DetectByContent(f, ContentSink::Spreadsheet, result);
}

void Tch::CutScenesExecution(TParam&, const files::TAfficherFichier& f, TExecutionResult& result) {
    result.newfichier.clear();
    result.update = utNone;
    if (CutSceneIndex < 0 || static_cast<std::size_t>(CutSceneIndex) >= CutSceneList.size()) {
        result.failure = "no such scene in the scn file";
        return;
    }
    const scenes::TSceneClass scene = CutSceneList[static_cast<std::size_t>(CutSceneIndex)].Scene;
    media::TCdm& cdm = s_.Cdm;
    GraphRun run;
    run.NewPath = SceneOutputPath(f, CutSceneIndex);
    run.Update = utAdd;
    const bool type2 = f.DVType == 2;
    run.Build = [&] {
        return type2 ? cdm.BuildCutSceneGraphType2(f.FullName, run.NewPath)
                     : cdm.BuildCutSceneGraphType1(f.FullName, run.NewPath);
    };
    // The scene's frames as times of the processed file's own rate; the graph streams from the
    // start to just before the end.
    run.Duration = [&]() -> std::int64_t {
        media::ConversionProgress& progress = cdm.Progress();
        const std::int64_t fd = FrameDuration(f);
        const std::int64_t start = static_cast<std::int64_t>(scene.StartFrame) * fd;
        const std::int64_t stop = static_cast<std::int64_t>(scene.EndFrame) * fd - 1;
        progress.ProgressSeeking = &cdm.GraphSeeking();
        progress.ProgressStart = start;
        if (!progress.ProgressSeeking->SetPositions(start, stop))
            return 0;
        return (static_cast<std::int64_t>(scene.EndFrame) - scene.StartFrame) * fd;
    };
    GraphCommandRun(result, run);
}

void Tch::CreerScnFromDateExecution(TParam&, const files::TAfficherFichier& f,
                                    TExecutionResult& result) {
    DetectByDate(f, {.Scn = true}, result);
}

void Tch::Creer_srtExecution(TParam&, const files::TAfficherFichier& f, TExecutionResult& result) {
    DetectByDate(f, {.Subtitles = true}, result);
}

void Tch::ScenesTextFromDateExecution(TParam&, const files::TAfficherFichier& f,
                                      TExecutionResult& result) {
    DetectByDate(f, {.Text = true}, result);
}

void Tch::ScenesExcelfromDateExecution(TParam&, const files::TAfficherFichier& f,
                                       TExecutionResult& result) {
    DetectByDate(f, {.Spreadsheet = true}, result);
}

void Tch::ScenesTextFromScnExecution(TParam&, const files::TAfficherFichier& f,
                                     TExecutionResult& result) {
    result.newfichier.clear();
    result.update = utNone;
    const scenes::ExportContext context{f.Fps, s_.Locale, {}};
    if (!scenes::ScnToText(Companion(f, ".scn"), context))
        result.failure = "the scn file cannot be read, or the text list cannot be written";
}

void Tch::ScenesExcelFromScnExecution(TParam&, const files::TAfficherFichier& f,
                                      TExecutionResult& result) {
    result.newfichier.clear();
    result.update = utNone;
    const scenes::ExportContext context{f.Fps, s_.Locale, {}};
    if (!scenes::ScnToSpreadsheet(Companion(f, ".scn"), Companion(f, ".xlsx"), context))
        result.failure = "the scn file cannot be read, or the spreadsheet cannot be written";
}

void Tch::ScenesTextExecution(TParam& p, const files::TAfficherFichier& f,
                              TExecutionResult& result) {
    tFileAction& chosen =
        f.HasScn ? ScenesTextFromScn : (f.IsDV ? ScenesTextFromDate : ScenesTextFromContenu);
    chosen.OnExecution(p, f, result);
}

void Tch::ScenesExcelExecution(TParam& p, const files::TAfficherFichier& f,
                               TExecutionResult& result) {
    tFileAction& chosen =
        f.HasScn ? ScenesExcelFromScn : (f.IsDV ? ScenesExcelfromDate : ScenesExcelFromContenu);
    chosen.OnExecution(p, f, result);
}

void Tch::SupprimerScnExecution(TParam&, const files::TAfficherFichier& f,
                                TExecutionResult& result) {
    result.newfichier = f.FullName;
    result.update = utModify;
    if (!s_.Desktop.RecycleFile(Companion(f, ".scn")))
        result.failure = "the scn file cannot be moved to the trash";
}

void Tch::Supprimer_srtExecution(TParam&, const files::TAfficherFichier& f,
                                 TExecutionResult& result) {
    result.newfichier.clear();
    result.update = utNone;
    if (!s_.Desktop.RecycleFile(Companion(f, ".srt"))) {
        result.failure = "the srt file cannot be moved to the trash";
        return;
    }
    result.newfichier = f.FullName;
    result.update = utModify;
}

}  // namespace kelvor::commands
