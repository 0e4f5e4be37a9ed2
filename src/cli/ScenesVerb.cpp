// kelvor-cli scenes: the scn file by date beside each video, and on request the extended text
// list, the extended spreadsheet and the subtitle file, in one pass over the file.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliHost.h"
#include "cli/VerbArgs.h"
#include "commands/ScenesByDate.h"
#include "core/files/VideoFileRecord.h"
#include "core/settings/PreferencesStore.h"
#include "media/filters/Tdv_sceneDetect.h"
#include "media/graphs/TdmList.h"
#include "platform/PreferencesEnvironment.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {

int runScenes(Args args) {
    const VerbArgs a = ParseVerbArgs(args, {"--text", "--xlsx", "--srt"});
    if (!a.Error.empty() || a.Files.empty())
        return UsageError("scenes", a.Error, "scenes [--text] [--xlsx] [--srt] FILE...");
    commands::ScenesByDateRequest request;
    request.Text = a.Has("--text");
    request.Spreadsheet = a.Has("--xlsx");
    request.Subtitles = a.Has("--srt");
    const std::vector<std::string>& files = a.Files;
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
