// Raw DV files listed through the real probe: the same frames read as they do in a DV type 1 AVI,
// whatever the file is called, with damaged and short frames keeping their place.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/avi/AviWriter.h"
#include "core/files/FileKinds.h"
#include "core/files/FileRecord.h"
#include "fixtures/DvFixture.h"
#include "media/graphs/ProbeGraph.h"
#include "support/DvAviFiles.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace kelvor {
namespace {

using files::ContainerKind;
using files::FileRecord;
namespace fs = std::filesystem;

void WriteFrames(const fs::path& p, const std::vector<test::Bytes>& frames, std::size_t cut = 0) {
    std::ofstream out(p, std::ios::binary);
    test::Bytes all;
    for (const test::Bytes& f : frames)
        all.insert(all.end(), f.begin(), f.end());
    all.resize(all.size() - cut);
    out.write(reinterpret_cast<const char*>(all.data()), static_cast<std::streamsize>(all.size()));
}

// Every field a user sees, the same for the raw file as for its type 1 AVI.
void ExpectSameReading(const FileRecord& raw, const FileRecord& avi) {
    EXPECT_EQ(raw.ReadError, "");
    EXPECT_TRUE(raw.IsDV);
    EXPECT_EQ(raw.DatecodeText, avi.DatecodeText);
    EXPECT_EQ(raw.DatecodeKey, avi.DatecodeKey);
    EXPECT_EQ(raw.DatecodeValid, avi.DatecodeValid);
    EXPECT_EQ(raw.TimecodeText, avi.TimecodeText);
    EXPECT_EQ(raw.Codec, avi.Codec);
    EXPECT_EQ(raw.DVType, avi.DVType);
    EXPECT_EQ(raw.ImageText, avi.ImageText);
    EXPECT_EQ(raw.AspectText, avi.AspectText);
    EXPECT_EQ(raw.Height, avi.Height);
    EXPECT_EQ(raw.DurationText, avi.DurationText);
    EXPECT_EQ(raw.FrameCount, avi.FrameCount);
    EXPECT_EQ(raw.Fps, avi.Fps);
    EXPECT_EQ(raw.AudioText, avi.AudioText);
    EXPECT_EQ(raw.AudioDurationText, avi.AudioDurationText);
    EXPECT_EQ(raw.Standard, avi.Standard);
    EXPECT_EQ(raw.Wide, avi.Wide);
}

TEST(RawDvRecord, ReadsAsItsTypeOneAviWhateverItsName) {
    test::TempDir dir;
    std::string error;
    const std::string desc = "frames=30 aspect=16:9 date=2006-03-12T15:46:37 tc=00:10:00:00";
    ASSERT_TRUE(fixtures::WriteDvFile((dir / "tape.dv").string(), "type=raw " + desc, error));
    ASSERT_TRUE(fixtures::WriteDvFile((dir / "tape1.avi").string(), "type=1 " + desc, error));
    const test::Bytes bytes = test::ReadBytes((dir / "tape.dv").string());
    ASSERT_EQ(bytes.size(), 30 * dv::kFrameSize625);
    fs::copy_file(dir / "tape.dv", dir / "raw.avi");
    fs::copy_file(dir / "tape.dv", dir / "tape");

    media::ProbeGraph probe;
    const FileRecord avi((dir / "tape1.avi").string(), probe);
    ASSERT_EQ(avi.DatecodeText, "3/12/2006 15:46:37");
    EXPECT_EQ(avi.Container, ContainerKind::Avi);
    for (const char* name : {"tape.dv", "raw.avi", "tape"}) {
        SCOPED_TRACE(name);
        const FileRecord raw((dir / name).string(), probe);
        EXPECT_EQ(raw.Container, ContainerKind::RawDv);
        ExpectSameReading(raw, avi);
        EXPECT_EQ(raw.FrameCount, 30);
        EXPECT_EQ(raw.TimecodeText, "00.10.00.00");
    }
    // The last frame cut short still counts, as a damaged chunk does.
    WriteFrames(dir / "short.dv", test::SplitFrames(bytes), 50000);
    const FileRecord shortened((dir / "short.dv").string(), probe);
    EXPECT_EQ(shortened.FrameCount, 30);
    EXPECT_EQ(shortened.DatecodeText, avi.DatecodeText);
}

TEST(RawDvRecord, RealCamcorderFramesReadAsInAvi) {
    test::TempDir dir;
    const std::string data = std::string(KELVOR_TESTDATA_DIR) + "/dv-real/";
    // A blank-tape frame between clean ones: every pack FF.
    std::vector<test::Bytes> frames = test::RealNtscFrames();
    ASSERT_EQ(frames.size(), 5u);
    frames.insert(frames.begin() + 2, test::ReadBytes(data + "sony_blank_tape.dv"));
    frames.push_back(test::ReadBytes(data + "sony_perfect.dv"));
    // A dropout: a frame of zeros, whose header block does not read, keeps its place.
    frames.insert(frames.begin() + 4, test::Bytes(dv::kFrameSize525, 0));
    WriteFrames(dir / "real.dv", frames);
    ASSERT_TRUE(test::WriteDvAvi((dir / "real.avi").string(), frames, avi::DvType::Type1, false));
    // A blank-tape frame first: the DVINFO comes from the first frame that reads.
    std::vector<test::Bytes> blankFirst = frames;
    std::swap(blankFirst[0], blankFirst[2]);
    WriteFrames(dir / "blank-first.dif", blankFirst);
    ASSERT_TRUE(test::WriteDvAvi((dir / "blank-first.avi").string(), blankFirst, avi::DvType::Type1,
                                 false));

    media::ProbeGraph probe;
    for (const char* base : {"real", "blank-first"}) {
        SCOPED_TRACE(base);
        const FileRecord avi((dir / (std::string(base) + ".avi")).string(), probe);
        const std::string rawName = std::string(base) + (base[0] == 'r' ? ".dv" : ".dif");
        const FileRecord raw((dir / rawName).string(), probe);
        ExpectSameReading(raw, avi);
        EXPECT_EQ(raw.FrameCount, 8);
        EXPECT_EQ(raw.Standard, 2);
        // A blank-tape frame is an undated frame, not a dropout: the list shows no date then.
        EXPECT_EQ(raw.DatecodeKey, base[0] == 'r' ? "20240708195558" : "N/A");
    }
}

TEST(RawDvRecord, FfmpegRawDvAndTheContainerKinds) {
    test::TempDir dir;
    test::WriteFile(dir / "notes.dv", "not a video at all\n");
    test::WriteFile(dir / "movie.mov", std::string("\0\0\0\x14"
                                                   "ftypqt  ",
                                                   12));
    test::WriteFile(dir / "movie.bin", std::string("\x1A\x45\xDF\xA3", 4) + "matroska");
    EXPECT_EQ(files::ContainerOf((dir / "notes.dv").string()), ContainerKind::Other);
    EXPECT_EQ(files::ContainerOf((dir / "movie.mov").string()), ContainerKind::QuickTime);
    EXPECT_EQ(files::ContainerOf((dir / "movie.bin").string()), ContainerKind::Matroska);
    EXPECT_EQ(files::ContainerOf((dir / "missing.dv").string()), ContainerKind::Other);
    // Taken by name, by content, or not at all.
    EXPECT_TRUE(files::IsDvVideoCandidate((dir / "notes.dv").string()));
    EXPECT_TRUE(files::IsDvVideoCandidate((dir / "movie.bin").string()));
    test::WriteFile(dir / "notes.txt", "not a video at all\n");
    EXPECT_FALSE(files::IsDvVideoCandidate((dir / "notes.txt").string()));
    EXPECT_FALSE(files::IsDvVideoCandidate(dir.path().string()));

    const auto made = test::MakeRawDv(dir, false, 12);
    if (!made)
        GTEST_SKIP() << "ffmpeg not installed";
    media::ProbeGraph probe;
    const FileRecord raw(*made, probe);
    EXPECT_EQ(raw.Container, ContainerKind::RawDv);
    EXPECT_TRUE(raw.IsDV);
    EXPECT_EQ(raw.ImageText, "720 x 480 (NTSC");
    EXPECT_EQ(raw.FrameCount, 12);
    EXPECT_EQ(raw.DVType, 1u);
    EXPECT_EQ(raw.Codec, "dvsd");
    EXPECT_EQ(raw.AudioText, "48000Hz 16 bits  stereo");
    // A text file named like DV is listed, unreadable, never as DV.
    const FileRecord notes((dir / "notes.dv").string(), probe);
    EXPECT_FALSE(notes.IsDV);
    EXPECT_EQ(notes.ImageText, "N/A");
}

}  // namespace
}  // namespace kelvor
