#include "media/preview/PreviewGraph.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "core/files/DatePattern.h"
#include "fixtures/DvFixture.h"
#include "media/engine/DvCodec.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/InlayFilter.h"
#include "media/graphs/ProbeGraph.h"
#include "support/TempDir.h"
#include "support/Tools.h"
#include "support/Waits.h"

namespace kelvor::media {
namespace {

using namespace std::chrono_literals;

void ensureGuiApplication() {
    if (QGuiApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_preview";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the test program
}

// A sound output whose played position the test sets; it keeps what was asked of it.
class FakeSound final : public PreviewAudioOutput {
  public:
    bool Start(int, int) override { return ++starts > 0; }
    void Write(const std::uint8_t*, std::size_t bytes, int) override { written += bytes; }
    void Stop() override {}
    void Suspend(bool on) override { suspended = on; }
    void Flush() override {
        ++flushes;
        played = 0;
    }
    std::int64_t PlayedUSecs() const override { return played.load(); }

    std::atomic<int> starts{0};
    std::atomic<int> flushes{0};
    std::atomic<bool> suspended{false};
    std::atomic<std::int64_t> written{0};
    std::atomic<std::int64_t> played{0};
};

class PreviewGraphTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ensureGuiApplication(); }

    void SetUp() override {
        view = std::make_unique<PreviewGraph>(prefs);
        view->VideoRenderer().SetNotifier([this] { pictures.Add(); });
    }

    std::string dvFile(const std::string& name, const std::string& description) {
        const std::string path = dir.file(name);
        std::string error;
        EXPECT_TRUE(fixtures::WriteDvFile(path, description, error)) << error;
        return path;
    }

    // The frame of the newest picture shown, -1 for none.
    std::int64_t shownFrame() const {
        const auto p = view->VideoRenderer().Latest();
        return p ? std::llround(p->Time * 25.0 / 1e7) : -1;
    }

    // Waits until the picture shown reaches frame n; the frame it stands on when time runs out.
    std::int64_t waitForFrame(std::int64_t n, std::chrono::milliseconds timeout = 3s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (shownFrame() < n && std::chrono::steady_clock::now() < deadline)
            pictures.WaitFor(pictures.Value() + 1, 20ms);
        return shownFrame();
    }

    std::unique_ptr<files::FileRecord> record(const std::string& path) {
        return std::make_unique<files::FileRecord>(path, probe);
    }

    // The picture shown once the renderer has presented one at this stream time, newer than
    // the `after`-th picture.
    std::shared_ptr<const PreviewPicture> shownAt(std::int64_t frame, double fps = 25.0,
                                                  std::uint64_t after = 0) {
        const auto t = static_cast<StreamTime>(std::llround(frame * 1e7 / fps));
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            const std::uint64_t seq = view->VideoRenderer().Sequence();
            auto p = view->VideoRenderer().Latest();
            if (p && std::llabs(p->Time - t) < 1000 && seq > after)
                return p;
            pictures.WaitFor(pictures.Value() + 1, 50ms);
        }
        ADD_FAILURE() << "no picture at frame " << frame;
        return nullptr;
    }

    test::TempDir dir;
    settings::Preferences prefs;
    ProbeGraph probe;
    test::Counter pictures;
    std::unique_ptr<PreviewGraph> view;
};

TEST_F(PreviewGraphTest, Type1GoesThroughTheDvSplitterAndType2StraightToTheDetector) {
    const auto one = record(dvFile("one.avi", "type=1 frames=10 date=2004-03-15T10:00:00"));
    ASSERT_TRUE(one->IsDV);
    ASSERT_TRUE(view->OpenPreview(*one));
    EXPECT_TRUE(view->ThroughDvSplitter());
    EXPECT_TRUE(view->VideoConnected());
    EXPECT_TRUE(view->AudioConnected());
    EXPECT_EQ(view->MessageCode(), 0);
    EXPECT_EQ(view->GetTimeFormat(), TimeFormat::Frame);
    EXPECT_TRUE(view->Paused());
    EXPECT_NE(shownAt(0), nullptr);

    const auto two = record(dvFile("two.avi", "type=2 frames=10 date=2004-03-15T10:00:00"));
    ASSERT_TRUE(view->OpenPreview(*two));
    EXPECT_FALSE(view->ThroughDvSplitter());
    EXPECT_EQ(view->GetGraph().FindFilterByName("dvsplitter"), nullptr);
    Pin* peer = view->Detector().Input().ConnectedTo();
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(&peer->Filter(), view->GetGraph().FindFilterByName("avisplitter"));
    EXPECT_TRUE(view->AudioConnected());
    EXPECT_NE(shownAt(0), nullptr);

    // Raw DV takes the type 1 path, from its own splitter.
    const auto raw = record(dvFile("raw.dv", "type=raw frames=10 date=2004-03-15T10:00:00"));
    ASSERT_TRUE(raw->IsDV);
    ASSERT_TRUE(view->OpenPreview(*raw));
    EXPECT_TRUE(view->ThroughDvSplitter());
    EXPECT_TRUE(view->VideoConnected());
    EXPECT_TRUE(view->AudioConnected());
    EXPECT_EQ(view->MessageCode(), 0);
    EXPECT_NE(shownAt(0), nullptr);
}

