// kelvor-cli scenes on real files: scenes end where the datecode jumps, every requested file is
// written beside the video, the video is left as it was, and failures give exit status 1.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "cli/RunCli.h"
#include "core/scenes/ScnFile.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::pair<int, int>> Ranges(const fs::path& scn, double rate) {
    scenes::SceneList list;
    EXPECT_TRUE(scenes::ReadScnFile(scn.string(), list, rate)) << scn;
    std::vector<std::pair<int, int>> out;
    for (const auto& e : list)
        out.emplace_back(e.Scene.StartFrame, e.Scene.EndFrame);
    return out;
}

TEST(ScenesVerb, CutsAtDateJumpsAndWritesEveryFile) {
    test::TempDir dir;
    std::string error;
    // 40 frames, a jump of two hours, 30 frames, a step back of 6 seconds, 25 frames, then a
    // step back of 1 second (no cut) for 10 frames.
    ASSERT_TRUE(fixtures::WriteDvFile((dir / "clip.avi").string(),
                                      "type=2 frames=40 date=2024-05-06T07:08:09;"
                                      "frames=30 date=2024-05-06T09:00:00;"
                                      "frames=25 date=2024-05-06T08:59:55;"
                                      "frames=10 date=2024-05-06T08:59:55",
                                      error))
        << error;
    ASSERT_TRUE(fixtures::WriteDvFile((dir / "one.avi").string(),
                                      "type=1 frames=20 date=2020-02-02T02:02:02", error));
    const std::string before = ReadAll(dir / "clip.avi");
    auto r = test::RunCli(dir, {"scenes", "--text", "--xlsx", "--srt", "clip.avi", "one.avi"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(ReadAll(dir / "clip.avi"), before);
    EXPECT_EQ(Ranges(dir / "clip.scn", 25),
              (std::vector<std::pair<int, int>>{{0, 40}, {40, 70}, {70, 105}}));
    EXPECT_EQ(Ranges(dir / "one.scn", 25), (std::vector<std::pair<int, int>>{{0, 20}}));
    EXPECT_TRUE(fs::exists(dir / "clip_scn.txt"));
    EXPECT_TRUE(fs::exists(dir / "clip.xlsx"));
    EXPECT_TRUE(fs::exists(dir / "clip.srt"));
    EXPECT_NE(ReadAll(dir / "clip_scn.txt").find("5/6/2024 09:00:00"), std::string::npos);

    test::WriteFile(dir / "text.avi", "not a video");
    auto bad = test::RunCli(dir, {"scenes", "one.avi", "text.avi", "missing.avi"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "text.scn"));
}

TEST(ScenesVerb, FfmpegWrappedDvEndsScenesAtTheJump) {
    if (!test::ToolAvailable("ffmpeg"))
        GTEST_SKIP();
    test::TempDir dir;
    // Two recordings made by ffmpeg an hour apart, joined as one raw DV stream, wrapped as type 2.
    for (const char* when : {"2021-03-04T05:06:07", "2021-03-04T06:06:07"}) {
        auto made = test::RunTool({"ffmpeg",
                                   "-loglevel",
                                   "error",
                                   "-y",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "testsrc=size=720x576:rate=25",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "sine=r=48000",
                                   "-t",
                                   "1",
                                   "-c:v",
                                   "dvvideo",
                                   "-pix_fmt",
                                   "yuv420p",
                                   "-c:a",
                                   "pcm_s16le",
                                   "-ac",
                                   "2",
                                   "-metadata",
                                   std::string("creation_time=") + when,
                                   "-f",
                                   "dv",
                                   std::string(when).substr(11, 2) + ".dv"},
                                  dir.path());
        ASSERT_EQ(made.exitCode, 0);
    }
    std::ofstream(dir / "all.dv", std::ios::binary)
        << ReadAll(dir / "05.dv") << ReadAll(dir / "06.dv");
    ASSERT_EQ(test::RunTool(
                  {"ffmpeg", "-loglevel", "error", "-y", "-i", "all.dv", "-c", "copy", "all.avi"},
                  dir.path())
                  .exitCode,
              0);
    auto r = test::RunCli(dir, {"scenes", "all.avi"});
    EXPECT_EQ(r.exitCode, 0);
    // ffmpeg stamps every frame of a file with the same time, so the only cut is the join.
    EXPECT_EQ(Ranges(dir / "all.scn", 25), (std::vector<std::pair<int, int>>{{0, 25}, {25, 50}}));
}

}  // namespace
}  // namespace kelvor
