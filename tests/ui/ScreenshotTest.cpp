// Pictures of the real window in its main situations, saved under build/screenshots for a person
// to look at: the welcome frame, one file, the list of several files, the panels, a menu and a
// confirmation of a command run. Run under a virtual X server when one is at hand.
#include <QDir>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTranslator>

#include "core/scenes/ScnFile.h"
#include "ui/Translation.h"
#include "ui/UiTestSupport.h"

namespace kelvor::ui::test {

class ScreenshotTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void theWindowInItsSituations();
    void aConfirmationDuringARun();
    void filesOnTheCommandLineOpenWithTheWindow();
    void oneFileOnTheCommandLineIsShown();
    void theWindowInFrench();
    void twoFilesInTheDetailsView();

  private:
    void save(QWidget& widget, const QString& name);
    // Runs scenes by date on the selection, saves the real confirmation and the window behind it,
    // and answers No; whether the question came is the result.
    bool shootConfirmation(Session& s, const QString& question, const QString& window);
    QString dir_ = KELVOR_SCREENSHOT_DIR;
};

void ScreenshotTest::initTestCase() {
    QVERIFY(QDir().mkpath(dir_));
}

void ScreenshotTest::save(QWidget& widget, const QString& name) {
    QTest::qWait(100);
    const QPixmap picture = widget.grab();
    QVERIFY(!picture.isNull());
    QVERIFY(picture.save(dir_ + "/" + name + ".png"));
}

bool ScreenshotTest::shootConfirmation(Session& s, const QString& question, const QString& window) {
    MainWindow& w = s.window();
    w.SetDialogs(nullptr);
    bool seen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || seen)
            return;
        seen = true;
        QTest::qWait(100);
        save(*box, question);
        save(w, window);
        box->button(QMessageBox::No)->click();
    });
    poll.start(20);
    s.trigger("ScenesByDate");
    return s.waitForRun() && seen;
}

void ScreenshotTest::theWindowInItsSituations() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    save(w, "01-welcome");

    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("holiday-2024.avi",
                                               "type=2 frames=10 date=2024-07-14T10:00:00 "
                                               "tc=00:00:00:00"))});
    save(w, "02-one-file");

    w.LoadFiles(
        "Loading files",
        {QString::fromStdString(s.make("evening-ntsc.avi",
                                       "type=1 standard=ntsc aspect=16:9 audio=32k frames=10 "
                                       "date=2024-07-15T20:45:00 tc=01:00:00:00")),
         QString::fromStdString(s.make("a-rather-long-file-name-from-the-camcorder.avi",
                                       "type=2 frames=8 date=2024-07-13T09:15:00"))});
    w.List()->selectionModel()->select(w.Items().index(2), QItemSelectionModel::Select);
    w.SelectionChanged();
    save(w, "03-three-files");

    QTest::keyClick(&w, Qt::Key_F10);
    save(w, "04-settings-panel");
    QTest::keyClick(&w, Qt::Key_F1);
    save(w, "05-about-panel");
    QTest::keyClick(&w, Qt::Key_F1);
    QVERIFY(!w.PanelShown());

    QMenu* files = w.Menu("Files");
    files->popup(w.mapToGlobal(QPoint(0, w.menuBar()->height())));
    QVERIFY(QTest::qWaitForWindowExposed(files));
    save(*files, "06-files-menu");
    files->close();
    QMenu* convert = w.Menu("Convert");
    convert->popup(w.mapToGlobal(QPoint(120, w.menuBar()->height())));
    QVERIFY(QTest::qWaitForWindowExposed(convert));
    save(*convert, "07-convert-menu");
    convert->close();
}

void ScreenshotTest::aConfirmationDuringARun() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string a = s.make("a.avi", Clip("2024-07-14T10:00:00"));
    const std::string b = s.make("b.avi", Clip("2024-07-14T11:00:00"));
    kelvor::test::WriteFile(s.dir / "a.scn", "");
    w.LoadFiles("Loading files", {QString::fromStdString(a), QString::fromStdString(b)});
    s.trigger("SelectAll");
    // The real message box this time.
    QVERIFY(shootConfirmation(s, "08-confirmation", "09-window-during-run"));
}

