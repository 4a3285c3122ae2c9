// The package source over this machine's own dpkg database and programs:
// usr-merge aliases, alternatives links, diversions, a damaged cache, a file
// changed behind the database's back (a bind mount in a private mount
// namespace), and running images whose files were deleted or replaced.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "packages/dpkg/DpkgDatabase.h"
#include "packages/dpkg/DpkgIndex.h"
#include "versioninfo/StConst.h"
#include "versioninfo/linux/TestFiles.h"

namespace quorvane {
namespace {

using namespace testing;
namespace fs = std::filesystem;

constexpr const char* kDpkg = "/var/lib/dpkg";

class RealDpkgTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(std::string(kDpkg) + "/status"))
            GTEST_SKIP() << "no dpkg database on this machine";
        Api = TestApi(kDpkg);
    }

    // A file of an installed package, verified against its checksum.
    void ExpectVouched(const std::string& Path, const std::string& Package = {}) {
        SCOPED_TRACE(Path);
        const auto Out = ReadWithReader(*Api, Path);
        ASSERT_TRUE(Out.Ok) << Out.ErrorCode;
        EXPECT_FALSE(Out.CompanyName.empty());
        const TVersionSource Source = SourceOf(*Api, Path);
        EXPECT_EQ(Source.Kind, TVersionSourceKind::Package);
        EXPECT_EQ(Source.Check, TPackageCheck::Verified);
        if (!Package.empty()) {
            EXPECT_EQ(Source.PackageName, Package);
        }
    }

    std::unique_ptr<IVersionApi> Api;
};

TEST_F(RealDpkgTest, UsrMergeAliasesAndAlternativesLinksReachThePackage) {
    ExpectVouched("/bin/bash", "bash");
    ExpectVouched("/usr/bin/bash", "bash");
    ExpectVouched("/bin/sh");  // a link to the shell of the system
    if (fs::exists("/usr/bin/awk"))
        ExpectVouched("/usr/bin/awk");  // through /etc/alternatives
    // systemd's programs carry a package note without a maker: their package speaks first.
    if (fs::exists("/usr/lib/systemd/systemd"))
        ExpectVouched("/usr/lib/systemd/systemd", "systemd");
}

// A Windows program that a package ships is read from its own resource (Wine's
// notepad.exe has none), and names its package beside it.
TEST_F(RealDpkgTest, APackagedPeFileNamesItsPackage) {
    const std::string Notepad = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe";
    if (!fs::exists(Notepad))
        GTEST_SKIP() << "Wine's notepad.exe is not installed";
    const TVersionSource Source = SourceOf(*Api, Notepad);
    EXPECT_EQ(Source.Kind, TVersionSourceKind::FileResource);
    EXPECT_EQ(Source.Check, TPackageCheck::Verified);
    EXPECT_EQ(Source.PackageName, "libwine");
}

TEST_F(RealDpkgTest, DivertedFilesBelongToThePackageThatShippedThem) {
    std::ifstream In(std::string(kDpkg) + "/diversions");
    const std::string Text((std::istreambuf_iterator<char>(In)), {});
    int Checked = 0;
    for (const dpkg::TDiversion& Diversion : dpkg::ParseDiversions(Text)) {
        std::error_code Error;
        if (Diversion.Package.empty() || !fs::is_regular_file(fs::symlink_status(Diversion.To, Error)))
            continue;
        SCOPED_TRACE(Diversion.To);
        const TVersionSource Source = SourceOf(*Api, Diversion.To);
        EXPECT_NE(Source.Check, TPackageCheck::NotListed);
        EXPECT_NE(Source.PackageName, Diversion.Package);
        ++Checked;
    }
    if (Checked == 0)
        GTEST_SKIP() << "no diverted file of a package on this machine";
}

TEST_F(RealDpkgTest, ADamagedCacheOfTheRealDatabaseIsRebuilt) {
    TTempDir Dir;
    const std::string Cache = Dir / "index";
    char Resolved[PATH_MAX];
    ASSERT_TRUE(realpath("/bin/bash", Resolved));
    ASSERT_TRUE(TDpkgIndex(kDpkg, Cache).Lookup(Resolved));
    std::vector<std::uint8_t> Bytes = ReadBytes(Cache);
    const std::string Text(Bytes.begin(), Bytes.end());
    const std::size_t Line = Text.rfind("\n" + std::string(Resolved) + "\t");
    ASSERT_NE(Line, std::string::npos);
    Bytes[Line + 2] ^= 0x20;
    WriteFile(Cache, Bytes);
    TDpkgIndex Damaged(kDpkg, Cache);
    const auto Found = Damaged.Lookup(Resolved);
    ASSERT_TRUE(Found);
    EXPECT_EQ(Found->Package.Name, "bash");
    EXPECT_FALSE(Damaged.LoadedFromCache());
}

