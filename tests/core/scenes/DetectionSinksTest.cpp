#include "core/scenes/DetectionSinks.h"

#include <gtest/gtest.h>

#include "core/scenes/DetectorTestFrames.h"
#include "core/scenes/ScenesTestSupport.h"
#include "core/scenes/ScnFile.h"
#include "core/scenes/SpreadsheetWriters.h"
#include "core/scenes/TextWriters.h"
#include "support/TempDir.h"

namespace kelvor::scenes {
namespace {

using kelvor::test::TempDir;
using test::addFrames;
using test::FrameSpec;

SinkSettings settings25() {
    SinkSettings s;
    s.Export.FrameRate = 25;
    s.Export.Now = test::fixedNow;
    return s;
}

FrameSpec at(long long seconds) {
    return FrameSpec().date(seconds);
}

// The byte that tells the variants apart: the seventh of the constants after the name.
std::uint8_t variantByte(const std::string& scn, std::size_t videoNameLength, bool wide) {
    const auto bytes = test::readBytes(scn);
    const std::size_t constants = 24 + (wide ? 4 + 2 * videoNameLength : 1 + videoNameLength);
    return bytes.at(constants + 6);
}

TEST(DetectionSinks, ScnByDateWritesOneCaptionedScenePerDateScene) {
    TempDir dir;
    const std::string video = dir.file("v.avi");
    std::vector<FrameSpec> f;
    addFrames(f, 50, [](int) { return at(0); });
    addFrames(f, 50, [](int) { return at(10).timecode({0, 0, 2, 0}); });
    for (int typeScn : {1, 2}) {
        DetectionSinks sinks(settings25());
        DateSceneDetector d;
        sinks.ConnectScnByDate(d, video, typeScn);
        test::stream(d, f);
        d.Stop();
        EXPECT_EQ(sinks.ScnSink(), nullptr);  // the stream end closed it
        SceneList scenes;
        ASSERT_TRUE(ReadScnFile(dir.file("v.scn"), scenes, 25));
        EXPECT_EQ(scenes,
                  (SceneList{{"Scene 1: 3/15/2004 10:00:00 | Duration = 02.00", {0, 50}},
                             {"Scene 2: 3/15/2004 10:00:10 | Duration = 02.00", {50, 100}}}));
        EXPECT_EQ(variantByte(dir.file("v.scn"), video.size(), typeScn != 1),
                  typeScn == 1 ? 0x00 : 0x0C);
    }
}

TEST(DetectionSinks, EmptyScenesGetNoEntryAndUndatedCaptionsHaveAnEmptyDate) {
    TempDir dir;
    DetectionSinks sinks(settings25());
    DateSceneDetector d;
    sinks.ConnectScnByDate(d, dir.file("v.avi"), 1);
    FrameInfo s;
    FrameInfo r;
    sinks.ScnSceneEnd(s, r);  // a scene end at frame 0
    // A format change and a disappearance on frame 10: two reports, the second empty.
    std::vector<FrameSpec> f;
    addFrames(f, 10, [](int) { return at(0); });
    addFrames(f, 90, [](int) { return FrameSpec().wide(); });
    test::stream(d, f);
    d.Stop();
    SceneList scenes;
    ASSERT_TRUE(ReadScnFile(dir.file("v.scn"), scenes, 25));
    EXPECT_EQ(scenes, (SceneList{{"Scene 1: 3/15/2004 10:00:00 | Duration = 00.10", {0, 10}},
                                 {"Scene 2:  | Duration = 03.15", {10, 100}}}));
}

TEST(DetectionSinks, TextAndSpreadsheetByDate) {
    TempDir dir;
    const std::string video = dir.file("v.avi");
    std::vector<FrameSpec> f;
    addFrames(f, 25, [](int) { return at(0).timecode({0, 0, 0, 1}); });
    addFrames(f, 25, [](int) { return FrameSpec(); });
    DetectionSinks sinks(settings25());
    DateSceneDetector d;
    sinks.ConnectTextByDate(d, video);
    test::stream(d, f);
    d.Stop();
    const std::string text = test::readText(dir.file("v_scn.txt"));
    EXPECT_NE(text.find("\r\n  1, 00.00.00.00, 00.00.01.00, 3/15/2004 10:00:00, 0:00:00:01, "
                        "00.00.01.00, \r\n  2, 00.00.01.00, 00.00.02.00, , , 00.00.01.00, \r\n"),
              std::string::npos)
        << text;

    sinks.ConnectSpreadsheetByDate(d, video);
    ASSERT_NE(sinks.SpreadsheetSink(), nullptr);
    test::stream(d, f);
    EXPECT_EQ(sinks.SpreadsheetSink()->ScenesWritten(), 1);
    d.Stop();
    EXPECT_EQ(sinks.SpreadsheetSink(), nullptr);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"v.xlsx", "v_scn.txt"}));
}

TEST(DetectionSinks, SubtitlesWithThePreferences) {
    TempDir dir;
    std::vector<FrameSpec> f;
    addFrames(f, 100, [](int i) { return at(i / 25); });
    DetectionSinks sinks(settings25());
    DateSceneDetector d;
    SubtitleSettings subtitles;
    subtitles.DisplaySeconds = 2;  // 50 frames at 25 fps
    subtitles.DateFormat1 = "yyyy-mm-dd";
    subtitles.DateFormat2 = "hh:nn:ss";
    sinks.ConnectSubtitles(d, dir.file("v.avi"), subtitles);
    test::stream(d, f);
    d.Stop();
    EXPECT_EQ(test::readText(dir.file("v.srt")),
              "1\r\n00:00:00,000 --> 00:00:01,000\r\n2004-03-15\r\n10:00:00\r\n\r\n"
              "2\r\n00:00:01,000 --> 00:00:02,000\r\n2004-03-15\r\n10:00:01\r\n\r\n");
}

TEST(DetectionSinks, ContentSinksSkipFrameZero) {
    TempDir dir;
    DetectionSinks sinks(settings25());
    sinks.OpenTextByContent(dir.file("v.avi"));
    sinks.ContentTextSceneEnd(0);
    sinks.ContentTextSceneEnd(25);
    EXPECT_TRUE(sinks.CloseTextByContent());
    const std::string text = test::readText(dir.file("v_scn.txt"));
    EXPECT_NE(text.find("\r\n  1, 00.00.00.00, 00.00.01.00, 00.00.01.00, \r\n\r\n//---"),
              std::string::npos)
        << text;
    EXPECT_FALSE(sinks.CloseTextByContent());
}

// A run that failed keeps every file it would have replaced exactly as it was.
TEST(DetectionSinks, DiscardAllKeepsTheOldFiles) {
    TempDir dir;
    const std::string video = dir.file("v.avi");
    const char* companions[] = {"v.scn", "v_scn.txt", "v.xlsx", "v.srt"};
    for (const char* name : companions)
        test::writeBytes(dir.file(name), {'o', 'l', 'd'});
    DetectionSinks sinks(settings25());
    DateSceneDetector d;
    sinks.ConnectSubtitles(d, video, SubtitleSettings{});
    sinks.OpenScnByDate(video, 1);
    sinks.OpenTextByDate(video);
    sinks.OpenSpreadsheetByDate(video);
    sinks.DiscardAll();
    EXPECT_FALSE(sinks.CloseScn());
    for (const char* name : companions)
        EXPECT_EQ(test::readText(dir.file(name)), "old") << name;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace kelvor::scenes
