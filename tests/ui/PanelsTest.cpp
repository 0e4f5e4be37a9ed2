// The panels and dialogs on their own, on the offscreen platform: the scene editor's list
// operations and files, the repair dialogs' values and texts, and the settings panel's controls
// bound to their preferences through a store and a reload.
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "commands/CommandModule.h"
#include "core/scenes/ScnFile.h"
#include "core/scenes/SpreadsheetWriters.h"
#include "core/settings/PreferencesStore.h"
#include "support/TempDir.h"
#include "ui/PreviewSlot.h"
#include "ui/panels/RepairDialogs.h"
#include "ui/panels/SceneEditorPanel.h"
#include "ui/panels/SettingsPanel.h"

namespace kelvor::ui::test {

namespace fs = std::filesystem;
using kelvor::test::TempDir;

// A preview that shows one frame and records what the panels ask of it.
class FakePreview : public PreviewSlot, public ScenePreview {
  public:
    bool Running() const override { return playing; }
    bool Paused() const override { return !playing; }
    void Stop() override { ++stops; }
    void Pause() override { ++pauses; }
    void SetInlayAlignment(int a) override { alignment = a; }
    void SetInlayDisplayFrames(int f) override { displayFrames = f; }
    void SetInlayTimeShift(double d) override { shift = d; }
    void SetInlayDateFormats(const std::string& a, const std::string& b) override {
        line1 = a;
        line2 = b;
    }
    std::int32_t CurrentFrame() const override { return frame; }
    void SeekFrame(std::int32_t f) override { sought = f; }

    bool playing = false;
    int stops = 0, pauses = 0, alignment = -1, displayFrames = -1;
    double shift = 0;
    std::string line1, line2;
    std::int32_t frame = 0, sought = -1;
};

class FakeOptionsHost : public SettingsHost {
  public:
    void SavePreferencesNow() override { ++saves; }
    void DeleteStoredPreferences() override { ++deletes; }
    void ShowCurrentFileAgain() override { ++reshows; }
    void RefillShortcutTable() override { ++refills; }
    void ProgramChanged(int key, const QString& program) override {
        renamed.push_back({key, program});
    }
    void SendTo(bool create) override { sendTo.push_back(create); }
    double CurrentFrameRate() const override { return 25; }
    bool AskTimeDifference(double, double& d) override {
        d = answer;
        return confirm;
    }
    void CloseSettings() override {}

