// Package data from a fake dpkg database in a temporary folder: checksums,
// links, diversions, multi-arch lists, removed packages, refresh after a
// change, and the cache file that carries the index to the next run.
#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "packages/FileDigests.h"
#include "packages/dpkg/DpkgIndex.h"
#include "versioninfo/StConst.h"
#include "versioninfo/linux/ElfWriter.h"
#include "versioninfo/linux/TestFiles.h"

namespace quorvane {
namespace {

using namespace testing;
using namespace std::chrono_literals;

// The form the index keys have: directory resolved, last component kept.
std::string DirectoryResolvedForTest(const std::string& Path) {
    const std::filesystem::path P(Path);
    return (std::filesystem::canonical(P.parent_path()) / P.filename()).string();
}

std::string ReadText(const std::string& Path) {
    const std::vector<std::uint8_t> Bytes = ReadBytes(Path);
    return std::string(Bytes.begin(), Bytes.end());
}

// Gives a file a new mtime, as every dpkg run does to status.
void Touch(const std::string& Path, std::time_t Seconds) {
    const timespec Times[2] = {{Seconds, 0}, {Seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, Path.c_str(), Times, AT_SYMLINK_NOFOLLOW), 0);
}

class DpkgIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        Root = Dir / "root";
        Db = Dir / "db";
        Elf = BuildElf(TElfRecipe{}, {});
        WriteFile(Root + "/usr/bin/werkzeug", Elf);
        WriteFile(Root + "/usr/bin/removed", Elf);
        WriteFile(Root + "/usr/bin/unowned", Elf);
        WriteFile(Root + "/usr/lib/x/libding.so", Elf);
        WriteText(Root + "/usr/share/werkzeug/run.sh", "#!/bin/sh\n");
        WriteText(Root + "/usr/share/werkzeug/notes.txt", "unowned\n");
        // A merged /usr: the package lists its program under the link.
        std::filesystem::create_directory_symlink("usr/bin", Root + "/bin");
        WriteStatus("1:2.4-1");
        Package("werkzeug", {"/.", "/bin", "/bin/werkzeug", "/usr/share/werkzeug/run.sh"},
                {"/bin/werkzeug", "/usr/share/werkzeug/run.sh"});
        Package("libding:amd64", {"/usr/lib/x/libding.so"}, {"/usr/lib/x/libding.so"});
        Package("removed", {"/usr/bin/removed"}, {"/usr/bin/removed"});
    }

    void WriteStatus(const std::string& Version, const std::string& More = "") {
        WriteText(Db + "/status",
                  "Package: removed\nStatus: deinstall ok config-files\nVersion: 1\n\n"
                  "Package: werkzeug\nStatus: install ok installed\nPriority: optional\n"
                  "Maintainer: Anna Beispiel <anna@example.org>\nArchitecture: amd64\nVersion: " +
                      Version +
                      "\nDescription: Ein Werkzeug\n Eine lange Beschreibung.\n .\n Noch mehr.\n\n"
                      "Package: libding\nStatus: install ok triggers-pending\nArchitecture: amd64\n"
                      "Multi-Arch: same\nMaintainer: Bert <bert@example.org>\nVersion: 0.9\n"
                      "Description: Eine Bibliothek\n\n" +
                      More);
    }

    // A package's list and md5sums over files under Root, the checksums
    // those of the files as they are now.
    void Package(const std::string& Name, const std::vector<std::string>& Listed,
                 const std::vector<std::string>& Summed) {
        std::string List, Sums;
        for (const std::string& Path : Listed)
            List += (Path == "/." ? Path : Root + Path) + "\n";
        for (const std::string& Path : Summed)
            Sums += Md5Hex(ReadBytes(Root + Path)) + "  " + (Root + Path).substr(1) + "\n";
        WriteText(Db + "/info/" + Name + ".list", List);
        WriteText(Db + "/info/" + Name + ".md5sums", Sums);
    }

