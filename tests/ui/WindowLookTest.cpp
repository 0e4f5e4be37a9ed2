// What the window shows a user: one style for a recording date in the panel, the list, the
// player's texts and the picture's overlay; the details view and its headers; a saved window
// place restored as saved and kept on the screen.
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QScreen>

#include "core/scenes/ScnFile.h"
#include "media/filters/InlayFilter.h"
#include "media/graphs/ProbeGraph.h"
#include "platform/UserLocale.h"
#include "ui/PlayerPanel.h"
#include "ui/UiTestSupport.h"
#include "ui/WindowPlace.h"
#include "ui/panels/SceneEditorPanel.h"
#include "ui/panels/SettingsPanel.h"
#include "ui/preview/PlayerFrame.h"
#include "ui/preview/PlayerTexts.h"

namespace kelvor::ui::test {

class WindowLookTest : public QObject {
    Q_OBJECT
  private slots:
    void theRecordingDateHasOneStyleInEachLocale();
    void theWindowAndThePictureShowTheFormatPreference();
    void aNewFormatReachesEveryDateAtOnceAndTheSceneCaptionsFollow();
    void aLocaleChangeReachesEveryDate();
    void theDetailsViewShowsTheRecordsAndSortsByItsHeaders();
    void aSavedPlaceComesBackAsSavedAndInsideTheScreen();
    void aWindowLargerThanTheRoomIsClipped();
};

namespace {

constexpr char kRecorded[] = "type=1 frames=30 date=2004-03-15T22:00:03 tc=01:02:03:04";

QString PanelValue(const PlayerPanel& panel, const char* caption) {
    const auto* label = panel.findChild<QLabel*>(QString("Value") + caption);
    return label ? label->text() : QString("(no label)");
}

}  // namespace

void WindowLookTest::theRecordingDateHasOneStyleInEachLocale() {
    kelvor::test::TempDir dir;
    const std::string path = (dir / "tape.avi").string();
    std::string error;
    QVERIFY2(fixtures::WriteDvFile(path, kRecorded, error), error.c_str());
    media::ProbeGraph probe;
    const auto record = std::make_shared<const files::FileRecord>(path, probe);
    QVERIFY(record->DatecodeValid);
    scenes::FrameInfo frame;
    frame.DateValid = true;
    frame.Date = record->Datecode;
    const QDate day(2004, 3, 15);
    // 24 h locales show the time as they write it; en_US writes 12 h with its PM mark.
    const struct {
        const char* Name;
        bool TwelveHours;
    } cases[] = {{"en_US", true}, {"en_GB", false}, {"fr_FR", false}};
    for (const auto& c : cases) {
        const QLocale qt(c.Name);
        const LocaleInfo locale = platform::UserLocaleInfo(qt);
        const QString date = qt.toString(day, QLocale::ShortFormat);
        PlayerPanel panel(nullptr);
        panel.ShowFile(record, "ddddd hh:nn:ss", locale);
        const QString shown = PanelValue(panel, "Datecode");
        QVERIFY2(shown.startsWith(date + " "), qPrintable(shown + " / " + date));
        if (c.TwelveHours) {
            QVERIFY2(shown.contains("10:00:03") && shown.endsWith(qt.pmText()), qPrintable(shown));
        } else {
            QCOMPARE(shown, date + " 22:00:03");
        }
        FileListModel model;
        model.SetDateStyle("ddddd hh:nn:ss", locale);
        model.Insert(0, {commands::FileItem{record->Name, record}, "k"});
        QCOMPARE(
            model.data(model.index(0, FileListModel::RecordedColumn), Qt::DisplayRole).toString(),
            shown);
        QCOMPARE(
            QString::fromStdString(TickTexts(&frame, *record, "ddddd hh:nn:ss", locale).Datecode),
            shown);
    }
    // The tape timecode and the frame rate as video tools show them (type 1 NTSC is 29.97002...).
    PlayerPanel panel(nullptr);
    panel.ShowFile(record, "", EnglishLocale());
    QCOMPARE(PanelValue(panel, "Fps"), QString("25"));
    QCOMPARE(PanelValue(panel, "Timecode"), QString("01:02:03:04"));
    const std::string ntscPath = (dir / "ntsc.avi").string();
    QVERIFY2(fixtures::WriteDvFile(
                 ntscPath, "type=1 standard=ntsc frames=10 date=2004-03-15T22:00:03 tc=01:02:03:04",
                 error),
             error.c_str());
    panel.ShowFile(std::make_shared<const files::FileRecord>(ntscPath, probe), "", EnglishLocale());
    QCOMPARE(PanelValue(panel, "Fps"), QString("29.97"));
    // The ';' comes from the timecode pack's drop-frame flag, not from the standard.
    QCOMPARE(PanelValue(panel, "Timecode"), QString("01:02:03:04"));
    const std::string dropPath = (dir / "ntsc-df.avi").string();
    QVERIFY2(
        fixtures::WriteDvFile(
            dropPath,
            "type=1 standard=ntsc frames=10 date=2004-03-15T22:00:03 tc=01:02:03:04+drop-frame",
            error),
        error.c_str());
    panel.ShowFile(std::make_shared<const files::FileRecord>(dropPath, probe), "", EnglishLocale());
    QCOMPARE(PanelValue(panel, "Timecode"), QString("01:02:03;04"));
    const std::string palPath = (dir / "pal-df.avi").string();
    QVERIFY2(fixtures::WriteDvFile(
                 palPath,
                 "type=1 standard=pal frames=10 date=2004-03-15T22:00:03 tc=01:02:03:04+drop-frame",
                 error),
             error.c_str());
    panel.ShowFile(std::make_shared<const files::FileRecord>(palPath, probe), "", EnglishLocale());
    QCOMPARE(PanelValue(panel, "Timecode"), QString("01:02:03:04"));
}

void WindowLookTest::theWindowAndThePictureShowTheFormatPreference() {
    Session s({},
              [](settings::Preferences& p) { p.DisplayDatecodeFormat = "yyyy-mm-dd hh:nn:ss"; });
    s.show();
    MainWindow& w = s.window();
    w.LoadFiles("Loading files", {QString::fromStdString(s.make("tape.avi", kRecorded))});
    PlayerFrame& f = *w.PlayerView();
    QVERIFY(Session::waitFor([&] { return f.Active(); }, 10000));
    const QString expected = "2004-03-15 22:00:03";
    QCOMPARE(PanelValue(*w.Player(), "Datecode"), expected);
    QCOMPARE(w.Items()
                 .data(w.Items().index(0, FileListModel::RecordedColumn), Qt::DisplayRole)
                 .toString(),
             expected);
    f.View().SeekTo(0);
    f.SetInlay(true);
    QVERIFY(Session::waitFor(
        [&] {
            f.TakePicture();
            return !f.View().Inlay().Line2().empty();
        },
        5000));
    QCOMPARE(QString::fromStdString(f.View().Inlay().Line2()), expected);
    QCOMPARE(QString::fromStdString(f.UpdateTick().Datecode), expected);
}

// The scene finder's captions hold their dates as the format preference writes them: the editor
// shows those in the window's style and saves them unchanged; a typed caption stays as typed. A
// new format reaches the panel, the list, the picture and the editor without reloading the file.
void WindowLookTest::aNewFormatReachesEveryDateAtOnceAndTheSceneCaptionsFollow() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string path = s.make("tape.avi", kRecorded);
    const std::string finder = "Scene 1: 3/15/2004 22:00:03 | Duration = 00.01";
    const std::string typed = "Scene 2: 3/15/2004 at the beach";
    {
        // The variant the window's preference saves, so a save can give the same bytes.
        scenes::ScnWriter scn(path,
                              scenes::ScnVariantFromPreference(settings::Preferences{}.ScnType));
        QVERIFY(scn.AddScene(finder, 15));
        QVERIFY(scn.AddScene(typed, 30));
        QVERIFY(scn.Close());
    }
    const fs::path scnPath = fs::path(path).replace_extension(".scn");
    const std::string stored = kelvor::test::ReadFile(scnPath);
    w.LoadFiles("Loading files", {QString::fromStdString(path)});
    PlayerFrame& f = *w.PlayerView();
    QVERIFY(Session::waitFor([&] { return f.Active(); }, 10000));
    const QString shownDate = PanelValue(*w.Player(), "Datecode");
    QCOMPARE(shownDate, QString("3/15/2004 10:00:03 PM"));
    s.trigger("EditScenes");
    SceneEditorPanel* editor = w.SceneEditor();
    QVERIFY(editor->isVisible());
    QListWidget* list = editor->List();
    QCOMPARE(list->item(0)->text(), "Scene 1: " + shownDate + " | Duration = 00.01");
    QCOMPARE(list->item(1)->text(), QString::fromStdString(typed));
    const QString screenshots = KELVOR_SCREENSHOT_DIR;
    QVERIFY(QDir().mkpath(screenshots));
    QVERIFY(w.grab().save(screenshots + "/scene-editor-dates.png"));
    editor->Select(0);
    QCOMPARE(editor->Editor()->text(), list->item(0)->text());
    // Applied as shown, the caption keeps its stored text: the scn stays byte for byte.
    editor->ApplyCaption();
    QVERIFY(editor->SaveScenes());
    QCOMPARE(kelvor::test::ReadFile(scnPath), stored);

