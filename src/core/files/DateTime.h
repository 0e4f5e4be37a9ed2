// The date-time value: days since 30 December 1899 as a 64-bit float, the time of day as the
// fraction (one second is 1/86400). Datecodes, file times and the time difference all use it.
//
// Pure functions, callable from any thread; the local-time conversions read the process's time
// zone (TZ) through the C library.
#pragma once

#include <cstdint>
#include <optional>

#include "core/dv/DvPacks.h"

namespace kelvor {

inline constexpr double kOneSecond = 1.0 / 86400.0;
inline constexpr std::int64_t kMillisecondsPerDay = 86400000;

struct CivilDateTime {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
    friend bool operator==(const CivilDateTime&, const CivilDateTime&) = default;
};

// True when the fields form a real calendar date of the years 1 to 9999.
bool IsValidDate(int year, int month, int day);
int DaysInMonth(int year, int month);

// An invalid date or time gives no value.
std::optional<double> EncodeDate(int year, int month, int day);
std::optional<double> EncodeTime(int hour, int minute, int second, int millisecond = 0);
std::optional<double> EncodeDateTime(const CivilDateTime& fields);

// The fields of a value, the milliseconds rounded; no value for NaN, infinities and values
// outside the years 1 to 9999. Before the epoch the fraction still counts forward from midnight
// (-1.25 is 29 December 1899, 06:00).
std::optional<CivilDateTime> DecodeDateTime(double value);

// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(double value);

// A datecode as a date-time value; no value when its fields are not a real date and time
// (the case of packs filled with FF bytes).
std::optional<double> DatecodeToDateTime(const dv::Datecode& datecode);
// The datecode of a value (the seconds rounded, the year as it is).
std::optional<dv::Datecode> DateTimeToDatecode(double value);

// Seconds since 1970-01-01 00:00 UTC and back, with the fraction kept.
double DateTimeFromUnix(double unixSeconds);
double UnixFromDateTime(double value);

// Local civil time (the process's time zone) to UTC and back. No value when the value cannot be
// decoded or the C library cannot convert it.
std::optional<double> LocalToUtc(double localValue);
std::optional<double> UtcToLocal(double utcValue);

}  // namespace kelvor
