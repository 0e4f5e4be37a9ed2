#include <gtest/gtest.h>

#include <thread>

#include "core/avi/AviHeaderPatcher.h"
#include "core/avi/Fourcc.h"
#include "support/AviBuilder.h"
#include "support/TempDir.h"

namespace kelvor::avi {
namespace {

using namespace kelvor::test;

Bytes Hdrl(std::initializer_list<Bytes> streams) {
    Bytes data;
    PutCode(data, "hdrl");
    const Bytes avih = Chunk("avih", MainHeaderData());
    data.insert(data.end(), avih.begin(), avih.end());
    for (const auto& s : streams)
        data.insert(data.end(), s.begin(), s.end());
    return Chunk("LIST", data);
}

// hdrl starts at 12; avih takes 64 bytes; the first strl list header ends at 12+12+64+12.
constexpr std::int64_t kFirstStrh = 12 + 12 + 64 + 12;

HeaderFieldOffsets WalkBytes(const Bytes& b) {
    MemoryFile f(b);
    return AviHeaderPatcher::Walk(f);
}

std::vector<std::size_t> Differences(const Bytes& a, const Bytes& b) {
    std::vector<std::size_t> d;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i])
            d.push_back(i);
    return d;
}

TEST(AviHeaderPatcher, FourccTexts) {
    EXPECT_EQ(FourccFromText("dvsd"), 0x64737664u);
    EXPECT_EQ(FourccFromText("dv"), 0x7664u);
    EXPECT_EQ(FourccToText(0x64737664u), "dvsd");
    EXPECT_EQ(FourccToText(FourccFromText("CDVC")), "CDVC");
}

TEST(AviHeaderPatcher, Type2OffsetsAndWriteCodec) {
    TempDir dir;
    const Bytes file = Riff("AVI ", {Hdrl({VideoStrl("CDVC", "CDVC"), AudioStrl()}), Movi(3)});
    const std::string path = dir.file("t2.avi");
    WriteBytes(path, file);
    AviHeaderPatcher patcher;
    const auto o = patcher.LocateHeaderFields(path);
    EXPECT_EQ(o.CodecOffset, kFirstStrh + 8 + 4);
    EXPECT_EQ(o.ScaleOffset, kFirstStrh + 8 + 20);
    EXPECT_EQ(o.CompressionOffset, kFirstStrh + 64 + 8 + 16);
    EXPECT_EQ(patcher.ReadCodec(path), FourccFromText("CDVC"));

    EXPECT_TRUE(patcher.WriteCodec(path, FourccFromText("dvsd")));
    const Bytes after = ReadBytes(path);
    ASSERT_EQ(after.size(), file.size());
    std::vector<std::size_t> expected;
    for (std::int64_t at : {o.CodecOffset, o.CompressionOffset})
        for (std::size_t i = 0; i < 4; ++i)
            expected.push_back(static_cast<std::size_t>(at) + i);
    EXPECT_EQ(Differences(file, after), expected);
    EXPECT_EQ(patcher.ReadCodec(path), FourccFromText("dvsd"));
}

TEST(AviHeaderPatcher, Type1HasNoCompressionOffset) {
    TempDir dir;
    const Bytes file = Riff("AVI ", {Hdrl({InterleavedStrl()}), Movi(2, 16, "00__")});
    const std::string path = dir.file("t1.avi");
    WriteBytes(path, file);
    AviHeaderPatcher patcher;
    EXPECT_TRUE(patcher.WriteCodec(path, FourccFromText("dvsd") + 1));
    const auto o = patcher.lastOffsets();
    EXPECT_EQ(o.CompressionOffset, -1);
    EXPECT_EQ(Differences(file, ReadBytes(path)),
              (std::vector<std::size_t>{static_cast<std::size_t>(o.CodecOffset)}));
}

TEST(AviHeaderPatcher, LastOfTwoVideoStreamsAndNonRiff) {
    const Bytes two = Riff("AVI ", {Hdrl({VideoStrl(), VideoStrl()})});
    const auto o = WalkBytes(two);
    const std::int64_t secondStrh = kFirstStrh + 64 + 80 + 12;
    EXPECT_EQ(o.CodecOffset, secondStrh + 12);
    EXPECT_EQ(o.CompressionOffset, secondStrh + 64 + 8 + 16);

    TempDir dir;
    const std::string path = dir.file("junk.avi");
    const Bytes junk(500, 'j');
    WriteBytes(path, junk);
    AviHeaderPatcher patcher;
    EXPECT_EQ(patcher.LocateHeaderFields(path), HeaderFieldOffsets{});
    EXPECT_TRUE(patcher.WriteCodec(path, 1));
    EXPECT_NO_THROW(patcher.WriteFrameRate(path, 25));
    EXPECT_EQ(ReadBytes(path), junk);
    EXPECT_FALSE(patcher.WriteCodec(dir.file("missing.avi"), 1));
    EXPECT_THROW(patcher.ReadCodec(dir.file("missing.avi")), FileError);
}