    // A chosen format, typed into the settings and left.
    QTest::keyClick(&w, Qt::Key_F10);
    auto* format = w.Settings()->findChild<ExitLineEdit*>("DisplayFormatEdit");
    QVERIFY(format);
    format->setText("yyyy-mm-dd hh:nn:ss");
    emit format->Exited();
    const QString expected = "2004-03-15 22:00:03";
    QCOMPARE(PanelValue(*w.Player(), "Datecode"), expected);
    QCOMPARE(w.Items()
                 .data(w.Items().index(0, FileListModel::RecordedColumn), Qt::DisplayRole)
                 .toString(),
             expected);
    QCOMPARE(QString::fromStdString(f.UpdateTick().Datecode), expected);
    f.View().SeekTo(0);
    f.SetInlay(true);
    QVERIFY(Session::waitFor(
        [&] {
            f.TakePicture();
            return f.View().Inlay().Line2() == expected.toStdString();
        },
        5000));
    // The stored caption is not this format's text of its date any more: shown as it is.
    QCOMPARE(list->item(0)->text(), QString::fromStdString(finder));
}

void WindowLookTest::aLocaleChangeReachesEveryDate() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string path = s.make("tape.avi", kRecorded);
    {
        scenes::ScnWriter scn(path,
                              scenes::ScnVariantFromPreference(settings::Preferences{}.ScnType));
        QVERIFY(scn.AddScene("Scene 1: 3/15/2004 22:00:03 | Duration = 00.01", 15));
        QVERIFY(scn.Close());
    }
    w.LoadFiles("Loading files", {QString::fromStdString(path)});
    PlayerFrame& f = *w.PlayerView();
    QVERIFY(Session::waitFor([&] { return f.Active(); }, 10000));
    f.SetInlay(true);
    s.trigger("EditScenes");
    QListWidget* captions = w.SceneEditor()->List();
    const QString stored = "Scene 1: 3/15/2004 22:00:03 | Duration = 00.01";
    QCOMPARE(captions->item(0)->text(),
             QString("Scene 1: 3/15/2004 10:00:03 PM | Duration = 00.01"));

    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QEvent change(QEvent::LocaleChange);
    QCoreApplication::sendEvent(&w, &change);
    const QString date = QLocale().toString(QDate(2004, 3, 15), QLocale::ShortFormat);
    const QString expected = date + " 22:00:03";
    QCOMPARE(PanelValue(*w.Player(), "Datecode"), expected);
    QCOMPARE(w.Items()
                 .data(w.Items().index(0, FileListModel::RecordedColumn), Qt::DisplayRole)
                 .toString(),
             expected);
    // The finder wrote that caption in the old locale's style: it is no longer read as a date of
    // this one, so it shows as stored rather than in the old style.
    QCOMPARE(captions->item(0)->text(), stored);
    QVERIFY(Session::waitFor(
        [&] {
            f.TakePicture();
            return QString::fromStdString(f.UpdateTick().Datecode) == expected &&
                   f.View().Inlay().Line1() == date.toStdString();
        },
        5000));
    QLocale::setDefault(before);
}

