#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "fakes/FakeProcessSource.h"
#include "fakes/FakeStandardOutput.h"
#include "fakes/FakeVersionApi.h"
#include "catalogue/PathText.h"
#include "main/ReportCommand.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::ProcessWithImage;
using testing::TFakeProcessSource;
using testing::TFakeStandardOutput;
using testing::TFakeVersionApi;
namespace fs = std::filesystem;

const std::string kFilesHeader =
    "Datei\tHersteller\tBeschreibung\tVersion\tSprache\tHinweis\tVirengefahr\tErklärung\r\n";

// The texts of the string table as the build encodes them.
std::string Text(TStringId Id) { return LoadStr(Id); }

class ReportCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        Processes.Processes = {testing::Process("[System Process]", 0, 0, 2),
                               ProcessWithImage("init", 1, 0, "/sbin/init"),
                               ProcessWithImage("tool", 7, 1, "/opt/tool")};
        Versions.Add("/sbin/init", FakeFile("Init Makers", "The init", "1.0"));
        Versions.Add("/opt/tool", FakeFile("", "", ""));
    }

    int Run(std::vector<std::string> Arguments) {
        Out.Text.clear();
        Err.str({});
        return RunReportCommand(Arguments, Processes, Versions, Out, Err);
    }

    TFakeProcessSource Processes;
    TFakeVersionApi Versions;
    TFakeStandardOutput Out;
    std::ostringstream Err;
};

TEST_F(ReportCommandTest, WritesTheReportToStandardOutputOrToTheFileNamed) {
    ASSERT_EQ(Run({}), kExitSuccess);
    const std::string Report = Out.Text;
    EXPECT_TRUE(Err.str().empty());
    EXPECT_EQ(Report.rfind("Name\tPfad\tHersteller", 0), 0u);
    const std::string InitLine =
        "\r\ninit\t" + DirectoryPart("/sbin/init") + "\tInit Makers\tThe init\t1.0\t1\t[System Process]\t";
    EXPECT_NE(Report.find(InitLine), std::string::npos) << Report;
    EXPECT_NE(Report.find("\r\ntool\t" + DirectoryPart("/opt/tool") + "\t\t\t\t7\tinit\t"), std::string::npos);

    ASSERT_EQ(Run({"-"}), kExitSuccess);
    EXPECT_EQ(Out.Text, Report);

    const fs::path Folder = fs::temp_directory_path() / ("report-command-" + std::to_string(std::random_device{}()));
    fs::create_directories(Folder);
    const fs::path File = Folder / "-starts-with-dash.txt";
    ASSERT_EQ(Run({"--", File.string()}), kExitSuccess);
    EXPECT_TRUE(Out.Text.empty());
    {
        std::ifstream Written(File, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(Written), {}), Report);
    }
    fs::remove_all(Folder);
}

TEST_F(ReportCommandTest, AnOutputThatCannotBeWrittenGivesTheSystemsReasonAndExitCodeOne) {
    // A file that cannot be created, one that takes no data, a name that
    // would break the message's line: each says which file and why.
    const std::string Missing = (fs::temp_directory_path() / "no-such-folder-of-quorvane" / "r.txt").string();
    const std::pair<std::vector<std::string>, std::string> Cases[] = {
        {{Missing}, "Datei \"" + Missing + "\" kann nicht erstellt werden. No such file or directory"},
        {{"--json", "/dev/full"}, "Datei \"/dev/full\" kann nicht geschrieben werden. No space left on device"},
        {{Missing + "\n\x1b[2J"},
         "Datei \"" + Missing + "\\x0a\\x1b[2J\" kann nicht erstellt werden. No such file or directory"},
    };
    for (const auto& [Arguments, Message] : Cases) {
        EXPECT_EQ(Run(Arguments), kExitWriteFailed);
        EXPECT_TRUE(Out.Text.empty());
        EXPECT_EQ(Err.str(), "quorvane-report: " + Message + "\n");
    }

    Out.Failure = "Broken pipe";
    for (const std::vector<std::string>& Arguments :
         {std::vector<std::string>{}, {"--json"}, {"--files", "/sbin/init"}, {"--help"}}) {
        EXPECT_EQ(Run(Arguments), kExitWriteFailed);
        EXPECT_EQ(Err.str(), "quorvane-report: Die Standardausgabe kann nicht geschrieben werden. Broken pipe\n");
    }
}

