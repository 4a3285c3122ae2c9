// Start time, CPU times and priority class, and each step that can fail.
#include <regex>

#include "probes/Probes.h"
#include "probes/win32/SystemProbes.h"
#include "tests/probes/win32/ProbeFixture.h"

namespace quorvane::win32::testing {
namespace {

HANDLE FakeProcess() { return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x0C0C)); }

constexpr ULONGLONG kTicksPerMs = 10'000;
constexpr ULONGLONG kTicksPerHour = 3'600'000 * kTicksPerMs;

FILETIME Ticks(ULONGLONG Value) { return FILETIME{static_cast<DWORD>(Value), static_cast<DWORD>(Value >> 32)}; }

struct TTimesLog {
    bool OpenFails = false;
    bool TimesFail = false;
    bool LocalFails = false;
    int FailingConversion = 0;  // the n-th FileTimeToSystemTime fails; 0: none
    int Conversions = 0;
    DWORD Priority = HIGH_PRIORITY_CLASS;
    FILETIME Creation{}, Kernel{}, User{};
    DWORD OpenAccess = 0;
    BOOL OpenInherit = TRUE;
    DWORD OpenId = 0;
};

TTimesLog& TimesLog() {
    static TTimesLog Log;
    return Log;
}

HANDLE WINAPI StandInOpenProcess(DWORD Access, BOOL Inherit, DWORD Id) {
    TimesLog().OpenAccess = Access;
    TimesLog().OpenInherit = Inherit;
    TimesLog().OpenId = Id;
    return TimesLog().OpenFails ? nullptr : FakeProcess();
}

BOOL WINAPI StandInTimes(HANDLE Process, LPFILETIME Creation, LPFILETIME Exit, LPFILETIME Kernel, LPFILETIME User) {
    EXPECT_EQ(FakeProcess(), Process);
    if (TimesLog().TimesFail)
        return FALSE;
    *Creation = TimesLog().Creation;
    *Exit = FILETIME{};
    *Kernel = TimesLog().Kernel;
    *User = TimesLog().User;
    return TRUE;
}

// UTC is local time here, so the texts do not depend on the machine's zone.
BOOL WINAPI StandInLocal(const FILETIME* Utc, LPFILETIME Local) {
    if (TimesLog().LocalFails)
        return FALSE;
    *Local = *Utc;
    return TRUE;
}

BOOL WINAPI StandInConversion(const FILETIME* Time, LPSYSTEMTIME Calendar) {
    if (++TimesLog().Conversions == TimesLog().FailingConversion)
        return FALSE;
    return ::FileTimeToSystemTime(Time, Calendar);
}

DWORD WINAPI StandInPriority(HANDLE Process) {
    EXPECT_EQ(FakeProcess(), Process);
    return TimesLog().Priority;
}

// German formats, as a German user has them.
int WINAPI StandInDate(LCID, DWORD, const SYSTEMTIME* Time, LPCSTR, LPSTR Text, int Size) {
    return std::snprintf(Text, Size, "%02u.%02u.%04u", Time->wDay, Time->wMonth, Time->wYear) + 1;
}

int WINAPI StandInTime(LCID, DWORD, const SYSTEMTIME* Time, LPCSTR, LPSTR Text, int Size) {
    return std::snprintf(Text, Size, "%02u:%02u:%02u", Time->wHour, Time->wMinute, Time->wSecond) + 1;
}

