// The scenes the exports cut and mark, on real DV files: by date, from an scn file (fitted to the
// stream, dated from the running datecode), through damaged frames; and the names of the
// exported files with their collisions.
#include <gtest/gtest.h>

#include <fstream>

#include "commands/ExportScenes.h"
#include "core/files/DateTime.h"
#include "core/scenes/ScnFile.h"
#include "fixtures/DvFixture.h"
#include "media/graphs/ConversionGraphs.h"
#include "support/TempDir.h"

namespace kelvor::commands {
namespace {

double At(int h, int m, int s) {
    return *EncodeDateTime({2024, 7, 14, h, m, s, 0});
}

std::string Make(const test::TempDir& dir, const std::string& name, const char* description) {
    const std::string path = dir.file(name);
    std::string error;
    EXPECT_TRUE(fixtures::WriteDvFile(path, description, error)) << error;
    return path;
}

// Two recordings, the second with a stretch of frames whose date packs are damaged.
constexpr const char* kTwoRecordings =
    "type=2 frames=30 date=2024-07-14T10:00:00 tc=00:01:02:03; frames=40 "
    "date=2024-07-14T11:00:00; frames=3 fault=ff; frames=10 fault=none";

TEST(ExportScenes, ByDateGivesEachRecordingWithItsDatesAndTheRunningDatecode) {
    test::TempDir dir;
    const std::string video = Make(dir, "a.avi", kTwoRecordings);
    media::ConversionGraphs graphs;
    ExportSceneSource s;
    ASSERT_TRUE(ReadExportScenes(graphs, video, "", {}, s)) << s.Error;
    EXPECT_FALSE(s.FromScn);
    EXPECT_EQ(s.FrameCount, 83);
    ASSERT_GE(s.Scenes.size(), 2u);
    EXPECT_EQ(s.Scenes[0].FirstFrame, 0);
    EXPECT_EQ(s.Scenes[0].LastFrame, 29);
    EXPECT_TRUE(s.Scenes[0].DateValid);
    EXPECT_EQ(s.Scenes[0].StartDate, At(10, 0, 0));
    EXPECT_EQ(s.Scenes[0].Caption.rfind("Scene 1: 7/14/2024 10:00:00 | Duration = ", 0), 0u)
        << s.Scenes[0].Caption;
    EXPECT_EQ(s.Scenes[1].FirstFrame, 30);
    EXPECT_EQ(s.Scenes[1].StartDate, At(11, 0, 0));
    EXPECT_EQ(s.Scenes.back().LastFrame, 82);
    ASSERT_TRUE(s.TimecodeValid);
    EXPECT_EQ(s.FirstTimecode.Minutes, 1);
    EXPECT_EQ(s.FirstTimecode.Frames, 3);

    // The datecode runs a second every 25 frames and is absent on the damaged frames only.
    EXPECT_EQ(DatecodeAt(s.Datecodes, 24), At(10, 0, 0));
    EXPECT_EQ(DatecodeAt(s.Datecodes, 25), At(10, 0, 1));
    EXPECT_EQ(DatecodeAt(s.Datecodes, 30), At(11, 0, 0));
    EXPECT_EQ(DatecodeAt(s.Datecodes, 55), At(11, 0, 1));
    EXPECT_FALSE(DatecodeAt(s.Datecodes, 70).has_value());
    EXPECT_FALSE(DatecodeAt(s.Datecodes, 72).has_value());
    EXPECT_TRUE(DatecodeAt(s.Datecodes, 73).has_value());
    for (std::size_t i = 1; i < s.Datecodes.size(); ++i)
        EXPECT_LT(s.Datecodes[i - 1].Frame, s.Datecodes[i].Frame);
}

TEST(ExportScenes, TheScnDecidesTheCutsAndTheStreamTheirDates) {
    test::TempDir dir;
    const std::string video = Make(dir, "b.avi", kTwoRecordings);
    const std::string scn = scenes::ReplaceExtension(video, ".scn");
    {
        scenes::ScnWriter w(video, scenes::ScnVariant::Wide);
        w.AddScene("Beach", 40);
        w.AddScene("Damaged start", 70);
        w.AddScene("Past the end", 500);
        ASSERT_TRUE(w.Close());
    }
    media::ConversionGraphs graphs;
    ExportSceneSource s;
    ASSERT_TRUE(ReadExportScenes(graphs, video, scn, {}, s)) << s.Error;
    EXPECT_TRUE(s.FromScn);
    ASSERT_EQ(s.Scenes.size(), 3u);
    EXPECT_EQ(s.Scenes[0].Caption, "Beach");
    EXPECT_EQ(s.Scenes[0].LastFrame, 39);
    EXPECT_EQ(s.Scenes[1].FirstFrame, 40);
    EXPECT_EQ(s.Scenes[1].StartDate, At(11, 0, 0));
    // A scene that starts on damaged frames takes the first date inside it; the last one ends
    // with the stream.
    EXPECT_EQ(s.Scenes[2].FirstFrame, 70);
    EXPECT_EQ(s.Scenes[2].LastFrame, 82);
    EXPECT_TRUE(s.Scenes[2].DateValid);
    EXPECT_EQ(s.Scenes[2].StartDate, At(11, 0, 1));

    // A missing scn falls back to the scenes by date.
    ASSERT_TRUE(ReadExportScenes(graphs, video, dir.file("none.scn"), {}, s)) << s.Error;
    EXPECT_FALSE(s.FromScn);
}

TEST(ExportScenes, AFileThatIsNoDvFails) {
    test::TempDir dir;
    const std::string path = dir.file("text.avi");
    std::ofstream(path) << "not a video";
    media::ConversionGraphs graphs;
    ExportSceneSource s;
    EXPECT_FALSE(ReadExportScenes(graphs, path, "", {}, s));
    EXPECT_FALSE(s.Error.empty());
}

TEST(ExportNames, NamesComeFromTheFirstDatecodeAndCollisionsCount) {
    test::TempDir dir;
    ExportScene scene{0, 9, true, At(10, 5, 6), "x"};
    EXPECT_EQ(ExportBaseName(scene, "yyyy-mm-dd hh.nn.ss", 0, EnglishLocale(), "none"),
              "2024-07-14 10.05.06");
    // The time shift applies, and characters a name cannot hold become dots.
    EXPECT_EQ(ExportBaseName(scene, "yyyy/mm/dd hh:nn", 1.0 / 24, EnglishLocale(), "none"),
              "2024.07.14 11.05");
    scene.DateValid = false;
    EXPECT_EQ(ExportBaseName(scene, "yyyy", 0, EnglishLocale(), "clip"), "clip");

    const std::string folder = dir.path().string() + "/";
    std::ofstream(folder + "2024.mkv") << "x";
    std::set<std::string> taken;
    EXPECT_EQ(FreeExportPath(folder, "2024", ".mkv", taken), folder + "2024(1).mkv");
    EXPECT_EQ(FreeExportPath(folder, "2024", ".mkv", taken), folder + "2024(2).mkv");
    EXPECT_EQ(FreeExportPath(folder, "2025", ".mkv", taken), folder + "2025.mkv");
}

}  // namespace
}  // namespace kelvor::commands
