// Writing the report file as a whole, on Windows.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>

#include "common/WholeFile.h"

namespace quorvane {
namespace {

// A fresh folder below the temporary folder, removed with its files afterwards.
class WholeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char Base[MAX_PATH];
        ASSERT_NE(0u, ::GetTempPathA(sizeof Base, Base));
        FFolder = std::string(Base) + "quorvane-wholefile-" + std::to_string(::GetCurrentProcessId());
        ASSERT_TRUE(::CreateDirectoryA(FFolder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override {
        WIN32_FIND_DATAA Found;
        const HANDLE Search = ::FindFirstFileA((FFolder + "\\*").c_str(), &Found);
        if (Search != INVALID_HANDLE_VALUE) {
            do
                ::DeleteFileA((FFolder + "\\" + Found.cFileName).c_str());
            while (::FindNextFileA(Search, &Found));
            ::FindClose(Search);
        }
        ::RemoveDirectoryA(FFolder.c_str());
    }

    static std::string Contents(const std::string& Name) {
        std::ifstream File(Name, std::ios::binary);
        std::ostringstream Text;
        Text << File.rdbuf();
        return Text.str();
    }

    int FileCount() const {
        int Count = 0;
        WIN32_FIND_DATAA Found;
        const HANDLE Search = ::FindFirstFileA((FFolder + "\\*").c_str(), &Found);
        if (Search == INVALID_HANDLE_VALUE)
            return 0;
        do
            Count += (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
        while (::FindNextFileA(Search, &Found));
        ::FindClose(Search);
        return Count;
    }

    std::string FFolder;
};

TEST_F(WholeFileTest, WritesAndReplacesWithoutLeavingTemporaryFiles) {
    const std::string Name = FFolder + "\\Report.txt";
    TWriteFailure Error;
    ASSERT_TRUE(WriteWholeFile(Name, "first\r\nline\t\xE4\r\n", Error)) << Error.Reason;
    EXPECT_EQ("first\r\nline\t\xE4\r\n", Contents(Name));
    ASSERT_TRUE(WriteWholeFile(Name, "second", Error)) << Error.Reason;
    EXPECT_EQ("second", Contents(Name));
    EXPECT_EQ(1, FileCount());
}

TEST_F(WholeFileTest, AFolderThatDoesNotExistFailsWithTheSystemsMessage) {
    TWriteFailure Error;
    EXPECT_FALSE(WriteWholeFile(FFolder + "\\missing\\Report.txt", "text", Error));
    EXPECT_EQ(TWriteFailure::Create, Error.Step);
    EXPECT_FALSE(Error.Reason.empty());
    EXPECT_EQ(0, FileCount());
}

TEST_F(WholeFileTest, AFileThatCannotBeReplacedKeepsItsContents) {
    const std::string Name = FFolder + "\\Locked.txt";
    TWriteFailure Error;
    ASSERT_TRUE(WriteWholeFile(Name, "kept", Error)) << Error.Reason;
    // Held open without sharing: neither replaced nor truncated.
    const HANDLE Held = ::CreateFileA(Name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, Held);
    EXPECT_FALSE(WriteWholeFile(Name, "lost", Error));
    EXPECT_EQ(TWriteFailure::Create, Error.Step);
    EXPECT_FALSE(Error.Reason.empty());
    ::CloseHandle(Held);
    EXPECT_EQ("kept", Contents(Name));
    EXPECT_EQ(1, FileCount());
}

TEST_F(WholeFileTest, AReadOnlyReportIsRefused) {
    const std::string Name = FFolder + "\\ReadOnly.txt";
    TWriteFailure Error;
    ASSERT_TRUE(WriteWholeFile(Name, "kept", Error)) << Error.Reason;
    ASSERT_TRUE(::SetFileAttributesA(Name.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WriteWholeFile(Name, "lost", Error));
    EXPECT_EQ(TWriteFailure::Create, Error.Step);
    EXPECT_FALSE(Error.Reason.empty());
    ::SetFileAttributesA(Name.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ("kept", Contents(Name));
    EXPECT_EQ(1, FileCount());
}

// "C:\r.txt" lies in the root of drive C:; its temporary file belongs there
// too, not in the drive's current folder ("C:" alone), which here is missing.
// The root of C: is the Wine prefix's own drive_c; on Windows the case runs
// only where the root takes new files.
TEST_F(WholeFileTest, AReportInTheRootOfADriveIsWrittenThere) {
    char Current[MAX_PATH];
    ASSERT_NE(0u, ::GetCurrentDirectoryA(sizeof Current, Current));
    const std::string Drive = FFolder.substr(0, 2);  // the temporary folder's drive
    ASSERT_EQ(':', Drive[1]);
    const std::string Report = Drive + "\\quorvane-root-" + std::to_string(::GetCurrentProcessId()) + ".txt";
    const HANDLE Probe = ::CreateFileA(Report.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (Probe == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "the root of " << Drive << " takes no new file";
    ::CloseHandle(Probe);
    ::DeleteFileA(Report.c_str());
    // Another drive becomes the current one; C:'s current folder, kept in
    // the environment variable "=C:", is a folder that does not exist.
    std::string Other;
    for (char Letter = 'Z'; Letter > 'A' && Other.empty(); --Letter)
        if (Letter != Drive[0] && ::SetCurrentDirectoryA((std::string(1, Letter) + ":\\").c_str()))
            Other = std::string(1, Letter) + ":";
    if (Other.empty())
        GTEST_SKIP() << "no second drive to make the current one";
    ASSERT_TRUE(::SetEnvironmentVariableA(("=" + Drive).c_str(), (FFolder + "\\missing").c_str()));
    TWriteFailure Error;
    const bool Written = WriteWholeFile(Report, "in the root", Error);
    ::SetCurrentDirectoryA(Current);
    ::SetEnvironmentVariableA(("=" + Drive).c_str(), Current);
    EXPECT_TRUE(Written) << Error.Reason;
    EXPECT_EQ("in the root", Contents(Report));
    ::DeleteFileA(Report.c_str());
}

TEST_F(WholeFileTest, RelativeNamesAreExpandedAgainstTheCurrentFolder) {
    char Current[MAX_PATH];
    ::GetCurrentDirectoryA(sizeof Current, Current);
    std::string Expected = Current;
    if (Expected.back() != '\\')
        Expected += '\\';
    EXPECT_EQ(Expected + "Report.txt", ExpandFileName("Report.txt"));
    EXPECT_EQ("C:\\x\\y.txt", ExpandFileName("C:\\x\\y.txt"));
}

}  // namespace
}  // namespace quorvane
