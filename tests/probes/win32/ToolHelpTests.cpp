// The tool-help binding and the process walk.
#include <algorithm>
#include <string>
#include <vector>

#include "probes/Probes.h"
#include "probes/win32/SystemProbes.h"
#include "tests/probes/win32/ProbeFixture.h"

namespace quorvane::win32::testing {
namespace {

using namespace tlhelp32;

// What the stand-ins of the binding saw.
struct TBindingLog {
    int ModuleHandleCalls = 0;
    bool ModuleFound = true;
    std::vector<std::string> LookedUp;
    std::string Missing;  // a name GetProcAddress does not find
};

TBindingLog& BindingLog() {
    static TBindingLog Log;
    return Log;
}

HMODULE WINAPI CountingGetModuleHandle(LPCSTR Name) {
    ++BindingLog().ModuleHandleCalls;
    EXPECT_STREQ("kernel32.dll", Name);
    return BindingLog().ModuleFound ? ::GetModuleHandleA(Name) : nullptr;
}

FARPROC WINAPI RecordingGetProcAddress(HMODULE Module, LPCSTR Name) {
    BindingLog().LookedUp.push_back(Name);
    return BindingLog().Missing == Name ? nullptr : ::GetProcAddress(Module, Name);
}

class ToolHelpBindingTest : public ProbeTest {
protected:
    void SetUp() override {
        ProbeTest::SetUp();
        BindingLog() = TBindingLog();
        ToolHelpBinding() = TToolHelpBinding();
        Win32Calls().GetModuleHandleA = CountingGetModuleHandle;
        Win32Calls().GetProcAddress = RecordingGetProcAddress;
    }
};

const std::vector<std::string> kSlotOrder = {
    "CreateToolhelp32Snapshot", "Heap32ListFirst", "Heap32ListNext", "Heap32First",
    "Heap32Next", "Toolhelp32ReadProcessMemory", "Process32First", "Process32Next",
    "Process32FirstW", "Process32NextW", "Thread32First", "Thread32Next",
    "Module32First", "Module32Next", "Module32FirstW", "Module32NextW",
};

TEST_F(ToolHelpBindingTest, LooksUpAllSixteenNamesOnceInSlotOrder) {
    EXPECT_TRUE(BindToolHelp());
    EXPECT_EQ(kSlotOrder, BindingLog().LookedUp);
    const HMODULE Kernel32 = ::GetModuleHandleA("kernel32.dll");
    EXPECT_EQ(Kernel32, ToolHelpBinding().Kernel32);
    for (int Slot = 0; Slot < kToolHelpSlotCount; ++Slot)
        EXPECT_EQ(::GetProcAddress(Kernel32, kSlotOrder[Slot].c_str()), ToolHelpBinding().Slots[Slot])
            << kSlotOrder[Slot];

    // Every later wrapper call uses the table as it is.
    EXPECT_TRUE(BindToolHelp());
    const HANDLE Snapshot = tlhelp32::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, Snapshot);
    ::CloseHandle(Snapshot);
    EXPECT_EQ(1, BindingLog().ModuleHandleCalls);
    EXPECT_EQ(16u, BindingLog().LookedUp.size());
}

TEST_F(ToolHelpBindingTest, AMissingEntryPointStaysMissing) {
    BindingLog().Missing = "Module32First";
    EXPECT_TRUE(BindToolHelp());
    EXPECT_EQ(nullptr, ToolHelpBinding().Slots[tsModule32First]);

    BindingLog().Missing.clear();  // found now, but the table is not filled again
    MODULEENTRY32 Module{};
    Module.dwSize = sizeof Module;
    const HANDLE Snapshot = tlhelp32::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, ::GetCurrentProcessId());
    ASSERT_NE(INVALID_HANDLE_VALUE, Snapshot);
    EXPECT_FALSE(tlhelp32::Module32First(Snapshot, &Module));
    ::CloseHandle(Snapshot);
    EXPECT_EQ(16u, BindingLog().LookedUp.size());
}

