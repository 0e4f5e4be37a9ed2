#include "core/files/FormatTexts.h"

#include <gtest/gtest.h>

namespace kelvor {
namespace {

constexpr std::int64_t kPalFrame = 400000;
constexpr std::int64_t kSecond = kUnitsPerSecond;

TEST(FormatTexts, DurationsWithFrames) {
    EXPECT_EQ(FormatDuration(0, kPalFrame), "0fr");
    EXPECT_EQ(FormatDuration(kPalFrame, kPalFrame), "1fr");
    EXPECT_EQ(FormatDuration(12 * kPalFrame, kPalFrame), "12fr");
    EXPECT_EQ(FormatDuration(kSecond, kPalFrame), "1s 00fr");
    EXPECT_EQ(FormatDuration(36'000'000'000, kPalFrame), "1h 00mn 00s 00fr");
    EXPECT_EQ(FormatDuration(3723 * kSecond + 4 * kPalFrame, kPalFrame), "1h 02mn 03s 04fr");
    EXPECT_EQ(FormatDuration(123 * kSecond + 4 * kPalFrame, kPalFrame), "2mn 03s 04fr");
    EXPECT_EQ(FormatDuration(25 * 3600 * kSecond, kPalFrame), "25h 00mn 00s 00fr");
    EXPECT_EQ(FormatDuration(kSecond + 333667, 333667), "1s 01fr");
    // NTSC durations from frame counts fall a fraction short of whole frames.
    EXPECT_EQ(FormatDuration(5 * 10010000 / 30, 333667), "5fr");
    EXPECT_EQ(FormatDuration(29 * 10010000 / 30, 333667), "29fr");
    EXPECT_EQ(FormatDuration(30 * 10010000 / 30, 333667), "1s 00fr");
    EXPECT_EQ(FormatDuration(59 * 10010000 / 30, 333667), "1s 29fr");
}

TEST(FormatTexts, DurationsWithMilliseconds) {
    EXPECT_EQ(FormatDurationMs(12'345'678), "1s 234ms");
    EXPECT_EQ(FormatDurationMs(5'000), "0milliseconds");
    EXPECT_EQ(FormatDurationMs(2'500'000), "250milliseconds");
    EXPECT_EQ(FormatDurationMs(61 * kSecond + 70'000), "1mn 01s 007ms");
    EXPECT_EQ(FormatDurationMs(3601 * kSecond), "1h 00mn 01s 000ms");
}

TEST(FormatTexts, FramePositions) {
    EXPECT_EQ(FormatFramePosition(1234, 25), "00.00.49.09");
    EXPECT_EQ(FormatFramePosition(1000, 29.97), "00.00.33.11");
    EXPECT_EQ(FormatFramePosition(90000, 25), "01.00.00.00");
    EXPECT_EQ(FormatFramePosition(5, 0), "0:00:00:00");
    EXPECT_EQ(FormatShortFramePosition(30, 25), "01.05");
    EXPECT_EQ(FormatShortFramePosition(1500, 25), "01.00.00");
    EXPECT_EQ(FormatShortFramePosition(90030, 25), "1.00.01.05");
    EXPECT_EQ(FormatShortFramePosition(7, 0), "??");
}

TEST(FormatTexts, SubtitleTimes) {
    EXPECT_EQ(FormatSubtitleTime(1234, 25), "00:00:49,360");
    EXPECT_EQ(FormatSubtitleTime(0, 25), "00:00:00,000");
    EXPECT_EQ(FormatSubtitleTime(1, 29.97), "00:00:00,033");
    EXPECT_EQ(FormatSubtitleTime(90000 * 2, 25), "02:00:00,000");
}

TEST(FormatTexts, WaveFormatNames) {
    EXPECT_EQ(WaveFormatName(1), "PCM");
    EXPECT_EQ(WaveFormatName(4), "Unknown");
    EXPECT_EQ(WaveFormatName(85), "MP3");
    EXPECT_EQ(WaveFormatName(98), "VOXWARE");
    EXPECT_EQ(WaveFormatName(117), "VOXWARE");
    EXPECT_EQ(WaveFormatName(5120), "NORRIS");
    EXPECT_EQ(WaveFormatName(0xFFFF), "Unknown");
}

TEST(FormatTexts, MediaEngineVersionTexts) {
    EXPECT_EQ(DirectXVersionText("4.09.00.0904"), "9.0c");
    EXPECT_EQ(DirectXVersionText("4.09.00.0902"), "9.0b");
    EXPECT_EQ(DirectXVersionText("4.09.00.0901"), "9.0a");
    EXPECT_EQ(DirectXVersionText("4.09.00.0900"), "9.0 ");
    EXPECT_EQ(DirectXVersionText("4.08.01.0881"), "8.1a");
    EXPECT_FALSE(DirectXVersionText("Error"));
    EXPECT_FALSE(DirectXVersionText(""));
    EXPECT_FALSE(DirectXVersionText("4.09"));
    EXPECT_FALSE(DirectXVersionText("4.x.00.0904"));
}

}  // namespace
}  // namespace kelvor
