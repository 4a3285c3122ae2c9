// apk's database of installed packages: the parser over damaged and odd
// text, and the back-end over a root whose database the test writes as apk
// does (there is no apk in Debian).
#include <filesystem>

#include <gtest/gtest.h>
#include <nettle/base64.h>
#include <nettle/sha1.h>

#include "PackageRoots.h"
#include "packages/Packages.h"
#include "packages/apk/ApkInstalled.h"

namespace quorvane {
namespace {

using namespace testing;

// "Q1" and the SHA-1 of Text in base64, as apk writes a file's checksum.
std::string Q1(const std::string& Text) {
    sha1_ctx Context;
    sha1_init(&Context);
    sha1_update(&Context, Text.size(), reinterpret_cast<const std::uint8_t*>(Text.data()));
    std::uint8_t Sum[SHA1_DIGEST_SIZE];
    sha1_digest(&Context, sizeof Sum, Sum);
    char Encoded[BASE64_ENCODE_RAW_LENGTH(SHA1_DIGEST_SIZE)];
    base64_encode_raw(Encoded, sizeof Sum, Sum);
    return "Q1" + std::string(Encoded, sizeof Encoded);
}

TEST(ApkInstalledTest, PackagesFilesAndChecksumsDamageCostsOnlyItsLine) {
    const std::string Text =
        "C:Q1abc=\nP:musl\nV:1.2.4-r2\nT:the musl c library\nm:Natanael <ncopa@alpinelinux.org>\n"
        "F:lib\nR:ld-musl-x86_64.so.1\na:0:0:755\nZ:" + Q1("x") + "\nR:libc.musl-x86_64.so.1\n"
        "Z:0123456789ABCDEF0123456789abcdef\n"
        "F:\nR:root-file\nZ:Q1notbase64====\n"  // line 14: a checksum of neither form
        "\nP:busybox\nV:1.36.1-r5\nF:bin\nR:busybox\nR:sh\n"
        "F:../etc\nR:passwd\n"  // line 21: a folder that leaves the root; its files go too
        "F:usr/bin\nR:sub/dir\nZ:Q1x\n"  // a name with "/"; a checksum without a file
        "garbage\n\nR:orphan\n";  // a line without key, a file without package and folder
    const apk::TApkInstalled Installed = apk::ParseInstalled(Text);
    ASSERT_EQ(Installed.Packages.size(), 2u);
    EXPECT_EQ(Installed.Packages[0].Name, "musl");
    EXPECT_EQ(Installed.Packages[0].Version, "1.2.4-r2");
    EXPECT_EQ(Installed.Packages[0].Description, "the musl c library");
    EXPECT_EQ(Installed.Packages[0].Maintainer, "Natanael <ncopa@alpinelinux.org>");
    EXPECT_EQ(Installed.FirstDamagedLine, 14u);

    struct TExpected {
        const char* Path;
        std::uint32_t Package;
        TDigestAlgorithm Algorithm;
        const char* Digest;
    };
    const TExpected Expected[] = {
        {"/lib/ld-musl-x86_64.so.1", 0, TDigestAlgorithm::Sha1, "11f6ad8ec52a2984abaafd7c3b516503785c2072"},
        {"/lib/libc.musl-x86_64.so.1", 0, TDigestAlgorithm::Md5, "0123456789abcdef0123456789abcdef"},
        {"/root-file", 0, TDigestAlgorithm::None, ""},
        {"/bin/busybox", 1, TDigestAlgorithm::None, ""},
        {"/bin/sh", 1, TDigestAlgorithm::None, ""},
    };
    ASSERT_EQ(Installed.Files.size(), std::size(Expected));
    for (std::size_t I = 0; I < std::size(Expected); ++I) {
        SCOPED_TRACE(Expected[I].Path);
        EXPECT_EQ(Installed.Files[I].Path, Expected[I].Path);
        EXPECT_EQ(Installed.Files[I].Package, Expected[I].Package);
        EXPECT_EQ(Installed.Files[I].Algorithm, Expected[I].Algorithm);
        EXPECT_EQ(Installed.Files[I].Digest, Expected[I].Digest);
    }

    // Base64 that is not quite 20 bytes, or not canonical, is no checksum.
    TDigestAlgorithm Algorithm;
    std::string Hex;
    const std::string Good = Q1("x");
    for (const std::string& Bad : {Good.substr(0, 29) + "A", Good.substr(0, 28) + "B=", Good + "=", Good.substr(2),
                                   std::string("Q2") + Good.substr(2), std::string(31, 'a'), std::string(32, 'g')})
        EXPECT_FALSE(apk::ParseChecksum(Bad, Algorithm, Hex)) << Bad;
    EXPECT_TRUE(apk::ParseInstalled("").Packages.empty());
}

TEST(ApkDatabaseTest, ThePackageThatInstalledAFileVouchesForItWhileItsDigestMatches) {
    TTempDir Dir;
    const std::string Root = Dir / "root";
    WriteText(Root + "/usr/bin/werkzeug", kWerkzeug);
    WriteText(Root + "/usr/bin/anders", kAnders);
    const std::string Installed = "P:werkzeug\nV:1.2-r3\nT:Ein Werkzeug\nm:Anna <anna@example.org>\nF:usr/bin\n"
                                  "R:werkzeug\nZ:" + Q1(kWerkzeug) + "\nR:anders\nZ:" + Md5Hex(std::vector<std::uint8_t>(kAnders.begin(), kAnders.end())) +
                                  "\n\n";
    WriteText(Root + "/lib/apk/db/installed", Installed);
    ExpectTheCasesOfEveryManager(Root, "apk", "werkzeug", "1.2-r3", "Anna <anna@example.org>");

    // The layer's own interface, as other callers use it: a path opened
    // inside the root, and a stamp that follows the database.
    TPackagesOptions Options;
    Options.Root = Root;
    TPackages Packages(Options);
    const TPackageVerdict Linked = Packages.Check("/usr/bin/kurz");
    EXPECT_EQ(Linked.Check, TContentCheck::Verified);
    ASSERT_TRUE(Linked.Owner);
    EXPECT_EQ(Linked.Owner->Algorithm, TDigestAlgorithm::Sha1);
    EXPECT_EQ(Packages.Check("/usr/bin/hinaus").Check, TContentCheck::NotListed);
    const std::string Stamp = Packages.Stamp();

    // Damaged: what can be read still speaks, and the damage is named.
    WriteText(Root + "/lib/apk/db/installed", std::string("\x7f" "ELF\x02\x01\n", 7) + Installed);
    EXPECT_NE(Packages.Stamp(), Stamp);
    const auto Api = RootApi(Root);
    EXPECT_EQ(SourceOf(*Api, "/usr/bin/werkzeug").Check, TPackageCheck::Verified);
    EXPECT_EQ(SourceOf(*Api, "/usr/bin/fremd").UnreadDatabases.size(), 1u);
    EXPECT_EQ(Reason(*Api), "apk /lib/apk/db/installed: beschädigt in Zeile 1\n");
}

}  // namespace
}  // namespace quorvane
