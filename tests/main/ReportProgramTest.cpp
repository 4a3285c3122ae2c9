// quorvane-report as a program on this machine: its exit codes, its listing of
// real files, and its report compared with what ps sees.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "catalogue/Catalogue.h"
#include "main/JsonReport.h"
#include "main/JsonSchemaCheck.h"
#include "probes/Probes.h"
#include "report/Report.h"
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

    // Output: where standard output goes, as a shell redirection; a file of the test's own by default.
    TRun Run(const std::string& Command, std::string Output = {}) const {
        fs::remove(Folder / "out");
        if (Output.empty())
            Output = ">" + Quoted((Folder / "out").string());
        const int Status = std::system((Command + " " + Output + " 2>" + Quoted((Folder / "err").string())).c_str());
        TRun Result;
        Result.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
        Result.Out = ReadAll(Folder / "out");
        Result.Err = ReadAll(Folder / "err");
        return Result;
    }
    TRun Report(const std::string& Arguments, const std::string& Output = {}) const {
        return Run(Quoted(QUORVANE_REPORT_PROGRAM) + " " + Arguments, Output);
    }

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

    const TRun Written = Report(Quoted((Folder / "report.txt").string()));
    EXPECT_EQ(Written.ExitCode, 0) << Written.Err;
    EXPECT_EQ(ReadAll(Folder / "report.txt").rfind("Name\tPfad\tHersteller\t", 0), 0u);
}

