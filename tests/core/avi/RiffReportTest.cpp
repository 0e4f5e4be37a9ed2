#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "core/avi/RiffReport.h"
#include "core/files/DateTime.h"
#include "core/shell/About.h"
#include "support/AviBuilder.h"
#include "support/TempDir.h"

namespace kelvor::avi {
namespace {

using namespace kelvor::test;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> Report(RiffReport& r, const Bytes& b,
                                const std::string& name = "/v/clip.avi") {
    MemoryFile f(b);
    r.RunReport(name, f);
    return r.lines();
}
std::vector<std::string> Report(const Bytes& b) {
    RiffReport r;
    return Report(r, b);
}

Bytes Hdrl(std::initializer_list<Bytes> items) {
    return Lst("hdrl", items);
}

TEST(RiffReport, CenteredLines) {
    EXPECT_EQ(RiffReport::CenteredLine("", "-", "Canceled by user"),
              std::string(17, '-') + "Canceled by user" + std::string(17, '-'));
    EXPECT_EQ(RiffReport::CenteredLine(std::string(8, ' '), "-", "(Video)"),
              std::string(8, ' ') + std::string(17, '-') + "(Video)" + std::string(17, '-'));
    EXPECT_EQ(RiffReport::CenteredLine("", "*", std::string(60, 'x')), std::string(60, 'x'));
}

TEST(RiffReport, HeaderAndClosingLines) {
    RiffReport r;
    r.now = [] { return *EncodeDateTime({2024, 7, 8, 9, 5, 3}); };
    const auto lines =
        Report(r, Riff("AVI ", {Hdrl({Chunk("avih", MainHeaderData(2))})}), "/videos/clip.avi");
    ASSERT_GT(lines.size(), 20u);
    EXPECT_EQ(lines[0], std::string(50, '-'));
    EXPECT_EQ(lines[2], RiffReport::CenteredLine("", "*", "  Header of the file clip.avi  "));
    EXPECT_EQ(lines[4], RiffReport::CenteredLine("", " ", "analysed on 2024/07/8 at 9:05:03"));
    EXPECT_EQ(lines[5], RiffReport::CenteredLine(
                            "", " ", "with Kelvor by Quennel version " + about::VersionText()));
    EXPECT_EQ(lines[8], RiffReport::CenteredLine("", " ", about::kWebAddress));
    EXPECT_EQ(lines[10], "--------------- Start of Avi RIFF ---------------");
    EXPECT_EQ(lines[11], "RIFF  00000050");
    EXPECT_EQ(lines[12], "AVI ");
    EXPECT_EQ(lines[13], "    LIST  00000044");
    EXPECT_EQ(lines[14], "    hdrl");
    EXPECT_EQ(lines[15], "        avih  00000038");
    EXPECT_THAT(lines, Contains("        TotalFrames = 2"));
    EXPECT_THAT(lines, Contains("        Flags = 00000010"));
    const std::size_t n = lines.size();
    EXPECT_EQ(lines[n - 4], "----------------- End of Header -----------------");
    EXPECT_EQ(lines[n - 3], RiffReport::CenteredLine("", " ", "/videos/clip.avi"));
    EXPECT_EQ(lines[n - 1], std::string(50, '-'));
    EXPECT_TRUE(r.saveEnabled());
    EXPECT_FALSE(r.ReportEndOfData);
}

TEST(RiffReport, TheDateLineFollowsTheLocaleSeparators) {
    RiffReport r;
    r.now = [] { return *EncodeDateTime({2024, 7, 8, 9, 5, 3}); };
    r.Locale = EnglishLocale();
    r.Locale.DateSeparator = ".";
    r.Locale.TimeSeparator = "h";
    const auto lines =
        Report(r, Riff("AVI ", {Hdrl({Chunk("avih", MainHeaderData(2))})}), "/videos/clip.avi");
    ASSERT_GT(lines.size(), 5u);
    EXPECT_EQ(lines[4], RiffReport::CenteredLine("", " ", "analysed on 2024.07.8 at 9h05h03"));
}

TEST(RiffReport, StreamBlocks) {
    const auto lines = Report(
        Riff("AVI ", {Hdrl({VideoStrl(), AudioStrl(), InterleavedStrl(),
                            Lst("strl", {Chunk("indx", SuperIndexData("00dc", {{0x1234, 32}}))})}),
                      Movi(3), Chunk("JUNK", Bytes(17000, 0))}));
    const std::string p(12, ' ');
    EXPECT_THAT(lines, Contains(RiffReport::CenteredLine(p, "-", "(Video)")));
    EXPECT_THAT(lines, Contains(p + "FourccType = vids"));
    EXPECT_THAT(lines, Contains(p + "rcFrame.Bottom = 576"));
    EXPECT_THAT(lines, Contains(p + "biCompression = dvsd"));
    EXPECT_THAT(lines, Contains(p + "DVAAuxSrc = 11111111"));
    EXPECT_THAT(lines, Contains(p + "DVReserved1 = 88888888"));
    EXPECT_THAT(lines, Contains(p + "SamplesPerSec = 48000"));
    EXPECT_THAT(lines, Contains(RiffReport::CenteredLine(p, "-", "(Interleaved)")));
    EXPECT_THAT(lines, Contains(p + "DVVAuxCtl = A0000005"));
    EXPECT_THAT(lines, Contains(p + "wLongsPerEntry = 0004"));
    EXPECT_THAT(lines, Contains(p + "dwChunkId = 00dc"));
    EXPECT_THAT(lines, Contains(p + "qwBaseOffset = 0000000000000000"));
    EXPECT_THAT(lines, Contains("    movi"));
    EXPECT_THAT(lines, Contains("    JUNK  00004268"));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("Unexpected"))));

    // An index whose data begin less than 16384 bytes before the end: "Unexpected end".
    const auto shortIndex = Report(
        Riff("AVI ", {Chunk("indx", SuperIndexData("00dc", {})), Chunk("JUNK", Bytes(100, 0))}));
    EXPECT_THAT(shortIndex, Contains(RiffReport::CenteredLine("", " ", "Unexpected end")));
    EXPECT_THAT(shortIndex, Not(Contains(HasSubstr("JUNK"))));
}

