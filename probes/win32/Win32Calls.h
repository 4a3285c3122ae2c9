// The Windows calls of the probes, through one table of function pointers.
// By default every entry is the real API; a test replaces single entries to
// make exactly one call fail and restores the table afterwards.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

namespace quorvane::win32 {

struct TWin32Calls {
    // The tool-help binding.
    decltype(&::GetModuleHandleA) GetModuleHandleA = &::GetModuleHandleA;
    decltype(&::GetProcAddress) GetProcAddress = &::GetProcAddress;
    // Handles and errors.
    decltype(&::CloseHandle) CloseHandle = &::CloseHandle;
    decltype(&::GetLastError) GetLastError = &::GetLastError;
    decltype(&::FormatMessageA) FormatMessageA = &::FormatMessageA;
    // The debug privilege.
    decltype(&::GetCurrentProcess) GetCurrentProcess = &::GetCurrentProcess;
    decltype(&::OpenProcessToken) OpenProcessToken = &::OpenProcessToken;
    decltype(&::LookupPrivilegeValueA) LookupPrivilegeValueA = &::LookupPrivilegeValueA;
    decltype(&::AdjustTokenPrivileges) AdjustTokenPrivileges = &::AdjustTokenPrivileges;
    // Process times and priority.
    decltype(&::OpenProcess) OpenProcess = &::OpenProcess;
    decltype(&::GetProcessTimes) GetProcessTimes = &::GetProcessTimes;
    decltype(&::FileTimeToLocalFileTime) FileTimeToLocalFileTime = &::FileTimeToLocalFileTime;
    decltype(&::FileTimeToSystemTime) FileTimeToSystemTime = &::FileTimeToSystemTime;
    decltype(&::GetPriorityClass) GetPriorityClass = &::GetPriorityClass;
    // The user's date and time formats.
    decltype(&::GetDateFormatA) GetDateFormatA = &::GetDateFormatA;
    decltype(&::GetTimeFormatA) GetTimeFormatA = &::GetTimeFormatA;
    decltype(&::GetLocaleInfoA) GetLocaleInfoA = &::GetLocaleInfoA;
    // The Windows directory.
    decltype(&::SHGetSpecialFolderPathA) SHGetSpecialFolderPathA = &::SHGetSpecialFolderPathA;
    // Process icons.
    decltype(&::SHGetFileInfoA) SHGetFileInfoA = &::SHGetFileInfoA;
    decltype(&::ImageList_ReplaceIcon) ImageList_ReplaceIcon = &::ImageList_ReplaceIcon;
    decltype(&::ImageList_Remove) ImageList_Remove = &::ImageList_Remove;
    decltype(&::DestroyIcon) DestroyIcon = &::DestroyIcon;
    // The platform check.
    decltype(&::GetVersionExA) GetVersionExA = &::GetVersionExA;
};

// The table every probe calls through; lives as long as the program.
TWin32Calls& Win32Calls();

}  // namespace quorvane::win32
