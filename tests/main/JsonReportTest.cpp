// The JSON Lines report: every line parses, agrees with the tab-separated
// report of the same snapshot, and carries what lies beyond it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "catalogue/Catalogue.h"
#include "fakes/FakeProcessSource.h"
#include "fakes/FakeSignatureCheck.h"
#include "fakes/FakeStandardOutput.h"
#include "fakes/FakeVersionApi.h"
#include "main/JsonReport.h"
#include "main/JsonSchemaCheck.h"
#include "main/ReportCommand.h"
#include "report/Report.h"
#include "resources/StringTable.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::Process;
using testing::ProcessWithImage;
using testing::SchemaViolations;
using testing::TFakeProcessSource;
using testing::TFakeStandardOutput;
using testing::TFakeVersionApi;
using nlohmann::json;

std::vector<json> ParseLines(const std::string& Text) {
    std::vector<json> Objects;
    std::istringstream Lines(Text);
    for (std::string Line; std::getline(Lines, Line);)
        Objects.push_back(json::parse(Line));  // throws on invalid JSON or invalid UTF-8
    return Objects;
}

std::vector<std::vector<std::string>> TsvRows(const std::string& Text) {
    std::vector<std::vector<std::string>> Rows;
    std::size_t Start = 0;
    for (std::size_t End; (End = Text.find("\r\n", Start)) != std::string::npos; Start = End + 2) {
        std::vector<std::string>& Fields = Rows.emplace_back();
        std::stringstream Line(Text.substr(Start, End - Start));
        for (std::string Field; std::getline(Line, Field, '\t');)
            Fields.push_back(Field);
        while (Fields.size() < 15)
            Fields.emplace_back();
    }
    return Rows;
}

class JsonReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        Processes.Host = "rechner";
        auto Gone = ProcessWithImage("alt", 9, 7, "/opt/bin/alt");
        Gone.Origin = TImageOrigin{TImageState::Deleted, "/proc/9/exe"};
        auto Present = ProcessWithImage("tool", 7, 1, "/opt/tool");
        Present.Origin.State = TImageState::Present;
        auto Hidden = ProcessWithImage("hidden", 13, 1, "/opt/tool");
        Hidden.TimesRemark = "Permission denied";
        // A name with a line break, a tab, an escape sequence and a byte that is no UTF-8.
        Processes.Processes = {Process("[System Process]", 0, 0, 2), ProcessWithImage("init", 1, 0, "/sbin/init"),
                               Present, Gone, ProcessWithImage(kOddName, 12, 1, "/opt/b\xe4" "d/x"), Hidden,
                               Process("orphan", 30, 99)};
        Versions.Add("/sbin/init", FakeFile("Init Makers", "The init", "1.0"));
        Versions.Sources["/sbin/init"] = {TVersionSourceKind::Package, TPackageCheck::Verified, "init", "1.0-2", "dpkg", {}};
        Versions.Add("/opt/tool", FakeFile("", "", ""));
        Versions.Add("/proc/9/exe", FakeFile("Alt", "", ""));
        Versions.Add("/opt/b\xe4" "d/x", FakeFile("M\xfc" "ller", "", ""));
    }

    static constexpr const char* kOddName = "bad\n\t\x1b[31m\xff" "name";
    TFakeProcessSource Processes;
    TFakeVersionApi Versions;
    testing::FakeSignatureCheck Signatures;
};

// A JSON text as the tab-separated report writes it: TAB, CR and LF as blanks.
std::string AsReportField(std::string Text) {
    std::replace_if(Text.begin(), Text.end(), [](char C) { return C == '\t' || C == '\r' || C == '\n'; }, ' ');
    return Text;
}

