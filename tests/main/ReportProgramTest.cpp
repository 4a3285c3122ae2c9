// quorvane-report as a program on this machine: its exit codes, its listing of
// real files, and its report compared with what ps sees.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "catalogue/Catalogue.h"
#include "probes/Probes.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

struct TRun {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

std::string ReadAll(const fs::path& Path) {
    std::ifstream File(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(File), {});
}

std::string Quoted(const std::string& Text) {
    std::string Result = "'";
    for (char C : Text)
        Result += C == '\'' ? std::string("'\\''") : std::string(1, C);
    return Result + "'";
}

class ReportProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string Template = (fs::temp_directory_path() / "report-program.XXXXXX").string();
        ASSERT_NE(::mkdtemp(Template.data()), nullptr);
        Folder = Template;
    }
    void TearDown() override { fs::remove_all(Folder); }

    TRun Run(const std::string& Command) const {
        const std::string Line = Command + " >" + Quoted((Folder / "out").string()) + " 2>" +
                                 Quoted((Folder / "err").string());
        const int Status = std::system(Line.c_str());
        TRun Result;
        Result.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
        Result.Out = ReadAll(Folder / "out");
        Result.Err = ReadAll(Folder / "err");
        return Result;
    }
    TRun Report(const std::string& Arguments) const { return Run(Quoted(QUORVANE_REPORT_PROGRAM) + " " + Arguments); }

    fs::path Folder;
};

std::vector<std::vector<std::string>> Rows(const std::string& Text) {
    std::vector<std::vector<std::string>> Result;
    std::size_t Start = 0;
    while (Start < Text.size()) {
        const std::size_t End = Text.find("\r\n", Start);
        const std::string Line = Text.substr(Start, End == std::string::npos ? std::string::npos : End - Start);
        std::vector<std::string> Fields;
        std::size_t From = 0;
        for (;;) {
            const std::size_t Tab = Line.find('\t', From);
            Fields.push_back(Line.substr(From, Tab == std::string::npos ? std::string::npos : Tab - From));
            if (Tab == std::string::npos)
                break;
            From = Tab + 1;
        }
        Result.push_back(Fields);
        if (End == std::string::npos)
            break;
        Start = End + 2;
    }
    return Result;
}

