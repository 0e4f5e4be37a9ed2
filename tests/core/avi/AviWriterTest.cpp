#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "core/avi/AviDemuxer.h"
#include "core/avi/AviInfo.h"
#include "core/avi/ByteReader.h"
#include "core/avi/RiffReport.h"
#include "support/DvAviFiles.h"

namespace kelvor::avi {
namespace {

using namespace kelvor::test;

std::vector<Bytes> Synthetic(int n, bool pal = true) {
    std::vector<Bytes> f;
    for (int i = 0; i < n; ++i)
        f.push_back(SyntheticFrame(i, pal));
    return f;
}

// Every frame (and every audio chunk of the first `audioStreams` streams) reads back as written.
void ExpectFrames(AviDemuxer& d, const std::vector<Bytes>& frames, int audioStreams = 0,
                  bool pal = true) {
    ASSERT_EQ(d.chunkCount(0), frames.size());
    std::vector<std::uint8_t> buf(200000);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto n = d.readChunk(0, i, buf);
        ASSERT_EQ(n, frames[i].size()) << "frame " << i;
        ASSERT_TRUE(std::equal(frames[i].begin(), frames[i].end(), buf.begin())) << "frame " << i;
        for (int s = 0; s < audioStreams; ++s) {
            const Bytes pcm = SyntheticPcm(static_cast<int>(i), s, pal);
            ASSERT_EQ(d.readChunk(static_cast<std::size_t>(s + 1), i, buf), pcm.size());
            ASSERT_TRUE(std::equal(pcm.begin(), pcm.end(), buf.begin()))
                << "audio " << s << " chunk " << i;
        }
    }
}

int CountLines(const RiffReport& r, const std::string& line) {
    return static_cast<int>(std::count(r.lines().begin(), r.lines().end(), line));
}

TEST(AviWriter, Type2MultiRiffReadsBackBitExact) {
    TempDir dir;
    const std::string path = dir.file("t2.avi");
    const auto frames = Synthetic(40);
    ASSERT_TRUE(WriteDvAvi(path, frames, DvType::Type2, true, 2, 2 * 1024 * 1024));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"t2.avi"});

    RiffReport report;
    report.RunReport(path);
    EXPECT_GE(CountLines(report, "AVIX"), 2);
    EXPECT_EQ(CountLines(report, "AVI "), 1);
    EXPECT_FALSE(report.ReportEndOfData);
    EXPECT_THAT(report.lines(),
                ::testing::Not(::testing::Contains(::testing::HasSubstr("Bad chunk"))));

    // Every RIFF chunk stays within the limit.
    const Bytes bytes = ReadBytes(path);
    std::size_t riffs = 0;
    for (std::size_t pos = 0; pos + 8 <= bytes.size(); pos += 8 + GetU32(bytes, pos + 4), ++riffs) {
        ASSERT_EQ(GetU32(bytes, pos), 0x46464952u);  // "RIFF"
        EXPECT_LE(8 + GetU32(bytes, pos + 4), 2u * 1024 * 1024);
    }
    EXPECT_GE(riffs, 3u);

    const AviInfo p(path);
    EXPECT_TRUE(p.Valid);
    EXPECT_TRUE(p.OpenDml);
    EXPECT_EQ(p.VideoIndex, 0);
    EXPECT_EQ(p.AudioIndex, 1);
    EXPECT_EQ(p.VideoCodec(), "dvsd");
    EXPECT_EQ(p.IndexKind, 0);
    EXPECT_NE(p.Idx1Offset, 0u);
    EXPECT_EQ(LoadU32LE(p.OpenDmlHeader, 0), 40u);
    const std::uint32_t firstRiffFrames = LoadU32LE(p.MainHeader, 16);
    EXPECT_GT(firstRiffFrames, 0u);
    EXPECT_LT(firstRiffFrames, 40u);
    EXPECT_EQ(LoadU32LE(p.Streams[0].StreamHeader, 32), 40u);         // length in frames
    EXPECT_EQ(LoadU32LE(p.Streams[1].StreamHeader, 32), 40u * 1920);  // length in samples
    EXPECT_EQ(LoadU32LE(p.Streams[0].StreamHeader, 36), 144000u);     // suggested buffer
    EXPECT_EQ(p.Streams[0].StreamFormat.size(), 72u);
    EXPECT_EQ(LoadU32LE(p.Streams[0].StreamFormat, 16), 0x64737664u);

    AviDemuxer d;
    ASSERT_TRUE(d.open(path));
    EXPECT_EQ(d.indexSource(), IndexSource::OpenDml);
    ASSERT_EQ(d.streams().size(), 3u);
    EXPECT_EQ(d.streams()[0].Scale, 1u);
    EXPECT_EQ(d.streams()[0].Rate, 25u);
    EXPECT_EQ(d.streams()[2].TotalBytes, 40u * 1920 * 4);
    ExpectFrames(d, frames, 2);
}

