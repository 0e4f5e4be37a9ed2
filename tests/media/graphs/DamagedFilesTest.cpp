// Files with dropouts, as real tapes give them, through the real probe and scene graphs: what a
// damaged frame does not say is never invented, and what the good frames say is never lost.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "commands/CommandsTestSupport.h"
#include "core/avi/AviDemuxer.h"
#include "core/files/FileRecord.h"
#include "core/scenes/ScnFile.h"
#include "fixtures/DvFixture.h"
#include "media/filters/ContentDetectorFilter.h"
#include "media/graphs/ConversionTestSupport.h"
#include "media/graphs/ProbeGraph.h"
#include "support/DvAviFiles.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

std::string MakeDv(const test::TempDir& dir, const std::string& name,
                   const std::string& description) {
    const std::string p = (dir / name).string();
    std::string error;
    EXPECT_TRUE(fixtures::WriteDvFile(p, description, error)) << error;
    return p;
}

// Overwrites the data of one video chunk with zeros: a frame lost to a dropout.
void ZeroFrame(const std::string& path, std::uint64_t frame) {
    avi::AviDemuxer d;
    ASSERT_TRUE(d.open(path));
    const auto chunk = d.chunk(static_cast<std::size_t>(d.videoStream()), frame);
    ASSERT_TRUE(chunk);
    const std::vector<char> zeros(chunk->Size, 0);
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, zeros.data(), zeros.size(), static_cast<off_t>(chunk->Offset)),
              static_cast<ssize_t>(zeros.size()));
    ::close(fd);
}

TEST(DamagedFiles, ABadFirstFrameLeavesTheDatecodeOfTheFirstGoodOne) {
    test::TempDir dir;
    for (const char* type : {"1", "2"}) {
        const std::string p = MakeDv(
            dir, std::string("t") + type + ".avi",
            std::string("type=") + type + " frames=10 date=2024-07-14T10:00:00 tc=00:00:10:00");
        ZeroFrame(p, 0);
        media::ProbeGraph probe;
        const files::FileRecord r(p, probe);
        EXPECT_TRUE(r.IsDV) << type;
        EXPECT_EQ(r.DatecodeText, "7/14/2024 10:00:00") << type;
        EXPECT_EQ(r.TimecodeText, "00.00.10.01") << type;
        EXPECT_EQ(r.FrameCount, 10) << type;
    }
}

TEST(DamagedFiles, AZeroFrameAmongDatedFramesEndsNoSceneAndKeepsTheDate) {
    commands::test::Commands c;
    const std::string p = c.make("clip.avi", "type=2 frames=50 date=2024-07-14T10:00:00");
    ZeroFrame(p, 30);
    c.select({p});
    c.run("CreerScnFromDate");
    scenes::SceneList scenes;
    ASSERT_TRUE(scenes::ReadScnFile(c.path("clip.scn"), scenes, 25));
    ASSERT_EQ(scenes.size(), 1u);
    EXPECT_EQ(scenes[0].Scene.EndFrame, 50);
    EXPECT_NE(scenes[0].Caption.find("7/14/2024 10:00:00"), std::string::npos) << scenes[0].Caption;
}

// Reads the whole file, lets `edit` change its bytes, and writes it back.
template <typename Edit>
void EditFile(const std::string& path, Edit edit) {
    std::vector<std::uint8_t> bytes = test::ReadBytes(path);
    edit(bytes);
    test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::size_t Find(const std::vector<std::uint8_t>& bytes, std::string_view what,
                 std::size_t from = 0) {
    const auto it = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                                what.begin(), what.end());
    return static_cast<std::size_t>(it - bytes.begin());
}

