// The panels inside the real window, as a user meets them: the settings opened with F10 and
// closed again, a store that reads every control back, the scene editor on the file in the
// player, the about panel's reports and the RIFF report window.
#include <QButtonGroup>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolButton>

#include "core/scenes/ScnFile.h"
#include "ui/PreviewSlot.h"
#include "ui/UiTestSupport.h"
#include "ui/panels/AboutPanel.h"
#include "ui/panels/RiffReportWindow.h"
#include "ui/panels/SceneEditorPanel.h"
#include "ui/panels/SettingsPanel.h"

namespace kelvor::ui::test {

// A paused preview on a frame of the tests' choosing.
class FramePreview : public PreviewSlot {
  public:
    bool Active() const override { return true; }
    bool Paused() const override { return true; }
    std::int32_t CurrentFrame() const override { return frame; }
    void SeekFrame(std::int32_t f) override { frame = f; }
    std::int32_t frame = 0;
};

class PanelWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void settingsOpenWithF10AndGiveTheKeysBack();
    void aStoreReadsEveryControlBack();
    void scenesEditedSavedAndReopened();
    void aboutPanelReports();
    void riffReportInItsWindow();
};

void PanelWindowTest::settingsOpenWithF10AndGiveTheKeysBack() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    QAction* play = w.Action("PlayStop");
    QAction* remove = w.Action("RemoveFromList");
    const QKeySequence playKey = play->shortcut(), removeKey = remove->shortcut();
    QVERIFY(!playKey.isEmpty() && !removeKey.isEmpty());
    s.trigger("Settings");
    SettingsPanel* f = w.Settings();
    QVERIFY(f->isVisible());
    QVERIFY(play->shortcut().isEmpty() && remove->shortcut().isEmpty());
    QVERIFY(f->findChild<QLabel*>("TitleLabel")->text().startsWith("Kelvor "));
    // The table of commands is there, sorted by keys at first start.
    QVERIFY(f->Table()->rowCount() > 20);
    QCOMPARE(f->Table()->horizontalHeaderItem(0)->text(), QString("Keys"));
    // A new display format is the preference as soon as the field is left.
    f->displayFormatEdit->setText("dd/mm/yyyy hh:nn");
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(f->displayFormatEdit, &out);
    QCOMPARE(s.program->Prefs().DisplayDatecodeFormat, std::string("dd/mm/yyyy hh:nn"));
    // F3 renames its action at once.
    f->f3ProgramEdit->setText("/usr/bin/vlc");
    QCOMPARE(w.Action("OpenWithF3")->text(), QString("Open with vlc"));
    f->findChild<QPushButton*>("CloseButton")->click();
    QVERIFY(!f->isVisible());
    QCOMPARE(play->shortcut(), playKey);
    QCOMPARE(remove->shortcut(), removeKey);
}

void PanelWindowTest::aStoreReadsEveryControlBack() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    SettingsPanel* f = w.Settings();
    // Controls without a reaction of their own reach the preferences at the store.
    f->playlistFolderEdit->setText(QString::fromStdString(s.path("lists")));
    f->borderSpin->setValue(4);
    f->saveNowButton->click();
    settings::Preferences reloaded;
    settings::PreferencesEnvironment env;
    env.Locations.ProgramFile = s.dir.path() / "bin" / "kelvor";
    env.Locations.ConfigHome = s.dir.path() / "config";
    env.ProgramRoot = "/";
    settings::LoadPreferences(reloaded, env);
    QCOMPARE(reloaded.PlaylistFolder, s.path("lists") + "/");
    QCOMPARE(reloaded.BorderSize, 4);
}

void PanelWindowTest::scenesEditedSavedAndReopened() {
    Session s;
    FramePreview preview;
    s.window().SetPreview(&preview);
    s.show();
    MainWindow& w = s.window();
    const std::string clip = s.make("trip.avi", Clip("2024-07-14T10:00:00", 50));
    w.LoadFiles("Loading files", {QString::fromStdString(clip)});
    QVERIFY(s.waitFor([&] { return w.Items().Count() == 1; }));
    w.SelectionChanged();
    s.trigger("EditScenes");
    SceneEditorPanel* e = w.SceneEditor();
    QVERIFY(e->isVisible());
    QCOMPARE(e->Scenes().size(), 1u);
    QCOMPARE(e->Scenes()[0].Scene.EndFrame, 50);
    preview.frame = 10;
    e->InsertScene();
    preview.frame = 30;
    e->InsertScene();
    QCOMPARE(e->Scenes().size(), 3u);
    e->findChild<QToolButton*>("SaveScnButton")->click();
    QVERIFY(!e->Modified());
    s.trigger("EditScenes");
    QVERIFY(!e->isVisible());
    QVERIFY(s.dialogs.questions.empty());
    scenes::SceneList stored;
    QVERIFY(scenes::ReadScnFile(scenes::ReplaceExtension(clip, ".scn"), stored, 25));
    QCOMPARE(stored.size(), 3u);
    QCOMPARE(stored[1].Scene, (scenes::SceneRange{10, 30}));
    s.trigger("EditScenes");
    QCOMPARE(e->Scenes(), stored);
    // A click on a scene shows its first frame.
    const QRect third = e->List()->visualItemRect(e->List()->item(2));
    QTest::mouseClick(e->List()->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(preview.frame, 30);
    s.trigger("EditScenes");
}

void PanelWindowTest::aboutPanelReports() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    s.trigger("About");
    AboutPanel* a = w.About();
    QVERIFY(a->isVisible());
    const QString system = a->SystemBox()->toPlainText();
    QVERIFY2(system.contains("My operating system is: \nTest OS. "), qPrintable(system));
    QVERIFY(system.contains("FFmpeg"));
    QVERIFY(system.contains("Varnolt not found"));
    a->Tabs()->setCurrentIndex(2);
    const QString report = a->TestBox()->toPlainText();
    QVERIFY2(report.startsWith("\nTest of Directshow filters\nAll filters for Video are available"),
             qPrintable(report));
    QCOMPARE(a->ChecksRun(), 1);
    a->Tabs()->setCurrentIndex(0);
    a->Tabs()->setCurrentIndex(2);
    QCOMPARE(a->ChecksRun(), 2);
    QCOMPARE(a->TestBox()->toPlainText(), report);
}

void PanelWindowTest::riffReportInItsWindow() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string clip = s.make("riff.avi", Clip("2024-07-14T10:00:00", 5));
    w.LoadFiles("Loading files", {QString::fromStdString(clip)});
    QVERIFY(s.waitFor([&] { return w.Items().Count() == 1; }));
    w.SelectionChanged();
    s.trigger("RiffReport");
    QVERIFY(s.waitFor([&] { return w.RiffWindow() != nullptr; }));
    RiffReportWindow* r = w.RiffWindow();
    QVERIFY(s.waitFor([&] { return !r->Running() && r->List()->count() > 0; }));
    QVERIFY(r->windowTitle().startsWith("Header of the file "));
    QVERIFY(r->SaveButton()->isEnabled());
    const std::string log = s.path("riff.log");
    r->ChooseSaveFile = [&](const QString&) { return QString::fromStdString(log); };
    r->SaveClicked();
    QVERIFY(fs::exists(log));
    QVERIFY(fs::file_size(log) > 100);
    r->CloseClicked();
    QVERIFY(!r->isVisible());
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::PanelWindowTest)
#include "PanelWindowTest.moc"
