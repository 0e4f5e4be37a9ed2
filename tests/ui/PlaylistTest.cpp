// Playlists: the file as written, byte for byte; reading back, by hand-written and Windows
// playlists; the default playlist at first paint and at the end; Esc during a long reading.
#include "ui/Playlist.h"
#include "ui/UiTestSupport.h"

namespace kelvor::ui::test {

class PlaylistTest : public QObject {
    Q_OBJECT
  private slots:
    void theSavedFileIsByteExact();
    void anEmptyListStillWritesItsLines();
    void readingBackSortsByTheList();
    void handWrittenAndWindowsPlaylistsLoad();
    void theDefaultPlaylistAtFirstPaintAndAtTheEnd();
    void escStopsALongReading();
    void aPlaylistThatCannotBeWrittenIsReported();
};

namespace {

std::string Header(const std::string& version) {
    const std::string hyphens = "# " + std::string(61, '-') + "\r\n";
    return hyphens + "#\r\n# Playlist of Kelvor version " + version + " En\r\n#\r\n" + hyphens +
           "# Visit my website : https://quennel.example/kelvor\r\n\r\n";
}

}  // namespace

void PlaylistTest::theSavedFileIsByteExact() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string b = s.make("b.avi", Clip("2024-07-14T11:00:00"));
    const std::string a = s.make("a.avi", Clip("2024-07-14T10:00:00"));
    const std::string c = s.make("c.avi", Clip("2024-07-14T12:00:00"));
    for (const auto& p : {b, a, c})
        w.AddFile(p);
    s.dialogs.fileToSave = s.path("list.txt").c_str();
    QTest::keyClick(&w, Qt::Key_J, Qt::ControlModifier);
    const std::string done = FormatDateTime("ddddd hh:nn:ss", 45487.5);
    const std::string hyphens = "# " + std::string(61, '-') + "\r\n";
    QCOMPARE(QString::fromStdString(kelvor::test::ReadFile(s.dir / "list.txt")),
             QString::fromStdString(Header(w.VersionText().toStdString()) + "     " + a +
                                    "\r\n     " + b + "\r\n     " + c + "\r\n\r\n" + hyphens +
                                    "# 3 files sorted by datecode\r\n# Done on " + done + "\r\n"));
    // One file sorted by name.
    QCOMPARE(PlaylistText({a}, 1, "1.2.3", "x"),
             Header("1.2.3") + "     " + a + "\r\n\r\n" + hyphens +
                 "# 1 file sorted by alphabetical order\r\n# Done on x\r\n");
    QCOMPARE(std::string(PlaylistSortText(2)), std::string(" by filesize"));
    QCOMPARE(std::string(PlaylistSortText(3)), std::string(" by filedate"));
}

void PlaylistTest::anEmptyListStillWritesItsLines() {
    Session s;
    s.show();
    QVERIFY(s.window().SavePlaylist(s.path("empty.txt")));
    const std::string text = kelvor::test::ReadFile(s.dir / "empty.txt");
    QVERIFY(text.starts_with(Header(s.window().VersionText().toStdString()) + "\r\n# " +
                             std::string(61, '-') +
                             "\r\n# 0 file sorted by datecode\r\n# Done on "));
    QCOMPARE(std::count(text.begin(), text.end(), '\n'), 11);
}

