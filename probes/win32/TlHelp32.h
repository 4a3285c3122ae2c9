// Run-time binding of the tool-help functions of kernel32.dll. The entry
// points are looked up once, by name, instead of being imported; each wrapper
// answers as if nothing were there when its entry point is missing.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

namespace quorvane::win32::tlhelp32 {

// Slots in the order in which they are looked up.
enum TToolHelpSlot : int {
    tsCreateToolhelp32Snapshot,
    tsHeap32ListFirst,
    tsHeap32ListNext,
    tsHeap32First,
    tsHeap32Next,
    tsToolhelp32ReadProcessMemory,
    tsProcess32First,
    tsProcess32Next,
    tsProcess32FirstW,
    tsProcess32NextW,
    tsThread32First,
    tsThread32Next,
    tsModule32First,
    tsModule32Next,
    tsModule32FirstW,
    tsModule32NextW,
    kToolHelpSlotCount
};

// The names looked up, in slot order.
extern const char* const kToolHelpNames[kToolHelpSlotCount];

// The module-wide state: empty at start, filled by the first call that finds
// kernel32.dll, and never filled again.
struct TToolHelpBinding {
    HMODULE Kernel32 = nullptr;
    FARPROC Slots[kToolHelpSlotCount] = {};
};

// The binding's state. Tests reset it to TToolHelpBinding{} to start afresh,
// or fill it with stand-ins for the entry points.
TToolHelpBinding& ToolHelpBinding();

// Fills the table unless kernel32.dll has been found before; true when the
// module handle and the CreateToolhelp32Snapshot slot are both there.
bool BindToolHelp();

// The wrappers, under the API's own names and with its arguments. Unbound:
// a null handle (not INVALID_HANDLE_VALUE) and FALSE.
HANDLE CreateToolhelp32Snapshot(DWORD Flags, DWORD ProcessId);
BOOL Process32First(HANDLE Snapshot, PROCESSENTRY32* Entry);
BOOL Process32Next(HANDLE Snapshot, PROCESSENTRY32* Entry);
BOOL Module32First(HANDLE Snapshot, MODULEENTRY32* Entry);
BOOL Module32Next(HANDLE Snapshot, MODULEENTRY32* Entry);

}  // namespace quorvane::win32::tlhelp32
