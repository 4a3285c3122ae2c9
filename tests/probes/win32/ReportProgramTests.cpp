// quorvane-report.exe on the live system: Wine's own processes with their
// facts, and the program's own line with its version values.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "resources/StringTable.h"
#include "tests/trust/win32/SignedFiles.h"

namespace quorvane {
namespace {

std::string ProgramFolder() {
    char Buffer[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, Buffer, sizeof Buffer);
    std::string Path = Buffer;
    return Path.substr(0, Path.find_last_of('\\') + 1);
}

std::string ReportProgram() {
    std::string Relative = QUORVANE_REPORT_PROGRAM_RELATIVE;
    std::replace(Relative.begin(), Relative.end(), '/', '\\');
    return ProgramFolder() + Relative;
}

// Runs the command line to its end; its standard output goes to Output when given.
DWORD RunProgram(std::string CommandLine, const std::string& Output = {}) {
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    HANDLE Out = INVALID_HANDLE_VALUE;
    if (!Output.empty()) {
        SECURITY_ATTRIBUTES Inherited{sizeof Inherited, nullptr, TRUE};
        Out = ::CreateFileA(Output.c_str(), GENERIC_WRITE, 0, &Inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
        if (Out == INVALID_HANDLE_VALUE)
            return 0xFFFFFFFF;
        Startup.dwFlags = STARTF_USESTDHANDLES;
        Startup.hStdOutput = Out;
        Startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
        Startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION Child{};
    const BOOL Started = ::CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, Out != INVALID_HANDLE_VALUE,
                                         0, nullptr, nullptr, &Startup, &Child);
    if (Out != INVALID_HANDLE_VALUE)
        ::CloseHandle(Out);
    if (!Started)
        return 0xFFFFFFFF;
    ::WaitForSingleObject(Child.hProcess, INFINITE);
    DWORD Code = 0xFFFFFFFF;
    ::GetExitCodeProcess(Child.hProcess, &Code);
    ::CloseHandle(Child.hThread);
    ::CloseHandle(Child.hProcess);
    return Code;
}

std::vector<std::string> Split(const std::string& Text, const std::string& Separator) {
    std::vector<std::string> Parts;
    std::size_t Begin = 0;
    for (std::size_t End; (End = Text.find(Separator, Begin)) != std::string::npos; Begin = End + Separator.size())
        Parts.push_back(Text.substr(Begin, End - Begin));
    Parts.push_back(Text.substr(Begin));
    return Parts;
}

enum TField { fName, fPath, fCompany, fDescription, fVersion, fPid, fParent, fStart, fCpu, fKernel, fThreads,
              fPriority, fSize, fRemark, fRisk, kFieldCount };

TEST(ReportProgram, ListsWinesProcessesWithTheirFacts) {
    char Temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathA(sizeof Temp, Temp));
    const std::string Report = std::string(Temp) + "quorvane-report-" + std::to_string(::GetCurrentProcessId()) + ".txt";
    ASSERT_EQ(0u, RunProgram("\"" + ReportProgram() + "\" \"" + Report + "\""));
    std::ifstream File(Report, std::ios::binary);
    std::stringstream Contents;
    Contents << File.rdbuf();
    File.close();
    ::DeleteFileA(Report.c_str());

    const std::string Text = Contents.str();
    ASSERT_EQ(0u, Text.rfind(LoadStr(TStringId::sReportHeader), 0));
    ASSERT_EQ("\r\n", Text.substr(Text.size() - 2));
    EXPECT_EQ(std::string::npos, Text.find("\r\r"));
    std::vector<std::string> Lines = Split(Text.substr(0, Text.size() - 2), "\r\n");
    Lines.erase(Lines.begin());

    std::map<std::string, std::vector<std::string>> ByName;
    for (const std::string& Line : Lines) {
        const std::vector<std::string> Fields = Split(Line, "\t");
        ASSERT_EQ(static_cast<std::size_t>(kFieldCount), Fields.size()) << Line;
        ByName[Fields[fName]] = Fields;
    }
    ASSERT_TRUE(ByName.count("services.exe"));
    ASSERT_TRUE(ByName.count("quorvane-report.exe"));

    for (const char* Name : {"services.exe", "quorvane-report.exe"}) {
        SCOPED_TRACE(Name);
        const std::vector<std::string>& Fields = ByName[Name];
        EXPECT_EQ('\\', Fields[fPath].back());
        EXPECT_GT(std::stoul(Fields[fPid]), 0u);
        EXPECT_FALSE(Fields[fStart].empty());
        EXPECT_EQ(12u, Fields[fCpu].size());
        EXPECT_EQ(12u, Fields[fKernel].size());
        EXPECT_GE(std::stoi(Fields[fThreads]), 1);
        EXPECT_EQ(LoadStr(TStringId::sPriorityNormal), Fields[fPriority]);
        EXPECT_GT(std::stoul(Fields[fSize]), 0u);
    }
    EXPECT_EQ(0, ::lstrcmpiA("C:\\windows\\system32\\", ByName["services.exe"][fPath].c_str()));

    // The program's own version resource, rated by its manufacturer.
    const std::vector<std::string>& Own = ByName["quorvane-report.exe"];
    EXPECT_EQ("Quorvane Software", Own[fCompany]);
    EXPECT_EQ("Quorvane Prozess-Analyse", Own[fDescription]);
    EXPECT_EQ("1.2.0.0", Own[fVersion]);
    EXPECT_EQ(LoadStr(TStringId::sRiskSlightlyDangerous), Own[fRisk]);
    EXPECT_EQ("", Own[fRemark]);
}

TEST(ReportProgram, WritesJsonLinesWithTheExplanationOfEveryRating) {
    char Temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathA(sizeof Temp, Temp));
    const std::string Report =
        std::string(Temp) + "quorvane-report-" + std::to_string(::GetCurrentProcessId()) + ".jsonl";
    ASSERT_EQ(0u, RunProgram("\"" + ReportProgram() + "\" --json \"" + Report + "\""));
    std::ifstream File(Report, std::ios::binary);
    std::vector<nlohmann::json> Objects;
    for (std::string Line; std::getline(File, Line);)
        Objects.push_back(nlohmann::json::parse(Line));  // UTF-8 throughout, or it throws
    File.close();
    ::DeleteFileA(Report.c_str());

