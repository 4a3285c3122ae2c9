// The image file of a process, its path normalisation, and the Windows directory.
#include <algorithm>
#include <cctype>

#include "probes/Probes.h"
#include "probes/win32/SystemProbes.h"
#include "tests/probes/win32/ProbeFixture.h"

namespace quorvane::win32::testing {
namespace {

struct TModuleLog {
    bool SnapshotInvalid = false;
    bool ModuleFails = false;
    std::string ExePath;  // copied without NUL when it fills the field
    DWORD BaseSize = 0;
    DWORD SnapshotFlags = 0;
    DWORD SnapshotProcess = 0;
    DWORD SizeSeen = 0;
    std::string FolderAnswer;  // SHGetSpecialFolderPathA; empty: fails
    int FolderCalls = 0;
};

TModuleLog& ModuleLog() {
    static TModuleLog Log;
    return Log;
}

HANDLE WINAPI StandInSnapshot(DWORD Flags, DWORD ProcessId) {
    ModuleLog().SnapshotFlags = Flags;
    ModuleLog().SnapshotProcess = ProcessId;
    return ModuleLog().SnapshotInvalid ? INVALID_HANDLE_VALUE : FakeSnapshot();
}

BOOL WINAPI StandInModuleFirst(HANDLE, MODULEENTRY32* Module) {
    ModuleLog().SizeSeen = Module->dwSize;
    if (ModuleLog().ModuleFails)
        return FALSE;
    std::memset(Module->szExePath, 0, sizeof Module->szExePath);
    std::memcpy(Module->szExePath, ModuleLog().ExePath.data(),
                std::min(ModuleLog().ExePath.size(), sizeof Module->szExePath));
    Module->modBaseSize = ModuleLog().BaseSize;
    return TRUE;
}

BOOL WINAPI StandInFolder(HWND Owner, LPSTR Path, int Folder, BOOL Create) {
    ++ModuleLog().FolderCalls;
    EXPECT_EQ(nullptr, Owner);
    EXPECT_EQ(CSIDL_WINDOWS, Folder);
    EXPECT_FALSE(Create);
    if (ModuleLog().FolderAnswer.empty())
        return FALSE;
    std::strcpy(Path, ModuleLog().FolderAnswer.c_str());
    return TRUE;
}

class ImageFileTest : public ProbeTest {
protected:
    void SetUp() override {
        ProbeTest::SetUp();
        ModuleLog() = TModuleLog();
        RecordHandlesAndErrors();
        Win32Calls().SHGetSpecialFolderPathA = StandInFolder;
        BindStandIns(AsFarProc(StandInSnapshot), nullptr, nullptr, AsFarProc(StandInModuleFirst));
    }

    // Runs the query on outputs that hold marks, so that unwritten ones show.
    bool Query(std::uint32_t ProcessId = 77) {
        FPath = "old path";
        FSize = 1;
        FRemark = "old remark";
        return QueryImageFile(ProcessId, FPath, FSize, FRemark);
    }

