#include "report/Report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalogue/Catalogue.h"
#include "fakes/FakeProcessSource.h"
#include "fakes/FakeVersionApi.h"
#include "fakes/SystemText.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::Process;
using testing::ProcessWithImage;
using testing::Sys;
using testing::TFakeProcessSource;
using testing::TFakeVersionApi;

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream Text;
    Text << In.rdbuf();
    return Text.str();
}

#ifdef _WIN32
const std::string kDir = "C:\\Tools\\";
#else
const std::string kDir = "/opt/tools/";
#endif

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::temp_directory_path() /
                 ("quorvane-report-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    void TearDown() override { fs::remove_all(Folder); }

    void LoadSmallTree() {
        Api.Add(kDir + "tool", FakeFile("ACME", "Tool", "1.0"));
        auto Tool = ProcessWithImage("tool", 42, 1, kDir + "tool", 8192);
        Tool.Entry.Threads = 3;
        auto Hidden = Process("hidden", 43, 42, 2);
        Hidden.ImageRemark = "Zugriff verweigert";
        Source.Processes = {Process("[System Process]", 0, 0, 2), Process("init", 1, 0, 1), Tool, Hidden};
        Catalogue.ReloadCatalogue();
    }

    fs::path Folder;
    TFakeProcessSource Source;
    TFakeVersionApi Api;
    TStVersionInfo Reader{nullptr, Api};
    TCatalogue Catalogue{Source, Reader};
};

TEST_F(ReportTest, ExactBytesOfASmallTree) {
    LoadSmallTree();
    const std::string Expected =
        Sys("Name\tPfad\tHersteller\tBeschreibung\tVersion\tPID\tStartprozess\tStartzeit\tLaufzeit\t"
            "Laufzeit (Kernel)\tAnzahl Threads\tPriorität\tGrösse\tHinweis\tVirengefahr\r\n") +
        Sys("[System Process]\t\t\t\t\t0\t-\t\t\t\t2\t\t0\t\tungefährlich (Betriebssystem Kern)\r\n") +
        Sys("init\t\t\t\t\t1\t[System Process]\t\t\t\t1\t\t0\t\tGefährlichkeit nicht bestimmbar\r\n") +
        "tool\t" + kDir + "\tACME\tTool\t1.0\t42\tinit\t07.12.2026 10:00:00\t00:00:02.500\t00:00:01.000\t3\tNormal\t8192\t\t" +
        Sys("Schwach gefährlich\r\n") +
        Sys("hidden\t\t\t\t\t43\ttool\t\t\t\t2\t\t0\tZugriff verweigert\tGefährlichkeit nicht bestimmbar\r\n");
    const fs::path File = Folder / "report.txt";
    WriteReport(Catalogue, File.string());
    EXPECT_EQ(ReadFile(File), Expected);
    EXPECT_EQ(ReportText(Catalogue), Expected);
}

TEST_F(ReportTest, EmptyCatalogueGivesTheHeaderOnly) {
    const fs::path File = Folder / "empty.txt";
    WriteReport(Catalogue, File.string());
    const std::string Text = ReadFile(File);
    EXPECT_EQ(Text.rfind("Name\tPfad\t", 0), 0u);  // no byte-order mark
    EXPECT_EQ(Text.find("\r\n"), Text.size() - 2);
}

TEST_F(ReportTest, TabsAndLineBreaksInsideValuesBecomeBlanks) {
    Api.Add(kDir + "odd\xff", FakeFile("Evil\tCo.", "two\r\nlines", "1\n2"));
    Source.Processes = {ProcessWithImage("od\td\x1b\xff", 7, 0, kDir + "odd\xff")};
    Catalogue.ReloadCatalogue();
    const std::string Text = ReportText(Catalogue);
    const std::string Line = Text.substr(Text.find("\r\n") + 2);
#ifdef _WIN32
    const std::string Name = "od d\x1b\xff";  // an ANSI character like any other
#else
    const std::string Name = "od d\x1b\\xff";  // no valid UTF-8: written as its value
#endif
    EXPECT_EQ(Line.rfind(Name + "\t" + kDir + "\tEvil Co.\ttwo  lines\t1 2\t7\t", 0), 0u) << Line;
    EXPECT_EQ(std::count(Line.begin(), Line.end(), '\t'), 14);
    EXPECT_EQ(Line.find("\r\n"), Line.size() - 2);
    EXPECT_EQ(std::count(Line.begin(), Line.end(), '\n'), 1);
}

TEST_F(ReportTest, ExistingFileIsReplacedWithoutLeftovers) {
    LoadSmallTree();
    const fs::path File = Folder / "old.txt";
    std::ofstream(File) << "an earlier, much longer report that must vanish completely";
    WriteReport(Catalogue, File.string());
    EXPECT_EQ(ReadFile(File), ReportText(Catalogue));
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 1);
}

TEST_F(ReportTest, FolderThatDoesNotExistFailsWithTheFullNameAndSystemMessage) {
    LoadSmallTree();
    const fs::path File = Folder / "no such folder" / "r.txt";
    try {
        WriteReport(Catalogue, File.string());
        FAIL() << "no failure";
    } catch (const EFCreateError& E) {
        const std::string Prefix = "Datei \"" + File.string() + "\" kann nicht erstellt werden. ";
        const std::string Message = E.what();
        EXPECT_EQ(Message.rfind(Prefix, 0), 0u) << Message;
        EXPECT_GT(Message.size(), Prefix.size());  // the system's message follows
    }
    EXPECT_FALSE(fs::exists(File.parent_path()));
}

#ifndef _WIN32
TEST_F(ReportTest, RelativeNameIsReportedInFull) {
    const fs::path Before = fs::current_path();
    fs::current_path(Folder);
    try {
        WriteReport(Catalogue, "missing/r.txt");
        ADD_FAILURE() << "no failure";
    } catch (const EFCreateError& E) {
        EXPECT_NE(std::string(E.what()).find("\"" + (Folder / "missing/r.txt").string() + "\""), std::string::npos)
            << E.what();
    }
    fs::current_path(Before);
}

TEST_F(ReportTest, FailedWriteIsReportedAndKeepsThePreviousFile) {
    LoadSmallTree();
    // A device that takes no bytes: the write fails, which must not count as success.
    if (fs::exists("/dev/full")) {
        EXPECT_THROW(WriteReport(Catalogue, "/dev/full"), EWriteError);  // it exists: the write failed
        EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
    // A folder that takes no new file: the writable report in it is updated in place.
    const fs::path File = Folder / "kept.txt";
    std::ofstream(File) << "previous";
    fs::permissions(Folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_NO_THROW(WriteReport(Catalogue, File.string()));
    fs::permissions(Folder, fs::perms::owner_all);
    EXPECT_EQ(ReadFile(File), ReportText(Catalogue));
}

TEST_F(ReportTest, LinkIsFollowedAndStaysALink) {
    LoadSmallTree();
    const fs::path Target = Folder / "target.txt";
    const fs::path Link = Folder / "link.txt";
    std::ofstream(Target) << "old";
    fs::create_symlink(Target, Link);
    WriteReport(Catalogue, Link.string());
    EXPECT_TRUE(fs::is_symlink(Link));
    EXPECT_EQ(ReadFile(Target), ReportText(Catalogue));
}
#endif

}  // namespace
}  // namespace quorvane
