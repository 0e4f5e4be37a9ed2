// The window started on what its command line gives: files and folders listed with the first one
// current and shown, the script run without waiting for an activation, the size of a first
// start; and the program itself answering --help, --version and a start without a display.
#include <QGuiApplication>
#include <QScreen>

#include "app/StartOptions.h"
#include "core/shell/About.h"
#include "support/Process.h"
#include "ui/PlayerPanel.h"
#include "ui/UiTestSupport.h"
#include "ui/preview/PlayerFrame.h"

namespace kelvor::ui::test {

class OpenGivenTest : public QObject {
    Q_OBJECT
  private slots:
    void oneFileGivenIsCurrentAndShown();
    void theFirstOfTwoFilesGivenIsCurrentAndTheListShows();
    void aFolderGivenIsScannedBeforeTheNextSwitch();
    void aNameThatListsNothingSaysSo();
    void theScriptRunsWithoutAnActivation();
    void aFirstStartShowsThePreviewComfortably();
    void theProgramAnswersWithoutADisplay();
    void theOptionsAreTakenOutOfTheScript();

  private:
    // The file shown as current: focused, selected, in the information panel and the preview.
    static void verifyCurrent(Session& s, const std::string& path);
};

void OpenGivenTest::verifyCurrent(Session& s, const std::string& path) {
    MainWindow& w = s.window();
    const int row = w.FindItem(fs::absolute(path).lexically_normal().string());
    QVERIFY(row >= 0);
    QCOMPARE(w.Focused(), row);
    QVERIFY(w.List()->selectionModel()->isRowSelected(row));
    QVERIFY(w.CurrentFile());
    QCOMPARE(w.CurrentFile()->FullName, w.Items().At(row).item.FullName());
    QVERIFY(w.Player()->Shown() == w.CurrentFile().get());
    QVERIFY(w.Player()
                ->InfoText(PlayerPanel::Info::FullName)
                .contains(QString::fromStdString(fs::path(path).filename().string())));
    QVERIFY(Session::waitFor([&] { return w.PlayerView()->Active(); }, 10000));
    QVERIFY(!w.WelcomeShown());
}

void OpenGivenTest::oneFileGivenIsCurrentAndShown() {
    kelvor::test::TempDir clips;
    std::string error;
    const std::string clip = (clips / "holiday.avi").string();
    QVERIFY(fixtures::WriteDvFile(clip, Clip("2024-07-14T10:00:00"), error));
    Session s({clip}, [](settings::Preferences& p) { p.SelectOnOpen = false; });
    s.show();
    MainWindow& w = s.window();
    QVERIFY(Session::waitFor([&] { return !w.ScriptPending() && w.CurrentFile(); }));
    QCOMPARE(w.Items().Count(), 1);
    verifyCurrent(s, clip);
    QVERIFY(!w.ListShown());
}

void OpenGivenTest::theFirstOfTwoFilesGivenIsCurrentAndTheListShows() {
    kelvor::test::TempDir clips;
    std::string error;
    const std::string late = (clips / "late.avi").string();
    const std::string early = (clips / "early.avi").string();
    QVERIFY(fixtures::WriteDvFile(late, Clip("2024-07-15T10:00:00"), error));
    QVERIFY(fixtures::WriteDvFile(early, Clip("2024-07-14T10:00:00"), error));
    // Given first but sorted second: the order given decides, not the list's.
    Session s({late, early}, [](settings::Preferences& p) { p.SelectOnOpen = true; });
    s.show();
    MainWindow& w = s.window();
    QVERIFY(Session::waitFor([&] { return !w.ScriptPending() && w.CurrentFile(); }));
    QCOMPARE(s.names(), (std::vector<std::string>{"early.avi", "late.avi"}));
    verifyCurrent(s, late);
    QCOMPARE(w.StatusText(), QString("Ready"));
    QVERIFY(w.ListShown());
    QVERIFY(w.List()->isVisible());
    // Both stay selected for the switches that follow.
    QCOMPARE(w.SelectedCount(), 2);
}

void OpenGivenTest::aFolderGivenIsScannedBeforeTheNextSwitch() {
    kelvor::test::TempDir root;
    std::string error;
    const fs::path folder = root / "tape";
    fs::create_directories(folder / "day2");
    QVERIFY(fixtures::WriteDvFile((folder / "b.avi").string(), Clip("2024-07-14T11:00:00"), error));
    QVERIFY(fixtures::WriteDvFile((folder / "day2" / "a.avi").string(), Clip("2024-07-14T09:00:00"),
                                  error));
    kelvor::test::WriteFile(folder / "notes.txt", "not a video");
    // +S runs on the selection: it finds the first file only if the scan ended before it.
    Session s({folder.string(), "+s"});
    s.show();
    MainWindow& w = s.window();
    QVERIFY(Session::waitFor([&] { return !w.ScriptPending() && !w.RunActive(); }));
    QVERIFY(Session::waitFor([&] { return fs::exists(folder / "day2" / "a.scn"); }));
    QCOMPARE(s.names(), (std::vector<std::string>{"a.avi", "b.avi"}));
    verifyCurrent(s, (folder / "day2" / "a.avi").string());
    QVERIFY(!fs::exists(folder / "b.scn"));
    QVERIFY(w.List()->isVisible());
    QVERIFY(s.dialogs.errors.empty());
}

void OpenGivenTest::aNameThatListsNothingSaysSo() {
    kelvor::test::TempDir clips;
    kelvor::test::WriteFile(clips / "notes.txt", "not a video");
    const std::string missing = (clips / "missing.avi").string();
    Session s({missing, (clips / "notes.txt").string(), (clips / "*.avi").string()});
    s.show();
    MainWindow& w = s.window();
    QVERIFY(Session::waitFor([&] { return !w.ScriptPending() && !w.RunActive(); }));
    QVERIFY(Session::waitFor([&] { return w.StatusText().startsWith("Nothing listed from"); }));
    // The last name that listed nothing is the one shown.
    QVERIFY(w.StatusText().contains("*.avi"));
    QCOMPARE(w.Items().Count(), 0);
    QVERIFY(w.WelcomeShown());
}

void OpenGivenTest::theScriptRunsWithoutAnActivation() {
    kelvor::test::TempDir clips;
    std::string error;
    const std::string clip = (clips / "a.avi").string();
    QVERIFY(fixtures::WriteDvFile(clip, Clip("2024-07-14T10:00:00"), error));
    Session s({clip, "+s"});
    // As under a window manager that prevents focus stealing: the window is never activated.
    s.window().setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    s.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.window()));
    QVERIFY(Session::waitFor([&] { return fs::exists(clips / "a.scn"); }));
    // The offscreen platform activates every window it shows; an X server without a window
    // manager does not.
    if (QGuiApplication::platformName() == "xcb")
        QVERIFY(!s.window().isActiveWindow());
    verifyCurrent(s, clip);
}