TEST(AviHeaderPatcher, TruncatedAndMultiRiffFiles) {
    // A RIFF size larger than the file: cut at the end, fields still found.
    Bytes big = Riff("AVI ", {Hdrl({VideoStrl()}), Movi(2)});
    big[4] = 0xFF;
    big[5] = 0xFF;
    EXPECT_EQ(WalkBytes(big).CodecOffset, kFirstStrh + 12);

    const Bytes multi = Cat(
        {Riff("AVI ", {Hdrl({AudioStrl()}), Movi(1)}), Riff("AVIX", {Lst("hdrl", {VideoStrl()})})});
    EXPECT_GT(WalkBytes(multi).CodecOffset, 200);  // found in the second RIFF chunk

    // An indx whose data end before 16384 bytes: the read comes up short and the walk ends,
    // keeping what it found before.
    const Bytes strl =
        Lst("strl", {Chunk("strh", StreamHeaderData("vids", "dvsd")), Chunk("strf", BitmapData()),
                     Chunk("indx", SuperIndexData("00dc", {}))});
    const Bytes cut = Riff("AVI ", {Hdrl({strl}), Hdrl({VideoStrl()}), Movi(2)});
    const auto o = WalkBytes(cut);
    EXPECT_EQ(o.CodecOffset, kFirstStrh + 12);
    EXPECT_EQ(o.CompressionOffset, kFirstStrh + 64 + 8 + 16);
}

TEST(AviHeaderPatcher, ShortChunksStepBack) {
    // An audio strf of 16 bytes: 18 are read and the walk steps back to the chunk's end, so
    // the video stream after it is found.
    Bytes wave = WaveData();
    wave.resize(16);
    const Bytes audio =
        Lst("strl", {Chunk("strh", StreamHeaderData("auds", "")), Chunk("strf", wave)});
    const auto o = WalkBytes(Riff("AVI ", {Hdrl({audio, VideoStrl()})}));
    EXPECT_EQ(o.CodecOffset, kFirstStrh + 64 + 8 + 16 + 12 + 12);
}

TEST(AviHeaderPatcher, DeepNestingIsBounded) {
    Bytes inner = Lst("strl", {Chunk("strh", StreamHeaderData("vids", "dvsd"))});
    for (int i = 0; i < 5000; ++i)
        inner = Lst("JUNK", {inner});
    const auto o = WalkBytes(Riff("AVI ", {inner}));
    EXPECT_EQ(o.CodecOffset, -1);  // beyond the bound, passed over whole
}

TEST(AviHeaderPatcher, WriteFrameRate) {
    EXPECT_EQ(AviHeaderPatcher::ScaleForRate(25), 40000u);
    EXPECT_EQ(AviHeaderPatcher::ScaleForRate(29.97), 33367u);
    EXPECT_THROW(AviHeaderPatcher::ScaleForRate(0), std::invalid_argument);
    EXPECT_THROW(AviHeaderPatcher::ScaleForRate(3e6), std::invalid_argument);
    EXPECT_THROW(AviHeaderPatcher::ScaleForRate(1e-5), std::invalid_argument);

    TempDir dir;
    const Bytes file = Riff("AVI ", {Hdrl({VideoStrl()}), Movi(2)});
    const std::string path = dir.file("fps.avi");
    WriteBytes(path, file);
    AviHeaderPatcher patcher;
    patcher.WriteFrameRate(path, 25);
    const Bytes after = ReadBytes(path);
    EXPECT_EQ(GetU32(after, kFirstStrh + 28), 40000u);
    EXPECT_EQ(GetU32(after, kFirstStrh + 32), 1000000u);
    EXPECT_EQ(Differences(file, after).size(), 5u);  // 1 -> 40000 and 25 -> 1000000
    EXPECT_EQ(after.size(), file.size());
    EXPECT_THROW(patcher.WriteFrameRate(dir.file("none.avi"), 25), FileError);
}

TEST(AviHeaderPatcher, SerialisedAndReentryRefused) {
    TempDir dir;
    const std::string path = dir.file("s.avi");
    WriteBytes(path, Riff("AVI ", {Hdrl({VideoStrl()}), Movi(50)}));
    AviHeaderPatcher patcher;
    int pumps = 0;
    bool nestedRefused = false;
    patcher.setMessagePump([&] {
        if (++pumps == 1)
            nestedRefused = !patcher.WriteCodec(path, 0);
    });
    EXPECT_EQ(patcher.ReadCodec(path), FourccFromText("dvsd"));
    EXPECT_TRUE(nestedRefused);
    EXPECT_GT(pumps, 4);
    patcher.setMessagePump({});

    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
                if (patcher.ReadCodec(path) == FourccFromText("dvsd") &&
                    patcher.lastOffsets().CodecOffset == kFirstStrh + 12)
                    ++good;
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(good, 200);
}

}  // namespace
}  // namespace kelvor::avi
