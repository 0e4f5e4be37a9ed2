#include "cli/CliSession.h"

#include <QGuiApplication>
#include <cstdio>
#include <filesystem>

#include "core/settings/PreferencesStore.h"
#include "platform/PreferencesEnvironment.h"
#include "platform/UserLocale.h"

namespace kelvor::cli {
namespace {

settings::Preferences Loaded() {
    settings::Preferences prefs;
    settings::LoadPreferences(prefs, platform::CurrentPreferencesEnvironment());
    return prefs;
}

files::RecordSettings RecordSettingsOf(const settings::Preferences& prefs,
                                       const LocaleInfo& locale) {
    files::RecordSettings r;
    r.DisplayDatecodeFormat = prefs.DisplayDatecodeFormat;
    r.Locale = locale;
    return r;
}

// kelvor-cli's standard error carries its own lines; Qt's notes about the environment (no
// XDG_RUNTIME_DIR, a font substituted) are not the user's business, its errors are.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "kelvor-cli: %s\n", message.toLocal8Bit().constData());
}

// The offscreen platform needs no display; it is named on the application's own command line,
// so the user's environment stays as it is.
std::shared_ptr<void> OffscreenGui() {
    if (QCoreApplication::instance())
        return nullptr;
    static int argc = 3;
    static char name[] = "kelvor-cli";
    static char option[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    qInstallMessageHandler(QtMessages);
    return std::make_shared<QGuiApplication>(argc, argv);
}

}  // namespace

Session::Session(HostOptions options, bool pictures)
    : Gui(pictures ? OffscreenGui() : nullptr),
      Prefs(Loaded()),
      Locale(platform::UserLocaleInfo()),
      Graphs(Locale),
      List(Probe, RecordSettingsOf(Prefs, Locale), Prefs.ListOrder, Prefs.SelectOnOpen),
      Host(List, Control, options),
      Module(commands::CommandServices{Prefs, Graphs, Patcher, Desktop, Host, Locale, &Control}) {
    // --output-dir stands in for the save folder for this run only; the preferences are never
    // saved from here.
    if (!options.OutputDir.empty()) {
        Prefs.SaveInSameFolder = false;
        Prefs.SaveFolder = options.OutputDir;
    }
    Module.Start();
    Module.LinkCommands();
}

bool CommandDrawsPictures(std::string_view command) {
    static constexpr std::string_view kStreamCopies[] = {
        "ToType1", "ToType2", "ShiftTime", "ExtractAudio", "CutScenes", "FixType2",
    };
    for (std::string_view c : kStreamCopies)
        if (c == command)
            return false;
    return true;
}

std::string TakeRunOptions(const VerbArgs& a, HostOptions& options) {
    if (a.Has("--yes-to-all") && a.Has("--no-to-all"))
        return "--yes-to-all and --no-to-all exclude each other";
    if (a.Has("--yes-to-all"))
        options.Answers = AnswerPolicy::YesToAll;
    if (a.Has("--no-to-all"))
        options.Answers = AnswerPolicy::NoToAll;
    options.Json = a.Has("--json");
    options.Progress = a.Has("--progress");
    options.DryRun = a.Has("--dry-run");
    if (const std::string* dir = a.Value("--output-dir")) {
        std::error_code ec;
        if (dir->empty() || !std::filesystem::is_directory(*dir, ec))
            return "--output-dir " + *dir + ": not a folder";
        // The save folder is an absolute folder name with its closing slash.
        options.OutputDir = std::filesystem::absolute(*dir, ec).lexically_normal().string();
        if (options.OutputDir.empty() || options.OutputDir.back() != '/')
            options.OutputDir += '/';
    }
    return {};
}

}  // namespace kelvor::cli