class ProcessTimesTest : public ProbeTest {
protected:
    void SetUp() override {
        ProbeTest::SetUp();
        TimesLog() = TTimesLog();
        RecordHandlesAndErrors();
        TWin32Calls& Calls = Win32Calls();
        Calls.OpenProcess = StandInOpenProcess;
        Calls.GetProcessTimes = StandInTimes;
        Calls.FileTimeToLocalFileTime = StandInLocal;
        Calls.FileTimeToSystemTime = StandInConversion;
        Calls.GetPriorityClass = StandInPriority;
        Calls.GetDateFormatA = StandInDate;
        Calls.GetTimeFormatA = StandInTime;
        // 2026-03-01 14:05:09 UTC
        SYSTEMTIME Start{2026, 3, 0, 1, 14, 5, 9, 250};
        ::SystemTimeToFileTime(&Start, &TimesLog().Creation);
        TimesLog().Kernel = Ticks(kTicksPerHour * 3 / 2);  // 1 h 30 min
        TimesLog().User = Ticks(kTicksPerHour * 3 / 4 + 500 * kTicksPerMs);  // 45 min 0.5 s
    }

    bool Query() {
        FStart = FKernel = FCpu = "unset";
        FPriority = 1;
        FRemark = "old remark";
        FTimes = {};
        return QueryProcessTimes(42, FStart, FKernel, FCpu, FPriority, FRemark, FTimes);
    }

    // Every way out closes the process handle exactly once.
    void ExpectProcessClosed() { EXPECT_EQ(std::vector<HANDLE>{FakeProcess()}, CallLog().Closed); }

    std::string FStart, FKernel, FCpu, FRemark;
    std::uint32_t FPriority = 0;
    TProcessTimes FTimes;
};

ULONGLONG Value(const FILETIME& Time) { return static_cast<ULONGLONG>(Time.dwHighDateTime) << 32 | Time.dwLowDateTime; }

TEST_F(ProcessTimesTest, WritesAllFourValues) {
    EXPECT_TRUE(Query());
    EXPECT_EQ(static_cast<DWORD>(PROCESS_QUERY_INFORMATION), TimesLog().OpenAccess);
    EXPECT_FALSE(TimesLog().OpenInherit);
    EXPECT_EQ(42u, TimesLog().OpenId);
    EXPECT_EQ("01.03.2026 14:05:09", FStart);
    EXPECT_EQ("01:30:00.000", FKernel);
    EXPECT_EQ("02:15:00.500", FCpu);
    EXPECT_EQ(static_cast<std::uint32_t>(HIGH_PRIORITY_CLASS), FPriority);
    EXPECT_EQ("old remark", FRemark);
    // The same as numbers: the creation in UTC, the durations uncut.
    EXPECT_EQ(Value(TimesLog().Creation), FTimes.StartUtc);
    EXPECT_EQ(kTicksPerHour * 3 / 2, FTimes.Kernel);
    EXPECT_EQ(kTicksPerHour * 9 / 4 + 500 * kTicksPerMs, FTimes.Cpu);
    ExpectProcessClosed();
}

TEST_F(ProcessTimesTest, DurationsUseTheUsersTimeSeparatorAndWrapAtADay) {
    Win32Calls().GetLocaleInfoA = [](LCID, LCTYPE Type, LPSTR Data, int Size) -> int {
        EXPECT_EQ(static_cast<LCTYPE>(LOCALE_STIME), Type);
        return Size >= 2 ? (std::strcpy(Data, "."), 2) : 0;
    };
    TimesLog().Kernel = Ticks(kTicksPerHour * 25);
    TimesLog().User = Ticks(kTicksPerHour * 23 + 999 * kTicksPerMs + 9'999);  // the sub-millisecond part is cut
    EXPECT_TRUE(Query());
    EXPECT_EQ("01.00.00.000", FKernel);
    EXPECT_EQ("00.00.00.999", FCpu);
}

TEST_F(ProcessTimesTest, AStartAtMidnightShowsTheDateAlone) {
    SYSTEMTIME Midnight{2025, 12, 0, 24, 0, 0, 0, 0};
    ::SystemTimeToFileTime(&Midnight, &TimesLog().Creation);
    EXPECT_TRUE(Query());
    EXPECT_EQ("24.12.2025", FStart);
}

TEST_F(ProcessTimesTest, AFailedOpenLeavesTheSystemsMessageAndNothingElse) {
    TimesLog().OpenFails = true;
    CallLog().LastError = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(Query());
    EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED), FRemark);
    EXPECT_FALSE(FRemark.empty());
    EXPECT_EQ("unset", FStart);
    EXPECT_EQ("unset", FKernel);
    EXPECT_EQ("unset", FCpu);
    EXPECT_EQ(1u, FPriority);
    EXPECT_TRUE(CallLog().Closed.empty());
}

