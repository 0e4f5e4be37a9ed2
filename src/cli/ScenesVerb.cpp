// kelvor-cli scenes: the scn file by date beside each video, and on request the extended text
// list, the extended spreadsheet and the subtitle file, in one pass over the file.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliHost.h"
#include "cli/Verbs.h"
#include "core/files/VideoFileRecord.h"
#include "core/scenes/DetectionSinks.h"
#include "core/settings/PreferencesStore.h"
#include "media/filters/Tdv_sceneDetect.h"
#include "media/graphs/SceneGraphs.h"
#include "media/graphs/TdmList.h"
#include "platform/PreferencesEnvironment.h"

namespace kelvor::cli {

struct ScenesOptions {
    bool Text = false;
    bool Spreadsheet = false;
    bool Subtitles = false;
};

// Detects the scenes of one video by date and writes the files asked for; false (with the host
// told why) when the file could not be processed.
bool DetectScenesByDate(const std::string& file, const ScenesOptions& options,
                        const settings::Preferences& prefs, media::TdmList& probe,
                        const std::shared_ptr<media::Tdv_sceneDetect>& detector,
                        CommandHost& host) {
    files::RecordSettings recordSettings;
    recordSettings.DisplayDatecodeFormat = prefs.FormatPourAfficherDatecode;
    const files::TAfficherFichier record(file, probe, recordSettings);
    if (!record.Exists) {
        host.fileFailed(file, "the file is not found");
        return false;
    }
    if (!record.IsDV) {
        host.fileFailed(file, "not a DV file");
        return false;
    }
    media::SceneDateGraph graph(detector);
    if (!graph.BuildSceneDateGraph(record.FullName)) {
        host.fileFailed(file, "the DV stream cannot be read");
        return false;
    }
    scenes::SinkSettings sinkSettings;
    sinkSettings.Export.FrameRate = record.Fps;
    sinkSettings.DisplayFormat = prefs.FormatPourAfficherDatecode;
    scenes::DetectionSinks sinks(sinkSettings);
    scenes::DateSceneDetector& d = detector->Detector();
    if (options.Subtitles) {
        scenes::SubtitleSettings subtitles;
        subtitles.DisplayKind = prefs.WhatIncrust;
        subtitles.AutoMode = prefs.AutoIncrust != 0;
        subtitles.Trigger = prefs.WhenIncrust;
        subtitles.DisplaySeconds = prefs.DureeIncrustation;
        subtitles.DateFormat1 = prefs.FormatPourIncrusterDatecode1;
        subtitles.DateFormat2 = prefs.FormatPourIncrusterDatecode2;
        subtitles.TimeShift = prefs.DecalageHoraire;
        sinks.ConnectSubtitles(d, record.FullName, subtitles);
    }
    sinks.OpenScnByDate(record.FullName, prefs.TypeScn);
    if (options.Text)
        sinks.OpenTextByDate(record.FullName);
    if (options.Spreadsheet)
        sinks.OpenSpreadsheetByDate(record.FullName);
    bool closed = true;
    d.OnSceneEnd = [&](const scenes::FrameInfo& s, const scenes::FrameInfo& c) {
        sinks.ScnSceneEnd(s, c);
        if (options.Text)
            sinks.TextSceneEnd(s, c);
        if (options.Spreadsheet)
            sinks.SpreadsheetSceneEnd(s, c);
    };
    d.OnStreamEnd = [&] {
        closed = sinks.CloseScn() && closed;
        if (options.Text)
            closed = sinks.CloseTextByDate() && closed;
        if (options.Spreadsheet)
            closed = sinks.CloseSpreadsheetByDate() && closed;
        if (options.Subtitles)
            closed = sinks.CloseSubtitles() && closed;
    };
    const bool ran = graph.Run([&](std::int64_t done, std::int64_t total) {
        host.progress(record.Name, done, total);
        return true;
    });
    host.progressDone();
    d.OnSceneEnd = nullptr;
    d.OnStreamEnd = nullptr;
    if (!ran) {
        host.fileFailed(file, "reading the DV stream failed");
        return false;
    }
    if (!closed) {
        host.fileFailed(file, "a scene file could not be written");
        return false;
    }
    return true;
}

int runScenes(Args args) {
    ScenesOptions options;
    std::vector<std::string> files;
    for (std::string_view a : args) {
        if (a == "--text")
            options.Text = true;
        else if (a == "--xlsx")
            options.Spreadsheet = true;
        else if (a == "--srt")
            options.Subtitles = true;
        else
            files.emplace_back(a);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: kelvor-cli scenes [--text] [--xlsx] [--srt] FILE...\n");
        return 2;
    }
    settings::Preferences prefs;
    settings::LoadPreferences(prefs, platform::CurrentPreferencesEnvironment());
    media::TdmList probe;
    auto detector = std::make_shared<media::Tdv_sceneDetect>();
    TerminalHost host;
    bool all = true;
    for (const std::string& f : files)
        all = DetectScenesByDate(f, options, prefs, probe, detector, host) && all;
    return all ? 0 : 1;
}

}  // namespace kelvor::cli
