// Command runs started from the window: the real confirmation box and its buttons, the batch's
// answers, Esc and Shift+Esc during conversions, the list and actions while a run lasts, the
// error text of a failed file, mono commands, and a window that stays responsive.
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <thread>

#include "commands/CommandHost.h"
#include "commands/CommandTexts.h"
#include "ui/PlayerPanel.h"
#include "ui/UiTestSupport.h"
#include "ui/preview/PlayerFrame.h"

namespace kelvor::ui::test {

class RunsTest : public QObject {
    Q_OBJECT
  private slots:
    void theConfirmationBoxOffersTheFiveAnswers();
    void aSingleFileIsAskedWithYesAndNo();
    void noToAllStillProcessesFilesWithoutAQuestion();
    void aGraphRunShowsProgressAndHoldsTheList();
    void escStopsTheFileAndShiftEscTheBatch();
    void anErrorOfAFileIsShownWithItsText();
    void failuresAreReportedInTheStatusBar();
    void monoCommandsRunOnTheCurrentFile();
    void theWindowStaysResponsiveDuringAConversion();
    void theShownFileIsReleasedWhileACommandReadsIt();
    void aStoppedConversionIsNamedPartialAndNotListed();
};

namespace {

QPushButton* Button(QMessageBox* box, QMessageBox::StandardButton b) {
    return qobject_cast<QPushButton*>(box->button(b));
}

}  // namespace

void RunsTest::theConfirmationBoxOffersTheFiveAnswers() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string a = s.make("a.avi", Clip("2024-07-14T10:00:00"));
    const std::string b = s.make("b.avi", Clip("2024-07-14T11:00:00"));
    w.LoadFiles("Loading files", {QString::fromStdString(a), QString::fromStdString(b)});
    s.trigger("SelectAll");
    w.SetDialogs(nullptr);
    QStringList texts;
    bool listWasDisabled = false;
    int boxes = 0;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        ++boxes;
        texts << box->text();
        listWasDisabled = !w.List()->isEnabled();
        QVERIFY(Button(box, QMessageBox::Yes));
        QVERIFY(Button(box, QMessageBox::No));
        QVERIFY(Button(box, QMessageBox::Cancel));
        QCOMPARE(Button(box, QMessageBox::NoToAll)->text(), QString("No to all"));
        QCOMPARE(Button(box, QMessageBox::YesToAll)->text(), QString("Yes to all"));
        Button(box, QMessageBox::YesToAll)->click();
    });
    poll.start(10);
    QTest::keyClick(&w, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(s.waitForRun());
    poll.stop();
    // One question, then Yes to all answers for the second file.
    QCOMPARE(boxes, 1);
    QVERIFY(listWasDisabled);
    QVERIFY(texts[0].startsWith("Do you want to add a datecode to 'a.avi'\r\nand rename it to '"));
    QVERIFY(
        texts[0].endsWith("\r\nIf you type \"Yes to All\" or \"No to All\" then no more "
                          "confimation will be asked for."));
    QVERIFY(!fs::exists(a));
    QVERIFY(!fs::exists(b));
    // Both items follow their files: new names, the same order.
    const std::vector<std::string> names = s.names();
    QCOMPARE(names.size(), std::size_t(2));
    QVERIFY(names[0].starts_with("a") && names[0] != "a.avi");
    QVERIFY(fs::exists(w.Items().At(0).item.FullName()));
    QVERIFY(w.List()->isEnabled());
    QCOMPARE(w.StatusText(), QString("Ready"));
}