TEST_F(ProcessTimesTest, LaterFailuresKeepWhatWasWrittenBeforeThem) {
    struct TCase {
        const char* Step;
        bool TimesFail, LocalFails;
        int FailingConversion;
        bool StartWritten, KernelWritten;
    };
    const TCase Cases[] = {
        {"GetProcessTimes", true, false, 0, false, false},
        {"FileTimeToLocalFileTime", false, true, 0, false, false},
        {"creation time conversion", false, false, 1, false, false},
        {"kernel time conversion", false, false, 2, true, false},
        {"user time conversion", false, false, 3, true, true},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Step);
        TimesLog().TimesFail = Case.TimesFail;
        TimesLog().LocalFails = Case.LocalFails;
        TimesLog().FailingConversion = Case.FailingConversion;
        TimesLog().Conversions = 0;
        CallLog().Closed.clear();
        CallLog().LastError = ERROR_ACCESS_DENIED;
        EXPECT_FALSE(Query());
        EXPECT_EQ(Case.StartWritten ? "01.03.2026 14:05:09" : "unset", FStart);
        EXPECT_EQ(Case.KernelWritten ? "01:30:00.000" : "unset", FKernel);
        EXPECT_EQ("unset", FCpu);
        EXPECT_EQ(Case.StartWritten, FTimes.StartUtc.has_value());
        EXPECT_EQ(Case.KernelWritten, FTimes.Kernel.has_value());
        EXPECT_FALSE(FTimes.Cpu.has_value());
        EXPECT_EQ(1u, FPriority);
        EXPECT_EQ("old remark", FRemark);
        ExpectProcessClosed();
    }
}

TEST_F(ProcessTimesTest, AFailedPriorityQueryIsStoredAsZero) {
    TimesLog().Priority = 0;
    EXPECT_TRUE(Query());
    EXPECT_EQ(0u, FPriority);
    EXPECT_EQ("02:15:00.500", FCpu);
}

TEST(ProcessTimes, OfThisProcessAreReadForReal) {
    std::string Start, Kernel, Cpu, Remark;
    std::uint32_t Priority = 0;
    TProcessTimes Times;
    ASSERT_TRUE(QueryProcessTimes(::GetCurrentProcessId(), Start, Kernel, Cpu, Priority, Remark, Times)) << Remark;
    FILETIME Now;
    ::GetSystemTimeAsFileTime(&Now);
    ASSERT_TRUE(Times.StartUtc && Times.Cpu && Times.Kernel);
    EXPECT_LE(*Times.StartUtc, Value(Now));
    EXPECT_GE(*Times.Cpu, *Times.Kernel);
    EXPECT_FALSE(Start.empty());
    const std::regex Duration(R"(\d\d.\d\d.\d\d\.\d\d\d)");
    EXPECT_TRUE(std::regex_match(Kernel, Duration)) << Kernel;
    EXPECT_TRUE(std::regex_match(Cpu, Duration)) << Cpu;
    EXPECT_EQ(static_cast<std::uint32_t>(NORMAL_PRIORITY_CLASS), Priority);
    EXPECT_TRUE(Remark.empty());
}

TEST(PlatformVersion, IsOfTheNtFamily) {
    TPlatformVersion Version;
    ASSERT_TRUE(QueryPlatformVersion(Version));
    EXPECT_EQ(static_cast<std::uint32_t>(VER_PLATFORM_WIN32_NT), Version.PlatformId);
    EXPECT_GE(Version.MajorVersion, 4u);
}

}  // namespace
}  // namespace quorvane::win32::testing
