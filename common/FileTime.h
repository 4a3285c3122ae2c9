// Calendar arithmetic on Windows FILETIME counts, portable so that both builds
// format durations and file dates identically.
#pragma once

#include <cstdint>

namespace quorvane {

// A FILETIME count: 100-nanosecond units since 1601-01-01 00:00 UTC.
using TFileTime = std::uint64_t;

constexpr TFileTime kFileTimeTicksPerMs = 10'000;
constexpr TFileTime kFileTimeTicksPerDay = 86'400'000ULL * kFileTimeTicksPerMs;

// The calendar form of a FILETIME, field by field as SYSTEMTIME has it.
struct TSystemTime {
    std::uint16_t Year = 0;
    std::uint16_t Month = 0;  // 1..12
    std::uint16_t DayOfWeek = 0;  // 0 = Sunday
    std::uint16_t Day = 0;  // 1..31
    std::uint16_t Hour = 0;
    std::uint16_t Minute = 0;
    std::uint16_t Second = 0;
    std::uint16_t Milliseconds = 0;
};

// Cuts the count to whole milliseconds and splits it into calendar fields.
// Refuses counts with the top bit set, as the Windows conversion does, and
// then leaves Out untouched.
bool FileTimeToSystemTime(TFileTime Time, TSystemTime& Out);

// Days from 1899-12-30 with the time of day as the fraction (the OLE/VCL
// date-time). For a day before 1899-12-30 the time of day is subtracted from
// the negative day number. Answers false for fields that form no valid date
// or time (year outside 1..9999, month, day or clock out of range).
bool TryEncodeDateTime(const TSystemTime& Fields, double& Out);

}  // namespace quorvane