TEST(AviWriter, Type1NtscFromRealFrames) {
    TempDir dir;
    const std::string path = dir.file("t1.avi");
    const auto frames = RealNtscFrames();
    ASSERT_EQ(frames.size(), 5u);
    ASSERT_TRUE(WriteDvAvi(path, frames, DvType::Type1, false));
    const AviInfo p(path);
    EXPECT_TRUE(p.Valid);
    ASSERT_EQ(p.Streams.size(), 1u);
    EXPECT_EQ(LoadU32LE(p.Streams[0].StreamHeader, 0), 0x73766169u);  // "iavs"
    EXPECT_EQ(p.VideoCodec(), "dvsd");
    const DvInfo info = DvInfoFromFrame(frames[0]);
    EXPECT_EQ(p.Streams[0].StreamFormat, Bytes(info.begin(), info.end()));
    EXPECT_EQ(LoadU32LE(p.Streams[0].StreamHeader, 20), 1001u);
    EXPECT_EQ(LoadU32LE(p.Streams[0].StreamHeader, 24), 30000u);
    EXPECT_EQ(LoadU32LE(p.MainHeader, 0), 33367u);
    EXPECT_EQ(LoadU32LE(p.MainHeader, 36), 480u);
    // The AAUX source pack of the real frames says 32 kHz; its bytes land in DVAAuxSrc.
    EXPECT_NE(LoadU32LE(info, 0), 0xFFFFFFFFu);

    AviDemuxer d;
    ASSERT_TRUE(d.open(path));
    EXPECT_EQ(d.videoStream(), 0);
    EXPECT_EQ(d.audioStream(), -1);
    ExpectFrames(d, frames);
}

