// Package data from a fake dpkg database in a temporary folder: directory
// links, multi-arch lists, removed packages, refresh after a change, and the
// cache file that carries the index to the next run.
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "ElfWriter.h"
#include "TestFiles.h"
#include "versioninfo/StConst.h"
#include "versioninfo/linux/DpkgIndex.h"

namespace quorvane {
namespace {

using namespace testing;

// The form the index keys have: directory resolved, last component kept.
std::string DirectoryResolvedForTest(const std::string& Path) {
    const std::filesystem::path P(Path);
    return (std::filesystem::canonical(P.parent_path()) / P.filename()).string();
}

class DpkgIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        Root = Dir / "root";
        Db = Dir / "db";
        const TBytes Elf = BuildElf(TElfRecipe{}, {});
        WriteFile(Root + "/usr/bin/werkzeug", Elf);
        WriteFile(Root + "/usr/bin/removed", Elf);
        WriteFile(Root + "/usr/bin/unowned", Elf);
        WriteFile(Root + "/usr/lib/x/libding.so", Elf);
        WriteText(Root + "/usr/share/werkzeug/run.sh", "#!/bin/sh\n");
        WriteText(Root + "/usr/share/werkzeug/notes.txt", "unowned\n");
        // A merged /usr: the package lists its program under the link.
        std::filesystem::create_directory_symlink("usr/bin", Root + "/bin");
        WriteStatus("1:2.4-1");
        WriteText(Db + "/info/werkzeug.list",
                  "/.\n" + Root + "/bin\n" + Root + "/bin/werkzeug\n" + Root + "/usr/share/werkzeug/run.sh\n");
        WriteText(Db + "/info/libding:amd64.list", Root + "/usr/lib/x/libding.so\n");
        WriteText(Db + "/info/removed.list", Root + "/usr/bin/removed\n");
    }

    void WriteStatus(const std::string& Version) {
        WriteText(Db + "/status",
                  "Package: removed\nStatus: deinstall ok config-files\nVersion: 1\n\n"
                  "Package: werkzeug\nStatus: install ok installed\nPriority: optional\n"
                  "Maintainer: Anna Beispiel <anna@example.org>\nArchitecture: amd64\nVersion: " +
                      Version +
                      "\nDescription: Ein Werkzeug\n Eine lange Beschreibung.\n .\n Noch mehr.\n\n"
                      "Package: libding\nStatus: install ok triggers-pending\nArchitecture: amd64\n"
                      "Multi-Arch: same\nMaintainer: Bert <bert@example.org>\nVersion: 0.9\n"
                      "Description: Eine Bibliothek\n");
    }

    // Gives the status file a new mtime, as every dpkg run does.
    void Touch(const std::string& Path, std::time_t Seconds) {
        const timespec Times[2] = {{Seconds, 0}, {Seconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, Path.c_str(), Times, 0), 0);
    }

    TTempDir Dir;
    std::string Root, Db;
};

TEST_F(DpkgIndexTest, OwnedFilesGetTheirPackagesData) {
    auto Api = TestApi(Db);
    for (const std::string& Path : {Root + "/usr/bin/werkzeug", Root + "/bin/werkzeug"}) {
        SCOPED_TRACE(Path);
        const auto Out = ReadWithReader(*Api, Path);
        ASSERT_TRUE(Out.Ok) << Out.ErrorCode;
        EXPECT_EQ(Out.CompanyName, "Anna Beispiel <anna@example.org>");
        EXPECT_EQ(Out.FileDescription, "Ein Werkzeug");
        EXPECT_EQ(Out.FileVersion, "1:2.4-1");
        EXPECT_EQ(Out.ProductVersion, "1:2.4-1");
        EXPECT_EQ(Out.ProductName, "werkzeug");
        EXPECT_EQ(Out.InternalName, "werkzeug");
        EXPECT_EQ(Out.TranslationValue, 0x04B00000u);
        EXPECT_EQ(Out.FileVersionMS, 0x00020004u);
    }
    const auto Library = ReadWithReader(*Api, Root + "/usr/lib/x/libding.so");
    ASSERT_TRUE(Library.Ok);
    EXPECT_EQ(Library.CompanyName, "Bert <bert@example.org>");
    EXPECT_EQ(Library.FileVersion, "0.9");
    const auto Script = ReadWithReader(*Api, Root + "/usr/share/werkzeug/run.sh");
    ASSERT_TRUE(Script.Ok);
    EXPECT_EQ(Script.ProductName, "werkzeug");
}

