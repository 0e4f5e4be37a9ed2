#include "core/scenes/DateSceneDetector.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/scenes/DetectorTestFrames.h"

namespace kelvor::scenes {
namespace {

using test::addFrames;
using test::FrameSpec;
using test::Recorder;
using Ends = std::vector<std::pair<int, int>>;

FrameSpec at(long long seconds) {
    return FrameSpec().date(seconds);
}
FrameSpec undated() {
    return FrameSpec{};
}

TEST(DateSceneDetector, DateJumpsOfMoreThanFiveSecondsEitherWay) {
    std::vector<FrameSpec> f;
    addFrames(f, 10, [](int) { return at(0); });
    addFrames(f, 10, [](int) { return at(4); });   // +4 s: same scene
    addFrames(f, 10, [](int) { return at(10); });  // +6 s
    addFrames(f, 10, [](int) { return at(4); });   // -6 s
    addFrames(f, 10, [](int) { return at(9); });   // exactly +5 s: same scene
    addFrames(f, 10, [](int) { return at(4); });   // exactly -5 s: same scene
    DateSceneDetector d;
    Recorder r;
    r.attach(d, false);
    test::stream(d, f);
    EXPECT_EQ(r.sceneEnds, (Ends{{0, 20}, {20, 30}}));
    d.Stop();
    EXPECT_EQ(r.sceneEnds.back(), (std::pair{30, 60}));
    EXPECT_EQ(r.streamEnds, 1);
}

TEST(DateSceneDetector, WithoutAnyDatecodeOnlyTheStopEndsTheScene) {
    std::vector<FrameSpec> f;
    addFrames(f, 30, [](int) { return undated(); });
    DateSceneDetector d;
    Recorder r;
    r.attach(d, false);
    test::stream(d, f);
    EXPECT_TRUE(r.sceneEnds.empty());
    d.Stop();
    EXPECT_EQ(r.sceneEnds, (Ends{{0, 30}}));
}

TEST(DateSceneDetector, DisappearanceAndReappearanceAfterTheFrameGap) {
    std::vector<FrameSpec> f;
    auto running = [](int i) { return at(i / 25); };
    addFrames(f, 100, running);
    addFrames(f, 6, [](int) { return undated(); });   // 100-105
    addFrames(f, 94, running);                        // back at 106: 6 frames, no new scene
    addFrames(f, 20, [](int) { return undated(); });  // 200-219
    addFrames(f, 20, running);                        // back at 220: 20 frames, a new scene
    DateSceneDetector d;
    Recorder r;
    r.attach(d, false);
    test::stream(d, f);
    d.Stop();
    EXPECT_EQ(r.sceneEnds, (Ends{{0, 100}, {100, 200}, {200, 220}, {220, 240}}));
}

// The scene that starts where the datecode comes back measures its first jump from there: one
// frame at +100 s followed by frames at +200 s stays one scene.
TEST(DateSceneDetector, ASceneStartedByAReappearanceForgetsTheDatesBeforeIt) {
    std::vector<FrameSpec> f;
    addFrames(f, 25, [](int) { return at(0); });
    addFrames(f, 20, [](int) { return undated(); });
    addFrames(f, 1, [](int) { return at(100); });
    addFrames(f, 25, [](int) { return at(200); });
    DateSceneDetector d;
    Recorder r;
    r.attach(d, false);
    test::stream(d, f);
    d.Stop();
    EXPECT_EQ(r.sceneEnds, (Ends{{0, 25}, {25, 45}, {45, 71}}));
}

TEST(DateSceneDetector, TwelveFrameGapFromTheStartAndResetBetweenRuns) {
    DateSceneDetector d;
    Recorder r;
    r.attach(d, false);
    // The first date appears 12 frames after the scene's start: not more than the gap.
    std::vector<FrameSpec> f;
    addFrames(f, 12, [](int) { return undated(); });
    addFrames(f, 10, [](int) { return at(0); });
    test::stream(d, f);
    d.Stop();
    EXPECT_EQ(r.sceneEnds, (Ends{{0, 22}}));

    // The next run starts afresh although the last run ended on a dated frame: frame 0 without
    // a date ends nothing, and a date after 13 frames ends the first scene.
    r.sceneEnds.clear();
    f.clear();
    addFrames(f, 13, [](int) { return undated(); });
    addFrames(f, 10, [](int) { return at(100); });
    test::stream(d, f);
    d.Stop();
    EXPECT_EQ(r.sceneEnds, (Ends{{0, 13}, {13, 23}}));
}

TEST(DateSceneDetector, FormatChangeWinsOverADateJumpOnTheSameFrame) {
    std::vector<FrameSpec> f;
    addFrames(f, 10, [](int) { return at(0); });
    addFrames(f, 10, [](int) { return at(100).wide(); });
    addFrames(f, 10, [](int) { return at(100).wide().rate(2); });
    // A frame without its format packs neither compares nor changes the scene's format.
    addFrames(f, 5, [](int) { return at(100).noFormat(); });
    DateSceneDetector d;
    Recorder r;
    r.attach(d, false);
    test::stream(d, f);
    d.Stop();
    EXPECT_EQ(r.sceneEnds, (Ends{{0, 10}, {10, 20}, {20, 35}}));
}

TEST(DateSceneDetector, FormatChangeAndDisappearanceOnTheSameFrameReportTwoEnds) {
    std::vector<FrameSpec> f;
    addFrames(f, 10, [](int) { return at(0); });
    addFrames(f, 10, [](int) { return FrameSpec().wide(); });
    DateSceneDetector d;
    Recorder r;
    r.attach(d, false);
    test::stream(d, f);
    d.Stop();
    EXPECT_EQ(r.sceneEnds, (Ends{{0, 10}, {10, 10}, {10, 20}}));
}

// Frames where the detector shows lines.
std::vector<int> shownFrames(DateSceneDetector& d, const std::vector<FrameSpec>& f) {
    std::vector<int> shown;
    test::stream(d, f, [&](int i) {
        if (!d.Line1().empty())
            shown.push_back(i);
    });
    return shown;
}

std::vector<int> range(int first, int last) {
    std::vector<int> out;
    for (int i = first; i <= last; ++i)
        out.push_back(i);
    return out;
}
std::vector<int> operator+(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(DateSceneDetector, AutomaticSubtitlesOnceAtTheStart) {
    std::vector<FrameSpec> f;
    addFrames(f, 200, [](int i) { return at(i / 25); });
    DateSceneDetector d;
    d.SetTrigger(0);
    std::vector<int> shown;
    test::stream(d, f, [&](int i) {
        if (i == 0) {
            // The empty first format formats like "c"; the second is "ddddd hh:nn:ss".
            EXPECT_EQ(d.Line1(), "3/15/2004 10:00:00 AM");
            EXPECT_EQ(d.Line2(), "3/15/2004 10:00:00");
        }
        if (!d.Line1().empty())
            shown.push_back(i);
    });
    EXPECT_EQ(shown, range(0, 122));
}

TEST(DateSceneDetector, AutomaticSubtitlesAtEachScene) {
    std::vector<FrameSpec> f;
    addFrames(f, 150, [](int) { return at(0); });
    addFrames(f, 150, [](int) { return at(3); });  // 3 s ahead: shown again
    addFrames(f, 20, [](int) { return at(5); });   // 2 s ahead: not
    addFrames(f, 140, [](int) { return at(4); });  // backwards: shown again
    DateSceneDetector d;
    EXPECT_EQ(shownFrames(d, f), range(0, 124) + range(150, 274) + range(320, 444));
}

TEST(DateSceneDetector, AutomaticSubtitlesAtEachDay) {
    constexpr long long kDay = 86400;
    std::vector<FrameSpec> f;
    addFrames(f, 200, [](int) { return at(0); });
    addFrames(f, 100, [](int) { return at(kDay); });         // the next day
    addFrames(f, 100, [](int) { return at(kDay + 7200); });  // same day, later: not shown
    addFrames(f, 100, [](int) { return at(32 * kDay); });    // 16 April: same day of the month
    DateSceneDetector d;
    d.SetDisplayFrames(50);
    d.SetTrigger(2);
    EXPECT_EQ(shownFrames(d, f), range(0, 49) + range(200, 249) + range(400, 449));
}

TEST(DateSceneDetector, SubtitleReportsAndStopRestoresDefaults) {
    std::vector<FrameSpec> f;
    addFrames(f, 60, [](int i) { return at(i / 25); });
    DateSceneDetector d;
    Recorder r;
    r.attach(d);
    d.SetAutoMode(false);
    d.SetDateFormats("yyyy-mm-dd", "hh:nn:ss");
    d.SetTimeShift(1.0 / 24);
    test::stream(d, f);
    d.Stop();
    using Calls = std::vector<std::tuple<int, std::string, std::string>>;
    EXPECT_EQ(r.subtitles, (Calls{{0, "2004-03-15", "11:00:00"},
                                  {25, "2004-03-15", "11:00:01"},
                                  {50, "2004-03-15", "11:00:02"},
                                  {60, "", ""}}));
    EXPECT_EQ(d.Countdown(), 0);

    // Stop dropped the subtitle sink: a second run reports no lines, and an empty format
    // argument renders as one blank.
    r.subtitles.clear();
    test::stream(d, f);
    d.Stop();
    EXPECT_TRUE(r.subtitles.empty());
    d.SetSubtitleSink([&](const FrameInfo& fi, const std::string& a, const std::string& b) {
        r.subtitles.emplace_back(fi.FrameNumber, a, b);
    });
    d.SetAutoMode(false);
    d.SetDateFormats("", "yyyy");
    test::stream(d, std::vector<FrameSpec>(f.begin(), f.begin() + 2));
    d.Stop();
    EXPECT_EQ(r.subtitles, (Calls{{0, " ", "2004"}, {2, "", ""}}));
}

TEST(DateSceneDetector, TimecodeLines) {
    std::vector<FrameSpec> f;
    f.push_back(FrameSpec().timecode({0, 0, 1, 2}));
    f.push_back(FrameSpec().timecode({1, 2, 3, 4}));
    f.push_back(FrameSpec{});
    DateSceneDetector d;
    Recorder r;
    r.attach(d);
    d.SetDisplayKind(1);
    d.SetAutoMode(false);
    test::stream(d, f);
    using Calls = std::vector<std::tuple<int, std::string, std::string>>;
    EXPECT_EQ(r.subtitles, (Calls{{0, "", "0:00:01:02"}, {1, "", "1:02:03:04"}, {2, "", ""}}));
    // The missing pack keeps the last timecode in the record but clears its flag.
    EXPECT_FALSE(d.Current().TimecodeValid);
    EXPECT_EQ(d.Current().Timecode, (dv::Timecode{1, 2, 3, 4}));
}

TEST(DateSceneDetector, RecordsHeaderBlocksAndOtherSamples) {
    DateSceneDetector d;
    d.StartStreaming();
    EXPECT_EQ(d.HeaderBlocks()[0].SampleIndex, -1);
    // Not a whole DV frame: a damaged frame of the timeline, which says nothing.
    d.ProcessSample(std::vector<std::uint8_t>(1000, 0));
    EXPECT_FALSE(d.Last().DateValid || d.Last().FormatValid);
    auto frame = test::makeFrame(at(0).wide().rate(1).ntsc());
    frame[3 * dv::kDifSequenceSize + 479] = 0xAB;
    d.ProcessSample(frame);
    EXPECT_EQ(d.SampleCount(), 2);
    EXPECT_EQ(d.ReadableFrameCount(), 1);
    EXPECT_EQ(d.Current().FrameNumber, 2);
    const FrameInfo& last = d.Last();
    EXPECT_EQ(last.FrameNumber, 1);
    EXPECT_TRUE(last.DateValid && last.FormatValid);
    EXPECT_EQ(last.Date, test::kBaseDate);
    EXPECT_EQ(last.Standard, dv::kStandardNtsc);
    EXPECT_EQ(last.Widescreen, 1);
    EXPECT_EQ(last.SampleRate, 44100);
    EXPECT_EQ(last.Quantization, 16);
    EXPECT_EQ(d.HeaderBlocks()[3].Bytes[479], 0xAB);
    EXPECT_EQ(d.HeaderBlocks()[3].SampleIndex, 1);
    EXPECT_EQ(d.HeaderBlocks()[0].Bytes[3], 0x3F);
    EXPECT_FALSE(d.Previous().DateValid);
    EXPECT_EQ(d.PreviousSnapshot(), d.Previous());
}

// A dropout keeps the timeline: a damaged frame is counted, changes no scene, and is never the
// record a scene starts with.
TEST(DateSceneDetector, DamagedFramesKeepTheirPlaceAndChangeNoScene) {
    const std::vector<std::uint8_t> zeros(dv::kFrameSize625, 0);
    const std::vector<std::uint8_t> cut(50000, 0x55);
    struct Run {
        std::vector<std::pair<int, int>> ends;
        std::vector<bool> startDated;
    };
    auto run = [](const std::vector<std::vector<std::uint8_t>>& frames) {
        DateSceneDetector d;
        Run r;
        d.OnSceneEnd = [&](const FrameInfo& s, const FrameInfo& c) {
            r.ends.emplace_back(s.FrameNumber, c.FrameNumber);
            r.startDated.push_back(s.DateValid);
        };
        d.StartStreaming();
        for (const auto& f : frames)
            d.ProcessSample(f);
        d.Stop();
        return r;
    };
    std::vector<std::vector<std::uint8_t>> frames;
    for (int i = 0; i < 30; ++i)
        frames.push_back(test::makeFrame(at(0)));
    frames.push_back(zeros);  // frame 30
    for (int i = 0; i < 29; ++i)
        frames.push_back(test::makeFrame(at(1)));
    Run r = run(frames);
    EXPECT_EQ(r.ends, (Ends{{0, 60}}));
    EXPECT_EQ(r.startDated, std::vector<bool>{true});

    // A bad first frame: the scene starts with the first readable one.
    frames.front() = zeros;
    r = run(frames);
    EXPECT_EQ(r.ends, (Ends{{1, 60}}));
    EXPECT_EQ(r.startDated, std::vector<bool>{true});

    // A cut-short chunk before a date jump: the jump still ends the scene on its own frame.
    frames.clear();
    for (int i = 0; i < 10; ++i)
        frames.push_back(test::makeFrame(at(0)));
    frames.push_back(cut);  // frame 10
    for (int i = 0; i < 10; ++i)
        frames.push_back(test::makeFrame(at(100)));  // frames 11-20
    r = run(frames);
    EXPECT_EQ(r.ends, (Ends{{0, 11}, {11, 21}}));
}

TEST(DateSceneDetector, ThrowingSinkDoesNotStopTheStream) {
    std::vector<FrameSpec> f;
    addFrames(f, 5, [](int) { return at(0); });
    addFrames(f, 5, [](int) { return at(60); });
    DateSceneDetector d;
    int calls = 0;
    d.OnSceneEnd = [&](const FrameInfo&, const FrameInfo&) {
        ++calls;
        throw std::runtime_error("disk full");
    };
    EXPECT_NO_THROW(test::stream(d, f));
    EXPECT_NO_THROW(d.Stop());
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(d.SinkError(), "disk full");
    d.StartStreaming();
    EXPECT_EQ(d.SinkError(), "");
}

}  // namespace
}  // namespace kelvor::scenes