void PlaylistTest::readingBackSortsByTheList() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string late = s.make("a-late.avi", Clip("2024-07-15T10:00:00"));
    const std::string early = s.make("z-early.avi", Clip("2024-07-13T10:00:00"));
    w.AddFile(late);
    w.AddFile(early);
    QVERIFY(w.SavePlaylist(s.path("round.txt")));
    QTest::keyClick(&w, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(w.Items().Count(), 0);
    s.dialogs.fileToOpen = s.path("round.txt").c_str();
    QTest::keyClick(&w, Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(s.names(), (std::vector<std::string>{"z-early.avi", "a-late.avi"}));
    // The same list by name, saved and read back in the other order: the list decides.
    s.trigger("SortByName");
    QVERIFY(w.SavePlaylist(s.path("round.txt")));
    s.trigger("SortByDatecode");
    w.EmptyList();
    QVERIFY(w.LoadPlaylist(s.path("round.txt")));
    QCOMPARE(s.names(), (std::vector<std::string>{"z-early.avi", "a-late.avi"}));
    QCOMPARE(w.StatusText(), QString("Ready"));
}

void PlaylistTest::handWrittenAndWindowsPlaylistsLoad() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    const std::string a = s.make("a.avi", Clip("2024-07-14T10:00:00"));
    // A name outside ASCII, as a Windows playlist writes it in its code page.
    const std::string e = s.make("\xC3\xA9t\xC3\xA9.avi", Clip("2024-07-14T11:00:00"));
    const std::string dir = s.dir.path().string() + "/";
    kelvor::test::WriteFile(s.dir / "bare.txt", a + "\n" + a + "\n\n" + dir + "notes.txt\n" + dir +
                                                    "missing.avi\n   " + a + "   \n");
    QVERIFY(w.LoadPlaylist(s.path("bare.txt")));
    QCOMPARE(s.names(), std::vector<std::string>{"a.avi"});
    kelvor::test::WriteFile(s.dir / "windows.txt",
                            "# Playlist\r\n\r\n     " + dir + "\xE9t\xE9.avi\r\n# 1 file\r\n");
    QVERIFY(w.LoadPlaylist(s.path("windows.txt")));
    QCOMPARE(s.names(), (std::vector<std::string>{"a.avi", "\xC3\xA9t\xC3\xA9.avi"}));
    QCOMPARE(w.Items().At(1).item.FullName(), e);
    // And written back as UTF-8.
    QVERIFY(w.SavePlaylist(s.path("utf8.txt")));
    QVERIFY(kelvor::test::ReadFile(s.dir / "utf8.txt").find("     " + e + "\r\n") !=
            std::string::npos);
    QVERIFY(!w.LoadPlaylist(s.path("none.txt")));
    QCOMPARE(w.Items().Count(), 2);
}

void PlaylistTest::theDefaultPlaylistAtFirstPaintAndAtTheEnd() {
    kelvor::test::TempDir shared;
    const std::string folder = (shared / "lists").string();
    fs::create_directories(folder);
    const auto keepList = [&](settings::Preferences& p) {
        p.SaveListOnQuit = true;
        p.PlaylistFolder = folder;
    };
    std::string clip;
    {
        // First start: no default playlist yet, nothing added and nothing said.
        Session s({}, keepList);
        s.show();
        QVERIFY(Session::waitFor([&] { return s.window().StatusText() == "Ready"; }));
        QCOMPARE(s.window().Items().Count(), 0);
        QVERIFY(s.dialogs.errors.empty());
        QCOMPARE(s.window().DefaultPlaylist(), folder + "/PlayList.txt");
        clip = (shared / "clip.avi").string();
        std::string error;
        QVERIFY(fixtures::WriteDvFile(clip, Clip("2024-07-14T10:00:00"), error));
        s.window().AddFile(clip);
    }
    QVERIFY(fs::exists(folder + "/PlayList.txt"));
    {
        Session s({}, keepList);
        s.show();
        QVERIFY(Session::waitFor([&] { return s.window().Items().Count() == 1; }));
        QCOMPARE(s.window().Items().At(0).item.FullName(), clip);
        // The default playlist also opens on demand.
        s.window().EmptyList();
        QTest::keyClick(&s.window(), Qt::Key_F7, Qt::ShiftModifier);
        QCOMPARE(s.window().Items().Count(), 1);
    }
}

void PlaylistTest::escStopsALongReading() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    std::string text;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "clip" + std::to_string(100 + i) + ".avi";
        kelvor::test::WriteFile(s.dir / name, "not a video, still listed");
        text += "     " + s.path(name) + "\r\n";
    }
    kelvor::test::WriteFile(s.dir / "long.txt", text);
    // Esc comes while the sixth file is being added.
    connect(&w.Items(), &QAbstractItemModel::rowsInserted, &w, [&] {
        if (w.Items().Count() == 6)
            QTest::keyClick(&w, Qt::Key_Escape);
    });
    QVERIFY(w.LoadPlaylist(s.path("long.txt")));
    QCOMPARE(w.Items().Count(), 6);
    QCOMPARE(w.StatusText(), QString("Ready"));
}

void PlaylistTest::aPlaylistThatCannotBeWrittenIsReported() {
    Session s;
    s.show();
    QVERIFY(!s.window().SavePlaylist(s.path("no/such/folder/list.txt")));
    QCOMPARE(s.dialogs.errors.size(), std::size_t(1));
    QVERIFY(s.dialogs.errors[0].contains("list.txt"));
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::PlaylistTest)
#include "PlaylistTest.moc"