TEST_F(ReportProgramTest, AnOutputThatCannotBeWrittenNamesTheSystemsReason) {
    // A folder whose name would start a new line and clear the terminal.
    const std::string Unwritable = (Folder / "miss\ning\t\x1b[2J\xff" / "report.txt").string();
    const std::string Shown = Folder.string() + "/miss\\x0aing\\x09\\x1b[2J\\xff/report.txt";
    const std::string Output = "quorvane-report: Die Standardausgabe kann nicht geschrieben werden. ";
    const struct {
        std::string Arguments, Redirection, Message;
    } Cases[] = {
        {Quoted(Unwritable), "", "quorvane-report: Datei \"" + Shown +
                                     "\" kann nicht erstellt werden. No such file or directory"},
        {"/dev/full", "", "quorvane-report: Datei \"/dev/full\" kann nicht geschrieben werden. No space left on device"},
        {"--json -", ">/dev/full", Output + "No space left on device"},
        {"--version", ">&-", Output + "Bad file descriptor"},
        {"--files /bin/sh", ">&-", Output + "Bad file descriptor"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Arguments + " " + Case.Redirection);
        const TRun Failed = Report(Case.Arguments, Case.Redirection);
        EXPECT_EQ(Failed.ExitCode, 1);
        EXPECT_EQ(Failed.Err, Case.Message + "\n");
    }
    EXPECT_FALSE(fs::exists(Folder / "miss\ning\t\x1b[2J\xff"));

    // A pipe whose reader has gone, in a program that ignores SIGPIPE (as a
    // caller may have it): the write fails and says so. With SIGPIPE as it
    // usually is, the command ends quietly, as any other in a pipeline.
    int Pipe[2];
    ASSERT_EQ(::pipe(Pipe), 0);
    ::close(Pipe[0]);
    const pid_t Child = ::fork();
    if (Child == 0) {
        ::signal(SIGPIPE, SIG_IGN);
        ::dup2(Pipe[1], 1);
        ::freopen((Folder / "err").c_str(), "w", stderr);
        ::execl(QUORVANE_REPORT_PROGRAM, QUORVANE_REPORT_PROGRAM, "--version", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(Pipe[1]);
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 1) << Status;
    EXPECT_EQ(ReadAll(Folder / "err"), Output + "Broken pipe\n");
}

TEST_F(ReportProgramTest, FilesAreListedInTheReportsFormat) {
    // A copy of a system program in a folder of its own: no package owns it.
    const fs::path Copy = Folder / "copied-sh";
    fs::copy_file("/bin/sh", Copy);
    const fs::path Absent = Folder / "absent";
    const TRun Listing = Report("--files " + Quoted(Copy.string()) + " " + Quoted(Absent.string()));
    EXPECT_EQ(Listing.ExitCode, 1);
    EXPECT_EQ(Listing.Err, "quorvane-report: " + Absent.string() + ": No such file or directory\n");
    const auto Lines = Rows(Listing.Out);
    ASSERT_EQ(Lines.size(), 3u) << Listing.Out;
    EXPECT_EQ(Lines[0], (std::vector<std::string>{"Datei", "Hersteller", "Beschreibung", "Version", "Sprache",
                                                   "Hinweis", "Virengefahr", "Erklärung"}));
    EXPECT_EQ(Lines[1], (std::vector<std::string>{
                            Copy.string(), "", "", "", "", "Keine Datei-Informationen vorhanden",
                            "Potentiell gefährlich",
                            "Kein installiertes Paket enthält diese Datei, und sie trägt keine Versionsangaben."}));
    EXPECT_EQ(Lines[2], (std::vector<std::string>{Absent.string(), "", "", "", "", "No such file or directory",
                                                   "Gefährlichkeit nicht bestimmbar",
                                                   "Die Datei lässt sich nicht untersuchen: No such file or "
                                                   "directory."}));

    // Files of installed packages: their maintainer, description and version,
    // vouched for by the package's checksum. systemd's note names no maker,
    // awk is a link through the alternatives, hostname a plain program.
    std::string Paths = "/bin/sh";
    for (const char* Path : {"/usr/lib/systemd/systemd", "/usr/bin/awk", "/usr/bin/hostname"})
        if (fs::exists(Path))
            Paths += std::string(" ") + Path;
    const TRun Packaged = Report("--files " + Paths);
    ASSERT_EQ(Packaged.ExitCode, 0) << Packaged.Err;
    const auto Rated = Rows(Packaged.Out);
    ASSERT_GE(Rated.size(), 2u);
    for (std::size_t I = 1; I < Rated.size(); ++I) {
        SCOPED_TRACE(Rated[I][0]);
        EXPECT_FALSE(Rated[I][1].empty());
        EXPECT_FALSE(Rated[I][3].empty());
        EXPECT_EQ(Rated[I][6], "Schwach gefährlich");
        EXPECT_EQ(Rated[I][7].rfind("Paket ", 0), 0u) << Rated[I][7];
        EXPECT_NE(Rated[I][7].find("; der Inhalt stimmt mit der Prüfsumme des Pakets überein."), std::string::npos);
    }

    // A Windows program of a package: its own resource speaks, its package is named.
    const std::string Winver = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/winver.exe";
    if (fs::exists(Winver)) {
        const TRun Pe = Report("--files --json " + Winver);
        ASSERT_EQ(Pe.ExitCode, 0) << Pe.Err;
        const nlohmann::json Object = nlohmann::json::parse(Pe.Out);
        EXPECT_EQ(Object.at("company"), "Microsoft Corporation");
        EXPECT_EQ(Object.at("package").at("name"), "libwine");
        EXPECT_EQ(Object.at("package").at("verified"), true);
    }
}

// A copy of sleep, started from the test's folder and ended by the destructor.
class TStartedCopy {
public:
    TStartedCopy(const fs::path& Program) {
        fs::copy_file("/bin/sleep", Program);
        FChild = fork();
        if (FChild == 0) {
            // Not the test's output: a test that dies must not leave it open to CTest.
            const int Null = open("/dev/null", O_WRONLY);
            dup2(Null, 1);
            dup2(Null, 2);
            execl(Program.c_str(), Program.filename().c_str(), "600", static_cast<char*>(nullptr));
            _exit(127);
        }
        std::error_code Error;
        for (int Round = 0; Round < 500 && fs::read_symlink(Link(), Error) != Program; ++Round)
            usleep(10'000);
    }
    ~TStartedCopy() {
        kill(FChild, SIGKILL);
        waitpid(FChild, nullptr, 0);
    }
    std::uint32_t Id() const { return static_cast<std::uint32_t>(FChild); }
    std::string Link() const { return "/proc/" + std::to_string(FChild) + "/exe"; }

private:
    pid_t FChild = -1;
};

const nlohmann::json* ObjectOf(const std::vector<nlohmann::json>& Objects, std::uint32_t Pid) {
    for (const nlohmann::json& Object : Objects)
        if (Object.at("pid") == Pid)
            return &Object;
    return nullptr;
}

std::vector<nlohmann::json> JsonLines(const std::string& Text) {
    std::vector<nlohmann::json> Objects;
    std::istringstream Lines(Text);
    for (std::string Line; std::getline(Lines, Line);)
        Objects.push_back(nlohmann::json::parse(Line));
    return Objects;
}

TEST_F(ReportProgramTest, AProgramDeletedOrReplacedAfterItsStartShowsItsFolderAndWhy) {
    const TStartedCopy Deleted(Folder / "deleted-sleep");
    const TStartedCopy Replaced(Folder / "replaced-sleep");
    fs::remove(Folder / "deleted-sleep");
    std::ofstream(Folder / "replacement") << "#!/bin/sh\n";
    fs::rename(Folder / "replacement", Folder / "replaced-sleep");

    const TRun Json = Report("--json");
    ASSERT_EQ(Json.ExitCode, 0) << Json.Err;
    const auto Objects = JsonLines(Json.Out);
    const std::string Gone = "Die Programmdatei wurde nach dem Start gelöscht oder ersetzt, etwa durch ein Update; "
                             "ein Neustart des Programms lädt die aktuelle Datei.";
    for (const auto& [Copy, State] : {std::pair{&Deleted, "deleted"}, std::pair{&Replaced, "replaced"}}) {
        SCOPED_TRACE(State);
        const nlohmann::json* Object = ObjectOf(Objects, Copy->Id());
        ASSERT_NE(Object, nullptr);
        EXPECT_EQ(Object->at("path"), Folder.string() + "/");
        EXPECT_EQ(Object->at("image_state"), State);
        EXPECT_EQ(Object->at("explanation"), Gone);
        EXPECT_EQ(Object->at("risk"), "Potentiell gefährlich");
        EXPECT_EQ(Object->at("company"), "");
    }
    const TRun Tsv = Report("-");
    ASSERT_EQ(Tsv.ExitCode, 0) << Tsv.Err;
    bool Seen = false;
    for (const auto& Line : Rows(Tsv.Out))
        if (Line.size() == 15 && Line[5] == std::to_string(Deleted.Id())) {
            EXPECT_EQ(Line[1], Folder.string() + "/");
            Seen = true;
        }
    EXPECT_TRUE(Seen);
}

// A line break, a tab, an escape sequence and a byte that is no UTF-8, in
// the name of a file given to --files and of the program of a live process:
// each output keeps its form, and all write the byte the same way.
TEST_F(ReportProgramTest, NamesThatWouldForgeOutputFollowOneRuleEverywhere) {
    const std::string Odd = "odd\n\t\x1b[31m\xff";
    const std::string InReport = "odd  \x1b[31m\\xff";  // blanks for TAB and LF
    const std::string InJson = "odd\n\t\x1b[31m\\xff";  // the value, once JSON's escapes are read
    const std::string InMessage = "odd\\x0a\\x09\\x1b[31m\\xff";
    const std::string Prefix = Folder.string() + "/";
    const TStartedCopy Running(Folder / Odd);

    const std::string Files = "--files " + Quoted(Prefix + Odd) + " " + Quoted(Prefix + Odd + "-missing");
    const TRun Listing = Report(Files);
    EXPECT_EQ(Listing.ExitCode, 1);
    EXPECT_EQ(Listing.Err, "quorvane-report: " + Prefix + InMessage + "-missing: No such file or directory\n");
    const auto Lines = Rows(Listing.Out);
    ASSERT_EQ(Lines.size(), 3u) << Listing.Out;
    EXPECT_EQ(Lines[1][0], Prefix + InReport);
    EXPECT_EQ(Lines[2][0], Prefix + InReport + "-missing");
    const TRun FilesJson = Report("--json " + Files);
    const auto Rated = JsonLines(FilesJson.Out);
    ASSERT_EQ(Rated.size(), 2u);
    EXPECT_EQ(Rated[0].at("path"), Prefix + InJson);
    EXPECT_EQ(FilesJson.Err, Listing.Err);
    EXPECT_EQ(testing::SchemaViolations(FilesJson.Out), "");

    const TRun Tsv = Report("-");
    ASSERT_EQ(Tsv.ExitCode, 0) << Tsv.Err;
    bool Seen = false;
    for (const auto& Line : Rows(Tsv.Out))
        if (Line.size() == 15 && Line[5] == std::to_string(Running.Id())) {
            EXPECT_EQ(Line[0], InReport);
            EXPECT_EQ(Line[1], Prefix);
            Seen = true;
        }
    EXPECT_TRUE(Seen);
    const TRun Json = Report("--json");
    ASSERT_EQ(Json.ExitCode, 0) << Json.Err;
    const auto Objects = JsonLines(Json.Out);
    const nlohmann::json* Object = ObjectOf(Objects, Running.Id());
    ASSERT_NE(Object, nullptr);
    EXPECT_EQ(Object->at("name"), InJson);
    EXPECT_EQ(Object->at("image_path"), Prefix + InJson);
    EXPECT_FALSE(Object->at("start_time_utc").is_null());
    EXPECT_EQ(testing::SchemaViolations(Json.Out), "");
}

TEST_F(ReportProgramTest, JsonAndTabSeparatedReportsOfOneLiveSnapshotAgree) {
    const auto Processes = CreateSystemProcessSource();
    const auto Versions = CreateSystemVersionApi();
    TStVersionInfo VersionInfo(nullptr, *Versions);
    TCatalogue Catalogue(*Processes, VersionInfo);
    Catalogue.ReloadCatalogue();
    const auto Lines = Rows(ReportText(Catalogue));
    const auto Objects = JsonLines(JsonReportText(Catalogue, TSnapshot{Processes->HostName(), "now"}));
    ASSERT_EQ(Objects.size(), Catalogue.Count());
    ASSERT_EQ(Lines.size(), Objects.size() + 1);
    for (std::size_t I = 0; I < Objects.size(); ++I) {
        const nlohmann::json& Object = Objects[I];
        const TCatalogueNode& Node = Catalogue.Node(I);
        SCOPED_TRACE(Lines[I + 1][0]);
        EXPECT_EQ(std::to_string(Object.at("pid").get<std::uint32_t>()), Lines[I + 1][5]);
        EXPECT_EQ(Object.at("risk").get<std::string>(), Lines[I + 1][14]);
        EXPECT_EQ(Object.at("parent").is_null() ? "-" : Object.at("parent").get<std::string>(), Lines[I + 1][6]);
        EXPECT_EQ(Object.at("parent_pid").is_null() ? 0xFFFFFFFFu : Object.at("parent_pid").get<std::uint32_t>(),
                  Node.Parent() ? Node.Parent()->Data()->ProcessId : 0xFFFFFFFFu);
        EXPECT_FALSE(Object.at("explanation").get<std::string>().empty());
        EXPECT_FALSE(Object.at("host").get<std::string>().empty());
        // The times as numbers exactly where the report has their texts.
        EXPECT_EQ(Object.at("start_time_utc").is_null(), Lines[I + 1][7].empty());
        EXPECT_EQ(Object.at("cpu_seconds").is_null(), Lines[I + 1][8].empty());
        EXPECT_EQ(Object.at("kernel_seconds").is_null(), Lines[I + 1][9].empty());
    }
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
    // A copy under a name of its own, so that its line is told apart from
    // other runs of the command on this machine (tests run in parallel). The
    // copy keeps the program's package note.
    const std::string OwnName = "quorvane-report-" + std::to_string(::getpid());
    fs::copy_file(QUORVANE_REPORT_PROGRAM, Folder / OwnName);
    const auto Before = PsSnapshot(Folder / "ps1");
    const TRun Listed = Run(Quoted((Folder / OwnName).string()) + " -");
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
        if (Lines[I][0] == OwnName) {
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
