// The player frame in the window: the picture and the status texts follow seeks and steps, the
// scene steps follow the scn file, the messages replace the video, the pure texts of the panel;
// and pictures of the player under a virtual X server when one is at hand.
#include <QDir>
#include <QLabel>
#include <QSlider>
#include <QTextEdit>

#include "core/scenes/ScnFile.h"
#include "media/filters/InlayFilter.h"
#include "media/graphs/ProbeGraph.h"
#include "ui/PlayerPanel.h"
#include "ui/UiTestSupport.h"
#include "ui/preview/PlayerFrame.h"

namespace kelvor::ui::test {

class PlayerTest : public QObject {
    Q_OBJECT
  private slots:
    void aSeekShowsThatFramesDatecodeAndTheInlayDrawsIt();
    void stepsMoveByFramesSecondsAndScenes();
    void messagesReplaceTheVideo();
    void theTickTextsOfAFrame();
    void theNameShrinksDownToEightPoints();
    void fullScreenTogglesAndEscLeavesIt();
    void screenshotsOfThePlayer();

  private:
    static PlayerFrame& frame(Session& s) { return *s.window().PlayerView(); }
    static void select(Session& s, const std::string& path) {
        s.window().LoadFiles("Loading files", {QString::fromStdString(path)});
        QVERIFY(Session::waitFor([&] { return frame(s).Active(); }, 10000));
    }
    // Lets the queued picture reach the video window.
    static bool pictureAt(Session& s, std::int64_t frameNo) {
        return Session::waitFor(
            [&] {
                frame(s).TakePicture();
                const auto p = frame(s).View().VideoRenderer().Latest();
                return p && std::llabs(p->Time - frameNo * 400000) < 1000;
            },
            5000);
    }
};

void PlayerTest::aSeekShowsThatFramesDatecodeAndTheInlayDrawsIt() {
    Session s({}, [](settings::Preferences& p) {
        p.DisplayDatecodeFormat = "hh:nn:ss";
        p.InlayFormat2 = "hh:nn:ss";
        p.IsInlayOn = false;
    });
    s.show();
    select(s,
           s.make("dated.avi", "type=1 frames=100 picture=colour:404040 date=2004-03-15T10:00:00"));
    PlayerFrame& f = frame(s);
    QCOMPARE(f.CurrentLayout(), PlayerFrame::Layout::Video);
    f.View().SeekTo(75);
    QVERIFY(pictureAt(s, 75));
    const StatusTexts t = f.UpdateTick();
    QCOMPARE(t.Datecode, std::string("10:00:03"));
    QCOMPARE(t.Timecode.size(), std::size_t{11});
    QCOMPARE(t.TimeStamp, std::string("0:00:03:00"));
    QCOMPARE(t.Audio, std::string("48000Hz 16bits stereo"));
    QCOMPARE(t.DataRate, std::string("PCM 192000 bytes/s"));
    QCOMPARE(t.Trackbar, 750);
    const QImage plain = f.Video()->Picture();
    QVERIFY(!plain.isNull());

    const std::uint64_t before = f.View().VideoRenderer().Sequence();
    f.SetInlay(true);
    QVERIFY(Session::waitFor(
        [&] { return f.View().VideoRenderer().Sequence() > before && (f.TakePicture(), true); },
        5000));
    const QImage drawn = f.Video()->Picture();
    QCOMPARE(drawn.size(), plain.size());
    // The text ends at 0.9 of the width, its second line's bottom at 0.9 of the height.
    int differing = 0;
    const int fh = f.View().Inlay().FontHeight();
    for (int y = drawn.height() * 9 / 10 - 2 * fh; y < drawn.height() * 9 / 10; ++y)
        for (int x = drawn.width() / 2; x < drawn.width() * 9 / 10; ++x)
            differing += drawn.pixel(x, y) != plain.pixel(x, y);
    QVERIFY2(differing > 50, qPrintable(QString::number(differing)));
}

void PlayerTest::stepsMoveByFramesSecondsAndScenes() {
    Session s;
    s.show();
    const std::string path =
        s.make("scenes.avi",
               "type=2 frames=30 date=2004-03-15T10:00:00 segment frames=30 "
               "date=2004-03-15T12:00:00 segment frames=40 date=2004-03-16T09:00:00");
    {
        scenes::ScnWriter scn(path, scenes::ScnVariant::Wide);
        QVERIFY(scn.AddScene("", 30));
        QVERIFY(scn.AddScene("", 60));
        QVERIFY(scn.AddScene("", 100));
        QVERIFY(scn.Close());
    }
    select(s, path);
    PlayerFrame& f = frame(s);
    media::PreviewGraph& v = f.View();
    v.SeekTo(4);
    v.SeekFrames(-10);
    QCOMPARE(v.Position(), std::int64_t{0});
    f.StepBy(PreviewSlot::Step::Second, true);
    QCOMPARE(v.Position(), std::int64_t{25});
    f.StepBy(PreviewSlot::Step::Frame, false);
    QCOMPARE(v.Position(), std::int64_t{24});
    f.StepBy(PreviewSlot::Step::NextScene, true);
    QCOMPARE(v.Position(), std::int64_t{30});
    f.StepBy(PreviewSlot::Step::NextScene, true);
    QCOMPARE(v.Position(), std::int64_t{60});
    // At the exact start of scene 3, the previous scene is scene 2.
    f.StepBy(PreviewSlot::Step::PreviousScene, false);
    QCOMPARE(v.Position(), std::int64_t{30});
    f.StepBy(PreviewSlot::Step::NextScene, true);
    f.StepBy(PreviewSlot::Step::NextScene, true);
    QCOMPARE(v.Position(), std::int64_t{100});
    f.StepBy(PreviewSlot::Step::Start, true);
    QCOMPARE(v.Position(), std::int64_t{0});
    f.StepBy(PreviewSlot::Step::End, true);
    QCOMPARE(v.Position(), std::int64_t{100});
    // The trackbar seeks to its share of the file.
    f.GoTrackbar(500);
    QCOMPARE(v.Position(), std::int64_t{50});
}

void PlayerTest::messagesReplaceTheVideo() {
    Session s;
    s.show();
    const std::string path = s.make("clip.avi", Clip("2004-03-15T10:00:00", 10));
    select(s, path);
    PlayerFrame& f = frame(s);
    f.Release();
    QCOMPARE(f.CurrentLayout(), PlayerFrame::Layout::Message);
    QVERIFY(f.MessageText().contains("Video temporarily interrupted"));
    QVERIFY(f.MessageText().contains("clip.avi"));
    f.Resume();
    f.Load(s.window().CurrentFile().get());
    QCOMPARE(f.CurrentLayout(), PlayerFrame::Layout::Video);

    files::FileRecord r = *s.window().CurrentFile();
    r.FullName = "/Some/Folder/Clip.AVI";
    r.Codec = "CDVC";
    const auto joined = [&](int code) {
        std::string all;
        for (const auto& l : MessageLines(code, r))
            all += l + "\n";
        return all;
    };
    QCOMPARE(joined(1), std::string("\n\nVideo not available\nThe file\n\n/some/folder/clip.avi\n"
                                    "is not found\n"));
    QVERIFY(joined(2).find("change the codec \"CDVC\" to \"dvsd\"") != std::string::npos);
    QVERIFY(joined(5).find("You may listen to Audio") != std::string::npos);
    QVERIFY(joined(6).find("Unknown Audio") != std::string::npos);
    QVERIFY(joined(7).find("Audio") == std::string::npos);
}

void PlayerTest::theTickTextsOfAFrame() {
    Session s;
    media::ProbeGraph probe;
    files::FileRecord r(s.make("t.avi", Clip("2004-03-15T10:00:00", 2)), probe);
    r.DVType = 1;
    r.ImageText = "720x576 (Pal";
    r.AspectText = " 16/9";
    scenes::FrameInfo fi;
    fi.SampleRate = 32000;
    fi.Quantization = 12;
    fi.Channels = 4;
    fi.Widescreen = 1;
    fi.TimecodeValid = true;
    fi.Timecode = {1, 2, 3, 4};
    StatusTexts t = TickTexts(&fi, r, "hh:nn:ss", EnglishLocale());
    QCOMPARE(t.Audio, std::string("32000Hz 12bits stereo(2x)"));
    QCOMPARE(t.DataRate, std::string("PCM 192000 bytes/s"));
    QCOMPARE(t.Image, std::string("720x576 (Pal 16x9)"));
    QCOMPARE(t.Datecode, std::string("N/A"));
    QCOMPARE(t.Timecode, std::string("01:02:03:04"));
    fi.Channels = 0;
    QCOMPARE(TickTexts(&fi, r, "", EnglishLocale()).Audio, std::string("N/A"));
    const StatusTexts stopped = TickTexts(nullptr, r, "", EnglishLocale());
    QCOMPARE(stopped.Datecode, std::string("-"));
    QCOMPARE(stopped.Timecode, std::string("-"));
}

void PlayerTest::theNameShrinksDownToEightPoints() {
    QCOMPARE(NameFontHeight(100, 200), 13);
    QCOMPARE(NameFontHeight(420, 400), 12);
    QCOMPARE(NameFontHeight(5000, 200), 11);
}

void PlayerTest::fullScreenTogglesAndEscLeavesIt() {
    Session s;
    s.show();
    select(s, s.make("full.avi", "type=2 frames=25 date=2004-03-15T10:00:00"));
    PlayerFrame& f = frame(s);
    QAction* toggle = s.window().Action("Fullscreen");
    QVERIFY(toggle);
    QWidget* area = f.Video()->parentWidget();
    QVERIFY(area);

    // The action takes the video window out as a full-screen window of its own and back.
    for (int round = 0; round < 2; ++round) {
        toggle->trigger();
        QVERIFY(f.Fullscreen());
        QVERIFY(f.Video()->isWindow());
        QVERIFY(f.Video()->windowState() & Qt::WindowFullScreen);
        QCOMPARE(toggle->text(), QString("Quit fullscreen"));
        if (round == 0) {
            toggle->trigger();
        } else {
            // Esc pressed with the full-screen window in front leaves it too.
            f.Video()->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(f.Video()));
            QTest::keyClick(f.Video(), Qt::Key_Escape);
        }
        QVERIFY(!f.Fullscreen());
        QVERIFY(!f.Video()->isWindow());
        QCOMPARE(f.Video()->parentWidget(), area);
        QVERIFY(f.Video()->isVisible());
        QCOMPARE(toggle->text(), QString("Fullscreen"));
    }
}

void PlayerTest::screenshotsOfThePlayer() {
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("pictures are taken under a virtual X server");
    const QString dir = KELVOR_SCREENSHOT_DIR;
    QVERIFY(QDir().mkpath(dir));
    for (const bool half : {false, true}) {
        Session s({}, [half](settings::Preferences& p) {
            p.IsInlayOn = true;
            p.PreviewDvAtHalfSize = half;
        });
        s.show();
        select(s, s.make("holiday.avi",
                         "type=1 frames=75 picture=moving date=2024-07-14T15:30:00 "
                         "tc=00:10:00:00"));
        frame(s).Run();
        QTest::qWait(1200);
        frame(s).Pause();
        QTest::qWait(200);
        QVERIFY(s.window().grab().save(dir + (half ? "/player-half.png" : "/player-full.png")));
    }
    Session s;
    s.show();
    select(s, s.make("holiday.avi", Clip("2024-07-14T15:30:00", 10)));
    for (const int code : {1, 2, 3, 4, 5, 6, 7, 8}) {
        frame(s).ShowMessageCode(code);
        QTest::qWait(50);
        QVERIFY(s.window().grab().save(dir + QString("/player-message-%1.png").arg(code)));
    }
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::PlayerTest)
#include "PlayerTest.moc"