// Real NTSC camcorder frames write PC3 = 00 in their VAUX source pack (60 fields, system type
// 0); the header's 50/60 flag decides, so neither wrapper turns them into PAL.
TEST(DamagedFiles, RealNtscFramesAreNtscInBothTypes) {
    test::TempDir dir;
    const auto frames = test::RealNtscFrames();
    ASSERT_EQ(frames.size(), 5u);
    for (const auto type : {avi::DvType::Type1, avi::DvType::Type2}) {
        const std::string p = dir.file(type == avi::DvType::Type1 ? "t1.avi" : "t2.avi");
        ASSERT_TRUE(test::WriteDvAvi(p, frames, type, false));
        media::ProbeGraph probe;
        const files::FileRecord r(p, probe);
        EXPECT_EQ(r.Standard, 2) << p;
        EXPECT_EQ(r.ImageText + r.AspectText, "720 x 480 (NTSC 4x3)") << p;
        EXPECT_EQ(r.FrameCount, 5) << p;
        EXPECT_NEAR(r.Fps, 29.97, 0.01) << p;
        EXPECT_EQ(r.DatecodeText, "7/8/2024 19:55:58") << p;
        if (test::ToolAvailable("ffprobe")) {
            const auto out = test::RunTool(
                {"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames",
                 "-show_entries", "stream=height,nb_read_frames,r_frame_rate", "-of", "csv=p=0", p},
                dir.path());
            EXPECT_EQ(out.out, "480,30000/1001,5\n") << p;
        }
    }
}

// A damaged first frame does not decide the standard or the sound of a type 1 stream.
TEST(DamagedFiles, ADamagedFirstFrameDoesNotDecideTheStandard) {
    test::TempDir dir;
    auto frames = test::RealNtscFrames();
    std::fill(frames[0].begin(), frames[0].end(), 0);
    const std::string p = dir.file("t1.avi");
    // The writer takes the stream's DVINFO from the zeroed frame too.
    ASSERT_TRUE(test::WriteDvAvi(p, frames, avi::DvType::Type1, false));
    media::ProbeGraph probe;
    const files::FileRecord r(p, probe);
    EXPECT_EQ(r.ImageText + r.AspectText, "720 x 480 (NTSC 4x3)");
    EXPECT_EQ(r.FrameCount, 5);
}

// An idx1 cut short (the file ends inside it) loses no frame: the movi list is walked past the
// last indexed chunk, and the second scene is still there.
TEST(DamagedFiles, AnIndexCutShortLosesNoFrame) {
    commands::test::Commands c;
    const std::string p =
        c.make("clip.avi",
               "type=2 frames=60 date=2024-07-14T10:00:00; frames=60 date=2024-07-15T09:00:00");
    std::size_t idx1 = 0;
    EditFile(p, [&](std::vector<std::uint8_t>& bytes) {
        // Only the idx1 is left to index the file: its OpenDML indexes become JUNK.
        for (std::size_t at = Find(bytes, "indx"); at < bytes.size(); at = Find(bytes, "indx", at))
            std::copy_n("JUNK", 4, bytes.begin() + static_cast<std::ptrdiff_t>(at));
        idx1 = Find(bytes, "idx1");
        ASSERT_LT(idx1, bytes.size());
        bytes.resize(idx1 + 8 + 26 * 2 * 16);  // 26 frames of video and sound indexed
    });
    avi::AviDemuxer d;
    ASSERT_TRUE(d.open(p));
    EXPECT_EQ(d.chunkCount(static_cast<std::size_t>(d.videoStream())), 120u);
    media::ProbeGraph probe;
    const files::FileRecord r(p, probe);
    EXPECT_EQ(r.FrameCount, 120);
    c.select({p});
    c.run("CreerScnFromDate");
    scenes::SceneList scenes;
    ASSERT_TRUE(scenes::ReadScnFile(c.path("clip.scn"), scenes, 25));
    ASSERT_EQ(scenes.size(), 2u);
    EXPECT_EQ(scenes[1].Scene.StartFrame, 60);
    EXPECT_EQ(scenes[1].Scene.EndFrame, 120);
}

// A video stream whose header gives a rate of 0 takes the DV rate: frames are counted and timed,
// and subtitle cues have real times.
TEST(DamagedFiles, AVideoRateOfZeroTakesTheDvRate) {
    commands::test::Commands c;
    const std::string p = c.make("clip.avi", "type=2 frames=5 date=2024-07-14T10:00:00");
    EditFile(p, [](std::vector<std::uint8_t>& bytes) {
        const std::size_t vids = Find(bytes, "vids");  // the video stream header's type
        ASSERT_LT(vids, bytes.size());
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(vids + 24), 4, 0);  // dwRate
    });
    media::ProbeGraph probe;
    const files::FileRecord r(p, probe);
    EXPECT_EQ(r.FrameCount, 5);
    EXPECT_EQ(r.Fps, 25);
    c.select({p});
    c.run("Creer_srt");
    const std::string srt = test::ReadFile(std::filesystem::path(c.path("clip.srt")));
    EXPECT_NE(srt.find("00:00:00,000 --> 00:00:00,200"), std::string::npos) << srt;
}