TEST_F(ReportCommandTest, WrongArgumentsAreRefusedWithExitCodeTwo) {
    const std::vector<std::vector<std::string>> Wrong = {
        {"-x"}, {"--bogus"}, {"--files"}, {"a.txt", "b.txt"}, {"a.txt", "--files", "/bin/sh"}, {"--", "a", "b"},
        {"--root", "/srv/image"}, {"--files", "--root"}, {"--root=", "--files", "/bin/sh"},
        {"--root", "/srv/image", "--files", "/bin/sh"},  // no back-end for another system's files
        {"--modules"}, {"--json", "--modules", "--files", "/bin/sh"}};
    for (const auto& Arguments : Wrong) {
        EXPECT_EQ(Run(Arguments), kExitUsage) << Arguments[0];
        EXPECT_TRUE(Out.Text.empty());
        EXPECT_NE(Err.str().find("quorvane-report --help"), std::string::npos) << Err.str();
    }
    EXPECT_EQ(Run({"--bogus"}), kExitUsage);
    EXPECT_NE(Err.str().find("\"--bogus\""), std::string::npos);
    EXPECT_EQ(Run({"--bo\rgus\x7f"}), kExitUsage);
    EXPECT_NE(Err.str().find("\"--bo\\x0dgus\\x7f\""), std::string::npos) << Err.str();
    EXPECT_TRUE(Processes.ImageQueries.empty());  // nothing was loaded
}

TEST_F(ReportCommandTest, HelpExplainsBothForms) {
    ASSERT_EQ(Run({"--help"}), kExitSuccess);
    EXPECT_NE(Out.Text.find("quorvane-report [--json [--modules]] [DATEI | -]"), std::string::npos);
    EXPECT_NE(Out.Text.find("quorvane-report --files [--json] [--root VERZEICHNIS] PFAD..."), std::string::npos);
    EXPECT_NE(Out.Text.find("sich eine Datei von --files nicht untersuchen lässt"), std::string::npos);
    EXPECT_TRUE(Err.str().empty());
    EXPECT_TRUE(Processes.ImageQueries.empty());
}

TEST_F(ReportCommandTest, VersionNamesTheProgramAndLoadsNothing) {
    ASSERT_EQ(Run({"--version"}), kExitSuccess);
    EXPECT_EQ(Out.Text, "quorvane-report 1.2.0.0\n");
    EXPECT_TRUE(Err.str().empty());
    EXPECT_TRUE(Processes.ImageQueries.empty());
    ASSERT_EQ(Run({"--help"}), kExitSuccess);
    EXPECT_NE(Out.Text.find("quorvane-report --version"), std::string::npos) << "the help names the option";
    // After the first path of "--files" it is a file name like any other.
    Versions.Problems["--version"] = "No such file or directory";
    EXPECT_EQ(Run({"--files", "/sbin/init", "--version"}), kExitFileUnexamined);
    EXPECT_NE(Out.Text.find("\r\n--version\t"), std::string::npos) << Out.Text;
}


// The fields of each line of a tab-separated text.
std::vector<std::vector<std::string>> Rows(const std::string& Text) {
    std::vector<std::vector<std::string>> Result;
    std::istringstream Lines(Text);
    for (std::string Line; std::getline(Lines, Line);) {
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        std::vector<std::string>& Fields = Result.emplace_back();
        std::istringstream Cells(Line);
        for (std::string Cell; std::getline(Cells, Cell, '\t');)
            Fields.push_back(Cell);
        if (!Line.empty() && Line.back() == '\t')
            Fields.emplace_back();
    }
    return Result;
}

