// The actions: which are offered for which list and selection, their keys, menus and pop-ups,
// the repair dialogs' presets, volume and mute.
#include <QItemSelectionModel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

#include "commands/CommandModule.h"
#include "ui/ActionTable.h"
#include "ui/CommandDialogs.h"
#include "ui/PlayerPanel.h"
#include "ui/TimeStamp.h"
#include "ui/UiTestSupport.h"

namespace kelvor::ui::test {

class ActionsTest : public QObject {
    Q_OBJECT
  private slots:
    void availabilityFollowsTheListAndThePanels();
    void multiActionsAskEverySelectedFile();
    void monoActionsAskTheCurrentFile();
    void keysOfTheActions();
    void ctrlQShortensWhenItAppliesAndQuitsOtherwise();
    void menusAndPopUpsHoldTheActions();
    void repairDialogsOpenOnTheirPresets();
    void presetsOfTheRepairDialogs();
    void timeStampsOfThePlayer();
    void volumeAndMute();
};

namespace {

bool Offered(MainWindow& w, const char* name) {
    QAction* a = w.Action(name);
    return a && a->isVisible() && a->isEnabled();
}

}  // namespace

void ActionsTest::availabilityFollowsTheListAndThePanels() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    // Empty: only the permanent and file-opening actions.
    QVERIFY(Offered(w, "OpenFiles"));
    QVERIFY(Offered(w, "Quit"));
    QVERIFY(!Offered(w, "AddDatecode"));
    QVERIFY(!Offered(w, "ShowInFolder"));
    QVERIFY(!Offered(w, "EmptyList"));
    // Menus without a visible item are hidden.
    QVERIFY(w.Menu("Files")->menuAction()->isVisible());
    QVERIFY(!w.Menu("Rename")->menuAction()->isVisible());

    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("a.avi", Clip("2024-07-14T10:00:00")))});
    QVERIFY(Offered(w, "AddDatecode"));
    QVERIFY(Offered(w, "ShowInFolder"));
    QVERIFY(!w.Action("EmptyList")->isVisible());
    QVERIFY(w.Menu("Rename")->menuAction()->isVisible());
    // F6 shows the list: its actions come with it even for one file, but stay unavailable.
    QTest::keyClick(&w, Qt::Key_F6);
    QVERIFY(w.ListShown());
    QVERIFY(!Offered(w, "EmptyList"));

    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("b.avi", Clip("2024-07-14T11:00:00")))});
    QVERIFY(Offered(w, "EmptyList"));
    QVERIFY(Offered(w, "SortBySize"));

    // A panel takes every list, file and selection action away, and the menus with them.
    QTest::keyClick(&w, Qt::Key_F10);
    QVERIFY(w.PanelShown());
    QVERIFY(w.Availability().empty());
    QVERIFY(!Offered(w, "AddDatecode"));
    QVERIFY(!Offered(w, "EmptyList"));
    QVERIFY(Offered(w, "OpenFiles"));
    for (const char* m : MenuNames())
        QVERIFY2(!w.Menu(m)->menuAction()->isVisible(), m);
    // F1 swaps the settings for the about panel; F1 again closes it.
    QTest::keyClick(&w, Qt::Key_F1);
    QVERIFY(w.Action("About")->isChecked());
    QVERIFY(!w.Action("Settings")->isChecked());
    QTest::keyClick(&w, Qt::Key_F1);
    QVERIFY(!w.PanelShown());
    QVERIFY(Offered(w, "AddDatecode"));
    QVERIFY(w.Menu("Files")->menuAction()->isVisible());

    // Ctrl+Del empties the list and the list actions go again.
    QTest::keyClick(&w, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(w.Items().Count(), 0);
    QVERIFY(w.WelcomeShown());
    QVERIFY(!Offered(w, "AddDatecode"));
}

