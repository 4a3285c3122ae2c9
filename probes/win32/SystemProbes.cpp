#include "probes/win32/SystemProbes.h"

#include <cstring>
#include <memory>

#include "probes/Probes.h"
#include "probes/ProbeText.h"
#include "probes/win32/TlHelp32.h"
#include "probes/win32/Win32Calls.h"

namespace quorvane {

std::string SystemErrorText(std::uint32_t Error) {
    char Buffer[4096];
    // No insertion arguments are passed, so inserts in a message stay as they are.
    const DWORD Length = win32::Win32Calls().FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                                            nullptr, Error, 0, Buffer, sizeof Buffer, nullptr);
    if (Length == 0 || Length >= sizeof Buffer)
        return std::string();
    return TrimSystemMessage(std::string(Buffer, Length));
}

namespace win32 {
namespace {

constexpr DWORD kTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
static_assert(kTokenAccess == 0x28);
static_assert(sizeof(TOKEN_PRIVILEGES) == 16, "the one-entry request is passed with length 16");

std::string StatusText(const char* Call, DWORD Error) {
    return std::string(Call) + "=" + std::to_string(static_cast<std::uint32_t>(Error));
}

// The characters before the first NUL, at most Size.
std::string FixedText(const char* Field, std::size_t Size) { return std::string(Field, strnlen(Field, Size)); }

TFileTime Ticks(const FILETIME& Time) {
    return static_cast<TFileTime>(Time.dwHighDateTime) << 32 | Time.dwLowDateTime;
}

TSystemTime CalendarFields(const SYSTEMTIME& Time) {
    TSystemTime Fields;
    Fields.Year = Time.wYear;
    Fields.Month = Time.wMonth;
    Fields.DayOfWeek = Time.wDayOfWeek;
    Fields.Day = Time.wDay;
    Fields.Hour = Time.wHour;
    Fields.Minute = Time.wMinute;
    Fields.Second = Time.wSecond;
    Fields.Milliseconds = Time.wMilliseconds;
    return Fields;
}

// The user's short date and long time format; empty when the locale call fails.
std::string DateText(const SYSTEMTIME& Time) {
    char Buffer[256];
    const int Length = Win32Calls().GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &Time, nullptr, Buffer,
                                                   sizeof Buffer);
    return Length > 0 ? FixedText(Buffer, sizeof Buffer) : std::string();
}

std::string TimeText(const SYSTEMTIME& Time) {
    char Buffer[256];
    const int Length = Win32Calls().GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &Time, nullptr, Buffer, sizeof Buffer);
    return Length > 0 ? FixedText(Buffer, sizeof Buffer) : std::string();
}

char TimeSeparator() {
    char Buffer[8] = {};
    if (Win32Calls().GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, Buffer, sizeof Buffer) > 0 && Buffer[0])
        return Buffer[0];
    return ':';
}

class TProcessTimesQuery {
public:
    explicit TProcessTimesQuery(HANDLE Process) : FProcess(Process) {}
    ~TProcessTimesQuery() { Win32Calls().CloseHandle(FProcess); }
    TProcessTimesQuery(const TProcessTimesQuery&) = delete;
    TProcessTimesQuery& operator=(const TProcessTimesQuery&) = delete;

    bool Run(std::string& StartTime, std::string& KernelTime, std::string& CpuTime, std::uint32_t& PriorityClass,
             TProcessTimes& Times) {
        TWin32Calls& Calls = Win32Calls();
        FILETIME Creation{}, Exit{}, Kernel{}, User{};
        if (!Calls.GetProcessTimes(FProcess, &Creation, &Exit, &Kernel, &User))
            return false;
        FILETIME LocalCreation{};
        SYSTEMTIME Start{};
        if (!Calls.FileTimeToLocalFileTime(&Creation, &LocalCreation) ||
            !Calls.FileTimeToSystemTime(&LocalCreation, &Start))
            return false;
        StartTime = StartTimeText(CalendarFields(Start), DateText(Start), TimeText(Start));
        Times.StartUtc = Ticks(Creation);

        const char Separator = TimeSeparator();
        SYSTEMTIME Clock{};
        if (!Calls.FileTimeToSystemTime(&Kernel, &Clock))
            return false;
        KernelTime = DurationText(Ticks(Kernel), Separator);
        Times.Kernel = Ticks(Kernel);
        if (!Calls.FileTimeToSystemTime(&User, &Clock))
            return false;
        CpuTime = CpuTimeText(Ticks(Kernel), Ticks(User), Separator);
        Times.Cpu = Ticks(Kernel) + Ticks(User);

        // 0 when the call fails: stored as it comes.
        PriorityClass = Calls.GetPriorityClass(FProcess);
        return true;
    }

private:
    HANDLE FProcess;
};

