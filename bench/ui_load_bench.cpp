// The window loading 1,000 DV files from a folder (scanned on the scanner's thread, each record
// built on the UI thread, offscreen) against `kelvor-cli info` reading the same files, warm
// cache, best of three; and the longest pause of the window's event loop while it loads.
#include <sys/stat.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TimedCommand.h"
#include "app/Program.h"
#include "fixtures/DvFixture.h"
#include "ui/FileListModel.h"
#include "ui/MainWindow.h"

namespace {

constexpr int kFiles = 1000;
constexpr int kTickMs = 5;

struct Load {
    double seconds = 0;
    qint64 longestPauseMs = 0;
};

// One load of the folder into an empty list, timed from the scan's start to its last file.
Load LoadFolder(kelvor::ui::MainWindow& w, const std::string& dir) {
    w.EmptyList();
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last - kTickMs);
        last = now;
    });
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (w.Items().Count() == kFiles && w.ScanIdle())
            loop.quit();
    });
    clock.start();
    tick.start(kTickMs);
    poll.start(1);
    w.ScanFolders({QString::fromStdString(dir)}, "Browsing a folder");
    loop.exec();
    Load result{clock.nsecsElapsed() / 1e9, longest};
    tick.stop();
    poll.stop();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const char* env = std::getenv("KELVOR_BENCH_DATA");
    const std::string base = std::string(env ? env : "/tmp");
    const std::string dir = base + "/ui1000";
    ::mkdir(dir.c_str(), 0755);
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        const std::string p = dir + "/clip" + std::to_string(1000 + i) + ".avi";
        struct stat st {};
        if (::stat(p.c_str(), &st) != 0) {
            std::string error;
            const std::string desc = "frames=2 type=" + std::string(i % 2 ? "1" : "2") +
                                     " date=2024-05-06T07:" + std::to_string(10 + i % 50) + ":09";
            if (!kelvor::fixtures::WriteDvFile(p, desc, error)) {
                std::fprintf(stderr, "bench ui_load: %s\n", error.c_str());
                return 1;
            }
        }
        files.push_back(p);
    }

    const std::string config = base + "/ui-config";
    ::mkdir(config.c_str(), 0755);
    kelvor::app::ProgramOptions options;
    options.Env = std::make_unique<kelvor::settings::PreferencesEnvironment>();
    options.Env->Locations.ProgramFile = config + "/kelvor";
    options.Env->Locations.ConfigHome = config;
    kelvor::app::Program program(std::move(options));
    kelvor::ui::MainWindow& w = program.Window();
    w.show();
    QEventLoop settle;
    QTimer::singleShot(200, &settle, &QEventLoop::quit);
    settle.exec();

    std::vector<std::string> peer = {KELVOR_CLI, "info"};
    peer.insert(peer.end(), files.begin(), files.end());
    kelvor::bench::TimedCommand(peer);
    LoadFolder(w, dir);
    double ours = 1e9, theirs = 1e9;
    qint64 longest = 0;
    for (int r = 0; r < 3; ++r) {
        const Load l = LoadFolder(w, dir);
        const double p = kelvor::bench::TimedCommand(peer);
        if (p < 0) {
            std::fprintf(stderr, "bench ui_load: kelvor-cli info failed\n");
            return 1;
        }
        ours = std::min(ours, l.seconds);
        theirs = std::min(theirs, p);
        longest = std::max(longest, l.longestPauseMs);
    }
    std::printf("BENCH ui_load ours=%.3f peer=%.3f speedup=%.2f\n", ours, theirs, theirs / ours);
    std::printf(
        "ui_load: %d files; longest pause of the event loop while loading: %lld ms "
        "(goal under 100 ms)\n",
        kFiles, static_cast<long long>(longest));
    program.Prefs().SaveListOnQuit = false;
    return 0;
}
