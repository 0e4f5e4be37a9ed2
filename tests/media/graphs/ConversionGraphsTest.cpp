// The conversion module's graphs on real DV files, each output read back by our demuxer and, when
// installed, by ffmpeg, ffprobe and mediainfo.
#include <gtest/gtest.h>

#include <cstdlib>

#include "media/graphs/ConversionTestSupport.h"

namespace kelvor {
namespace {

using test::Bytes;
constexpr std::uint32_t kIavs = 0x73766169;  // "iavs"
constexpr std::uint32_t kVids = 0x73646976;  // "vids"
constexpr std::uint32_t kAuds = 0x73647561;  // "auds"

TEST(ConversionGraphs, TypeOneIntoTwoAndBackKeepsEveryFrameAndTheSound) {
    test::TempDir dir;
    const std::string src = test::MakeDvFile(dir, "clip.avi",
                                             "type=1 frames=30 date=2004-07-14T10:00:00 "
                                             "picture=moving");
    media::TCdm cdm;
    const std::string t2 = (dir / "clip_type2.avi").string();
    ASSERT_TRUE(cdm.BuildDVType2Graph(src, t2)) << cdm.BuildError();
    ASSERT_EQ(test::RunToEnd(cdm), "");
    EXPECT_EQ(test::StreamTypes(t2), (std::vector<std::uint32_t>{kVids, kAuds}));
    const std::string t1 = (dir / "clip_type2_type1.avi").string();
    ASSERT_TRUE(cdm.BuildDVtype1Graph(t2, t1)) << cdm.BuildError();
    ASSERT_EQ(test::RunToEnd(cdm), "");
    EXPECT_EQ(test::StreamTypes(t1), (std::vector<std::uint32_t>{kIavs}));

    const auto source = test::DvFrames(src);
    for (const std::string& out : {t2, t1}) {
        const auto frames = test::DvFrames(out);
        ASSERT_EQ(frames.size(), source.size()) << out;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            ASSERT_EQ(test::FrameDifference(source[i], frames[i]), "") << out << " frame " << i;
        }
        const auto a = test::FfmpegPcm(dir, src), b = test::FfmpegPcm(dir, out);
        if (a && b) {
            EXPECT_TRUE(*a == *b) << out << ": " << a->size() << " and " << b->size() << " bytes";
        }
    }
}

TEST(ConversionGraphs, TwoSoundStreamsSurviveTheTypeChanges) {
    test::TempDir dir;
    const std::string src =
        test::MakeDvFile(dir, "two.avi", "type=2 frames=25 audio=32k12 date=2004-07-14T10:00:00");
    ASSERT_EQ(test::StreamTypes(src), (std::vector<std::uint32_t>{kVids, kAuds, kAuds}));
    media::TCdm cdm;
    const std::string t1 = (dir / "two_type1.avi").string();
    ASSERT_TRUE(cdm.BuildDVtype1Graph(src, t1)) << cdm.BuildError();
    // Both wrappers carry a stream into the muxer's two audio inputs.
    EXPECT_TRUE(cdm.acm1.As<media::BaseFilter>()->GetInputPin(0)->IsConnected());
    EXPECT_TRUE(cdm.acm2.As<media::BaseFilter>()->GetInputPin(0)->IsConnected());
    ASSERT_EQ(test::RunToEnd(cdm), "");
    const std::string t2 = (dir / "two_type1_type2.avi").string();
    ASSERT_TRUE(cdm.BuildDVType2Graph(t1, t2)) << cdm.BuildError();
    ASSERT_EQ(test::RunToEnd(cdm), "");
    EXPECT_EQ(test::StreamTypes(t2), (std::vector<std::uint32_t>{kVids, kAuds, kAuds}));
    for (std::size_t k : {1u, 2u}) {
        const Bytes a = test::Concat(test::StreamChunks(src, k));
        const Bytes b = test::Concat(test::StreamChunks(t2, k));
        ASSERT_EQ(a.size(), b.size()) << "stream " << k;
        // A DV frame carries two pairs as 12-bit sound: each sample comes back within the step
        // of the 12-bit scale at its level.
        for (std::size_t i = 0; i + 1 < a.size(); i += 2) {
            const int x = static_cast<std::int16_t>(a[i] | (a[i + 1] << 8));
            const int y = static_cast<std::int16_t>(b[i] | (b[i + 1] << 8));
            ASSERT_LE(std::abs(x - y), 16 + std::abs(x) / 64) << "stream " << k << " sample " << i;
        }
    }
    const auto a = test::DvFrames(src), b = test::DvFrames(t2);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(test::FrameDifference(a[i], b[i]), "") << "frame " << i;
    }
}