void WindowLookTest::theDetailsViewShowsTheRecordsAndSortsByItsHeaders() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string big =
        s.make("a big.avi", "type=2 frames=50 aspect=16:9 date=2006-03-12T15:46:37");
    const std::string small = s.make("b small.avi", "type=2 frames=10 date=2004-01-02T08:00:00");
    {
        scenes::ScnWriter scn(small, scenes::ScnVariant::Wide);
        QVERIFY(scn.AddScene("", 5));
        QVERIFY(scn.AddScene("", 10));
        QVERIFY(scn.Close());
    }
    w.LoadFiles("Loading files", {QString::fromStdString(big), QString::fromStdString(small)});
    QCOMPARE(w.Items().Count(), 2);
    QVERIFY(w.DetailsShown());
    QVERIFY(!w.List()->isHeaderHidden());
    const auto cell = [&](int row, int column) {
        return w.Items().data(w.Items().index(row, column), Qt::DisplayRole).toString();
    };
    // By datecode: the 2004 tape first.
    QCOMPARE(s.names(), (std::vector<std::string>{"b small.avi", "a big.avi"}));
    QCOMPARE(cell(0, FileListModel::FormatColumn), QString("PAL 4:3"));
    QCOMPARE(cell(1, FileListModel::FormatColumn), QString("PAL 16:9"));
    QCOMPARE(cell(0, FileListModel::ScenesColumn), QString("2"));
    QCOMPARE(cell(1, FileListModel::ScenesColumn), QString());
    QCOMPARE(cell(1, FileListModel::DurationColumn),
             QString::fromStdString(w.Items().At(1).item.Record->DurationText));
    QVERIFY(!cell(0, FileListModel::SizeColumn).isEmpty());

    QHeaderView* header = w.List()->header();
    const auto click = [&](int column) {
        const QRect r(header->sectionViewportPosition(column), 0, header->sectionSize(column),
                      header->height());
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, r.center());
    };
    w.List()->selectionModel()->setCurrentIndex(w.Items().index(1), QItemSelectionModel::NoUpdate);
    click(FileListModel::SizeColumn);
    QCOMPARE(w.SortMode(), 2);
    QCOMPARE(s.names(), (std::vector<std::string>{"b small.avi", "a big.avi"}));
    click(FileListModel::NameColumn);
    QCOMPARE(w.SortMode(), 1);
    QCOMPARE(s.names(), (std::vector<std::string>{"a big.avi", "b small.avi"}));
    QCOMPARE(header->sortIndicatorSection(), int(FileListModel::NameColumn));
    // The focused file stays focused through the new orders.
    QCOMPARE(w.Items().At(w.Focused()).item.Text, std::string("a big.avi"));
    click(FileListModel::RecordedColumn);
    QCOMPARE(w.SortMode(), 0);
    // A selection made by the program and one made in the view count each file once.
    w.SelectAll();
    QCOMPARE(w.SelectedCount(), 2);
    QCOMPARE(w.SelectedRows(), (std::vector<int>{0, 1}));

    // The one-column view, from the menu, and back; the choice is a preference.
    QAction* details = w.findChild<QAction*>("DetailsView");
    QVERIFY(details && w.Menu("Files")->actions().contains(details));
    details->trigger();
    QVERIFY(!w.DetailsShown());
    QVERIFY(w.List()->isHeaderHidden());
    QVERIFY(w.List()->isColumnHidden(FileListModel::RecordedColumn));
    QVERIFY(!s.program->Prefs().Window.DetailedList);
    QCOMPARE(w.SelectedCount(), 2);
    details->trigger();
    QVERIFY(!w.List()->isColumnHidden(FileListModel::ScenesColumn));
}

