#include "probes/ProbeText.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

constexpr TFileTime kMs = 10'000;
constexpr TFileTime kSecond = 1000 * kMs;
constexpr TFileTime kMinute = 60 * kSecond;
constexpr TFileTime kHour = 60 * kMinute;

TEST(NormaliseImagePath, Prefixes) {
    int Asked = 0;
    const auto FailedFolderQuery = [&Asked] {
        ++Asked;
        return std::string("C:\\Windows\\");
    };
    const std::pair<const char*, const char*> Cases[] = {
        {"\\??\\C:\\Programs\\tool.exe", "C:\\Programs\\tool.exe"},
        {"\\SystemRoot\\System32\\smss.exe", "C:\\Windows\\System32\\smss.exe"},
        {"\\systemroot\\System32\\smss.exe", "\\systemroot\\System32\\smss.exe"},
        {"\\\\?\\C:\\x.exe", "\\\\?\\C:\\x.exe"},
        {"\\??\\", ""},
        {"\\SystemRoot\\", "C:\\Windows\\"},
        {"\\??\\\\SystemRoot\\a.exe", "\\SystemRoot\\a.exe"},
        {"\\??", "\\??"},
        {"", ""},
        {"/usr/bin/bash", "/usr/bin/bash"},
    };
    for (const auto& [In, Out] : Cases)
        EXPECT_EQ(NormaliseImagePath(In, FailedFolderQuery), Out) << In;
    EXPECT_EQ(Asked, 2);  // only for the two \SystemRoot\ paths
    EXPECT_EQ(NormaliseImagePath("\\SystemRoot\\x", [] { return std::string("D:\\WIN\\\\"); }), "D:\\WIN\\\\x");
}

TEST(DurationText, CutToMillisecondsAndShownBelow24Hours) {
    EXPECT_EQ(DurationText(0), "00:00:00.000");
    EXPECT_EQ(DurationText(25 * kHour), "01:00:00.000");
    EXPECT_EQ(DurationText(kHour + 2 * kMinute + 3 * kSecond + 4 * kMs + 9999), "01:02:03.004");
    EXPECT_EQ(DurationText(23 * kHour + 59 * kMinute + 59 * kSecond + 999 * kMs), "23:59:59.999");
    EXPECT_EQ(DurationText(5 * kSecond, '.'), "00.00.05.000");
}

TEST(DurationText, CpuTimeAddsTheTwoCutParts) {
    EXPECT_EQ(CpuTimeText(kHour + 30 * kMinute, 45 * kMinute + 500 * kMs), "02:15:00.500");
    EXPECT_EQ(CpuTimeText(23 * kHour, 2 * kHour), "01:00:00.000");
    // 0.9 ms twice: each part is cut first, so the sum stays 0.
    EXPECT_EQ(CpuTimeText(9000, 9000), "00:00:00.000");
    EXPECT_EQ(CpuTimeText(25 * kHour, 25 * kHour), "02:00:00.000");
}

TEST(StartTimeText, MidnightShowsTheDateAlone) {
    TSystemTime T;
    EXPECT_EQ(StartTimeText(T, "07.12.2026", "00:00:00"), "07.12.2026");
    T.Milliseconds = 500;  // not part of the test
    EXPECT_EQ(StartTimeText(T, "07.12.2026", "00:00:00"), "07.12.2026");
    T.Second = 1;
    EXPECT_EQ(StartTimeText(T, "07.12.2026", "00:00:01"), "07.12.2026 00:00:01");
}

TEST(TrimSystemMessage, RemovesControlCharactersAndBlanksAtBothEnds) {
    EXPECT_EQ(TrimSystemMessage("Zugriff verweigert\r\n"), "Zugriff verweigert");
    EXPECT_EQ(TrimSystemMessage(" \t\x01x y\x1f "), "x y");
    EXPECT_EQ(TrimSystemMessage("\r\n"), "");
    EXPECT_EQ(TrimSystemMessage("\xe4rger"), "\xe4rger");  // bytes above 127 stay
}

}  // namespace
}  // namespace quorvane