void OpenGivenTest::aFirstStartShowsThePreviewComfortably() {
    kelvor::test::TempDir clips;
    std::string error;
    const std::string clip = (clips / "a.avi").string();
    QVERIFY(fixtures::WriteDvFile(clip, Clip("2024-07-14T10:00:00"), error));
    Session s({clip});
    s.show();
    MainWindow& w = s.window();
    QVERIFY(Session::waitFor([&] { return w.CurrentFile() != nullptr; }));
    const QRect screen = w.screen()->availableGeometry();
    QVERIFY2(screen.contains(w.frameGeometry()), qPrintable(QString("%1,%2 %3x%4")
                                                                .arg(w.frameGeometry().x())
                                                                .arg(w.frameGeometry().y())
                                                                .arg(w.width())
                                                                .arg(w.height())));
    // A PAL picture at 4:3 and at least 640 pixels wide, where the screen has the room.
    const QSize video = w.Player()->VideoArea()->size();
    if (screen.width() >= 1100 && screen.height() >= 850)
        QVERIFY2(video.width() >= 640 && video.height() >= 480,
                 qPrintable(QString("%1x%2").arg(video.width()).arg(video.height())));
    // With the list beside it, the window still fits.
    QTest::keyClick(&w, Qt::Key_F6);
    QVERIFY(w.List()->isVisible());
    QVERIFY(screen.contains(w.frameGeometry()));
}

