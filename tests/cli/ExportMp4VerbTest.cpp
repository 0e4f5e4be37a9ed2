// kelvor-cli export-mp4 on real DV, every output read back by ffprobe (streams, codec, frame
// count, aspect, colour tags, dates, chapters, the first subtitle cue) and by exiftool for the
// QuickTime dates; and the exporter stopped midway leaving no file behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "cli/RunCli.h"
#include "fixtures/DvFixture.h"
#include "media/export/Mp4Export.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

// Two recordings of one second each, a day apart; ultrafast keeps x264 quick on shared cores.
constexpr const char* kTwoScenes =
    "type=2 frames=25 picture=moving date=2004-07-14T10:22:33; frames=25 "
    "date=2004-07-15T18:00:00";

class ExportMp4 : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::ToolAvailable("ffprobe") || !test::ToolAvailable("ffmpeg"))
            GTEST_SKIP() << "ffprobe and ffmpeg read the outputs";
    }
    void make(const std::string& name, const std::string& description) {
        std::string error;
        ASSERT_TRUE(fixtures::WriteDvFile((dir / name).string(), description, error)) << error;
    }
    test::ToolResult cli(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--preset", "ultrafast"});
        return test::RunCli(dir, std::move(args), std::chrono::seconds(240));
    }
    // key=value lines of ffprobe for one stream (or the format with stream "").
    std::map<std::string, std::string> probe(const std::string& name, const std::string& stream,
                                             const std::string& entries) {
        std::vector<std::string> args = {"ffprobe", "-v", "error"};
        if (!stream.empty())
            args.insert(args.end(), {"-select_streams", stream, "-count_frames"});
        args.insert(args.end(),
                    {"-show_entries", entries, "-of", "default=noprint_wrappers=1", name});
        const auto r = test::RunTool(args, dir.path());
        std::map<std::string, std::string> out;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);)
            if (const auto eq = line.find('='); eq != std::string::npos)
                out[line.substr(0, eq)] = line.substr(eq + 1);
        return out;
    }
    int frames(const std::string& name) {
        return std::atoi(probe(name, "v:0", "stream=nb_read_frames")["nb_read_frames"].c_str());
    }
    // The subtitle track as SubRip text.
    std::string subtitles(const std::string& name) {
        return test::RunTool(
                   {"ffmpeg", "-v", "error", "-i", name, "-map", "0:s:0", "-f", "srt", "-"},
                   dir.path())
            .out;
    }
    std::int64_t modified(const std::string& name) {
        struct stat st {};
        return ::stat((dir / name).c_str(), &st) == 0 ? st.st_mtime : -1;
    }

    test::TempDir dir;
};