void WindowLookTest::aSavedPlaceComesBackAsSavedAndInsideTheScreen() {
    QPoint saved;
    QRect first;
    for (int run = 0; run < 2; ++run) {
        Session s({}, [&](settings::Preferences& p) {
            p.Left = run == 0 ? 60 : saved.x();
            p.Top = run == 0 ? 50 : saved.y();
            p.SavePreferencesOnQuit = true;
        });
        s.show();
        MainWindow& w = s.window();
        if (run == 0)
            first = w.geometry();
        else
            QCOMPARE(w.geometry(), first);
        w.close();
        saved = QPoint(s.program->Prefs().Left, s.program->Prefs().Top);
        QCOMPARE(saved, first.topLeft());
    }
    // A place saved on a larger screen.
    Session s({}, [](settings::Preferences& p) {
        p.Left = 5000;
        p.Top = 4000;
    });
    s.show();
    MainWindow& w = s.window();
    const QRect room = w.screen()->availableGeometry();
    // A window manager frames the window after it is shown.
    Session::waitFor([&] { return room.contains(w.frameGeometry()); }, 2000);
    QVERIFY2(room.contains(w.frameGeometry()), qPrintable(QString("%1,%2 %3x%4 in %5x%6")
                                                              .arg(w.frameGeometry().x())
                                                              .arg(w.frameGeometry().y())
                                                              .arg(w.frameGeometry().width())
                                                              .arg(w.frameGeometry().height())
                                                              .arg(room.width())
                                                              .arg(room.height())));
}

void WindowLookTest::aWindowLargerThanTheRoomIsClipped() {
    const QMargins frame(1, 20, 1, 1);
    const QRect room(0, 0, 1024, 740);
    // Larger than the room and partly off it: moved in and shrunk, frame included.
    QCOMPARE(FitInside(QRect(-300, 900, 1600, 1000), frame, room), QRect(1, 20, 1022, 719));
    // Already inside: unchanged.
    QCOMPARE(FitInside(QRect(100, 100, 800, 600), frame, room), QRect(100, 100, 800, 600));
    // Off to the right and below: only moved.
    QCOMPARE(FitInside(QRect(900, 700, 400, 300), frame, room), QRect(623, 439, 400, 300));
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::WindowLookTest)
#include "WindowLookTest.moc"
