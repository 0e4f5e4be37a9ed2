// The folder scanner on its own, with the order of what it reports, and through the window: the
// folder dialog, the preferred folder, every disk, and Esc in the middle of a scan.
#include <dirent.h>

#include <condition_variable>
#include <future>
#include <mutex>

#include "ui/FolderScanner.h"
#include "ui/ScanFeed.h"
#include "ui/UiTestSupport.h"

namespace kelvor::ui::test {

class ScannerTest : public QObject {
    Q_OBJECT
  private slots:
    void reportsATreeInTheFileSystemsOrder();
    void queuedFoldersAndFoldersThatDoNotExist();
    void withoutRecursionSubfoldersAreLeftOut();
    void stopEndsTheScanAndDropsTheQueue();
    void theFeedIsBoundedAndDropsFilesOnAbort();
    void theWindowScansTheChosenFolder();
    void escStopsTheWindowsScan();
    void openAllScansEveryDisk();
};

namespace {

// What a scanner reported, in order, and a wait for its end callbacks.
struct Log {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;
    int ends = 0;
    std::function<void(const std::string&)> onFile;
    std::function<void()> onBegin;

    FolderScanner::Callbacks callbacks(const std::string& root) {
        const auto rel = [root](const std::string& p) {
            return p.size() >= root.size() ? p.substr(root.size()) : p;
        };
        FolderScanner::Callbacks on;
        on.OnDirWithFiles = [this, rel](FolderScanner&, const std::string& f) {
            add("folder " + rel(f));
        };
        on.OnFileFound = [this, rel](FolderScanner&, const std::string& f) {
            if (onFile)
                onFile(f);
            add("file " + rel(f));
        };
        on.OnEndScan = [this, rel](FolderScanner&, const std::string& r, bool, const std::string&) {
            {
                std::lock_guard lock(mutex);
                events.push_back("end " + rel(r));
                ++ends;
            }
            changed.notify_all();
        };
        on.OnBeginScan = [this, rel](FolderScanner&, const std::string& r, bool,
                                     const std::string&) {
            if (onBegin)
                onBegin();
            add("begin " + rel(r));
        };
        return on;
    }
    void add(const std::string& e) {
        std::lock_guard lock(mutex);
        events.push_back(e);
    }
    bool waitEnds(int n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(20), [&] { return ends >= n; });
    }
    std::vector<std::string> taken() {
        std::lock_guard lock(mutex);
        return events;
    }
};

// The entry names of a folder in the order the file system gives them.
std::vector<std::string> Order(const fs::path& folder) {
    std::vector<std::string> names;
    DIR* d = ::opendir(folder.c_str());
    while (const dirent* e = d ? ::readdir(d) : nullptr)
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    if (d)
        ::closedir(d);
    return names;
}

}  // namespace

void ScannerTest::reportsATreeInTheFileSystemsOrder() {
    kelvor::test::TempDir dir;
    const fs::path root = dir / "root";
    kelvor::test::WriteFile(root / "a.avi", "x");
    kelvor::test::WriteFile(root / "sub" / "b.avi", "x");
    kelvor::test::WriteFile(root / "c.avi", "x");
    kelvor::test::WriteFile(root / ".hidden", "x");
    fs::create_directories(root / "only-folders" / "inner");
    kelvor::test::WriteFile(root / "only-folders" / "inner" / "d.avi", "x");
    // A link back up the tree is not followed.
    fs::create_directory_symlink(root, root / "sub" / "loop");
    // What the scanner must report: each folder when its listing starts and again when files
    // follow a subfolder, every file after its folder, in the order the file system lists them.
    std::vector<std::string> expected = {"begin "};
    std::string current;
    std::function<void(const fs::path&, const std::string&)> walk = [&](const fs::path& p,
                                                                        const std::string& rel) {
        expected.push_back("folder " + rel);
        current = rel;
        for (const std::string& n : Order(p)) {
            const fs::path child = p / n;
            if (fs::is_symlink(child) && fs::is_directory(child))
                continue;
            if (fs::is_directory(child)) {
                walk(child, rel + n + "/");
                continue;
            }
            if (current != rel) {
                expected.push_back("folder " + rel);
                current = rel;
            }
            expected.push_back("file " + rel + n);
        }
        current = rel;
    };
    walk(root, "");
    expected.push_back("end ");

    Log log;
    const std::string base = root.string() + "/";
    {
        FolderScanner scanner(log.callbacks(base));
        // Given without its trailing delimiter, scanned as if it had one.
        scanner.QueueFolder(root.string());
        QVERIFY(log.waitEnds(1));
        QVERIFY(QTest::qWaitFor([&] { return scanner.Sleeping(); }, 5000));
        QVERIFY(!scanner.Busy());
    }
    const std::vector<std::string> got = log.taken();
    QCOMPARE(got, expected);
    QCOMPARE(std::count_if(got.begin(), got.end(),
                           [](const std::string& e) { return e.rfind("file ", 0) == 0; }),
             5);
    // The folder holding only a folder is reported all the same.
    QVERIFY(std::find(got.begin(), got.end(), "folder only-folders/") != got.end());
}