void ScreenshotTest::filesOnTheCommandLineOpenWithTheWindow() {
    kelvor::test::TempDir clips;
    std::string error;
    QVERIFY(fixtures::WriteDvFile((clips / "holiday.avi").string(),
                                  "type=2 frames=10 date=2024-07-14T10:00:00 ; frames=10 "
                                  "date=2024-07-14T11:30:00",
                                  error));
    QVERIFY(fixtures::WriteDvFile((clips / "evening-ntsc.avi").string(),
                                  "type=1 standard=ntsc aspect=16:9 audio=32k frames=10 "
                                  "date=2024-07-15T20:45:00",
                                  error));
    Session s({(clips / "holiday.avi").string(), (clips / "evening-ntsc.avi").string()});
    // As the program starts: shown, and nothing else; the window's own first paint asks to be
    // activated, and the script runs then.
    s.window().show();
    QVERIFY(Session::waitFor([&] { return s.window().Items().Count() == 2; }, 10000));
    QVERIFY(Session::waitFor([&] { return s.window().StatusText() == "Ready"; }));
    save(s.window(), "10-started-with-files");
}

void ScreenshotTest::oneFileOnTheCommandLineIsShown() {
    kelvor::test::TempDir clips;
    std::string error;
    const std::string clip = (clips / "holiday.avi").string();
    QVERIFY(fixtures::WriteDvFile(clip, "type=2 frames=10 date=2024-07-14T10:00:00", error));
    Session s({clip});
    s.window().show();
    QVERIFY(Session::waitFor([&] { return s.window().CurrentFile() != nullptr; }, 10000));
    QVERIFY(Session::waitFor([&] { return s.window().StatusText() == "Ready"; }));
    save(s.window(), "11-started-with-one-file");
}

// The French window with two files, its settings panel and its Video menu: are the longer
// French texts cut off anywhere?
void ScreenshotTest::theWindowInFrench() {
    QVERIFY(InstallTranslations(*qApp, QLocale(QLocale::French, QLocale::France)));
    {
        Session s;
        s.show();
        MainWindow& w = s.window();
        save(w, "12-french-welcome");
        w.LoadFiles("Loading files",
                    {QString::fromStdString(
                         s.make("vacances.avi", "type=2 frames=10 date=2024-07-14T10:00:00")),
                     QString::fromStdString(s.make("soiree-ntsc.avi",
                                                   "type=1 standard=ntsc aspect=16:9 audio=32k "
                                                   "frames=10 date=2024-07-15T20:45:00"))});
        QVERIFY(Session::waitFor([&] { return w.Items().Count() == 2; }));
        save(w, "13-french-two-files");
        QTest::keyClick(&w, Qt::Key_F10);
        save(w, "14-french-settings-panel");
        QTest::keyClick(&w, Qt::Key_F10);
        QMenu* video = w.Menu("Video");
        video->popup(w.mapToGlobal(QPoint(60, w.menuBar()->height())));
        QVERIFY(QTest::qWaitForWindowExposed(video));
        save(*video, "15-french-video-menu");
        video->close();

        // A command's question and the status while it runs, in French.
        kelvor::test::WriteFile(s.dir / "vacances.scn", "");
        s.trigger("SelectAll");
        QVERIFY(shootConfirmation(s, "16-french-confirmation", "17-french-window-during-run"));
        save(w, "18-french-after-run");
    }
    for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}

void ScreenshotTest::twoFilesInTheDetailsView() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string pal = s.make("christmas-2006.avi",
                                   "type=2 frames=50 aspect=16:9 date=2006-12-24T18:30:05 "
                                   "tc=00:10:00:00");
    {
        scenes::ScnWriter scn(pal, scenes::ScnVariant::Wide);
        QVERIFY(scn.AddScene("", 20));
        QVERIFY(scn.AddScene("", 50));
        QVERIFY(scn.Close());
    }
    w.LoadFiles("Loading files",
                {QString::fromStdString(pal),
                 QString::fromStdString(s.make("beach-ntsc.avi",
                                               "type=1 standard=ntsc frames=30 "
                                               "date=2007-08-05T10:20:30 tc=01:00:00:00"))});
    QVERIFY(w.DetailsShown());
    w.List()->selectionModel()->setCurrentIndex(
        w.Items().index(1), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    w.SelectionChanged();
    save(w, "16-two-files-details");
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::ScreenshotTest)
#include "ScreenshotTest.moc"