    // The file's content changed in place, keeping its size and mtime.
    void ChangeInPlace(const std::string& Path) {
        struct stat Before;
        ASSERT_EQ(stat(Path.c_str(), &Before), 0);
        const int Fd = open(Path.c_str(), O_WRONLY);
        ASSERT_GE(Fd, 0);
        const char Byte = 'x';
        ASSERT_EQ(pwrite(Fd, &Byte, 1, Before.st_size - 1), 1);
        close(Fd);
        const timespec Times[2] = {Before.st_atim, Before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, Path.c_str(), Times, 0), 0);
    }

    TTempDir Dir;
    std::string Root, Db;
    TBytes Elf;
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
        const TVersionSource Source = SourceOf(*Api, Path);
        EXPECT_EQ(Source.Kind, TVersionSourceKind::Package);
        EXPECT_EQ(Source.Check, TPackageCheck::Verified);
        EXPECT_EQ(Source.PackageName, "werkzeug");
        EXPECT_EQ(Source.PackageVersion, "1:2.4-1");
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
        EXPECT_EQ(SourceOf(*Api, Elf).Check, TPackageCheck::NotListed);
    }
    const auto Text = ReadWithReader(*Api, Root + "/usr/share/werkzeug/notes.txt");
    EXPECT_FALSE(Text.Ok);
    EXPECT_EQ(Text.ErrorCode, stscVerInfoFail);  // no image at all: 1812
}

