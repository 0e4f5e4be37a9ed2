// The player frame in the window: the picture and the status texts follow seeks and steps, the
// scene steps follow the scn file, the messages replace the video, the pure texts of the panel;
// and pictures of the player under a virtual X server when one is at hand.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSlider>
#include <QTextEdit>
#include <QTreeView>

#include "core/scenes/ScnFile.h"
#include "media/filters/InlayFilter.h"
#include "media/graphs/ProbeGraph.h"
#include "support/Tools.h"
#include "ui/MainWindow.h"
#include "ui/PlayerPanel.h"
#include "ui/UiTestSupport.h"
#include "ui/panels/SceneEditorPanel.h"
#include "ui/preview/PlayerFrame.h"

namespace kelvor::ui::test {

class PlayerTest : public QObject {
    Q_OBJECT
  private slots:
    void aSeekShowsThatFramesDatecodeAndTheInlayDrawsIt();
    void goingToTheEndShowsTheLastFrameAndItsDatecode();
    void thePictureIsDrawnAtItsDisplayAspect();
    void framesWithoutTheirAspectAreDrawnAtTheStreams();
    void thePlayerKeysActWhileTheListHasTheFocus();
    void theSceneEditorOpensOnTheSceneShown();
    void stepsMoveByFramesSecondsAndScenes();
    void messagesReplaceTheVideo();
    void theTickTextsOfAFrame();
    void theNameShrinksDownToEightPoints();
    void fullScreenTogglesAndEscLeavesIt();
    void screenshotsOfThePlayer();
    void screenshotsOfTheFourAspects();

