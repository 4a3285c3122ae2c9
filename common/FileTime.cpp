#include "common/FileTime.h"

namespace quorvane {
namespace {

constexpr bool IsLeapYear(std::int64_t Year) {
    return (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
}

constexpr int DaysInMonth(std::int64_t Year, int Month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return Month == 2 && IsLeapYear(Year) ? 29 : kDays[Month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr std::int64_t DaysFromCivil(std::int64_t Y, unsigned M, unsigned D) {
    Y -= M <= 2;
    const std::int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
    const auto Yoe = static_cast<unsigned>(Y - Era * 400);
    const unsigned Doy = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
    const unsigned Doe = Yoe * 365 + Yoe / 4 - Yoe / 100 + Doy;
    return Era * 146097 + static_cast<std::int64_t>(Doe) - 719468;
}

constexpr std::int64_t kDays1601To1970 = -DaysFromCivil(1601, 1, 1);
constexpr std::int64_t kDays1899To1970 = -DaysFromCivil(1899, 12, 30);

}  // namespace

bool FileTimeToSystemTime(TFileTime Time, TSystemTime& Out) {
    if (Time >> 63)
        return false;
    const TFileTime Ms = Time / kFileTimeTicksPerMs;
    const std::int64_t Days = static_cast<std::int64_t>(Ms / 86'400'000);
    std::uint64_t MsOfDay = Ms % 86'400'000;

    // Civil from days since 1970 (inverse of DaysFromCivil).
    const std::int64_t Z = Days - kDays1601To1970 + 719468;
    const std::int64_t Era = (Z >= 0 ? Z : Z - 146096) / 146097;
    const auto Doe = static_cast<unsigned>(Z - Era * 146097);
    const unsigned Yoe = (Doe - Doe / 1460 + Doe / 36524 - Doe / 146096) / 365;
    const unsigned Doy = Doe - (365 * Yoe + Yoe / 4 - Yoe / 100);
    const unsigned Mp = (5 * Doy + 2) / 153;
    const unsigned D = Doy - (153 * Mp + 2) / 5 + 1;
    const unsigned M = Mp < 10 ? Mp + 3 : Mp - 9;
    const std::int64_t Y = static_cast<std::int64_t>(Yoe) + Era * 400 + (M <= 2);

    TSystemTime T;
    T.Year = static_cast<std::uint16_t>(Y);
    T.Month = static_cast<std::uint16_t>(M);
    T.Day = static_cast<std::uint16_t>(D);
    T.DayOfWeek = static_cast<std::uint16_t>((Days + 1) % 7);  // 1601-01-01 was a Monday
    T.Milliseconds = static_cast<std::uint16_t>(MsOfDay % 1000);
    MsOfDay /= 1000;
    T.Second = static_cast<std::uint16_t>(MsOfDay % 60);
    MsOfDay /= 60;
    T.Minute = static_cast<std::uint16_t>(MsOfDay % 60);
    T.Hour = static_cast<std::uint16_t>(MsOfDay / 60);
    Out = T;
    return true;
}

bool TryEncodeDateTime(const TSystemTime& F, double& Out) {
    if (F.Year < 1 || F.Year > 9999 || F.Month < 1 || F.Month > 12 || F.Day < 1 ||
        F.Day > DaysInMonth(F.Year, F.Month))
        return false;
    if (F.Hour > 23 || F.Minute > 59 || F.Second > 59 || F.Milliseconds > 999)
        return false;
    const double Days = static_cast<double>(DaysFromCivil(F.Year, F.Month, F.Day) + kDays1899To1970);
    const double Time =
        (((F.Hour * 60.0 + F.Minute) * 60.0 + F.Second) * 1000.0 + F.Milliseconds) / 86'400'000.0;
    Out = Days >= 0 ? Days + Time : Days - Time;
    return true;
}

}  // namespace quorvane
