#include "probes/win32/TlHelp32.h"

#include "probes/win32/Win32Calls.h"

namespace quorvane::win32::tlhelp32 {
namespace {

// FARPROC to the entry point's own type; void (*)() is the one type GCC lets
// every function pointer pass through without a cast warning.
template <typename TFunction>
TFunction SlotAs(TToolHelpSlot Slot) {
    if (!BindToolHelp())
        return nullptr;
    return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(ToolHelpBinding().Slots[Slot]));
}

using TCreateSnapshot = HANDLE(WINAPI*)(DWORD, DWORD);
using TProcessWalk = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
using TModuleWalk = BOOL(WINAPI*)(HANDLE, MODULEENTRY32*);

}  // namespace

const char* const kToolHelpNames[kToolHelpSlotCount] = {
    "CreateToolhelp32Snapshot",
    "Heap32ListFirst",
    "Heap32ListNext",
    "Heap32First",
    "Heap32Next",
    "Toolhelp32ReadProcessMemory",
    "Process32First",
    "Process32Next",
    "Process32FirstW",
    "Process32NextW",
    "Thread32First",
    "Thread32Next",
    "Module32First",
    "Module32Next",
    "Module32FirstW",
    "Module32NextW",
};

TToolHelpBinding& ToolHelpBinding() {
    static TToolHelpBinding Binding;
    return Binding;
}

bool BindToolHelp() {
    TToolHelpBinding& Binding = ToolHelpBinding();
    if (!Binding.Kernel32) {
        Binding.Kernel32 = Win32Calls().GetModuleHandleA("kernel32.dll");
        // Without the module nothing is looked up, and the next call tries again.
        if (Binding.Kernel32)
            for (int Slot = 0; Slot < kToolHelpSlotCount; ++Slot)
                Binding.Slots[Slot] = Win32Calls().GetProcAddress(Binding.Kernel32, kToolHelpNames[Slot]);
    }
    return Binding.Kernel32 && Binding.Slots[tsCreateToolhelp32Snapshot];
}

HANDLE CreateToolhelp32Snapshot(DWORD Flags, DWORD ProcessId) {
    const auto Function = SlotAs<TCreateSnapshot>(tsCreateToolhelp32Snapshot);
    return Function ? Function(Flags, ProcessId) : nullptr;
}

BOOL Process32First(HANDLE Snapshot, PROCESSENTRY32* Entry) {
    const auto Function = SlotAs<TProcessWalk>(tsProcess32First);
    return Function ? Function(Snapshot, Entry) : FALSE;
}

BOOL Process32Next(HANDLE Snapshot, PROCESSENTRY32* Entry) {
    const auto Function = SlotAs<TProcessWalk>(tsProcess32Next);
    return Function ? Function(Snapshot, Entry) : FALSE;
}

BOOL Module32First(HANDLE Snapshot, MODULEENTRY32* Entry) {
    const auto Function = SlotAs<TModuleWalk>(tsModule32First);
    return Function ? Function(Snapshot, Entry) : FALSE;
}

BOOL Module32Next(HANDLE Snapshot, MODULEENTRY32* Entry) {
    const auto Function = SlotAs<TModuleWalk>(tsModule32Next);
    return Function ? Function(Snapshot, Entry) : FALSE;
}

}  // namespace quorvane::win32::tlhelp32
