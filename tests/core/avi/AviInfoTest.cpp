#include <gtest/gtest.h>

#include "core/avi/AviInfo.h"
#include "core/avi/VideoProperties.h"
#include "support/AviBuilder.h"

namespace kelvor::avi {
namespace {

using namespace kelvor::test;

AviInfo Parse(const Bytes& b) {
    MemoryFile f(b);
    return AviInfo(f);
}

Bytes Hdrl(std::initializer_list<Bytes> streams) {
    Bytes data;
    PutCode(data, "hdrl");
    const Bytes avih = Chunk("avih", MainHeaderData(3, static_cast<std::uint32_t>(streams.size())));
    data.insert(data.end(), avih.begin(), avih.end());
    for (const auto& s : streams)
        data.insert(data.end(), s.begin(), s.end());
    return Chunk("LIST", data);
}

TEST(AviInfo, DvType1AndType2StreamOrder) {
    const auto t1 = Parse(Riff("AVI ", {Hdrl({InterleavedStrl()}), Movi(2, 16, "00__")}));
    EXPECT_TRUE(t1.Valid);
    EXPECT_EQ(t1.VideoIndex, 0);
    EXPECT_EQ(t1.AudioIndex, -1);
    EXPECT_EQ(t1.VideoCodec(), "dvsd");
    EXPECT_EQ(t1.IndexKind, 3);
    EXPECT_EQ(t1.MainHeader[16], 3);  // TotalFrames kept

    const auto t2 = Parse(Riff("AVI ", {Hdrl({VideoStrl(), AudioStrl()}), Movi(2)}));
    EXPECT_EQ(t2.VideoIndex, 0);
    EXPECT_EQ(t2.AudioIndex, 1);
    ASSERT_EQ(t2.Streams.size(), 2u);
    EXPECT_EQ(t2.Streams[1].StreamFormat, WaveData());

    const auto swapped = Parse(Riff("AVI ", {Hdrl({AudioStrl(), VideoStrl("CDVC")})}));
    EXPECT_EQ(swapped.VideoIndex, 1);
    EXPECT_EQ(swapped.AudioIndex, 0);
    EXPECT_EQ(swapped.VideoCodec(), "CDVC");

    const auto audioOnly = Parse(Riff("AVI ", {Hdrl({AudioStrl()})}));
    EXPECT_TRUE(audioOnly.Valid);
    EXPECT_EQ(audioOnly.VideoCodec(), "####");
    EXPECT_EQ(audioOnly.IndexKind, 0);
}

TEST(AviInfo, CodecKeepsControlCharacters) {
    const auto p = Parse(Riff("AVI ", {Hdrl({VideoStrl(std::string_view("d\x01s\0", 4))})}));
    EXPECT_EQ(p.VideoCodec(), std::string("d\x01s\0", 4));
}

TEST(AviInfo, NotAviFiles) {
    EXPECT_FALSE(Parse(Riff("WAVE", {Chunk("fmt ", WaveData())})).Valid);
    EXPECT_FALSE(Parse(Bytes(100, 'x')).Valid);
    EXPECT_FALSE(Parse(Bytes{}).Valid);
    EXPECT_FALSE(Parse(Bytes{'R', 'I', 'F', 'F'}).Valid);
}

TEST(AviInfo, RiffLargerThanFileIsInvalid) {
    Bytes b = Riff("AVI ", {Hdrl({VideoStrl()}), Movi(2)});
    b[4] += 100;
    const auto p = Parse(b);
    EXPECT_FALSE(p.Valid);
    EXPECT_TRUE(p.Streams.empty());
}

TEST(AviInfo, OpenDmlSecondRiffWalked) {
    Bytes strl =
        Lst("strl", {Chunk("strh", StreamHeaderData("vids", "dvsd")), Chunk("strf", BitmapData()),
                     Chunk("indx", SuperIndexData("00dc", {{1000, 32}}))});
    Bytes dmlh(248, 0);
    dmlh[0] = 7;
    const Bytes first = Riff("AVI ", {Hdrl({strl, Lst("odml", {Chunk("dmlh", dmlh)})}), Movi(2),
                                      Chunk("idx1", Bytes(32, 0))});
    const Bytes second = Riff("AVIX", {Movi(3)});
    const auto p = Parse(Cat({first, second}));
    EXPECT_TRUE(p.Valid);
    EXPECT_TRUE(p.OpenDml);
    EXPECT_EQ(p.OpenDmlHeader[0], 7);
    EXPECT_EQ(p.IndexKind, 0);
    EXPECT_EQ(p.MoviOffset, first.size() + 12 + 12);
    EXPECT_NE(p.Idx1Offset, 0u);
    EXPECT_EQ(p.Streams[0].SuperIndexEntriesOffset, 12 + 12 + 64 + 12 + 64 + 80 + 8 + 24);
    EXPECT_EQ(p.Streams[0].SuperIndex[12 + 12], 0xE8);  // first entry's offset, low byte of 1000

    // A later RIFF chunk that fails leaves the file valid.
    Bytes broken = Cat({first, Riff("AVIX", {Movi(1)})});
    broken[first.size() + 8 + 4 + 4] += 50;  // movi list larger than its RIFF
    EXPECT_TRUE(Parse(broken).Valid);
}

TEST(AviInfo, IndexKinds) {
    auto withIndx = [](std::uint8_t type) {
        Bytes strl = Lst(
            "strl", {Chunk("strh", StreamHeaderData("vids", "dvsd")), Chunk("strf", BitmapData()),
                     Chunk("indx", SuperIndexData("00dc", {}, type))});
        return Parse(Riff("AVI ", {Hdrl({strl})})).IndexKind;
    };
    EXPECT_EQ(withIndx(0), 0);
    EXPECT_EQ(withIndx(1), 1);
    EXPECT_EQ(withIndx(0x80), 4);
    EXPECT_EQ(
        Parse(Riff("AVI ", {Hdrl({VideoStrl()}), Movi(1), Chunk("idx1", Bytes(16, 0))})).IndexKind,
        2);
}

TEST(AviInfo, LongStrhAndOddChunks) {
    Bytes strh = StreamHeaderData("vids", "dvsd");
    strh.resize(64, 0xEE);
    const Bytes strl = Lst("strl", {Chunk("strh", strh), Chunk("strn", Bytes{'a', 'b', 'c'}),
                                    Chunk("strf", BitmapData())});
    const auto p = Parse(Riff("AVI ", {Hdrl({strl, AudioStrl()})}));
    ASSERT_EQ(p.Streams.size(), 2u);
    EXPECT_EQ(p.Streams[0].StreamHeader[55],
              0x02);  // last of the 56 kept bytes (bottom 576 high byte)
    EXPECT_EQ(p.Streams[0].StreamFormat, BitmapData());  // found after the odd "strn" and its pad
    EXPECT_EQ(p.AudioIndex, 1);
}

TEST(AviInfo, MalformedListsStayInsideTheFile) {
    // A strf that claims more than its list: the stream walk ends; nothing reads outside.
    Bytes strl = Lst("strl", {Chunk("strh", StreamHeaderData("vids", "dvsd")),
                              Chunk("strf", BitmapData(), 5000)});
    const auto p = Parse(Riff("AVI ", {Hdrl({strl})}));
    ASSERT_EQ(p.Streams.size(), 1u);
    EXPECT_TRUE(p.Streams[0].StreamFormat.empty());
    EXPECT_EQ(p.VideoIndex, 0);
}

// A "vprp" chunk's data: the nine fixed words with the aspect word as given, then `fields`
// field descriptions of eight words.
Bytes PropertiesData(std::uint32_t aspect, int fields = 2) {
    Bytes b;
    for (const std::uint32_t w :
         {0u, 1u, 25u, 720u, 576u, aspect, 720u, 576u, static_cast<std::uint32_t>(fields)})
        PutU32(b, w);
    for (int i = 0; i < fields * 8; ++i)
        PutU32(b, 0);
    return b;
}

TEST(VideoProperties, AspectFromStreamListsShortOrOddChunks) {
    const auto withProperties = [](const Bytes& vprp, std::optional<std::uint32_t> declared = {}) {
        return Parse(
            Riff("AVI ", {Hdrl({Lst("strl", {Chunk("strh", StreamHeaderData("vids", "dvsd")),
                                             Chunk("strf", BitmapData("dvsd", false)),
                                             Chunk("vprp", vprp, declared)}),
                                AudioStrl()})}));
    };
    const auto aspectOf = [](const AviInfo& info) -> std::optional<double> {
        const auto v = ReadVideoProperties(info.VideoStream()->VideoPropertiesBytes);
        return v ? FrameAspect(*v) : std::nullopt;
    };

    const auto wide = withProperties(PropertiesData(0x00100009));
    EXPECT_EQ(aspectOf(wide), 16.0 / 9.0);
    EXPECT_EQ(wide.AudioIndex, 1);  // the walk goes on after it
    EXPECT_EQ(aspectOf(withProperties(PropertiesData(0x00040003))), 4.0 / 3.0);
    // Longer than any real one: only the first bytes are kept, the stream list still ends well.
    const auto many = withProperties(PropertiesData(0x00100009, 40));
    EXPECT_EQ(many.VideoStream()->VideoPropertiesBytes.size(), kMaxVideoPropertiesBytes);
    EXPECT_EQ(aspectOf(many), 16.0 / 9.0);
    EXPECT_EQ(many.AudioIndex, 1);

    // A fixed part cut short, a zero word, or words that are no picture shape give no aspect.
    Bytes cut = PropertiesData(0x00100009, 0);
    cut.resize(VideoProperties::kFixedSize - 1);
    EXPECT_FALSE(ReadVideoProperties(cut));
    EXPECT_FALSE(aspectOf(withProperties(cut)));
    EXPECT_FALSE(aspectOf(withProperties(PropertiesData(0x00100000))));
    EXPECT_FALSE(aspectOf(withProperties(PropertiesData(0x00000009))));
    EXPECT_FALSE(aspectOf(withProperties(PropertiesData(0xFFFF0001))));
    EXPECT_FALSE(aspectOf(withProperties(Bytes{})));

    // A chunk that claims more than its list holds ends the stream walk with nothing kept.
    const auto overrun = withProperties(PropertiesData(0x00100009), 5000);
    EXPECT_TRUE(overrun.VideoStream()->VideoPropertiesBytes.empty());
}

TEST(AviInfo, MissingFileRaises) {
    EXPECT_THROW(AviInfo("/nonexistent/kelvor/file.avi"), FileError);
}

}  // namespace
}  // namespace kelvor::avi
