// Saves and restores the call table and the tool-help binding around each
// test, so that a test may replace single calls with failing stand-ins.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "probes/win32/TlHelp32.h"
#include "probes/win32/Win32Calls.h"

namespace quorvane::win32::testing {

// Stand-ins are plain functions, so what they record lives here.
struct TCallLog {
    std::vector<HANDLE> Closed;
    DWORD LastError = 0;
};

inline TCallLog& CallLog() {
    static TCallLog Log;
    return Log;
}

inline BOOL WINAPI RecordingCloseHandle(HANDLE Handle) {
    CallLog().Closed.push_back(Handle);
    return TRUE;
}

inline DWORD WINAPI FixedLastError() { return CallLog().LastError; }

template <typename TFunction>
FARPROC AsFarProc(TFunction Function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(Function));
}

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        FSavedCalls = Win32Calls();
        FSavedBinding = tlhelp32::ToolHelpBinding();
        CallLog() = TCallLog();
    }
    void TearDown() override {
        Win32Calls() = FSavedCalls;
        tlhelp32::ToolHelpBinding() = FSavedBinding;
    }

    // Closing is recorded (and not carried out: the handles are made up);
    // GetLastError answers CallLog().LastError.
    void RecordHandlesAndErrors() {
        Win32Calls().CloseHandle = RecordingCloseHandle;
        Win32Calls().GetLastError = FixedLastError;
    }

    // The real CloseHandle, for tests that mix stand-ins with real handles.
    static decltype(&::CloseHandle) SavedCloseHandle() { return &::CloseHandle; }

    // A bound table whose slots are the given stand-ins; all other slots null.
    static void BindStandIns(FARPROC Snapshot, FARPROC ProcessFirst, FARPROC ProcessNext, FARPROC ModuleFirst) {
        tlhelp32::TToolHelpBinding Binding;
        Binding.Kernel32 = ::GetModuleHandleA("kernel32.dll");
        Binding.Slots[tlhelp32::tsCreateToolhelp32Snapshot] = Snapshot;
        Binding.Slots[tlhelp32::tsProcess32First] = ProcessFirst;
        Binding.Slots[tlhelp32::tsProcess32Next] = ProcessNext;
        Binding.Slots[tlhelp32::tsModule32First] = ModuleFirst;
        tlhelp32::ToolHelpBinding() = Binding;
    }

private:
    TWin32Calls FSavedCalls;
    tlhelp32::TToolHelpBinding FSavedBinding;
};

// A made-up snapshot handle: neither null nor INVALID_HANDLE_VALUE.
inline HANDLE FakeSnapshot() { return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x4711)); }

inline std::string OwnExecutablePath() {
    char Buffer[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, Buffer, sizeof Buffer);
    return Buffer;
}

}  // namespace quorvane::win32::testing