TEST(ConversionGraphs, OneSoundStreamLeavesTheSecondWrapperUnconnected) {
    test::TempDir dir;
    const std::string src = test::MakeDvFile(dir, "one.avi", "type=2 frames=5");
    media::TCdm cdm;
    ASSERT_TRUE(cdm.BuildStandardGraphType2(src, (dir / "one_ntsc.avi").string(),
                                            media::kStandardNtsc))
        << cdm.BuildError();
    EXPECT_TRUE(cdm.acm1.As<media::BaseFilter>()->GetInputPin(0)->IsConnected());
    EXPECT_FALSE(cdm.acm2.As<media::BaseFilter>()->GetInputPin(0)->IsConnected());
}

TEST(ConversionGraphs, TheTimeShiftRewritesOnlyTheDateAndTimePacks) {
    test::TempDir dir;
    media::TCdm cdm;
    for (const char* type : {"1", "2"}) {
        const std::string src =
            test::MakeDvFile(dir, std::string("shift") + type + ".avi",
                             std::string("type=") + type + " frames=20 date=2004-07-14T23:59:50");
        const std::string out = (dir / (std::string("shift") + type + "_(+1h).avi")).string();
        ASSERT_TRUE(cdm.BuildDecalerHoraireGraph(src, out)) << cdm.BuildError();
        cdm.DVHeader().SetRestore(false);
        cdm.DVHeader().SetTimeShift(1.0 / 24);
        ASSERT_EQ(test::RunToEnd(cdm), "") << type;
        EXPECT_EQ(test::StreamTypes(out), test::StreamTypes(src)) << type;
        const auto a = test::DvFrames(src), b = test::DvFrames(out);
        ASSERT_EQ(a.size(), b.size()) << type;
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_EQ(test::FrameDifference(a[i], b[i], true), "") << type << " frame " << i;
            dv::TDatecode da, db;
            ASSERT_TRUE(dv::ReadValidDatecode(a[i], test::Sequences(a[i]), da));
            ASSERT_TRUE(dv::ReadValidDatecode(b[i], test::Sequences(b[i]), db));
            // 23:59:50 + 1 h is the next day's 00:59:50.
            EXPECT_EQ(db.Day, da.Day + 1) << type << " frame " << i;
            EXPECT_EQ(db.Hour, 0) << type << " frame " << i;
            EXPECT_EQ(db.Minute, 59);
            EXPECT_EQ(db.Second, da.Second);
        }
        if (std::string(type) == "2") {
            EXPECT_TRUE(test::StreamChunks(src, 1) == test::StreamChunks(out, 1));
        }
    }
}

TEST(ConversionGraphs, CutScenesPutEndToEndGiveTheSource) {
    test::TempDir dir;
    media::TCdm cdm;
    for (const char* type : {"1", "2"}) {
        const std::string src = test::MakeDvFile(
            dir, std::string("cut") + type + ".avi",
            std::string("type=") + type + " frames=37 picture=moving date=2004-07-14T10:00:00");
        const std::int64_t fd = 400000;
        const std::pair<int, int> scenes[] = {{0, 10}, {10, 11}, {11, 37}};
        std::vector<Bytes> frames;
        std::vector<Bytes> sound;
        int k = 0;
        for (const auto& [start, end] : scenes) {
            const std::string out =
                (dir / (std::string("cut") + type + "_scene_" + std::to_string(k++) + ".avi"))
                    .string();
            ASSERT_TRUE(std::string(type) == "2" ? cdm.BuildCutSceneGraphType2(src, out)
                                                 : cdm.BuildCutSceneGraphType1(src, out))
                << cdm.BuildError();
            EXPECT_EQ(cdm.Progress().ProgressSeeking, nullptr);
            ASSERT_TRUE(cdm.GraphSeeking().SetPositions(start * fd, end * fd - 1));
            ASSERT_EQ(test::RunToEnd(cdm), "") << type << " scene " << k;
            const auto f = test::DvFrames(out);
            EXPECT_EQ(f.size(), static_cast<std::size_t>(end - start)) << type << " scene " << k;
            frames.insert(frames.end(), f.begin(), f.end());
            if (const auto pcm = test::FfmpegPcm(dir, out))
                sound.push_back(*pcm);
        }
        const auto a = test::DvFrames(src);
        ASSERT_EQ(frames.size(), a.size()) << type;
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_EQ(test::FrameDifference(a[i], frames[i]), "") << type << " frame " << i;
        }
        if (const auto whole = test::FfmpegPcm(dir, src); whole && sound.size() == 3) {
            EXPECT_TRUE(test::Concat(sound) == *whole) << type;
        }
    }
}

