// The libraries loaded into live processes, as the JSON report tells them: a
// library of the tests' own, preloaded, loaded from a temporary folder,
// deleted after loading, and loaded from a memfd, beside a process that has
// only packaged libraries.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "main/JsonSchemaCheck.h"

extern char** environ;

namespace quorvane {
namespace {

namespace fs = std::filesystem;

// The test's module host, started with Arguments and Preload (empty: none),
// ended by the destructor. Ready once it has loaded what it was told to.
class THost {
public:
    THost(const std::vector<std::string>& Arguments, const std::string& Preload) {
        std::vector<std::string> Environment;
        for (char** Entry = environ; *Entry; ++Entry)
            if (std::string_view(*Entry).substr(0, 11) != "LD_PRELOAD=")
                Environment.emplace_back(*Entry);
        if (!Preload.empty())
            Environment.push_back("LD_PRELOAD=" + Preload);
        std::vector<std::string> Words{QUORVANE_MODULE_HOST};
        Words.insert(Words.end(), Arguments.begin(), Arguments.end());
        int Pipe[2];
        if (::pipe(Pipe) != 0)
            return;
        posix_spawn_file_actions_t Actions;
        ::posix_spawn_file_actions_init(&Actions);
        ::posix_spawn_file_actions_adddup2(&Actions, Pipe[1], STDOUT_FILENO);
        ::posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
        ::posix_spawn(&FChild, Words[0].c_str(), &Actions, nullptr, Pointers(Words).data(),
                      Pointers(Environment).data());
        ::posix_spawn_file_actions_destroy(&Actions);
        ::close(Pipe[1]);
        char Line[16] = {};
        FILE* Out = ::fdopen(Pipe[0], "r");
        FReady = Out && std::fgets(Line, sizeof Line, Out) && std::string(Line) == "ready\n";
        if (Out)
            std::fclose(Out);
    }
    ~THost() {
        if (FChild > 0) {
            ::kill(FChild, SIGKILL);
            ::waitpid(FChild, nullptr, 0);
        }
    }
    bool Ready() const { return FReady; }
    std::uint32_t Id() const { return static_cast<std::uint32_t>(FChild); }

private:
    static std::vector<char*> Pointers(std::vector<std::string>& Texts) {
        std::vector<char*> Result;
        for (std::string& Text : Texts)
            Result.push_back(Text.data());
        Result.push_back(nullptr);
        return Result;
    }

