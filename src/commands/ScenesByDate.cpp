#include "commands/ScenesByDate.h"

#include "core/scenes/DetectionSinks.h"
#include "media/filters/Tdv_sceneDetect.h"
#include "media/graphs/SceneGraphs.h"

namespace kelvor::commands {
namespace {

RunOutcome failed(CommandHost& host, const std::string& file, std::string reason) {
    host.FileFailed(file, reason);
    return RunOutcome{false, false, std::move(reason)};
}

scenes::SubtitleSettings subtitleSettings(const settings::Preferences& prefs) {
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

RunOutcome DetectScenesByDate(const files::TaviFichier& record, const ScenesByDateRequest& request,
                              ScenesByDateContext& context, CommandHost& host) {
    const std::string& file = record.FullName;
    if (!record.Exists)
        return failed(host, file, "the file is not found");
    if (!record.IsDV)
        return failed(host, file, "not a DV file");
    media::SceneDateGraph graph(context.Detector);
    if (!graph.BuildSceneDateGraph(file))
        return failed(host, file, graph.ErrorText());

    const settings::Preferences& prefs = context.Prefs;
    scenes::SinkSettings sinkSettings;
    sinkSettings.Export.FrameRate = record.Fps;
    sinkSettings.Export.Locale = context.Locale;
    sinkSettings.DisplayFormat = prefs.FormatPourAfficherDatecode;
    scenes::DetectionSinks sinks(sinkSettings);
    scenes::DateSceneDetector& d = context.Detector->Detector();
    d.SetLocale(context.Locale);
    if (request.Subtitles)
        sinks.ConnectSubtitles(d, file, subtitleSettings(prefs));
    sinks.OpenScnByDate(file, prefs.TypeScn);
    if (request.Text)
        sinks.OpenTextByDate(file);
    if (request.Spreadsheet)
        sinks.OpenSpreadsheetByDate(file);
    // Written on the streaming thread by the stream end, read here after the graph stopped.
    bool closed = true;
    d.OnSceneEnd = [&](const scenes::FrameInfo& s, const scenes::FrameInfo& c) {
        sinks.ScnSceneEnd(s, c);
        if (request.Text)
            sinks.TextSceneEnd(s, c);
        if (request.Spreadsheet)
            sinks.SpreadsheetSceneEnd(s, c);
    };
    d.OnStreamEnd = [&] {
        closed = sinks.CloseScn() && closed;
        if (request.Text)
            closed = sinks.CloseTextByDate() && closed;
        if (request.Spreadsheet)
            closed = sinks.CloseSpreadsheetByDate() && closed;
        if (request.Subtitles)
            closed = sinks.CloseSubtitles() && closed;
    };
    const bool ran = graph.Run([&](std::int64_t done, std::int64_t total) {
        return host.Progress(record.Name, done, total);
    });
    host.ProgressDone();
    d.OnSceneEnd = nullptr;
    d.OnStreamEnd = nullptr;
    if (graph.Aborted())
        return RunOutcome{false, true, "aborted"};
    if (!ran)
        return failed(
            host, file,
            graph.ErrorText().empty() ? "reading the DV stream failed" : graph.ErrorText());
    if (!d.SinkError().empty())
        return failed(host, file, "a scene file could not be written: " + d.SinkError());
    if (!closed)
        return failed(host, file,
                      sinks.Error().empty() ? "a scene file could not be written" : sinks.Error());
    return RunOutcome{true, false, {}};
}

}  // namespace kelvor::commands
