// The main list: which files it takes, where they go in each sort mode, which item stays
// focused, the counter texts, the list's place (F6) and the ways files arrive (drop, paste, the
// open dialog).
#include <QClipboard>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

#include "ui/UiTestSupport.h"

namespace kelvor::ui::test {

class ListTest : public QObject {
    Q_OBJECT
  private slots:
    void takesAviFilesInAnyCaseOnly();
    void takesRawDvByNameAndByContent();
    void theSameFileTwiceIsOneItemWithAFreshRecord();
    void aFileInsertedBeforeTheFocusedOneKeepsItFocused();
    void eachSortModeOrdersTheList();
    void equalSizesAreOrderedByPath();
    void removingTheFocusedItemFocusesTheOneBefore();
    void theListShowsItselfFromTwoFiles();
    void countersFollowTheSelection();
    void f6TwiceRestoresTheWidth();
    void droppedAndPastedFilesAreAdded();
    void openDialogAddsTheChosenFiles();
};

void ListTest::takesAviFilesInAnyCaseOnly() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string upper = s.make("CLIP.AVI", Clip("2024-07-14T10:00:00"));
    kelvor::test::WriteFile(s.dir / "notes.txt", "x");
    kelvor::test::WriteFile(s.dir / "clip.avi.bak", "x");
    fs::create_directories(s.dir / "folder.avi");
    QCOMPARE(w.AddFile(upper), 0);
    QCOMPARE(w.AddFile(s.path("notes.txt")), -1);
    QCOMPARE(w.AddFile(s.path("clip.avi.bak")), -1);
    QCOMPARE(w.AddFile(s.path("missing.avi")), -1);
    QCOMPARE(w.AddFile(s.path("folder.avi")), -1);
    QCOMPARE(w.Items().Count(), 1);
    QCOMPARE(s.names(), std::vector<std::string>{"CLIP.AVI"});
    QVERIFY(!w.WelcomeShown());
}

void ListTest::takesRawDvByNameAndByContent() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string tape = s.make("raw/tape.dv", "type=raw frames=5 date=2006-03-12T15:46:37");
    fs::copy_file(tape, s.dir / "raw" / "CAPTURE.DIF");
    fs::copy_file(tape, s.dir / "raw" / "capture-001");
    kelvor::test::WriteFile(s.dir / "raw" / "notes.txt", "x");
    QCOMPARE(w.AddFile(tape), 0);
    QCOMPARE(w.Items().At(0).item.Record->DatecodeKey, std::string("20060312154637"));
    QVERIFY(w.Items().At(0).item.Record->IsDV);
    // The folder scan takes them by name and by their first bytes, and nothing else.
    w.EmptyList();
    w.ScanFolders({s.path("raw").c_str()}, "Browsing a folder");
    QVERIFY(Session::waitFor([&] { return w.Items().Count() == 3 && w.StatusText() == "Ready"; }));
    std::vector<std::string> names = s.names();
    std::sort(names.begin(), names.end());
    QCOMPARE(names, (std::vector<std::string>{"CAPTURE.DIF", "capture-001", "tape.dv"}));
}

void ListTest::theSameFileTwiceIsOneItemWithAFreshRecord() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string a = s.make("a.avi", Clip("2024-07-14T10:00:00"));
    QCOMPARE(w.AddFile(a), 0);
    const auto first = w.Items().At(0).item.Record;
    // The same file by another spelling of its path.
    QCOMPARE(w.AddFile((s.dir / "." / "a.avi").string()), 0);
    QCOMPARE(w.Items().Count(), 1);
    QVERIFY(w.Items().At(0).item.Record != first);
    QCOMPARE(w.Items().At(0).item.Text, std::string("a.avi"));
}

void ListTest::aFileInsertedBeforeTheFocusedOneKeepsItFocused() {
    Session s({}, [](settings::Preferences& p) { p.ListOrder = 1; });
    s.show();
    MainWindow& w = s.window();
    QCOMPARE(w.SortMode(), 1);
    for (const char* n : {"b.avi", "d.avi"})
        w.AddFile(s.make(n, Clip("2024-07-14T10:00:00")));
    // The focused item is the last one.
    w.List()->selectionModel()->setCurrentIndex(w.Items().index(1),
                                                QItemSelectionModel::ClearAndSelect);
    QCOMPARE(w.AddFile(s.make("a.avi", Clip("2024-07-14T10:00:00"))), 0);
    QCOMPARE(w.Focused(), 2);
    QCOMPARE(w.CurrentFile()->Name, std::string("d.avi"));
    // Now a middle one, and a file that sorts after it.
    w.List()->selectionModel()->setCurrentIndex(w.Items().index(1),
                                                QItemSelectionModel::ClearAndSelect);
    w.AddFile(s.make("c.avi", Clip("2024-07-14T10:00:00")));
    QCOMPARE(w.Focused(), 1);
    w.AddFile(s.make("0.avi", Clip("2024-07-14T10:00:00")));
    QCOMPARE(w.Focused(), 2);
    QCOMPARE(w.CurrentFile()->Name, std::string("b.avi"));
    QCOMPARE(s.names(), (std::vector<std::string>{"0.avi", "a.avi", "b.avi", "c.avi", "d.avi"}));
}