TEST_F(ReportCommandTest, FilesAreListedWithTheirValuesRemarkRatingAndExplanation) {
    Versions.Add("/opt/described", FakeFile("", "A description", ""));
    Versions.Add("/opt/with\ttab", FakeFile("Tab\tCompany", "", ""));
    Versions.Add("/opt/stale", FakeFile("X", "Y", "Z"));
    Versions.Directories.insert("/opt/stale");  // fails the reader's existence test
    ASSERT_EQ(Run({"--files", "/sbin/init", "/opt/described", "/opt/tool", "/opt/stale", "--", "--help",
                   "/opt/with\ttab"}),
              kExitSuccess);
    EXPECT_TRUE(Err.str().empty());
    const std::string Slight = Text(TStringId::sRiskSlightlyDangerous);
    const std::string Potential = Text(TStringId::sRiskPotentiallyDangerous);
    const std::string NoFileInfo = Text(TStringId::sRemarkNoFileInfo);
    ASSERT_EQ(Out.Text.rfind(kFilesHeader, 0), 0u);
    const auto Lines = Rows(Out.Text);
    ASSERT_EQ(Lines.size(), 7u) << Out.Text;
    using TRow = std::vector<std::string>;
    const std::string Resource = "Versionsressource der Programmdatei: ";
    EXPECT_EQ(Lines[1], (TRow{"/sbin/init", "Init Makers", "The init", "1.0", "Deutsch (Deutschland)", "", Slight,
                              Resource + "der Hersteller ist angegeben."}));
    EXPECT_EQ(Lines[2], (TRow{"/opt/described", "", "A description", "", "Deutsch (Deutschland)",
                              Text(TStringId::sRemarkNoCompanyInfo), Text(TStringId::sRiskMediumDangerous),
                              Resource + "ein Hersteller fehlt, Beschreibung oder Version sind angegeben."}));
    EXPECT_EQ(Lines[3], (TRow{"/opt/tool", "", "", "", "Deutsch (Deutschland)",
                              Text(TStringId::sRemarkIncompleteFileInfo), Potential,
                              Resource + "Hersteller, Beschreibung und Version fehlen."}));
    EXPECT_EQ(Lines[4], (TRow{"/opt/stale", "", "", "", "", NoFileInfo, Potential,
                              Text(TStringId::sExplainCannotOpen)}));
    EXPECT_EQ(Lines[5][0], "--help");  // a path after "--"
    EXPECT_EQ(Lines[6][0], "/opt/with tab");
    EXPECT_EQ(Lines[6][1], "Tab Company");
    EXPECT_TRUE(Processes.ImageQueries.empty());  // no snapshot for a listing
}

TEST_F(ReportCommandTest, FilesThatCannotBeExaminedAreListedUndeterminedWithExitCodeOne) {
    const std::string Forging = "/opt/miss\ning\t\x1b[31mRED\xff";
    Versions.Problems["/opt/missing"] = "No such file or directory";
    Versions.Problems["/opt/folder"] = "Is a directory";
    Versions.Problems[Forging] = "No such file or directory";
    ASSERT_EQ(Run({"--files", "/opt/missing", "/sbin/init", "/opt/folder", "", Forging}), kExitFileUnexamined);
    EXPECT_EQ(Err.str(), "quorvane-report: /opt/missing: No such file or directory\n"
                         "quorvane-report: /opt/folder: Is a directory\n"
                         "quorvane-report: : " + Text(TStringId::sFileEmptyPath) + "\n"
                         "quorvane-report: /opt/miss\\x0aing\\x09\\x1b[31mRED\\xff: No such file or directory\n");
    const auto Lines = Rows(Out.Text);
    ASSERT_EQ(Lines.size(), 6u);
    EXPECT_EQ(Lines[5][0], "/opt/miss ing \x1b[31mRED\\xff");  // the report's rules: one line, valid UTF-8
    const std::string Undetermined = Text(TStringId::sRiskUndetermined);
    EXPECT_EQ(Lines[1], (std::vector<std::string>{"/opt/missing", "", "", "", "", "No such file or directory",
                                                  Undetermined,
                                                  "Die Datei lässt sich nicht untersuchen: No such file or directory."}));
    EXPECT_EQ(Lines[2][6], Text(TStringId::sRiskSlightlyDangerous));  // the others are still rated
    EXPECT_EQ(Lines[3][5], "Is a directory");
    EXPECT_EQ(Lines[3][6], Undetermined);
    EXPECT_EQ(Lines[4][0], "");
    EXPECT_EQ(Lines[4][6], Undetermined);
    EXPECT_EQ(Versions.ExistenceTests, 1);  // only /sbin/init went to the reader
}