TEST_F(DpkgIndexTest, FilesOfNoInstalledPackageHaveNoVersionData) {
    auto Api = TestApi(Db);
    std::filesystem::copy_file(Root + "/usr/bin/werkzeug", Dir / "werkzeug");
    for (const std::string& Elf : {Root + "/usr/bin/removed", Root + "/usr/bin/unowned", Dir / "werkzeug"}) {
        SCOPED_TRACE(Elf);
        const auto Out = ReadWithReader(*Api, Elf);
        EXPECT_FALSE(Out.Ok);
        EXPECT_EQ(Out.ErrorCode, stscNoVerInfo);
    }
    const auto Text = ReadWithReader(*Api, Root + "/usr/share/werkzeug/notes.txt");
    EXPECT_FALSE(Text.Ok);
    EXPECT_EQ(Text.ErrorCode, stscVerInfoFail);  // no image at all: 1812
}

TEST_F(DpkgIndexTest, AChangedDatabaseIsReadAgain) {
    auto Api = TestApi(Db);
    Touch(Db + "/status", 1'600'000'000);
    EXPECT_EQ(ReadWithReader(*Api, Root + "/bin/werkzeug").FileVersion, "1:2.4-1");
    WriteStatus("1:2.5-1");
    Touch(Db + "/status", 1'600'000'100);
    EXPECT_EQ(ReadWithReader(*Api, Root + "/bin/werkzeug").FileVersion, "1:2.5-1");
    // A package whose list goes away: dpkg changes info/ as it does so.
    std::filesystem::remove(Db + "/info/werkzeug.list");
    Touch(Db + "/info", 1'600'000'200);
    EXPECT_EQ(ReadWithReader(*Api, Root + "/bin/werkzeug").ErrorCode, stscNoVerInfo);
}

TEST_F(DpkgIndexTest, TheCacheFileCarriesTheIndexWhileTheDatabaseIsUnchanged) {
    const std::string Cache = Dir / "cache/quorvane/index";
    const std::string Path = DirectoryResolvedForTest(Root + "/usr/bin/werkzeug");
    {
        TDpkgIndex First(Db, Cache);
        ASSERT_TRUE(First.Lookup(Path));
        EXPECT_FALSE(First.LoadedFromCache());
        EXPECT_TRUE(std::filesystem::exists(Cache));
    }
    {
        TDpkgIndex Second(Db, Cache);
        const auto Found = Second.Lookup(Path);
        EXPECT_TRUE(Second.LoadedFromCache());
        ASSERT_TRUE(Found);
        EXPECT_EQ(Found->Maintainer, "Anna Beispiel <anna@example.org>");
        EXPECT_EQ(Found->Description, "Ein Werkzeug");
        EXPECT_FALSE(Second.Lookup(Path + "x"));
    }
    // Another database root with the same cache file does not take it.
    {
        TDpkgIndex Other(Dir / "nodb", Cache);
        EXPECT_FALSE(Other.Lookup(Path));
        EXPECT_FALSE(Other.LoadedFromCache());
    }
    // Damaged cache files are rebuilt, never trusted.
    TDpkgIndex(Db, Cache).Lookup(Path);
    std::string Text;
    {
        std::ifstream In(Cache);
        Text.assign(std::istreambuf_iterator<char>(In), {});
    }
    const std::size_t Line = Text.find("\n" + Path + "\t") + 1;
    const std::size_t Number = Text.find('\t', Line) + 1;
    const std::string BadNumber = Text.substr(0, Number) + "99" + Text.substr(Text.find('\n', Number));
    for (const std::string& Damaged :
         {Text.substr(0, Text.size() / 2), Text.substr(0, Text.size() - 1), std::string("garbage\n"), BadNumber}) {
        WriteText(Cache, Damaged);
        TDpkgIndex Again(Db, Cache);
        EXPECT_TRUE(Again.Lookup(Path));
        EXPECT_FALSE(Again.LoadedFromCache());
    }
    // A changed database makes the cache stale.
    WriteStatus("1:3.0-1");
    Touch(Db + "/status", 1'600'000'300);
    TDpkgIndex Stale(Db, Cache);
    EXPECT_EQ(Stale.Lookup(Path)->Version, "1:3.0-1");
    EXPECT_FALSE(Stale.LoadedFromCache());
}

}  // namespace
}  // namespace quorvane
