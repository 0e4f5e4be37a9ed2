#include "core/files/DateTime.h"

#include <cerrno>
#include <cmath>
#include <ctime>

#include "core/files/Rounding.h"

namespace kelvor {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-date algorithm).
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct YMD {
    std::int64_t y;
    unsigned m;
    unsigned d;
};

constexpr YMD civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {y + (m <= 2), m, d};
}

constexpr std::int64_t kEpochDays = daysFromCivil(1899, 12, 30);  // relative to 1970-01-01
constexpr std::int64_t kFirstDay = daysFromCivil(1, 1, 1) - kEpochDays;
constexpr std::int64_t kLastDay = daysFromCivil(9999, 12, 31) - kEpochDays;
constexpr double kSecondsPerDay = 86400.0;

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

}  // namespace

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

std::optional<double> EncodeDate(int year, int month, int day) {
    if (!IsValidDate(year, month, day))
        return std::nullopt;
    return static_cast<double>(
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays);
}

std::optional<double> EncodeTime(int hour, int minute, int second, int millisecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999)
        return std::nullopt;
    const std::int64_t ms =
        ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    return static_cast<double>(ms) / static_cast<double>(kMillisecondsPerDay);
}

std::optional<double> EncodeDateTime(const CivilDateTime& f) {
    const auto date = EncodeDate(f.Year, f.Month, f.Day);
    const auto time = EncodeTime(f.Hour, f.Minute, f.Second, f.Millisecond);
    if (!date || !time)
        return std::nullopt;
    // Before the epoch the time of day still counts forward, so it is subtracted from the day.
    return *date >= 0 ? *date + *time : *date - *time;
}

std::optional<CivilDateTime> DecodeDateTime(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double whole = std::trunc(value);
    if (whole < static_cast<double>(kFirstDay) - 1 || whole > static_cast<double>(kLastDay) + 1)
        return std::nullopt;
    std::int64_t day = static_cast<std::int64_t>(whole);
    std::int64_t ms = RoundHalfEven(std::fabs(value - whole) * kMillisecondsPerDay);
    if (ms >= kMillisecondsPerDay) {
        // The fraction rounded up to a whole day: the next day forward in time.
        ms -= kMillisecondsPerDay;
        day += value >= 0 ? 1 : -1;
    }
    if (day < kFirstDay || day > kLastDay)
        return std::nullopt;
    const YMD ymd = civilFromDays(day + kEpochDays);
    CivilDateTime f;
    f.Year = static_cast<int>(ymd.y);
    f.Month = static_cast<int>(ymd.m);
    f.Day = static_cast<int>(ymd.d);
    f.Millisecond = static_cast<int>(ms % 1000);
    const std::int64_t secs = ms / 1000;
    f.Second = static_cast<int>(secs % 60);
    f.Minute = static_cast<int>((secs / 60) % 60);
    f.Hour = static_cast<int>(secs / 3600);
    return f;
}

int DayOfWeek(double value) {
    // Day 0 (30 December 1899) was a Saturday.
    const std::int64_t day = static_cast<std::int64_t>(std::trunc(value));
    const std::int64_t w = ((day % 7) + 7 + 6) % 7;  // 0 = Sunday
    return static_cast<int>(w) + 1;
}

std::optional<double> DatecodeToDateTime(const dv::Datecode& d) {
    return EncodeDateTime({d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second, 0});
}

std::optional<dv::Datecode> DateTimeToDatecode(double value) {
    // Round to the second first, so 12:00:00.999 becomes 12:00:01 rather than 12:00:00.
    const double rounded =
        static_cast<double>(RoundHalfEven(value * kSecondsPerDay)) / kSecondsPerDay;
    const auto f = DecodeDateTime(rounded);
    if (!f)
        return std::nullopt;
    dv::Datecode d;
    d.Year = f->Year;
    d.Month = static_cast<std::uint8_t>(f->Month);
    d.Day = static_cast<std::uint8_t>(f->Day);
    d.Hour = static_cast<std::uint8_t>(f->Hour);
    d.Minute = static_cast<std::uint8_t>(f->Minute);
    d.Second = static_cast<std::uint8_t>(f->Second);
    return d;
}

double DateTimeFromUnix(double unixSeconds) {
    return unixSeconds / kSecondsPerDay - static_cast<double>(kEpochDays);
}

double UnixFromDateTime(double value) {
    return (value + static_cast<double>(kEpochDays)) * kSecondsPerDay;
}

std::optional<double> LocalToUtc(double localValue) {
    const auto f = DecodeDateTime(localValue);
    if (!f)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = f->Year - 1900;
    tm.tm_mon = f->Month - 1;
    tm.tm_mday = f->Day;
    tm.tm_hour = f->Hour;
    tm.tm_min = f->Minute;
    tm.tm_sec = f->Second;
    tm.tm_isdst = -1;  // let the C library decide whether summer time applies
    errno = 0;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && errno != 0)
        return std::nullopt;
    return DateTimeFromUnix(static_cast<double>(t) + f->Millisecond / 1000.0);
}

std::optional<double> UtcToLocal(double utcValue) {
    if (!std::isfinite(utcValue))
        return std::nullopt;
    const double unix = UnixFromDateTime(utcValue);
    const double whole = std::floor(unix);
    if (whole < -62135596800.0 || whole > 253402300799.0)
        return std::nullopt;
    const std::time_t t = static_cast<std::time_t>(whole);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr)
        return std::nullopt;
    const auto date = EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    if (!date)
        return std::nullopt;
    const double secondsOfDay = tm.tm_hour * 3600.0 + tm.tm_min * 60.0 + tm.tm_sec + (unix - whole);
    const double fraction = secondsOfDay / kSecondsPerDay;
    return *date >= 0 ? *date + fraction : *date - fraction;
}

}  // namespace kelvor
