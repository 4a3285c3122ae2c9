#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "fakes/FakeProcessSource.h"
#include "fakes/FakeVersionApi.h"
#include "catalogue/PathText.h"
#include "main/ReportCommand.h"
#include "resources/StringTable.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::ProcessWithImage;
using testing::TFakeProcessSource;
using testing::TFakeVersionApi;
namespace fs = std::filesystem;

const std::string kFilesHeader = "Datei\tHersteller\tBeschreibung\tVersion\tSprache\tHinweis\tVirengefahr\r\n";

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
        Out.str({});
        Err.str({});
        return RunReportCommand(Arguments, Processes, Versions, Out, Err);
    }

    TFakeProcessSource Processes;
    TFakeVersionApi Versions;
    std::ostringstream Out;
    std::ostringstream Err;
};

TEST_F(ReportCommandTest, WritesTheReportToStandardOutputOrToTheFileNamed) {
    ASSERT_EQ(Run({}), kExitSuccess);
    const std::string Report = Out.str();
    EXPECT_TRUE(Err.str().empty());
    EXPECT_EQ(Report.rfind("Name\tPfad\tHersteller", 0), 0u);
    const std::string InitLine =
        "\r\ninit\t" + DirectoryPart("/sbin/init") + "\tInit Makers\tThe init\t1.0\t1\t[System Process]\t";
    EXPECT_NE(Report.find(InitLine), std::string::npos) << Report;
    EXPECT_NE(Report.find("\r\ntool\t" + DirectoryPart("/opt/tool") + "\t\t\t\t7\tinit\t"), std::string::npos);

    ASSERT_EQ(Run({"-"}), kExitSuccess);
    EXPECT_EQ(Out.str(), Report);

    const fs::path Folder = fs::temp_directory_path() / ("report-command-" + std::to_string(std::random_device{}()));
    fs::create_directories(Folder);
    const fs::path File = Folder / "-starts-with-dash.txt";
    ASSERT_EQ(Run({"--", File.string()}), kExitSuccess);
    EXPECT_TRUE(Out.str().empty());
    {
        std::ifstream Written(File, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(Written), {}), Report);
    }
    fs::remove_all(Folder);
}

TEST_F(ReportCommandTest, AFileThatCannotBeWrittenGivesAMessageAndExitCodeOne) {
    const std::string Missing = (fs::temp_directory_path() / "no-such-folder-of-quorvane" / "r.txt").string();
    EXPECT_EQ(Run({Missing}), kExitWriteFailed);
    EXPECT_TRUE(Out.str().empty());
#ifdef _WIN32
    EXPECT_EQ(Err.str().rfind("quorvane-report: Datei \"", 0), 0u) << Err.str();
    EXPECT_NE(Err.str().find("r.txt\" kann nicht erstellt werden. "), std::string::npos) << Err.str();
#else
    EXPECT_EQ(Err.str(), "quorvane-report: Datei \"" + Missing +
                             "\" kann nicht erstellt werden. No such file or directory\n");
#endif

    // A standard output that fails.
    Out.setstate(std::ios::badbit);
    EXPECT_EQ(RunReportCommand({}, Processes, Versions, Out, Err), kExitWriteFailed);
    EXPECT_NE(Err.str().find("Standardausgabe"), std::string::npos);
}

TEST_F(ReportCommandTest, WrongArgumentsAreRefusedWithExitCodeTwo) {
    const std::vector<std::vector<std::string>> Wrong = {
        {"-x"}, {"--bogus"}, {"--files"}, {"a.txt", "b.txt"}, {"a.txt", "--files", "/bin/sh"}, {"--", "a", "b"}};
    for (const auto& Arguments : Wrong) {
        EXPECT_EQ(Run(Arguments), kExitUsage) << Arguments[0];
        EXPECT_TRUE(Out.str().empty());
        EXPECT_NE(Err.str().find("quorvane-report --help"), std::string::npos) << Err.str();
    }
    EXPECT_EQ(Run({"--bogus"}), kExitUsage);
    EXPECT_NE(Err.str().find("\"--bogus\""), std::string::npos);
    EXPECT_TRUE(Processes.ImageQueries.empty());  // nothing was loaded
}