TEST_F(DpkgIndexTest, AChangedFileIsVouchedForByNoPackage) {
    // A listed program whose package note now speaks for it, and one without a note.
    const std::string Json = R"({"name":"fremd","version":"6.6","maintainer":"Jemand"})";
    TBytes Notes;
    AddNote(Notes, TElfRecipe{}, "FDO", 0xcafe1a7e, TBytes(Json.begin(), Json.end()), true);
    WriteFile(Root + "/usr/bin/werkzeug", BuildElf(TElfRecipe{}, Notes));
    WriteFile(Root + "/usr/lib/x/libding.so", TBytes(Elf.begin(), Elf.end() - 1));
    auto Api = TestApi(Db);

    const auto Noted = ReadWithReader(*Api, Root + "/usr/bin/werkzeug");
    ASSERT_TRUE(Noted.Ok);
    EXPECT_EQ(Noted.CompanyName, "Jemand");
    EXPECT_EQ(Noted.FileVersion, "6.6");
    TVersionSource Source = SourceOf(*Api, Root + "/usr/bin/werkzeug");
    EXPECT_EQ(Source.Kind, TVersionSourceKind::PackageNote);
    EXPECT_EQ(Source.Check, TPackageCheck::Changed);
    EXPECT_EQ(Source.PackageName, "werkzeug");

    EXPECT_EQ(ReadWithReader(*Api, Root + "/usr/lib/x/libding.so").ErrorCode, stscNoVerInfo);
    Source = SourceOf(*Api, Root + "/usr/lib/x/libding.so");
    EXPECT_EQ(Source.Kind, TVersionSourceKind::None);
    EXPECT_EQ(Source.Check, TPackageCheck::Changed);

    // A listed file without a recorded checksum is not vouched for either.
    WriteText(Db + "/info/werkzeug.md5sums", "");
    Touch(Db + "/info", 1'600'000'000);
    EXPECT_EQ(SourceOf(*Api, Root + "/usr/share/werkzeug/run.sh").Check, TPackageCheck::NoChecksum);
    EXPECT_EQ(ReadWithReader(*Api, Root + "/usr/share/werkzeug/run.sh").ErrorCode, stscVerInfoFail);
}

TEST_F(DpkgIndexTest, AFileChangedInPlaceBetweenReloadsIsHashedAgain) {
    // The checksum of a settled file is kept and reused: the second read
    // hashes nothing. A change of the content that keeps size and mtime
    // still moves the change time, so the file is hashed again.
    const std::string Path = Root + "/usr/bin/werkzeug";
    std::this_thread::sleep_for(50ms);  // past the clock tick of the writes above
    auto Api = TestApi(Db, 0ns);
    ASSERT_TRUE(ReadWithReader(*Api, Path).Ok);
    const std::uint64_t Hashed = BytesHashed();
    ASSERT_TRUE(ReadWithReader(*Api, Path).Ok);
    EXPECT_EQ(BytesHashed(), Hashed);

    std::this_thread::sleep_for(50ms);
    ChangeInPlace(Path);
    const auto Changed = ReadWithReader(*Api, Path);
    EXPECT_FALSE(Changed.Ok);
    EXPECT_EQ(SourceOf(*Api, Path).Check, TPackageCheck::Changed);
    EXPECT_EQ(BytesHashed(), Hashed + Elf.size());
}

TEST_F(DpkgIndexTest, ACheckSumIsKeptOnlyForAFileThatHadSettled) {
    const std::string Path = Root + "/usr/bin/werkzeug";
    auto Api = TestApi(Db, 1h);  // every file counts as written just now
    ASSERT_TRUE(ReadWithReader(*Api, Path).Ok);
    const std::uint64_t Hashed = BytesHashed();
    ASSERT_TRUE(ReadWithReader(*Api, Path).Ok);
    EXPECT_EQ(BytesHashed(), Hashed + Elf.size());
}

TEST_F(DpkgIndexTest, LinksAreFollowedToTheFileTheyName) {
    std::filesystem::create_directories(Root + "/etc/alternatives");
    std::filesystem::create_symlink(Root + "/usr/bin/werkzeug", Root + "/etc/alternatives/tool");
    std::filesystem::create_symlink("../../etc/alternatives/tool", Root + "/usr/bin/tool");
    std::filesystem::create_symlink("werkzeug", Root + "/usr/bin/alias");
    auto Api = TestApi(Db);
    for (const std::string& Link : {Root + "/usr/bin/tool", Root + "/bin/alias"}) {
        SCOPED_TRACE(Link);
        EXPECT_EQ(ReadWithReader(*Api, Link).CompanyName, "Anna Beispiel <anna@example.org>");
        EXPECT_EQ(SourceOf(*Api, Link).Check, TPackageCheck::Verified);
    }
}

TEST_F(DpkgIndexTest, DiversionsDecideWhichPackageAFileBelongsTo) {
    // "teile" ships /usr/bin/teil; "umleiter" diverts it to teil.distrib and
    // ships a teil of its own. The admin diverted /usr/bin/lokal (a local
    // diversion): werkzeug's lokal is installed as lokal.orig.
    WriteText(Root + "/usr/bin/teil.distrib", "teile\n");
    WriteText(Root + "/usr/bin/teil", "umleiter\n");
    WriteText(Root + "/usr/bin/lokal.orig", "werkzeug\n");
    WriteText(Root + "/usr/bin/lokal", "admin\n");
    WriteStatus("1:2.4-1", "Package: teile\nStatus: install ok installed\nMaintainer: T\nVersion: 1\n\n"
                           "Package: umleiter\nStatus: install ok installed\nMaintainer: U\nVersion: 2\n");
    auto ListWithSums = [&](const std::string& Name, const std::string& Listed, const std::string& Content) {
        WriteText(Db + "/info/" + Name + ".list", Root + Listed + "\n");
        WriteText(Db + "/info/" + Name + ".md5sums",
                  Md5Hex(TBytes(Content.begin(), Content.end())) + "  " + (Root + Listed).substr(1) + "\n");
    };
    ListWithSums("teile", "/usr/bin/teil", "teile\n");
    ListWithSums("umleiter", "/usr/bin/teil", "umleiter\n");
    ListWithSums("werkzeug", "/usr/bin/lokal", "werkzeug\n");
    WriteText(Db + "/diversions", Root + "/usr/bin/teil\n" + Root + "/usr/bin/teil.distrib\numleiter\n" + Root +
                                      "/usr/bin/lokal\n" + Root + "/usr/bin/lokal.orig\n:\n");
    auto Api = TestApi(Db);
    const std::pair<std::string, std::string> Expected[] = {
        {"/usr/bin/teil", "umleiter"}, {"/usr/bin/teil.distrib", "teile"}, {"/usr/bin/lokal.orig", "werkzeug"}};
    for (const auto& [Path, Package] : Expected) {
        SCOPED_TRACE(Path);
        const TVersionSource Source = SourceOf(*Api, Root + Path);
        EXPECT_EQ(Source.PackageName, Package);
        EXPECT_EQ(Source.Check, TPackageCheck::Verified);
    }
    EXPECT_EQ(SourceOf(*Api, Root + "/usr/bin/lokal").Check, TPackageCheck::NotListed);

    // dpkg-divert changes only the diversions file: the index follows it.
    WriteText(Db + "/diversions", "");
    Touch(Db + "/diversions", 1'600'000'000);
    EXPECT_EQ(SourceOf(*Api, Root + "/usr/bin/teil.distrib").Check, TPackageCheck::NotListed);
    EXPECT_EQ(SourceOf(*Api, Root + "/usr/bin/lokal").Check, TPackageCheck::Changed);
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
    const std::string Cache = Dir / "cache/index";
    std::filesystem::create_directories(Dir / "cache");
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
        EXPECT_EQ(Found->Package.Maintainer, "Anna Beispiel <anna@example.org>");
        EXPECT_EQ(Found->Package.Description, "Ein Werkzeug");
        EXPECT_EQ(Found->Md5, Md5Hex(Elf));
        EXPECT_FALSE(Second.Lookup(Path + "x"));
    }
    // Another database root with the same cache file does not take it.
    {
        TDpkgIndex Other(Dir / "nodb", Cache);
        EXPECT_FALSE(Other.Lookup(Path));
        EXPECT_FALSE(Other.LoadedFromCache());
    }
    // A changed database makes the cache stale.
    TDpkgIndex(Db, Cache).Lookup(Path);
    WriteStatus("1:3.0-1");
    Touch(Db + "/status", 1'600'000'300);
    TDpkgIndex Stale(Db, Cache);
    EXPECT_EQ(Stale.Lookup(Path)->Package.Version, "1:3.0-1");
    EXPECT_FALSE(Stale.LoadedFromCache());
}

TEST_F(DpkgIndexTest, ADamagedOrForeignCacheIsNeverTrusted) {
    const std::string Cache = Dir / "cache/index";
    std::filesystem::create_directories(Dir / "cache");
    const std::string Path = DirectoryResolvedForTest(Root + "/usr/bin/werkzeug");
    TDpkgIndex(Db, Cache).Lookup(Path);
    const std::string Text = ReadText(Cache);
    auto Flipped = [&](std::size_t At) {
        std::string Damaged = Text;
        Damaged[At] = Damaged[At] == 'x' ? 'y' : 'x';
        return Damaged;
    };
    const std::size_t PathLine = Text.rfind("\n" + Path + "\t") + 1;
    const std::size_t PackageLine = Text.find("werkzeug\t1:2.4-1");
    const std::size_t Checksum = Text.find(Md5Hex(Elf), PathLine);
    ASSERT_NE(PackageLine, std::string::npos);
    ASSERT_NE(Checksum, std::string::npos);
    const std::pair<const char*, std::string> Damages[] = {
        {"cut in half", Text.substr(0, Text.size() / 2)},
        {"last byte missing", Text.substr(0, Text.size() - 1)},
        {"garbage", "garbage\n"},
        {"a path line changed", Flipped(PathLine + 3)},
        {"a recorded checksum changed", Flipped(Checksum)},
        {"a package changed", Flipped(PackageLine + 2)},
    };
    for (const auto& [What, Damaged] : Damages) {
        SCOPED_TRACE(What);
        WriteText(Cache, Damaged);
        TDpkgIndex Again(Db, Cache);
        const auto Found = Again.Lookup(Path);
        ASSERT_TRUE(Found);
        EXPECT_EQ(Found->Md5, Md5Hex(Elf));
        EXPECT_EQ(Found->Package.Version, "1:2.4-1");
        EXPECT_FALSE(Again.LoadedFromCache());
        EXPECT_EQ(ReadText(Cache), Text);  // rebuilt and written again
    }
    // An intact cache that others could have written, or that is a link.
    ASSERT_EQ(chmod(Cache.c_str(), 0620), 0);
    TDpkgIndex Writable(Db, Cache);
    EXPECT_TRUE(Writable.Lookup(Path));
    EXPECT_FALSE(Writable.LoadedFromCache());
    std::filesystem::rename(Cache, Dir / "cache/real");
    std::filesystem::create_symlink(Dir / "cache/real", Cache);
    TDpkgIndex Linked(Db, Cache);
    EXPECT_TRUE(Linked.Lookup(Path));
    EXPECT_FALSE(Linked.LoadedFromCache());
}

TEST(DpkgIndexLargeTest, EveryPathOfALargeDatabaseIsFound) {
    // More than ten thousand paths, the smallest a very short one: the search
    // must find the first path and the last, in a fresh index and in its cache.
    TTempDir Dir;
    const std::string Db = Dir / "db";
    std::string Status, List;
    std::vector<std::string> Paths = {"/a"};
    for (int Package = 0; Package < 40; ++Package) {
        Status += "Package: p" + std::to_string(Package) + "\nStatus: install ok installed\nVersion: " +
                  std::to_string(Package) + "\n\n";
        List.clear();
        if (Package == 0)
            List += "/a\n";
        for (int File = 0; File < 300; ++File) {
            Paths.push_back("/nonexistent-" + std::to_string(Package) + "/dir/file-" + std::to_string(File));
            List += Paths.back() + "\n";
        }
        WriteText(Db + "/info/p" + std::to_string(Package) + ".list", List);
    }
    WriteText(Db + "/status", Status);
    const std::string Cache = Dir / "index";
    for (const bool FromCache : {false, true}) {
        SCOPED_TRACE(FromCache ? "from the cache" : "built");
        TDpkgIndex Index(Db, Cache);
        int Missing = 0;
        for (std::size_t I = 0; I < Paths.size(); ++I) {
            const auto Found = Index.Lookup(Paths[I]);
            const std::string Expected = I == 0 ? "0" : std::to_string((I - 1) / 300);
            if (!Found || Found->Package.Version != Expected)
                ++Missing;
        }
        EXPECT_EQ(Missing, 0);
        EXPECT_EQ(Index.LoadedFromCache(), FromCache);
        EXPECT_FALSE(Index.Lookup("/"));
        EXPECT_FALSE(Index.Lookup("/0"));
        EXPECT_FALSE(Index.Lookup("/zzz"));
    }
}

TEST(FileDigestsTest, ChecksumsPersistAcrossRunsUnlessTheCacheIsDamaged) {
    TTempDir Dir;
    const std::string File = Dir / "file";
    const std::string Cache = Dir / "digests";
    WriteText(File, "content of the file\n");
    std::this_thread::sleep_for(50ms);
    const std::string Expected = Md5Hex(ReadBytes(File));
    auto Md5 = [&](TFileDigests& Digests) {
        const int Fd = open(File.c_str(), O_RDONLY);
        struct stat Info;
        fstat(Fd, &Info);
        const std::string Sum = Digests.Of(Fd, Info, TDigestAlgorithm::Md5);
        close(Fd);
        return Sum;
    };
    {
        TFileDigests First(Cache, 0ns);
        EXPECT_EQ(Md5(First), Expected);
    }
    const std::uint64_t Hashed = BytesHashed();
    {
        TFileDigests Second(Cache, 0ns);
        EXPECT_EQ(Md5(Second), Expected);
        EXPECT_EQ(BytesHashed(), Hashed);
    }
    std::string Text = ReadText(Cache);
    Text[Text.find(Expected)] ^= 1;  // a checksum no longer covered by the cache's own
    WriteText(Cache, Text);
    TFileDigests Third(Cache, 0ns);
    EXPECT_EQ(Md5(Third), Expected);
    EXPECT_GT(BytesHashed(), Hashed);
}

TEST(FileDigestsTest, FileTimesFarInTheFutureOrPastStillTellFilesApart) {
    // tmpfs keeps whatever time a user sets, far beyond what nanoseconds since
    // 1970 hold in 64 bits.
    struct stat Info {};
    Info.st_dev = 1;
    Info.st_ino = 2;
    Info.st_size = 3;
    Info.st_mtim = {99999999999, 5};
    Info.st_ctim = {-99999999999, 0};
    const TFileIdentity Far = IdentityOf(Info);
    EXPECT_EQ(IdentityOf(Info), Far);
    Info.st_mtim.tv_nsec = 6;
    EXPECT_FALSE(IdentityOf(Info) == Far);
    const TDigestKey Key{Far, TDigestAlgorithm::Md5};
    TDigestMap Digests{{Key, TDigest{"0123456789abcdef0123456789abcdef", true}}};
    TDigestMap Read;
    ASSERT_TRUE(TFileDigests::ParseCacheText(TFileDigests::CacheText(Digests), Read));
    ASSERT_EQ(Read.count(Key), 1u);
    EXPECT_EQ(Read.at(Key).Hex, "0123456789abcdef0123456789abcdef");
}

}  // namespace
}  // namespace quorvane
