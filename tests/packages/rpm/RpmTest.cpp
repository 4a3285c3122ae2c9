// The rpm back-end over databases made by rpm itself: packages built with
// rpmbuild and installed with "rpm --root R --dbpath ... -i --nodeps" into
// temporary roots, once for the test program.
#include <filesystem>

#include <gtest/gtest.h>

#include "PackageRoots.h"

// librpm 4.18 leaves the sqlite connection of a database it failed to open
// behind (its own allocations, which the back-end cannot free).
extern "C" const char* __lsan_default_suppressions() { return "leak:libsqlite3.so\n"; }

namespace quorvane {
namespace {

using namespace testing;
namespace fs = std::filesystem;

class RpmTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!HaveTool("rpmbuild") || !HaveTool("rpm"))
            return;
        Dir = new TTempDir;
        // One package as current distributions build it (SHA-256), one as
        // old ones did, recording MD5.
        Built = BuildPackage("werkzeug", "/usr/bin/werkzeug", kWerkzeug, "/usr/bin/anders", kAnders, "8") &&
                BuildPackage("altwerk", "/usr/bin/alt", kWerkzeug, "/usr/bin/alt2", kAnders, "1");
    }
    static void TearDownTestSuite() {
        delete Dir;
        Dir = nullptr;
    }

    void SetUp() override {
        if (!Dir)
            GTEST_SKIP() << "rpm and rpmbuild (Debian package rpm) are not installed";
        ASSERT_TRUE(Built) << ReadText(*Dir / "log");
    }

    static bool BuildPackage(const std::string& Name, const std::string& File1, const std::string& Text1,
                             const std::string& File2, const std::string& Text2, const std::string& Algorithm) {
        const std::string Recipe = *Dir / (Name + ".recipe");
        auto Install = [](const std::string& File, const std::string& Text) {
            std::string Escaped;
            for (const char C : Text)
                Escaped += C == '\n' ? std::string("\\n") : std::string(1, C);
            return "printf '" + Escaped + "' > %{buildroot}" + File + "\nchmod 755 %{buildroot}" + File + "\n";
        };
        WriteText(Recipe, "Name: " + Name + "\nVersion: 5.2.26\nRelease: 3.fc40\nSummary: Ein Werkzeug\nLicense: MIT\n"
                        "Vendor: Beispiel AG\nPackager: Anna <anna@example.org>\nBuildArch: noarch\n"
                        "%description\nEin Werkzeug.\n%install\nmkdir -p %{buildroot}/usr/bin\n" +
                            Install(File1, Text1) + Install(File2, Text2) + "%files\n" + File1 + "\n" + File2 + "\n");
        return RunCommand("rpmbuild --quiet --define '_topdir " + *Dir / "top" + "' --define '_binary_filedigest_algorithm " +
                       Algorithm + "' -bb " + Recipe,
                   *Dir / "log") == 0;
    }

    // A root with the packages installed by rpm.
    static std::string InstallRoot(const std::string& Name) {
        const std::string Root = *Dir / Name;
        fs::create_directories(Root);
        EXPECT_EQ(RunCommand("rpm --root " + Root + " --dbpath /usr/lib/sysimage/rpm -i --nodeps " + *Dir / "top/RPMS/noarch/*.rpm",
                      *Dir / "log"),
                  0)
            << ReadText(*Dir / "log");
        return Root;
    }

    static TTempDir* Dir;
    static bool Built;
};

TTempDir* RpmTest::Dir = nullptr;
bool RpmTest::Built = false;

TEST_F(RpmTest, ThePackageThatInstalledAFileVouchesForItWhileItsDigestMatches) {
    const std::string Root = InstallRoot("root");
    ExpectTheCasesOfEveryManager(Root, "rpm", "werkzeug", "5.2.26-3.fc40", "Beispiel AG");

    // A package that records MD5 digests, and the summary as the description.
    const auto Api = RootApi(Root);
    const TReadOutcome Old = ReadWithReader(*Api, "/usr/bin/alt");
    EXPECT_EQ(SourceOf(*Api, "/usr/bin/alt").Check, TPackageCheck::Verified);
    EXPECT_EQ(Old.FileDescription, "Ein Werkzeug");
    EXPECT_EQ(Old.ProductName, "altwerk");
}

TEST_F(RpmTest, ADatabaseThatCannotBeReadIsNamedNeverTakenForNoPackage) {
    const std::string Root = InstallRoot("damaged");
    const std::string Folder = Root + "/usr/lib/sysimage/rpm";
    WriteText(Folder + "/rpmdb.sqlite", "kaputt\n");
    // openSUSE's ndb, which Debian's librpm does not read: librpm must not
    // be left to take the folder for a new database and create one.
    const std::string Ndb = *Dir / "ndb";
    fs::create_directories(Ndb + "/var/lib/rpm");
    fs::create_directories(Ndb + "/usr/bin");
    WriteText(Ndb + "/var/lib/rpm/Packages.db", std::string(4096, '\x01'));
    WriteText(Ndb + "/usr/bin/werkzeug", kWerkzeug);

    const std::pair<std::string, std::string> Cases[] = {
        {Root, "rpm /usr/lib/sysimage/rpm: beschädigt ("},
        {Ndb, "rpm /var/lib/rpm: sie hat das Format ndb, das die geladene librpm nicht liest\n"},
    };
    for (const auto& [System, Expected] : Cases) {
        SCOPED_TRACE(System);
        const auto Api = RootApi(System);
        const TVersionSource Source = SourceOf(*Api, "/usr/bin/werkzeug");
        EXPECT_EQ(Source.Check, TPackageCheck::NotListed);
        ASSERT_EQ(Source.UnreadDatabases.size(), 1u);
        EXPECT_EQ(Reason(*Api).substr(0, Expected.size()), Expected);
    }
    EXPECT_FALSE(fs::exists(Ndb + "/var/lib/rpm/rpmdb.sqlite"));
}

}  // namespace
}  // namespace quorvane
