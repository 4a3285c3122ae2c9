// The version reader over the Windows version API.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <memory>

#include "versioninfo/StConst.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/VersionApi.h"

namespace quorvane {
namespace {

std::string OwnPath() {
    char Buffer[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, Buffer, sizeof Buffer);
    return Buffer;
}

std::string LanguageNameOf(DWORD Language) {
    char Buffer[260] = {};
    ::VerLanguageNameA(Language, Buffer, sizeof Buffer);
    return Buffer;
}

// Files of the test in a folder of their own below the temporary folder.
class VersionApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        char Base[MAX_PATH];
        ASSERT_NE(0u, ::GetTempPathA(sizeof Base, Base));
        FFolder = std::string(Base) + "quorvane-version-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(FFolder.c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::string& Name : FFiles)
            ::DeleteFileA(Name.c_str());
        ::RemoveDirectoryA(FFolder.c_str());
    }

    std::string MakeFile(const std::string& Name, const std::string& Contents) {
        const std::string Path = FFolder + "\\" + Name;
        std::ofstream(Path, std::ios::binary) << Contents;
        FFiles.push_back(Path);
        return Path;
    }

    static void SetLastWriteTime(const std::string& Path, WORD Year) {
        SYSTEMTIME Local{Year, 6, 0, 15, 12, 0, 0, 0};
        FILETIME LocalTime, Utc;
        ::SystemTimeToFileTime(&Local, &LocalTime);
        ::LocalFileTimeToFileTime(&LocalTime, &Utc);
        const HANDLE File = ::CreateFileA(Path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, File);
        ASSERT_TRUE(::SetFileTime(File, nullptr, nullptr, &Utc));
        ::CloseHandle(File);
    }

    std::unique_ptr<IVersionApi> FApi = CreateSystemVersionApi();
    std::string FFolder;
    std::vector<std::string> FFiles;
};

TEST_F(VersionApiTest, AnEmptyNameReadsTheProgramsOwnVersion) {
    TStVersionInfo Info(nullptr, *FApi);
    EXPECT_EQ(OwnPath(), Info.FileName());
    EXPECT_EQ("Quorvane Software", Info.CompanyName());
    EXPECT_EQ("Quorvane Prozess-Analyse", Info.FileDescription());
    EXPECT_EQ("1.2.0.0", Info.FileVersion());
    EXPECT_EQ(LanguageNameOf(0x0407), Info.LanguageName());
    EXPECT_FALSE(Info.LanguageName().empty());
    EXPECT_EQ(0x00010002u, Info.FileVersionMS());
    EXPECT_EQ(0u, Info.FileVersionLS());
    EXPECT_EQ(0x04E40407u, Info.TranslationValue());
    EXPECT_EQ(1, Info.TranslationCount());
    EXPECT_DOUBLE_EQ(1.2, Info.FileVersionFloat());
    EXPECT_EQ("\xA9 Quorvane Software", Info.LegalCopyright());  // "©" in the ANSI code page
}

TEST_F(VersionApiTest, TheExistenceTestRefusesMissingFilesFoldersAndNonDosDates) {
    EXPECT_TRUE(FApi->FileExists(OwnPath()));
    EXPECT_FALSE(FApi->FileExists(FFolder + "\\missing.exe"));
    EXPECT_FALSE(FApi->FileExists(FFolder));
    const std::string Old = MakeFile("old.exe", "MZ");
    SetLastWriteTime(Old, 1979);
    EXPECT_FALSE(FApi->FileExists(Old));
    SetLastWriteTime(Old, 1980);
    EXPECT_TRUE(FApi->FileExists(Old));
    SetLastWriteTime(Old, 2107);
    EXPECT_TRUE(FApi->FileExists(Old));
    SetLastWriteTime(Old, 2108);
    EXPECT_FALSE(FApi->FileExists(Old));

    TStVersionInfo Info(nullptr, *FApi);
    try {
        Info.SetFileName(FFolder);
        FAIL() << "a folder passed the existence test";
    } catch (const EStVersionInfoError& Error) {
        EXPECT_EQ(stscFileOpen, Error.ErrorCode());
    }
    EXPECT_EQ(OwnPath(), Info.FileName());
}

TEST_F(VersionApiTest, FilesWithoutVersionResourceFailAsTheSystemSays) {
    std::uint32_t Handle = 0;
    std::uint32_t Error = 0;
    // A text file is no executable image: the system cannot read a version
    // resource from it, which is no "file without version" (code 101, not 100).
    const std::string Text = MakeFile("notes.txt", "no image at all");
    EXPECT_EQ(0u, FApi->GetFileVersionInfoSize(Text.c_str(), Handle, Error));
    EXPECT_EQ(kErrorResourceDataNotFound, Error);

    TStVersionInfo Info(nullptr, *FApi);
    Info.SetFileName(Text);
    try {
        (void)Info.CompanyName();
        FAIL() << "a text file has no version";
    } catch (const EStVersionInfoError& Failure) {
        EXPECT_EQ(stscVerInfoFail, Failure.ErrorCode());
    }
}

TEST_F(VersionApiTest, ModuleFileNameIsThePathOfThisProgram) { EXPECT_EQ(OwnPath(), FApi->ModuleFileName()); }

TEST_F(VersionApiTest, LanguageNamesComeFromTheSystem) {
    char Buffer[260] = {};
    EXPECT_GT(FApi->VerLanguageName(0x0409, Buffer, sizeof Buffer), 0u);
    EXPECT_EQ(LanguageNameOf(0x0409), Buffer);
}

}  // namespace
}  // namespace quorvane
