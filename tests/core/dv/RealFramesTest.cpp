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
    TDatecode dc;
    ASSERT_TRUE(ReadDatecode(bytes, kSequences525, dc));
    EXPECT_EQ(dc, (TDatecode{2024, 7, 8, 19, 55, 58}));
    TTimecode tc;
    ASSERT_TRUE(ReadTimecode(bytes, kSequences525, tc));
    EXPECT_EQ(tc, (TTimecode{0, 0, 2, 20}));
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
        TDatecode dc;
        ASSERT_TRUE(ReadDatecode(frame, kSequences525, dc));
        EXPECT_EQ(dc, (TDatecode{2024, 7, 8, 19, 55, 58}));
        TTimecode tc;
        ASSERT_TRUE(ReadTimecode(frame, kSequences525, tc));
        EXPECT_EQ(tc, (TTimecode{0, 0, 2, static_cast<std::uint8_t>(17 + i)}));
    }
}

TEST(RealDvFrames, BlankTapeFrameHasNeitherDateNorTimecode) {
    const auto bytes = readAll("sony_blank_tape.dv");
    ASSERT_EQ(bytes.size(), kFrameSize525);
    TDatecode dc;
    EXPECT_FALSE(ReadDatecode(bytes, kSequences525, dc));
    TTimecode tc;
    EXPECT_FALSE(ReadTimecode(bytes, kSequences525, tc));
}

}  // namespace
}  // namespace kelvor::dv
