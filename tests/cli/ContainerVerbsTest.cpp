// DV in QuickTime and Matroska through kelvor-cli: the files ffmpeg makes from our own raw DV by
// copying the frames, read as their AVI twin reads, and wrapped back into AVI frame for frame.
// ffmpeg, ffprobe and mediainfo are the independent readers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/RunCli.h"
#include "core/scenes/ScnFile.h"
#include "fixtures/DvFixture.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

// Two recordings a day apart, 30 and 20 frames.
constexpr const char* kTape =
    "frames=30 date=2006-03-12T15:46:37 tc=00:10:00:00; frames=20 date=2006-03-13T09:00:00";

class ContainerVerbs : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::ToolAvailable("ffmpeg") || !test::ToolAvailable("ffprobe") ||
            !test::ToolAvailable("mediainfo"))
            GTEST_SKIP() << "ffmpeg makes the files, ffprobe and mediainfo read the outputs";
        std::string error;
        ASSERT_TRUE(fixtures::WriteDvFile((dir / "tape.dv").string(), kTape, error)) << error;
        ASSERT_TRUE(fixtures::WriteDvFile((dir / "tape.avi").string(),
                                          std::string("type=2 ") + kTape, error))
            << error;
        for (const char* name : {"tape.mov", "tape.mkv"})
            ASSERT_EQ(tool({"ffmpeg", "-v", "error", "-i", "tape.dv", "-c", "copy", name}).exitCode,
                      0);
    }

    test::ToolResult tool(const std::vector<std::string>& args) {
        return test::RunTool(args, dir.path(), std::chrono::seconds(120));
    }
    test::ToolResult cli(std::vector<std::string> args) {
        return test::RunCli(dir, std::move(args), std::chrono::seconds(120));
    }
    // The DIF bytes of every frame of the file's video, back to back, as ffmpeg demuxes them.
    std::string frames(const std::string& name) {
        const std::string raw = name + ".frames";
        EXPECT_EQ(tool({"ffmpeg", "-v", "error", "-y", "-i", name, "-map", "0:v", "-c", "copy",
                        "-f", "rawvideo", raw})
                      .exitCode,
                  0)
            << name;
        return test::ReadFile(dir / raw);
    }
    // The sound as ffmpeg decodes it into 16-bit PCM.
    std::string sound(const std::string& name) {
        const std::string wav = name + ".sound.wav";
        EXPECT_EQ(tool({"ffmpeg", "-v", "error", "-y", "-i", name, "-map", "0:a:0", "-c:a",
                        "pcm_s16le", "-f", "s16le", wav})
                      .exitCode,
                  0)
            << name;
        return test::ReadFile(dir / wav);
    }
    std::string info(const std::string& name, const std::string& inform) {
        auto r = tool({"mediainfo", "--Inform=" + inform, name});
        while (!r.out.empty() && r.out.back() == '\n')
            r.out.pop_back();
        return r.out;
    }
    // The information panel's lines without the file's own (name, size, dates).
    std::string record(const std::string& name) {
        const auto r = cli({"info", name});
        EXPECT_EQ(r.exitCode, 0) << name << r.err;
        std::string out;
        std::size_t from = r.out.find('\n') + 1;
        while (from < r.out.size()) {
            const std::size_t end = r.out.find('\n', from);
            const std::string line = r.out.substr(from, end - from);
            if (line.rfind("  File", 0) != 0 && line.rfind("  Size", 0) != 0 &&
                line.rfind("  Modified", 0) != 0)
                out += line + "\n";
            if (end == std::string::npos)
                break;
            from = end + 1;
        }
        return out;
    }
    std::vector<std::pair<int, int>> scenes(const std::string& scn) {
        scenes::SceneList list;
        EXPECT_TRUE(scenes::ReadScnFile((dir / scn).string(), list, 25)) << scn;
        std::vector<std::pair<int, int>> out;
        for (const auto& e : list)
            out.emplace_back(e.Scene.StartFrame, e.Scene.EndFrame);
        return out;
    }

    test::TempDir dir;
};