TEST_F(PreviewGraphTest, HalfSizeReachesTheInlayAtHalfTheSizeWithATenPointFont) {
    const auto rec = record(dvFile("pal.avi", "type=2 frames=5 date=2004-03-15T10:00:00"));
    for (const bool half : {true, false}) {
        prefs.PreviewDvAtHalfSize = half;
        ASSERT_TRUE(view->OpenPreview(*rec));
        MediaType mt;
        ASSERT_EQ(view->Inlay().Input().ConnectionMediaType(mt), Code::Ok);
        const auto vih = mt.videoInfo();
        ASSERT_TRUE(vih);
        EXPECT_EQ(vih->bmiHeader.biWidth, half ? 360 : 720);
        EXPECT_EQ(std::abs(vih->bmiHeader.biHeight), half ? 288 : 576);
        const auto shown = shownAt(0);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->Width, half ? 360 : 720);
        // 21 x 360 / 720 = 10 points, 13 pixels at 96 dots per inch; 21 points are 28.
        EXPECT_EQ(view->Inlay().FontHeight(), half ? 13 : 28);
    }
}

TEST_F(PreviewGraphTest, AudioOnlyAviSeeksInMediaTimeAndShowsMessage3) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed";
    const auto r = test::RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                                  "sine=frequency=440:sample_rate=48000:duration=2", "-ac", "2",
                                  "-c:a", "pcm_s16le", "sound.avi"},
                                 dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto rec = record(dir.file("sound.avi"));
    ASSERT_EQ(rec->ImageText, "N/A");
    ASSERT_TRUE(view->OpenPreview(*rec));
    EXPECT_FALSE(view->VideoConnected());
    EXPECT_TRUE(view->AudioConnected());
    EXPECT_EQ(view->MessageCode(), 3);
    EXPECT_EQ(view->GetTimeFormat(), TimeFormat::MediaTime);
    EXPECT_NEAR(static_cast<double>(view->Duration()), 2e7, 1e6);
    view->SeekTime(10'000'000);
    // The position is that of a block of sound (40 ms here), which may be the one after the
    // block that holds the target by the time it is read.
    EXPECT_NEAR(static_cast<double>(view->Position()), 10'000'000, 500'000);
    view->SeekTime(-30'000'000);
    EXPECT_EQ(view->Position(), 0);
    EXPECT_EQ(view->GetTimeFormat(), TimeFormat::MediaTime);
}

TEST_F(PreviewGraphTest, TheSoundOnlyPositionIsTheSoundHeardNotTheSoundWritten) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed";
    const auto r = test::RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                                  "sine=frequency=440:sample_rate=48000:duration=3", "-ac", "2",
                                  "-c:a", "pcm_s16le", "sound.avi"},
                                 dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto sound = std::make_shared<FakeSound>();
    view->AudioRenderer().SetOutput(sound);
    const auto rec = record(dir.file("sound.avi"));
    ASSERT_TRUE(view->OpenPreview(*rec));
    ASSERT_EQ(view->GetTimeFormat(), TimeFormat::MediaTime);
    view->Run();
    // The sound is written ahead, nothing is heard yet.
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (sound->written == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_GT(sound->written, 0);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(view->Position(), 0);
    sound->played = 500'000;
    EXPECT_EQ(view->Position(), 5'000'000);
    // Stopped and played again, it goes on from what was heard.
    view->Stop();
    EXPECT_EQ(view->Position(), 5'000'000);
    view->SeekTime(10'000'000);
    EXPECT_EQ(view->Position(), 15'000'000);
}

