// The parsers of the dpkg database's files, over texts with every odd line
// the real files can hold.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "packages/dpkg/DpkgDatabase.h"

namespace quorvane::dpkg {
namespace {

using TPairs = std::vector<std::pair<std::string, std::string>>;

TEST(DpkgStatusTest, InstalledPackagesWithTheirFieldsAndConffiles) {
    const auto Packages = ParseStatus(
        "Package: gone\nStatus: deinstall ok config-files\nVersion: 1\n\n"
        "Package: tool\r\nStatus: install ok installed\r\nMaintainer:  Anna <a@example.org> \r\n"
        "Architecture: amd64\nVersion: 1:2.0-1\nDescription: A tool\n more text\n .\n"
        "Conffiles:\n /etc/tool.conf 0123456789ABCDEF0123456789abcdef\n"
        " /etc/old.conf 0123456789abcdef0123456789abcdef obsolete\n"
        " /etc/new.conf newconffile\n /etc/broken.conf\n"
        "Depends: libc6\n\n\n"
        "Package: waiting\nStatus: install ok triggers-pending\nVersion: 3\nno colon on this line\n\n"
        "Package: half\nStatus: install ok half-installed\n");
    ASSERT_EQ(Packages.size(), 2u);
    const TStatusPackage& Tool = Packages[0];
    EXPECT_EQ(Tool.Name, "tool");
    EXPECT_EQ(Tool.Maintainer, "Anna <a@example.org>");
    EXPECT_EQ(Tool.Architecture, "amd64");
    EXPECT_EQ(Tool.Version, "1:2.0-1");
    EXPECT_EQ(Tool.Description, "A tool");
    ASSERT_EQ(Tool.Conffiles.size(), 2u);
    EXPECT_EQ(Tool.Conffiles[0].Path, "/etc/tool.conf");
    EXPECT_EQ(Tool.Conffiles[0].Md5, "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(Tool.Conffiles[1].Path, "/etc/old.conf");
    EXPECT_EQ(Packages[1].Name, "waiting");
    EXPECT_EQ(Packages[1].Version, "3");
    EXPECT_EQ(ParseStatus("Status: install ok installed\nVersion: 1\n").size(), 0u);  // no name
    EXPECT_TRUE(ParseStatus("").empty());
}

TEST(DpkgListTest, OnlyAbsolutePathsWithALastComponent) {
    std::vector<std::string> Paths;
    ParseList("/.\n/usr\r\n/usr/bin/tool\n\nrelative/path\n/usr/bin/\n/with\ttab\n/last/line/without/end",
              [&](std::string_view Path) { Paths.emplace_back(Path); });
    EXPECT_EQ(Paths, (std::vector<std::string>{"/.", "/usr", "/usr/bin/tool", "/last/line/without/end"}));
}

TEST(DpkgMd5SumsTest, TextAndBinaryMarksCaseAndBrokenLines) {
    TPairs Sums;
    ParseMd5Sums("3e2b31c72181b87149ff995e7202c0e3  usr/bin/tool\n"
                 "3E2B31C72181B87149FF995E7202C0E3 *usr/bin/binary mark\r\n"
                 "3e2b31c72181b87149ff995e7202c0e3  /usr/bin/absolute\n"
                 "3e2b31c72181b87149ff995e7202c0e3  ./usr/bin/dotted\n"
                 "3e2b31c72181b87149ff995e7202c0e  usr/bin/short-sum\n"
                 "3e2b31c72181b87149ff995e7202c0eX  usr/bin/not-hex\n"
                 "3e2b31c72181b87149ff995e7202c0e3usr/bin/no-blank\n"
                 "3e2b31c72181b87149ff995e7202c0e3  \n"
                 "3e2b31c72181b87149ff995e7202c0e3  usr/lib/",
                 [&](std::string_view Path, std::string_view Md5) { Sums.emplace_back(Path, Md5); });
    const std::string Sum = "3e2b31c72181b87149ff995e7202c0e3";
    EXPECT_EQ(Sums, (TPairs{{"/usr/bin/tool", Sum},
                            {"/usr/bin/binary mark", Sum},
                            {"/usr/bin/absolute", Sum},
                            {"/usr/bin/dotted", Sum}}));
}

TEST(DpkgDiversionsTest, GroupsOfThreeLines) {
    const auto Diversions = ParseDiversions("/bin/sh\n/bin/sh.distrib\ndash\n"
                                            "/usr/bin/tool\n/usr/bin/tool.orig\n:\n"
                                            "relative\n/usr/bin/x.orig\npkg\n"
                                            "/usr/bin/cut\n/usr/bin/cut.orig\n");
    ASSERT_EQ(Diversions.size(), 2u);
    EXPECT_EQ(Diversions[0].From, "/bin/sh");
    EXPECT_EQ(Diversions[0].To, "/bin/sh.distrib");
    EXPECT_EQ(Diversions[0].Package, "dash");
    EXPECT_EQ(Diversions[1].Package, "");  // a local diversion
}

}  // namespace
}  // namespace quorvane::dpkg
