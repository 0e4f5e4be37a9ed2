// Frames recorded by a real camcorder decode to what an independent reader finds in them.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/dv/DvPacks.h"

namespace kelvor::dv {
namespace {

std::vector<std::uint8_t> readAll(const std::string& name) {
    std::ifstream in(std::string(KELVOR_TESTDATA_DIR) + "/dv-real/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(RealDvFrames, PerfectFrameHasItsDateTimecodeAndFormat) {
    const auto bytes = readAll("sony_perfect.dv");
    ASSERT_EQ(bytes.size(), kFrameSize525);
    int standard = 0;
    ASSERT_TRUE(ReadStandard(bytes, standard));
    EXPECT_EQ(standard, kStandardNtsc);
    Datecode dc;
    ASSERT_TRUE(ReadDatecode(bytes, kSequences525, dc));
    EXPECT_EQ(dc, (Datecode{2024, 7, 8, 19, 55, 58}));
    Timecode tc;
    ASSERT_TRUE(ReadTimecode(bytes, kSequences525, tc));
    EXPECT_EQ(tc, (Timecode{0, 0, 2, 20}));
    bool wide = true;
    ASSERT_TRUE(ReadWide(bytes, kSequences525, wide));
    EXPECT_FALSE(wide);
    AudioFormat af;
    ASSERT_TRUE(ReadAudioFormat(bytes, kSequences525, af));
    EXPECT_EQ(af.SampleRate, 32000);
    EXPECT_EQ(af.Quantization, 12);
}

TEST(RealDvFrames, FiveFramesHaveARisingTimecode) {
    const auto bytes = readAll("sony_5frames.dv");
    ASSERT_EQ(bytes.size(), 5 * kFrameSize525);
    for (std::size_t i = 0; i < 5; ++i) {
        const ConstFrame frame(bytes.data() + i * kFrameSize525, kFrameSize525);
        Datecode dc;
        ASSERT_TRUE(ReadDatecode(frame, kSequences525, dc));
        EXPECT_EQ(dc, (Datecode{2024, 7, 8, 19, 55, 58}));
        Timecode tc;
        ASSERT_TRUE(ReadTimecode(frame, kSequences525, tc));
        EXPECT_EQ(tc, (Timecode{0, 0, 2, static_cast<std::uint8_t>(17 + i)}));
    }
}

TEST(RealDvFrames, BlankTapeFrameHasNeitherDateNorTimecode) {
    const auto bytes = readAll("sony_blank_tape.dv");
    ASSERT_EQ(bytes.size(), kFrameSize525);
    Datecode dc;
    EXPECT_FALSE(ReadDatecode(bytes, kSequences525, dc));
    Timecode tc;
    EXPECT_FALSE(ReadTimecode(bytes, kSequences525, tc));
}

// The offsets of every copy of a pack in the search area of a frame.
std::vector<std::size_t> copiesOf(const std::vector<std::uint8_t>& frame, int sequences,
                                  std::uint8_t id) {
    std::vector<std::size_t> at;
    for (int s = 0; s < sequences; ++s)
        for (int p = 0; p < kSearchPositionsPerSequence; ++p)
            if (frame[SearchPositionOffset(s, p)] == id)
                at.push_back(SearchPositionOffset(s, p));
    return at;
}

// DV repeats its packs so that a dropout can be outvoted: a flipped bit in one copy of a real
// frame's date or timecode changes nothing, wherever that copy sits.
TEST(RealDvFrames, ACopyDamagedByADropoutIsOutvoted) {
    const auto perfect = readAll("sony_perfect.dv");
    const auto dates = copiesOf(perfect, kSequences525, kPackRecDate);
    const auto timecodes = copiesOf(perfect, kSequences525, kPackTimecode);
    ASSERT_GE(dates.size(), 3u);
    ASSERT_GE(timecodes.size(), 3u);
    for (const std::size_t which : {std::size_t{0}, dates.size() / 2}) {
        auto frame = perfect;
        frame[dates[which] + 2] ^= 0x01;  // day 08 becomes 09 in this copy
        frame[timecodes[which] + 1] ^= 0x01;
        Datecode dc;
        ASSERT_TRUE(ReadValidDatecode(frame, kSequences525, dc));
        EXPECT_EQ(dc, (Datecode{2024, 7, 8, 19, 55, 58}));
        Timecode tc;
        ASSERT_TRUE(ReadValidTimecode(frame, kSequences525, tc));
        EXPECT_EQ(tc, (Timecode{0, 0, 2, 20}));
        FrameFacts facts;
        ReadFrameFacts(frame, kSequences525, facts);
        EXPECT_EQ(facts.Datecode, dc);
        EXPECT_EQ(facts.Timecode, tc);
    }
    // A burst of dropouts leaving many different wrong values ahead of the good copies: the
    // good value still wins when more copies carry it than any wrong one.
    {
        auto frame = perfect;
        ASSERT_GE(dates.size(), 12u);
        const std::size_t wrong = dates.size() / 2 - 1;
        for (std::size_t k = 0; k < wrong; ++k)
            frame[dates[k] + 2] = static_cast<std::uint8_t>(0x10 + k);
        FrameFacts facts;
        ReadFrameFacts(frame, kSequences525, facts);
        EXPECT_EQ(facts.Datecode, (Datecode{2024, 7, 8, 19, 55, 58}));
        Datecode dc;
        ASSERT_TRUE(ReadValidDatecode(frame, kSequences525, dc));
        EXPECT_EQ(dc, facts.Datecode);
    }
    // A tie goes to the first copy, so a frame whose copies all agree reads as before.
    auto frame = perfect;
    for (std::size_t k = dates.size() / 2; k < dates.size(); ++k)
        frame[dates[k] + 2] ^= 0x01;
    Datecode dc;
    ASSERT_TRUE(ReadDatecode(frame, kSequences525, dc));
    EXPECT_EQ(dc.Day, dates.size() % 2 == 0 ? 8 : 9);
}

TEST(RealDvFrames, DigitsThatAreNotBcdOrOutOfRangeAreNoDateAndNoTimecode) {
    const auto perfect = readAll("sony_perfect.dv");
    // Each damage written into every copy, so no vote can save it.
    const struct {
        std::uint8_t id;
        std::size_t byte;
        std::uint8_t value;
        bool date;
    } damages[] = {
        {kPackRecDate, 3, 0x13, true},    // month 13
        {kPackRecDate, 3, 0x0A, true},    // a units digit of 10
        {kPackRecDate, 4, 0xFF, true},    // an all-FF year
        {kPackRecDate, 2, 0x00, true},    // day 0
        {kPackRecTime, 4, 0x25, true},    // hour 25
        {kPackRecTime, 3, 0x61, true},    // minute 61
        {kPackTimecode, 1, 0x30, false},  // frame 30 of a 30-frame second
        {kPackTimecode, 3, 0x7F, false},  // a minutes units digit of 15
        {kPackTimecode, 4, 0x25, false},  // hour 25
    };
    for (const auto& d : damages) {
        auto frame = perfect;
        for (const std::size_t at : copiesOf(frame, kSequences525, d.id))
            frame[at + d.byte] = d.value;
        Datecode dc;
        Timecode tc;
        FrameFacts facts;
        ReadFrameFacts(frame, kSequences525, facts);
        if (d.date) {
            EXPECT_FALSE(ReadValidDatecode(frame, kSequences525, dc)) << int(d.value);
            EXPECT_FALSE(facts.HasDatecode) << int(d.value);
            EXPECT_TRUE(facts.HasTimecode);
        } else {
            EXPECT_FALSE(ReadValidTimecode(frame, kSequences525, tc)) << int(d.value);
            EXPECT_FALSE(facts.HasTimecode) << int(d.value);
            EXPECT_TRUE(facts.HasDatecode);
        }
    }
    FrameFacts blank;
    ReadFrameFacts(readAll("sony_blank_tape.dv"), kSequences525, blank);
    EXPECT_FALSE(blank.HasDatecode || blank.HasTimecode);
}

}  // namespace
}  // namespace kelvor::dv
