// The pacman back-end over databases made by pacman itself: a package made
// with bsdtar as makepkg makes it (.PKGINFO, .MTREE with each file's
// digests), installed with "pacman --root R --dbpath ... -U" into temporary
// roots. makepkg itself refuses to run as root, as the tests do in CI.
#include <filesystem>

#include <gtest/gtest.h>

#include "PackageRoots.h"

namespace quorvane {
namespace {

using namespace testing;
namespace fs = std::filesystem;

class PacmanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!HaveTool("pacman") || !HaveTool("bsdtar") || (geteuid() != 0 && !HaveTool("fakeroot")))
            return;
        Dir = new TTempDir;
        const std::string Stage = *Dir / "stage";
        WriteText(Stage + "/usr/bin/werkzeug", kWerkzeug);
        WriteText(Stage + "/usr/bin/anders", kAnders);
        WriteText(Stage + "/.PKGINFO", "pkgname = werkzeug\npkgbase = werkzeug\npkgver = 1.2-3\n"
                                       "pkgdesc = Ein Werkzeug\nbuilddate = 1700000000\n"
                                       "packager = Anna <anna@example.org>\nsize = 48\narch = any\n");
        WriteText(*Dir / "pacman.conf", "[options]\nArchitecture = auto\nSigLevel = Never\nLocalFileSigLevel = Never\n");
        const std::string Log = *Dir / "log";
        Built = RunCommand("cd " + Stage + " && chmod 755 usr/bin/* && LANG=C bsdtar -czf .MTREE --format=mtree "
                    "--options='!all,use-set,type,uid,gid,mode,time,size,md5,sha256,link' .PKGINFO usr && "
                    "bsdtar -czf " + *Dir / "werkzeug-1.2-3-any.pkg.tar.gz" + " .PKGINFO .MTREE usr",
                    Log) == 0;
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
    }

    void SetUp() override {
        if (!Dir)
            GTEST_SKIP() << "pacman (pacman-package-manager), bsdtar (libarchive-tools) or fakeroot is missing";
        ASSERT_TRUE(Built) << ReadText(*Dir / "log");
    }

    // A root with the package installed by pacman.
    static std::string InstallRoot(const std::string& Name) {
        const std::string Root = *Dir / Name;
        fs::create_directories(Root + "/var/lib/pacman");
        EXPECT_EQ(RunCommand(AsRoot() + "pacman --root " + Root + " --dbpath " + Root + "/var/lib/pacman --cachedir " +
                          *Dir / "cache" + " --config " + *Dir / "pacman.conf" + " --noconfirm --noprogressbar -U " +
                          *Dir / "werkzeug-1.2-3-any.pkg.tar.gz",
                      *Dir / "log"),
                  0)
            << ReadText(*Dir / "log");
        return Root;
    }

    static TTempDir* Dir;
    static bool Built;
};

TTempDir* PacmanTest::Dir = nullptr;
bool PacmanTest::Built = false;

TEST_F(PacmanTest, ThePackageThatInstalledAFileVouchesForItWhileItsDigestMatches) {
    const std::string Root = InstallRoot("root");
    ExpectTheCasesOfEveryManager(Root, "pacman", "werkzeug", "1.2-3", "Anna <anna@example.org>");
    EXPECT_EQ(ReadWithReader(*RootApi(Root), "/usr/bin/werkzeug").FileDescription, "Ein Werkzeug");
}

TEST_F(PacmanTest, ADatabaseThatCannotBeReadIsNamedNeverTakenForNoPackage) {
    const std::string Wrong = InstallRoot("version");
    WriteText(Wrong + "/var/lib/pacman/local/ALPM_DB_VERSION", "kaputt\n");
    const std::string Mtree = InstallRoot("mtree");
    WriteText(Mtree + "/var/lib/pacman/local/werkzeug-1.2-3/mtree", "kein gzip\n");
    const std::pair<std::string, std::string> Cases[] = {
        {Wrong, "pacman /var/lib/pacman: beschädigt (database is incorrect version)\n"},
        {Mtree, "pacman /var/lib/pacman: beschädigt (werkzeug/mtree)\n"},
    };
    for (const auto& [Root, Expected] : Cases) {
        SCOPED_TRACE(Root);
        const auto Api = RootApi(Root);
        EXPECT_NE(SourceOf(*Api, "/usr/bin/werkzeug").Check, TPackageCheck::Verified);
        EXPECT_EQ(Reason(*Api), Expected);
    }
}

}  // namespace
}  // namespace quorvane