class TWin32ProcessSource final : public IProcessSource {
public:
    std::string EnableDebugPrivilege() override { return win32::EnableDebugPrivilege(); }

    void EnumerateProcesses(const std::function<void(const TProcessEntry&)>& Visit) override {
        win32::EnumerateProcesses(Visit);
    }

    bool QueryImageFile(std::uint32_t ProcessId, std::string& ImagePath, std::uint32_t& ImageSize,
                        std::string& Remark) override {
        return win32::QueryImageFile(ProcessId, ImagePath, ImageSize, Remark);
    }

    bool QueryProcessTimes(std::uint32_t ProcessId, std::string& StartTime, std::string& KernelTime,
                           std::string& CpuTime, std::uint32_t& PriorityClass, std::string& Remark) override {
        FLastTimes = {};
        return win32::QueryProcessTimes(ProcessId, StartTime, KernelTime, CpuTime, PriorityClass, Remark,
                                        FLastTimes);
    }

    TProcessTimes LastProcessTimes() override { return FLastTimes; }

    TProcessModules QueryModules(std::uint32_t ProcessId) override { return win32::QueryModules(ProcessId); }

    std::string HostName() override {
        char Name[256] = {};
        DWORD Size = sizeof Name;
        return ::GetComputerNameExA(ComputerNameDnsHostname, Name, &Size) ? std::string(Name, Size) : std::string();
    }

private:
    TProcessTimes FLastTimes;
};

}  // namespace

TWin32Calls& Win32Calls() {
    static TWin32Calls Calls;
    return Calls;
}

std::string EnableDebugPrivilege() {
    TWin32Calls& Calls = Win32Calls();
    HANDLE Token = nullptr;
    if (!Calls.OpenProcessToken(Calls.GetCurrentProcess(), kTokenAccess, &Token))
        return StatusText("OPENPROCESSTOKEN", Calls.GetLastError());

    TOKEN_PRIVILEGES Request{};
    Request.PrivilegeCount = 1;
    Request.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES Previous{};  // received, never read
    std::string Status;
    // Without the identifier the request would name no privilege at all; the
    // lookup's failure is reported as the adjustment's.
    if (!Calls.LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &Request.Privileges[0].Luid)) {
        Status = StatusText("ADJUSTTOKENPRIVILEGES", Calls.GetLastError());
    } else {
        DWORD ReturnLength = 0;
        if (!Calls.AdjustTokenPrivileges(Token, FALSE, &Request, sizeof Request, &Previous, &ReturnLength))
            Status = StatusText("ADJUSTTOKENPRIVILEGES", Calls.GetLastError());
    }
    Calls.CloseHandle(Token);
    return Status;
}

