// Pictures of the panels and dialogs, saved under build/screenshots for a person to look at:
// each tab of the settings panel, the about panel's three tabs, the scene editor beside the
// player and the three repair dialogs. Run under a virtual X server when one is at hand.
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>

#include "ui/PreviewSlot.h"
#include "ui/UiTestSupport.h"
#include "ui/panels/AboutPanel.h"
#include "ui/panels/RepairDialogs.h"
#include "ui/panels/SceneEditorPanel.h"
#include "ui/panels/SettingsPanel.h"

namespace kelvor::ui::test {

class PausedPreview : public PreviewSlot {
  public:
    bool Active() const override { return true; }
    bool Paused() const override { return true; }
    std::int32_t CurrentFrame() const override { return frame; }
    void SeekFrame(std::int32_t f) override { frame = f; }
    std::int32_t frame = 0;
};

class PanelScreensTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void settingsTabs();
    void aboutTabs();
    void sceneEditor();
    void repairDialogs();

  private:
    void save(QWidget& widget, const QString& name);
    QString dir_ = KELVOR_SCREENSHOT_DIR;
};

void PanelScreensTest::initTestCase() {
    QVERIFY(QDir().mkpath(dir_));
}

void PanelScreensTest::save(QWidget& widget, const QString& name) {
    QTest::qWait(100);
    const QPixmap picture = widget.grab();
    QVERIFY(!picture.isNull());
    QVERIFY(picture.save(dir_ + "/" + name + ".png"));
}

void PanelScreensTest::settingsTabs() {
    Session s;
    s.show();
    s.trigger("Settings");
    SettingsPanel* f = s.window().Settings();
    const QStringList names = {"preferences", "shortcuts", "formats", "folders", "inlay", "files"};
    for (int i = 0; i < f->Tabs()->count(); ++i) {
        f->Tabs()->setCurrentIndex(i);
        save(s.window(), QString("20-settings-%1-%2").arg(i + 1).arg(names[i]));
    }
}

void PanelScreensTest::aboutTabs() {
    Session s;
    s.show();
    s.trigger("About");
    AboutPanel* a = s.window().About();
    const QStringList names = {"about", "system", "test"};
    for (int i = 0; i < a->Tabs()->count(); ++i) {
        a->Tabs()->setCurrentIndex(i);
        save(s.window(), QString("21-about-%1-%2").arg(i + 1).arg(names[i]));
    }
}

void PanelScreensTest::sceneEditor() {
    Session s;
    PausedPreview preview;
    s.window().SetPreview(&preview);
    s.show();
    MainWindow& w = s.window();
    const std::string clip = s.make("holiday-2024.avi", Clip("2024-07-14T10:00:00", 100));
    w.LoadFiles("Loading files", {QString::fromStdString(clip)});
    QVERIFY(s.waitFor([&] { return w.Items().Count() == 1; }));
    w.SelectionChanged();
    s.trigger("EditScenes");
    SceneEditorPanel* e = w.SceneEditor();
    for (int f : {25, 60, 80}) {
        preview.frame = f;
        e->InsertScene();
    }
    e->Select(1);
    save(w, "22-scene-editor");
    s.dialogs.answers.push_back(commands::Answer::No);
    s.trigger("EditScenes");
}

void PanelScreensTest::repairDialogs() {
    QWidget parent;
    FrameRateDialog fps(&parent);
    fps.SetChoice(2);
    fps.ValueBox()->setText("23.976");
    fps.show();
    QVERIFY(QTest::qWaitForWindowExposed(&fps));
    save(fps, "23-dialog-framerate");
    CodecDialog codec(&parent);
    codec.SetChoice(0);
    codec.show();
    QVERIFY(QTest::qWaitForWindowExposed(&codec));
    save(codec, "24-dialog-codec");
    TimeShiftDialog shift(&parent);
    shift.SetDates(45487.5, 45487.5);
    shift.SetAdvanced(false);
    shift.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shift));
    shift.SetHours(2);
    save(shift, "25-dialog-time-difference-simple");
    shift.SetAdvanced(true);
    shift.Activate();
    shift.SetFixedDateTime(QDateTime(QDate(2024, 7, 15), QTime(12, 30)));
    shift.adjustSize();
    save(shift, "26-dialog-time-difference-advanced");
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::PanelScreensTest)
#include "PanelScreensTest.moc"
