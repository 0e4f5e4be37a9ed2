// kelvor-cli scenes and scenes-by-date in the light front end (see ScenesHere.h).
#include "cli/ScenesHere.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/FrontEnd.h"
#include "cli/VerbArgs.h"
#include "core/files/FileRecord.h"
#include "core/scenes/DetectionSinks.h"
#include "core/scenes/DvFrameScan.h"
#include "core/scenes/SceneList.h"
#include "core/scenes/ScnFile.h"
#include "core/settings/PreferencesStore.h"
#include "media/graphs/ProbeGraph.h"
#include "platform/PreferencesEnvironment.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {
namespace {

// The options the front end takes; any other (the lists, the report, the progress lines, a
// dry run) leaves the verb to the media program.
constexpr std::string_view kYesToAll = "--yes-to-all";
constexpr std::string_view kNoToAll = "--no-to-all";

// One file's scn by date, as the date scene command writes it: false when the file could not be
// read or the scn file not written, which then keeps what it held.
bool WriteScnByDate(const files::FileRecord& video, scenes::DvFrameScan& scan,
                    const settings::Preferences& prefs, const LocaleInfo& locale) {
    scenes::SinkSettings settings;
    settings.Export.FrameRate = video.Fps;
    settings.Export.Locale = locale;
    settings.DisplayFormat = prefs.DisplayDatecodeFormat;
    scenes::DateSceneDetector detector(locale);
    scenes::ScnWriter scn(video.FullName, scenes::ScnVariantFromPreference(prefs.ScnType));
    detector.OnSceneEnd = [&](const scenes::FrameInfo& s, const scenes::FrameInfo& c) {
        scenes::AddDateScene(scn, s, c, settings);
    };
    detector.StartStreaming();
    const bool read = scan.Run(detector);
    if (!read) {
        scn.Discard();
        return false;
    }
    detector.Stop();
    if (!detector.SinkError().empty()) {
        scn.Discard();
        return false;
    }
    return scn.Close();
}

}  // namespace

bool RunScenesHere(std::string_view verb, Args rest, int& status) {
    if (verb != "scenes" && verb != "scenes-by-date")
        return false;
    const VerbArgs a = ParseVerbArgs(rest, {kYesToAll, kNoToAll});
    if (!a.Error.empty() || a.Files.empty() || (a.Has(kYesToAll) && a.Has(kNoToAll)))
        return false;
    // A terminal gets the progress line and may be asked.
    if (::isatty(STDERR_FILENO) == 1)
        return false;
    // scenes-by-date asks before it replaces a scn file, and nobody is there to say yes.
    const bool mayReplace = verb == "scenes" || a.Has(kYesToAll);

    settings::Preferences prefs;
    settings::LoadPreferences(prefs, platform::CurrentPreferencesEnvironment());
    const LocaleInfo locale = platform::UserLocaleInfo();
    files::RecordSettings recordSettings;
    recordSettings.DisplayDatecodeFormat = prefs.DisplayDatecodeFormat;
    recordSettings.Locale = locale;

    // Every file must be one this program reads itself before any is touched, so that what the
    // media program would say of another file is said by it, for all of them.
    struct Item {
        std::unique_ptr<files::FileRecord> Record;
        std::unique_ptr<scenes::DvFrameScan> Scan;
    };
    std::vector<Item> items;
    media::ProbeGraph probe;
    for (const std::string& f : a.Files) {
        struct stat st {};
        if (::stat(f.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(f.c_str(), R_OK) != 0)
            return false;
        Item item;
        item.Scan = scenes::DvFrameScan::Open(f);
        if (!item.Scan)
            return false;
        item.Record = std::make_unique<files::FileRecord>(f, probe, recordSettings);
        if (!item.Record->IsDV)
            return false;
        std::error_code ec;
        if (!mayReplace &&
            std::filesystem::exists(scenes::ReplaceExtension(item.Record->FullName, ".scn"), ec))
            return false;
        items.push_back(std::move(item));
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (WriteScnByDate(*items[i].Record, *items[i].Scan, prefs, locale))
            continue;
        // The media program says why in its own words, from this file on; those done stay done.
        std::vector<std::string> args = {std::string(verb)};
        for (const std::string_view option : {kYesToAll, kNoToAll})
            if (a.Has(option))
                args.emplace_back(option);
        args.push_back("--");
        for (std::size_t k = i; k < items.size(); ++k)
            args.push_back(a.Files[k]);
        RunMediaProgram(args);
    }
    status = kExitDone;
    return true;
}

}  // namespace kelvor::cli