TEST_F(ExportMp4, OneFilePerSceneNamedAndDatedFromItsDatecode) {
    make("clip.avi", kTwoScenes);
    fs::create_directory(dir / "out");
    const auto r = cli(
        {"export-mp4", "--timezone", "Europe/Paris", "--output-dir", "out", "--json", "clip.avi"});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("\"ExportMp4\""), std::string::npos) << r.out;
    const std::string first = "out/2004-07-14 10.22.33.mp4";
    const std::string second = "out/2004-07-15 18.00.00.mp4";
    ASSERT_TRUE(fs::exists(dir / first)) << r.err;
    ASSERT_TRUE(fs::exists(dir / second)) << r.err;
    for (const auto& e : fs::directory_iterator(dir / "out"))
        EXPECT_EQ(e.path().extension(), ".mp4") << "left behind: " << e.path();

    auto v = probe(first, "v:0",
                   "stream=codec_name,pix_fmt,width,height,sample_aspect_ratio,display_aspect_"
                   "ratio,r_frame_rate,color_space,color_primaries,field_order");
    EXPECT_EQ(v["codec_name"], "h264");
    EXPECT_EQ(v["pix_fmt"], "yuv420p");
    EXPECT_EQ(v["width"] + "x" + v["height"], "720x576");
    EXPECT_EQ(v["sample_aspect_ratio"], "16:15");
    EXPECT_EQ(v["display_aspect_ratio"], "4:3");
    EXPECT_EQ(v["r_frame_rate"], "25/1");
    EXPECT_EQ(v["color_space"], "bt470bg");
    EXPECT_EQ(v["color_primaries"], "bt470bg");
    EXPECT_EQ(v["field_order"], "progressive");
    EXPECT_NEAR(frames(first), 25, 1);
    EXPECT_NEAR(frames(second), 25, 1);

    auto a = probe(first, "a:0", "stream=codec_name,sample_rate,channels");
    EXPECT_EQ(a["codec_name"], "aac");
    EXPECT_EQ(a["sample_rate"], "48000");
    EXPECT_EQ(a["channels"], "2");
    EXPECT_EQ(probe(first, "s:0", "stream=codec_name")["codec_name"], "mov_text");
    // The second file's sound starts inside a block of the encoder's: both still start with
    // their pictures and last as long.
    for (const std::string& name : {first, second}) {
        auto t = probe(name, "a:0", "stream=start_time,duration");
        EXPECT_NEAR(std::atof(t["start_time"].c_str()), 0.0, 0.001) << name;
        EXPECT_NEAR(std::atof(t["duration"].c_str()), 1.0, 0.001) << name;
    }

    // Paris is two hours ahead of UTC in July.
    auto f = probe(first, "", "format_tags=creation_time,com.apple.quicktime.creationdate");
    EXPECT_EQ(f["TAG:creation_time"], "2004-07-14T08:22:33.000000Z");
    EXPECT_EQ(f["TAG:com.apple.quicktime.creationdate"], "2004-07-14T10:22:33+0200");
    EXPECT_EQ(probe(second, "", "format_tags=creation_time")["TAG:creation_time"],
              "2004-07-15T16:00:00.000000Z");
    EXPECT_EQ(modified(first), 1089793353);  // 2004-07-14 08:22:33 UTC

    const std::string cues = subtitles(first);
    EXPECT_NE(cues.find("00:00:00,000 --> 00:00:01,000"), std::string::npos) << cues;
    EXPECT_NE(cues.find("10:22:33"), std::string::npos) << cues;
    EXPECT_EQ(subtitles(second).find("10:22:3"), std::string::npos);

    // A second run finds the names taken and numbers its own.
    const auto again =
        cli({"export-mp4", "--timezone", "Europe/Paris", "--output-dir", "out", "clip.avi"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(fs::exists(dir / "out/2004-07-14 10.22.33(1).mp4"));

    if (test::ToolAvailable("exiftool")) {
        const auto x = test::RunTool(
            {"exiftool", "-s", "-CreationDate", "-CreateDate", "-Title", first}, dir.path());
        EXPECT_NE(x.out.find("2004:07:14 10:22:33+02:00"), std::string::npos) << x.out;
        EXPECT_NE(x.out.find("2004:07:14 08:22:33"), std::string::npos) << x.out;
    }
}

// Scenes of one picture format share the H.264 encoder: each file must still start at a key
// frame and decode alone, after a scene shorter than the encoder's delay and across a change of
// aspect too.
TEST_F(ExportMp4, EverySceneFileStartsAtAKeyFrameAndDecodesAlone) {
    make("clip.avi",
         "type=2 picture=moving frames=20 date=2004-07-14T10:00:00; frames=2 "
         "date=2004-07-14T11:00:00; frames=20 date=2004-07-14T12:00:00; frames=20 aspect=16:9 "
         "date=2004-07-14T13:00:00");
    fs::create_directory(dir / "out");
    const auto r = cli({"export-mp4", "--timezone", "UTC", "--output-dir", "out", "clip.avi"});
    ASSERT_EQ(r.exitCode, 0) << r.err << r.out;
    const std::vector<std::pair<std::string, int>> scenes = {
        {"10.00.00", 20}, {"11.00.00", 2}, {"12.00.00", 20}, {"13.00.00", 20}};
    for (const auto& [time, count] : scenes) {
        const std::string name = "out/2004-07-14 " + time + ".mp4";
        ASSERT_TRUE(fs::exists(dir / name)) << name;
        EXPECT_EQ(frames(name), count) << name;
        EXPECT_EQ(probe(name, "v:0", "stream=sample_aspect_ratio")["sample_aspect_ratio"],
                  time == "13.00.00" ? "64:45" : "16:15")
            << name;
        const auto first =
            test::RunTool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                           "packet=pts,flags", "-of", "csv=p=0", "-read_intervals", "%+#1", name},
                          dir.path());
        EXPECT_EQ(first.out.substr(0, 3), "0,K") << name << ": " << first.out;
        const auto decoded = test::RunTool(
            {"ffmpeg", "-v", "error", "-xerror", "-i", name, "-f", "null", "-"}, dir.path());
        EXPECT_EQ(decoded.exitCode, 0) << name << ": " << decoded.err;
        EXPECT_EQ(decoded.err, "") << name;
    }
}