    int saves = 0, deletes = 0, reshows = 0, refills = 0;
    std::vector<std::pair<int, QString>> renamed;
    std::vector<bool> sendTo;
    double answer = 0;
    bool confirm = true;
};

class PanelsTest : public QObject {
    Q_OBJECT
  private slots:
    void insertingSplitsTheSceneThatHoldsTheFrame();
    void cuttingMergesIntoThePreviousScene();
    void fixingTitlesRenumbersAndMeasures();
    void sceneStartsForThePlayerSteps();
    void scenesSavedAndLoadedBack();
    void captionEditingTakesTheWindowKeysAway();
    void hidingAModifiedListAsks();
    void clickSeeksAndTheHighlightFollows();
    void frameRateInTheUsersLocale();
    void codecPaddedToFourCharacters();
    void timeDifferenceInHours();
    void timeDifferenceBetweenTwoDates();
    void everySettingSurvivesAStoreAndAReload();
    void settingsReactAtOnce();
    void inlaySettingsRedrawThePausedPreview();
    void tableOfCommandsSortedByKeysOrTitles();
    void normalStoreDeletesAReadOnlyIniFile();
    void timeDifferenceLabel();
};

void PanelsTest::insertingSplitsTheSceneThatHoldsTheFrame() {
    FakePreview preview;
    SceneEditorPanel f(nullptr);
    f.SetPreview(&preview);
    f.SetFrameRate(25);
    f.InitScenes("/nowhere/clip.avi", 1000);
    QCOMPARE(f.Scenes().size(), 1u);
    QCOMPARE(QString::fromStdString(f.Scenes()[0].Caption),
             QString("Scene 1: unique | Duration = 40.00"));
    preview.frame = 300;
    f.InsertScene();
    QCOMPARE(f.Scenes().size(), 2u);
    QCOMPARE(f.Scenes()[0].Scene, (scenes::SceneRange{0, 300}));
    QCOMPARE(f.Scenes()[1].Scene, (scenes::SceneRange{300, 1000}));
    QCOMPARE(QString::fromStdString(f.Scenes()[0].Caption),
             QString("Scene 1: unique | Duration = 12.00"));
    const QString second = QString::fromStdString(f.Scenes()[1].Caption);
    QVERIFY2(second.startsWith("Scene 2: INS ["), qPrintable(second));
    QVERIFY2(second.endsWith(" | Duration = 28.00"), qPrintable(second));
    QVERIFY(f.Modified());
    // At the first frame of a scene, and outside every scene, nothing changes.
    f.InsertScene();
    preview.frame = 0;
    f.InsertScene();
    preview.frame = 5000;
    f.InsertScene();
    QCOMPARE(f.Scenes().size(), 2u);
}

void PanelsTest::cuttingMergesIntoThePreviousScene() {
    FakePreview preview;
    SceneEditorPanel f(nullptr);
    f.SetPreview(&preview);
    f.InitScenes("/nowhere/clip.avi", 1000);
    preview.frame = 300;
    f.InsertScene();
    preview.frame = 600;
    f.InsertScene();
    QCOMPARE(f.Scenes().size(), 3u);
    f.Select(0);
    f.CutScene();
    QCOMPARE(f.Scenes().size(), 3u);
    const std::string third = f.Scenes()[2].Caption;
    f.Select(1);
    f.CutScene();
    QCOMPARE(f.Scenes().size(), 2u);
    QCOMPARE(f.Scenes()[0].Scene, (scenes::SceneRange{0, 600}));
    QCOMPARE(f.Scenes()[1].Scene, (scenes::SceneRange{600, 1000}));
    QVERIFY(QString::fromStdString(f.Scenes()[1].Caption).startsWith("Scene 2: INS"));
    QCOMPARE(f.Scenes()[1].Caption.substr(7), third.substr(7));
    QCOMPARE(QString::fromStdString(f.Scenes()[0].Caption),
             QString("Scene 1: unique | Duration = 24.00"));
}

void PanelsTest::fixingTitlesRenumbersAndMeasures() {
    TempDir tmp;
    const std::string video = (tmp.path() / "clip.avi").string();
    {
        scenes::ScnWriter w(video, scenes::ScnVariant::Wide);
        w.AddScene("first", 100);
        w.AddScene("Scene 7 second | Duration = 99", 200);
        w.AddScene("Scene 12: title | Duration = 1.2.3", 1950);
        w.AddScene("Scene 40 | Duration = 4 minutes", 2000);
        QVERIFY(w.Close());
    }
    SceneEditorPanel f(nullptr);
    f.SetFrameRate(25);
    f.LoadScenes(video);
    QCOMPARE(f.Scenes().size(), 4u);
    f.FixTitles();
    QCOMPARE(QString::fromStdString(f.Scenes()[0].Caption), QString("first"));
    QCOMPARE(QString::fromStdString(f.Scenes()[1].Caption),
             QString("Scene 2 second | Duration = 04.00"));
    QCOMPARE(QString::fromStdString(f.Scenes()[2].Caption),
             QString("Scene 3: title | Duration = 01.10.00"));
    QCOMPARE(QString::fromStdString(f.Scenes()[3].Caption),
             QString("Scene 4 | Duration = 4 minutes"));
}

void PanelsTest::sceneStartsForThePlayerSteps() {
    FakePreview preview;
    SceneEditorPanel f(nullptr);
    f.SetPreview(&preview);
    f.InitScenes("/nowhere/clip.avi", 1000);
    preview.frame = 300;
    f.InsertScene();
    QCOMPARE(f.PreviousSceneStart(0), 0);
    QCOMPARE(f.PreviousSceneStart(300), 0);
    QCOMPARE(f.PreviousSceneStart(301), 300);
    QCOMPARE(f.NextSceneStart(0, -1), 300);
    QCOMPARE(f.NextSceneStart(300, -1), -1);
}

void PanelsTest::scenesSavedAndLoadedBack() {
    TempDir tmp;
    const std::string video = (tmp.path() / "trip.avi").string();
    FakePreview preview;
    SceneEditorPanel f(nullptr);
    f.SetPreview(&preview);
    f.InitScenes(video, 1000);
    preview.frame = 250;
    f.InsertScene();
    preview.frame = 700;
    f.InsertScene();
    for (int typeScn : {1, 2}) {
        f.SetScnType(typeScn);
        QVERIFY(f.SaveScenes());
        QVERIFY(!f.Modified());
        SceneEditorPanel g(nullptr);
        g.LoadScenes(video);
        QCOMPARE(g.Scenes(), f.Scenes());
    }
    QVERIFY(f.SaveScenesText());
    QVERIFY(fs::exists(tmp.path() / "trip_scn.txt"));
    QVERIFY(f.SaveScenesSpreadsheet());
    QVERIFY(fs::exists(scenes::SpreadsheetFileName(video)));

    std::ofstream(tmp.path() / "trip.scn", std::ios::binary | std::ios::trunc) << "garbage";
    SceneEditorPanel g(nullptr);
    g.LoadScenes(video);
    QCOMPARE(g.Scenes().size(), 1u);
    QCOMPARE(QString::fromStdString(g.Scenes()[0].Caption), QString("Error in the scn file"));
    QCOMPARE(g.Scenes()[0].Scene, (scenes::SceneRange{0, 0}));
}

void PanelsTest::captionEditingTakesTheWindowKeysAway() {
    QAction play, remove, paste, all;
    play.setShortcut(QKeySequence(Qt::Key_Space));
    remove.setShortcut(QKeySequence(Qt::Key_Delete));
    paste.setShortcut(QKeySequence("Ctrl+V"));
    all.setShortcut(QKeySequence("Ctrl+A"));
    SceneEditorPanel f(nullptr);
    f.SetShortcutActions({&play, &remove, &paste, &all});
    f.InitScenes("/nowhere/clip.avi", 100);
    f.Select(0);
    QCOMPARE(f.Editor()->text(), QString::fromStdString(f.Scenes()[0].Caption));
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(f.Editor(), &in);
    QVERIFY(play.shortcut().isEmpty() && remove.shortcut().isEmpty() &&
            paste.shortcut().isEmpty() && all.shortcut().isEmpty());
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(f.Editor(), &out);
    QCOMPARE(play.shortcut(), QKeySequence(Qt::Key_Space));
    QCOMPARE(remove.shortcut(), QKeySequence(Qt::Key_Delete));
    QCOMPARE(paste.shortcut(), QKeySequence("Ctrl+V"));
    QCOMPARE(all.shortcut(), QKeySequence("Ctrl+A"));
    QVERIFY(f.Modified());
    f.Editor()->setText("Scene 1: the beach");
    f.ApplyCaption();
    QCOMPARE(f.Scenes()[0].Caption, std::string("Scene 1: the beach"));
    QCOMPARE(f.List()->item(0)->text(), QString("Scene 1: the beach"));
}

void PanelsTest::hidingAModifiedListAsks() {
    TempDir tmp;
    const std::string video = (tmp.path() / "clip.avi").string();
    FakePreview preview;
    SceneEditorPanel f(nullptr);
    f.SetPreview(&preview);
    QStringList asked;
    bool answer = false;
    f.AskSave = [&](const QString& q) {
        asked << q;
        return answer;
    };
    f.InitScenes(video, 500);
    f.ShowEditor();
    f.HideEditor();
    QVERIFY(asked.isEmpty());
    preview.frame = 100;
    f.InsertScene();
    f.HideEditor();
    QCOMPARE(asked.size(), 1);
    QVERIFY(asked[0].startsWith("Voulez-vous enregistrer"));
    QVERIFY(!fs::exists(tmp.path() / "clip.scn"));
    answer = true;
    f.HideEditor();
    QVERIFY(fs::exists(tmp.path() / "clip.scn"));
    QVERIFY(f.isHidden());
}

void PanelsTest::clickSeeksAndTheHighlightFollows() {
    FakePreview preview;
    SceneEditorPanel f(nullptr);
    f.SetPreview(&preview);
    f.resize(300, 400);
    f.show();
    f.InitScenes("/nowhere/clip.avi", 1000);
    preview.frame = 400;
    f.InsertScene();
    f.FollowFrame(450);
    QCOMPARE(f.List()->currentRow(), 1);  // not following yet: the insert's selection stays
    const QRect second = f.List()->visualItemRect(f.List()->item(1));
    QTest::mouseClick(f.List()->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(preview.sought, 400);
    QVERIFY(f.Following());
    f.FollowFrame(10);
    QCOMPARE(f.List()->currentRow(), 0);
    f.FollowFrame(999);
    QCOMPARE(f.List()->currentRow(), 1);
    QTest::mousePress(f.List()->viewport(), Qt::LeftButton, {}, second.center());
    QVERIFY(!f.Following());
}

void PanelsTest::frameRateInTheUsersLocale() {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    FrameRateDialog d(nullptr);
    QVERIFY(!d.ValueBox()->isEnabled());
    d.SetChoice(2);
    QVERIFY(d.ValueBox()->isEnabled());
    d.ValueBox()->setText("29,97");
    d.ClickOk();
    QVERIFY(d.Confirmed());
    QCOMPARE(d.TargetFps, 29.97);
    d.ValueBox()->setText("abc");
    d.ClickOk();
    QVERIFY(!d.Confirmed());
    QCOMPARE(d.TargetFps, 29.97);
    d.SetChoice(0);
    QVERIFY(!d.ValueBox()->isEnabled());
    d.ClickOk();
    QCOMPARE(d.TargetFps, 25.0);
    d.SetChoice(1);
    d.ClickOk();
    QCOMPARE(d.TargetFps, 29.97);
    d.SetChoice(-1);
    d.TargetFps = 12;
    d.ClickOk();
    QVERIFY(d.Confirmed());
    QCOMPARE(d.TargetFps, 12.0);
    QCOMPARE(d.windowTitle(), QString("Fix the framerate"));
    QLocale::setDefault(saved);
}

void PanelsTest::codecPaddedToFourCharacters() {
    CodecDialog d(nullptr);
    d.SetChoice(3);
    QVERIFY(d.ValueBox()->isEnabled());
    d.ValueBox()->setText("ab");
    d.ClickOk();
    QVERIFY(d.Confirmed());
    QCOMPARE(d.TargetCodec, QString("ab  "));
    d.SetChoice(2);
    d.ClickOk();
    QCOMPARE(d.TargetCodec, QString("CDVC"));
    QCOMPARE(d.ChoiceBox()->itemText(0), QString("dvsd (Microsoft)"));
}

void PanelsTest::timeDifferenceInHours() {
    TimeShiftDialog d(nullptr);
    std::vector<double> shifts;
    d.ShiftChanged = [&](double s) { shifts.push_back(s); };
    d.SetAdvanced(false);
    d.SetDates(45487.5, 45487.5);
    d.Activate();
    d.SetHours(2);
    QCOMPARE(d.ResultText(), QString("2h"));
    QCOMPARE(d.Difference(), 2 / 24.0);
    QCOMPARE(shifts.back(), 2 / 24.0);
    d.ClickOk();
    QVERIFY(d.Confirmed());
    QCOMPARE(QString::fromStdString(commands::CommandModule::TimeDifferenceSuffix(d.Difference())),
             QString("_(+2h).avi"));
    d.SetHours(-3);
    QCOMPARE(d.ResultText(), QString("-3h"));
    d.ClickCancel();
    QVERIFY(!d.Confirmed());
}

void PanelsTest::timeDifferenceBetweenTwoDates() {
    TimeShiftDialog d(nullptr);
    std::vector<bool> modes;
    d.AdvancedChanged = [&](bool on) { modes.push_back(on); };
    const double tape = 45487.5;  // 14 July 2024, noon
    d.SetDates(tape, tape);
    d.SetAdvanced(true);
    d.Activate();
    QCOMPARE(d.ResultText(), QString("0 days 0h 0m 0s"));
    const QDateTime noon(QDate(2024, 7, 14), QTime(12, 0));
    d.SetFixedDateTime(noon.addDays(1).addSecs(30 * 60));
    QCOMPARE(d.ResultText(), QString("1 days 0h 30m 0s"));
    QCOMPARE(QString::fromStdString(commands::CommandModule::TimeDifferenceSuffix(d.Difference())),
             QString("_(+1days30mn).avi"));
    d.SetFixedDateTime(noon.addSecs(-90 * 60));
    QCOMPARE(d.ResultText(), QString("0 days -1h -30m 0s"));
    d.EqualDates();
    QCOMPARE(d.ResultText(), QString("0 days 0h 0m 0s"));
    // Back to simple mode: the whole hours of the difference, sign kept.
    d.SetFixedDateTime(noon.addSecs(-5 * 3600 - 600));
    auto* box = d.findChild<QCheckBox*>("AdvancedBox");
    QVERIFY(box);
    box->setChecked(false);
    QCOMPARE(modes, (std::vector<bool>{false}));
    QCOMPARE(d.ResultText(), QString("-5h"));
    QCOMPARE(d.Difference(), -5 / 24.0);
    box->setChecked(true);
    QCOMPARE(d.ResultText(), QString("0 days -5h 0m 0s"));
}

namespace {

settings::PreferencesEnvironment Environment(const fs::path& dir) {
    settings::PreferencesEnvironment env;
    env.Locations.ProgramFile = dir / "bin" / "kelvor";
    env.Locations.ConfigHome = dir / "config";
    env.DocumentsFolder = dir.string();
    env.Now = [] { return 45487.5; };
    fs::create_directories(dir / "bin");
    return env;
}

void Leave(QLineEdit* e, const QString& text) {
    e->setText(text);
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(e, &out);
}

}  // namespace

void PanelsTest::everySettingSurvivesAStoreAndAReload() {
    TempDir tmp;
    const auto env = Environment(tmp.path());
    fs::create_directories(tmp.path() / "save");
    settings::Preferences p;
    settings::LoadPreferences(p, env);
    FakeOptionsHost host;
    SettingsPanel f(nullptr, p);
    f.SetHost(&host);
    f.Fill();
    // Every control away from its default.
    f.storeGroup->button(1)->click();
    f.openWithBox->click();
    f.selectOnOpenBox->click();
    f.halfSizeBox->click();
    f.saveListOnQuitBox->click();
    f.dvAudioRateGroup->button(0)->click();
    f.standardGroup->button(1)->click();
    f.scnTypeGroup->button(1)->click();
    f.sortShortcutsBox->click();
    Leave(f.renameRootEdit, "Holiday_");
    Leave(f.renameFormatEdit, "yyyymmdd");
    Leave(f.addDatecodeFormatEdit, "yyyy mm dd");
    Leave(f.displayFormatEdit, "dd/mm/yyyy");
    f.addBeforeNameBox->click();
    Leave(f.inlayFormat1Edit, "dd-mm-yy");
    Leave(f.inlayFormat2Edit, "hh:nn:ss");
    const QString save = QString::fromStdString((tmp.path() / "save").string());
    Leave(f.openFolderEdit, "/media/open");
    Leave(f.preferredFolderEdit, "/media/auto");
    f.playlistFolderEdit->setText("/media/lists");
    f.sameFolderBox->click();
    QVERIFY(f.saveFolderEdit->isEnabled());
    Leave(f.saveFolderEdit, save);
    f.standardFontSizeBox->click();
    f.borderSpin->setValue(3);
    f.alignGroup->button(1)->click();
    f.inlayWhatGroup->button(1)->click();
    f.inlayAutoBox->click();
    f.inlayWhenGroup->button(2)->click();
    Leave(f.inlayDurationEdit, "7");
    f.varnoltProgramEdit->setText("/opt/varnolt");
    f.f3ProgramEdit->setText("/usr/bin/vlc");
    f.f4ProgramEdit->setText("/usr/bin/mpv");

    settings::Preferences expected = p;
    expected.IniMode = true;
    expected.Portable = true;
    expected.OfferInOpenWith = true;
    expected.SelectOnOpen = true;
    expected.PreviewDvAtHalfSize = false;
    expected.SaveListOnQuit = true;
    expected.SavePreferencesOnQuit = true;
    expected.DvAudioRate = 0;
    expected.DefaultStandard = 2;
    expected.ScnType = 2;
    expected.SortShortcutsByCaption = true;
    expected.RenameRoot = "Holiday_";
    expected.RenameFormat = "yyyymmdd";
    expected.AddDatecodeFormat = "yyyy mm dd";
    expected.DisplayDatecodeFormat = "dd/mm/yyyy";
    expected.AddBeforeName = true;
    expected.InlayFormat1 = "dd-mm-yy";
    expected.InlayFormat2 = "hh:nn:ss";
    expected.OpenFolder = "/media/open/";
    expected.PreferredFolder = "/media/auto/";
    expected.PlaylistFolder = "/media/lists/";
    expected.SaveInSameFolder = false;
    expected.SaveFolder = save.toStdString() + "/";
    expected.StandardFontSize = false;
    expected.BorderSize = 3;
    expected.InlayAlignment = 1;
    expected.InlayWhat = 1;
    expected.InlayAuto = 1;
    expected.InlayWhen = 2;
    expected.InlayDuration = 7;
    expected.VarnoltProgram = "/opt/varnolt";
    expected.F3Program = "/usr/bin/vlc";
    expected.F4Program = "/usr/bin/mpv";
    // Each reaction has already written its preference, except the playlist folder, which
    // waits for the read-back.
    {
        settings::Preferences atOnce = expected;
        atOnce.PlaylistFolder = p.PlaylistFolder;
        atOnce.Portable = p.Portable;
        QVERIFY(p == atOnce);
    }
    f.ReadBack();
    QVERIFY(p == expected);
    QVERIFY(settings::StorePreferences(p, env));
    QVERIFY(fs::exists(env.Locations.IniFile()));

    settings::Preferences reloaded;
    settings::LoadPreferences(reloaded, env);
    SettingsPanel g(nullptr, reloaded);
    g.SetHost(&host);
    g.Fill();
    g.ReadBack();
    reloaded.PortableDrive = expected.PortableDrive;
    QCOMPARE(QString::fromStdString(reloaded.SaveFolder),
             QString::fromStdString(expected.SaveFolder));
    QVERIFY(reloaded == expected);
    QCOMPARE(g.storeGroup->checkedId(), 1);
    QCOMPARE(g.alignGroup->checkedId(), 1);
    QVERIFY(!g.sortShortcutsBox->isChecked());
    QVERIFY(g.inlayWhenGroup->buttons()[0]->parentWidget()->isEnabled());
}

void PanelsTest::settingsReactAtOnce() {
    TempDir tmp;
    settings::Preferences p;
    p.SaveFolder = (tmp.path() / "gone").string() + "/";
    p.SaveInSameFolder = false;
    FakeOptionsHost host;
    FakePreview preview;
    SettingsPanel f(nullptr, p);
    f.SetHost(&host);
    f.SetPreview(&preview);
    f.Fill();
    // The missing save folder sends conversions beside their sources; the box shows the store.
    QVERIFY(p.SaveInSameFolder);
    QVERIFY(!f.sameFolderBox->isChecked());
    QCOMPARE(host.sendTo, (std::vector<bool>{false}));
    // The playlist box checks the preferences box; unchecking it leaves that one.
    QVERIFY(!f.savePrefsOnQuitBox->isChecked());
    f.saveListOnQuitBox->click();
    QVERIFY(f.savePrefsOnQuitBox->isChecked() && p.SavePreferencesOnQuit);
    f.saveListOnQuitBox->click();
    QVERIFY(f.savePrefsOnQuitBox->isChecked());
    // A duration that is no whole number counts as 5 seconds.
    Leave(f.inlayDurationEdit, "abc");
    QCOMPARE(p.InlayDuration, 5);
    QCOMPARE(preview.displayFrames, 125);
    QCOMPARE(f.inlayDurationEdit->text(), QString("abc"));
    // An emptied folder is the root.
    Leave(f.preferredFolderEdit, "");
    QCOMPARE(p.PreferredFolder, std::string("/"));
    // F3 and F4 rename their actions at once.
    f.f3ProgramEdit->setText("/usr/bin/vlc");
    QCOMPARE(host.renamed.back(), (std::pair<int, QString>{3, "/usr/bin/vlc"}));
    f.varnoltProgramEdit->setText("/opt/v");
    QCOMPARE(host.renamed.size(), 1u);
    f.openWithBox->click();
    QCOMPARE(host.sendTo.back(), true);
    QVERIFY(p.OfferInOpenWith);
    f.saveNowButton->click();
    QCOMPARE(host.saves, 1);
    QVERIFY(!p.SavePreferencesOnQuit);
    f.deletePrefsButton->click();
    QCOMPARE(host.deletes, 1);
    QVERIFY(!f.savePrefsOnQuitBox->isChecked());
    QCOMPARE(host.sendTo.back(), true);
    f.sortShortcutsBox->click();
    QCOMPARE(host.refills, 1);
    f.halfSizeBox->click();
    QCOMPARE(host.reshows, 1);
    QVERIFY(!p.PreviewDvAtHalfSize);
}

void PanelsTest::inlaySettingsRedrawThePausedPreview() {
    settings::Preferences p;
    FakeOptionsHost host;
    FakePreview preview;
    SettingsPanel f(nullptr, p);
    f.SetHost(&host);
    f.SetPreview(&preview);
    f.Fill();
    const int stops = preview.stops, pauses = preview.pauses;
    f.alignGroup->button(1)->click();
    QCOMPARE(preview.alignment, 1);
    QCOMPARE(preview.stops, stops + 1);
    QCOMPARE(preview.pauses, pauses + 1);
    preview.playing = true;
    f.alignGroup->button(0)->click();
    QCOMPARE(preview.alignment, 0);
    QCOMPARE(preview.stops, stops + 1);
    preview.playing = false;
    Leave(f.inlayFormat1Edit, "dd");
    QCOMPARE(preview.line1, std::string("dd"));
    QCOMPARE(preview.line2, p.InlayFormat2);
    // A cancelled font dialog still passes the font and redraws.
    f.ChooseFont = [](settings::InlayFontSettings&) { return false; };
    const int before = preview.stops;
    f.inlayFontButton->click();
    QCOMPARE(preview.stops, before + 1);
    // The time difference: confirmed, the preference, the filter and the detailed label.
    host.answer = 1 + 30 / 1440.0;
    f.advancedShiftButton->click();
    QCOMPARE(p.TimeShift, host.answer);
    QCOMPARE(preview.shift, host.answer);
    QCOMPARE(f.ShiftLabel()->text(), QString("1 days 0h 30m 0s"));
    host.confirm = false;
    host.answer = 0;
    f.advancedShiftButton->click();
    QCOMPARE(p.TimeShift, 1 + 30 / 1440.0);
}

void PanelsTest::tableOfCommandsSortedByKeysOrTitles() {
    settings::Preferences p;
    FakeOptionsHost host;
    SettingsPanel f(nullptr, p);
    f.SetHost(&host);
    f.Fill();
    const std::vector<CommandKeyRow> actions = {
        {"Open files", "Ctrl+O", 'O'},
        {"Add datecode", "Ctrl+D", 'D'},
        {"Also Ctrl+D", "Ctrl+D", 0},
        {"No key", "", 'N'},
        {"", "Ctrl+Q", 0},
        {"about", "F1", 0},
    };
    QVERIFY(f.sortShortcutsBox->isChecked());
    f.FillShortcuts(actions);
    QTableWidget* t = f.Table();
    QCOMPARE(t->rowCount(), 3);
    QCOMPARE(t->horizontalHeaderItem(0)->text(), QString("Keys"));
    QCOMPARE(t->horizontalHeaderItem(1)->text(), QString("Functions"));
    QCOMPARE(t->horizontalHeaderItem(2)->text(), QString("Switch"));
    QCOMPARE(t->item(0, 0)->text(), QString("Ctrl+D"));
    QCOMPARE(t->item(0, 1)->text(), QString("Add datecode"));
    QCOMPARE(t->item(0, 2)->text(), QString("D"));
    QCOMPARE(t->item(2, 0)->text(), QString("F1"));
    QCOMPARE(t->item(2, 2)->text(), QString());
    f.sortShortcutsBox->click();
    QVERIFY(p.SortShortcutsByCaption);
    f.FillShortcuts(actions);
    QCOMPARE(t->rowCount(), 4);
    QCOMPARE(t->horizontalHeaderItem(0)->text(), QString("Functions"));
    // The columns share the whole width, the names taking what the keys leave: the table is
    // shown on its own, as its tab would show it.
    QWidget* page = t->parentWidget();
    t->setParent(nullptr);
    t->resize(600, 300);
    t->show();
    QVERIFY(QTest::qWaitForWindowExposed(t));
    QCOMPARE(t->columnWidth(0) + t->columnWidth(1) + t->columnWidth(2), t->viewport()->width());
    QVERIFY(t->columnWidth(0) > t->columnWidth(1));
    t->hide();
    t->setParent(page);
    QStringList order;
    for (int r = 0; r < t->rowCount(); ++r)
        order << t->item(r, 0)->text();
    QCOMPARE(order, (QStringList{"about", "Add datecode", "Also Ctrl+D", "Open files"}));
}

void PanelsTest::normalStoreDeletesAReadOnlyIniFile() {
    TempDir tmp;
    const fs::path ini = tmp.path() / "Kelvor.ini";
    std::ofstream(ini) << "[x]\n";
    fs::permissions(ini, fs::perms::owner_read);
    settings::Preferences p;
    p.IniMode = true;
    SettingsPanel f(nullptr, p);
    f.SetIniFile(ini);
    f.Fill();
    QVERIFY(fs::exists(ini));
    f.storeGroup->button(0)->click();
    QVERIFY(!p.IniMode);
    QVERIFY(!fs::exists(ini));
    f.storeGroup->button(1)->click();
    QVERIFY(p.IniMode);
    QVERIFY(!fs::exists(ini));
}

void PanelsTest::timeDifferenceLabel() {
    QCOMPARE(SettingsPanel::ShiftText(-2 / 24.0, false), QString("-2h"));
    QCOMPARE(SettingsPanel::ShiftText(2 / 24.0, false), QString("2h"));
    QCOMPARE(SettingsPanel::ShiftText(1 + 30 / 1440.0, true), QString("1 days 0h 30m 0s"));
    QCOMPARE(SettingsPanel::ShiftText(-90 / 1440.0, true), QString("0 days -1h -30m 0s"));
    settings::Preferences p;
    p.TimeShift = -2 / 24.0;
    SettingsPanel f(nullptr, p);
    f.Fill();
    // The Inlay tab shows the whole difference whichever way it was set.
    QCOMPARE(f.ShiftLabel()->text(), QString("0 days -2h 0m 0s"));
    p.AdvancedTimeShift = true;
    f.Fill();
    QCOMPARE(f.ShiftLabel()->text(), QString("0 days -2h 0m 0s"));
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::PanelsTest)
#include "PanelsTest.moc"
