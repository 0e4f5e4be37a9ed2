// kelvor-cli scenes: the scn file by date beside each video, and on request the extended text
// list, the extended spreadsheet and the subtitle file, in one pass over the file.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliHost.h"
#include "cli/Verbs.h"
#include "commands/ScenesByDate.h"
#include "core/files/VideoFileRecord.h"
#include "core/settings/PreferencesStore.h"
#include "media/filters/Tdv_sceneDetect.h"
#include "media/graphs/TdmList.h"
#include "platform/PreferencesEnvironment.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {

int runScenes(Args args) {
    commands::ScenesByDateRequest request;
    std::vector<std::string> files;
    for (std::string_view a : args) {
        if (a == "--text")
            request.Text = true;
        else if (a == "--xlsx")
            request.Spreadsheet = true;
        else if (a == "--srt")
            request.Subtitles = true;
        else
            files.emplace_back(a);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: kelvor-cli scenes [--text] [--xlsx] [--srt] FILE...\n");
        return 2;
    }
    settings::Preferences prefs;
    settings::LoadPreferences(prefs, platform::CurrentPreferencesEnvironment());
    commands::ScenesByDateContext context{prefs, platform::UserLocaleInfo(),
                                          std::make_shared<media::Tdv_sceneDetect>()};
    files::RecordSettings recordSettings;
    recordSettings.DisplayDatecodeFormat = prefs.FormatPourAfficherDatecode;
    recordSettings.Locale = context.Locale;
    media::TdmList probe;
    TerminalHost host;
    bool all = true;
    for (const std::string& f : files) {
        const files::TAfficherFichier record(f, probe, recordSettings);
        all = commands::DetectScenesByDate(record, request, context, host).Ok && all;
    }
    return all ? 0 : 1;
}

}  // namespace kelvor::cli