TEST_F(ReportCommandTest, HelpExplainsBothForms) {
    ASSERT_EQ(Run({"--help"}), kExitSuccess);
    EXPECT_NE(Out.str().find("quorvane-report [DATEI | -]"), std::string::npos);
    EXPECT_NE(Out.str().find("quorvane-report --files PFAD..."), std::string::npos);
    EXPECT_TRUE(Err.str().empty());
    EXPECT_TRUE(Processes.ImageQueries.empty());
}

TEST_F(ReportCommandTest, VersionNamesTheProgramAndLoadsNothing) {
    ASSERT_EQ(Run({"--version"}), kExitSuccess);
    EXPECT_EQ(Out.str(), "quorvane-report 1.2.0.0\n");
    EXPECT_TRUE(Err.str().empty());
    EXPECT_TRUE(Processes.ImageQueries.empty());
    ASSERT_EQ(Run({"--help"}), kExitSuccess);
    EXPECT_NE(Out.str().find("quorvane-report --version"), std::string::npos) << "the help names the option";
    // After "--files" it is a file name like any other.
    EXPECT_EQ(Run({"--files", "--version"}), kExitSuccess);
    EXPECT_EQ(Out.str().rfind(kFilesHeader + "--version\t", 0), 0u) << Out.str();
}

TEST_F(ReportCommandTest, FilesAreListedWithTheirValuesRemarkAndRating) {
    Versions.Add("/opt/described", FakeFile("", "A description", ""));
    Versions.Add("/opt/with\ttab", FakeFile("Tab\tCompany", "", ""));
    Versions.Directories.insert("/opt/folder");
    Versions.Add("/opt/folder", FakeFile("X", "Y", "Z"));
    ASSERT_EQ(Run({"--files", "/sbin/init", "/opt/described", "/opt/tool", "/opt/missing", "/opt/folder", "--",
                   "--help", "", "/opt/with\ttab"}),
              kExitSuccess);
    EXPECT_TRUE(Err.str().empty());
    const std::string Slight = Text(TStringId::sRiskSlightlyDangerous);
    const std::string Potential = Text(TStringId::sRiskPotentiallyDangerous);
    const std::string NoFileInfo = Text(TStringId::sRemarkNoFileInfo);
    EXPECT_EQ(Out.str(), kFilesHeader +
                             "/sbin/init\tInit Makers\tThe init\t1.0\tDeutsch (Deutschland)\t\t" + Slight + "\r\n" +
                             "/opt/described\t\tA description\t\tDeutsch (Deutschland)\t" +
                             Text(TStringId::sRemarkNoCompanyInfo) + "\t" + Text(TStringId::sRiskMediumDangerous) +
                             "\r\n" + "/opt/tool\t\t\t\tDeutsch (Deutschland)\t" +
                             Text(TStringId::sRemarkIncompleteFileInfo) + "\t" + Potential + "\r\n" +
                             "/opt/missing\t\t\t\t\t" + NoFileInfo + "\t" + Potential + "\r\n" +
                             "/opt/folder\t\t\t\t\t" + NoFileInfo + "\t" + Potential + "\r\n" +
                             "--help\t\t\t\t\t" + NoFileInfo + "\t" + Potential + "\r\n" +
                             "\t\t\t\t\t" + NoFileInfo + "\t" + Potential + "\r\n" +
                             "/opt/with tab\tTab Company\t\t\tDeutsch (Deutschland)\t\t" + Slight + "\r\n");
    EXPECT_TRUE(Processes.ImageQueries.empty());  // no snapshot for a listing
}

}  // namespace
}  // namespace quorvane