void ListTest::eachSortModeOrdersTheList() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    // Names, recording dates, sizes and file dates each give another order.
    const std::string x = s.make("x.avi", Clip("2024-07-14T08:00:00", 7));
    const std::string y = s.make("y.avi", Clip("2024-07-14T09:00:00", 5));
    const std::string z = s.make("z.avi", Clip("2024-07-14T07:00:00", 6));
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(x, now - std::chrono::hours(1));
    fs::last_write_time(y, now - std::chrono::hours(3));
    fs::last_write_time(z, now - std::chrono::hours(2));
    for (const auto& p : {x, y, z})
        w.AddFile(p);
    QCOMPARE(w.SortMode(), 0);
    QCOMPARE(s.names(), (std::vector<std::string>{"z.avi", "x.avi", "y.avi"}));
    // The selection and the focus follow their files through every new order.
    w.List()->selectionModel()->setCurrentIndex(w.Items().index(1),
                                                QItemSelectionModel::ClearAndSelect);
    w.SelectionChanged();
    s.trigger("SortByName");
    QCOMPARE(s.names(), (std::vector<std::string>{"x.avi", "y.avi", "z.avi"}));
    QCOMPARE(w.CounterText(), QString("1 file of 3 - sorted alphabetically"));
    s.trigger("SortBySize");
    QCOMPARE(s.names(), (std::vector<std::string>{"y.avi", "z.avi", "x.avi"}));
    s.trigger("SortByFileDate");
    QCOMPARE(s.names(), (std::vector<std::string>{"y.avi", "z.avi", "x.avi"}));
    fs::last_write_time(x, now - std::chrono::hours(4));
    w.RefreshItem(w.FindItem(fs::absolute(x).lexically_normal().string()));
    s.trigger("SortByFileDate");
    QCOMPARE(s.names(), (std::vector<std::string>{"x.avi", "y.avi", "z.avi"}));
    s.trigger("SortByDatecode");
    QCOMPARE(s.names(), (std::vector<std::string>{"z.avi", "x.avi", "y.avi"}));
    QCOMPARE(w.CurrentFile()->Name, std::string("x.avi"));
    QCOMPARE(w.SelectedRows(), std::vector<int>{1});
    QCOMPARE(w.SortMode(), 0);
}

void ListTest::equalSizesAreOrderedByPath() {
    Session s({}, [](settings::Preferences& p) { p.ListOrder = 2; });
    s.show();
    MainWindow& w = s.window();
    w.AddFile(s.make("sub/b.avi", Clip("2024-07-14T10:00:00")));
    w.AddFile(s.make("a.avi", Clip("2024-07-14T10:00:00")));
    w.AddFile(s.make("b.avi", Clip("2024-07-14T10:00:00")));
    QCOMPARE(fs::file_size(s.path("a.avi")), fs::file_size(s.path("sub/b.avi")));
    QCOMPARE(s.names(), (std::vector<std::string>{"a.avi", "b.avi", "b.avi"}));
    QCOMPARE(w.Items().At(2).item.FullName(), s.path("sub/b.avi"));
}

void ListTest::removingTheFocusedItemFocusesTheOneBefore() {
    Session s({}, [](settings::Preferences& p) { p.ListOrder = 1; });
    s.show();
    MainWindow& w = s.window();
    for (const char* n : {"a.avi", "b.avi", "c.avi"})
        w.AddFile(s.make(n, Clip("2024-07-14T10:00:00")));
    w.List()->selectionModel()->setCurrentIndex(w.Items().index(2),
                                                QItemSelectionModel::ClearAndSelect);
    w.RemoveItem(2);
    QCOMPARE(w.Focused(), 1);
    w.RemoveItem(-1);
    w.RemoveItem(7);
    QCOMPARE(w.Items().Count(), 2);
    w.List()->selectionModel()->setCurrentIndex(w.Items().index(0),
                                                QItemSelectionModel::ClearAndSelect);
    w.RemoveItem(0);
    QCOMPARE(w.Focused(), 0);
    QCOMPARE(w.Items().At(0).item.Text, std::string("b.avi"));
    w.RemoveItem(0);
    QCOMPARE(w.Focused(), -1);
    w.RefreshList();
    QVERIFY(!w.CurrentFile());
    QVERIFY(w.WelcomeShown());
}