void ScannerTest::queuedFoldersAndFoldersThatDoNotExist() {
    kelvor::test::TempDir dir;
    kelvor::test::WriteFile(dir / "one" / "a.avi", "x");
    kelvor::test::WriteFile(dir / "two" / "b.avi", "x");
    Log log;
    FolderScanner scanner(log.callbacks(dir.path().string() + "/"));
    scanner.QueueFolder((dir / "missing").string());
    scanner.QueueFolder((dir / "one").string());
    scanner.QueueFolder((dir / "two/").string());
    QVERIFY(log.waitEnds(2));
    QVERIFY(QTest::qWaitFor([&] { return scanner.Sleeping(); }, 5000));
    QCOMPARE(log.taken(),
             (std::vector<std::string>{"begin one/", "folder one/", "file one/a.avi", "end one/",
                                       "begin two/", "folder two/", "file two/b.avi", "end two/"}));
}

void ScannerTest::withoutRecursionSubfoldersAreLeftOut() {
    kelvor::test::TempDir dir;
    kelvor::test::WriteFile(dir / "r" / "a.avi", "x");
    kelvor::test::WriteFile(dir / "r" / "sub" / "b.avi", "x");
    Log log;
    FolderScanner scanner(log.callbacks(dir.path().string() + "/"), "*.*", false);
    scanner.QueueFolder((dir / "r").string());
    QVERIFY(log.waitEnds(1));
    QCOMPARE(log.taken(),
             (std::vector<std::string>{"begin r/", "folder r/", "file r/a.avi", "end r/"}));
}

void ScannerTest::stopEndsTheScanAndDropsTheQueue() {
    kelvor::test::TempDir dir;
    for (int i = 0; i < 50; ++i)
        kelvor::test::WriteFile(dir / "big" / ("f" + std::to_string(i) + ".avi"), "x");
    kelvor::test::WriteFile(dir / "dropped" / "x.avi", "x");
    kelvor::test::WriteFile(dir / "later" / "y.avi", "x");
    Log log;
    FolderScanner* scanner = nullptr;
    int files = 0;
    // Abort at the third file of the first folder, as Esc does during "Open all".
    log.onFile = [&](const std::string&) {
        if (++files == 3)
            scanner->Stop();
    };
    // Both folders are queued before the scan of the first begins.
    std::promise<void> queued;
    std::shared_future<void> bothQueued = queued.get_future().share();
    log.onBegin = [bothQueued] { bothQueued.wait(); };
    FolderScanner s(log.callbacks(dir.path().string() + "/"));
    scanner = &s;
    s.QueueFolder((dir / "big").string());
    s.QueueFolder((dir / "dropped").string());
    queued.set_value();
    QVERIFY(log.waitEnds(1));
    QVERIFY(QTest::qWaitFor([&] { return s.Sleeping(); }, 5000));
    std::vector<std::string> got = log.taken();
    QCOMPARE(std::count_if(got.begin(), got.end(),
                           [](const std::string& e) { return e.rfind("file ", 0) == 0; }),
             3);
    QCOMPARE(got.back(), std::string("end big/"));
    QVERIFY(s.ScanGoFlag);
    // The next folder queued is scanned normally.
    log.onFile = nullptr;
    s.QueueFolder((dir / "later").string());
    QVERIFY(log.waitEnds(2));
    got = log.taken();
    QCOMPARE(got.back(), std::string("end later/"));
    QVERIFY(std::find(got.begin(), got.end(), "file dropped/x.avi") == got.end());
}

