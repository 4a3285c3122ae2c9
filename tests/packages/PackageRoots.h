// Helpers of the tests that build another system's root with a package
// manager's own tools: running the tools, and the cases every manager must
// answer alike over such a root, through the version reader and through the
// report command.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "versioninfo/linux/LinuxVersionApi.h"
#include "versioninfo/linux/TestFiles.h"

namespace quorvane::testing {

// The two programs each test package installs, and what they print.
inline const std::string kWerkzeug = "#!/bin/sh\necho werkzeug\n";
inline const std::string kAnders = "#!/bin/sh\necho anders!\n";

// Runs a shell command with its output in Log; its exit code.
inline int RunCommand(const std::string& Command, const std::string& Log) {
    return std::system((Command + " >>" + Log + " 2>&1").c_str()) == 0 ? 0 : 1;
}

inline std::string ReadText(const std::string& Path) {
    const auto Bytes = ReadBytes(Path);
    return std::string(Bytes.begin(), Bytes.end());
}

inline bool HaveTool(const char* Name) {
    return std::system((std::string("command -v ") + Name + " >/dev/null 2>&1").c_str()) == 0;
}

// pacman installs only as root; fakeroot lets a normal user do it into a folder of his.
inline std::string AsRoot() { return geteuid() == 0 ? "" : "fakeroot "; }

// The version back-end over the system under Root, its caches in memory.
inline std::unique_ptr<IVersionApi> RootApi(const std::string& Root) {
    TLinuxVersionApiOptions Options;
    Options.Root = Root;
    Options.PersistCaches = false;
    return CreateLinuxVersionApi(Options);
}

inline std::string Reason(IVersionApi& Api) {
    std::string Text;
    for (const TUnreadDatabase& Unread : Api.UnreadPackageDatabases())
        Text += Unread.Manager + " " + Unread.Location + ": " + Unread.Reason + "\n";
    return Text;
}

// The report command's JSON line for each path, from the program itself.
inline std::vector<nlohmann::json> ReportOver(const std::string& Root, const std::vector<std::string>& Paths) {
    std::string Command = std::string(QUORVANE_REPORT_PROGRAM) + " --json --root " + Root + " --files";
    for (const std::string& Path : Paths)
        Command += " " + Path;
    std::vector<nlohmann::json> Lines;
    FILE* Out = popen(("ASAN_OPTIONS=detect_leaks=0 " + Command + " 2>/dev/null").c_str(), "r");
    if (!Out)
        return Lines;
    std::string Text;
    char Buffer[4096];
    for (std::size_t Got; (Got = fread(Buffer, 1, sizeof Buffer, Out)) > 0;)
        Text.append(Buffer, Got);
    pclose(Out);
    std::size_t Pos = 0;
    for (std::size_t End; (End = Text.find('\n', Pos)) != std::string::npos; Pos = End + 1)
        Lines.push_back(nlohmann::json::parse(Text.substr(Pos, End - Pos), nullptr, false));
    return Lines;
}

// Over a root where the manager's database lists /usr/bin/werkzeug and
// /usr/bin/anders as installed (from Package at Version by Maker), with
// /usr/bin/werkzeug unchanged: the cases every manager must answer alike.
// Changes the root: anders is changed in place (same size), and a file
// of no package and links are added.
inline void ExpectTheCasesOfEveryManager(const std::string& Root, const std::string& Manager,
                                         const std::string& Package, const std::string& Version,
                                         const std::string& Maker) {
    namespace fs = std::filesystem;
    // A copy of werkzeug outside the root, which a link out of it would reach.
    const std::string Outside = fs::path(Root).parent_path() / "outside-werkzeug";
    WriteText(Outside, kWerkzeug);
    WriteText(Root + "/usr/bin/anders", std::string(kAnders.size() - 2, 'x') + "\n\n");
    WriteText(Root + "/usr/bin/fremd", kWerkzeug);
    fs::create_symlink("werkzeug", Root + "/usr/bin/kurz");
    fs::create_symlink("/usr/bin/werkzeug", Root + "/usr/bin/absolut");
    fs::create_symlink("../../../../../../../../usr/bin/werkzeug", Root + "/usr/bin/hoch");  // ".." stops at the root
    fs::create_symlink(Outside, Root + "/usr/bin/hinaus");
    fs::create_symlink("../../../outside-werkzeug", Root + "/usr/bin/hinauf");

    struct TCase {
        const char* Path;
        TPackageCheck Check;
        bool Exists;  // inside the root
    };
    const TCase Cases[] = {
        {"/usr/bin/werkzeug", TPackageCheck::Verified, true},  // owned, unchanged
        {"/usr/bin/anders", TPackageCheck::Changed, true},  // owned, changed in place
        {"/usr/bin/fremd", TPackageCheck::NotListed, true},  // owned by no package
        {"/usr/bin/kurz", TPackageCheck::Verified, true},  // links that stay inside the root
        {"/usr/bin/absolut", TPackageCheck::Verified, true},
        {"usr/bin/hoch", TPackageCheck::Verified, true},
        {"/usr/bin/hinaus", TPackageCheck::NotListed, false},  // links that try to leave it
        {"/usr/bin/hinauf", TPackageCheck::NotListed, false},
    };
    const auto Api = RootApi(Root);
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Path);
        EXPECT_EQ(Api->FileProblem(Case.Path), Case.Exists ? "" : "No such file or directory");
        if (!Case.Exists)
            continue;
        const TVersionSource Source = SourceOf(*Api, Case.Path);
        EXPECT_EQ(Source.Check, Case.Check);
        const bool Listed = Case.Check != TPackageCheck::NotListed;
        EXPECT_EQ(Source.PackageName, Listed ? Package : "");
        EXPECT_EQ(Source.PackageManager, Listed ? Manager : "");
        const TReadOutcome Read = ReadWithReader(*Api, Case.Path);
        EXPECT_EQ(Read.CompanyName, Case.Check == TPackageCheck::Verified ? Maker : "");
        EXPECT_EQ(Read.FileVersion, Case.Check == TPackageCheck::Verified ? Version : "");
    }
    EXPECT_EQ(Reason(*Api), "");

    // The report command over the root names the package and its manager;
    // the changed file's rating no longer rests on the package.
    const auto Lines = ReportOver(Root, {"/usr/bin/werkzeug", "/usr/bin/anders"});
    ASSERT_EQ(Lines.size(), 2u);
    EXPECT_EQ(Lines[0]["path"], "/usr/bin/werkzeug");
    EXPECT_EQ(Lines[0]["package"], (nlohmann::json{{"name", Package}, {"version", Version}, {"manager", Manager},
                                                   {"verified", true}}));
    EXPECT_EQ(Lines[0]["company"], Maker);
    EXPECT_EQ(Lines[1]["package"]["verified"], false);
    EXPECT_EQ(Lines[1]["package"]["manager"], Manager);
    EXPECT_EQ(Lines[1]["company"], "");
    EXPECT_EQ(Lines[1]["risk_level"], 1);
}

}  // namespace quorvane::testing