    ASSERT_FALSE(Objects.empty());
    const nlohmann::json* Own = nullptr;
    for (const nlohmann::json& Object : Objects) {
        EXPECT_FALSE(Object.at("explanation").get<std::string>().empty()) << Object.dump();
        EXPECT_FALSE(Object.at("host").get<std::string>().empty());
        EXPECT_TRUE(Object.at("package").is_null());  // no package system
        EXPECT_TRUE(Object.at("image_state").is_null());  // not examined on Windows
        if (Object.at("pid") == 0) {
            EXPECT_EQ(Object.at("risk_level"), 4);
        }
        if (Object.at("name") == "quorvane-report.exe")
            Own = &Object;
    }
    ASSERT_NE(Own, nullptr);
    EXPECT_EQ(Own->at("company"), "Quorvane Software");
    EXPECT_EQ(Own->at("risk"), "Schwach gefährlich");  // UTF-8, from the ANSI code page
    // Wine ships no catalogs, and neither the program nor Wine's DLLs are signed.
    EXPECT_EQ(Own->at("explanation").get<std::string>().rfind(
                  "Versionsressource der Programmdatei: der Hersteller ist angegeben. Die Datei ist nicht signiert. "
                  "Geladene Bibliotheken ohne vertrauenswürdige Signatur: ",
                  0),
              0u)
        << Own->at("explanation");
    EXPECT_GT(Own->at("unvouched_modules"), 0);
    EXPECT_EQ(Own->at("preload"), nlohmann::json::array());
    EXPECT_EQ(Own->at("signature"),
              (nlohmann::json{{"status", "unsigned"}, {"signer", nullptr}, {"issuer", nullptr}, {"source", nullptr}}));
    EXPECT_EQ(Own->at("path").get<std::string>().back(), '\\');
}

TEST(ReportProgram, FilesThatCannotBeExaminedAreUndeterminedWithExitCodeOne) {
    char Temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathA(sizeof Temp, Temp));
    const std::string Own = std::to_string(::GetCurrentProcessId());
    const std::string Listing = std::string(Temp) + "quorvane-files-" + Own + ".txt";
    const std::string Missing = std::string(Temp) + "quorvane-no-such-file.exe";
    const std::string Folder = std::string(Temp) + "quorvane-folder-" + Own;
    ASSERT_TRUE(::CreateDirectoryA(Folder.c_str(), nullptr));
    const std::string Program = "\"" + ReportProgram() + "\"";
    const DWORD Code =
        RunProgram(Program + " --files \"" + Missing + "\" " + Program + " \"" + Folder + "\"", Listing);
    std::ifstream File(Listing, std::ios::binary);
    std::stringstream Contents;
    Contents << File.rdbuf();
    File.close();
    ::DeleteFileA(Listing.c_str());
    ::RemoveDirectoryA(Folder.c_str());