TEST_F(ToolHelpBindingTest, WithoutKernel32NothingIsLookedUpAndTheNextCallTriesAgain) {
    BindingLog().ModuleFound = false;
    EXPECT_FALSE(BindToolHelp());
    EXPECT_TRUE(BindingLog().LookedUp.empty());
    BindingLog().ModuleFound = true;
    EXPECT_TRUE(BindToolHelp());
    EXPECT_EQ(2, BindingLog().ModuleHandleCalls);
    EXPECT_EQ(16u, BindingLog().LookedUp.size());
}

TEST_F(ToolHelpBindingTest, WithoutTheSnapshotFunctionTheBindingIsUnavailable) {
    BindingLog().Missing = "CreateToolhelp32Snapshot";
    RecordHandlesAndErrors();
    EXPECT_FALSE(BindToolHelp());
    // The null handle, not INVALID_HANDLE_VALUE; the walk functions answer false
    // although their own slots are filled.
    EXPECT_EQ(nullptr, tlhelp32::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    ASSERT_NE(nullptr, ToolHelpBinding().Slots[tsProcess32First]);
    PROCESSENTRY32 Entry{};
    Entry.dwSize = sizeof Entry;
    EXPECT_FALSE(tlhelp32::Process32First(nullptr, &Entry));
    EXPECT_FALSE(tlhelp32::Process32Next(nullptr, &Entry));

    int Visits = 0;
    EnumerateProcesses([&](const TProcessEntry&) { ++Visits; });
    EXPECT_EQ(0, Visits);
    EXPECT_TRUE(CallLog().Closed.empty());  // the null handle is not closed

    std::string Path = "kept";
    std::uint32_t Size = 7;
    std::string Remark = "kept";
    EXPECT_FALSE(QueryImageFile(::GetCurrentProcessId(), Path, Size, Remark));
    EXPECT_EQ("kept", Path);
    EXPECT_EQ(7u, Size);
    EXPECT_EQ("kept", Remark);
}

// A process list served by stand-ins for the tool-help entry points.
struct TWalkLog {
    std::vector<PROCESSENTRY32> Entries;
    std::size_t Next = 0;
    int NextCalls = 0;
    DWORD SnapshotFlags = 0;
    DWORD SnapshotProcess = 99;
    std::vector<DWORD> SizesSeen;
    bool Invalid = false;
};

TWalkLog& WalkLog() {
    static TWalkLog Log;
    return Log;
}

HANDLE WINAPI StandInSnapshot(DWORD Flags, DWORD ProcessId) {
    WalkLog().SnapshotFlags = Flags;
    WalkLog().SnapshotProcess = ProcessId;
    return WalkLog().Invalid ? INVALID_HANDLE_VALUE : FakeSnapshot();
}

BOOL ServeEntry(HANDLE Snapshot, PROCESSENTRY32* Entry) {
    EXPECT_EQ(FakeSnapshot(), Snapshot);
    WalkLog().SizesSeen.push_back(Entry->dwSize);
    if (WalkLog().Next >= WalkLog().Entries.size())
        return FALSE;
    const DWORD Size = Entry->dwSize;
    *Entry = WalkLog().Entries[WalkLog().Next++];
    Entry->dwSize = Size;
    return TRUE;
}

BOOL WINAPI StandInProcessFirst(HANDLE Snapshot, PROCESSENTRY32* Entry) {
    WalkLog().Next = 0;
    return ServeEntry(Snapshot, Entry);
}

BOOL WINAPI StandInProcessNext(HANDLE Snapshot, PROCESSENTRY32* Entry) {
    ++WalkLog().NextCalls;
    return ServeEntry(Snapshot, Entry);
}

PROCESSENTRY32 Entry(const std::string& Name, DWORD Id, DWORD Parent, DWORD Threads) {
    PROCESSENTRY32 Process{};
    std::memcpy(Process.szExeFile, Name.data(), std::min(Name.size(), sizeof Process.szExeFile));
    Process.th32ProcessID = Id;
    Process.th32ParentProcessID = Parent;
    Process.cntThreads = Threads;
    return Process;
}

class ProcessWalkTest : public ProbeTest {
protected:
    void SetUp() override {
        ProbeTest::SetUp();
        WalkLog() = TWalkLog();
        RecordHandlesAndErrors();
        BindStandIns(AsFarProc(StandInSnapshot), AsFarProc(StandInProcessFirst), AsFarProc(StandInProcessNext),
                     nullptr);
    }

    std::vector<TProcessEntry> Walk() {
        std::vector<TProcessEntry> Seen;
        EnumerateProcesses([&](const TProcessEntry& Process) { Seen.push_back(Process); });
        return Seen;
    }
};

TEST_F(ProcessWalkTest, HandsOnEntriesInPlatformOrderAndClosesTheSnapshot) {
    // A child before its parent, and a repeated id: neither reordered nor dropped.
    WalkLog().Entries = {Entry("[System Process]", 0, 0, 1), Entry("child.exe", 12, 40, 3),
                         Entry("parent.exe", 40, 0, 5), Entry("child.exe", 12, 40, 2)};
    const std::vector<TProcessEntry> Seen = Walk();
    ASSERT_EQ(4u, Seen.size());
    EXPECT_EQ("[System Process]", Seen[0].ExeFile);
    EXPECT_EQ(0u, Seen[0].ProcessId);
    EXPECT_EQ("child.exe", Seen[1].ExeFile);
    EXPECT_EQ(12u, Seen[1].ProcessId);
    EXPECT_EQ(40u, Seen[1].ParentProcessId);
    EXPECT_EQ(3, Seen[1].Threads);
    EXPECT_EQ("parent.exe", Seen[2].ExeFile);
    EXPECT_EQ(2, Seen[3].Threads);
    EXPECT_EQ(static_cast<DWORD>(TH32CS_SNAPPROCESS), WalkLog().SnapshotFlags);
    EXPECT_EQ(0u, WalkLog().SnapshotProcess);
    for (DWORD Size : WalkLog().SizesSeen)
        EXPECT_EQ(sizeof(PROCESSENTRY32), Size);
    EXPECT_EQ(std::vector<HANDLE>{FakeSnapshot()}, CallLog().Closed);
}

TEST_F(ProcessWalkTest, AOneEntryListCallsNextOnce) {
    WalkLog().Entries = {Entry("only.exe", 8, 0, 1)};
    EXPECT_EQ(1u, Walk().size());
    EXPECT_EQ(1, WalkLog().NextCalls);
}

TEST_F(ProcessWalkTest, ANameFillingAllCharactersIsHandedOnWhole) {
    const std::string Name(sizeof(PROCESSENTRY32{}.szExeFile), 'N');
    WalkLog().Entries = {Entry(Name, 8, 0, 1)};
    const std::vector<TProcessEntry> Seen = Walk();
    ASSERT_EQ(1u, Seen.size());
    EXPECT_EQ(Name, Seen[0].ExeFile);
    EXPECT_EQ(260u, Seen[0].ExeFile.size());
}

TEST_F(ProcessWalkTest, NoSnapshotMeansNoEntries) {
    WalkLog().Invalid = true;
    WalkLog().Entries = {Entry("never.exe", 8, 0, 1)};
    EXPECT_TRUE(Walk().empty());
    EXPECT_TRUE(WalkLog().SizesSeen.empty());
    EXPECT_TRUE(CallLog().Closed.empty());
}

TEST(ProcessWalk, ListsTheRunningProcessesWithThisOne) {
    std::vector<TProcessEntry> Seen;
    CreateSystemProcessSource()->EnumerateProcesses([&](const TProcessEntry& Process) { Seen.push_back(Process); });
    const auto Own = std::find_if(Seen.begin(), Seen.end(), [](const TProcessEntry& Process) {
        return Process.ProcessId == ::GetCurrentProcessId();
    });
    ASSERT_NE(Seen.end(), Own);
    EXPECT_EQ("probes_win32_tests.exe", Own->ExeFile);
    EXPECT_GE(Own->Threads, 1);
    // Wine's own service processes run beside every program.
    EXPECT_TRUE(std::any_of(Seen.begin(), Seen.end(),
                            [](const TProcessEntry& Process) { return Process.ExeFile == "services.exe"; }));
}

}  // namespace
}  // namespace quorvane::win32::testing
