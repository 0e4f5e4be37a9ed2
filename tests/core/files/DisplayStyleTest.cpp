// The window's one style for dates, tape timecodes and frame rates.
#include <gtest/gtest.h>

#include "core/files/DisplayStyle.h"
#include "core/files/StoredDateText.h"

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

TEST(DisplayStyleTest, AStoredDateReadsBackOnlyWhenItsTextIsExactlyWhatTheFormatWrites) {
    // 15 March 2004 22:00:03, and 5 January 1998 09:07:01 for a two-digit year before 2000.
    const double march = 38061.0 + (22 * 3600 + 3) / 86400.0;
    const double january = 35800.0 + (9 * 3600 + 7 * 60 + 1) / 86400.0;
    for (const char* pattern : {"ddddd hh:nn:ss", "yyyy-mm-dd hh:nn:ss", "dd/mm/yy hh:nn:ss",
                                "ddddd tt", "d mmmm yyyy, hh:nn:ss"})
        for (const double value : {march, january}) {
            const std::string text = FormatDateTime(pattern, value, EnglishLocale());
            const std::optional<double> back =
                ReadFormattedDateTime(text, pattern, EnglishLocale());
            ASSERT_TRUE(back) << pattern << ": " << text;
            EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", *back),
                      FormatDateTime("yyyy-mm-dd hh:nn:ss", value))
                << pattern;
        }
    // Texts the format does not write: typed words, a missing zero, an impossible day.
    EXPECT_FALSE(ReadFormattedDateTime("at the beach", "ddddd hh:nn:ss", EnglishLocale()));
    EXPECT_FALSE(ReadFormattedDateTime("3/15/2004 22:0:03", "ddddd hh:nn:ss", EnglishLocale()));
    EXPECT_FALSE(ReadFormattedDateTime("2/30/2004 22:00:03", "ddddd hh:nn:ss", EnglishLocale()));
    EXPECT_FALSE(ReadFormattedDateTime("3/15/2004 22:00:03 ", "ddddd hh:nn:ss", EnglishLocale()));
    EXPECT_FALSE(ReadFormattedDateTime("", "ddddd hh:nn:ss", EnglishLocale()));
}

TEST(DisplayStyleTest, AFinderCaptionShowsItsDateInTheWindowStyleAndATypedOneAsTyped) {
    const std::string finder = "Scene 2: 3/15/2004 22:00:03 | Duration = 00.04";
    EXPECT_EQ(CaptionInDisplayStyle(finder, "ddddd hh:nn:ss", EnglishLocale()),
              "Scene 2: 3/15/2004 10:00:03 PM | Duration = 00.04");
    EXPECT_EQ(CaptionInDisplayStyle("3/15/2004 22:00:03", "ddddd hh:nn:ss", EnglishLocale()),
              "3/15/2004 10:00:03 PM");
    // A chosen format is the window's style already.
    const std::string chosen = "Scene 1: 2004-03-15 22:00 | Duration = 01.00";
    EXPECT_EQ(CaptionInDisplayStyle(chosen, "yyyy-mm-dd hh:nn", EnglishLocale()), chosen);
    for (const std::string typed :
         {"Scene 2: at the beach | Duration = 00.04", "Scene 2: 3/15/2004 22:00:03 with Anna",
          "Scene 1: unique | Duration = 00.04", "Scene 3: INS [00:00:04.00] | Duration = 00.01",
          ""})
        EXPECT_EQ(CaptionInDisplayStyle(typed, "ddddd hh:nn:ss", EnglishLocale()), typed);
}

}  // namespace
}  // namespace kelvor::files