TEST_F(PreviewGraphTest, SeekingIsClampedToTheFile) {
    const auto rec = record(dvFile("pal.avi", "type=1 frames=50 date=2004-03-15T10:00:00"));
    ASSERT_TRUE(view->OpenPreview(*rec));
    EXPECT_EQ(view->Duration(), 50);
    view->SeekTo(4);
    EXPECT_EQ(view->Position(), 4);
    view->SeekFrames(-10);
    EXPECT_EQ(view->Position(), 0);
    EXPECT_NE(shownAt(0), nullptr);
    view->SeekFrames(25);  // one second of PAL
    EXPECT_EQ(view->Position(), 25);
    EXPECT_NE(shownAt(25), nullptr);
    view->SeekFrames(1000);
    EXPECT_EQ(view->Position(), 50);
    // Media time moves and comes back to frames on a file with a picture.
    view->SeekTo(0);
    view->SeekTime(10'000'000);
    EXPECT_EQ(view->GetTimeFormat(), TimeFormat::Frame);
    EXPECT_EQ(view->Position(), 25);
    view->SeekTo(25);
    EXPECT_EQ(view->TrackbarValue(1000), 500);
}

TEST_F(PreviewGraphTest, TheFrameShownAfterASeekCarriesItsDatecodeAndTheInlayDrawsIt) {
    const auto rec = record(
        dvFile("dated.avi", "type=2 frames=60 picture=colour:404040 date=2004-03-15T10:00:00"));
    prefs.IsInlayOn = false;
    prefs.InlayFormat2 = "hh:nn:ss";
    prefs.InlayPositionX = 900;
    prefs.InlayPositionY = 900;
    prefs.InlayAlignment = 2;
    ASSERT_TRUE(view->OpenPreview(*rec));
    view->SeekTo(50);
    const auto plain = shownAt(50);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(plain->Facts, nullptr);
    EXPECT_TRUE(plain->Facts->Info.DateValid);
    // Frame 50 of a file that starts at 10:00:00 was recorded two seconds later.
    EXPECT_EQ(FormatDateTime("hh:nn:ss", plain->Facts->Info.Date), "10:00:02");

    const std::uint64_t before = view->VideoRenderer().Sequence();
    prefs.IsInlayOn = true;
    view->SetInlay(true);
    EXPECT_TRUE(view->Inlay().Enabled());
    EXPECT_EQ(view->Position(), 50);
    const auto drawn = shownAt(50, 25.0, before);
    ASSERT_NE(drawn, nullptr);
    ASSERT_EQ(drawn->Rgb.size(), plain->Rgb.size());
    // The text ends at x = 0.9 W and its second line's bottom is at y = 0.9 H (rows bottom-up).
    const int w = drawn->Width, h = drawn->Height, fh = view->Inlay().FontHeight();
    int differing = 0;
    for (int y = h * 9 / 10 - 2 * fh; y < h * 9 / 10; ++y) {
        const std::size_t row = Rgb24Stride(w) * static_cast<std::size_t>(h - 1 - y);
        for (int x = w / 2; x < w * 9 / 10; ++x)
            for (int c = 0; c < 3; ++c)
                differing += drawn->Rgb[row + 3 * x + c] != plain->Rgb[row + 3 * x + c];
    }
    EXPECT_GT(differing, 100);
    EXPECT_EQ(view->Inlay().Line2(), "10:00:02");
}

TEST_F(PreviewGraphTest, DvInMatroskaShowsItsFramesAndDatecodesLikeAType2Avi) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP() << "ffmpeg makes the Matroska file";
    dvFile("tape.dv", "type=raw frames=60 picture=moving date=2004-03-15T10:00:00");
    ASSERT_EQ(test::RunTool({"ffmpeg", "-v", "error", "-i", "tape.dv", "-c", "copy", "tape.mkv"},
                            dir.path())
                  .exitCode,
              0);
    const auto rec = record(dir.file("tape.mkv"));
    ASSERT_TRUE(rec->IsDV);
    ASSERT_TRUE(view->OpenPreview(*rec));
    EXPECT_FALSE(view->ThroughDvSplitter());
    EXPECT_TRUE(view->VideoConnected());
    EXPECT_TRUE(view->AudioConnected());
    EXPECT_EQ(view->MessageCode(), 0);
    view->SeekTo(50);
    const auto shown = shownAt(50);
    ASSERT_NE(shown, nullptr);
    ASSERT_NE(shown->Facts, nullptr);
    EXPECT_TRUE(shown->Facts->Info.DateValid);
    EXPECT_EQ(FormatDateTime("hh:nn:ss", shown->Facts->Info.Date), "10:00:02");
}