    std::string FPath;
    std::uint32_t FSize = 0;
    std::string FRemark;
};

TEST_F(ImageFileTest, DeliversPathAndSizeOfTheFirstModule) {
    ModuleLog().ExePath = "C:\\Programs\\tool.exe";
    ModuleLog().BaseSize = 0x5000;
    EXPECT_TRUE(Query(77));
    EXPECT_EQ("C:\\Programs\\tool.exe", FPath);
    EXPECT_EQ(0x5000u, FSize);
    EXPECT_EQ("old remark", FRemark);
    EXPECT_EQ(static_cast<DWORD>(TH32CS_SNAPMODULE), ModuleLog().SnapshotFlags);
    EXPECT_EQ(77u, ModuleLog().SnapshotProcess);
    EXPECT_EQ(sizeof(MODULEENTRY32), ModuleLog().SizeSeen);
    EXPECT_EQ(std::vector<HANDLE>{FakeSnapshot()}, CallLog().Closed);
    EXPECT_EQ(0, ModuleLog().FolderCalls);
}

TEST_F(ImageFileTest, AFailedSnapshotLeavesTheSystemsMessageAndNothingElse) {
    ModuleLog().SnapshotInvalid = true;
    CallLog().LastError = ERROR_INVALID_PARAMETER;  // a process that has ended meanwhile
    EXPECT_FALSE(Query());
    EXPECT_EQ(SystemErrorText(ERROR_INVALID_PARAMETER), FRemark);
    EXPECT_FALSE(FRemark.empty());
    EXPECT_EQ("old path", FPath);
    EXPECT_EQ(1u, FSize);
    EXPECT_TRUE(CallLog().Closed.empty());
}

TEST_F(ImageFileTest, AFailedFirstModuleWritesNothingNotEvenTheRemark) {
    ModuleLog().ModuleFails = true;
    CallLog().LastError = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(Query());
    EXPECT_EQ("old path", FPath);
    EXPECT_EQ(1u, FSize);
    EXPECT_EQ("old remark", FRemark);
    EXPECT_EQ(std::vector<HANDLE>{FakeSnapshot()}, CallLog().Closed);
}

TEST_F(ImageFileTest, KernelNotationsAreNormalised) {
    ModuleLog().ExePath = "\\??\\C:\\Programs\\tool.exe";
    EXPECT_TRUE(Query());
    EXPECT_EQ("C:\\Programs\\tool.exe", FPath);

    // The shell's answer failing: the fixed directory.
    ModuleLog().ExePath = "\\SystemRoot\\System32\\smss.exe";
    EXPECT_TRUE(Query());
    EXPECT_EQ("C:\\Windows\\System32\\smss.exe", FPath);

    ModuleLog().FolderAnswer = "D:\\WINNT";
    EXPECT_TRUE(Query());
    EXPECT_EQ("D:\\WINNT\\System32\\smss.exe", FPath);

    ModuleLog().ExePath = "\\systemroot\\System32\\smss.exe";
    EXPECT_TRUE(Query());
    EXPECT_EQ("\\systemroot\\System32\\smss.exe", FPath);
}

TEST_F(ImageFileTest, APathFillingTheWholeFieldIsTakenWhole) {
    ModuleLog().ExePath = "C:\\" + std::string(257, 'p');
    EXPECT_TRUE(Query());
    EXPECT_EQ(260u, FPath.size());
    EXPECT_EQ(ModuleLog().ExePath, FPath);
}

TEST_F(ImageFileTest, TheWindowsDirectoryGetsOneBackslashAppended) {
    EXPECT_EQ("C:\\Windows\\", WindowsDirectory());
    ModuleLog().FolderAnswer = "E:\\Win\\";
    EXPECT_EQ("E:\\Win\\\\", WindowsDirectory());  // a trailing backslash of the platform stays
    ModuleLog().FolderAnswer = "E:\\Win";
    EXPECT_EQ("E:\\Win\\", WindowsDirectory());
    EXPECT_EQ(3, ModuleLog().FolderCalls);  // asked anew every time
}

std::string Lower(std::string Text) {
    std::transform(Text.begin(), Text.end(), Text.begin(), [](unsigned char C) { return std::tolower(C); });
    return Text;
}

TEST(ImageFile, OfThisProcessIsItsExecutable) {
    std::string Path;
    std::uint32_t Size = 0;
    std::string Remark;
    ASSERT_TRUE(QueryImageFile(::GetCurrentProcessId(), Path, Size, Remark)) << Remark;
    EXPECT_EQ(Lower(OwnExecutablePath()), Lower(Path));
    const auto* Image = reinterpret_cast<const IMAGE_DOS_HEADER*>(::GetModuleHandleA(nullptr));
    const auto* Headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        reinterpret_cast<const char*>(Image) + Image->e_lfanew);
    EXPECT_EQ(Headers->OptionalHeader.SizeOfImage, Size);
    EXPECT_TRUE(Remark.empty());
}

TEST(ImageFile, OfAProcessThatIsGoneFailsWithTheSystemsMessage) {
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Child{};
    char Command[] = "cmd.exe /c exit";
    ASSERT_TRUE(::CreateProcessA(nullptr, Command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                 &Startup, &Child));
    ::WaitForSingleObject(Child.hProcess, INFINITE);
    const DWORD Id = Child.dwProcessId;
    ::CloseHandle(Child.hThread);
    ::CloseHandle(Child.hProcess);  // now the id names no process

    std::string Path = "kept";
    std::uint32_t Size = 3;
    std::string Remark;
    EXPECT_FALSE(QueryImageFile(Id, Path, Size, Remark));
    EXPECT_FALSE(Remark.empty());
    EXPECT_EQ("kept", Path);
    EXPECT_EQ(3u, Size);
}

TEST(WindowsDirectory, IsTheSystemsWithABackslash) {
    char Expected[MAX_PATH] = {};
    ::GetWindowsDirectoryA(Expected, sizeof Expected);
    EXPECT_EQ(Lower(std::string(Expected) + "\\"), Lower(WindowsDirectory()));
}

TEST(SystemErrorText, IsTheSystemsMessageTrimmed) {
    const std::string Text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(Text.empty());
    EXPECT_GT(static_cast<unsigned char>(Text.front()), 32);
    EXPECT_GT(static_cast<unsigned char>(Text.back()), 32);
    EXPECT_EQ("", SystemErrorText(0x2FFFFFF0));  // no message for the number
}

}  // namespace
}  // namespace quorvane::win32::testing