TEST(RiffReport, OddSizesStrayBytesAndGarbage) {
    const Bytes riff = Riff("AVI ", {Chunk("JUNK", Bytes(7, 1)), Chunk("strn", Bytes(2, 2))});
    auto lines = Report(riff);
    EXPECT_THAT(lines, Contains("    JUNK  00000007"));
    EXPECT_THAT(lines, Contains("    strn  00000002"));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("Unexpected"))));

    lines = Report(Cat({riff, Bytes(3, 0)}));
    EXPECT_THAT(lines, Contains(RiffReport::CenteredLine("", " ", "Unexpected end")));
    lines = Report(Cat({riff, Bytes(12, 'g')}));
    EXPECT_THAT(lines, Contains(">>> There are 0000000C bytes of garbage at the end of the file"));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("Unexpected"))));
    lines = Report(Bytes(5, 0));
    EXPECT_THAT(lines, Contains(RiffReport::CenteredLine("", " ", "Unexpected end")));
}

TEST(RiffReport, BadLengthAndShortFormats) {
    Bytes b = Riff("AVI ", {Chunk("JUNK", Bytes(8, 0))});
    b[4] = 0x30;  // RIFF claims 0x30 bytes, the file holds 0x14 after the header
    auto lines = Report(b);
    EXPECT_THAT(lines, Contains(">>> Bad chunk length:"));
    EXPECT_THAT(lines, Contains(">>> 00000030 instead of 00000014"));
    EXPECT_THAT(lines, Contains("    JUNK  00000008"));

    // An audio format of 16 bytes: 18 read, then a step back, so the next chunk is found.
    Bytes wave = WaveData();
    wave.resize(16);
    lines =
        Report(Riff("AVI ", {Lst("strl", {Chunk("strh", StreamHeaderData("auds", "")),
                                          Chunk("strf", wave), Chunk("strn", Bytes{'x', 0})})}));
    EXPECT_THAT(lines, Contains("        strn  00000002"));
}

TEST(RiffReport, StreamKindCarriesOver) {
    RiffReport r;
    auto lines = Report(r, Riff("AVI ", {Chunk("strf", BitmapData())}));
    EXPECT_THAT(lines, Contains("    biCompression = dvsd"));  // video at start
    Report(r, Riff("AVI ", {Chunk("strh", StreamHeaderData("auds", ""))}));
    lines = Report(r, Riff("AVI ", {Chunk("strf", WaveData())}));
    EXPECT_THAT(lines, Contains("    SamplesPerSec = 48000"));
    EXPECT_EQ(r.StreamKind, ReportStreamKind::Audio);
}

TEST(RiffReport, FrameChunksOutsideMovi) {
    const auto lines = Report(Riff(
        "AVI ", {Chunk("00dc", Bytes(4, 0)), Chunk("01wb", Bytes(4, 0)), Chunk("00db", Bytes(4, 0)),
                 Chunk("01dc", Bytes(4, 0)), Chunk("02wb", Bytes(4, 0))}));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("00dc"))));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("01wb"))));
    EXPECT_THAT(lines, Contains("    01dc  00000004"));
    EXPECT_THAT(lines, Contains("    02wb  00000004"));
}

