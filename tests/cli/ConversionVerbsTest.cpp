// The graph commands through kelvor-cli as a user runs them, each output read by ffprobe,
// mediainfo and ffmpeg: the script letters of the conversions, the extraction, the time
// difference, the cut and the scenes by content, and nothing replaced without an answer.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/RunCli.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

class ConversionVerbs : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::ToolAvailable("ffprobe") || !test::ToolAvailable("mediainfo") ||
            !test::ToolAvailable("ffmpeg"))
            GTEST_SKIP() << "ffmpeg, ffprobe and mediainfo read the outputs";
    }

    void make(const std::string& name, const std::string& description) {
        std::string error;
        EXPECT_TRUE(fixtures::WriteDvFile((dir / name).string(), description, error)) << error;
    }
    test::ToolResult cli(std::vector<std::string> args) {
        return test::RunCli(dir, std::move(args), std::chrono::seconds(120));
    }
    std::string probe(const std::string& name, const std::string& stream,
                      const std::string& fields) {
        auto r = test::RunTool(
            {"ffprobe", "-v", "error", "-select_streams", stream, "-count_frames", "-show_entries",
             "stream=" + fields, "-of", "default=noprint_wrappers=1:nokey=1", name},
            dir.path());
        while (!r.out.empty() && r.out.back() == '\n')
            r.out.pop_back();
        return r.out;
    }
    std::string info(const std::string& name, const std::string& inform) {
        auto r = test::RunTool({"mediainfo", "--Inform=" + inform, name}, dir.path());
        while (!r.out.empty() && r.out.back() == '\n')
            r.out.pop_back();
        return r.out;
    }
    std::string errors(const std::string& name) {
        auto r = test::RunTool({"ffmpeg", "-v", "error", "-xerror", "-i", name, "-f", "null", "-"},
                               dir.path());
        return r.exitCode == 0 ? r.err : "exit " + std::to_string(r.exitCode) + ": " + r.err;
    }

    test::TempDir dir;
};

