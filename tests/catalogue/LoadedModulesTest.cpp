// The libraries loaded into a process: the sentence that names those nothing
// vouches for, and how their verdicts reach every record that loaded them,
// at once (the report) or as they arrive (the windows).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "catalogue/Catalogue.h"
#include "catalogue/LateVerdicts.h"
#include "catalogue/Provenance.h"
#include "fakes/FakeProcessSource.h"
#include "fakes/FakeSignatureCheck.h"
#include "fakes/FakeVersionApi.h"
#include "fakes/SystemText.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::FakeSignatureCheck;
using testing::ProcessWithImage;
using testing::Sys;
using testing::TFakeProcessSource;
using testing::TFakeVersionApi;

TLoadedModule Loaded(std::string Path, TImageState State = TImageState::Present, TPreload Preload = TPreload::None) {
    TLoadedModule Module;
    Module.ContentPath = State == TImageState::MemoryOnly ? std::string() : Path;
    Module.Path = std::move(Path);
    Module.State = State;
    Module.Preload = Preload;
    return Module;
}

TModuleVerdict Examined(TPackageCheck Check, TSignatureStatus Signature = TSignatureStatus::NotChecked) {
    TModuleVerdict Verdict;
    Verdict.Examination = TModuleExamination::Examined;
    Verdict.Source.Check = Check;
    Verdict.Signature.Status = Signature;
    return Verdict;
}

TProcessModules Listed(std::vector<TLoadedModule> Modules) {
    TProcessModules List;
    List.Listed = true;
    List.Modules = std::move(Modules);
    return List;
}

TEST(ModuleExplanationTest, NamesWhatNothingVouchesForAtMostThreeToASentence) {
    const TModuleVerdict Packaged = Examined(TPackageCheck::Verified);
    const TModuleVerdict Unpackaged = Examined(TPackageCheck::NotListed);
    const TModuleVerdict Changed = Examined(TPackageCheck::Changed);
    const TModuleVerdict Signed = Examined(TPackageCheck::NotListed, TSignatureStatus::Trusted);
    const TModuleVerdict Unsigned = Examined(TPackageCheck::NotListed, TSignatureStatus::Unsigned);
    const TModuleVerdict Pending;
    TModuleVerdict Unreadable;
    Unreadable.Examination = TModuleExamination::Unreadable;
    const struct {
        const char* Case;
        std::vector<std::pair<TLoadedModule, TModuleVerdict>> Modules;
        const char* Sentence;
    } Cases[] = {
        {"none", {}, ""},
        {"all vouched for", {{Loaded("/lib/libc.so.6"), Packaged}, {Loaded("/lib/ld.so"), Packaged}}, ""},
        {"one pending", {{Loaded("/lib/libc.so.6"), Packaged}, {Loaded("/tmp/x.so"), Pending}},
         "Die geladenen Bibliotheken werden geprüft."},
        {"every state",
         {{Loaded("/tmp/a.so", TImageState::Deleted), Unreadable},
          {Loaded("/usr/lib/libssl.so.3", TImageState::Replaced), Unpackaged},
          {Loaded("memfd:x", TImageState::MemoryOnly), Unreadable},
          {Loaded("/lib/libc.so.6"), Packaged},
          {Loaded("/usr/lib/libz.so.1"), Changed},
          {Loaded("/opt/b.so"), Unpackaged}},
         "Geladene Bibliotheken, für die kein Paket bürgt: /tmp/a.so (gelöscht), /usr/lib/libssl.so.3 (ersetzt), "
         "memfd:x (nur im Speicher) und 2 weitere."},
        {"a changed file",
         {{Loaded("/usr/lib/libz.so.1"), Changed}},
         "Geladene Bibliotheken, für die kein Paket bürgt: /usr/lib/libz.so.1 (verändert)."},
        {"preloaded ones apart",
         {{Loaded("/tmp/x.so"), Unpackaged},
          {Loaded("/opt/hook.so", TImageState::Present, TPreload::Environment), Unpackaged},
          {Loaded("/opt/vouched.so", TImageState::Present, TPreload::Environment), Packaged},
          {Loaded("/opt/all.so", TImageState::Present, TPreload::SystemFile), Unpackaged}},
         "Mit LD_PRELOAD gestartet: /opt/hook.so. Über /etc/ld.so.preload geladen: /opt/all.so. Geladene "
         "Bibliotheken, für die kein Paket bürgt: /tmp/x.so."},
        {"signatures",
         {{Loaded("C:\\Windows\\system32\\ntdll.dll"), Signed}, {Loaded("C:\\tmp\\x.dll"), Unsigned}},
         "Geladene Bibliotheken ohne vertrauenswürdige Signatur: C:\\tmp\\x.dll."},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Case);
        TNodeData Data;
        Data.ModulesListed = true;
        for (const auto& [File, Verdict] : Case.Modules)
            Data.Modules.push_back(TModule{File, std::make_shared<const TModuleVerdict>(Verdict)});
        EXPECT_EQ(ExplainModules(Data), Sys(Case.Sentence));
    }
    TNodeData Unlisted;
    EXPECT_EQ(ExplainModules(Unlisted), "");
    Unlisted.ModulesProblem = "Permission denied";
    EXPECT_EQ(ExplainModules(Unlisted), Sys("Die geladenen Bibliotheken lassen sich nicht lesen: Permission denied."));
}

class ModuleVerdictsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Api.Add("/opt/tool", FakeFile("ACME", "Tool", "1.0"));
        for (const char* Library : {"/lib/libc.so.6", "/tmp/x.so"}) {
            Api.Add(Library, testing::TFakeVersionFile());
            Check.Add(Library, TSignatureStatus::Unsigned);
        }
        Api.Sources["/lib/libc.so.6"] = TVersionSource{TVersionSourceKind::Package, TPackageCheck::Verified, "libc6", "2.36"};
        auto Tool = ProcessWithImage("tool", 10, 0, "/opt/tool");
        Tool.Modules = Listed({Loaded("/lib/libc.so.6"), Loaded("/tmp/x.so"), Loaded("memfd:m", TImageState::MemoryOnly)});
        auto Other = ProcessWithImage("other", 11, 10, "/opt/tool");
        Other.Modules = Listed({Loaded("/lib/libc.so.6")});
        auto Unlisted = ProcessWithImage("unlisted", 12, 10, "/opt/tool");
        Unlisted.Modules.Problem = "Permission denied";
        Source.Processes = {Tool, Other, Unlisted};
        Check.Enabled = false;  // a build that checks packages, not signatures
    }

    TFakeProcessSource Source;
    TFakeVersionApi Api;
    FakeSignatureCheck Check;
    TStVersionInfo Reader{nullptr, Api};
    TCatalogue Catalogue{Source, Reader};
};