void ListTest::theListShowsItselfFromTwoFiles() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    QVERIFY(w.WelcomeShown());
    QVERIFY(w.Availability().empty());
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("a.avi", Clip("2024-07-14T10:00:00")))});
    QVERIFY(!w.ListShown());
    QVERIFY(!w.WelcomeShown());
    QCOMPARE(w.Availability(), (std::set<std::string>{"mono", "multi"}));
    QVERIFY(!w.Action("SelectAll")->isVisible());
    QVERIFY(w.Action("AddDatecode")->isVisible());
    // The only file became the current one at the end of the loading.
    QCOMPARE(w.CurrentFile()->Name, std::string("a.avi"));
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("b.avi", Clip("2024-07-14T11:00:00")))});
    QVERIFY(w.ListShown());
    QCOMPARE(w.Availability(), (std::set<std::string>{"liste", "mono", "multi"}));
    QVERIFY(w.Action("SelectAll")->isVisible());
    QVERIFY(w.Action("SelectAll")->isEnabled());
    QCOMPARE(w.CurrentFile()->Name, std::string("a.avi"));
    QCOMPARE(w.Action("ToggleList")->text(), QString("Hide the list"));
}

void ListTest::countersFollowTheSelection() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    w.AddFile(s.make("a.avi", Clip("2024-07-14T10:00:00")));
    w.AddFile(s.make("b.avi", Clip("2024-07-14T11:00:00")));
    w.AddFile(s.make("c.avi", Clip("2024-07-14T12:00:00")));
    QItemSelectionModel* sel = w.List()->selectionModel();
    sel->setCurrentIndex(w.Items().index(0), QItemSelectionModel::ClearAndSelect);
    w.SelectionChanged();
    QCOMPARE(w.CounterText(), QString("1 file of 3 - sorted by datecode"));
    QCOMPARE(w.ListHint(), QString("1 file selected of 3\r\nType F6 to hide the list."));
    sel->select(w.Items().index(2), QItemSelectionModel::Select);
    w.SelectionChanged();
    QCOMPARE(w.CounterText(), QString("2 files of 3 - sorted by datecode"));
    QVERIFY(w.ListHint().startsWith("2 files selecteds of 3\r\n"));
    s.trigger("SelectAll");
    QCOMPARE(w.CounterText(), QString("3 files of 3 - sorted by datecode"));
    // The focused item is always among the selected ones.
    sel->clearSelection();
    w.SelectionChanged();
    QCOMPARE(w.CounterText(), QString("1 file of 3 - sorted by datecode"));
}

void ListTest::f6TwiceRestoresTheWidth() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    w.AddFile(s.make("a.avi", Clip("2024-07-14T10:00:00")));
    w.EndLoading();
    const int hidden = w.width();
    QVERIFY(!w.ListShown());
    QTest::keyClick(&w, Qt::Key_F6);
    QVERIFY(w.ListShown());
    const int shown = w.width();
    QVERIFY(shown > hidden);
    QVERIFY(w.List()->isVisible());
    QTest::keyClick(&w, Qt::Key_F6);
    QCOMPARE(w.width(), hidden);
    QVERIFY(!w.List()->isVisible());
    QTest::keyClick(&w, Qt::Key_F6);
    QCOMPARE(w.width(), shown);
}

void ListTest::droppedAndPastedFilesAreAdded() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string a = s.make("a.avi", Clip("2024-07-14T10:00:00"));
    const std::string b = s.make("b.AVI", Clip("2024-07-14T11:00:00"));
    kelvor::test::WriteFile(s.dir / "c.txt", "x");
    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(QString::fromStdString(a)),
                  QUrl::fromLocalFile(s.path("c.txt").c_str()),
                  QUrl::fromLocalFile(s.path("gone.avi").c_str())});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent event(QPointF(100, 100), Qt::CopyAction, &drop, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &event);
    QVERIFY(event.isAccepted());
    QVERIFY(Session::waitFor([&] { return w.Items().Count() == 1; }));
    QCOMPARE(w.StatusText(), QString("Ready"));

    // Paste is offered only while the clipboard holds files; the window looks when it is
    // activated again.
    QApplication::clipboard()->setText("just text");
    QEvent activation(QEvent::ActivationChange);
    QApplication::sendEvent(&w, &activation);
    QVERIFY(!w.Action("PasteFiles")->isEnabled());
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(QString::fromStdString(b)),
                    QUrl::fromLocalFile(QString::fromStdString(a))});
    QApplication::clipboard()->setMimeData(files);
    QApplication::sendEvent(&w, &activation);
    QVERIFY(w.Action("PasteFiles")->isEnabled());
    QTest::keyClick(&w, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(s.names(), (std::vector<std::string>{"a.avi", "b.AVI"}));
}

void ListTest::openDialogAddsTheChosenFiles() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    s.dialogs.filesToOpen = {QString::fromStdString(s.make("b.avi", Clip("2024-07-14T11:00:00"))),
                             QString::fromStdString(s.make("a.avi", Clip("2024-07-14T10:00:00")))};
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(s.names(), (std::vector<std::string>{"a.avi", "b.avi"}));
    QCOMPARE(w.StatusText(), QString("Ready"));
    // Nothing chosen: nothing changes.
    s.dialogs.filesToOpen.clear();
    s.trigger("OpenFiles");
    QCOMPARE(w.Items().Count(), 2);
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::ListTest)
#include "ListTest.moc"
