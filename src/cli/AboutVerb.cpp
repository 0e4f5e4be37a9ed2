#include <cstdio>
#include <filesystem>

#include "cli/VerbArgs.h"
#include "core/files/DatePattern.h"
#include "core/settings/Preferences.h"
#include "core/settings/PreferencesStore.h"
#include "core/shell/About.h"
#include "media/graphs/FilterCheck.h"
#include "platform/PreferencesEnvironment.h"
#include "platform/QtDesktopServices.h"

namespace kelvor::cli {
namespace {

void Print(const std::vector<media::ReportLine>& lines) {
    for (const media::ReportLine& l : lines)
        std::printf("%s\n", l.Text.c_str());
}

}  // namespace

int runAbout(Args args) {
    const VerbArgs a = ParseVerbArgs(args, {"--check"});
    if (!a.Error.empty() || !a.Files.empty())
        return UsageError("about", a.Files.empty() ? a.Error : "takes no file", "about [--check]");
    const bool check = a.Has("--check");
    std::printf("%s %s %s by %s, built %s\n%s\n", about::kProductName, about::VersionText().c_str(),
                about::kLanguageTag, about::kMaker,
                FormatDateTime("yyyy-mm-dd", about::BuildDate()).c_str(), about::kWebAddress);
    if (!check)
        return 0;
    // The Test tab: the engine's components under the names of the filters they stand for.
    Print(media::FilterCheckReport(
        media::ProbeEngineFilters(media::FilterCategory::DirectShowFilters),
        media::ProbeEngineFilters(media::FilterCategory::VideoCompressors)));
    // The System tab.
    settings::Preferences prefs;
    settings::LoadPreferences(prefs, platform::CurrentPreferencesEnvironment());
    platform::QtDesktopServices desktop;
    std::printf("\n");
    Print(media::SystemReport(desktop.OsVersionText(), media::MediaEngineVersion(),
                              prefs.VarnoltProgram, [](const std::string& p) {
                                  std::error_code ec;
                                  return std::filesystem::is_regular_file(p, ec);
                              }));
    return 0;
}

}  // namespace kelvor::cli