TEST_F(ReportCommandTest, OptionsBeforeThePathsOfFilesInAnyOrder) {
    ASSERT_EQ(Run({"--json", "--files", "/sbin/init"}), kExitSuccess);
    const std::string Json = Out.Text;
    ASSERT_EQ(Run({"--files", "--json", "/sbin/init"}), kExitSuccess);
    EXPECT_EQ(Out.Text.substr(Out.Text.find("\"path\"")), Json.substr(Json.find("\"path\"")));
    // After the first path, everything is a path.
    Versions.Problems["--json"] = "No such file or directory";
    EXPECT_EQ(Run({"--files", "/sbin/init", "--json"}), kExitFileUnexamined);
    EXPECT_EQ(Out.Text.rfind(kFilesHeader, 0), 0u);
}

TEST_F(ReportCommandTest, RootRatesTheFilesOfAnotherSystemAndNamesDatabasesItCannotRead) {
    TFakeVersionApi Image;
    Image.Add("/usr/bin/bash", FakeFile("Fedora Project", "The GNU Bourne Again shell", "5.2.26"));
    Image.Unread = {{"rpm", "/var/lib/rpm", "kaputt"}};
    std::vector<std::string> Roots;
    const TRootedVersionApi Rooted = [&](const std::string& Root, std::string& Problem) -> std::unique_ptr<IVersionApi> {
        Roots.push_back(Root);
        if (Root != "/srv/fedora") {
            Problem = "No such file or directory";
            return nullptr;
        }
        return std::make_unique<TFakeVersionApi>(Image);
    };
    auto RunRooted = [&](std::vector<std::string> Arguments) {
        Out.Text.clear();
        Err.str({});
        return RunReportCommand(Arguments, Processes, Versions, Out, Err, nullptr, Rooted);
    };
    ASSERT_EQ(RunRooted({"--root", "/srv/fedora", "--files", "/usr/bin/bash"}), kExitSuccess);
    EXPECT_NE(Out.Text.find("\r\n/usr/bin/bash\tFedora Project\t"), std::string::npos) << Out.Text;
    EXPECT_EQ(Err.str(), "quorvane-report: Die rpm-Datenbank /var/lib/rpm lässt sich nicht lesen: kaputt\n");
    ASSERT_EQ(RunRooted({"--files", "--root=/srv/fedora", "--json", "/usr/bin/bash"}), kExitSuccess);
    EXPECT_NE(Out.Text.find("\"company\":\"Fedora Project\""), std::string::npos) << Out.Text;

    EXPECT_EQ(RunRooted({"--root", "/srv/mis\nsing", "--files", "/usr/bin/bash"}), kExitUsage);
    EXPECT_EQ(Err.str().substr(0, Err.str().find('\n')),
              "quorvane-report: Das Verzeichnis \"/srv/mis\\x0asing\" von --root lässt sich nicht verwenden: No such "
              "file or directory");
    EXPECT_EQ(Roots, (std::vector<std::string>{"/srv/fedora", "/srv/fedora", "/srv/mis\nsing"}));
    EXPECT_EQ(Versions.SizeCalls, 0);  // this machine's files were not read
}

}  // namespace
}  // namespace quorvane