TEST_F(PreviewGraphTest, ReleaseFreesTheFileAndResumeTakesItBack) {
    const auto rec = record(dvFile("r.avi", "type=2 frames=10 date=2004-03-15T10:00:00"));
    ASSERT_TRUE(view->OpenPreview(*rec));
    view->ReleasePreview();
    EXPECT_TRUE(view->Released());
    EXPECT_FALSE(view->Active());
    EXPECT_TRUE(view->GetGraph().Filters().empty());
    EXPECT_FALSE(view->OpenPreview(*rec));
    EXPECT_EQ(view->MessageCode(), 8);
    view->ResumePreview();
    EXPECT_TRUE(view->OpenPreview(*rec));
    EXPECT_EQ(view->MessageCode(), 0);
}

TEST_F(PreviewGraphTest, FailedBuildsSayHowFarTheyWent) {
    auto rec = record(dvFile("gone.avi", "type=2 frames=5"));
    std::filesystem::remove(rec->FullName);
    EXPECT_FALSE(view->OpenPreview(*rec));
    EXPECT_EQ(view->Phase(), PreviewGraph::kPhaseLoading);
    EXPECT_EQ(view->MessageCode(), 1);

    const std::string junk = dir.file("junk.avi");
    test::WriteFile(junk, std::string(4096, 'x'));
    rec->FullName = junk;
    EXPECT_FALSE(view->OpenPreview(*rec));
    EXPECT_EQ(view->Phase(), PreviewGraph::kPhaseSplitter);

    rec->FullName = "N/A";
    EXPECT_FALSE(view->OpenPreview(*rec));
    EXPECT_EQ(view->MessageCode(), 8);
}

TEST_F(PreviewGraphTest, PacedPlaybackShowsTheFramesInTime) {
    const auto rec = record(dvFile("play.avi", "type=1 frames=25 date=2004-03-15T10:00:00"));
    ASSERT_TRUE(view->OpenPreview(*rec));
    const auto started = std::chrono::steady_clock::now();
    view->Run();
    EXPECT_TRUE(view->Running());
    int code = 0;
    Status hr = Code::Ok;
    ASSERT_TRUE(view->GetGraph().WaitForCompletion(5000, code, hr));
    const auto took = std::chrono::steady_clock::now() - started;
    // A second of video plays in about a second, not as fast as it decodes.
    EXPECT_GT(took, 800ms);
    EXPECT_GE(view->VideoRenderer().PresentedCount(), 24);
}

TEST_F(PreviewGraphTest, TheSoundHeardReleasesThePictures) {
    auto sound = std::make_shared<FakeSound>();
    view->AudioRenderer().SetOutput(sound);
    const auto rec = record(dvFile("s.avi", "type=1 frames=100 date=2004-03-15T10:00:00"));
    ASSERT_TRUE(view->OpenPreview(*rec));
    ASSERT_TRUE(view->AudioConnected());
    EXPECT_EQ(sound->starts, 1);
    EXPECT_TRUE(sound->suspended);  // paused on the first frame: nothing heard yet
    ASSERT_NE(shownAt(0), nullptr);

    view->Run();
    EXPECT_FALSE(sound->suspended);
    // Nothing played: the pictures wait, however long, while the sound is written ahead.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(shownFrame(), 0);
    EXPECT_TRUE(view->Clock().SoundDriving());
    EXPECT_GT(sound->written, 0);
    // The position is the picture's, not that of the sound written ahead of it.
    EXPECT_EQ(view->Position(), 0);

    sound->played = 100'000;  // 100 ms heard: frames 1 and 2 are due, 3 is not
    EXPECT_EQ(waitForFrame(2), 2);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(shownFrame(), 2);
    EXPECT_EQ(view->Position(), 2);

    // A seek while playing starts the sound's count again at the new position.
    const int flushes = sound->flushes;
    view->SeekTo(50);
    EXPECT_GT(sound->flushes, flushes);
    EXPECT_EQ(waitForFrame(50), 50);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(shownFrame(), 50);
    sound->played = 40'000;
    EXPECT_EQ(waitForFrame(51), 51);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(shownFrame(), 51);

    // Paused, the sound is held; playing again goes on from where it stood.
    view->PausePreview();
    EXPECT_TRUE(sound->suspended);
    view->Run();
    EXPECT_FALSE(sound->suspended);
    sound->played = 120'000;
    EXPECT_EQ(waitForFrame(53), 53);
    view->Stop();
}

