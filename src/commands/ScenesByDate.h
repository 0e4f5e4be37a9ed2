// Scenes by date of one DV video in one pass: the scn file beside it and, on request, the
// extended text list, the extended spreadsheet and the subtitle file, written by the detection
// sinks while the date scene graph streams the file through the date detector.
//
// The caller owns the detector (one per graph owner, kept for the program's life) and the
// record of the file. Runs on the calling thread, which the host is called on; the detector's
// callbacks run on the graph's streaming thread meanwhile. Failure: false, with the host told
// why; an aborted run is not a failure of the file but leaves what the sinks wrote so far.
#pragma once

#include <memory>
#include <string>

#include "commands/CommandHost.h"
#include "core/files/DatePattern.h"
#include "core/files/VideoFileRecord.h"
#include "core/settings/Preferences.h"

namespace kelvor::media {
class Tdv_sceneDetect;
}

namespace kelvor::commands {

struct ScenesByDateRequest {
    bool Text = false;         // the extended text list "_scn.txt"
    bool Spreadsheet = false;  // the extended spreadsheet
    bool Subtitles = false;    // the subtitle file ".srt"
};

struct ScenesByDateContext {
    const settings::Preferences& Prefs;
    LocaleInfo Locale = EnglishLocale();
    std::shared_ptr<media::Tdv_sceneDetect> Detector;
};

struct RunOutcome {
    bool Ok = false;
    bool Aborted = false;
    std::string Error;  // why it failed; empty when it did not
};

RunOutcome DetectScenesByDate(const files::TaviFichier& record, const ScenesByDateRequest& request,
                              ScenesByDateContext& context, CommandHost& host);

}  // namespace kelvor::commands
