// The process queries of the Windows build, over the tool-help binding and
// the calls of Win32Calls(). None of them raises or shows anything: each
// failure ends in a status text, a remark or an answer of false.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "catalogue/ProcessSource.h"

namespace quorvane::win32 {

// Enables SeDebugPrivilege in the own access token. Empty on success (also
// when the account does not hold the privilege), else "OPENPROCESSTOKEN=" or
// "ADJUSTTOKENPRIVILEGES=" with the error number in decimal. A failed lookup
// of the privilege counts as a failed adjustment, with the lookup's error.
std::string EnableDebugPrivilege();

// Hands on every entry of a process snapshot in the platform's order.
void EnumerateProcesses(const std::function<void(const TProcessEntry&)>& Visit);

// Path (normalised) and in-memory size of the process's main module. A failed
// snapshot writes the system's message to Remark; a failed Module32First
// writes nothing at all.
bool QueryImageFile(std::uint32_t ProcessId, std::string& ImagePath, std::uint32_t& ImageSize, std::string& Remark);

// The modules loaded into the process besides its main module, from a
// snapshot of its 64-bit and 32-bit modules. A failed snapshot or first
// entry leaves the list unread, with the system's message as its problem.
TProcessModules QueryModules(std::uint32_t ProcessId);

// The Windows directory with a trailing backslash; "C:\Windows\" when the
// shell does not tell it. Asked anew on every call.
std::string WindowsDirectory();

// Start time in the user's date and time formats, kernel and CPU time as
// durations, priority class; Times gets each time as a number where its text
// is written. A failed OpenProcess writes the system's message to Remark;
// later failures keep what was written before them.
bool QueryProcessTimes(std::uint32_t ProcessId, std::string& StartTime, std::string& KernelTime,
                       std::string& CpuTime, std::uint32_t& PriorityClass, std::string& Remark,
                       TProcessTimes& Times);

// What the platform check reads of GetVersionExA.
struct TPlatformVersion {
    std::uint32_t PlatformId = 0;  // VER_PLATFORM_WIN32_NT = 2
    std::uint32_t MajorVersion = 0;
    std::uint32_t MinorVersion = 0;
};

// GetVersionExA with an OSVERSIONINFOA of its own size; false when the call fails.
bool QueryPlatformVersion(TPlatformVersion& Version);

}  // namespace quorvane::win32
