#include "core/dv/DvPacks.h"

#include <gtest/gtest.h>

#include "core/dv/DvPackBuilders.h"
#include "core/files/DateTime.h"
#include "support/DvFrameBuilder.h"

namespace kelvor::dv {
namespace {

using test::datePack;
using test::DvFrameBuilder;
using test::timePack;

TEST(DvPackSearch, EarlierSequenceWinsAndSubcodeBeatsVauxWithinASequence) {
    DvFrameBuilder b;
    b.pack(3, DvFrameBuilder::kVaux(5, 11), datePack(4, 3, 15));
    b.pack(5, DvFrameBuilder::kSubcode(1, 0), datePack(9, 1, 1));
    Pack p;
    ASSERT_TRUE(FindPack(b.frame(), b.sequences(), kPackRecDate, p));
    EXPECT_EQ(p, datePack(4, 3, 15)) << "sequence 3 comes before sequence 5";

    b.pack(3, DvFrameBuilder::kSubcode(2, 5), datePack(5, 6, 7));
    ASSERT_TRUE(FindPack(b.frame(), b.sequences(), kPackRecDate, p));
    EXPECT_EQ(p, datePack(5, 6, 7)) << "a subcode pack beats a VAUX pack of the same sequence";

    EXPECT_FALSE(FindPack(b.frame(), b.sequences(), kPackTimecode, p));
}

TEST(DvPackSearch, AudioBlocksAreSearchedSeparatelyFromTheSearchArea) {
    DvFrameBuilder b;
    b.aaux(2, 4, {kPackAudioSource, 0x11, 0x22, 0x33, 0x44});
    Pack p;
    EXPECT_FALSE(FindPack(b.frame(), b.sequences(), kPackAudioSource, p));
    DifBlock block;
    ASSERT_TRUE(FindAudioBlock(b.frame(), b.sequences(), kPackAudioSource, block));
    EXPECT_EQ(block[3], kPackAudioSource);
    EXPECT_EQ(block[7], 0x44);
}

TEST(DvPackSearch, FramesOfTheWrongSizeOrSequenceCountHoldNoPacks) {
    DvFrameBuilder b(kSequences525);
    b.pack(0, 0, timePack(1, 2, 3)).pack(0, 1, datePack(4, 5, 6));
    Datecode dc;
    EXPECT_TRUE(ReadDatecode(b.frame(), kSequences525, dc));
    EXPECT_FALSE(ReadDatecode(b.frame(), kSequences625, dc))
        << "120000 bytes cannot hold 12 sequences";
    EXPECT_FALSE(ReadDatecode(b.frame().first(1000), kSequences525, dc));
    EXPECT_FALSE(ReadDatecode(b.frame(), 11, dc));
    Pack p;
    EXPECT_FALSE(FindPack({}, kSequences525, kPackRecTime, p));
    int standard = -1;
    EXPECT_FALSE(ReadStandard({}, standard));
    EXPECT_EQ(standard, -1);
    EXPECT_EQ(SequenceCountForSize(120000), 10);
    EXPECT_EQ(SequenceCountForSize(144000), 12);
    EXPECT_FALSE(SequenceCountForSize(144001));
}

TEST(DvDatecode, TimeAndDateMayComeFromDifferentAreasAndSequences) {
    DvFrameBuilder b;
    b.pack(0, DvFrameBuilder::kSubcode(1, 3), timePack(19, 55, 58));
    b.pack(3, DvFrameBuilder::kVaux(4, 2), datePack(24, 7, 8));
    Datecode dc;
    ASSERT_TRUE(ReadDatecode(b.frame(), b.sequences(), dc));
    EXPECT_EQ(dc, (Datecode{2024, 7, 8, 19, 55, 58}));
}

TEST(DvDatecode, ZeroedIdsAtTheUsualPlaceAreReadFromTheFixedPositions) {
    DvFrameBuilder b;
    Pack date = datePack(4, 3, 15);
    Pack time = timePack(14, 30, 5);
    date[0] = 0x00;
    time[0] = 0x00;
    for (int i = 0; i < 5; ++i) {
        b.byte(458 + i, date[i]);
        b.byte(463 + i, time[i]);
    }
    Datecode dc;
    ASSERT_TRUE(ReadDatecode(b.frame(), b.sequences(), dc));
    EXPECT_EQ(dc, (Datecode{2004, 3, 15, 14, 30, 5}));

    // Only the time pack found by id: the fixed positions still decide.
    b.pack(7, 0, timePack(1, 1, 1));
    ASSERT_TRUE(ReadDatecode(b.frame(), b.sequences(), dc));
    EXPECT_EQ(dc.Hour, 14);

    b.byte(458, 0xFF);
    Datecode untouched{1, 2, 3, 4, 5, 6};
    EXPECT_FALSE(ReadDatecode(b.frame(), b.sequences(), untouched));
    EXPECT_EQ(untouched, (Datecode{1, 2, 3, 4, 5, 6})) << "outputs stay as they were";
}

TEST(DvDatecode, PacksFilledWithFFDecodeToDigitsThatAreNoDate) {
    DvFrameBuilder b;
    b.pack(0, 0, {kPackRecDate, 0xFF, 0xFF, 0xFF, 0xFF});
    b.pack(0, 1, {kPackRecTime, 0xFF, 0xFF, 0xFF, 0xFF});
    Datecode dc;
    ASSERT_TRUE(ReadDatecode(b.frame(), b.sequences(), dc));
    EXPECT_EQ(dc, (Datecode{2065, 25, 45, 45, 85, 85}));
    EXPECT_FALSE(DatecodeToDateTime(dc).has_value());
}

TEST(DvDatecode, TwoDigitYearsReadAsTheYearsDvWasRecordedIn) {
    EXPECT_EQ(YearFromTwoDigits(0), 2000);
    EXPECT_EQ(YearFromTwoDigits(24), 2024);
    EXPECT_EQ(YearFromTwoDigits(25), 2025);
    EXPECT_EQ(YearFromTwoDigits(89), 2089);
    EXPECT_EQ(YearFromTwoDigits(90), 1990);
    EXPECT_EQ(YearFromTwoDigits(99), 1999);
    for (int year : {1995, 1999, 2000, 2024, 2025, 2026, 2089}) {
        DvFrameBuilder b;
        b.pack(0, 0, datePack(0, 1, 1)).pack(0, 1, timePack(0, 0, 0));
        const Datecode written{year, 12, 31, 23, 59, 59};
        WriteDatecode(b.bytes(), b.sequences(), written);
        Datecode back;
        ASSERT_TRUE(ReadDatecode(b.frame(), b.sequences(), back));
        EXPECT_EQ(back, written) << year;
    }
}

TEST(DvTimecode, DigitsComeFromTheirBitFieldsAndFlagsAreIgnored) {
    DvFrameBuilder b;
    // Colour frame, drop frame and binary group flags all set.
    b.pack(2, DvFrameBuilder::kSubcode(2, 1),
           {kPackTimecode, 0xC0 | 0x25, 0x80 | 0x59, 0x80 | 0x07, 0xC0 | 0x23});
    Timecode tc;
    ASSERT_TRUE(ReadTimecode(b.frame(), b.sequences(), tc));
    EXPECT_EQ(tc, (Timecode{23, 7, 59, 25}));
}

TEST(DvStandard, OnlyTheTwoExactHeaderBytesAreKnown) {
    DvFrameBuilder b;
    int standard = 0;
    ASSERT_TRUE(ReadStandard(b.frame(), standard));
    EXPECT_EQ(standard, kStandardPal);
    b.byte(3, 0x3F);
    ASSERT_TRUE(ReadStandard(b.frame(), standard));
    EXPECT_EQ(standard, kStandardNtsc);
    b.byte(3, 0xBE);
    EXPECT_FALSE(ReadStandard(b.frame(), standard));
    EXPECT_EQ(standard, kStandardNtsc);
}

TEST(DvAudioFormat, RateBitsAndChannelsOfTheSourcePack) {
    struct Case {
        std::uint8_t pc2, pc4;
        AudioFormat expected;
    };
    const Case cases[] = {
        {0x00, 0x00, {48000, 16, 2}}, {0x20, 0x00, {48000, 16, 1}}, {0x10, 0x00, {48000, 16, 4}},
        {0x01, 0x00, {48000, 16, 0}}, {0x00, 0x08, {44100, 16, 2}}, {0x00, 0x11, {32000, 12, 2}},
        {0x30, 0x1A, {0, 0, 2}},
    };
    for (const Case& c : cases) {
        DvFrameBuilder b;
        b.aaux(1, 3, {kPackAudioSource, 0xD0, c.pc2, 0xC0, c.pc4});
        AudioFormat af;
        ASSERT_TRUE(ReadAudioFormat(b.frame(), b.sequences(), af));
        EXPECT_EQ(af, c.expected) << int(c.pc2) << " " << int(c.pc4);
    }
    DvFrameBuilder none;
    AudioFormat af{1, 2, 3};
    EXPECT_FALSE(ReadAudioFormat(none.frame(), none.sequences(), af));
    EXPECT_EQ(af, (AudioFormat{1, 2, 3}));
}

TEST(DvAspect, DisplayModeAndHeaderFlagDecideWidescreen) {
    auto wideOf = [](std::uint8_t disp, std::uint8_t byte12) {
        DvFrameBuilder b;
        b.pack(0, DvFrameBuilder::kVaux(3, 1),
               {kPackVideoSourceControl, 0xFF, static_cast<std::uint8_t>(0xF8 | disp), 0xFC, 0xFF});
        b.byte(12, byte12);
        bool wide = false;
        EXPECT_TRUE(ReadWide(b.frame(), b.sequences(), wide));
        return wide;
    };
    EXPECT_TRUE(wideOf(2, 0xFF));
    EXPECT_FALSE(wideOf(0, 0xF8));
    EXPECT_FALSE(wideOf(7, 0xFF));
    EXPECT_TRUE(wideOf(7, 0xF8));
    DvFrameBuilder none;
    bool wide = true;
    EXPECT_FALSE(ReadWide(none.frame(), none.sequences(), wide));
}

TEST(DvWriteDatecode, EveryDateAndTimePackIsRewrittenKeepingTheOtherBits) {
    DvFrameBuilder b;
    b.pack(0, DvFrameBuilder::kSubcode(1, 2), datePack(99, 1, 1));
    b.pack(0, DvFrameBuilder::kVaux(5, 11), datePack(99, 1, 1));
    b.pack(9, DvFrameBuilder::kVaux(3, 0), datePack(99, 1, 1));
    b.pack(0, DvFrameBuilder::kVaux(5, 12), timePack(0, 0, 0));
    const std::vector<std::uint8_t> before = b.bytes();
    WriteDatecode(b.bytes(), b.sequences(), {2004, 12, 31, 23, 45, 59});
    for (auto [s, p] : {std::pair{0, DvFrameBuilder::kSubcode(1, 2)},
                        {0, DvFrameBuilder::kVaux(5, 11)},
                        {9, DvFrameBuilder::kVaux(3, 0)}}) {
        const std::size_t off = SearchPositionOffset(s, p);
        EXPECT_EQ(b.bytes()[off + 1], 0xFF) << "PC1 untouched";
        EXPECT_EQ(b.bytes()[off + 2], 0xC0 | 0x31);
        EXPECT_EQ(b.bytes()[off + 3], 0xE0 | 0x12);
        EXPECT_EQ(b.bytes()[off + 4], 0x04);
    }
    const std::size_t t = SearchPositionOffset(0, DvFrameBuilder::kVaux(5, 12));
    EXPECT_EQ(b.bytes()[t + 2], 0x80 | 0x59);
    EXPECT_EQ(b.bytes()[t + 3], 0x80 | 0x45);
    EXPECT_EQ(b.bytes()[t + 4], 0xC0 | 0x23);
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        changed += before[i] != b.bytes()[i];
    EXPECT_EQ(changed, 3u * 3u + 3u) << "nothing outside the date and time packs changes";

    WriteDatecode(b.bytes(), b.sequences(), {1999, 1, 1, 0, 0, 0});
    EXPECT_EQ(b.bytes()[SearchPositionOffset(9, DvFrameBuilder::kVaux(3, 0)) + 4], 0x99);
}

TEST(DvWriteDatecode, TensThatDoNotFitTheirFieldKeepTheOldBits) {
    DvFrameBuilder b;
    b.pack(0, 0, timePack(12, 0, 0));
    WriteDatecode(b.bytes(), b.sequences(), {2004, 1, 1, 45, 0, 0});
    // Hour field: bits 6-7 kept (0xC0), tens bits 4-5 keep 1, units become 5.
    EXPECT_EQ(b.bytes()[SearchPositionOffset(0, 0) + 4], 0xC0 | 0x15);

    DvFrameBuilder none;
    const std::vector<std::uint8_t> before = none.bytes();
    WriteDatecode(none.bytes(), none.sequences(), {2004, 1, 1, 0, 0, 0});
    EXPECT_EQ(none.bytes(), before);
}

TEST(DvWriteTimePacks, OnlyTimecodeDateAndTimeAtTheirUsualPlaces) {
    for (int sequences : {kSequences525, kSequences625}) {
        const Timecode tc{1, 2, 3, 4};
        const Datecode dc{2007, 8, 9, 10, 11, 12};
        // The same packs as a whole frame written with them, every other byte as it was.
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(sequences) * kDifSequenceSize);
        for (std::size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<std::uint8_t>(i * 13 + 5);
        const auto before = frame;
        WriteTimePacks(frame, sequences, tc, dc);
        std::vector<std::uint8_t> whole(frame.size(), 0);
        FramePacks packs;
        packs.Pal = sequences == kSequences625;
        packs.Timecode = tc;
        packs.Datecode = dc;
        WriteFramePacks(whole, sequences, packs);
        std::vector<bool> isTimePack(frame.size(), false);
        for (int s = 0; s < sequences; ++s)
            for (int p = 0; p < kSearchPositionsPerSequence; ++p) {
                const std::size_t off = SearchPositionOffset(s, p);
                const std::uint8_t id = whole[off];
                if (id == kPackTimecode || id == kPackRecDate || id == kPackRecTime)
                    std::fill_n(isTimePack.begin() + static_cast<std::ptrdiff_t>(off), kPackSize,
                                true);
            }
        for (std::size_t i = 0; i < frame.size(); ++i)
            ASSERT_EQ(frame[i], isTimePack[i] ? whole[i] : before[i]) << sequences << " " << i;
        Datecode read;
        ASSERT_TRUE(ReadDatecode(frame, sequences, read));
        EXPECT_EQ(read, dc);

        // Values not given leave their places alone.
        auto onlyDate = before;
        WriteTimePacks(onlyDate, sequences, std::nullopt, dc);
        Timecode t;
        EXPECT_FALSE(ReadTimecode(onlyDate, sequences, t) && t == tc);
        auto nothing = before;
        WriteTimePacks(nothing, sequences, std::nullopt, std::nullopt);
        EXPECT_EQ(nothing, before);
    }
}

}  // namespace
}  // namespace kelvor::dv