TEST_F(ContainerVerbs, MovAndMkvReadAsTheAviAndCutAtTheSameDates) {
    const std::string avi = record("tape.avi");
    EXPECT_NE(avi.find("3/12/2006 15:46:37"), std::string::npos) << avi;
    EXPECT_NE(avi.find("00.10.00.00"), std::string::npos) << avi;
    const auto probe = cli({"probe", "tape.mov"});
    EXPECT_NE(probe.out.find("video: dvsd 720x576, 25.000 frames/s, duration 00:00:02.000"),
              std::string::npos)
        << probe.out;
    EXPECT_NE(probe.out.find("audio: format 1, 2 channels, 48000 Hz, 16 bits"), std::string::npos)
        << probe.out;
    for (const char* name : {"tape.mov", "tape.mkv"}) {
        // Same datecode, timecode, codec, standard, aspect, length, frame rate and sound.
        EXPECT_EQ(record(name), avi) << name;
        const fs::path copy = dir / (std::string("scenes_") + (name + 5) + "." + (name + 5));
        fs::copy_file(dir / name, copy);
        const auto r = cli({"scenes", "--srt", copy.filename().string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(scenes(copy.stem().string() + ".scn"),
                  (std::vector<std::pair<int, int>>{{0, 30}, {30, 50}}))
            << name;
        EXPECT_TRUE(fs::exists(fs::path(copy).replace_extension(".srt")));
    }
}

TEST_F(ContainerVerbs, WrappingIntoAviKeepsEveryDifByteAndTheSound) {
    const std::string source = test::ReadFile(dir / "tape.dv");
    ASSERT_EQ(source.size(), 50u * 144000);
    const std::string aviSound = sound("tape.avi");
    ASSERT_FALSE(aviSound.empty());
    ASSERT_EQ(cli({"do", "ExtractAudio", "--yes-to-all", "tape.avi"}).exitCode, 0);
    const std::string aviWav = test::ReadFile(dir / "tape.wav");
    for (const char* stem : {"mov", "mkv"}) {
        const std::string name = std::string(stem) + ".";
        fs::copy_file(dir / ("tape." + std::string(stem)), dir / (name + stem));
        auto r = cli({"script", name + stem, "+2", "+1", "+w"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        for (const std::string type : {"_type2.avi", "_type1.avi"}) {
            const std::string out = stem + type;
            EXPECT_EQ(frames(out), source) << out;
            EXPECT_EQ(sound(out), aviSound) << out;
            EXPECT_EQ(info(out, "General;%Format%|%Recorded_Date%"), "AVI|2006-03-12 15:46:37.000")
                << out;
            const auto streams = tool({"ffprobe", "-v", "error", "-show_entries",
                                       "stream=codec_name", "-of", "csv=p=0", out});
            EXPECT_EQ(streams.out, "dvvideo\npcm_s16le\n") << out;
        }
        EXPECT_EQ(test::ReadFile(dir / (std::string(stem) + ".wav")), aviWav) << stem;
    }
    // QuickTime's big-endian sound gives the same WAV.
    ASSERT_EQ(tool({"ffmpeg", "-v", "error", "-i", "tape.dv", "-c:v", "copy", "-c:a", "pcm_s16be",
                    "be.mov"})
                  .exitCode,
              0);
    ASSERT_EQ(cli({"do", "ExtractAudio", "--yes-to-all", "be.mov"}).exitCode, 0);
    EXPECT_EQ(test::ReadFile(dir / "be.wav"), aviWav);
}

TEST_F(ContainerVerbs, RepairsPassOverWhileShiftAndConversionsWriteAvi) {
    const std::string before = test::ReadFile(dir / "tape.mov");
    auto fix = cli({"do", "FixFrameRate", "--fps", "30", "--yes-to-all", "tape.mov"});
    EXPECT_NE(fix.exitCode, 0) << fix.err;
    EXPECT_NE(fix.err.find("not an AVI file"), std::string::npos) << fix.err;
    auto codec = cli({"do", "FixCodec", "--codec", "CDVC", "--yes-to-all", "tape.mov"});
    EXPECT_NE(codec.err.find("not an AVI file"), std::string::npos) << codec.err;
    EXPECT_EQ(test::ReadFile(dir / "tape.mov"), before);

    auto shift = cli({"do", "ShiftTime", "--shift", "1", "--yes-to-all", "tape.mkv"});
    ASSERT_EQ(shift.exitCode, 0) << shift.err;
    std::vector<fs::path> shifted;
    for (const auto& e : fs::directory_iterator(dir.path()))
        if (e.path().filename().string().rfind("tape_(", 0) == 0)
            shifted.push_back(e.path());
    ASSERT_EQ(shifted.size(), 1u);
    EXPECT_EQ(shifted[0].extension(), ".avi");
    EXPECT_EQ(info(shifted[0].filename().string(), "General;%Format%|%Recorded_Date%"),
              "AVI|2006-03-13 15:46:37.000");

    auto ntsc = cli({"do", "ToNtsc", "--yes-to-all", "tape.mov"});
    ASSERT_EQ(ntsc.exitCode, 0) << ntsc.err;
    const auto probe = tool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                             "stream=codec_name,height", "-of", "csv=p=0", "tape_ntsc.avi"});
    EXPECT_EQ(probe.out, "dvvideo,480\n");
}

TEST_F(ContainerVerbs, NotDvAndTruncatedFilesEndCleanly) {
    ASSERT_EQ(tool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                    "testsrc=duration=1:size=320x240:rate=25", "-c:v", "mpeg4", "other.mkv"})
                  .exitCode,
              0);
    const auto other = cli({"info", "other.mkv"});
    EXPECT_EQ(other.exitCode, 1) << other.err;
    EXPECT_NE(other.err.find("not a DV video"), std::string::npos) << other.err;
    EXPECT_EQ(other.out.find("dvsd"), std::string::npos) << other.out;
    const auto byDate = cli({"do", "ScenesByDate", "other.mkv"});
    EXPECT_NE(byDate.exitCode, 0) << byDate.err;
    EXPECT_NE(byDate.err.find("not a DV file"), std::string::npos) << byDate.err;

    // The Matroska file cut within its 36th frame or so.
    const std::string whole = test::ReadFile(dir / "tape.mkv");
    const std::string source = test::ReadFile(dir / "tape.dv");
    test::WriteFile(dir / "short.mkv", whole.substr(0, whole.size() * 7 / 10));
    auto r = cli({"script", "short.mkv", "+2", "+s"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string wrapped = frames("short_type2.avi");
    EXPECT_EQ(wrapped.size() % 144000, 0u);
    ASSERT_GE(wrapped.size(), 32u * 144000);
    ASSERT_LT(wrapped.size(), 40u * 144000);
    EXPECT_EQ(wrapped, source.substr(0, wrapped.size()));
    EXPECT_EQ(scenes("short.scn").front(), (std::pair<int, int>{0, 30}));
    // The demuxer's own complaints about the cut file stay out of the terminal unless asked for,
    // and then come as the program's lines.
    EXPECT_EQ(r.err.find(" @ 0x"), std::string::npos) << r.err;
    const auto verbose = cli({"--verbose", "info", "short.mkv"});
    EXPECT_EQ(verbose.exitCode, 0) << verbose.err;
    EXPECT_NE(verbose.err.find("kelvor-cli: matroska"), std::string::npos) << verbose.err;
    EXPECT_EQ(verbose.err.find(" @ 0x"), std::string::npos) << verbose.err;
}

}  // namespace
}  // namespace kelvor