TEST_F(PreviewGraphTest, AFailingSoundDeviceHandsOverToTheSilentClockWithoutAStall) {
    auto sound = std::make_shared<FakeSound>();
    view->AudioRenderer().SetOutput(sound);
    const auto rec = record(dvFile("f.avi", "type=2 frames=100 date=2004-03-15T10:00:00"));
    ASSERT_TRUE(view->OpenPreview(*rec));
    view->Run();
    sound->played = 400'000;
    EXPECT_EQ(waitForFrame(10), 10);
    const auto failed = std::chrono::steady_clock::now();
    sound->played = -1;
    // The silent clock carries on from 400 ms: a second later the picture is near frame 35,
    // neither stuck at 10 nor back at the start.
    EXPECT_GE(waitForFrame(20, 2s), 20);
    EXPECT_FALSE(view->Clock().SoundDriving());
    std::this_thread::sleep_until(failed + 1s);
    const std::int64_t at = shownFrame();
#if defined(__SANITIZE_THREAD__)
    // Decoding under ThreadSanitizer on a loaded machine may fall a few frames behind.
    EXPECT_GE(at, 22);
#else
    EXPECT_GE(at, 29);
#endif
    EXPECT_LE(at, 41);
    view->Stop();
}

TEST_F(PreviewGraphTest, WithoutSoundTheSilentClockPacesAfterASeek) {
    prefs.PreviewDvAtHalfSize = true;
    const auto rec = record(dvFile("q.avi", "type=1 frames=100"));
    ASSERT_TRUE(view->OpenPreview(*rec));
    view->Run();
    EXPECT_FALSE(view->Clock().SoundDriving());
    view->SeekTo(60);
    const auto sought = std::chrono::steady_clock::now();
    EXPECT_GE(waitForFrame(60), 60);
    std::this_thread::sleep_until(sought + 400ms);
    // Ten frames in 400 ms from the seek position, give or take the scheduler.
    EXPECT_GE(shownFrame(), 66);
    EXPECT_LE(shownFrame(), 73);
    view->Stop();
}

// The leftmost columns of a half-size picture are the picture's, not a strip of another colour.
TEST_F(PreviewGraphTest, HalfSizePicturesHaveNoStripAtTheLeftEdge) {
    for (const std::string colour : {"808080", "3060c0", "c04020"}) {
        SCOPED_TRACE(colour);
        const std::string path = dir.file("edge.dv");
        std::string error;
        ASSERT_TRUE(
            fixtures::WriteDvFile(path, "type=raw frames=1 picture=colour:" + colour, error))
            << error;
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> frame{std::istreambuf_iterator<char>(in), {}};
        for (const bool half : {true, false}) {
            DvVideoDecoder decoder;
            ASSERT_TRUE(decoder.open(half));
            int w = 0, h = 0;
            std::vector<std::uint8_t> rgb(Rgb24Stride(decoder.width()) * decoder.height(true));
            ASSERT_TRUE(decoder.decode(frame, rgb, w, h)) << decoder.errorText();
            ASSERT_EQ(w, half ? 360 : 720);
            // Columns 0..7 against column 16, on rows through the picture; a few levels of
            // difference are the codec's rounding.
            for (int y = 8; y < h - 8; y += 37) {
                const std::size_t row = Rgb24Stride(w) * static_cast<std::size_t>(y);
                for (int x = 0; x < 8; ++x)
                    for (int c = 0; c < 3; ++c)
                        ASSERT_NEAR(rgb[row + 3 * x + c], rgb[row + 3 * 16 + c], 6)
                            << (half ? "half" : "full") << " size, x " << x << " y " << y
                            << " channel " << c;
            }
        }
    }
}

}  // namespace
}  // namespace kelvor::media
