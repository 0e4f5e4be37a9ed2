// kelvor: the program entry. The window's own options are answered first, without a display;
// then the application is set up, the modules are created in their order and the window's
// message loop runs.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "app/Program.h"
#include "app/StartOptions.h"
#include "core/shell/About.h"
#include "media/engine/LibraryLog.h"
#include "ui/Translation.h"

namespace {

// The messages of the toolkit while the application starts, held back so that a display that
// cannot be reached ends the program with one line instead of Qt's abort and its plugin list.
// The platform plugin may start threads of its own that log meanwhile.
QtMessageHandler gPreviousHandler = nullptr;  // main thread only
std::mutex gHeldMutex;                        // guards gHeldMessages
std::vector<std::pair<QtMsgType, QString>> gHeldMessages;

void HoldStartMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", kelvor::app::UnreachableDisplayLine().c_str());
        std::_Exit(kelvor::app::kExitNoDisplay);
    }
    std::lock_guard lock(gHeldMutex);
    gHeldMessages.emplace_back(type, message);
}

void ReleaseStartMessages() {
    qInstallMessageHandler(gPreviousHandler);
    std::vector<std::pair<QtMsgType, QString>> held;
    {
        std::lock_guard lock(gHeldMutex);
        held.swap(gHeldMessages);
    }
    for (const auto& [type, message] : held)
        qt_message_output(type, QMessageLogContext(), message);
}

std::vector<std::string> Words(int argc, char** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i)
        words.emplace_back(argv[i]);
    return words;
}

}  // namespace

int main(int argc, char** argv) {
    using kelvor::app::StartRequest;
    const std::vector<std::string> words = Words(argc, argv);
    const StartRequest request = kelvor::app::ParseStartArguments(words);
    switch (request.What) {
        case StartRequest::Action::Help:
            std::fputs(kelvor::app::HelpText().c_str(), stdout);
            return kelvor::app::kExitDone;
        case StartRequest::Action::Version:
            std::puts(kelvor::app::VersionLine().c_str());
            return kelvor::app::kExitDone;
        case StartRequest::Action::UsageError:
            std::fprintf(stderr, "kelvor: %s\nTry 'kelvor --help'.\n", request.Error.c_str());
            return kelvor::app::kExitUsage;
        case StartRequest::Action::Run:
            break;
    }
    // Without a display the toolkit would abort; one line says why instead.
    const auto environment = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    if (!kelvor::app::DisplayNamed(words, environment)) {
        std::fprintf(stderr, "%s\n", kelvor::app::NoDisplayLine().c_str());
        return kelvor::app::kExitNoDisplay;
    }

    // The media libraries' messages stay out of the terminal the window was started from.
    kelvor::media::RouteLibraryLog(false, "kelvor");
    gPreviousHandler = qInstallMessageHandler(HoldStartMessage);
    QApplication app(argc, argv);
    ReleaseStartMessages();
    QApplication::setApplicationName(kelvor::about::kProductName);
    QApplication::setOrganizationName(kelvor::about::kMaker);
    // The window speaks the language of the user's locale (LANG, LC_ALL, LC_MESSAGES).
    kelvor::ui::InstallTranslations(app, QLocale::system());
    kelvor::app::ProgramOptions options;
    // The toolkit has taken its own options out of argv by now.
    options.Arguments = kelvor::app::ParseStartArguments(Words(argc, argv)).Script;
    kelvor::app::Program program(std::move(options));
    program.Window().show();
    return QApplication::exec();
}