void ActionsTest::multiActionsAskEverySelectedFile() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string t1 = s.make("type1.avi", "type=1 frames=5 date=2024-07-14T10:00:00");
    const std::string t2 = s.make("type2.avi", "type=2 frames=5 date=2024-07-14T11:00:00");
    w.LoadFiles("Loading files", {QString::fromStdString(t1), QString::fromStdString(t2)});
    QItemSelectionModel* sel = w.List()->selectionModel();
    // Into DV type 1 applies to type 2 files only, into type 2 to type 1 files only.
    sel->setCurrentIndex(w.Items().index(w.FindItem(t1)), QItemSelectionModel::ClearAndSelect);
    w.SelectionChanged();
    QVERIFY(!w.Action("ToType1")->isEnabled());
    QVERIFY(w.Action("ToType2")->isEnabled());
    sel->select(w.Items().index(w.FindItem(t2)), QItemSelectionModel::Select);
    w.SelectionChanged();
    QVERIFY(w.Action("ToType1")->isEnabled());
    QVERIFY(w.Action("ToType2")->isEnabled());
    // A command without a file condition is always offered.
    QVERIFY(Offered(w, "RemoveFromList"));
}

void ActionsTest::monoActionsAskTheCurrentFile() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string t1 = s.make("type1.avi", "type=1 frames=5 date=2024-07-14T10:00:00");
    const std::string t2 = s.make("type2.avi", "type=2 frames=5 date=2024-07-14T11:00:00");
    w.LoadFiles("Loading files", {QString::fromStdString(t1), QString::fromStdString(t2)});
    QItemSelectionModel* sel = w.List()->selectionModel();
    // The inlay needs a type 2 file or the codec dvsd; the current file decides, not the
    // selection.
    sel->setCurrentIndex(w.Items().index(w.FindItem(t2)), QItemSelectionModel::ClearAndSelect);
    w.SelectionChanged();
    const bool type2 = w.Action("ShowInlay")->isEnabled();
    QVERIFY(type2);
    sel->setCurrentIndex(w.Items().index(w.FindItem(t1)), QItemSelectionModel::ClearAndSelect);
    sel->select(w.Items().index(w.FindItem(t2)), QItemSelectionModel::Select);
    w.SelectionChanged();
    const files::FileRecord& r = *w.CurrentFile();
    QCOMPARE(r.Name, std::string("type1.avi"));
    QCOMPARE(w.Action("ShowInlay")->isEnabled(), r.Codec == "dvsd");
    // The parent folder of the current file, with Ctrl+F.
    QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(s.desktop.shown, std::vector<std::string>{t1});
}

void ActionsTest::keysOfTheActions() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const auto keys = [&](const char* name) { return w.Action(name)->shortcuts(); };
    QCOMPARE(keys("ToType1"), QList<QKeySequence>{QKeySequence(Qt::ControlModifier |
                                                               Qt::KeypadModifier | Qt::Key_1)});
    QCOMPARE(keys("ToType2"), QList<QKeySequence>{QKeySequence(Qt::ControlModifier |
                                                               Qt::KeypadModifier | Qt::Key_2)});
    QCOMPARE(keys("VolumeUp").size(), 2);
    // The menu shows the first key: the plain + and - rather than "Num++" and "Num+-".
    QCOMPARE(w.Action("VolumeUp")->shortcut(), QKeySequence(Qt::Key_Plus));
    QCOMPARE(w.Action("VolumeDown")->shortcut(), QKeySequence(Qt::Key_Minus));
    QCOMPARE(keys("NextScene").size(), 2);
    QCOMPARE(keys("Fullscreen").size(), 2);
    QCOMPARE(keys("ScenesByContent"),
             QList<QKeySequence>{QKeySequence(Qt::ControlModifier | Qt::Key_Semicolon)});
    // The keypad's 1 converts, the 1 of the main keyboard does not.
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("a.avi", Clip("2024-07-14T10:00:00")))});
    QSignalSpy typeOne(w.Action("ToType1"), &QAction::triggered);
    w.Action("ToType1")->setEnabled(true);
    QTest::keyClick(&w, Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(typeOne.count(), 0);
    QTest::keyClick(&w, Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(typeOne.count(), 1);
    QVERIFY(s.waitForRun());
    // Every action has a caption and an image; no two actions that are offered share a key.
    std::map<QString, QString> owner;
    for (QAction* a : w.Actions()) {
        QVERIFY2(!a->text().isEmpty(), qPrintable(a->objectName()));
        QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
        if (!a->isVisible() || !a->isEnabled())
            continue;
        for (const QKeySequence& k : a->shortcuts()) {
            const QString key = k.toString();
            QVERIFY2(!owner.count(key), qPrintable(key + " " + owner[key] + " " + a->objectName()));
            owner[key] = a->objectName();
        }
    }
}

void ActionsTest::ctrlQShortensWhenItAppliesAndQuitsOtherwise() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const QKeySequence ctrlQ(Qt::ControlModifier | Qt::Key_Q);
    QVERIFY(w.Action("Quit")->shortcuts().contains(ctrlQ));
    // A name with something to shorten makes Ctrl+Q the key of "Shorten the name".
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("clip_type2.avi", Clip("2024-07-14T10:00:00")))});
    QVERIFY(Offered(w, "ShortenName"));
    QVERIFY(!w.Action("Quit")->shortcuts().contains(ctrlQ));
    s.dialogs.answers = {commands::Answer::Yes};
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(s.waitForRun());
    QVERIFY(w.isVisible());
    QCOMPARE(s.names(), std::vector<std::string>{"clip.avi"});
    // Now nothing is left to shorten: Ctrl+Q quits.
    QVERIFY(!Offered(w, "ShortenName"));
    QVERIFY(w.Action("Quit")->shortcuts().contains(ctrlQ));
    s.dialogs.saveAnswers = {SaveAnswer::No};
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!w.isVisible());
}