TEST(ConversionGraphs, TheRepairKeepsTheFirstTwoStreams) {
    test::TempDir dir;
    const std::string src =
        test::MakeDvFile(dir, "three.avi", "type=2 frames=10 audio=32k12");
    media::TCdm cdm;
    const std::string out = (dir / "three_fixed.avi").string();
    ASSERT_TRUE(cdm.BuildCorrigerType2Graph(src, out)) << cdm.BuildError();
    ASSERT_EQ(test::RunToEnd(cdm), "");
    EXPECT_EQ(test::StreamTypes(out), (std::vector<std::uint32_t>{kVids, kAuds}));
    EXPECT_TRUE(test::StreamChunks(src, 0) == test::StreamChunks(out, 0));
    EXPECT_TRUE(test::StreamChunks(src, 1) == test::StreamChunks(out, 1));
}

TEST(ConversionGraphs, TheSoundIntoAWavFileIsFfmpegsDecoding) {
    test::TempDir dir;
    media::TCdm cdm;
    for (const char* type : {"1", "2"}) {
        const std::string src = test::MakeDvFile(dir, std::string("wav") + type + ".avi",
                                                 std::string("type=") + type + " frames=30");
        const std::string out = (dir / (std::string("wav") + type + ".wav")).string();
        ASSERT_TRUE(cdm.BuildExtraireAudioGraph(src, out)) << cdm.BuildError();
        ASSERT_EQ(test::RunToEnd(cdm), "") << type;
        const auto a = test::FfmpegPcm(dir, src), b = test::FfmpegPcm(dir, out);
        if (a && b) {
            EXPECT_EQ(a->size(), b->size()) << type;
            EXPECT_TRUE(*a == *b) << type;
        }
    }
}

TEST(ConversionGraphs, NoSoundNoExtraction) {
    test::TempDir dir;
    const std::string src = test::MakeDvFile(dir, "mute.avi", "type=2 frames=5 audio=none");
    media::TCdm cdm;
    EXPECT_FALSE(cdm.BuildExtraireAudioGraph(src, (dir / "mute.wav").string()));
    EXPECT_NE(cdm.BuildError().find("no sound"), std::string::npos) << cdm.BuildError();
}

TEST(ConversionGraphs, PalIntoNtscAndBack) {
    test::TempDir dir;
    media::TCdm cdm;
    for (const char* type : {"2", "1"}) {
        const std::string src = test::MakeDvFile(
            dir, std::string("pal") + type + ".avi",
            std::string("type=") + type + " frames=50 picture=moving date=2004-07-14T10:00:00");
        const std::string ntsc = (dir / (std::string("pal") + type + "_ntsc.avi")).string();
        ASSERT_TRUE(std::string(type) == "2"
                        ? cdm.BuildStandardGraphType2(src, ntsc, media::kStandardNtsc)
                        : cdm.BuildStandardGraphType1(src, ntsc, media::kStandardNtsc))
            << cdm.BuildError();
        ASSERT_EQ(test::RunToEnd(cdm), "") << type;
        const auto frames = test::DvFrames(ntsc);
        EXPECT_EQ(frames.size(), 60u) << type;
        for (const auto& f : frames)
            ASSERT_EQ(f.size(), dv::kFrameSize525);
        if (test::ToolAvailable("ffprobe")) {
            EXPECT_EQ(test::Probe(dir, ntsc, "v:0", "width,height,r_frame_rate,nb_read_frames"),
                      "720\n480\n30000/1001\n60")
                << type;
            EXPECT_EQ(test::Probe(dir, ntsc, "a:0", "sample_rate,channels"), "48000\n2") << type;
            EXPECT_EQ(test::FfmpegErrors(dir, ntsc), "") << type;
        }
        const std::string back = (dir / (std::string("pal") + type + "_ntsc_pal.avi")).string();
        ASSERT_TRUE(std::string(type) == "2"
                        ? cdm.BuildStandardGraphType2(ntsc, back, media::kStandardPal)
                        : cdm.BuildStandardGraphType1(ntsc, back, media::kStandardPal))
            << cdm.BuildError();
        ASSERT_EQ(test::RunToEnd(cdm), "") << type;
        // 60 NTSC frames last 2.002 s: 51 PAL frames start within them.
        EXPECT_EQ(test::DvFrames(back).size(), 51u) << type;
        if (test::ToolAvailable("ffprobe")) {
            EXPECT_EQ(test::Probe(dir, back, "v:0", "width,height,r_frame_rate,nb_read_frames"),
                      "720\n576\n25/1\n51")
                << type;
            EXPECT_EQ(test::FfmpegErrors(dir, back), "") << type;
        }
    }
}

}  // namespace
}  // namespace kelvor