// The scene ends the content graph finds, from decoded pictures or from the DV frames' DC terms.
std::vector<std::int32_t> ContentEnds(const std::string& path, bool fromDcTerms) {
    media::ConversionGraphs graphs;
    graphs.ContentDetector().SetTakesDvFrames(fromDcTerms);
    std::vector<std::int32_t> ends;
    EXPECT_TRUE(graphs.BuildContentScenesGraph(path)) << graphs.BuildError();
    graphs.ContentDetector().OnSceneEnd = [&](std::int32_t f) { ends.push_back(f); };
    EXPECT_EQ(test::RunToEnd(graphs), "") << path;
    return ends;
}

// Tape noise: runs of random bytes over the blocks of some frames, the headers left alone.
void AddNoise(std::vector<test::Bytes>& frames, std::uint32_t seed) {
    std::mt19937 random(seed);
    for (std::size_t i = 3; i < frames.size(); i += 7) {
        auto& f = frames[i];
        const std::size_t start = 6 * dv::kDifBlockSize + random() % (f.size() / 2);
        const std::size_t length = std::min<std::size_t>(f.size() - start, 400 + random() % 6000);
        for (std::size_t k = start; k < start + length; ++k)
            f[k] = static_cast<std::uint8_t>(random());
    }
}

// The DC terms stand for the decoded pictures: on cuts between moving and still pictures, on
// real camcorder frames, and through dropouts, lost frames and noise, both find the same ends.
TEST(DamagedFiles, ContentScenesFromTheDcTermsEndWhereTheDecodedPicturesDo) {
    test::TempDir dir;
    const std::string scenes =
        "frames=40 picture=moving date=2004-07-14T10:00:00; frames=30 picture=bars; "
        "frames=20 picture=colour:2060A0; frames=25 picture=moving; frames=10 "
        "picture=colour:F0F0F0; frames=8 picture=colour:E0E0E0; frames=30 picture=bars";
    for (const char* kind : {"type=2 standard=pal", "type=1 standard=pal", "type=2 standard=ntsc",
                             "type=1 standard=ntsc"}) {
        const std::string p = MakeDv(dir, "made.avi", std::string(kind) + " audio=none " + scenes);
        const auto ends = ContentEnds(p, false);
        EXPECT_GE(ends.size(), 5u) << kind;
        EXPECT_EQ(ContentEnds(p, true), ends) << kind;
        // Dropouts: a lost frame of zeros at a cut and inside a scene, and noise over others.
        ZeroFrame(p, 40);
        ZeroFrame(p, 80);
        auto frames = test::DvFrames(p);
        AddNoise(frames, 7);
        const bool pal = std::string(kind).find("pal") != std::string::npos;
        const std::string noisy = dir.file("noisy.avi");
        ASSERT_TRUE(test::WriteDvAvi(
            noisy, frames, kind[5] == '1' ? avi::DvType::Type1 : avi::DvType::Type2, pal));
        const auto damaged = ContentEnds(noisy, false);
        EXPECT_EQ(ContentEnds(noisy, true), damaged) << kind;
    }
    // Real camcorder frames between made ones, some with noise.
    const auto real = test::RealNtscFrames();
    const auto bars = test::DvFrames(MakeDv(dir, "bars.avi", "type=2 standard=ntsc frames=12"));
    ASSERT_EQ(real.size(), 5u);
    std::vector<test::Bytes> mixed;
    for (int round = 0; round < 4; ++round) {
        for (int k = 0; k < 3; ++k)
            mixed.insert(mixed.end(), real.begin(), real.end());
        mixed.insert(mixed.end(), bars.begin(), bars.end());
    }
    AddNoise(mixed, 11);
    for (const auto type : {avi::DvType::Type1, avi::DvType::Type2}) {
        const std::string p = dir.file(type == avi::DvType::Type1 ? "real1.avi" : "real2.avi");
        ASSERT_TRUE(test::WriteDvAvi(p, mixed, type, false));
        const auto ends = ContentEnds(p, false);
        EXPECT_GE(ends.size(), 4u);
        EXPECT_EQ(ContentEnds(p, true), ends);
    }
}

}  // namespace
}  // namespace kelvor
