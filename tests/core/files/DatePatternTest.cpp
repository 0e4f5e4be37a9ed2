#include "core/files/DatePattern.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/files/DateTime.h"

namespace kelvor {
namespace {

double at(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return *EncodeDateTime({y, mo, d, h, mi, s, ms});
}

struct PatternCase {
    const char* pattern;
    double value;
    const char* expected;
};

TEST(DatePattern, FormatsTheTableOfPatterns) {
    const double afternoon = at(2004, 3, 15, 14, 30, 5, 123);  // a Monday
    const double morning = at(1999, 12, 5, 9, 7, 3, 5);
    const double midnight = at(2004, 3, 15, 0, 0, 0);
    const double noon = at(2004, 3, 15, 12, 0, 0);
    const PatternCase cases[] = {
        {"yyyy.mm.dd_hh.nn.ss_am/pm", afternoon, "2004.03.15_02.30.05_pm"},
        {"yyyymmddhhnnss", afternoon, "20040315143005"},
        {"yyyy/mm/dd hh:nn:ss am/pm", morning, "1999/12/05 09:07:03 am"},
        {"d/m/yy", morning, "5/12/99"},
        {"y yyy", afternoon, "04 2004"},
        {"ddd dddd", afternoon, "Mon Monday"},
        {"mmm mmmm", morning, "Dec December"},
        {"hh:mm", afternoon, "14:30"},
        {"h:m:s", morning, "9:7:3"},
        {"hh 'at' mm", afternoon, "14 at 30"},
        {"hh:nn mm", afternoon, "14:30 03"},
        {"HH AM/PM", afternoon, "02 PM"},
        {"h Am/Pm", morning, "9 Am"},
        {"am/pm h", afternoon, "pm 2"},
        {"h a/p", afternoon, "2 p"},
        {"h A/P", morning, "9 A"},
        {"hh ampm", afternoon, "02 PM"},
        {"h am/pm", midnight, "12 am"},
        {"h am/pm", noon, "12 pm"},
        {"hh", midnight, "00"},
        {"'yyyy' yyyy", afternoon, "yyyy 2004"},
        {"\"hh:nn\" hh", afternoon, "hh:nn 14"},
        {"'unterminated", afternoon, "unterminated"},
        {"zzz", afternoon, "123"},
        {"z zzz", morning, "5 005"},
        {"ss.zzz", morning, "03.005"},
        {"c", afternoon, "3/15/2004 2:30:05 PM"},
        {"c", midnight, "3/15/2004"},
        {"ddddd", afternoon, "3/15/2004"},
        {"dddddd", afternoon, "Monday, March 15, 2004"},
        {"t", afternoon, "2:30 PM"},
        {"tt", morning, "9:07:03 AM"},
        {"x-#_é", afternoon, "x-#_é"},
        {"dddddd 'at' hh:mm:ss", morning, "Sunday, December 5, 1999 at 09:07:03"},
    };
    for (const PatternCase& c : cases)
        EXPECT_EQ(FormatDateTime(c.pattern, c.value), c.expected) << "pattern " << c.pattern;
}

TEST(DatePattern, SeparatorsAndNamesComeFromTheLocale) {
    LocaleInfo fr = EnglishLocale();
    fr.DateSeparator = ".";
    fr.TimeSeparator = "h";
    fr.LongMonthNames[2] = "mars";
    fr.ShortDateFormat = "dd/mm/yyyy";
    fr.TimeAMString = "matin";
    const double v = at(2004, 3, 15, 9, 30, 0);
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", v, fr), "15.03.2004 09h30");
    EXPECT_EQ(FormatDateTime("d mmmm", v, fr), "15 mars");
    EXPECT_EQ(FormatDateTime("ddddd", v, fr), "15.03.2004");
    EXPECT_EQ(FormatDateTime("ampm", v, fr), "matin");
}

TEST(DatePattern, SelfNamingLocaleFormatsAndNonDatesEndQuietly) {
    LocaleInfo loop = EnglishLocale();
    loop.ShortDateFormat = "ddddd";
    EXPECT_EQ(FormatDateTime("ddddd", at(2004, 3, 15, 0, 0, 0), loop), "");
    EXPECT_EQ(FormatDateTime("yyyy", std::nan("")), "");
    EXPECT_EQ(FormatDateTime("", 0), "");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", -1.25), "1899-12-29 06:00:00");
}

}  // namespace
}  // namespace kelvor