TEST_F(ExportMp4, WholeWideNtscFileHasAChapterPerScene) {
    make("wide.avi",
         "type=2 standard=ntsc aspect=16:9 frames=30 date=2010-01-02T03:04:05; frames=30 "
         "date=2010-01-03T12:00:00");
    const auto r =
        cli({"export-mp4", "--whole", "--name", "yyyymmdd", "--timezone", "UTC", "wide.avi"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string out = "20100102.mp4";
    ASSERT_TRUE(fs::exists(dir / out));
    auto v = probe(out, "v:0",
                   "stream=sample_aspect_ratio,display_aspect_ratio,r_frame_rate,color_space");
    EXPECT_EQ(v["sample_aspect_ratio"], "32:27");
    EXPECT_EQ(v["display_aspect_ratio"], "16:9");
    EXPECT_EQ(v["r_frame_rate"], "30000/1001");
    EXPECT_EQ(v["color_space"], "smpte170m");
    EXPECT_NEAR(frames(out), 60, 1);
    const auto c = test::RunTool(
        {"ffprobe", "-v", "error", "-show_chapters", "-of", "default=noprint_wrappers=1", out},
        dir.path());
    EXPECT_NE(c.out.find("start_time=0.000000"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("start_time=1.001000"), std::string::npos) << c.out;
    EXPECT_EQ(probe(out, "", "format_tags=creation_time")["TAG:creation_time"],
              "2010-01-02T03:04:05.000000Z");
}

TEST_F(ExportMp4, TwoTimeZonesGiveTheSameLocalDateOneOffsetApart) {
    make("clip.avi", "type=2 frames=10 date=2004-07-14T10:22:33");
    std::map<std::string, std::map<std::string, std::string>> tags;
    for (const std::string zone : {"America/New_York", "Asia/Tokyo"}) {
        fs::create_directories(dir / zone);
        const auto r = cli({"export-mp4", "--timezone", zone, "--output-dir", zone, "clip.avi"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        tags[zone] = probe(zone + "/2004-07-14 10.22.33.mp4", "",
                           "format_tags=creation_time,com.apple.quicktime.creationdate");
    }
    // New York is four hours behind UTC in July, Tokyo nine ahead.
    EXPECT_EQ(tags["America/New_York"]["TAG:creation_time"], "2004-07-14T14:22:33.000000Z");
    EXPECT_EQ(tags["Asia/Tokyo"]["TAG:creation_time"], "2004-07-14T01:22:33.000000Z");
    EXPECT_EQ(tags["America/New_York"]["TAG:com.apple.quicktime.creationdate"],
              "2004-07-14T10:22:33-0400");
    EXPECT_EQ(tags["Asia/Tokyo"]["TAG:com.apple.quicktime.creationdate"],
              "2004-07-14T10:22:33+0900");

    const auto bad = cli({"export-mp4", "--timezone", "Mars/Olympus", "clip.avi"});
    EXPECT_EQ(bad.exitCode, 2) << bad.err;
}

TEST_F(ExportMp4, FourChannelSoundDamagedFramesAndDoubleRate) {
    // A damaged stretch inside the recording: its frames keep their place in the picture.
    make("odd.avi",
         "type=2 audio=32k12 frames=10 date=2004-07-14T10:00:00; frames=5 fault=ff; frames=10 "
         "fault=none date=2004-07-14T10:00:01");
    const auto r = cli({"export-mp4", "--whole", "--double-rate", "--timezone", "UTC", "odd.avi"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string out;
    for (const auto& e : fs::directory_iterator(dir.path()))
        if (e.path().extension() == ".mp4")
            out = e.path().filename().string();
    ASSERT_FALSE(out.empty());
    auto a = probe(out, "a:0", "stream=codec_name,sample_rate,channels");
    EXPECT_EQ(a["codec_name"], "aac");
    EXPECT_EQ(a["sample_rate"], "48000");
    EXPECT_EQ(a["channels"], "2");
    EXPECT_EQ(probe(out, "v:0", "stream=r_frame_rate")["r_frame_rate"], "50/1");
    EXPECT_NEAR(frames(out), 50, 2);
}

TEST_F(ExportMp4, RealCamcorderRawDv) {
    fs::copy_file(fs::path(KELVOR_TESTDATA_DIR) / "dv-real/sony_5frames.dv", dir / "tape.dv");
    const auto r = cli({"export-mp4", "--timezone", "UTC", "tape.dv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string out = "2024-07-08 19.55.58.mp4";
    ASSERT_TRUE(fs::exists(dir / out)) << r.err;
    EXPECT_NEAR(frames(out), 5, 1);
    EXPECT_EQ(probe(out, "v:0", "stream=display_aspect_ratio")["display_aspect_ratio"], "4:3");
    EXPECT_NE(subtitles(out).find("19:55:58"), std::string::npos);
}

// The luma planes of every picture of an MP4, decoded by ffmpeg.
std::vector<std::string> LumaFrames(const fs::path& dir, const std::string& name) {
    const std::string raw = name + ".gray";
    const auto r = test::RunTool(
        {"ffmpeg", "-v", "error", "-i", name, "-f", "rawvideo", "-pix_fmt", "gray", raw}, dir);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::ifstream in(dir / raw, std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    constexpr std::size_t kFrame = 720 * 576;
    std::vector<std::string> frames;
    for (std::size_t at = 0; all.size() - at >= kFrame; at += kFrame)
        frames.push_back(all.substr(at, kFrame));
    return frames;
}

TEST_F(ExportMp4, InlayBurnsTheDateIntoTheFirstSecondsOnly) {
    make("clip.avi", "type=2 frames=50 picture=moving date=2004-07-14T10:22:33");
    fs::create_directory(dir / "plain");
    fs::create_directory(dir / "inlaid");
    // x264 without loss, so that the pictures after the burnt date decode exactly the same.
    for (const std::string out : {"plain", "inlaid"}) {
        std::vector<std::string> args = {"export-mp4", "--crf",        "0", "--timezone",
                                         "UTC",        "--output-dir", out};
        if (out == "inlaid")
            args.insert(args.end(), {"--inlay", "1"});
        args.push_back("clip.avi");
        const auto r = cli(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    const std::string name = "2004-07-14 10.22.33.mp4";
    const auto plain = LumaFrames(dir.path(), "plain/" + name);
    const auto inlaid = LumaFrames(dir.path(), "inlaid/" + name);
    ASSERT_EQ(plain.size(), 50u);
    ASSERT_EQ(inlaid.size(), plain.size());
    EXPECT_EQ(frames("inlaid/" + name), frames("plain/" + name));
    // The text sits at the bottom right (the inlay's default place): that corner changes in
    // each of the first 25 pictures, and nothing above the text's rows does.
    const auto changedPixels = [](const std::string& a, const std::string& b, int top, int bottom,
                                  int left, int right) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                n += a[y * 720 + x] != b[y * 720 + x];
        return n;
    };
    for (std::size_t f = 0; f < 25; ++f) {
        EXPECT_GT(changedPixels(plain[f], inlaid[f], 440, 540, 360, 720), 500) << "frame " << f;
        EXPECT_EQ(changedPixels(plain[f], inlaid[f], 0, 400, 0, 720), 0) << "frame " << f;
    }
    // The deinterlacer looks one picture ahead and back; from there on the pictures are equal.
    for (std::size_t f = 27; f < plain.size(); ++f)
        EXPECT_TRUE(plain[f] == inlaid[f]) << "frame " << f;

    const auto bad = cli({"export-mp4", "--inlay", "-2", "clip.avi"});
    EXPECT_EQ(bad.exitCode, 2) << bad.err;
}

TEST_F(ExportMp4, AStoppedExportLeavesNoFile) {
    make("clip.avi", kTwoScenes);
    media::Mp4Job job;
    job.Source = (dir / "clip.avi").string();
    job.Scenes.push_back({0, 24, "a", (dir / "a.mp4").string(), 38182.4});
    job.Scenes.push_back({25, 49, "b", (dir / "b.mp4").string(), 38183.75});
    media::Mp4Settings settings;
    settings.Preset = "ultrafast";
    media::Mp4Exporter exporter;
    EXPECT_FALSE(
        exporter.Run(job, settings, [](std::int64_t done, std::int64_t) { return done < 30; }));
    EXPECT_EQ(exporter.Error(), "stopped");
    // The first scene was finished before the stop; the second left nothing.
    ASSERT_EQ(exporter.Written().size(), 1u);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path()))
        files += e.path().filename() != "clip.avi";
    EXPECT_EQ(files, 1);
    EXPECT_TRUE(fs::exists(dir / "a.mp4"));
}

}  // namespace
}  // namespace kelvor