TEST_F(ConversionVerbs, ThePalClipThroughEveryConversion) {
    make("clip.avi", "type=2 frames=50 picture=moving date=2004-07-14T10:00:00 tc=00:01:00:00");
    auto r = cli({"script", "--json", "clip.avi", "+1", "+n", "+i", "+w", "+e=0.0416666667"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(
        r.out.find(
            "\"newPath\": \"" + (dir / "clip.wav").string() +
            "\",\n            \"partial\": false,\n            \"reason\": null,\n            "
            "\"status\": \"done\""),
        std::string::npos)
        << r.out;
    const std::string date = info("clip.avi", "General;%Recorded_Date%");
    EXPECT_EQ(date, "2004-07-14 10:00:00.000");

    EXPECT_EQ(probe("clip_type1.avi", "v:0", "codec_name,width,height,r_frame_rate,nb_read_frames"),
              "dvvideo\n720\n576\n25/1\n50");
    EXPECT_EQ(info("clip_type1.avi", "Video;%Standard%"), "PAL");
    EXPECT_EQ(info("clip_type1.avi", "General;%Recorded_Date%"), date);

    EXPECT_EQ(probe("clip_ntsc.avi", "v:0", "width,height,r_frame_rate,nb_read_frames"),
              "720\n480\n30000/1001\n60");
    EXPECT_EQ(probe("clip_ntsc.avi", "a:0", "sample_rate,channels"), "48000\n2");
    EXPECT_EQ(info("clip_ntsc.avi", "Video;%Standard%"), "NTSC");
    EXPECT_EQ(info("clip_ntsc.avi", "General;%Recorded_Date%"), date);

    EXPECT_EQ(probe("clip_in.avi", "v:0", "width,height,nb_read_frames"), "720\n576\n50");
    EXPECT_EQ(info("clip_in.avi", "General;%Recorded_Date%"), date);

    EXPECT_EQ(probe("clip.wav", "a:0", "codec_name,sample_rate,channels"), "pcm_s16le\n48000\n2");

    EXPECT_EQ(probe("clip_(+1h).avi", "v:0", "nb_read_frames"), "50");
    EXPECT_EQ(info("clip_(+1h).avi", "General;%Recorded_Date%"), "2004-07-14 11:00:00.000");

    for (const char* out : {"clip_type1.avi", "clip_ntsc.avi", "clip_in.avi", "clip_(+1h).avi"})
        EXPECT_EQ(errors(out), "") << out;

    // Again, without a terminal and without an answer: every output exists, none is replaced.
    const auto before = fs::last_write_time(dir / "clip_ntsc.avi");
    auto again = cli({"script", "clip.avi", "+n", "+w"});
    EXPECT_EQ(again.exitCode, 3);
    EXPECT_EQ(fs::last_write_time(dir / "clip_ntsc.avi"), before);
}

TEST_F(ConversionVerbs, TheNtscTypeOneClipIntoTypeTwoAndPal) {
    make("ntsc.avi",
         "type=1 standard=ntsc aspect=16:9 audio=32k frames=60 "
         "date=2004-07-14T10:00:00");
    auto r = cli({"script", "ntsc.avi", "+2", "+p"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(probe("ntsc_type2.avi", "v:0", "width,height,r_frame_rate,nb_read_frames"),
              "720\n480\n30000/1001\n60");
    EXPECT_EQ(probe("ntsc_type2.avi", "a:0", "sample_rate,channels"), "32000\n2");
    EXPECT_EQ(probe("ntsc_pal.avi", "v:0", "width,height,r_frame_rate,nb_read_frames"),
              "720\n576\n25/1\n51");
    EXPECT_EQ(info("ntsc_pal.avi", "Video;%Standard%|%DisplayAspectRatio/String%"), "PAL|16:9");
    EXPECT_EQ(info("ntsc_pal.avi", "General;%Recorded_Date%"), "2004-07-14 10:00:00.000");
    EXPECT_EQ(errors("ntsc_type2.avi"), "");
    EXPECT_EQ(errors("ntsc_pal.avi"), "");
}

TEST_F(ConversionVerbs, ScenesAreCutAndFoundByContent) {
    make("scenes.avi",
         "type=2 frames=25 picture=colour:000000 date=2004-07-14T10:00:00;"
         "frames=30 picture=colour:FFFFFF date=2004-07-14T12:00:00");
    auto r = cli({"script", "scenes.avi", "+s", "+c"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(probe("scenes_scene_0.avi", "v:0", "nb_read_frames"), "25");
    EXPECT_EQ(probe("scenes_scene_1.avi", "v:0", "nb_read_frames"), "30");
    EXPECT_EQ(info("scenes_scene_1.avi", "General;%Recorded_Date%"), "2004-07-14 12:00:00.000");
    EXPECT_EQ(errors("scenes_scene_1.avi"), "");

    // By content, the scn file replaced on the answer.
    auto content = cli({"do", "CreerScnContenu", "--yes-to-all", "--json", "scenes.avi"});
    ASSERT_EQ(content.exitCode, 0) << content.err;
    EXPECT_NE(content.out.find("\"update\": \"modify\""), std::string::npos) << content.out;
    EXPECT_TRUE(fs::exists(dir / "scenes.scn"));
}

TEST_F(ConversionVerbs, AnotherCodecIsRecompressed) {
    ASSERT_EQ(test::RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                             "testsrc=size=640x360:rate=30", "-f", "lavfi", "-i", "sine=r=44100",
                             "-t", "2", "-c:v", "mjpeg", "-c:a", "pcm_s16le", "other.avi"},
                            dir.path())
                  .exitCode,
              0);
    auto r = cli({"script", "other.avi", "+g"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(probe("other_dvtype2.avi", "v:0", "codec_name,width,height,r_frame_rate"),
              "dvvideo\n720\n576\n25/1");
    EXPECT_EQ(probe("other_dvtype2.avi", "a:0", "sample_rate,channels"), "48000\n2");
    EXPECT_EQ(info("other_dvtype2.avi", "Video;%DisplayAspectRatio/String%"), "16:9");
    EXPECT_EQ(errors("other_dvtype2.avi"), "");
}

// The filter check and the system report as kelvor-cli about --check prints them; needs no
// oracle.
TEST(AboutVerb, TheCheckAndTheSystemReport) {
    test::TempDir dir;
    test::ProcessOptions options;
    options.workDir = dir.path();
    options.environment["XDG_CONFIG_HOME"] = (dir / "cfg").string();
    auto r = test::RunProcess({KELVOR_CLI, "about", "--check"}, options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char* line :
         {"\nTest of Directshow filters\nAll filters for Video are available\n"
          "All filters for Listing are available\nAll filters for Converting are available\n",
          "My operating system is: \n", "I am using:\nMedia engine version FFmpeg ", "Varnolt:\n",
          "Varnolt not found\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " in " << r.out;
    EXPECT_EQ(test::RunProcess({KELVOR_CLI, "about", "--bogus"}, options).exitCode, 2);
}

}  // namespace
}  // namespace kelvor
