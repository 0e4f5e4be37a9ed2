// The window's start and end: the command line's script at the first activation, "Launch a
// script", the preferences applied at the first show, the closing question, and closing while a
// scan, a run or a script's run goes on.
#include <QItemSelectionModel>
#include <QTimer>

#include "ui/PlayerPanel.h"
#include "ui/UiTestSupport.h"

namespace kelvor::ui::test {

class StartTest : public QObject {
    Q_OBJECT
  private slots:
    void theCommandLineRunsAtTheFirstActivation();
    void aCommandWithoutSelectedFilesStartsNothing();
    void launchAScriptFile();
    void preferencesAreAppliedAtTheFirstShow();
    void closingAsksAboutThePreferences();
    void closingStopsARunningScan();
    void closingWaitsForTheRunGoingOn();
    void closingDuringAConversionAsksFirst();
};

void StartTest::theCommandLineRunsAtTheFirstActivation() {
    kelvor::test::TempDir clips;
    std::string error;
    for (const char* n : {"a.avi", "b.avi"})
        QVERIFY(fixtures::WriteDvFile((clips / n).string(), Clip("2024-07-14T10:00:00"), error));
    kelvor::test::WriteFile(clips / "c.txt", "x");
    Session s({(clips / "*.avi").string(), "+d", "+h"});
    QVERIFY(s.window().ScriptPending());
    s.dialogs.answers = {commands::Answer::Yes, commands::Answer::Yes};
    s.dialogs.saveAnswers = {SaveAnswer::No};
    s.show();
    QVERIFY(Session::waitFor([&] { return !s.window().isVisible(); }));
    // Both files were loaded selected, asked about with the five answers, renamed; then the
    // window closed through its ordinary closing, with the preferences question.
    QCOMPARE(s.dialogs.severalFiles, (std::vector<bool>{true, true}));
    QVERIFY(s.dialogs.questions[0].startsWith("Do you want to add a datecode to 'a.avi'"));
    QVERIFY(!fs::exists(clips / "a.avi"));
    QVERIFY(!fs::exists(clips / "b.avi"));
    QCOMPARE(s.dialogs.saveQuestions.size(), std::size_t(1));
    QCOMPARE(s.window().Items().Count(), 2);
    QVERIFY(!s.window().ScriptPending());
}

void StartTest::aCommandWithoutSelectedFilesStartsNothing() {
    Session s({"+d", "+e=", "+q"});
    s.show();
    QVERIFY(Session::waitFor([&] { return !s.window().ScriptPending(); }));
    QVERIFY(s.dialogs.questions.empty());
    QVERIFY(s.window().isVisible());
    QVERIFY(!s.window().RunActive());
}

void StartTest::launchAScriptFile() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    s.make("clips/a.avi", Clip("2024-07-14T10:00:00"));
    s.make("clips/b.avi", Clip("2024-07-14T11:00:00"));
    kelvor::test::WriteFile(s.dir / "script.txt", "+f=\"" + s.path("clips") + "/*.avi\"\r\n+s\r\n");
    s.dialogs.fileToOpen = s.path("script.txt").c_str();
    QTest::keyClick(&w, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    // Loaded, selected, and a scn file made for each.
    QCOMPARE(w.Items().Count(), 2);
    QVERIFY(fs::exists(s.dir / "clips" / "a.scn"));
    QVERIFY(fs::exists(s.dir / "clips" / "b.scn"));
    QVERIFY(!w.RunActive());
    QVERIFY(w.List()->isEnabled());
}

void StartTest::preferencesAreAppliedAtTheFirstShow() {
    Session s({}, [](settings::Preferences& p) {
        p.Volume = 4000;
        p.IsMuteOn = true;
        p.IsInlayOn = true;
        p.InlaySlidersVisible = true;
        p.InlayPositionX = 300;
        p.InlayPositionY = 200;
        p.ListOrder = 2;
    });
    s.show();
    MainWindow& w = s.window();
    QCOMPARE(w.Volume(), 4000);
    QVERIFY(w.Muted());
    QCOMPARE(w.Action("Mute")->text(), QString("Sound on"));
    QCOMPARE(w.Action("ShowInlay")->text(), QString("Hide  inlay"));
    QCOMPARE(w.Action("ShowInlaySliders")->text(), QString("Hide the sliders for inlay"));
    QVERIFY(w.Player()->SlidersVisible());
    QCOMPARE(w.Player()->InlayX(), 300);
    QCOMPARE(w.Player()->InlayY(), 200);
    QCOMPARE(w.SortMode(), 2);
    QVERIFY(s.program->Prefs().PlaylistFolder.ends_with("/"));
}

void StartTest::closingAsksAboutThePreferences() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    settings::Preferences& p = s.program->Prefs();
    // Cancel keeps the window open and aborts nothing.
    s.dialogs.saveAnswers = {SaveAnswer::Cancel};
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QVERIFY(s.program->Control().GraphBatch);
    QVERIFY(!s.program->Control().ScriptStop);
    QCOMPARE(
        s.dialogs.saveQuestions,
        std::vector<QString>{
            "Do you want to save the preferences of Kelvor in your "
            "configuration folder to find them again at next start?\r\n\r\nIf you answer \"All\", "
            "then Kelvor will save them automatically when quitting."});
    // All: saved now and from now on without asking.
    p.Volume = 3000;
    s.dialogs.saveAnswers = {SaveAnswer::All};
    QVERIFY(w.close());
    QVERIFY(p.SavePreferencesOnQuit);
    settings::Preferences stored;
    settings::PreferencesEnvironment env;
    env.Locations.ProgramFile = s.dir / "bin" / "kelvor";
    env.Locations.ConfigHome = s.dir / "config";
    settings::LoadPreferences(stored, env);
    QVERIFY(stored.SavePreferencesOnQuit);
    QCOMPARE(stored.Volume, 10000);  // the window's volume, not a field set behind its back
}