    EXPECT_EQ(1u, Code);
    const std::vector<std::string> Lines = Split(Contents.str(), "\r\n");
    ASSERT_EQ(5u, Lines.size()) << Contents.str();  // header, three files, the empty rest
    for (const std::size_t Line : {1u, 3u}) {
        const std::vector<std::string> Fields = Split(Lines[Line], "\t");
        ASSERT_EQ(8u, Fields.size()) << Lines[Line];
        EXPECT_FALSE(Fields[5].empty()) << "the system's message";
        EXPECT_EQ(LoadStr(TStringId::sRiskUndetermined), Fields[6]);
    }
    EXPECT_EQ(LoadStr(TStringId::sRiskSlightlyDangerous), Split(Lines[2], "\t")[6]);
}

TEST(ReportProgram, NamesTheVerdictOnEachFilesSignature) {
    ASSERT_TRUE(testing::TestRootTrusted());
    char Temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathA(sizeof Temp, Temp));
    const std::string Listing = std::string(Temp) + "quorvane-signed-" + std::to_string(::GetCurrentProcessId());
    const char* Files[] = {"trusted.exe", "untrusted-sha256.exe", "untrusted-sha1.exe", "tampered.exe",
                           "unsigned.exe", "table-garbage.exe"};
    std::string Arguments;
    for (const char* File : Files)
        Arguments += " \"" + testing::SignedFile(File) + "\"";
    ASSERT_EQ(0u, RunProgram("\"" + ReportProgram() + "\" --files --json" + Arguments, Listing + ".jsonl"));
    ASSERT_EQ(0u, RunProgram("\"" + ReportProgram() + "\" --files" + Arguments, Listing + ".txt"));
    std::ifstream Json(Listing + ".jsonl", std::ios::binary);
    std::vector<nlohmann::json> Objects;
    for (std::string Line; std::getline(Json, Line);)
        Objects.push_back(nlohmann::json::parse(Line));
    Json.close();
    std::ifstream Text(Listing + ".txt", std::ios::binary);
    std::stringstream Contents;
    Contents << Text.rdbuf();
    Text.close();
    ::DeleteFileA((Listing + ".jsonl").c_str());
    ::DeleteFileA((Listing + ".txt").c_str());

    using nlohmann::json;
    const json Expected[] = {
        {{"status", "trusted"}, {"signer", "Quorvane Testsignatur"}, {"issuer", "Quorvane Test Root"},
         {"source", "embedded"}},
        {{"status", "untrusted"}, {"signer", "Quorvane Fremdsignatur"}, {"issuer", "Quorvane Fremde Stelle"},
         {"source", "embedded"}},
        {{"status", "untrusted"}, {"signer", "Quorvane Altsignatur"}, {"issuer", "Quorvane Alte Stelle"},
         {"source", "embedded"}},
        {{"status", "tampered"}, {"signer", nullptr}, {"issuer", nullptr}, {"source", "embedded"}},
        {{"status", "unsigned"}, {"signer", nullptr}, {"issuer", nullptr}, {"source", nullptr}},
        {{"status", "error"}, {"signer", nullptr}, {"issuer", nullptr}, {"source", nullptr}},
    };
    ASSERT_EQ(Objects.size(), std::size(Expected));
    for (std::size_t I = 0; I < Objects.size(); ++I) {
        EXPECT_EQ(Objects[I].at("signature"), Expected[I]) << Files[I];
        // The rating rests on the version data alone, whatever the signature says.
        EXPECT_EQ(Objects[I].at("risk"), "Schwach gefährlich") << Files[I];
    }
    EXPECT_EQ(Objects[3].at("explanation"),
              "Versionsressource der Programmdatei: der Hersteller ist angegeben. Die Signatur passt nicht mehr zum "
              "Inhalt: die Datei wurde nach dem Signieren verändert.");
    // The explanation column of the listing carries the same sentence.
    const std::vector<std::string> Lines = Split(Contents.str(), "\r\n");
    ASSERT_GT(Lines.size(), 4u);
    EXPECT_EQ(Split(Lines[1], "\t").back(),
              FormatStr(TStringId::sExplainResource, {LoadStr(TStringId::sFindingCompany)}) + " " +
                  FormatStr(TStringId::sSignatureTrusted, {"Quorvane Testsignatur", "Quorvane Test Root"}));
}