    pid_t FChild = -1;
    bool FReady = false;
};

std::string Quoted(const std::string& Text) {
    std::string Result = "'";
    for (const char C : Text)
        Result += C == '\'' ? std::string("'\\''") : std::string(1, C);
    return Result + "'";
}

std::string Output(const std::string& Command) {
    std::string Text;
    if (FILE* Pipe = ::popen(Command.c_str(), "r")) {
        char Buffer[65536];
        for (std::size_t Got; (Got = std::fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
            Text.append(Buffer, Got);
        ::pclose(Pipe);
    }
    return Text;
}

// The report's objects by process id.
std::map<std::uint32_t, nlohmann::json> ReportObjects(const std::string& Arguments) {
    std::map<std::uint32_t, nlohmann::json> ById;
    std::istringstream Lines(Output(Quoted(QUORVANE_REPORT_PROGRAM) + " " + Arguments));
    for (std::string Line; std::getline(Lines, Line);) {
        nlohmann::json Object = nlohmann::json::parse(Line);
        const auto Id = Object.at("pid").get<std::uint32_t>();
        ById[Id] = std::move(Object);
    }
    return ById;
}

TEST(LoadedModulesTest, EveryWayOfLoadingALibraryIsNamedWithItsState) {
    std::string Template = (fs::temp_directory_path() / "loaded-modules.XXXXXX").string();
    ASSERT_NE(::mkdtemp(Template.data()), nullptr);
    const fs::path Folder = Template;
    const auto Copy = [&Folder](const std::string& Name) {
        fs::copy_file(QUORVANE_PROBE_LIBRARY, Folder / Name);
        return (Folder / Name).string();
    };
    const std::string Preloaded = Copy("libpreloaded.so"), Opened = Copy("libopened.so"),
                      Deleted = Copy("libdeleted.so"), InMemory = Copy("libmemory.so");

    const struct {
        const char* Case;
        THost Host;
        std::string Path;  // of the library, as the report names it
        const char* State;
        std::string Sentence;  // that ends the explanation
    } Cases[] = {
        {"packaged libraries only", THost({}, ""), "", nullptr, ""},
        {"LD_PRELOAD", THost({}, Preloaded), Preloaded, "present", "Mit LD_PRELOAD gestartet: " + Preloaded + "."},
        {"dlopen", THost({"dlopen", Opened}, ""), Opened, "present",
         "Geladene Bibliotheken, für die kein Paket bürgt: " + Opened + "."},
        {"deleted", THost({"delete", Deleted}, ""), Deleted, "deleted",
         "Geladene Bibliotheken, für die kein Paket bürgt: " + Deleted + " (gelöscht)."},
        {"memfd", THost({"memfd", InMemory}, ""), "memfd:quorvane-probe", "memory",
         "Geladene Bibliotheken, für die kein Paket bürgt: memfd:quorvane-probe (nur im Speicher)."},
    };
    for (const auto& Case : Cases)
        ASSERT_TRUE(Case.Host.Ready()) << Case.Case;
    EXPECT_FALSE(fs::exists(Deleted));

    std::map<std::uint32_t, nlohmann::json> ById = ReportObjects("--json --modules -");
    std::string Json;
    for (const auto& [Id, Object] : ById)
        Json += Object.dump() + "\n";
    EXPECT_EQ(testing::SchemaViolations(Json), "");
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Case);
        ASSERT_TRUE(ById.count(Case.Host.Id()));
        const nlohmann::json& Object = ById[Case.Host.Id()];
        const std::string Explanation = Object.at("explanation");
        std::size_t Unvouched = 0;
        const nlohmann::json* Library = nullptr;
        for (const nlohmann::json& Module : Object.at("modules")) {
            Unvouched += Module.at("verified") ? 0 : 1;
            if (Module.at("path") == Case.Path)
                Library = &Module;
        }
        EXPECT_EQ(Object.at("unvouched_modules"), Unvouched);
        if (!Case.State) {
            EXPECT_EQ(Unvouched, 0u) << Object.at("modules").dump();
            EXPECT_EQ(Explanation.find("Bibliotheken"), std::string::npos) << Explanation;
            EXPECT_EQ(Object.at("preload"), nlohmann::json::array());
            continue;
        }
        EXPECT_EQ(Unvouched, 1u) << Object.at("modules").dump();
        ASSERT_NE(Library, nullptr) << Object.at("modules").dump();
        EXPECT_EQ(Library->at("state"), Case.State);
        EXPECT_EQ(Library->at("verified"), false);
        EXPECT_TRUE(Library->at("package").is_null());
        EXPECT_TRUE(Explanation.ends_with(" " + Case.Sentence)) << Explanation;
        EXPECT_EQ(Object.at("preload"), Case.Path == Preloaded ? nlohmann::json::array({Preloaded})
                                                               : nlohmann::json::array());
    }

    // Without --modules: the count and the explanation, not the inventory.
    const nlohmann::json Object = ReportObjects("--json -")[Cases[2].Host.Id()];
    EXPECT_EQ(Object.at("unvouched_modules"), 1);
    EXPECT_EQ(Object.at("explanation"), ById[Cases[2].Host.Id()].at("explanation"));
    EXPECT_FALSE(Object.contains("modules"));
    fs::remove_all(Folder);
}

}  // namespace
}  // namespace quorvane