TEST_F(ModuleVerdictsTest, EachFileIsExaminedOnceAndItsVerdictReachesEveryProcessThatLoadedIt) {
    Catalogue.ReloadCatalogue();
    EXPECT_FALSE(Source.ModulesWanted);
    EXPECT_TRUE(Source.ModuleQueries.empty()) << "not asked for";
    EXPECT_TRUE(Catalogue.Node(0).Data()->Modules.empty());

    Catalogue.ListModules(true);
    Catalogue.ReloadCatalogue();
    EXPECT_TRUE(Source.ModulesWanted);
    const TNodeData& Tool = *Catalogue.Node(0).Data();
    ASSERT_EQ(Tool.Modules.size(), 3u);
    EXPECT_EQ(Tool.Modules[2].Verdict->Examination, TModuleExamination::Unreadable) << "nothing to read";
    EXPECT_TRUE(Tool.Explanation.ends_with(Sys(" Die geladenen Bibliotheken werden geprüft.")));
    EXPECT_EQ(Catalogue.ModuleFiles(), (std::vector<std::string>{"/lib/libc.so.6", "/tmp/x.so"}));
    EXPECT_TRUE(Catalogue.Node(2).Data()->Explanation.ends_with(
        Sys(" Die geladenen Bibliotheken lassen sich nicht lesen: Permission denied.")));

    TModuleVerdicts Verdicts(Api, &Check);
    const std::string Rating = Catalogue.Node(1).Data()->Explanation.substr(
        0, Catalogue.Node(1).Data()->Explanation.size() - Sys(" Die geladenen Bibliotheken werden geprüft.").size());
    EXPECT_EQ(Catalogue.SetModuleVerdict("/lib/libc.so.6", Verdicts.Verdict("/lib/libc.so.6")),
              (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(Catalogue.Node(1).Data()->Explanation, Rating) << "every library vouched for: no sentence";
    EXPECT_TRUE(Tool.Explanation.ends_with(Sys(" Die geladenen Bibliotheken werden geprüft.")));
    Catalogue.SetModuleVerdict("/tmp/x.so", Verdicts.Verdict("/tmp/x.so"));
    EXPECT_TRUE(Tool.Explanation.ends_with(
        Sys(" Geladene Bibliotheken, für die kein Paket bürgt: /tmp/x.so, memfd:m (nur im Speicher)."))) << Tool.Explanation;
    EXPECT_EQ(Tool.Modules[0].Verdict->Source.PackageName, "libc6");
    EXPECT_TRUE(Catalogue.SetModuleVerdict("/not/loaded.so", {}).empty());

    // The signature's sentence stays before the libraries' when it changes.
    TSignature Unsigned;
    Unsigned.Status = TSignatureStatus::Unsigned;
    Catalogue.SetSignature("/opt/tool", Unsigned);
    EXPECT_TRUE(Tool.Explanation.ends_with(Sys(" Die Datei ist nicht signiert. Geladene Bibliotheken, für die kein "
                                               "Paket bürgt: /tmp/x.so, memfd:m (nur im Speicher).")));
}

TEST_F(ModuleVerdictsTest, VerdictsAreKeptByIdentityUntilTheFileChanges) {
    TModuleVerdicts Verdicts(Api, &Check);
    EXPECT_TRUE(Vouched(Verdicts.Verdict("/lib/libc.so.6")));
    EXPECT_FALSE(Vouched(Verdicts.Verdict("/tmp/x.so")));
    const int Reads = Api.SizeCalls;
    Verdicts.Verdict("/lib/libc.so.6");
    EXPECT_EQ(Api.SizeCalls, Reads);
    EXPECT_EQ(Verdicts.Size(), 2u);

    // Another content under the same path, then a file that has gone.
    Check.Files["/lib/libc.so.6"].Identity.LastWrite = 7;
    Api.Sources["/lib/libc.so.6"].Check = TPackageCheck::Changed;
    EXPECT_FALSE(Vouched(Verdicts.Verdict("/lib/libc.so.6")));
    EXPECT_EQ(Verdicts.Verdict("/gone.so").Examination, TModuleExamination::Unreadable);
    EXPECT_EQ(Verdicts.Verdict("").Examination, TModuleExamination::Unreadable) << "not the running program";
    EXPECT_EQ(Verdicts.Size(), 3u);

    // A signature that chains to a trusted root vouches as a package does;
    // without a way to identify files, nothing is kept.
    Check.Enabled = true;
    Check.Files["/tmp/x.so"].Signature.Status = TSignatureStatus::Trusted;
    Check.Files["/tmp/x.so"].Identity.LastWrite = 1;
    EXPECT_TRUE(Vouched(Verdicts.Verdict("/tmp/x.so")));
    TModuleVerdicts Unkept(Api, nullptr);
    Unkept.Verdict("/tmp/x.so");
    EXPECT_EQ(Unkept.Size(), 0u);
}

TEST_F(ModuleVerdictsTest, TheWindowsHaveTheVerdictsComputedOffTheirThreadAfterEachReload) {
    Catalogue.ListModules(true);
    std::atomic<int> Ready{0};
    TLateVerdicts Late(Catalogue, Check, Api, [&Ready] { ++Ready; });
    for (int Reload = 0; Reload < 2; ++Reload) {
        Catalogue.ReloadCatalogue();
        Late.Start();
        for (int Round = 0; Round < 2000 && Late.Busy(); ++Round)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_FALSE(Late.Busy());
        EXPECT_EQ(Late.Deliver(), (std::vector<std::size_t>{0, 1}));
        EXPECT_TRUE(Late.Deliver().empty()) << "delivered once";
        EXPECT_EQ(ExplainModules(*Catalogue.Node(0).Data()),
                  Sys("Geladene Bibliotheken, für die kein Paket bürgt: /tmp/x.so, memfd:m (nur im Speicher)."));
    }
    EXPECT_GE(Ready, 2);
    EXPECT_EQ(Api.SizeCalls, 4) << "two files, read once (with the image, read in each reload)";
}

}  // namespace
}  // namespace quorvane
