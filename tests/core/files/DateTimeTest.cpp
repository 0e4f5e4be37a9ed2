#include "core/files/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "core/files/Rounding.h"

namespace kelvor {
namespace {

TEST(Rounding, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(2.4999999), 2);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3);
    EXPECT_EQ(RoundHalfEven(-0.4), 0);
    EXPECT_EQ(RoundHalfEven(29.97 * 2), 60);
    EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEven(1e300), INT64_MAX);
}

TEST(DateTimeValue, DaysCountFromTheLastDaysOf1899) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2004, 3, 15), 38061.0);
    EXPECT_EQ(EncodeDate(1899, 12, 29), -1.0);
    EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
    EXPECT_DOUBLE_EQ(*EncodeTime(6, 0, 0), 0.25);
    EXPECT_DOUBLE_EQ(*EncodeDateTime({2004, 3, 15, 12, 0, 0, 0}), 38061.5);
    EXPECT_DOUBLE_EQ(*EncodeDateTime({1899, 12, 29, 6, 0, 0, 0}), -1.25);
}

TEST(DateTimeValue, InvalidFieldsGiveNoValue) {
    EXPECT_TRUE(IsValidDate(2024, 2, 29));
    EXPECT_FALSE(IsValidDate(2023, 2, 29));
    EXPECT_FALSE(IsValidDate(1900, 2, 29));
    EXPECT_TRUE(IsValidDate(2000, 2, 29));
    EXPECT_FALSE(IsValidDate(2004, 13, 1));
    EXPECT_FALSE(IsValidDate(2004, 0, 1));
    EXPECT_FALSE(IsValidDate(2004, 4, 31));
    EXPECT_FALSE(IsValidDate(2004, 1, 0));
    EXPECT_FALSE(IsValidDate(0, 1, 1));
    EXPECT_FALSE(IsValidDate(10000, 1, 1));
    EXPECT_FALSE(EncodeTime(24, 0, 0));
    EXPECT_FALSE(EncodeTime(0, 60, 0));
    EXPECT_FALSE(EncodeTime(0, 0, 60));
    EXPECT_FALSE(EncodeTime(0, 0, 0, 1000));
    EXPECT_FALSE(DatecodeToDateTime({2004, 2, 30, 0, 0, 0}));
    EXPECT_FALSE(DatecodeToDateTime({2004, 2, 3, 24, 0, 0}));
}

TEST(DateTimeValue, DecodingRoundTripsAndCarriesRoundedMilliseconds) {
    for (const CivilDateTime f :
         {CivilDateTime{2004, 3, 15, 14, 30, 5, 123}, CivilDateTime{1899, 12, 29, 6, 0, 0, 0},
          CivilDateTime{1, 1, 1, 0, 0, 0, 0}, CivilDateTime{9999, 12, 31, 23, 59, 59, 999},
          CivilDateTime{2000, 2, 29, 23, 59, 59, 0}}) {
        const auto v = EncodeDateTime(f);
        ASSERT_TRUE(v);
        EXPECT_EQ(DecodeDateTime(*v), f);
    }
    // 23:59:59.9996 rounds to the next midnight.
    const auto d = DecodeDateTime(38061.0 + (86400.0 - 0.0004) / 86400.0);
    ASSERT_TRUE(d);
    EXPECT_EQ(*d, (CivilDateTime{2004, 3, 16, 0, 0, 0, 0}));
    EXPECT_FALSE(DecodeDateTime(std::nan("")));
    EXPECT_FALSE(DecodeDateTime(1e12));
    EXPECT_FALSE(DecodeDateTime(-1e9));
}

TEST(DateTimeValue, DatecodesConvertBothWays) {
    const auto v = DatecodeToDateTime({2024, 7, 8, 19, 55, 58});
    ASSERT_TRUE(v);
    EXPECT_EQ(DateTimeToDatecode(*v), (dv::Datecode{2024, 7, 8, 19, 55, 58}));
    EXPECT_EQ(DateTimeToDatecode(*v + 0.6 * kOneSecond), (dv::Datecode{2024, 7, 8, 19, 55, 59}));
    EXPECT_EQ(DayOfWeek(*v), 2) << "8 July 2024 was a Monday";
    EXPECT_EQ(DayOfWeek(0), 7) << "30 December 1899 was a Saturday";
    EXPECT_EQ(DayOfWeek(-1.25), 6);
}

TEST(DateTimeValue, UnixSecondsAndLocalTime) {
    EXPECT_DOUBLE_EQ(DateTimeFromUnix(0), 25569.0);
    EXPECT_DOUBLE_EQ(UnixFromDateTime(25569.5), 43200.0);

    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    // Central European time without depending on the zone database.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    const double summer = *EncodeDateTime({2024, 7, 8, 12, 0, 0, 0});
    const double winter = *EncodeDateTime({2024, 1, 8, 12, 0, 0, 0});
    EXPECT_NEAR(*LocalToUtc(summer), summer - 2.0 / 24, 1e-9);
    EXPECT_NEAR(*LocalToUtc(winter), winter - 1.0 / 24, 1e-9);
    EXPECT_NEAR(*UtcToLocal(*LocalToUtc(summer)), summer, 1e-9);
    EXPECT_NEAR(*UtcToLocal(winter), winter + 1.0 / 24, 1e-9);
    EXPECT_FALSE(UtcToLocal(std::nan("")));
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
}  // namespace kelvor