TEST_F(JsonReportTest, JsonAndTabSeparatedReportsOfOneSnapshotAgree) {
    TStVersionInfo Reader(nullptr, Versions);
    TCatalogue Catalogue(Processes, Reader);
    Catalogue.ReloadCatalogue();
    const auto Rows = TsvRows(ReportText(Catalogue));
    const auto Objects = ParseLines(JsonReportText(Catalogue, TSnapshot{"rechner", "2026-12-08T09:30:00.250Z"}));
    ASSERT_EQ(Objects.size(), Catalogue.Count());
    ASSERT_EQ(Rows.size(), Objects.size() + 1);
    const char* Keys[] = {"name", "path", "company", "description", "version", "pid", "parent", "start_time",
                          "cpu_time", "kernel_time", "threads", "priority", "size", "remark", "risk"};
    for (std::size_t I = 0; I < Objects.size(); ++I) {
        const json& Object = Objects[I];
        const auto& Row = Rows[I + 1];
        const TCatalogueNode& Node = Catalogue.Node(I);
        SCOPED_TRACE(Row[0]);
        for (std::size_t Field = 0; Field < 15; ++Field) {
            const json& Value = Object.at(Keys[Field]);
            if (Value.is_number()) {
                EXPECT_EQ(std::to_string(Value.get<std::int64_t>()), Row[Field]) << Keys[Field];
            } else if (Value.is_null()) {
                EXPECT_EQ(Row[Field], "-") << Keys[Field];  // a top-level process
            } else {
                // One rule for both: the same bytes escaped the same way.
                EXPECT_EQ(AsReportField(Value.get<std::string>()), Row[Field]) << Keys[Field];
            }
        }
        EXPECT_EQ(Object.at("parent_pid").is_null(), Node.Parent() == nullptr);
        if (Node.Parent()) {
            EXPECT_EQ(Object.at("parent_pid").get<std::uint32_t>(), Node.Parent()->Data()->ProcessId);
        }
        EXPECT_EQ(Object.at("depth").get<int>(), Node.Level());
        EXPECT_EQ(Object.at("risk_level").get<int>(), Node.Data()->RiskLevel);
        EXPECT_FALSE(Object.at("explanation").get<std::string>().empty());
        EXPECT_EQ(Object.at("host"), "rechner");
        EXPECT_EQ(Object.at("time"), "2026-12-08T09:30:00.250Z");
    }

    const json& Init = Objects[1];
    EXPECT_EQ(Init.at("package"), (json{{"name", "init"}, {"version", "1.0-2"}, {"manager", "dpkg"}, {"verified", true}}));
    EXPECT_EQ(Init.at("image_path"), "/sbin/init");
    EXPECT_TRUE(Init.at("image_state").is_null());  // the fake source did not examine it
    EXPECT_EQ(Init.at("priority_class"), 32);
    EXPECT_EQ(Init.at("language"), "Deutsch (Deutschland)");
    const json& Tool = Objects[2];
    EXPECT_EQ(Tool.at("image_state"), "present");
    EXPECT_TRUE(Tool.at("package").is_null());
    const json& Gone = Objects[3];
    EXPECT_EQ(Gone.at("image_state"), "deleted");
    EXPECT_EQ(Gone.at("path"), "/opt/bin/");
    EXPECT_EQ(Gone.at("company"), "");
    // Invalid UTF-8 bytes as "\xNN"; control characters as JSON escapes them.
    const json& Bad = Objects[4];
    EXPECT_EQ(Bad.at("name"), "bad\n\t\x1b[31m\\xffname");
    EXPECT_EQ(Bad.at("image_path"), "/opt/b\\xe4d/x");
    EXPECT_EQ(Bad.at("company"), "M\\xfcller");
    EXPECT_EQ(Rows[5][0], "bad  \x1b[31m\\xffname");
    EXPECT_EQ(Objects.back().at("name"), "orphan");
    EXPECT_TRUE(Objects.back().at("parent").is_null());

    // The times as numbers beside their texts; null where they were not read.
    EXPECT_EQ(Init.at("start_time_utc"), "2026-12-07T09:00:00.250Z");
    EXPECT_EQ(Init.at("cpu_seconds"), 2.5);
    EXPECT_EQ(Init.at("kernel_seconds"), 1.0);
    for (const json* Untimed : {&Objects[0], &Objects[5], &Objects.back()}) {
        SCOPED_TRACE(Untimed->at("name").get<std::string>());
        EXPECT_EQ(Untimed->at("start_time"), "");
        EXPECT_TRUE(Untimed->at("start_time_utc").is_null());
        EXPECT_TRUE(Untimed->at("cpu_seconds").is_null());
        EXPECT_TRUE(Untimed->at("kernel_seconds").is_null());
    }
}