void RunsTest::aSingleFileIsAskedWithYesAndNo() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string a = s.make("a.avi", Clip("2024-07-14T10:00:00"));
    w.LoadFiles("Loading files", {QString::fromStdString(a)});
    // Shift+Del sends the file to the trash after one question.
    s.dialogs.answers = {commands::Answer::No};
    QTest::keyClick(&w, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(s.waitForRun());
    QCOMPARE(s.dialogs.severalFiles, std::vector<bool>{false});
    QCOMPARE(s.dialogs.questions[0],
             QString("Do you really want to delete a.avi ?\r\nIf yes, it will be sent to the "
                     "Recycle bin."));
    QVERIFY(fs::exists(a));
    w.List()->selectionModel()->select(w.Items().index(0), QItemSelectionModel::Select);
    s.dialogs.answers = {commands::Answer::Yes};
    QTest::keyClick(&w, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(s.waitForRun());
    QVERIFY(!fs::exists(a));
    QVERIFY(fs::exists(s.dir / ".trash" / "a.avi"));
    QCOMPARE(w.Items().Count(), 0);
    QVERIFY(w.WelcomeShown());
}

void RunsTest::noToAllStillProcessesFilesWithoutAQuestion() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    QStringList files;
    for (const char* n : {"a", "b", "c"})
        files << QString::fromStdString(s.make(
            std::string(n) + ".avi",
            Clip(std::string("2024-07-14T1") + static_cast<char>('0' + (n[0] - 'a')) + ":00:00")));
    kelvor::test::WriteFile(s.dir / "a.scn", "old a");
    kelvor::test::WriteFile(s.dir / "c.scn", "old c");
    w.LoadFiles("Loading files", files);
    s.trigger("SelectAll");
    s.dialogs.answers = {commands::Answer::NoToAll};
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(s.waitForRun());
    // One question only; b, which needed none, got its scn file; a and c kept theirs.
    QCOMPARE(s.dialogs.questions.size(), std::size_t(1));
    QCOMPARE(s.dialogs.severalFiles, std::vector<bool>{true});
    QVERIFY(fs::exists(s.dir / "b.scn"));
    QCOMPARE(kelvor::test::ReadFile(s.dir / "a.scn"), std::string("old a"));
    QCOMPARE(kelvor::test::ReadFile(s.dir / "c.scn"), std::string("old c"));
    // The record of b was read again and now knows its scn file.
    QVERIFY(w.Items().At(w.FindItem(s.path("b.avi"))).item.Record->HasScn);
}

void RunsTest::aGraphRunShowsProgressAndHoldsTheList() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("a.avi", Clip("2024-07-14T10:00:00", 50))),
                 QString::fromStdString(s.make("b.avi", Clip("2024-07-14T11:00:00", 50)))});
    s.trigger("SelectAll");
    int started = 0;
    bool gauge = false, listDisabled = false, actionsDisabled = false;
    connect(&w, &MainWindow::StatusChanged, this, [&](const QString& t) {
        if (!t.startsWith("Creating a scn file for"))
            return;
        ++started;
        gauge = w.Player()->ProgressShown();
        listDisabled = !w.List()->isEnabled();
        actionsDisabled =
            !w.Action("AddDatecode")->isEnabled() && !w.Action("SelectAll")->isEnabled();
    });
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(w.RunActive());
    // While it runs nothing else starts.
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(s.waitForRun());
    QCOMPARE(started, 2);
    QVERIFY(gauge);
    QVERIFY(listDisabled);
    QVERIFY(actionsDisabled);
    QVERIFY(!w.Player()->ProgressShown());
    QVERIFY(w.List()->isEnabled());
    QVERIFY(w.Action("AddDatecode")->isEnabled());
    QCOMPARE(w.StatusText(), QString("Ready"));
    QVERIFY(s.program->Control().CommandFinished);
}