TEST_F(ReportProgramTest, ExitCodesAndMessages) {
    const TRun Help = Report("--help");
    EXPECT_EQ(Help.ExitCode, 0);
    EXPECT_NE(Help.Out.find("--files"), std::string::npos);

    const TRun Unknown = Report("--no-such-option");
    EXPECT_EQ(Unknown.ExitCode, 2);
    EXPECT_TRUE(Unknown.Out.empty());
    EXPECT_NE(Unknown.Err.find("\"--no-such-option\""), std::string::npos);

    const std::string Unwritable = (Folder / "missing" / "report.txt").string();
    const TRun Failed = Report(Quoted(Unwritable));
    EXPECT_EQ(Failed.ExitCode, 1);
    EXPECT_NE(Failed.Err.find("Datei \"" + Unwritable + "\" kann nicht erstellt werden."), std::string::npos)
        << Failed.Err;
    EXPECT_FALSE(fs::exists(Unwritable));

    const TRun Written = Report(Quoted((Folder / "report.txt").string()));
    EXPECT_EQ(Written.ExitCode, 0) << Written.Err;
    EXPECT_EQ(ReadAll(Folder / "report.txt").rfind("Name\tPfad\tHersteller\t", 0), 0u);

    // A standard output that takes nothing.
    const int Status = std::system((Quoted(QUORVANE_REPORT_PROGRAM) + " - >/dev/full 2>/dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 1) << Status;
}

TEST_F(ReportProgramTest, FilesAreListedInTheReportsFormat) {
    // A copy of a system program in a folder of its own: no package owns it.
    const fs::path Copy = Folder / "copied-sh";
    fs::copy_file("/bin/sh", Copy);
    const TRun Listing = Report("--files " + Quoted(Copy.string()) + " " + Quoted((Folder / "absent").string()));
    ASSERT_EQ(Listing.ExitCode, 0) << Listing.Err;
    const auto Lines = Rows(Listing.Out);
    ASSERT_EQ(Lines.size(), 3u) << Listing.Out;
    EXPECT_EQ(Lines[0], (std::vector<std::string>{"Datei", "Hersteller", "Beschreibung", "Version", "Sprache",
                                                   "Hinweis", "Virengefahr"}));
    EXPECT_EQ(Lines[1], (std::vector<std::string>{Copy.string(), "", "", "", "",
                                                   "Keine Datei-Informationen vorhanden", "Potentiell gefährlich"}));
    EXPECT_EQ(Lines[2][0], (Folder / "absent").string());

    // The original is owned by a package: its maintainer, description and version.
    const TRun Packaged = Report("--files /bin/sh");
    ASSERT_EQ(Packaged.ExitCode, 0) << Packaged.Err;
    const auto Rated = Rows(Packaged.Out);
    ASSERT_EQ(Rated.size(), 2u);
    EXPECT_FALSE(Rated[1][1].empty());
    EXPECT_FALSE(Rated[1][3].empty());
    EXPECT_EQ(Rated[1][6], "Schwach gefährlich");
    EXPECT_EQ(Lines[2][6], "Potentiell gefährlich");
}

// ps's view: id to parent id and thread count.
std::map<std::uint32_t, std::pair<std::uint32_t, std::int32_t>> PsSnapshot(const fs::path& Out) {
    std::system(("ps -e -o pid=,ppid=,nlwp= >" + Quoted(Out.string())).c_str());
    std::map<std::uint32_t, std::pair<std::uint32_t, std::int32_t>> Result;
    std::istringstream Lines(ReadAll(Out));
    std::uint32_t Pid, Ppid;
    std::int32_t Threads;
    while (Lines >> Pid >> Ppid >> Threads)
        Result[Pid] = {Ppid, Threads};
    return Result;
}

bool IsKernelThread(std::uint32_t Pid) {
    std::ifstream Stat("/proc/" + std::to_string(Pid) + "/stat");
    std::string Text((std::istreambuf_iterator<char>(Stat)), {});
    const std::size_t Close = Text.rfind(')');
    if (Close == std::string::npos)
        return false;
    std::istringstream Fields(Text.substr(Close + 1));
    std::string Field;
    for (int I = 3; I <= 9 && Fields >> Field; ++I) {}
    return (std::strtoull(Field.c_str(), nullptr, 10) & 0x00200000) != 0;
}

TEST_F(ReportProgramTest, TheReportListsWhatPsShowsWithTheSameIdsParentsAndThreads) {
    const auto Before = PsSnapshot(Folder / "ps1");
    const TRun Listed = Report("-");
    ASSERT_EQ(Listed.ExitCode, 0) << Listed.Err;
    // The parents, which the report names only by caption, from a reload in this process.
    const auto Processes = CreateSystemProcessSource();
    const auto Versions = CreateSystemVersionApi();
    TStVersionInfo VersionInfo(nullptr, *Versions);
    TCatalogue Catalogue(*Processes, VersionInfo);
    Catalogue.ReloadCatalogue();
    const auto After = PsSnapshot(Folder / "ps2");
    ASSERT_FALSE(Before.empty());

    std::map<std::uint32_t, std::int32_t> ReportThreads;
    std::set<std::uint32_t> OwnLines;
    const auto Lines = Rows(Listed.Out);
    for (std::size_t I = 1; I < Lines.size(); ++I) {
        ASSERT_EQ(Lines[I].size(), 15u) << I;
        const auto Pid = static_cast<std::uint32_t>(std::stoul(Lines[I][5]));
        ReportThreads[Pid] = std::stoi(Lines[I][10]);
        if (Lines[I][0] == "quorvane-report") {
            OwnLines.insert(Pid);
            // Rated from the program's own package note.
            EXPECT_EQ(Lines[I][14], "Schwach gefährlich");
            EXPECT_FALSE(Lines[I][2].empty());
        }
    }
    ASSERT_TRUE(ReportThreads.count(0));
    EXPECT_EQ(Lines[1][0], "[System Process]");
    EXPECT_EQ(OwnLines.size(), 1u);

    std::map<std::uint32_t, std::uint32_t> CatalogueParent;
    for (const TCatalogueNode* Node : Catalogue.TreeOrder())
        CatalogueParent[Node->Data()->ProcessId] = Node->Parent() ? Node->Parent()->Data()->ProcessId : 0xFFFFFFFFu;

    int Compared = 0;
    for (const auto& [Pid, Facts] : Before) {
        const auto Later = After.find(Pid);
        if (Later == After.end() || Later->second != Facts)
            continue;  // ended, or changed, between the snapshots
        if (IsKernelThread(Pid)) {
            EXPECT_EQ(ReportThreads.count(Pid), Pid == 2 ? 1u : 0u) << Pid;
            continue;
        }
        ++Compared;
        ASSERT_TRUE(ReportThreads.count(Pid)) << "process " << Pid << " missing from the report";
        EXPECT_EQ(ReportThreads[Pid], Facts.second) << Pid;
        ASSERT_TRUE(CatalogueParent.count(Pid)) << Pid;
        const std::uint32_t Parent = Facts.first;
        const bool ParentListedFirst = Parent < Pid && CatalogueParent.count(Parent);
        EXPECT_EQ(CatalogueParent[Pid], ParentListedFirst || Parent == 0 ? Parent : 0xFFFFFFFFu) << Pid;
    }
    EXPECT_GT(Compared, 0);
}

}  // namespace
}  // namespace quorvane