TEST(RiffReport, ListOfSizeTwoSwallowsTheRest) {
    const auto lines =
        Report(Riff("AVI ", {Chunk("LIST", Bytes{'a', 'b'}), Chunk("JUNK", Bytes(4, 0))}));
    EXPECT_THAT(lines, Contains("    LIST  00000002"));
    EXPECT_THAT(lines, Contains(RiffReport::CenteredLine("", " ", "Unexpected end")));
}

TEST(RiffReport, NestingBound) {
    Bytes inner = Chunk("JUNK", Bytes(4, 0));
    for (int i = 0; i < 100; ++i)
        inner = Lst("deep", {inner});
    const auto lines = Report(Riff("AVI ", {inner}));
    EXPECT_THAT(lines, Contains(std::string(64 * 4, ' ') +
                                ">>> Lists nested deeper than 64 levels are not walked"));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("JUNK"))));
}

TEST(RiffReport, CancelAtAChunk) {
    RiffReport r;
    int chunks = 0, closed = 0;
    r.pumpMessages = [&] {
        if (++chunks == 3)
            r.Cancel();
    };
    r.closeWindow = [&] { ++closed; };
    const auto lines =
        Report(r, Riff("AVI ", {Chunk("JUNK", Bytes(4, 0)), Chunk("JUNK", Bytes(4, 0)),
                                Chunk("JUNK", Bytes(4, 0)), Chunk("JUNK", Bytes(4, 0))}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "    JUNK  00000004"), 1);
    EXPECT_THAT(lines, Contains(std::string(17, '-') + "Canceled by user" + std::string(17, '-')));
    EXPECT_THAT(lines, Contains("----------------- End of Header -----------------"));
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(r.saveEnabled());
}

TEST(RiffReport, MissingFileShowAndSave) {
    TempDir dir;
    RiffReport r;
    int shown = 0;
    r.showWindow = [&] { ++shown; };
    r.ShowReport(dir.file("missing.avi"));
    EXPECT_TRUE(r.lines().empty());
    EXPECT_FALSE(r.saveEnabled());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(r.caption(), "Header of the file " + dir.file("missing.avi"));
    EXPECT_EQ(r.SuggestedLogName(), dir.file("missing.log"));

    const std::string path = dir.file("clip.avi");
    WriteBytes(path, Riff("AVI ", {Chunk("JUNK", Bytes(4, 0))}));
    r.ShowReport(path);
    ASSERT_TRUE(r.saveEnabled());
    ASSERT_TRUE(r.Save(r.SuggestedLogName()));
    const Bytes saved = ReadBytes(dir.file("clip.log"));
    std::string expected;
    for (const auto& l : r.lines())
        expected += l + "\r\n";
    EXPECT_EQ(std::string(saved.begin(), saved.end()), expected);
    EXPECT_FALSE(r.Save(dir.file("no/such/dir.log")));
}

TEST(RiffReport, LargeFileReadsOnlyHeadersAndIndexes) {
    TempDir dir;
    const std::string path = dir.file("large.avi");
    // A 2 GB movi list in a sparse file: the report must seek over it.
    const std::uint32_t moviSize = 0x80000000u;
    Bytes head = Riff("AVI ", {Hdrl({Chunk("avih", MainHeaderData()), VideoStrl(), AudioStrl()})},
                      static_cast<std::uint32_t>(0));
    const std::uint64_t riffData = head.size() - 8 + 12 + (moviSize - 4);
    head[4] = static_cast<std::uint8_t>(riffData);
    head[5] = static_cast<std::uint8_t>(riffData >> 8);
    head[6] = static_cast<std::uint8_t>(riffData >> 16);
    head[7] = static_cast<std::uint8_t>(riffData >> 24);
    PutCode(head, "LIST");
    PutU32(head, moviSize);
    PutCode(head, "movi");
    WriteBytes(path, head);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(head.size() + moviSize - 4)), 0);
    RiffReport r;
    r.RunReport(path);
    EXPECT_THAT(r.lines(), Contains("    movi"));
    EXPECT_THAT(r.lines(), Not(Contains(HasSubstr("Bad chunk"))));
    EXPECT_FALSE(r.ReportEndOfData);
    EXPECT_LT(r.bytesRead(), 2000u);
}

}  // namespace
}  // namespace kelvor::avi