void RunsTest::escStopsTheFileAndShiftEscTheBatch() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    QStringList files;
    for (const char* n : {"a", "b", "c"})
        files << QString::fromStdString(s.make(std::string(n) + ".avi",
                                               "type=2 frames=40 date=2024-07-14T10:00:00 ; "
                                               "frames=40 date=2024-07-14T12:00:00"));
    w.LoadFiles("Loading files", files);
    s.trigger("SelectAll");
    // Esc comes as the first file starts, before its conversion has done anything.
    QString pressAt = "Creating a scn file for \"a.avi\" with date";
    Qt::KeyboardModifiers with = Qt::NoModifier;
    connect(&w, &MainWindow::StatusChanged, this, [&](const QString& t) {
        if (t == pressAt)
            QTest::keyClick(&w, Qt::Key_Escape, with);
    });
    s.trigger("ScenesByDate");
    QVERIFY(s.waitForRun());
    QVERIFY(fs::exists(s.dir / "b.scn"));
    QVERIFY(fs::exists(s.dir / "c.scn"));
    const auto full = fs::file_size(s.dir / "b.scn");
    QCOMPARE(fs::file_size(s.dir / "c.scn"), full);
    QVERIFY(!fs::exists(s.dir / "a.scn") || fs::file_size(s.dir / "a.scn") < full);

    // Shift+Esc at the second file ends the batch: the third is not touched.
    for (const char* n : {"a.scn", "b.scn", "c.scn"})
        fs::remove(s.dir / n);
    for (int i = 0; i < w.Items().Count(); ++i)
        w.RefreshItem(i);
    s.trigger("SelectAll");
    pressAt = "Creating a scn file for \"b.avi\" with date";
    with = Qt::ShiftModifier;
    s.trigger("ScenesByDate");
    QVERIFY(s.waitForRun());
    QCOMPARE(fs::file_size(s.dir / "a.scn"), full);
    QVERIFY(!fs::exists(s.dir / "b.scn") || fs::file_size(s.dir / "b.scn") < full);
    QVERIFY(!fs::exists(s.dir / "c.scn"));
    QVERIFY(s.program->Control().ScriptStop);
    QCOMPARE(w.StatusText(), QString("Ready"));
}

void RunsTest::anErrorOfAFileIsShownWithItsText() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string a = s.make("a.avi", Clip("2024-07-14T10:00:00"));
    w.AddFile(a);
    const commands::FileItem item = w.Items().At(0).item;
    const std::string text = commands::FileErrorText("Converting \"%s\" into type 1", a);
    QCOMPARE(QString::fromStdString(text),
             QString::fromStdString("An error occured while \r\nConverting \"" + a +
                                    "\" into type 1.\r\n\r\nPlease check at least if the source "
                                    "file exists, if the destination disk is full or the "
                                    "destination folder is read-only."));
    // From a worker's thread, the message waits until the window has shown it.
    commands::Command command;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        w.Host().FileError(item, command, text);
        returned = true;
    });
    QVERIFY(Session::waitFor([&] { return returned.load(); }));
    worker.join();
    QCOMPARE(s.dialogs.errors, std::vector<QString>{QString::fromStdString(text)});
}

void RunsTest::failuresAreReportedInTheStatusBar() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("a.avi", Clip("2024-07-14T10:00:00")))});
    w.List()->selectionModel()->select(w.Items().index(0), QItemSelectionModel::Select);
    // The file goes before its turn comes.
    fs::remove(s.path("a.avi"));
    s.trigger("ScenesByDate");
    QVERIFY(s.waitForRun());
    QVERIFY2(w.StatusText().startsWith("Not processed: a.avi: "), qPrintable(w.StatusText()));
}

void RunsTest::monoCommandsRunOnTheCurrentFile() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string a = s.make("a.avi", Clip("2024-07-14T10:00:00"));
    w.LoadFiles("Loading files", {QString::fromStdString(a)});
    QTest::keyClick(&w, Qt::Key_H, Qt::ControlModifier);
    auto* riff = w.findChild<QWidget*>("RiffReportWindow");
    QVERIFY(riff);
    QVERIFY(riff->isVisible());
    riff->close();
    QTest::keyClick(&w, Qt::Key_F5);
    QCOMPARE(s.desktop.opened, std::vector<std::string>{a});
    // The inlay switch changes its caption and the stored preference.
    QVERIFY(!s.program->Prefs().IsInlayOn);
    QTest::keyClick(&w, Qt::Key_F12);
    QVERIFY(s.program->Prefs().IsInlayOn);
    QTest::keyClick(&w, Qt::Key_F12);
    QVERIFY(!s.program->Prefs().IsInlayOn);
    QVERIFY(w.List()->isEnabled());
    QVERIFY(!w.RunActive());
}