void ScannerTest::theFeedIsBoundedAndDropsFilesOnAbort() {
    int wakes = 0;
    ScanFeed feed([&] { ++wakes; }, 2);
    feed.Push({ScanFeed::Kind::Folder, "/f/"});
    feed.Push({ScanFeed::Kind::File, "/f/a.avi"});
    QCOMPARE(wakes, 1);
    // Full: the next file waits until the UI thread takes one.
    std::atomic<bool> pushed{false};
    std::thread producer([&] {
        feed.Push({ScanFeed::Kind::File, "/f/b.avi"});
        pushed = true;
    });
    QTest::qWait(50);
    QVERIFY(!pushed);
    ScanFeed::Report r;
    QVERIFY(feed.Take(r));
    QCOMPARE(r.text, std::string("/f/"));
    producer.join();
    QVERIFY(pushed);
    // An abort drops the files waiting, keeps the end, and frees a waiting scanner.
    feed.Reject();
    feed.Push({ScanFeed::Kind::File, "/f/c.avi"});
    feed.Push({ScanFeed::Kind::End, "/f/"});
    QVERIFY(feed.Take(r));
    QVERIFY(r.kind == ScanFeed::Kind::End);
    QVERIFY(!feed.Take(r));
    feed.Accept();
    feed.Push({ScanFeed::Kind::File, "/g/d.avi"});
    QCOMPARE(wakes, 2);
    QVERIFY(feed.Take(r));
    QCOMPARE(r.text, std::string("/g/d.avi"));
}

void ScannerTest::theWindowScansTheChosenFolder() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    s.make("videos/a.avi", Clip("2024-07-14T10:00:00"));
    s.make("videos/sub/b.AVI", Clip("2024-07-14T11:00:00"));
    kelvor::test::WriteFile(s.dir / "videos" / "notes.txt", "x");
    fs::create_directories(s.dir / "videos" / "empty.avi");
    // A cancelled dialog scans nothing.
    s.dialogs.folder.clear();
    QTest::keyClick(&w, Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(s.dialogs.folderTitles,
             std::vector<QString>{"Select the folder containing the AVI files to open"});
    QCOMPARE(w.StatusText(), QString("Ready"));
    QVERIFY(w.ScanIdle());
    s.dialogs.folder = s.path("videos").c_str();
    QStringList statuses;
    connect(&w, &MainWindow::StatusChanged, this, [&](const QString& t) { statuses << t; });
    s.trigger("OpenFolder");
    QVERIFY(Session::waitFor([&] { return w.Items().Count() == 2 && w.StatusText() == "Ready"; }));
    QCOMPARE(s.names(), (std::vector<std::string>{"a.avi", "b.AVI"}));
    QCOMPARE(statuses.front(), QString("Browsing a folder"));
    QVERIFY(statuses.contains("Browsing " + QString::fromStdString(s.path("videos/sub/"))));
    // No file was current: the first one is now.
    QCOMPARE(w.CurrentFile()->Name, std::string("a.avi"));
    // F7 scans the preferred folder.
    w.EmptyList();
    s.program->Prefs().PreferredFolder = s.path("videos/sub");
    QTest::keyClick(&w, Qt::Key_F7);
    QVERIFY(Session::waitFor([&] { return w.Items().Count() == 1 && w.StatusText() == "Ready"; }));
}

void ScannerTest::escStopsTheWindowsScan() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    for (int i = 0; i < 600; ++i)
        kelvor::test::WriteFile(s.dir / "many" / ("clip" + std::to_string(i) + ".avi"), "");
    connect(&w.Items(), &QAbstractItemModel::rowsInserted, &w, [&] {
        if (w.Items().Count() == 10)
            QTest::keyClick(&w, Qt::Key_Escape);
    });
    w.ScanFolders({s.path("many").c_str()}, "Browsing a folder");
    QVERIFY(Session::waitFor([&] { return w.ScanIdle() && w.StatusText() == "Ready"; }));
    QTest::qWait(50);
    QCOMPARE(w.Items().Count(), 10);
    // A new scan after the abort runs to its end.
    kelvor::test::WriteFile(s.dir / "more" / "x.avi", "");
    w.ScanFolders({s.path("more").c_str()}, "Browsing a folder");
    QVERIFY(Session::waitFor([&] { return w.Items().Count() == 11; }));
}

void ScannerTest::openAllScansEveryDisk() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    s.make("disk1/a.avi", Clip("2024-07-14T10:00:00"));
    s.make("disk2/deep/b.avi", Clip("2024-07-14T11:00:00"));
    s.desktop.drives = {s.path("disk1"), s.path("disk2")};
    QStringList statuses;
    connect(&w, &MainWindow::StatusChanged, this, [&](const QString& t) { statuses << t; });
    QTest::keyClick(&w, Qt::Key_F7, Qt::ControlModifier);
    QVERIFY(Session::waitFor([&] { return w.Items().Count() == 2 && w.ScanIdle(); }));
    QCOMPARE(statuses.front(), QString("Loading all AVI files"));
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::ScannerTest)
#include "ScannerTest.moc"
