#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/dv/DvInfo.h"
#include "core/dv/DvPackBuilders.h"

namespace kelvor::dv {
namespace {

std::vector<std::uint8_t> readFrame(const std::string& name) {
    std::ifstream in(std::string(KELVOR_TESTDATA_DIR) + "/dv-real/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t word(std::uint8_t pc1, std::uint8_t pc2, std::uint8_t pc3, std::uint8_t pc4) {
    return PackWord({0, pc1, pc2, pc3, pc4});
}

TEST(DvInfo, FromARealFrame) {
    const auto frame = readFrame("sony_perfect.dv");
    ASSERT_EQ(frame.size(), kFrameSize525);
    const DvInfo info = DvInfoFromFrame(frame);
    EXPECT_FALSE(Is625Lines(info.dwDVVAuxSrc));
    const AudioFormat sound = AudioFormatOfSourceWord(info.dwDVAAuxSrc);
    AudioFormat fromFrame;
    ASSERT_TRUE(ReadAudioFormat(frame, kSequences525, fromFrame));
    EXPECT_EQ(sound, fromFrame);
    EXPECT_EQ(sound.SampleRate, 32000);
    EXPECT_EQ(StereoPairs(sound), 2);
    EXPECT_NE(info.dwDVAAuxSrc1, kMissingPackWord);  // the second audio half has its own
    EXPECT_EQ(info.dwDVReserved, (std::array<std::uint32_t, 2>{0, 0}));
    Pack vauxControl{};
    ASSERT_TRUE(FindPack(frame, kSequences525, kPackVideoSourceControl, vauxControl));
    EXPECT_EQ(info.dwDVVAuxCtl, PackWord(vauxControl));
}

TEST(DvInfo, MissingPacksAndTakingThemFromFrames) {
    // Our pack writer puts VAUX packs but no sound.
    std::vector<std::uint8_t> frame(kFrameSize625, 0xFF);
    WriteFramePacks(frame, kSequences625, FramePacks{});
    const DvInfo info = DvInfoFromFrame(frame);
    EXPECT_EQ(info.dwDVVAuxSrc, PackWord(VideoSourcePack(true)));
    EXPECT_EQ(info.dwDVAAuxSrc, kMissingPackWord);
    EXPECT_EQ(info.dwDVAAuxCtl1, kMissingPackWord);
    EXPECT_EQ(DvInfoFromFrame(std::span(frame).first(1000)).dwDVVAuxSrc, kMissingPackWord);

    DvInfo stored = MuxedDvInfo(false, 32000);
    stored.dwDVReserved = {7, 8};
    TakeFramePacks(stored, info);
    EXPECT_EQ(stored.dwDVVAuxSrc, info.dwDVVAuxSrc);                       // the frame's
    EXPECT_EQ(stored.dwDVAAuxSrc, MuxedDvInfo(false, 32000).dwDVAAuxSrc);  // kept
    EXPECT_EQ(stored.dwDVReserved, (std::array<std::uint32_t, 2>{7, 8}));
}

TEST(DvInfo, StandardOfVauxSource) {
    struct Case {
        std::uint8_t pc3;
        bool is625;
    };
    // PC3 = 00 is 525/60 with system type 0, as real NTSC camcorders write it.
    for (const Case c : {Case{0x00, false}, Case{0xFF, true}, Case{0x20, true}, Case{0xC0, false},
                         Case{0xDF, false}}) {
        const std::uint32_t w = word(0xFF, 0xFF, c.pc3, 0xFF);
        EXPECT_EQ(Is625Lines(w), c.is625) << int(c.pc3);
        DvInfo info;
        info.dwDVVAuxSrc = w;
        // All FF is the word of a missing pack.
        const int expected = w == kMissingPackWord ? kStandardUnknown
                             : c.is625             ? kStandardPal
                                                   : kStandardNtsc;
        EXPECT_EQ(StandardOfDvInfo(info), expected) << int(c.pc3);
    }
    EXPECT_TRUE(Is625Lines(0x00200000u));  // the record's 50/60 bit
    // No VAUX source pack: no standard.
    EXPECT_EQ(StandardOfDvInfo(DvInfo{}), kStandardUnknown);
    DvInfo missing;
    missing.dwDVVAuxSrc = kMissingPackWord;
    EXPECT_EQ(StandardOfDvInfo(missing), kStandardUnknown);
}

// The frame header decides: only the 50/60 flag changes, and a missing pack becomes a plain one.
TEST(DvInfo, SetStandardFromTheHeader) {
    DvInfo sony;
    sony.dwDVVAuxSrc = word(0x11, 0x22, 0x00, 0x44);
    SetDvInfoStandard(sony, kStandardNtsc);
    EXPECT_EQ(sony.dwDVVAuxSrc, word(0x11, 0x22, 0x00, 0x44));
    SetDvInfoStandard(sony, kStandardPal);
    EXPECT_EQ(sony.dwDVVAuxSrc, word(0x11, 0x22, 0x20, 0x44));
    SetDvInfoStandard(sony, kStandardUnknown);
    EXPECT_EQ(sony.dwDVVAuxSrc, word(0x11, 0x22, 0x20, 0x44));
    for (int standard : {kStandardPal, kStandardNtsc}) {
        DvInfo none;
        SetDvInfoStandard(none, standard);
        EXPECT_EQ(StandardOfDvInfo(none), standard);
        EXPECT_EQ(none.dwDVVAuxSrc, MuxedDvInfo(standard == kStandardPal, 48000).dwDVVAuxSrc);
    }
}

TEST(DvInfo, SoundOfAauxSource) {
    EXPECT_EQ(AudioFormatOfSourceWord(word(0, 0x00, 0, 0x00)), (AudioFormat{48000, 16, 2}));
    EXPECT_EQ(AudioFormatOfSourceWord(word(0, 0x20, 0, 0x08)), (AudioFormat{44100, 16, 1}));
    const AudioFormat twelve = AudioFormatOfSourceWord(word(0, 0x10, 0, 0x11));
    EXPECT_EQ(twelve, (AudioFormat{32000, 12, 4}));
    EXPECT_EQ(StereoPairs(twelve), 2);
    // An unknown rate code: no rate, and one pair even at 12 bits.
    const AudioFormat unknown = AudioFormatOfSourceWord(word(0, 0, 0, 0x19));
    EXPECT_EQ(unknown.SampleRate, 0);
    EXPECT_EQ(StereoPairs(unknown), 1);
    EXPECT_EQ(AauxRateCode(44100), 1);
    EXPECT_EQ(AauxRateCode(22050), -1);
}

TEST(DvInfo, MuxedStreams) {
    const DvInfo pal = MuxedDvInfo(true, 48000);
    EXPECT_EQ(pal.dwDVAAuxSrc, 0x80E000C0u);
    EXPECT_EQ(pal.dwDVAAuxSrc1, pal.dwDVAAuxSrc);
    EXPECT_EQ(pal.dwDVAAuxCtl, 0xFFA0CF03u);
    EXPECT_EQ(pal.dwDVVAuxSrc, 0xFFE0FFFFu);
    EXPECT_EQ(pal.dwDVVAuxCtl, 0xFFFCC83Fu);
    for (const bool p : {true, false})
        for (const int rate : {48000, 44100, 32000, 22050}) {
            const DvInfo info = MuxedDvInfo(p, rate);
            EXPECT_EQ(Is625Lines(info.dwDVVAuxSrc), p);
            EXPECT_EQ(AudioFormatOfSourceWord(info.dwDVAAuxSrc).SampleRate,
                      rate == 22050 ? 48000 : rate);
        }
}

}  // namespace
}  // namespace kelvor::dv