void StartTest::closingStopsARunningScan() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    for (int i = 0; i < 2000; ++i)
        kelvor::test::WriteFile(s.dir / "many" / ("clip" + std::to_string(i) + ".avi"), "");
    w.ScanFolders({s.path("many").c_str()}, "Browsing a folder");
    QVERIFY(Session::waitFor([&] { return w.Items().Count() > 5; }));
    s.dialogs.saveAnswers = {SaveAnswer::No};
    QVERIFY(w.close());
    QVERIFY(w.ScanIdle());
    QVERIFY(w.Items().Count() < 2000);
}

void StartTest::closingWaitsForTheRunGoingOn() {
    // A run started from the window, then a script's run (the close comes inside the script's
    // own wait): each time the close is accepted only once the run has ended, its batch stops
    // before the next file, and nothing more is asked.
    for (const bool fromScript : {false, true}) {
        Session s;
        s.show();
        MainWindow& w = s.window();
        QStringList files;
        for (const char* n : {"a", "b", "c"})
            files << QString::fromStdString(
                s.make(std::string(n) + ".avi", Clip("2024-07-14T10:00:00", 200)));
        s.dialogs.saveAnswers = {SaveAnswer::No};
        bool closed = false, activeAfterClose = true;
        connect(&w, &MainWindow::StatusChanged, this, [&](const QString& t) {
            if (t != "Creating a scn file for \"a.avi\" with date")
                return;
            // Out of the run's call, which the close waits for.
            QTimer::singleShot(0, &w, [&] {
                closed = w.close();
                activeAfterClose = w.RunActive();
            });
        });
        if (fromScript) {
            kelvor::test::WriteFile(s.dir / "script.txt",
                                    "+f=\"" + s.path("") + "*.avi\"\r\n+s\r\n");
            s.dialogs.fileToOpen = s.path("script.txt").c_str();
            QTest::keyClick(&w, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            w.LoadFiles("Loading files", files);
            s.trigger("SelectAll");
            s.trigger("ScenesByDate");
            QVERIFY(Session::waitFor([&] { return closed; }));
        }
        QVERIFY(closed);
        QVERIFY(!activeAfterClose);
        QVERIFY(!w.isVisible());
        QVERIFY(!fs::exists(s.dir / "c.scn"));
        QVERIFY(s.program->Control().ScriptStop);
        QCOMPARE(s.dialogs.saveQuestions.size(), std::size_t(1));
    }
}

void StartTest::closingDuringAConversionAsksFirst() {
    // No keeps the conversion going; Yes stops it as Esc does and quits, and no temporary file
    // is left in the folder.
    Session s;
    s.show();
    MainWindow& w = s.window();
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("long.avi", Clip("2024-07-14T10:00:00", 1500)))});
    w.List()->selectionModel()->select(w.Items().index(0), QItemSelectionModel::Select);
    const auto temporary = [&] {
        for (const auto& e : fs::directory_iterator(s.dir.path()))
            if (e.path().extension() == ".tmp")
                return true;
        return false;
    };
    int stage = 0;
    bool refused = false, runningAfterNo = false, closed = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (stage != 0 || !temporary())
            return;
        stage = 1;
        s.dialogs.answers = {commands::Answer::No};
        refused = !w.close();
        runningAfterNo = w.RunActive();
        s.dialogs.answers = {commands::Answer::Yes};
        s.dialogs.saveAnswers = {SaveAnswer::No};
        closed = w.close();
        stage = 2;
    });
    poll.start(5);
    s.trigger("ToType1");
    QVERIFY(Session::waitFor([&] { return stage == 2; }, 60000));
    poll.stop();
    QVERIFY(refused);
    QVERIFY(runningAfterNo);
    QVERIFY(closed);
    QVERIFY(!w.RunActive());
    QCOMPARE(s.dialogs.questions,
             (std::vector<QString>{"A conversion is running: stop it and quit?",
                                   "A conversion is running: stop it and quit?"}));
    QCOMPARE(s.dialogs.saveQuestions.size(), std::size_t(1));
    QVERIFY(!temporary());
    // What was written stays, as after Esc.
    QVERIFY(fs::exists(s.dir / "long_type1.avi"));
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::StartTest)
#include "StartTest.moc"