void RunsTest::theWindowStaysResponsiveDuringAConversion() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("long.avi", Clip("2024-07-14T10:00:00", 600)))});
    w.List()->selectionModel()->select(w.Items().index(0), QItemSelectionModel::Select);
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    tick.start(5);
    s.trigger("ScenesByDate");
    QVERIFY(s.waitForRun());
    tick.stop();
    qInfo("longest pause of the event loop during the conversion: %lld ms over %lld ms", longest,
          clock.elapsed());
    QVERIFY(fs::exists(s.dir / "long.scn"));
#ifndef __SANITIZE_THREAD__
    // A sanitizer's build is too slow for a bound on time.
    QVERIFY(longest < 250);
#endif
}

void RunsTest::theShownFileIsReleasedWhileACommandReadsIt() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("shown.avi", Clip("2024-07-14T10:00:00", 50)))});
    PlayerFrame& f = *w.PlayerView();
    QVERIFY(Session::waitFor([&] { return f.Active(); }, 10000));
    w.List()->selectionModel()->select(w.Items().index(0), QItemSelectionModel::Select);
    // What the player's message area said, and whether the graph held the file, at each change.
    auto* info = w.findChild<QTextEdit*>("InfoText");
    QVERIFY(info);
    QStringList said;
    bool heldWhileSaying = false;
    connect(info, &QTextEdit::textChanged, this, [&] {
        said << info->toPlainText();
        if (info->toPlainText().contains("Video temporarily interrupted"))
            heldWhileSaying = heldWhileSaying || f.View().Active();
    });
    s.trigger("ScenesByDate");
    QVERIFY(s.waitForRun());
    const QStringList interrupted =
        said.filter("Video temporarily interrupted\nto execute a command");
    QVERIFY2(!interrupted.isEmpty(), qPrintable(said.join(" / ")));
    QVERIFY(interrupted[0].contains("shown.avi"));
    QVERIFY(!heldWhileSaying);
    // Taken back afterwards: the video plays again.
    QVERIFY(Session::waitFor([&] { return f.Active(); }, 10000));
    QCOMPARE(f.CurrentLayout(), PlayerFrame::Layout::Video);
    QVERIFY(!f.View().Released());
}

// Esc once the conversion has written: the part stays on disk, the status names it with its
// frames, and the list does not take it for a new file.
void RunsTest::aStoppedConversionIsNamedPartialAndNotListed() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("long.avi", Clip("2024-07-14T10:00:00", 1500)))});
    w.List()->selectionModel()->select(w.Items().index(0), QItemSelectionModel::Select);
    bool pressed = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        for (const auto& e : fs::directory_iterator(s.dir.path()))
            if (!pressed && e.path().extension() == ".tmp" && fs::file_size(e.path()) > 200000) {
                pressed = true;
                QTest::keyClick(&w, Qt::Key_Escape);
            }
    });
    poll.start(5);
    s.trigger("ToType1");
    QVERIFY(s.waitForRun());
    poll.stop();
    QVERIFY(pressed);
    QVERIFY(fs::exists(s.dir / "long_type1.avi"));
    QCOMPARE(w.Items().Count(), 1);
    const QString status = w.StatusText();
    const QString start =
        "Not processed: long.avi: stopped; the part written so far stays in "
        "long_type1.avi (incomplete: ";
    QVERIFY2(status.startsWith(start) && status.endsWith(" of 1500 frames)"), qPrintable(status));
    const int written = status.mid(start.size()).section(' ', 0, 0).toInt();
    QVERIFY2(written > 0 && written < 1500, qPrintable(status));
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::RunsTest)
#include "RunsTest.moc"
