// The file facts and language names of the Linux back-end, and its answers for
// files that cannot be read as a version source.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>
#include <cstdlib>
#include <optional>

#include "TestFiles.h"
#include "versioninfo/StConst.h"
#include "versioninfo/pe/PeWriter.h"

namespace quorvane {
namespace {

using namespace testing;

void SetMtime(const std::string& Path, std::time_t Seconds) {
    const timespec Times[2] = {{Seconds, 0}, {Seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Path.c_str(), Times, 0), 0);
}

TEST(LinuxVersionApiTest, ExistenceTest) {
    TTempDir Dir;
    auto Api = TestApi();
    const std::string File = Dir / "file";
    WriteText(File, "x");
    EXPECT_TRUE(Api->FileExists(File));
    EXPECT_FALSE(Api->FileExists(Dir.Path()));
    EXPECT_FALSE(Api->FileExists(Dir / "missing"));
    EXPECT_FALSE(Api->FileExists(""));
    SetMtime(File, 86400 * 365);  // 1971: before MS-DOS dates
    EXPECT_FALSE(Api->FileExists(File));
    SetMtime(File, 946'684'800);  // 2000
    EXPECT_TRUE(Api->FileExists(File));
    SetMtime(File, 7'258'118'400);  // 2200: after them
    EXPECT_FALSE(Api->FileExists(File));

    const auto Out = ReadWithReader(*Api, Dir / "missing");
    EXPECT_EQ(Out.ErrorCode, stscFileOpen);
}

TEST(LinuxVersionApiTest, ErrorsOfFilesThatCannotBeRead) {
    TTempDir Dir;
    auto Api = TestApi();
    std::uint32_t Handle = 0, Error = 0;
    EXPECT_EQ(Api->GetFileVersionInfoSize((Dir / "missing").c_str(), Handle, Error), 0u);
    EXPECT_EQ(Error, kErrorFileNotFound);
    EXPECT_EQ(Api->GetFileVersionInfoSize(Dir.Path().c_str(), Handle, Error), 0u);
    EXPECT_EQ(Error, 5u);  // as Windows answers for a directory
    // A FIFO without writer must not block the reader.
    ASSERT_EQ(mkfifo((Dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(Api->GetFileVersionInfoSize((Dir / "fifo").c_str(), Handle, Error), 0u);
    EXPECT_EQ(Error, kErrorResourceDataNotFound);
}

TEST(LinuxVersionApiTest, BlockNeedsTheReportedSize) {
    TTempDir Dir;
    auto Api = TestApi();
    const std::string Path = Dir / "a.exe";
    WriteFile(Path, pewriter::BuildPe(pewriter::TPeRecipe{}.Version(pewriter::SampleVersion().Build())).Bytes);
    std::uint32_t Handle = 0, Error = 0;
    const std::uint32_t Size = Api->GetFileVersionInfoSize(Path.c_str(), Handle, Error);
    ASSERT_GT(Size, 0u);
    std::vector<std::uint8_t> Block(Size);
    EXPECT_FALSE(Api->GetFileVersionInfo(Path.c_str(), Handle, Size - 1, Block.data()));
    // Without the size call before it, the block is read again.
    ASSERT_TRUE(Api->GetFileVersionInfo(Path.c_str(), Handle, Size, Block.data()));
    void* Value = nullptr;
    std::uint32_t Length = 0;
    ASSERT_TRUE(Api->VerQueryValue(Block.data(), "StringFileInfo\\040704e4\\CompanyName", Value, Length));
    EXPECT_STREQ(static_cast<const char*>(Value), "Müller Software GmbH");
    EXPECT_EQ(Length, std::strlen("Müller Software GmbH"));
}

TEST(LinuxVersionApiTest, FilesThatCannotBeExaminedAtAll) {
    TTempDir Dir;
    auto Api = TestApi();
    WriteText(Dir / "file", "x");
    ASSERT_EQ(mkfifo((Dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(Api->FileProblem(Dir / "file"), "");
    EXPECT_EQ(Api->FileProblem(Dir / "missing"), "No such file or directory");
    EXPECT_EQ(Api->FileProblem(Dir / "file/below"), "Not a directory");
    EXPECT_EQ(Api->FileProblem(Dir.Path()), "Is a directory");
    const std::string NotRegular = "Keine gewöhnliche Datei (ein Gerät, eine Pipe oder ein Socket)";
    EXPECT_EQ(Api->FileProblem(Dir / "fifo"), NotRegular);  // and the FIFO is not opened: no writer waits
    EXPECT_EQ(Api->FileProblem("/dev/null"), NotRegular);
    if (geteuid() != 0) {  // root reads every file
        ASSERT_EQ(chmod((Dir / "file").c_str(), 0), 0);
        EXPECT_EQ(Api->FileProblem(Dir / "file"), "Permission denied");
    }
}

TEST(LinuxVersionApiTest, EveryReadTellsWhatSpokeForTheFile) {
    TTempDir Dir;
    auto Api = TestApi();
    const std::string Pe = Dir / "a.exe";
    WriteFile(Pe, pewriter::BuildPe(pewriter::TPeRecipe{}.Version(pewriter::SampleVersion().Build())).Bytes);
    WriteText(Dir / "text", "plain text\n");
    EXPECT_EQ(SourceOf(*Api, Pe).Kind, TVersionSourceKind::FileResource);
    const TVersionSource Text = SourceOf(*Api, Dir / "text");
    EXPECT_EQ(Text.Kind, TVersionSourceKind::None);
    EXPECT_EQ(Text.Check, TPackageCheck::NotListed);
    // A failed call reports what it found too, and replaces the last answer.
    std::uint32_t Handle = 0, Error = 0;
    Api->GetFileVersionInfoSize(Pe.c_str(), Handle, Error);
    EXPECT_EQ(Api->GetFileVersionInfoSize((Dir / "text").c_str(), Handle, Error), 0u);
    EXPECT_EQ(Api->LastVersionSource().Kind, TVersionSourceKind::None);
}

class LanguageNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* Now = std::getenv("LC_ALL"))
            Saved = Now;
    }
    void TearDown() override {
        if (Saved)
            ::setenv("LC_ALL", Saved->c_str(), 1);
        else
            ::unsetenv("LC_ALL");
    }
    std::string Name(std::uint32_t Language, std::uint32_t BufferSize = 260) {
        std::vector<char> Buffer(BufferSize, 'x');
        const std::uint32_t Length = Api->VerLanguageName(Language, Buffer.data(), BufferSize);
        EXPECT_EQ(Length, std::strlen(Buffer.data()));
        return Buffer.data();
    }
    // The user's locale as the environment names it (the program's own locale stays C).
    void Use(const char* Locale) { ::setenv("LC_ALL", Locale, 1); }
    std::optional<std::string> Saved;
    std::unique_ptr<IVersionApi> Api = TestApi();
};

TEST_F(LanguageNameTest, NamesInTheUsersLanguage) {
    Use("de_DE.UTF-8");
    EXPECT_EQ(Name(0x0407), "Deutsch (Deutschland)");
    EXPECT_EQ(Name(0x0409), "Englisch (Vereinigte Staaten)");
    EXPECT_EQ(Name(0x0C07), "Deutsch (Österreich)");
    EXPECT_EQ(Name(0), "Sprachneutral");
    EXPECT_EQ(Name(0x0400), "Prozessstandardsprache");
    EXPECT_EQ(Name(0x0800), "Systemstandardsprache");
    EXPECT_EQ(Name(0x007F), "Invariante Sprache");
    EXPECT_EQ(Name(0x0C00), "Sprachneutral");
    Use("en_US");
    EXPECT_EQ(Name(0x0407), "German (Germany)");
    EXPECT_EQ(Name(0), "Language Neutral");
    EXPECT_EQ(Name(0x0400), "Process Default Language");
    EXPECT_EQ(Name(0x0800), "System Default Language");
    EXPECT_EQ(Name(0x007F), "Invariant Language");
}

TEST_F(LanguageNameTest, ShortBuffersCutAtACharacterBoundary) {
    Use("de_DE");
    EXPECT_EQ(Name(0x0C07, 12), "Deutsch (Ö");
    EXPECT_EQ(Name(0x0C07, 11), "Deutsch (");  // "Ö" does not fit whole
    EXPECT_EQ(Name(0x0C07, 1), "");
}

}  // namespace
}  // namespace quorvane
