// The conversion module's graphs on real DV files, each output read back by our demuxer and, when
// installed, by ffmpeg, ffprobe and mediainfo.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include <QGuiApplication>

#include "media/engine/DvAudio.h"
#include "media/filters/ContentDetectorFilter.h"
#include "media/filters/DateDetectorFilter.h"
#include "media/filters/InlayFilter.h"
#include "media/graphs/ConversionTestSupport.h"

namespace kelvor {
namespace {

using test::Bytes;
constexpr std::uint32_t kIavs = 0x73766169;  // "iavs"
constexpr std::uint32_t kVids = 0x73646976;  // "vids"
constexpr std::uint32_t kAuds = 0x73647561;  // "auds"

// The inlay draws with Qt; the offscreen platform needs no display.
void EnsureGui() {
    if (QGuiApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_conversions";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the test program
}

// The source frame an output frame of another rate shows: the one whose time span holds the
// output frame's start.
std::size_t ShownFrame(std::size_t n, bool toNtsc) {
    return toNtsc ? n * 25025 / 30000 : n * 30000 / 25025;
}

TEST(ConversionGraphs, TypeOneIntoTwoAndBackKeepsEveryFrameAndTheSound) {
    test::TempDir dir;
    const std::string src = test::MakeDvFile(dir, "clip.avi",
                                             "type=1 frames=30 date=2004-07-14T10:00:00 "
                                             "picture=moving");
    media::ConversionGraphs graphs;
    const std::string t2 = (dir / "clip_type2.avi").string();
    ASSERT_TRUE(graphs.BuildToType2Graph(src, t2)) << graphs.BuildError();
    ASSERT_EQ(test::RunToEnd(graphs), "");
    EXPECT_EQ(test::StreamTypes(t2), (std::vector<std::uint32_t>{kVids, kAuds}));
    const std::string t1 = (dir / "clip_type2_type1.avi").string();
    ASSERT_TRUE(graphs.BuildToType1Graph(t2, t1)) << graphs.BuildError();
    ASSERT_EQ(test::RunToEnd(graphs), "");
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
    media::ConversionGraphs graphs;
    const std::string t1 = (dir / "two_type1.avi").string();
    ASSERT_TRUE(graphs.BuildToType1Graph(src, t1)) << graphs.BuildError();
    // Both wrappers carry a stream into the muxer's two audio inputs.
    EXPECT_TRUE(graphs.resampler1.As<media::BaseFilter>()->GetInputPin(0)->IsConnected());
    EXPECT_TRUE(graphs.resampler2.As<media::BaseFilter>()->GetInputPin(0)->IsConnected());
    ASSERT_EQ(test::RunToEnd(graphs), "");
    const std::string t2 = (dir / "two_type1_type2.avi").string();
    ASSERT_TRUE(graphs.BuildToType2Graph(t1, t2)) << graphs.BuildError();
    ASSERT_EQ(test::RunToEnd(graphs), "");
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

// The picture conversions of a type 2 file with two sound streams keep both, each in its own
// stream of the output, as the type changes do.
TEST(ConversionGraphs, TwoSoundStreamsSurviveThePictureConversions) {
    EnsureGui();
    test::TempDir dir;
    const std::string src =
        test::MakeDvFile(dir, "two.avi", "type=2 frames=25 audio=32k12 date=2004-07-14T10:00:00");
    media::ConversionGraphs graphs;
    using G = media::ConversionGraphs;
    using Build = std::function<bool(G&, const std::string&)>;
    const std::pair<const char*, Build> cases[] = {
        {"ntsc", [&](G& g, auto& o) { return g.BuildStandardGraphType2(src, o, 2); }},
        {"pal", [&](G& g, auto& o) { return g.BuildStandardGraphType2(src, o, 1); }},
        {"inlay", [&](G& g, auto& o) { return g.BuildInlayGraphType2(src, o, 1); }},
    };
    for (const auto& [name, build] : cases) {
        SCOPED_TRACE(name);
        const std::string out = (dir / (std::string(name) + ".avi")).string();
        ASSERT_TRUE(build(graphs, out)) << graphs.BuildError();
        EXPECT_TRUE(graphs.resampler2.As<media::BaseFilter>()->GetInputPin(0)->IsConnected());
        ASSERT_EQ(test::RunToEnd(graphs), "");
        EXPECT_EQ(test::StreamTypes(out), (std::vector<std::uint32_t>{kVids, kAuds, kAuds}));
        // The second stream is as long as the first.
        const Bytes first = test::Concat(test::StreamChunks(out, 1));
        const Bytes second = test::Concat(test::StreamChunks(out, 2));
        EXPECT_GT(second.size(), 0u);
        EXPECT_EQ(first.size(), second.size());
        if (test::ToolAvailable("ffprobe")) {
            const auto r = test::RunTool({"ffprobe", "-v", "error", "-select_streams", "a",
                                          "-show_entries", "stream=index", "-of", "csv=p=0", out},
                                         dir.path());
            EXPECT_EQ(r.out, "1\n2\n");
        }
    }
}

TEST(ConversionGraphs, OneSoundStreamLeavesTheSecondWrapperUnconnected) {
    test::TempDir dir;
    const std::string src = test::MakeDvFile(dir, "one.avi", "type=2 frames=5");
    media::ConversionGraphs graphs;
    ASSERT_TRUE(
        graphs.BuildStandardGraphType2(src, (dir / "one_ntsc.avi").string(), media::kStandardNtsc))
        << graphs.BuildError();
    EXPECT_TRUE(graphs.resampler1.As<media::BaseFilter>()->GetInputPin(0)->IsConnected());
    EXPECT_FALSE(graphs.resampler2.As<media::BaseFilter>()->GetInputPin(0)->IsConnected());
}

TEST(ConversionGraphs, TheTimeShiftRewritesOnlyTheDateAndTimePacks) {
    test::TempDir dir;
    media::ConversionGraphs graphs;
    for (const char* type : {"1", "2"}) {
        const std::string src =
            test::MakeDvFile(dir, std::string("shift") + type + ".avi",
                             std::string("type=") + type + " frames=20 date=2004-07-14T23:59:50");
        const std::string out = (dir / (std::string("shift") + type + "_(+1h).avi")).string();
        ASSERT_TRUE(graphs.BuildShiftTimeGraph(src, out)) << graphs.BuildError();
        graphs.DvHeader().SetRestore(false);
        graphs.DvHeader().SetTimeShift(1.0 / 24);
        ASSERT_EQ(test::RunToEnd(graphs), "") << type;
        EXPECT_EQ(test::StreamTypes(out), test::StreamTypes(src)) << type;
        const auto a = test::DvFrames(src), b = test::DvFrames(out);
        ASSERT_EQ(a.size(), b.size()) << type;
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_EQ(test::FrameDifference(a[i], b[i], true), "") << type << " frame " << i;
            dv::Datecode da, db;
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
    media::ConversionGraphs graphs;
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
            ASSERT_TRUE(std::string(type) == "2" ? graphs.BuildCutSceneGraphType2(src, out)
                                                 : graphs.BuildCutSceneGraphType1(src, out))
                << graphs.BuildError();
            EXPECT_EQ(graphs.Progress().ProgressSeeking, nullptr);
            ASSERT_TRUE(graphs.GraphSeeking().SetPositions(start * fd, end * fd - 1));
            ASSERT_EQ(test::RunToEnd(graphs), "") << type << " scene " << k;
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
    const std::string src = test::MakeDvFile(dir, "three.avi", "type=2 frames=10 audio=32k12");
    media::ConversionGraphs graphs;
    const std::string out = (dir / "three_fixed.avi").string();
    ASSERT_TRUE(graphs.BuildFixType2Graph(src, out)) << graphs.BuildError();
    ASSERT_EQ(test::RunToEnd(graphs), "");
    EXPECT_EQ(test::StreamTypes(out), (std::vector<std::uint32_t>{kVids, kAuds}));
    EXPECT_TRUE(test::StreamChunks(src, 0) == test::StreamChunks(out, 0));
    EXPECT_TRUE(test::StreamChunks(src, 1) == test::StreamChunks(out, 1));
}

TEST(ConversionGraphs, TheSoundIntoAWavFileIsFfmpegsDecoding) {
    test::TempDir dir;
    media::ConversionGraphs graphs;
    for (const char* type : {"1", "2"}) {
        const std::string src = test::MakeDvFile(dir, std::string("wav") + type + ".avi",
                                                 std::string("type=") + type + " frames=30");
        const std::string out = (dir / (std::string("wav") + type + ".wav")).string();
        ASSERT_TRUE(graphs.BuildExtractAudioGraph(src, out)) << graphs.BuildError();
        ASSERT_EQ(test::RunToEnd(graphs), "") << type;
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
    media::ConversionGraphs graphs;
    EXPECT_FALSE(graphs.BuildExtractAudioGraph(src, (dir / "mute.wav").string()));
    EXPECT_NE(graphs.BuildError().find("no sound"), std::string::npos) << graphs.BuildError();
}

TEST(ConversionGraphs, PalIntoNtscAndBack) {
    test::TempDir dir;
    media::ConversionGraphs graphs;
    for (const char* type : {"2", "1"}) {
        const std::string src = test::MakeDvFile(
            dir, std::string("pal") + type + ".avi",
            std::string("type=") + type + " frames=50 picture=moving date=2004-07-14T10:00:00");
        const std::string ntsc = (dir / (std::string("pal") + type + "_ntsc.avi")).string();
        ASSERT_TRUE(std::string(type) == "2"
                        ? graphs.BuildStandardGraphType2(src, ntsc, media::kStandardNtsc)
                        : graphs.BuildStandardGraphType1(src, ntsc, media::kStandardNtsc))
            << graphs.BuildError();
        ASSERT_EQ(test::RunToEnd(graphs), "") << type;
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
                        ? graphs.BuildStandardGraphType2(ntsc, back, media::kStandardPal)
                        : graphs.BuildStandardGraphType1(ntsc, back, media::kStandardPal))
            << graphs.BuildError();
        ASSERT_EQ(test::RunToEnd(graphs), "") << type;
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

// Each output frame of a PAL/NTSC conversion says the target standard and carries the datecode
// and timecode of the source frame it shows, and the sound its standard's frames carry.
TEST(ConversionGraphs, AcrossStandardsEveryFrameCarriesItsSourceFramesPacks) {
    test::TempDir dir;
    media::ConversionGraphs graphs;
    struct Case {
        const char* description;
        bool type2;
        bool toNtsc;
        int rate;
    };
    const Case cases[] = {
        {"type=2 standard=pal frames=40 picture=moving date=2004-07-14T10:00:00 tc=00:10:00:00",
         true, true, 48000},
        {"type=1 standard=ntsc aspect=16:9 audio=32k frames=45 date=2004-12-31T23:59:59", false,
         false, 32000},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        const std::string src =
            test::MakeDvFile(dir, "std" + std::to_string(k) + ".avi", c.description);
        const std::string out = (dir / ("std" + std::to_string(k++) + "_out.avi")).string();
        const int target = c.toNtsc ? media::kStandardNtsc : media::kStandardPal;
        ASSERT_TRUE(c.type2 ? graphs.BuildStandardGraphType2(src, out, target)
                            : graphs.BuildStandardGraphType1(src, out, target))
            << graphs.BuildError();
        if (c.type2) {
            ASSERT_TRUE(graphs.SetAudioRate(graphs.resampler1, c.rate));
            ASSERT_TRUE(graphs.SetAudioRate(graphs.resampler2, c.rate));
        }
        graphs.DvHeader().SetRestore(true);
        graphs.DvHeader().SetTimeShift(0);
        ASSERT_EQ(test::RunToEnd(graphs), "");
        const auto a = test::DvFrames(src), b = test::DvFrames(out);
        ASSERT_FALSE(b.empty());
        std::int64_t samples = 0;
        for (std::size_t n = 0; n < b.size(); ++n) {
            const Bytes& f = b[n];
            ASSERT_EQ(f.size(), c.toNtsc ? dv::kFrameSize525 : dv::kFrameSize625) << n;
            int standard = 0;
            ASSERT_TRUE(dv::ReadStandard(f, standard));
            EXPECT_EQ(standard, target) << n;
            const Bytes& shown = a[ShownFrame(n, c.toNtsc)];
            dv::FrameFacts want, got;
            dv::ReadFrameFacts(shown, test::Sequences(shown), want);
            dv::ReadFrameFacts(f, test::Sequences(f), got);
            EXPECT_EQ(got.HasDatecode, want.HasDatecode) << n;
            EXPECT_TRUE(got.Datecode == want.Datecode) << n;
            // An NTSC frame number becomes PAL's: the same second, 25 frames to it.
            if (!c.toNtsc)
                want.Timecode.Frames = static_cast<std::uint8_t>(want.Timecode.Frames * 25 / 30);
            EXPECT_TRUE(got.Timecode == want.Timecode) << n;
            EXPECT_EQ(got.Wide, want.Wide) << n;
            const auto audio = media::dvaudio::ReadFrameAudio(f);
            ASSERT_TRUE(audio) << n;
            EXPECT_EQ(audio->pal, !c.toNtsc) << n;
            EXPECT_EQ(audio->sampleRate, c.rate) << n;
            EXPECT_EQ(audio->samples, media::dvaudio::SamplesForFrame(!c.toNtsc, c.rate,
                                                                      static_cast<std::int64_t>(n)))
                << n;
            samples += audio->samples;
        }
        // The sound lasts as long as the pictures, within a frame.
        const double seconds = static_cast<double>(b.size()) * (c.toNtsc ? 1001.0 / 30000 : 0.04);
        EXPECT_NEAR(static_cast<double>(samples), seconds * c.rate, c.rate / 25.0);
        if (test::ToolAvailable("ffmpeg")) {
            EXPECT_EQ(test::FfmpegErrors(dir, out), "");
        }
        if (test::ToolAvailable("mediainfo")) {
            EXPECT_EQ(test::MediaInfo(dir, out, "General;%Recorded_Date%"),
                      test::MediaInfo(dir, src, "General;%Recorded_Date%"));
            EXPECT_EQ(test::MediaInfo(dir, out, "Video;%Standard%"), c.toNtsc ? "NTSC" : "PAL");
        }
    }
}

// Any AVI the engine can decode becomes DV type 2 in the chosen standard: the picture scaled with
// its aspect kept, 16:9 when it is 1.5 or wider, the sound at the chosen rate.
TEST(ConversionGraphs, RecompressionOfAnotherCodec) {
    if (!test::ToolAvailable("ffmpeg") || !test::ToolAvailable("ffprobe"))
        GTEST_SKIP() << "ffmpeg makes the source";
    test::TempDir dir;
    const auto made = test::RunTool({"ffmpeg",   "-v",     "error", "-y",
                                     "-f",       "lavfi",  "-i",    "testsrc=size=640x360:rate=30",
                                     "-f",       "lavfi",  "-i",    "sine=r=44100",
                                     "-t",       "2",      "-c:v",  "mjpeg",
                                     "-c:a",     "pcm_u8", "-ac",   "1",
                                     "other.avi"},
                                    dir.path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string src = (dir / "other.avi").string();
    media::ConversionGraphs graphs;
    for (const int standard : {media::kStandardPal, media::kStandardNtsc}) {
        SCOPED_TRACE(standard);
        const std::string out =
            (dir / ("other_dvtype2_" + std::to_string(standard) + ".avi")).string();
        ASSERT_TRUE(graphs.BuildRecompressGraph(src, out, standard, 2)) << graphs.BuildError();
        ASSERT_EQ(test::RunToEnd(graphs), "");
        const bool pal = standard == media::kStandardPal;
        EXPECT_EQ(test::StreamTypes(out), (std::vector<std::uint32_t>{kVids, kAuds}));
        EXPECT_EQ(test::Probe(dir, out, "v:0", "codec_name,width,height,r_frame_rate"),
                  pal ? "dvvideo\n720\n576\n25/1" : "dvvideo\n720\n480\n30000/1001");
        EXPECT_EQ(test::Probe(dir, out, "a:0", "sample_rate,channels"), "48000\n2");
        EXPECT_EQ(test::FfmpegErrors(dir, out), "");
        const auto frames = test::DvFrames(out);
        EXPECT_NEAR(static_cast<double>(frames.size()), pal ? 50 : 60, 1);
        ASSERT_FALSE(frames.empty());
        bool wide = false;
        ASSERT_TRUE(dv::ReadWide(frames[0], test::Sequences(frames[0]), wide));
        EXPECT_TRUE(wide);
    }
    // A picture wider than the frame gets black bars above and below.
    ASSERT_EQ(test::RunTool(
                  {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                   "color=c=white:size=940x400:rate=25", "-t", "1", "-c:v", "mjpeg", "wide.avi"},
                  dir.path())
                  .exitCode,
              0);
    const std::string bars = (dir / "wide_dvtype2.avi").string();
    ASSERT_TRUE(
        graphs.BuildRecompressGraph((dir / "wide.avi").string(), bars, media::kStandardPal, 2))
        << graphs.BuildError();
    ASSERT_EQ(test::RunToEnd(graphs), "");
    ASSERT_EQ(test::RunTool({"ffmpeg", "-v", "error", "-y", "-i", bars, "-frames:v", "1", "-f",
                             "rawvideo", "-pix_fmt", "gray", "first.gray"},
                            dir.path())
                  .exitCode,
              0);
    const Bytes gray = test::ReadBytes(dir / "first.gray");
    ASSERT_EQ(gray.size(), 720u * 576u);
    // 2.35:1 in a 16:9 frame: 436 rows of picture, 70 black rows above and below.
    auto row = [&](int y) {
        return static_cast<int>(gray[static_cast<std::size_t>(y) * 720 + 360]);
    };
    EXPECT_LT(row(30), 40);
    EXPECT_LT(row(545), 40);
    EXPECT_GT(row(288), 200);
    EXPECT_GT(row(80), 200);

    // "Frequence DV" 0: 32 kHz.
    const std::string out = (dir / "other_32k.avi").string();
    ASSERT_TRUE(graphs.BuildRecompressGraph(src, out, media::kStandardPal, 0))
        << graphs.BuildError();
    ASSERT_EQ(test::RunToEnd(graphs), "");
    EXPECT_EQ(test::Probe(dir, out, "a:0", "sample_rate"), "32000");
    // Two seconds of sound at that rate, not the 44.1 kHz samples relabelled.
    const auto pcm = test::FfmpegPcm(dir, out);
    ASSERT_TRUE(pcm);
    EXPECT_NEAR(static_cast<double>(pcm->size()) / 4 / 32000, 2.0, 0.05);
}

TEST(ConversionGraphs, ContentDetectionFindsACutAndNoFade) {
    test::TempDir dir;
    // Black, then a cut to white at frame 250; then a fade back in steps of 12 (no change of
    // more than 16 anywhere).
    std::string description =
        "type=2 frames=250 audio=none picture=colour:000000;"
        "frames=30 picture=colour:FFFFFF";
    for (int v = 0xF3; v > 0x20; v -= 12) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "%02X%02X%02X", v, v, v);
        description += std::string(";frames=1 picture=colour:") + colour;
    }
    const std::string src = test::MakeDvFile(dir, "content.avi", description);
    media::ConversionGraphs graphs;
    std::vector<std::int32_t> ends;
    bool ended = false;
    ASSERT_TRUE(graphs.BuildContentScenesGraph(src)) << graphs.BuildError();
    graphs.ContentDetector().OnSceneEnd = [&](std::int32_t f) { ends.push_back(f); };
    graphs.ContentDetector().OnStreamEnd = [&] { ended = true; };
    ASSERT_EQ(test::RunToEnd(graphs), "");
    EXPECT_TRUE(ended);
    const std::int32_t last = 250 + 30 + (0xF3 - 0x20 + 11) / 12 - 1;
    EXPECT_EQ(ends, (std::vector<std::int32_t>{250, last}));
}

TEST(ConversionGraphs, TheInlayRestoresEveryFramesHeaderBlocks) {
    EnsureGui();
    test::TempDir dir;
    media::ConversionGraphs graphs;
    for (const char* type : {"2", "1"}) {
        const std::string src = test::MakeDvFile(
            dir, std::string("in") + type + ".avi",
            std::string("type=") + type + " frames=20 date=2004-07-14T10:00:00 tc=01:00:00:00");
        const std::string out = (dir / (std::string("in") + type + "_in.avi")).string();
        ASSERT_TRUE(std::string(type) == "2"
                        ? graphs.BuildInlayGraphType2(src, out, media::kStandardPal)
                        : graphs.BuildInlayGraphType1(src, out, media::kStandardPal))
            << graphs.BuildError();
        graphs.Inlay().SetEnabled(true);
        graphs.DvHeader().SetRestore(true);
        graphs.DvHeader().SetTimeShift(0);
        ASSERT_EQ(test::RunToEnd(graphs), "") << type;
        EXPECT_EQ(test::StreamTypes(out), test::StreamTypes(src)) << type;
        const auto a = test::DvFrames(src), b = test::DvFrames(out);
        ASSERT_EQ(a.size(), b.size()) << type;
        std::size_t drawn = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(test::HeaderBlocksDifference(a[i], b[i]), "") << type << " frame " << i;
            drawn += a[i] != b[i];
        }
        EXPECT_EQ(drawn, a.size()) << type;
        if (test::ToolAvailable("ffmpeg")) {
            EXPECT_EQ(test::FfmpegErrors(dir, out), "") << type;
        }
    }
}

// The points at which the builders fail, and what they leave.
TEST(ConversionGraphs, FailurePointsOfTheBuilders) {
    test::TempDir dir;
    media::ConversionGraphs graphs;
    const std::string out = (dir / "out.avi").string();
    // A file that does not exist fails every builder at the source.
    const std::string missing = (dir / "missing.avi").string();
    EXPECT_FALSE(graphs.BuildToType2Graph(missing, out));
    EXPECT_FALSE(graphs.BuildFixType2Graph(missing, out));
    EXPECT_FALSE(graphs.BuildContentScenesGraph(missing));
    EXPECT_FALSE(graphs.BuildExtractAudioGraph(missing, out));

    if (test::ToolAvailable("ffmpeg")) {
        // Not DV: no stream reaches the date detector or the DV header filter.
        ASSERT_EQ(
            test::RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                           "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i", "sine=r=48000",
                           "-t", "1", "-c:v", "mjpeg", "-c:a", "pcm_s16le", "mjpeg.avi"},
                          dir.path())
                .exitCode,
            0);
        const std::string mjpeg = (dir / "mjpeg.avi").string();
        EXPECT_FALSE(graphs.BuildStandardGraphType2(mjpeg, out, media::kStandardNtsc));
        EXPECT_FALSE(graphs.BuildStandardGraphType1(mjpeg, out, media::kStandardNtsc));
        EXPECT_FALSE(graphs.BuildInlayGraphType2(mjpeg, out, media::kStandardPal));
        EXPECT_FALSE(graphs.BuildInlayGraphType1(mjpeg, out, media::kStandardPal));
        EXPECT_FALSE(graphs.BuildDateScenesGraph(mjpeg));
        EXPECT_FALSE(graphs.BuildSrtGraph(mjpeg));
        EXPECT_FALSE(graphs.BuildShiftTimeGraph(mjpeg, out));
        EXPECT_FALSE(graphs.BuildToType2Graph(mjpeg, out));
        EXPECT_NE(graphs.BuildError(), "");
        // ... but its picture reaches the content detector.
        EXPECT_TRUE(graphs.BuildContentScenesGraph(mjpeg)) << graphs.BuildError();

        // Sound without video passes through the tee into the WAV writer.
        ASSERT_EQ(test::RunTool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=r=44100",
                                 "-t", "1", "-c:a", "pcm_s16le", "sound.avi"},
                                dir.path())
                      .exitCode,
                  0);
        const std::string sound = (dir / "sound.avi").string();
        const std::string wav = (dir / "sound.wav").string();
        ASSERT_TRUE(graphs.BuildExtractAudioGraph(sound, wav)) << graphs.BuildError();
        EXPECT_TRUE(graphs.infiniteTee.Attached());
        EXPECT_TRUE(graphs.infiniteTee.Filter()->GetInputPin(0)->IsConnected());
        ASSERT_EQ(test::RunToEnd(graphs), "");
        const auto a = test::FfmpegPcm(dir, sound), b = test::FfmpegPcm(dir, wav);
        ASSERT_TRUE(a && b);
        EXPECT_TRUE(*a == *b);
    }