void ActionsTest::menusAndPopUpsHoldTheActions() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    QStringList titles;
    for (QAction* m : w.menuBar()->actions())
        titles << m->text();
    QCOMPARE(titles, (QStringList{"Files", "Video", "Rename", "Convert", "Scenes", "?"}));
    QMenu* sort = w.Menu("Files/Sort the list");
    QVERIFY(sort);
    QCOMPARE(sort->actions().size(), 4);
    QVERIFY(w.ListPopup()->actions().contains(w.Action("SelectAll")));
    QVERIFY(w.VideoPopup()->actions().contains(w.Action("Mute")));
    QVERIFY(w.WindowPopup()->actions().contains(w.Action("Quit")));
    // Every action of the table is in a menu or on the window, with the table's caption.
    for (const ActionDef& d : ActionTable()) {
        QAction* a = w.Action(d.Name);
        QVERIFY2(a, d.Name);
        if (std::string(d.Name) != "OpenInVarnolt" && std::string(d.Name).rfind("OpenWith", 0) &&
            std::string(d.Name) != "ToggleList" && std::string(d.Name) != "ShowInlay" &&
            std::string(d.Name) != "ShowInlaySliders")
            QCOMPARE(a->text(), QString(d.Caption));
    }
    QCOMPARE(w.Action("OpenInVarnolt")->text(), QString("Open with "));
    QCOMPARE(w.Action("ShowInlay")->text(), QString("Show inlay"));
    // Every command of the command table with a menu has its action there, bound to it, with
    // the table's key; the counts match.
    int withMenu = 0;
    for (const commands::CommandInfo& c : commands::CommandTable()) {
        if (!c.Action.Menu[0])
            continue;
        ++withMenu;
        QAction* a = w.Action(c.Name);
        QVERIFY2(a, c.Name);
        QVERIFY2(w.Menu(c.Action.Menu)->actions().contains(a), c.Name);
        QCOMPARE(a->shortcut(), QKeySequence::fromString(c.Action.Keys));
    }
    int bound = 0;
    for (const ActionDef& d : ActionTable())
        bound += d.Command[0] ? 1 : 0;
    QCOMPARE(bound, withMenu);
    QCOMPARE(withMenu, 35);
    QCOMPARE(w.windowTitle(), QString("Kelvor %1 by Quennel").arg(w.VersionText()));
    QCOMPARE(w.VersionText().count('.'), 2);
}