TEST(JsonTimesTest, FileTimesAsIsoTimesInUtc) {
    EXPECT_EQ(FileTimeUtcText(0), "1601-01-01T00:00:00.000Z");
    EXPECT_EQ(FileTimeUtcText(116'444'736'000'000'000), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(FileTimeUtcText(134'411'076'002'509'999), "2026-12-07T09:00:00.250Z");  // cut, not rounded
    EXPECT_EQ(FileTimeUtcText(0x7FFF'FFFF'FFFF'FFFF), "30828-09-14T02:48:05.477Z");
    EXPECT_EQ(FileTimeUtcText(0x8000'0000'0000'0000), "");  // the top bit set names no time
}

TEST_F(JsonReportTest, TheCommandWritesJsonLinesToStandardOutputOrAFile) {
    TFakeStandardOutput Out;
    std::ostringstream Err;
    ASSERT_EQ(RunReportCommand({"--json"}, Processes, Versions, Out, Err), kExitSuccess) << Err.str();
    const auto Objects = ParseLines(Out.Text);
    ASSERT_EQ(Objects.size(), 7u);
    const std::string Time = Objects[0].at("time");
    EXPECT_EQ(Time.size(), 24u);
    EXPECT_EQ(Time.substr(10, 1) + Time.substr(19, 1) + Time.substr(23), "T.Z");
    for (const json& Object : Objects) {
        EXPECT_EQ(Object.at("time"), Time);  // one snapshot
        EXPECT_EQ(Object.at("host"), "rechner");
    }

    const std::filesystem::path File =
        std::filesystem::temp_directory_path() / ("report-json-" + std::to_string(::getpid()) + ".jsonl");
    ASSERT_EQ(RunReportCommand({"--json", File.string()}, Processes, Versions, Out, Err), kExitSuccess);
    std::ifstream Written(File, std::ios::binary);
    EXPECT_EQ(ParseLines(std::string(std::istreambuf_iterator<char>(Written), {})).size(), 7u);
    std::filesystem::remove(File);

    const std::string Unwritable =
        (std::filesystem::temp_directory_path() / "no-such-folder-of-quorvane/r.jsonl").string();
    TFakeStandardOutput NoOut;
    std::ostringstream Message;
    EXPECT_EQ(RunReportCommand({"--json", Unwritable}, Processes, Versions, NoOut, Message), kExitWriteFailed);
    EXPECT_EQ(Message.str(), "quorvane-report: Datei \"" + Unwritable +
                                 "\" kann nicht erstellt werden. No such file or directory\n");
}

TEST_F(JsonReportTest, FilesAsJsonOneObjectEach) {
    Versions.Problems["/opt/missing"] = "No such file or directory";
    TFakeStandardOutput Out;
    std::ostringstream Err;
    ASSERT_EQ(RunReportCommand({"--files", "--json", "/sbin/init", "/opt/missing"}, Processes, Versions, Out, Err),
              kExitFileUnexamined);
    const auto Objects = ParseLines(Out.Text);
    ASSERT_EQ(Objects.size(), 2u);
    EXPECT_EQ(Objects[0].at("path"), "/sbin/init");
    EXPECT_EQ(Objects[0].at("company"), "Init Makers");
    EXPECT_EQ(Objects[0].at("risk_level"), 3);
    EXPECT_EQ(Objects[0].at("package").at("verified"), true);
    EXPECT_EQ(Objects[0].at("host"), "rechner");
    EXPECT_EQ(Objects[1].at("risk"), LoadStr(TStringId::sRiskUndetermined));
    EXPECT_EQ(Objects[1].at("risk_level"), 0);
    EXPECT_EQ(Objects[1].at("remark"), "No such file or directory");
    EXPECT_EQ(Err.str(), "quorvane-report: /opt/missing: No such file or directory\n");
}

TEST_F(JsonReportTest, EveryObjectIsAsTheSchemaDocumentDescribesIt) {
    TFakeStandardOutput Out;
    std::ostringstream Err;
    Signatures.Add("/sbin/init", TSignatureStatus::Trusted, "Init Makers", "Root CA", TSignatureSource::Catalog);
    Signatures.Add("/opt/tool", TSignatureStatus::Unsigned);
    // Every character that JSON escapes, and libraries: one packaged, one preloaded from memory.
    auto Odd = ProcessWithImage("q\"b\\s\b\f\r\x7f\x01\xc3\xa4", 40, 1, "/opt/tool");
    Odd.Modules.Listed = true;
    Odd.Modules.Modules = {{"/sbin/init", TImageState::Present, "/sbin/init", TPreload::None},
                           {"memfd:x\"y", TImageState::MemoryOnly, "", TPreload::Environment}};
    Processes.Processes.push_back(Odd);
    ASSERT_EQ(RunReportCommand({"--json", "--modules"}, Processes, Versions, Out, Err, &Signatures), kExitSuccess);
    Versions.Problems["/opt/missing"] = "No such file or directory";
    RunReportCommand({"--files", "--json", "/sbin/init", "/opt/missing", "/opt/tool"}, Processes, Versions, Out, Err,
                     &Signatures);
    ASSERT_EQ(ParseLines(Out.Text).size(), 11u);
    EXPECT_EQ(SchemaViolations(Out.Text), "");
    // Written as the JSON library writes the same values, to the byte.
    std::istringstream Lines(Out.Text);
    for (std::string Line; std::getline(Lines, Line);)
        EXPECT_EQ(nlohmann::ordered_json::parse(Line).dump(), Line);
    EXPECT_NE(Out.Text.find(R"("preload":["memfd:x\"y"])"), std::string::npos);
    // The check itself holds: an undocumented key and a wrong type are found.
    EXPECT_NE(SchemaViolations(R"({"pid":1,"undocumented":true})" "\n"), "");
    std::string Wrong = Out.Text.substr(0, Out.Text.find('\n') + 1);
    Wrong.replace(Wrong.find(R"("pid":0)"), 7, R"("pid":"0")");
    EXPECT_NE(SchemaViolations(Wrong), "");
}

TEST_F(JsonReportTest, TheSignatureOfEachImageIsVerifiedOnceBeforeTheReportIsWritten) {
    Signatures.Add("/sbin/init", TSignatureStatus::Trusted, "Init Makers", "Root CA", TSignatureSource::Catalog);
    Signatures.Add("/opt/tool", TSignatureStatus::Tampered);
    Processes.Processes.push_back(ProcessWithImage("init2", 2, 1, "/sbin/init"));
    TFakeStandardOutput Out;
    std::ostringstream Err;
    ASSERT_EQ(RunReportCommand({"--json"}, Processes, Versions, Out, Err, &Signatures), kExitSuccess);
    std::map<std::string, json> ByName;
    for (const json& Object : ParseLines(Out.Text))
        ByName[Object.at("name")] = Object;
    EXPECT_EQ(ByName["init"].at("signature"),
              (json{{"status", "trusted"}, {"signer", "Init Makers"}, {"issuer", "Root CA"}, {"source", "catalog"}}));
    EXPECT_EQ(ByName["init2"].at("signature"), ByName["init"].at("signature"));
    EXPECT_EQ(ByName["tool"].at("signature"),
              (json{{"status", "tampered"}, {"signer", nullptr}, {"issuer", nullptr}, {"source", "embedded"}}));
    const std::string Tool = ByName["tool"].at("explanation");
    EXPECT_TRUE(Tool.ends_with(" Die Signatur passt nicht mehr zum Inhalt: die Datei wurde nach dem Signieren "
                               "verändert."))
        << Tool;
    EXPECT_EQ(ByName["alt"].at("signature").at("status"), "error") << "the file at its path is missing";
    EXPECT_TRUE(ByName["orphan"].at("signature").is_null()) << "no image file";
    EXPECT_TRUE(ByName["[System Process]"].at("signature").is_null());
    EXPECT_EQ(Signatures.Verifications, 4) << "one verification per image file";

    // Without a check (the Linux build) there is no verdict and no sentence.
    Out.Text.clear();
    ASSERT_EQ(RunReportCommand({"--json"}, Processes, Versions, Out, Err), kExitSuccess);
    for (const json& Object : ParseLines(Out.Text)) {
        EXPECT_TRUE(Object.at("signature").is_null());
        EXPECT_EQ(Object.at("explanation").get<std::string>().find("Signatur"), std::string::npos);
    }

    // The listing of --files carries the sentence in its explanation column.
    Out.Text.clear();
    ASSERT_EQ(RunReportCommand({"--files", "/opt/tool"}, Processes, Versions, Out, Err, &Signatures), kExitSuccess);
    EXPECT_NE(Out.Text.find("Inhalt: die Datei wurde nach dem Signieren verändert.\r\n"), std::string::npos)
        << Out.Text;
}

TEST(SnapshotTimeTest, IsoTimesInUtcWithMilliseconds) {
    using namespace std::chrono;
    const auto At = [](std::int64_t Milliseconds) { return system_clock::time_point(milliseconds(Milliseconds)); };
    EXPECT_EQ(SnapshotTime(At(0)), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(SnapshotTime(At(1'796'722'200'250)), "2026-12-08T09:30:00.250Z");
    EXPECT_EQ(SnapshotTime(At(1'709'251'199'999)), "2024-02-29T23:59:59.999Z");
    EXPECT_EQ(SnapshotTime(At(-1)), "1969-12-31T23:59:59.999Z");
}

}  // namespace
}  // namespace quorvane