    // After every build the date detector's callbacks are empty; the repair of a file it can
    // read writes over an existing output.
    const std::string src = test::MakeDvFile(dir, "clip.avi", "type=2 frames=5");
    test::WriteBytes(out, Bytes(10, 7));
    graphs.DateDetector().Detector().OnSceneEnd = [](const scenes::FrameInfo&,
                                                     const scenes::FrameInfo&) {};
    graphs.DateDetector().Detector().OnStreamEnd = [] {};
    ASSERT_TRUE(graphs.BuildFixType2Graph(src, out)) << graphs.BuildError();
    EXPECT_FALSE(graphs.DateDetector().Detector().OnSceneEnd);
    EXPECT_FALSE(graphs.DateDetector().Detector().OnStreamEnd);
    ASSERT_EQ(test::RunToEnd(graphs), "");
    EXPECT_EQ(test::DvFrames(out).size(), 5u);
}

// Files written by other programs: ffmpeg's raw DV wrapped by ffmpeg and by dvgrab.
TEST(ConversionGraphs, FilesOfOtherWritersConvert) {
    if (!test::ToolAvailable("ffmpeg") || !test::ToolAvailable("ffprobe") ||
        !test::ToolAvailable("mediainfo"))
        GTEST_SKIP() << "ffmpeg, ffprobe and mediainfo read the outputs";
    test::TempDir dir;
    const auto made =
        test::RunTool({"ffmpeg",    "-v",          "error",     "-y",
                       "-f",        "lavfi",       "-i",        "testsrc=size=720x576:rate=25",
                       "-f",        "lavfi",       "-i",        "sine=r=48000",
                       "-t",        "2",           "-c:v",      "dvvideo",
                       "-pix_fmt",  "yuv420p",     "-c:a",      "pcm_s16le",
                       "-ac",       "2",           "-metadata", "creation_time=2021-03-04T05:06:07",
                       "-timecode", "01:02:03:04", "-f",        "dv",
                       "a.dv"},
                      dir.path());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ASSERT_EQ(test::RunTool({"ffmpeg", "-v", "error", "-y", "-i", "a.dv", "-c", "copy", "ff.avi"},
                            dir.path())
                  .exitCode,
              0);
    std::vector<std::string> sources = {"ff.avi"};
    if (test::ToolAvailable("dvgrab")) {
        // dvgrab reading a file now and then stops early or hangs: a limit and a few attempts.
        for (const char* kind : {"dv1", "dv2"})
            for (int attempt = 0; attempt < 4; ++attempt) {
                const std::string prefix = std::string(kind) + std::to_string(attempt) + "-";
                test::RunTool({"dvgrab", "-I", "a.dv", "-f", kind, "-size", "0", prefix},
                              dir.path(), std::chrono::seconds(10));
                if (test::DvFrames((dir / (prefix + "001.avi")).string()).size() == 50) {
                    sources.push_back(prefix + "001.avi");
                    break;
                }
            }
    }
    media::ConversionGraphs graphs;
    for (const std::string& name : sources) {
        SCOPED_TRACE(name);
        const std::string src = (dir / name).string();
        const bool type1 = test::StreamTypes(src).front() == kIavs;
        const std::string date = test::MediaInfo(dir, src, "General;%Recorded_Date%");
        const std::string ntsc = (dir / (name + "_ntsc.avi")).string();
        ASSERT_TRUE(type1 ? graphs.BuildStandardGraphType1(src, ntsc, media::kStandardNtsc)
                          : graphs.BuildStandardGraphType2(src, ntsc, media::kStandardNtsc))
            << graphs.BuildError();
        // The module's filters keep their settings from one build to the next.
        graphs.DvHeader().SetRestore(true);
        graphs.DvHeader().SetTimeShift(0);
        ASSERT_EQ(test::RunToEnd(graphs), "");
        EXPECT_EQ(test::Probe(dir, ntsc, "v:0", "width,height,r_frame_rate,nb_read_frames"),
                  "720\n480\n30000/1001\n60");
        EXPECT_EQ(test::Probe(dir, ntsc, "a:0", "sample_rate,channels"), "48000\n2");
        EXPECT_EQ(test::FfmpegErrors(dir, ntsc), "");
        EXPECT_EQ(test::MediaInfo(dir, ntsc, "General;%Recorded_Date%"), date);

        const std::string other = (dir / (name + "_other.avi")).string();
        ASSERT_TRUE(type1 ? graphs.BuildToType2Graph(src, other)
                          : graphs.BuildToType1Graph(src, other))
            << graphs.BuildError();
        ASSERT_EQ(test::RunToEnd(graphs), "");
        const auto a = test::DvFrames(src), b = test::DvFrames(other);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_EQ(test::FrameDifference(a[i], b[i]), "") << i;
        }
        EXPECT_EQ(test::FfmpegErrors(dir, other), "");
        EXPECT_EQ(test::MediaInfo(dir, other, "General;%Recorded_Date%"), date);
        const auto pa = test::FfmpegPcm(dir, src), pb = test::FfmpegPcm(dir, other);
        ASSERT_TRUE(pa && pb);
        EXPECT_TRUE(*pa == *pb);

        const std::string shifted = (dir / (name + "_shift.avi")).string();
        ASSERT_TRUE(graphs.BuildShiftTimeGraph(src, shifted)) << graphs.BuildError();
        graphs.DvHeader().SetRestore(false);
        graphs.DvHeader().SetTimeShift(2.0 / 24);
        ASSERT_EQ(test::RunToEnd(graphs), "");
        EXPECT_EQ(test::MediaInfo(dir, shifted, "General;%Recorded_Date%"),
                  "2021-03-04 07:06:07.000");
        EXPECT_EQ(test::FfmpegErrors(dir, shifted), "");
    }
}

}  // namespace
}  // namespace kelvor