void OpenGivenTest::theProgramAnswersWithoutADisplay() {
    kelvor::test::ProcessOptions noDisplay;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        noDisplay.environment[name] = std::nullopt;

    const auto help = kelvor::test::RunProcess({KELVOR_WINDOW, "--help"}, noDisplay);
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.starts_with("Usage: kelvor"));
    for (const char* shown :
         {"--version", "+F=MASK", "+E=DAYS", "+H", "Exit status", "Kelvor.conf"})
        QVERIFY2(help.out.find(shown) != std::string::npos, shown);
    // Every letter of the command table is listed.
    for (const commands::CommandInfo& c : commands::CommandTable())
        for (const char letter : std::string_view(c.Letters))
            QVERIFY2(help.out.find("+" + std::string(1, letter)) != std::string::npos, c.Name);

    const auto version = kelvor::test::RunProcess({KELVOR_WINDOW, "--version"}, noDisplay);
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out, std::string("Kelvor ") + about::VersionText() + "\n");

    const auto bare = kelvor::test::RunProcess({KELVOR_WINDOW, "+s"}, noDisplay);
    QCOMPARE(bare.exitCode, 1);
    QCOMPARE(bare.signal, 0);
    QVERIFY(bare.out.empty());
    QCOMPARE(std::count(bare.err.begin(), bare.err.end(), '\n'), 1);
    QVERIFY(bare.err.find("display") != std::string::npos);

    // A display named that cannot be opened ends the same way, not with the toolkit's abort.
    kelvor::test::ProcessOptions unusable = noDisplay;
    unusable.environment["QT_QPA_PLATFORM"] = "no-such-platform";
    const auto unreachable = kelvor::test::RunProcess({KELVOR_WINDOW}, unusable);
    QCOMPARE(unreachable.exitCode, 1);
    QCOMPARE(unreachable.signal, 0);
    QCOMPARE(std::count(unreachable.err.begin(), unreachable.err.end(), '\n'), 1);
    QVERIFY(unreachable.err.find("no-such-platform") != std::string::npos);

    const auto unknown = kelvor::test::RunProcess({KELVOR_WINDOW, "--bogus"}, noDisplay);
    QCOMPARE(unknown.exitCode, 2);
    QVERIFY(unknown.err.find("bogus") != std::string::npos);
}

void OpenGivenTest::theOptionsAreTakenOutOfTheScript() {
    using Action = app::StartRequest::Action;
    const auto run = app::ParseStartArguments({"a.avi", "-d", "--version", "/s", "+E=-1"});
    QCOMPARE(run.What, Action::Version);
    QCOMPARE(run.Script, (std::vector<std::string>{"a.avi", "-d", "/s", "+E=-1"}));
    // After "--" a word with two dashes is a file.
    const auto ended = app::ParseStartArguments({"+h", "--", "--odd.avi", "--help"});
    QCOMPARE(ended.What, Action::Run);
    QCOMPARE(ended.Script, (std::vector<std::string>{"+h", "--odd.avi", "--help"}));
    QCOMPARE(app::ParseStartArguments({"--help=x"}).What, Action::UsageError);
    const auto env = [](const char* name) {
        return std::string(name) == std::string("WAYLAND_DISPLAY") ? "wayland-0" : "";
    };
    QVERIFY(app::DisplayNamed({}, env));
    QVERIFY(!app::DisplayNamed({"+d"}, [](const char*) { return std::string(); }));
    QVERIFY(
        app::DisplayNamed({"-platform", "offscreen"}, [](const char*) { return std::string(); }));
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::OpenGivenTest)
#include "OpenGivenTest.moc"