// Runs Check in a child process with a mount namespace of its own, in which
// Replacement is bind-mounted over Target. The child answers 0 when Check
// holds, 1 when not, 2 when the namespace cannot be had.
int WithFileReplaced(const std::string& Target, const std::string& Replacement, const std::function<bool()>& Check) {
    const pid_t Child = fork();
    if (Child == 0) {
        if (unshare(CLONE_NEWNS) != 0) {
            // As another user: a user namespace of our own first.
            const uid_t Uid = getuid();
            const gid_t Gid = getgid();
            if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
                _exit(2);
            auto Write = [](const char* File, const std::string& Text) {
                std::ofstream Out(File);
                Out << Text;
                return static_cast<bool>(Out.flush());
            };
            Write("/proc/self/setgroups", "deny");
            if (!Write("/proc/self/uid_map", "0 " + std::to_string(Uid) + " 1\n") ||
                !Write("/proc/self/gid_map", "0 " + std::to_string(Gid) + " 1\n"))
                _exit(2);
        }
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(Replacement.c_str(), Target.c_str(), nullptr, MS_BIND, nullptr) != 0)
            _exit(2);
        _exit(Check() ? 0 : 1);
    }
    int Status = 0;
    while (waitpid(Child, &Status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : 1;
}

TEST_F(RealDpkgTest, AProgramReplacedBehindTheDatabasesBackIsNotVouchedFor) {
    const std::string Target = "/usr/bin/hostname";
    if (!fs::exists(Target))
        GTEST_SKIP() << Target << " is not installed";
    TTempDir Dir;
    const std::string Script = Dir / "hostname";
    WriteText(Script, "#!/bin/sh\necho imposter\n");
    const int Outcome = WithFileReplaced(Target, Script, [&] {
        const auto Api = TestApi(kDpkg);
        const auto Out = ReadWithReader(*Api, Target);
        const TVersionSource Source = SourceOf(*Api, Target);
        return !Out.Ok && Source.Check == TPackageCheck::Changed && Source.PackageName == "hostname";
    });
    if (Outcome == 2)
        GTEST_SKIP() << "no private mount namespace to be had";
    EXPECT_EQ(Outcome, 0);
    ExpectVouched(Target, "hostname");  // outside the namespace, the file is the package's
}

// A program started from a folder of the test's own, listed by a package of
// a fake database with the program's checksum, and ended by the destructor.
class TListedProgram {
public:
    explicit TListedProgram(const TTempDir& Dir) : FPath(Dir / "bin/schlaf"), FDb(Dir / "db") {
        fs::create_directories(Dir / "bin");
        fs::copy_file("/bin/sleep", FPath);
        WriteText(FDb + "/status", "Package: schlaf\nStatus: install ok installed\nMaintainer: Sam <s@example.org>\n"
                                   "Version: 1.0\n");
        WriteText(FDb + "/info/schlaf.list", FPath + "\n");
        WriteText(FDb + "/info/schlaf.md5sums", Md5Hex(ReadBytes(FPath)) + "  " + FPath.substr(1) + "\n");
        FChild = fork();
        if (FChild == 0) {
            execl(FPath.c_str(), "schlaf", "600", static_cast<char*>(nullptr));
            _exit(127);
        }
        // Until the child runs the program, its image is this test.
        for (int Round = 0; Round < 500 && ExeTarget().find("schlaf") == std::string::npos; ++Round)
            usleep(10'000);
    }
    ~TListedProgram() {
        kill(FChild, SIGKILL);
        waitpid(FChild, nullptr, 0);
    }
    std::string ExeLink() const { return "/proc/" + std::to_string(FChild) + "/exe"; }
    std::string ExeTarget() const {
        std::error_code Error;
        return fs::read_symlink(ExeLink(), Error).string();
    }
    const std::string& Path() const { return FPath; }
    const std::string& Db() const { return FDb; }

private:
    std::string FPath;
    std::string FDb;
    pid_t FChild = -1;
};

TEST(RunningImageTest, AReplacedImageIsVouchedForOnlyByItsOwnContent) {
    TTempDir Dir;
    TListedProgram Program(Dir);
    ASSERT_EQ(Program.ExeTarget(), Program.Path());
    auto Api = TestApi(Program.Db());
    EXPECT_EQ(SourceOf(*Api, Program.ExeLink()).Check, TPackageCheck::Verified);

    // An update: a new file under the old name, the old one gone.
    const std::string Update = Dir / "bin/schlaf.new";
    WriteText(Update, "#!/bin/sh\nexec sleep \"$@\"\n");
    fs::rename(Update, Program.Path());
    EXPECT_EQ(Program.ExeTarget(), Program.Path() + " (deleted)");
    const auto Running = ReadWithReader(*Api, Program.ExeLink());
    ASSERT_TRUE(Running.Ok) << Running.ErrorCode;
    EXPECT_EQ(Running.CompanyName, "Sam <s@example.org>");
    const TVersionSource Source = SourceOf(*Api, Program.ExeLink());
    EXPECT_EQ(Source.Kind, TVersionSourceKind::Package);
    EXPECT_EQ(Source.PackageName, "schlaf");
    EXPECT_EQ(SourceOf(*Api, Program.Path()).Check, TPackageCheck::Changed);  // the new file at the path

    // Deleted: the running image is still readable through the link.
    fs::remove(Program.Path());
    EXPECT_EQ(SourceOf(*Api, Program.ExeLink()).Check, TPackageCheck::Verified);
}

}  // namespace
}  // namespace quorvane
