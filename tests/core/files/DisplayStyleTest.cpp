// The window's one style for dates, tape timecodes and frame rates.
#include <gtest/gtest.h>

#include "core/files/DisplayStyle.h"

namespace kelvor::files {
namespace {

TEST(DisplayStyleTest, TheShippedOrEmptyFormatFollowsTheLocaleAndAChosenOneIsKept) {
    EXPECT_EQ(DisplayPattern(""), "ddddd tt");
    EXPECT_EQ(DisplayPattern("ddddd hh:nn:ss"), "ddddd tt");
    EXPECT_EQ(DisplayPattern("yyyy-mm-dd hh:nn"), "yyyy-mm-dd hh:nn");
    // 15 March 2004 22:00:03 in the English locale: 12 h with seconds.
    const double value = 38061.0 + (22 * 3600 + 3) / 86400.0;
    EXPECT_EQ(DisplayDateTime(value, "ddddd hh:nn:ss", EnglishLocale()), "3/15/2004 10:00:03 PM");
    EXPECT_EQ(DisplayDateTime(value, "yyyy-mm-dd hh:nn:ss", EnglishLocale()),
              "2004-03-15 22:00:03");
    EXPECT_EQ(DisplayDateTime(-1e300, "", EnglishLocale()), "");
}

TEST(DisplayStyleTest, ThePreviewOverlayFollowsTheWindowUnlessTheInlayFormatsWereChosen) {
    const OverlayPatterns locale = PreviewOverlayPatterns("ddddd hh:nn:ss", "ddddd", "tt");
    EXPECT_EQ(locale.First, "ddddd");
    EXPECT_EQ(locale.Second, "tt");
    const OverlayPatterns chosenDisplay = PreviewOverlayPatterns("yyyy-mm-dd hh:nn", "ddddd", "tt");
    EXPECT_EQ(chosenDisplay.First, "");
    EXPECT_EQ(chosenDisplay.Second, "yyyy-mm-dd hh:nn");
    const OverlayPatterns chosenInlay = PreviewOverlayPatterns("yyyy-mm-dd hh:nn", "dd", "hh");
    EXPECT_EQ(chosenInlay.First, "dd");
    EXPECT_EQ(chosenInlay.Second, "hh");
}

TEST(DisplayStyleTest, TimecodesAndFrameRatesReadAsVideoToolsShowThem) {
    EXPECT_EQ(TapeTimecodeText({1, 2, 3, 4}, false), "01:02:03:04");
    EXPECT_EQ(TapeTimecodeText({0, 10, 0, 29}, true), "00:10:00;29");
    // Type 1 NTSC is 30000/1001 exactly; type 2 comes from the header's rounded frame time.
    EXPECT_EQ(ReadableFrameRate(30000.0 / 1001.0), "29.97");
    EXPECT_EQ(ReadableFrameRate(29.97), "29.97");
    EXPECT_EQ(ReadableFrameRate(25), "25");
    EXPECT_EQ(ReadableFrameRate(24000.0 / 1001.0), "23.98");
    EXPECT_EQ(ReadableFrameRate(12.5), "12.5");
}

}  // namespace
}  // namespace kelvor::files
