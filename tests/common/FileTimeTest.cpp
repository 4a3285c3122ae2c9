#include "common/FileTime.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(FileTimeToSystemTime, CalendarFields) {
    TSystemTime T;
    ASSERT_TRUE(FileTimeToSystemTime(0, T));
    EXPECT_EQ(T.Year, 1601);
    EXPECT_EQ(T.Month, 1);
    EXPECT_EQ(T.Day, 1);
    EXPECT_EQ(T.DayOfWeek, 1);  // Monday

    // 2026-12-07 13:14:15.678 UTC (a Monday), plus sub-millisecond ticks that are cut.
    const TFileTime Dec7 = 134410752000000000ULL + ((13 * 60 + 14) * 60 + 15) * 10'000'000ULL + 6'789'999ULL;
    ASSERT_TRUE(FileTimeToSystemTime(Dec7, T));
    EXPECT_EQ(T.Year, 2026);
    EXPECT_EQ(T.Month, 12);
    EXPECT_EQ(T.Day, 7);
    EXPECT_EQ(T.DayOfWeek, 1);
    EXPECT_EQ(T.Hour, 13);
    EXPECT_EQ(T.Minute, 14);
    EXPECT_EQ(T.Second, 15);
    EXPECT_EQ(T.Milliseconds, 678);

    // Leap day of a year divisible by 400.
    ASSERT_TRUE(FileTimeToSystemTime(125911584000000000ULL + 59 * kFileTimeTicksPerDay, T));
    EXPECT_EQ(T.Month, 2);
    EXPECT_EQ(T.Day, 29);
}

TEST(FileTimeToSystemTime, TopBitIsRefusedAndLeavesTheOutput) {
    TSystemTime T;
    T.Year = 1234;
    EXPECT_FALSE(FileTimeToSystemTime(0x8000000000000000ULL, T));
    EXPECT_EQ(T.Year, 1234);
    ASSERT_TRUE(FileTimeToSystemTime(0x7FFFFFFFFFFFFFFFULL, T));
    EXPECT_EQ(T.Year, 30828);
}

TEST(TryEncodeDateTime, DaysFrom1899WithTimeFraction) {
    double D = 0;
    TSystemTime T{1899, 12, 0, 30, 0, 0, 0, 0};
    ASSERT_TRUE(TryEncodeDateTime(T, D));
    EXPECT_EQ(D, 0);
    T = {1899, 12, 0, 29, 6, 0, 0, 0};
    ASSERT_TRUE(TryEncodeDateTime(T, D));
    EXPECT_DOUBLE_EQ(D, -1.25);  // before the epoch the time of day is subtracted
    T = {1601, 1, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(TryEncodeDateTime(T, D));
    EXPECT_EQ(D, -109205);
    T = {9999, 12, 0, 31, 23, 59, 59, 999};
    EXPECT_TRUE(TryEncodeDateTime(T, D));
    for (TSystemTime Bad : {TSystemTime{0, 1, 0, 1}, TSystemTime{10000, 1, 0, 1}, TSystemTime{2023, 2, 0, 29},
                            TSystemTime{2024, 13, 0, 1}, TSystemTime{2024, 1, 0, 1, 24}}) {
        EXPECT_FALSE(TryEncodeDateTime(Bad, D)) << Bad.Year << "-" << Bad.Month << "-" << Bad.Day;
    }
}

}  // namespace
}  // namespace quorvane
