// Our files read by independent readers (ffprobe, mediainfo), and files of other writers
// (ffmpeg, dvgrab) read by ours. Skipped when a tool is not installed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "core/avi/AviDemuxer.h"
#include "core/avi/AviHeaderPatcher.h"
#include "core/avi/AviInfo.h"
#include "core/avi/RiffReport.h"
#include "support/DvAviFiles.h"

namespace kelvor::avi {
namespace {

using namespace kelvor::test;
using ::testing::HasSubstr;

// ffprobe's "codec_name,codec_type,nb_read_packets" lines and the format duration.
std::string Probe(const TempDir& dir, const std::string& file) {
    return RunTool({"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                    "stream=codec_name,codec_type,nb_read_packets:format=duration", "-of",
                    "csv=p=0", file},
                   dir.path())
        .out;
}
std::string MediaInfo(const TempDir& dir, const std::string& file, const std::string& inform) {
    return RunTool({"mediainfo", "--Inform=" + inform, file}, dir.path()).out;
}

void ExpectSameFrames(const std::string& path, const std::vector<Bytes>& frames) {
    AviDemuxer d;
    ASSERT_TRUE(d.open(path)) << d.errorText();
    const int v = d.videoStream();
    ASSERT_GE(v, 0);
    ASSERT_EQ(d.chunkCount(static_cast<std::size_t>(v)), frames.size());
    std::vector<std::uint8_t> buf(144000);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        ASSERT_EQ(d.readChunk(static_cast<std::size_t>(v), i, buf), frames[i].size());
        ASSERT_TRUE(std::equal(frames[i].begin(), frames[i].end(), buf.begin())) << "frame " << i;
    }
    const AviInfo p(path);
    EXPECT_TRUE(p.Valid);
    EXPECT_EQ(p.VideoCodec(), "dvsd");
    AviHeaderPatcher patcher;
    EXPECT_EQ(patcher.ReadCodec(path), 0x64737664u);
    RiffReport report;
    report.RunReport(path);
    EXPECT_FALSE(report.ReportEndOfData);
}

class AviOracle : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ToolAvailable("ffmpeg") || !ToolAvailable("ffprobe"))
            GTEST_SKIP() << "ffmpeg not installed";
        raw_ = MakeRawDv(dir_, true, 30);
        ASSERT_TRUE(raw_);
        frames_ = SplitFrames(ReadBytes(*raw_));
        ASSERT_EQ(frames_.size(), 30u);
    }
    TempDir dir_;
    std::optional<std::string> raw_;
    std::vector<Bytes> frames_;
};

TEST_F(AviOracle, OurType2ReadByFfprobeAndMediainfo) {
    const std::string path = dir_.file("ours2.avi");
    ASSERT_TRUE(WriteDvAvi(path, frames_, DvType::Type2, true, 1, 2 * 1024 * 1024));
    const std::string probe = Probe(dir_, path);
    EXPECT_THAT(probe, HasSubstr("dvvideo,video,30\n"));
    EXPECT_THAT(probe, HasSubstr("pcm_s16le,audio,"));  // ffmpeg splits our chunks into packets
    EXPECT_THAT(probe, HasSubstr("1.200000"));
    if (ToolAvailable("mediainfo")) {
        EXPECT_EQ(MediaInfo(dir_, path,
                            "Video;%Format%|%FrameCount%|%Duration%|%Width%x%Height%|%FrameRate%"),
                  "DV|30|1200|720x576|25.000\n");
        EXPECT_EQ(MediaInfo(dir_, path, "Audio;%Format%|%SamplingRate%|%Channels%|%Duration%"),
                  "PCM|48000|2|1200\n");
        EXPECT_EQ(MediaInfo(dir_, path, "General;%Format%|%Format_Profile%"), "AVI|OpenDML\n");
    }
}

TEST_F(AviOracle, OurType1ReadByFfprobeAndMediainfo) {
    const std::string path = dir_.file("ours1.avi");
    ASSERT_TRUE(WriteDvAvi(path, frames_, DvType::Type1, true));
    const std::string probe = Probe(dir_, path);
    EXPECT_THAT(probe, HasSubstr("dvvideo,video,30\n"));
    EXPECT_THAT(probe, HasSubstr("1.200000"));
    if (ToolAvailable("mediainfo")) {
        EXPECT_EQ(MediaInfo(dir_, path, "Video;%Format%|%FrameCount%|%Duration%|%Width%x%Height%"),
                  "DV|30|1200|720x576\n");
    }
}

TEST_F(AviOracle, OurNtscType2FromRealFrames) {
    const std::string path = dir_.file("ntsc2.avi");
    ASSERT_TRUE(WriteDvAvi(path, RealNtscFrames(), DvType::Type2, false));
    const std::string probe = Probe(dir_, path);
    EXPECT_THAT(probe, HasSubstr("dvvideo,video,5\n"));
    EXPECT_THAT(probe, HasSubstr("0.166833"));
    if (ToolAvailable("mediainfo")) {
        EXPECT_EQ(MediaInfo(dir_, path, "Video;%Format%|%FrameCount%|%Width%x%Height%|%FrameRate%"),
                  "DV|5|720x480|29.970\n");
    }
}

TEST_F(AviOracle, FfmpegType2ReadByOurs) {
    const std::string path = dir_.file("ffmpeg2.avi");
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-y", "-f", "dv", "-i", *raw_, "-c", "copy", "-f",
                       "avi", path},
                      dir_.path())
                  .exitCode,
              0);
    ExpectSameFrames(path, frames_);
    AviDemuxer d;
    ASSERT_TRUE(d.open(path));
    EXPECT_EQ(d.audioStream(), 1);
    EXPECT_GT(d.chunkCount(1), 0u);
}

// dvgrab reading a file sometimes stops early or hangs: run it under a time limit and try again
// until it wrote every frame.
std::optional<std::string> Dvgrab(const TempDir& dir, const std::string& raw,
                                  const std::string& format, std::size_t frames) {
    for (int attempt = 0; attempt < 6; ++attempt) {
        const std::string prefix = format + "-" + std::to_string(attempt) + "-";
        RunTool({"dvgrab", "-format", format, "-I", raw, prefix}, dir.path(),
                std::chrono::seconds(20));
        const std::string out = dir.file(prefix + "001.avi");
        AviDemuxer d;
        if (std::filesystem::exists(out) && d.open(out) && d.videoStream() >= 0 &&
            d.chunkCount(static_cast<std::size_t>(d.videoStream())) == frames)
            return out;
    }
    return std::nullopt;
}

TEST_F(AviOracle, DvgrabType1AndType2ReadByOurs) {
    if (!ToolAvailable("dvgrab"))
        GTEST_SKIP() << "dvgrab not installed";
    const auto t1 = Dvgrab(dir_, *raw_, "dv1", frames_.size());
    ASSERT_TRUE(t1) << "dvgrab never wrote the whole type 1 file";
    ExpectSameFrames(*t1, frames_);
    const AviInfo p1(*t1);
    EXPECT_EQ(p1.Streams.size(), 1u);
    EXPECT_EQ(p1.AudioIndex, -1);

    const auto t2 = Dvgrab(dir_, *raw_, "dv2", frames_.size());
    ASSERT_TRUE(t2) << "dvgrab never wrote the whole type 2 file";
    ExpectSameFrames(*t2, frames_);
    const AviInfo p2(*t2);
    EXPECT_EQ(p2.AudioIndex, 1);
}

}  // namespace
}  // namespace kelvor::avi