  private:
    static PlayerFrame& frame(Session& s) { return *s.window().PlayerView(); }
    static void select(Session& s, const std::string& path) {
        s.window().LoadFiles("Loading files", {QString::fromStdString(path)});
        QVERIFY(Session::waitFor([&] { return frame(s).Active(); }, 10000));
    }
    static double drawnAspect(Session& s) {
        const QRect r = frame(s).Video()->PictureRect();
        return r.height() > 0 ? static_cast<double>(r.width()) / r.height() : 0;
    }
    // Lets the queued picture reach the video window.
    static bool pictureAt(Session& s, std::int64_t frameNo) {
        return Session::waitFor(
            [&] {
                frame(s).TakePicture();
                const auto p = frame(s).View().VideoRenderer().Latest();
                const double fps = s.window().CurrentFile() ? s.window().CurrentFile()->Fps : 25;
                return p && std::llabs(p->Time - std::llround(frameNo * 1e7 / fps)) < 1000;
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
    QCOMPARE(t.Audio, std::string("48 kHz 16-bit stereo"));
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

void PlayerTest::goingToTheEndShowsTheLastFrameAndItsDatecode() {
    Session s({}, [](settings::Preferences& p) {
        p.DisplayDatecodeFormat = "hh:nn:ss";
        p.IsInlayOn = false;
    });
    s.show();
    // A dark first shot and a bright last one, 50 + 60 frames.
    select(s, s.make("end.avi",
                     "type=2 frames=50 picture=colour:202020 date=2004-03-15T10:00:00 segment "
                     "frames=60 picture=colour:E0E0E0 date=2004-03-15T18:30:00"));
    PlayerFrame& f = frame(s);
    QVERIFY(pictureAt(s, 0));
    const auto brightness = [&] {
        const QImage& p = f.Video()->Picture();
        return p.isNull() ? -1 : qGray(p.pixel(p.width() / 2, p.height() / 2));
    };
    QVERIFY(brightness() < 100);

    s.trigger("GoToEnd");
    QVERIFY(pictureAt(s, 109));
    QVERIFY(brightness() > 150);
    StatusTexts t = f.UpdateTick();
    QCOMPARE(t.Datecode, std::string("18:30:02"));
    QVERIFY(t.Timecode != "-");
    QCOMPARE(t.Trackbar, 1000);

    // One second back and forward again: each step shows its own frame.
    s.trigger("SecondBackward");
    QVERIFY(pictureAt(s, 85));
    QCOMPARE(f.UpdateTick().Datecode, std::string("18:30:01"));
    s.trigger("SecondForward");
    QVERIFY(pictureAt(s, 109));
    QCOMPARE(f.UpdateTick().Datecode, std::string("18:30:02"));
    s.trigger("GoToStart");
    QVERIFY(pictureAt(s, 0));
    QVERIFY(brightness() < 100);
    QCOMPARE(f.UpdateTick().Datecode, std::string("10:00:00"));
}

void PlayerTest::thePictureIsDrawnAtItsDisplayAspect() {
    constexpr double kNarrow = 4.0 / 3.0, kWide = 16.0 / 9.0;
    const struct {
        const char* description;
        double aspect;
    } cases[] = {{"standard=pal aspect=4:3", kNarrow},
                 {"standard=pal aspect=16:9", kWide},
                 {"standard=ntsc aspect=4:3", kNarrow},
                 {"standard=ntsc aspect=16:9", kWide}};
    for (const auto& c : cases) {
        for (const bool half : {false, true}) {
            Session s({}, [half](settings::Preferences& p) { p.PreviewDvAtHalfSize = half; });
            s.show();
            select(s, s.make("clip.avi", std::string("type=2 frames=5 date=2004-03-15T10:00:00 ") +
                                             c.description));
            QVERIFY(pictureAt(s, 0));
            const QString what =
                QString("%1%2: %3").arg(c.description, half ? " half" : "").arg(drawnAspect(s));
            QVERIFY2(std::abs(drawnAspect(s) - c.aspect) < 0.02, qPrintable(what));
            if (half)
                continue;
            frame(s).SetFullscreen(true);
            QTest::qWait(50);
            QVERIFY2(std::abs(drawnAspect(s) - c.aspect) < 0.02, qPrintable(what + " full screen"));
            frame(s).SetFullscreen(false);
        }
    }

    // The frame's own pack decides: a 16:9 shot after a 4:3 one is drawn wide.
    Session s;
    s.show();
    select(s, s.make("mixed.avi",
                     "type=2 frames=25 date=2004-03-15T10:00:00 segment frames=25 aspect=16:9"));
    QVERIFY(pictureAt(s, 0));
    QVERIFY(std::abs(drawnAspect(s) - kNarrow) < 0.02);
    frame(s).SeekFrame(30);
    QVERIFY(pictureAt(s, 30));
    QVERIFY(std::abs(drawnAspect(s) - kWide) < 0.02);

    // Other files keep the proportions of their pixels.
    files::FileRecord other = *s.window().CurrentFile();
    other.IsDV = false;
    QCOMPARE(DisplayAspect(nullptr, other, QSize(640, 360)), 640.0 / 360.0);
    scenes::FrameInfo wide;
    wide.Widescreen = 1;
    other.IsDV = true;
    QCOMPARE(DisplayAspect(&wide, other, QSize(720, 576)), kNarrow);  // no pack read yet
    wide.FormatValid = true;
    QCOMPARE(DisplayAspect(&wide, other, QSize(720, 576)), kWide);
}

void PlayerTest::framesWithoutTheirAspectAreDrawnAtTheStreams() {
    constexpr double kNarrow = 4.0 / 3.0, kWide = 16.0 / 9.0;
    // Frames without the source-control pack: the DVINFO's copy of it decides, in the window
    // and full screen, for either container type.
    const struct {
        const char* description;
        double aspect;
    } cases[] = {{"type=2 standard=pal dvinfo-aspect=4:3", kNarrow},
                 {"type=2 standard=pal dvinfo-aspect=16:9", kWide},
                 {"type=1 standard=ntsc dvinfo-aspect=4:3", kNarrow},
                 {"type=1 standard=ntsc dvinfo-aspect=16:9", kWide}};
    for (const auto& c : cases) {
        Session s;
        s.show();
        select(s, s.make("clip.avi", std::string("frames=5 control=no date=2004-03-15T10:00:00 ") +
                                         c.description));
        QVERIFY(pictureAt(s, 0));
        QCOMPARE(s.window().CurrentFile()->AspectFrom, files::AspectSource::DvInfo);
        const QString what = QString("%1: %2").arg(c.description).arg(drawnAspect(s));
        QVERIFY2(std::abs(drawnAspect(s) - c.aspect) < 0.02, qPrintable(what));
        frame(s).SetFullscreen(true);
        QTest::qWait(50);
        QVERIFY2(std::abs(drawnAspect(s) - c.aspect) < 0.02, qPrintable(what + " full screen"));
        frame(s).SetFullscreen(false);
    }

    // Frames that lose the pack mid-file keep the file's shape rather than falling back to 4:3.
    {
        Session s;
        s.show();
        select(s, s.make("dropout.avi",
                         "type=2 frames=25 aspect=16:9 date=2004-03-15T10:00:00 "
                         "segment frames=25 control=no"));
        frame(s).SeekFrame(30);
        QVERIFY(pictureAt(s, 30));
        QVERIFY(std::abs(drawnAspect(s) - kWide) < 0.02);
    }

    // Neither the frames nor a DVINFO say it: ffmpeg's OpenDML video properties header does.
    if (!kelvor::test::ToolAvailable("ffmpeg"))
        return;
    Session s;
    s.show();
    const std::string bare = s.make(
        "bare.avi", "type=2 frames=5 control=no dvinfo-aspect=none date=2004-03-15T10:00:00");
    const auto made = kelvor::test::RunTool({"ffmpeg", "-loglevel", "error", "-y", "-i", "bare.avi",
                                             "-c", "copy", "-aspect", "16:9", "vprp.avi"},
                                            std::filesystem::path(bare).parent_path());
    QCOMPARE(made.exitCode, 0);
    select(s, s.path("vprp.avi"));
    QVERIFY(pictureAt(s, 0));
    QCOMPARE(s.window().CurrentFile()->AspectFrom, files::AspectSource::VideoProperties);
    QVERIFY2(std::abs(drawnAspect(s) - kWide) < 0.02, qPrintable(QString::number(drawnAspect(s))));
}

void PlayerTest::thePlayerKeysActWhileTheListHasTheFocus() {
    Session s;
    s.show();
    MainWindow& w = s.window();
    w.LoadFiles("Loading files",
                {QString::fromStdString(s.make("a.avi", Clip("2004-03-15T10:00:00", 100))),
                 QString::fromStdString(s.make("b.avi", Clip("2004-03-16T10:00:00", 100))),
                 QString::fromStdString(s.make("c.avi", Clip("2004-03-17T10:00:00", 100)))});
    QVERIFY(Session::waitFor([&] { return frame(s).Active(); }, 10000));
    QTreeView* list = w.List();
    QVERIFY(list->isVisible());
    list->setFocus();
    QVERIFY(Session::waitFor([&] { return list->hasFocus(); }, 2000));
    const int row = w.Focused();
    QVERIFY(row >= 0);
    const std::string shown = w.CurrentFile()->FullName;
    media::PreviewGraph& v = frame(s).View();

    const struct {
        Qt::Key key;
        std::int64_t position;
    } steps[] = {{Qt::Key_Down, 25}, {Qt::Key_Right, 26},     {Qt::Key_Left, 25},
                 {Qt::Key_Up, 0},    {Qt::Key_PageDown, 100}, {Qt::Key_PageUp, 0},
                 {Qt::Key_End, 100}, {Qt::Key_Home, 0}};
    for (const auto& step : steps) {
        // Ctrl let go before the key, as a quick hand (or xdotool) does: the key's release
        // comes without the modifier.
        QTest::keyPress(list, step.key, Qt::ControlModifier);
        QTest::keyRelease(list, step.key, Qt::NoModifier);
        QTest::qWait(30);
        QVERIFY2(v.Position() == step.position,
                 qPrintable(QKeySequence(step.key | Qt::ControlModifier).toString() + ": " +
                            QString::number(v.Position())));
        QCOMPARE(w.Focused(), row);
        QCOMPARE(w.CurrentFile()->FullName, shown);
    }

    // Without Ctrl the keys move in the list.
    QTest::keyClick(list, Qt::Key_End);
    QVERIFY(Session::waitFor([&] { return w.Focused() == 2; }, 2000));
    QTest::keyClick(list, Qt::Key_Up);
    QVERIFY(Session::waitFor([&] { return w.Focused() == 1; }, 2000));
    QTest::keyClick(list, Qt::Key_Home);
    QVERIFY(Session::waitFor([&] { return w.Focused() == 0; }, 2000));
    QTest::keyClick(list, Qt::Key_Down);
    QVERIFY(Session::waitFor([&] { return w.Focused() == 1; }, 2000));
    QVERIFY(Session::waitFor(
        [&] { return w.CurrentFile() && w.CurrentFile()->FullName == s.path("b.avi"); }, 2000));
}

void PlayerTest::theSceneEditorOpensOnTheSceneShown() {
    Session s;
    s.show();
    const std::string path = s.make("scenes.avi", Clip("2004-03-15T10:00:00", 100));
    const std::string longCaption =
        "Scene 3: the long walk back to the car park along the river, in the rain, with the "
        "children singing | Duration = 01.16";
    {
        scenes::ScnWriter scn(path, scenes::ScnVariant::Wide);
        QVERIFY(scn.AddScene("Scene 1", 30));
        QVERIFY(scn.AddScene("Scene 2", 60));
        QVERIFY(scn.AddScene(longCaption, 100));
        QVERIFY(scn.Close());
    }
    select(s, path);
    frame(s).SeekFrame(70);
    QVERIFY(pictureAt(s, 70));
    s.trigger("EditScenes");
    SceneEditorPanel* editor = s.window().SceneEditor();
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->List()->currentRow(), 2);
    QCOMPARE(editor->Editor()->text(), QString::fromStdString(longCaption));
    // The caption is shown from its start.
    QCOMPARE(editor->Editor()->cursorPosition(), 0);
    editor->List()->setCurrentRow(0);
    editor->List()->setCurrentRow(2);
    QCOMPARE(editor->Editor()->cursorPosition(), 0);

    // The player's Ctrl keys act on the player from the scene list too, not on the list (whose
    // own Ctrl+Down and Ctrl+End would move to a scene's start: 30, 60).
    editor->List()->setFocus();
    QVERIFY(Session::waitFor([&] { return editor->List()->hasFocus(); }, 2000));
    media::PreviewGraph& v = frame(s).View();
    const struct {
        Qt::Key key;
        std::int64_t position;
    } steps[] = {{Qt::Key_Home, 0}, {Qt::Key_Down, 25}, {Qt::Key_Down, 50}, {Qt::Key_End, 100}};
    for (const auto& step : steps) {
        QTest::keyClick(editor->List(), step.key, Qt::ControlModifier);
        QVERIFY2(Session::waitFor([&] { return v.Position() == step.position; }, 2000),
                 qPrintable(QKeySequence(step.key | Qt::ControlModifier).toString() + ": " +
                            QString::number(v.Position())));
    }
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
    QCOMPARE(t.Audio, std::string("32 kHz 12-bit stereo (2x)"));
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

void PlayerTest::screenshotsOfTheFourAspects() {
    if (QGuiApplication::platformName() != "xcb")
        QSKIP("pictures are taken under a virtual X server");
    const QString dir = KELVOR_SCREENSHOT_DIR;
    QVERIFY(QDir().mkpath(dir));
    for (const char* standard : {"pal", "ntsc"}) {
        for (const char* aspect : {"4:3", "16:9"}) {
            Session s({}, [](settings::Preferences& p) {
                p.IsInlayOn = true;
                p.DisplayDatecodeFormat = "dd/mm/yyyy hh:nn:ss";
            });
            s.show();
            select(s, s.make("aspect.avi", std::string("type=2 frames=10 picture=bars "
                                                       "date=2024-07-14T15:30:00 standard=") +
                                               standard + " aspect=" + aspect));
            frame(s).SeekFrame(5);
            QVERIFY(pictureAt(s, 5));
            QTest::qWait(300);
            const QString name =
                QString("/player-%1-%2.png").arg(standard, QString(aspect).replace(':', 'x'));
            QVERIFY(s.window().grab().save(dir + name));
        }
    }
    // Frames without their aspect pack, drawn at the 16:9 their DVINFO announces.
    Session s({}, [](settings::Preferences& p) { p.IsInlayOn = true; });
    s.show();
    select(s, s.make("bare.avi",
                     "type=2 frames=10 picture=bars date=2024-07-14T15:30:00 "
                     "control=no dvinfo-aspect=16:9"));
    frame(s).SeekFrame(5);
    QVERIFY(pictureAt(s, 5));
    QTest::qWait(300);
    QVERIFY(s.window().grab().save(dir + "/player-pal-16x9-stream-headers.png"));
}

}  // namespace kelvor::ui::test

QTEST_MAIN(kelvor::ui::test::PlayerTest)
#include "PlayerTest.moc"