void EnumerateProcesses(const std::function<void(const TProcessEntry&)>& Visit) {
    const HANDLE Snapshot = tlhelp32::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (Snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 Entry{};
    Entry.dwSize = sizeof Entry;  // set once, before the first call
    for (BOOL More = tlhelp32::Process32First(Snapshot, &Entry); More;
         More = tlhelp32::Process32Next(Snapshot, &Entry)) {
        TProcessEntry Process;
        Process.ExeFile = FixedText(Entry.szExeFile, sizeof Entry.szExeFile);
        Process.ProcessId = Entry.th32ProcessID;
        Process.ParentProcessId = Entry.th32ParentProcessID;
        Process.Threads = static_cast<std::int32_t>(Entry.cntThreads);
        Visit(Process);
    }
    // The unbound wrapper's null handle is no handle.
    if (Snapshot)
        Win32Calls().CloseHandle(Snapshot);
}

bool QueryImageFile(std::uint32_t ProcessId, std::string& ImagePath, std::uint32_t& ImageSize, std::string& Remark) {
    TWin32Calls& Calls = Win32Calls();
    const HANDLE Snapshot = tlhelp32::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, ProcessId);
    if (Snapshot == INVALID_HANDLE_VALUE) {
        Remark = SystemErrorText(Calls.GetLastError());
        return false;
    }
    MODULEENTRY32 Module{};
    Module.dwSize = sizeof Module;
    const bool Found = tlhelp32::Module32First(Snapshot, &Module);
    if (Found) {
        ImagePath = NormaliseImagePath(FixedText(Module.szExePath, sizeof Module.szExePath), WindowsDirectory);
        ImageSize = Module.modBaseSize;
    }
    if (Snapshot)
        Calls.CloseHandle(Snapshot);
    return Found;
}

TProcessModules QueryModules(std::uint32_t ProcessId) {
    TWin32Calls& Calls = Win32Calls();
    TProcessModules Result;
    HANDLE Snapshot = INVALID_HANDLE_VALUE;
    DWORD Error = 0;
    // While the process loads or unloads a module the snapshot may fail with
    // ERROR_BAD_LENGTH; it is taken again.
    for (int Attempt = 0; Attempt < 3 && Snapshot == INVALID_HANDLE_VALUE; ++Attempt) {
        Snapshot = tlhelp32::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, ProcessId);
        Error = Snapshot == INVALID_HANDLE_VALUE ? Calls.GetLastError() : 0;
        if (Error != ERROR_BAD_LENGTH)
            break;
    }
    if (Snapshot == INVALID_HANDLE_VALUE) {
        Result.Problem = SystemErrorText(Error);
        return Result;
    }
    if (!Snapshot)  // the unbound wrapper: nothing to list
        return Result;
    MODULEENTRY32 Module{};
    Module.dwSize = sizeof Module;
    if (!tlhelp32::Module32First(Snapshot, &Module)) {
        Result.Problem = SystemErrorText(Calls.GetLastError());
    } else {
        // The first entry is the main module: the image itself.
        Result.Listed = true;
        while (tlhelp32::Module32Next(Snapshot, &Module)) {
            TLoadedModule& Loaded = Result.Modules.emplace_back();
            Loaded.Path = NormaliseImagePath(FixedText(Module.szExePath, sizeof Module.szExePath), WindowsDirectory);
            Loaded.ContentPath = Loaded.Path;
        }
    }
    Calls.CloseHandle(Snapshot);
    return Result;
}

std::string WindowsDirectory() {
    char Buffer[MAX_PATH + 1] = {};
    if (!Win32Calls().SHGetSpecialFolderPathA(nullptr, Buffer, CSIDL_WINDOWS, FALSE))
        return "C:\\Windows\\";
    return FixedText(Buffer, sizeof Buffer) + "\\";
}

bool QueryProcessTimes(std::uint32_t ProcessId, std::string& StartTime, std::string& KernelTime,
                       std::string& CpuTime, std::uint32_t& PriorityClass, std::string& Remark,
                       TProcessTimes& Times) {
    TWin32Calls& Calls = Win32Calls();
    const HANDLE Process = Calls.OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, ProcessId);
    if (!Process) {
        Remark = SystemErrorText(Calls.GetLastError());
        return false;
    }
    TProcessTimesQuery Query(Process);
    return Query.Run(StartTime, KernelTime, CpuTime, PriorityClass, Times);
}

bool QueryPlatformVersion(TPlatformVersion& Version) {
    OSVERSIONINFOA Info{};
    Info.dwOSVersionInfoSize = sizeof Info;
    if (!Win32Calls().GetVersionExA(&Info))
        return false;
    Version.PlatformId = Info.dwPlatformId;
    Version.MajorVersion = Info.dwMajorVersion;
    Version.MinorVersion = Info.dwMinorVersion;
    return true;
}

}  // namespace win32

std::unique_ptr<IProcessSource> CreateSystemProcessSource() { return std::make_unique<win32::TWin32ProcessSource>(); }

}  // namespace quorvane