void ActionsTest::repairDialogsOpenOnTheirPresets() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string ntsc =
        s.make("ntsc.avi", "type=2 standard=ntsc frames=5 date=2024-07-14T10:00:00");
    const std::string undated = s.make("undated.avi", "type=2 frames=5 date=none");
    w.LoadFiles("Loading files", {QString::fromStdString(ntsc), QString::fromStdString(undated)});
    QItemSelectionModel* sel = w.List()->selectionModel();
    sel->setCurrentIndex(w.Items().index(w.FindItem(ntsc)), QItemSelectionModel::ClearAndSelect);
    w.SelectionChanged();
    // The first time: 29.97 frames per second opens on the second choice.
    s.dialogs.confirmRepair = false;
    QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(s.dialogs.choicesShown, std::vector<int>{1});
    // Later it keeps the choice made before, whatever the file.
    sel->setCurrentIndex(w.Items().index(w.FindItem(undated)), QItemSelectionModel::ClearAndSelect);
    w.SelectionChanged();
    s.trigger("FixFrameRate");
    QCOMPARE(s.dialogs.choicesShown, (std::vector<int>{1, 1}));
    // The codec dvsd is the first choice.
    s.trigger("FixCodec");
    QCOMPARE(s.dialogs.choicesShown.back(), 0);
    QCOMPARE(s.dialogs.codesShown.back(), QString("dvsd"));
    // A file without datecode takes the present time as the reference.
    s.dialogs.valuesShown.clear();
    s.trigger("ShiftTime");
    QCOMPARE(s.dialogs.valuesShown, std::vector<double>{45487.5});
    QVERIFY(!w.RunActive());
}

void ActionsTest::presetsOfTheRepairDialogs() {
    QCOMPARE(FrameRateChoice(25), 0);
    QCOMPARE(FrameRateChoice(30000.0 / 1001.0), 1);
    QCOMPARE(FrameRateChoice(29.97), 1);
    QCOMPARE(FrameRateChoice(24), 2);
    QCOMPARE(FrameRateChoice(30), 2);
    QCOMPARE(CodecChoice("DVSD"), 0);
    QCOMPARE(CodecChoice("dsvd"), 1);
    QCOMPARE(CodecChoice("CdVc"), 2);
    QCOMPARE(CodecChoice("mjpg"), 3);
    QCOMPARE(TimeDifferenceReference(45000.25, 45487.5), 45000.25);
    QCOMPARE(TimeDifferenceReference(0, 45487.5), 45487.5);
}

void ActionsTest::timeStampsOfThePlayer() {
    QCOMPARE(TimeStampText(76, 25), std::string("0:00:03:01"));
    QCOMPARE(TimeStampText(12345678, 0), std::string("0:00:01:234"));
    // An NTSC frame rate: the 30th frame is still in the first second's count.
    QCOMPARE(TimeStampText(30, 30000.0 / 1001.0), std::string("0:00:01:00"));
    QCOMPARE(TimeStampText(25 * 3725 + 24, 25), std::string("1:02:05:24"));
    QCOMPARE(TimeStampText(-5, 25), std::string("0:00:00:00"));
}

void ActionsTest::volumeAndMute() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    QCOMPARE(w.Volume(), 10000);
    QTest::keyClick(&w, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(&w, Qt::Key_Minus, Qt::KeypadModifier);
    QCOMPARE(w.Volume(), 8000);
    for (int i = 0; i < 12; ++i)
        s.trigger("VolumeDown");
    QCOMPARE(w.Volume(), 0);
    QTest::keyClick(&w, Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(w.Volume(), 1000);
    QCOMPARE(w.Player()->NeedleVisible(), true);
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("a.avi", Clip("2024-07-14T10:00:00")))});
    QTest::keyClick(&w, Qt::Key_M, Qt::ControlModifier);
    QVERIFY(w.Muted());
    QCOMPARE(w.Action("Mute")->text(), QString("Sound on"));
    QCOMPARE(w.Action("Mute")->toolTip(), QString("Sound is Off.\r\nClick to turn the sound On."));
    QVERIFY(!w.Player()->NeedleVisible());
    QTest::keyClick(&w, Qt::Key_M, Qt::ControlModifier);
    QVERIFY(!w.Muted());
    QCOMPARE(w.Action("Mute")->text(), QString("Sound off"));
    QVERIFY(w.Player()->NeedleVisible());
    for (int i = 0; i < 12; ++i)
        s.trigger("VolumeUp");
    QCOMPARE(w.Volume(), 10000);
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::ActionsTest)
#include "ActionsTest.moc"