TEST(AviWriter, TruncatedFilesYieldTheirWholeFrames) {
    TempDir dir;
    const std::string path = dir.file("full.avi");
    const auto frames = Synthetic(30);
    ASSERT_TRUE(WriteDvAvi(path, frames, DvType::Type2, true, 1, 2 * 1024 * 1024));
    const Bytes full = ReadBytes(path);
    AviDemuxer whole;
    ASSERT_TRUE(whole.open(path));
    for (const std::size_t cut : {full.size() - 100, full.size() * 2 / 3, full.size() / 3,
                                  std::size_t{200000}, std::size_t{70000}, std::size_t{5000}}) {
        // Frames whose bytes lie wholly before the cut.
        std::size_t expected = 0;
        while (expected < frames.size() && whole.chunk(0, expected)->Offset + 144000 <= cut)
            ++expected;
        const std::string p = dir.file("cut.avi");
        WriteBytes(p, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
        AviDemuxer d;
        if (cut < 5000 + 1) {
            // The headers themselves are cut: not a stream file any more, or one with no frames.
            if (d.open(p)) {
                EXPECT_EQ(d.chunkCount(0), 0u);
            }
            continue;
        }
        ASSERT_TRUE(d.open(p)) << cut;
        EXPECT_EQ(d.chunkCount(0), expected) << "cut at " << cut;
        ExpectFrames(d,
                     std::vector<Bytes>(frames.begin(),
                                        frames.begin() + static_cast<std::ptrdiff_t>(expected)),
                     0);
        // The reader calls a file whose first RIFF chunk is cut short invalid.
        const AviInfo info(p);
        EXPECT_EQ(info.Valid, cut >= 8 + GetU32(full, 4)) << cut;
    }
}

TEST(AviWriter, TemporaryFileAndReplacement) {
    TempDir dir;
    const std::string path = dir.file("out.avi");
    WriteBytes(path, Bytes{'o', 'l', 'd'});
    AviWriterConfig c;
    c.Audio.push_back(WaveFormat{});
    {
        AviWriter w;
        ASSERT_TRUE(w.open(path, c));
        ASSERT_TRUE(w.writeVideoFrame(SyntheticFrame(0)));
        EXPECT_EQ(ReadBytes(path), (Bytes{'o', 'l', 'd'}));
        const std::string temp = w.temporaryPath();
        EXPECT_TRUE(std::filesystem::exists(temp));
        w.discard();
        EXPECT_FALSE(std::filesystem::exists(temp));
        EXPECT_FALSE(w.writeVideoFrame(SyntheticFrame(1)));
    }
    EXPECT_EQ(ReadBytes(path), (Bytes{'o', 'l', 'd'}));
    {
        // An aborted run: the writer is closed after a few frames (here by its destructor).
        AviWriter w;
        ASSERT_TRUE(w.open(path, c));
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(w.writeVideoFrame(SyntheticFrame(i)));
        EXPECT_EQ(w.framesWritten(), 3u);
    }
    AviDemuxer d;
    ASSERT_TRUE(d.open(path));
    EXPECT_EQ(d.chunkCount(0), 3u);
    EXPECT_EQ(d.chunkCount(1), 0u);
    EXPECT_EQ(LoadU32LE(d.mainHeader(), 16), 3u);

    AviWriter w;
    EXPECT_FALSE(w.open(dir.file("no/such/dir/x.avi"), c));
    EXPECT_FALSE(w.errorText().empty());
    AviWriterConfig bad;
    bad.Type = DvType::Type1;
    bad.Audio.push_back(WaveFormat{});
    EXPECT_FALSE(w.open(path, bad));
    bad = AviWriterConfig{};
    bad.RiffLimit = 1000;
    EXPECT_FALSE(w.open(path, bad));
    EXPECT_FALSE(w.writeAudio(SyntheticPcm(0, 0)));
}

TEST(AviWriter, FullDiskFailsAndKeepsTheTarget) {
    TempDir dir;
    const std::string path = dir.file("full.avi");
    WriteBytes(path, Bytes{'k'});
    // A file size limit makes the writes fail as a full disk does (EFBIG rather than ENOSPC).
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 1024 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    AviWriter w;
    ASSERT_TRUE(w.open(path, AviWriterConfig{}));
    bool failed = false;
    for (int i = 0; i < 40 && !failed; ++i)
        failed = !w.writeVideoFrame(SyntheticFrame(i));
    const bool closed = w.close();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(failed);
    EXPECT_FALSE(closed);
    EXPECT_THAT(w.errorText(), ::testing::HasSubstr(std::strerror(EFBIG)));
    EXPECT_EQ(ReadBytes(path), Bytes{'k'});
    EXPECT_EQ(dir.names(), std::vector<std::string>{"full.avi"});
}

// Two writers of one target never share a file: the one closed last leaves its complete file,
// the other's is replaced whole and no temporary file stays behind.
TEST(AviWriter, TwoWritersOfOneTargetAndNamesTheUserKeeps) {
    TempDir dir;
    const std::string path = dir.file("same.avi");
    // Names the user may keep beside the output: none of them is opened or replaced.
    WriteBytes(path + ".part", Bytes{'m', 'i', 'n', 'e'});
    WriteBytes(dir.file("elsewhere"), Bytes{'e'});
    std::filesystem::create_symlink(dir.file("elsewhere"), path + ".part.link");
    std::filesystem::create_symlink(dir.file("elsewhere"), dir.file("same2.avi.part"));
    AviWriter first;
    AviWriter second;
    ASSERT_TRUE(first.open(path, AviWriterConfig{}));
    ASSERT_TRUE(second.open(path, AviWriterConfig{}));
    EXPECT_NE(first.temporaryPath(), second.temporaryPath());
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(first.writeVideoFrame(SyntheticFrame(i)));
        if (i < 4) {
            ASSERT_TRUE(second.writeVideoFrame(SyntheticFrame(100 + i)));
        }
    }
    ASSERT_TRUE(second.close());
    ASSERT_TRUE(first.close());
    AviDemuxer d;
    ASSERT_TRUE(d.open(path));
    EXPECT_EQ(d.chunkCount(0), 6u);
    ASSERT_TRUE(second.open(dir.file("same2.avi"), AviWriterConfig{}));
    ASSERT_TRUE(second.writeVideoFrame(SyntheticFrame(0)));
    ASSERT_TRUE(second.close());
    EXPECT_EQ(ReadBytes(path + ".part"), (Bytes{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(ReadBytes(dir.file("elsewhere")), Bytes{'e'});
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("same2.avi.part")));
    EXPECT_EQ(dir.names(),
              (std::vector<std::string>{"elsewhere", "same.avi", "same.avi.part",
                                        "same.avi.part.link", "same2.avi", "same2.avi.part"}));
}

// A name of 255 bytes, the most a folder takes, is written although its temporary name would
// not fit with the whole name in it.
TEST(AviWriter, LongestNameFits) {
    TempDir dir;
    // An "é" where the temporary name's part of it ends: it is left out whole, not cut in two.
    const std::string name = std::string(234, 'n') + "\xc3\xa9" + std::string(15, 'x') + ".avi";
    ASSERT_EQ(name.size(), 255u);
    const std::string path = dir.file(name);
    AviWriter w;
    ASSERT_TRUE(w.open(path, AviWriterConfig{})) << w.errorText();
    const std::string temp = std::filesystem::path(w.temporaryPath()).filename().string();
    EXPECT_LE(temp.size(), 255u);
    EXPECT_EQ(temp.substr(0, 235), std::string(234, 'n') + ".") << temp;
    ASSERT_TRUE(w.writeVideoFrame(SyntheticFrame(0)));
    ASSERT_TRUE(w.close()) << w.errorText();
    EXPECT_EQ(dir.names(), std::vector<std::string>{name});
}

TEST(AviDemuxer, Idx1AndWalkedFiles) {
    const Bytes hdrl = Lst("hdrl", {Chunk("avih", MainHeaderData()), VideoStrl(), AudioStrl()});
    Bytes movi = Movi(0);
    auto addChunk = [&](std::string_view id, std::uint8_t v, std::size_t n) {
        const Bytes c = Chunk(id, Bytes(n, v));
        movi.insert(movi.end(), c.begin(), c.end());
    };
    for (int i = 0; i < 4; ++i) {
        addChunk("00dc", static_cast<std::uint8_t>(i), 20);
        addChunk("01wb", static_cast<std::uint8_t>(100 + i), 7);  // odd: padded
    }
    const std::uint32_t moviData = static_cast<std::uint32_t>(movi.size() - 8);
    movi[4] = static_cast<std::uint8_t>(moviData);
    movi[5] = static_cast<std::uint8_t>(moviData >> 8);
    // idx1 with offsets from the "movi" list type, the usual way.
    auto idx1 = [&](std::uint32_t base) {
        Bytes e;
        std::uint32_t off = 4;
        for (int i = 0; i < 4; ++i) {
            PutCode(e, "00dc"), PutU32(e, 0x10), PutU32(e, base + off), PutU32(e, 20);
            off += 28;
            PutCode(e, "01wb"), PutU32(e, 0), PutU32(e, base + off), PutU32(e, 7);
            off += 16;
        }
        return Chunk("idx1", e);
    };
    const Bytes relative = Riff("AVI ", {hdrl, movi, idx1(0)});
    const std::uint32_t moviType = static_cast<std::uint32_t>(12 + hdrl.size() + 8);
    const Bytes absolute = Riff("AVI ", {hdrl, movi, idx1(moviType)});
    const Bytes walked = Riff("AVI ", {hdrl, movi});
    for (const auto* file : {&relative, &absolute, &walked}) {
        AviDemuxer d;
        ASSERT_TRUE(d.open(std::make_unique<MemoryFile>(*file)));
        EXPECT_EQ(d.indexSource(), file == &walked ? IndexSource::Walk : IndexSource::Idx1);
        ASSERT_EQ(d.chunkCount(0), 4u);
        ASSERT_EQ(d.chunkCount(1), 4u);
        std::vector<std::uint8_t> buf(20);
        for (std::uint64_t i = 0; i < 4; ++i) {
            ASSERT_EQ(d.readChunk(0, i, buf), 20u);
            EXPECT_EQ(buf[0], i);
            ASSERT_EQ(d.readChunk(1, i, buf), 7u);
            EXPECT_EQ(buf[6], 100 + i);
        }
        std::vector<std::uint8_t> small(10);
        EXPECT_FALSE(d.readChunk(0, 0, small));  // the buffer is too small: nothing read
        EXPECT_FALSE(d.readChunk(0, 4, buf));
        EXPECT_FALSE(d.readChunk(5, 0, buf));
    }
}

TEST(AviDemuxer, HostileIndexesAreNotTrusted) {
    // A super index pointing beyond the file and an ix chunk claiming a billion entries.
    Bytes ix;
    PutU16(ix, 2), ix.push_back(0), ix.push_back(1), PutU32(ix, 1000000000), PutCode(ix, "00dc"),
        PutU64(ix, 0), PutU32(ix, 0);
    PutU32(ix, 0), PutU32(ix, 0x7FFFFFFF);  // one entry: a chunk larger than the file
    PutU32(ix, 20), PutU32(ix, 4);          // and one that fits
    const Bytes ixChunk = Chunk("ix00", ix);
    const Bytes strl =
        Lst("strl", {Chunk("strh", StreamHeaderData("vids", "dvsd")), Chunk("strf", BitmapData()),
                     Chunk("indx", SuperIndexData("00dc", {{0, 0}}))});
    const Bytes hdrl = Lst("hdrl", {Chunk("avih", MainHeaderData()), strl});
    Bytes file = Riff("AVI ", {hdrl, Movi(1, 8), ixChunk});
    // Point the super index entry at the ix chunk, then a second entry far past the end.
    const std::size_t ixAt = file.size() - ixChunk.size();
    const std::size_t entryAt = 12 + 12 + 64 + 12 + 64 + 80 + 8 + 24;
    for (int i = 0; i < 8; ++i)
        file[entryAt + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(std::uint64_t(ixAt) >> (8 * i));
    AviDemuxer d;
    ASSERT_TRUE(d.open(std::make_unique<MemoryFile>(file)));
    EXPECT_EQ(d.indexSource(), IndexSource::OpenDml);
    // The entry that fits, and the movi chunk no index entry covered (found by a walk).
    ASSERT_EQ(d.chunkCount(0), 2u);
    EXPECT_EQ(d.chunk(0, 0)->Offset, 20u);
    EXPECT_EQ(d.chunk(0, 0)->Size, 4u);
    EXPECT_EQ(d.chunk(0, 1)->Size, 8u);

    EXPECT_FALSE(d.open(std::make_unique<MemoryFile>(Riff("WAVE", {}))));
    EXPECT_FALSE(d.open(std::make_unique<MemoryFile>(Bytes(3, 0))));
    EXPECT_FALSE(d.open("/nonexistent/x.avi"));
}

}  // namespace
}  // namespace kelvor::avi