// A program of the tests' own that has loaded a DLL of the tests' own from a
// temporary folder: the report names the DLL as not vouched for.
TEST(ReportProgram, ADllLoadedFromATemporaryFolderIsNotVouchedFor) {
    char Temp[MAX_PATH];
    ASSERT_NE(0u, ::GetTempPathA(sizeof Temp, Temp));
    const std::string Own = std::to_string(::GetCurrentProcessId());
    const std::string Folder = std::string(Temp) + "quorvane-modules-" + Own;
    ASSERT_TRUE(::CreateDirectoryA(Folder.c_str(), nullptr));
    const std::string Dll = Folder + "\\probe.dll";
    ASSERT_TRUE(::CopyFileA((ProgramFolder() + QUORVANE_PROBE_DLL_NAME).c_str(), Dll.c_str(), FALSE));

    // The host says "ready" through a pipe once the DLL is loaded.
    SECURITY_ATTRIBUTES Inherited{sizeof Inherited, nullptr, TRUE};
    HANDLE Read = nullptr, Write = nullptr;
    ASSERT_TRUE(::CreatePipe(&Read, &Write, &Inherited, 0));
    ::SetHandleInformation(Read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdOutput = Write;
    Startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    Startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::string CommandLine = "\"" + ProgramFolder() + QUORVANE_MODULE_HOST_NAME + "\" \"" + Dll + "\"";
    PROCESS_INFORMATION Host{};
    ASSERT_TRUE(::CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Startup,
                                 &Host));
    ::CloseHandle(Write);
    char Said[8] = {};
    DWORD Got = 0;
    ::ReadFile(Read, Said, 6, &Got, nullptr);
    ::CloseHandle(Read);
    EXPECT_EQ(std::string(Said, Got), "ready\n");

    const std::string Report = Folder + "\\report.jsonl";
    EXPECT_EQ(0u, RunProgram("\"" + ReportProgram() + "\" --json --modules \"" + Report + "\""));
    ::TerminateProcess(Host.hProcess, 0);
    ::WaitForSingleObject(Host.hProcess, INFINITE);
    ::CloseHandle(Host.hThread);
    ::CloseHandle(Host.hProcess);
    std::ifstream File(Report, std::ios::binary);
    nlohmann::json Object;
    for (std::string Line; std::getline(File, Line);)
        if (nlohmann::json Parsed = nlohmann::json::parse(Line); Parsed.at("pid") == Host.dwProcessId)
            Object = std::move(Parsed);
    File.close();
    ::DeleteFileA(Report.c_str());
    ::DeleteFileA(Dll.c_str());
    ::RemoveDirectoryA(Folder.c_str());

    ASSERT_TRUE(Object.is_object()) << "the host is in the report";
    const auto Same = [](std::string A, std::string B) { return ::lstrcmpiA(A.c_str(), B.c_str()) == 0; };
    const nlohmann::json* Probe = nullptr;
    for (const nlohmann::json& Module : Object.at("modules"))
        if (Same(Module.at("path"), Dll))
            Probe = &Module;
    ASSERT_NE(Probe, nullptr) << Object.at("modules").dump();
    EXPECT_EQ(Probe->at("verified"), false);
    EXPECT_EQ(Probe->at("signature").at("status"), "unsigned");
    EXPECT_TRUE(Probe->at("package").is_null());
    EXPECT_TRUE(Probe->at("state").is_null());
    EXPECT_EQ(Object.at("unvouched_modules"), Object.at("modules").size()) << "under Wine nothing is signed";
    const std::string Explanation = Object.at("explanation");
    EXPECT_NE(Explanation.find("Geladene Bibliotheken ohne vertrauenswürdige Signatur: "), std::string::npos)
        << Explanation;
}

}  // namespace
}  // namespace quorvane
