// Reports taken while processes of this test start programs all the time: a
// shell forks subshells that replace themselves with sleep (exec), so many
// processes run another program by the time their image is examined. Each
// row must still describe one program.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <csignal>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "catalogue/Catalogue.h"
#include "catalogue/Provenance.h"
#include "probes/Probes.h"
#include "versioninfo/StVInfo.h"

extern char** environ;

namespace quorvane {
namespace {

// Programs of two packages (bash, coreutils), each exec'd by the other's process.
constexpr const char* kShell = "/bin/bash";
constexpr const char* kChurn =
    "while :; do for i in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do "
    "(exec /usr/bin/sleep 0.0$((RANDOM % 9 + 1))) & done; wait; done";

// The churning shell, in a process group of its own that ends with it.
class TChurn {
public:
    TChurn() {
        posix_spawnattr_t Attributes;
        posix_spawnattr_init(&Attributes);
        posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&Attributes, 0);
        const char* Arguments[] = {kShell, "-c", kChurn, nullptr};
        if (posix_spawn(&FShell, kShell, nullptr, &Attributes, const_cast<char**>(Arguments), environ) != 0)
            FShell = -1;
        posix_spawnattr_destroy(&Attributes);
    }
    ~TChurn() {
        if (FShell > 0) {
            ::kill(-FShell, SIGKILL);
            ::waitpid(FShell, nullptr, 0);
        }
    }
    pid_t Shell() const { return FShell; }

private:
    pid_t FShell = -1;
};

struct TValues {
    std::string Company, Description, Version, Package;
    bool operator==(const TValues&) const = default;
};

TValues ValuesOf(const TNodeData& Data) {
    return {Data.CompanyName, Data.FileDescription, Data.FileVersion, Data.PackageName};
}

TEST(ExecChurnTest, NoRowMixesTwoProgramsWhileProcessesExec) {
    const TChurn Churn;
    ASSERT_GT(Churn.Shell(), 0);
    const auto Processes = CreateSystemProcessSource();
    const auto Versions = CreateSystemVersionApi();
    TStVersionInfo Reader(nullptr, *Versions);
    TCatalogue Catalogue(*Processes, Reader);

    // What each program's file gives when rated on its own.
    TStVersionInfo ReferenceReader(nullptr, *Versions);
    std::map<std::string, TValues> Reference;
    const auto ReferenceOf = [&](const std::string& Path) -> const TValues& {
        auto Found = Reference.find(Path);
        if (Found == Reference.end()) {
            TNodeData File;
            File.ImagePath = Path;
            RateFile(File, ReferenceReader);
            Found = Reference.emplace(Path, ValuesOf(File)).first;
        }
        return Found->second;
    };

    std::map<std::string, int> Rated;  // rows rated from their image, by name
    int Dropped = 0;  // rows whose process ran another program by the time it was examined
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int Reports = 0;
    for (; Reports < 25 && std::chrono::steady_clock::now() < Deadline; ++Reports) {
        Catalogue.ReloadCatalogue();
        const auto& Order = Catalogue.TreeOrder();
        std::size_t I = 0;
        while (I < Order.size() && !(Order[I]->Data() && Order[I]->Data()->ProcessId == static_cast<std::uint32_t>(Churn.Shell())))
            ++I;
        ASSERT_LT(I, Order.size()) << "the churning shell is not listed";
        const int Level = Order[I]->Level();
        // The shell and its subtree: its own processes only.
        for (std::size_t K = I; K < Order.size() && (K == I || Order[K]->Level() > Level); ++K) {
            const TCatalogueNode& Node = *Order[K];
            const TNodeData& Data = *Node.Data();
            SCOPED_TRACE(Node.Text + " " + std::to_string(Data.ProcessId) + " " + Data.ImagePath + ": " +
                         Data.Explanation);
            if (Data.ImagePath.empty()) {
                EXPECT_EQ(Data.RiskLevel, rlUndetermined);
                ++Dropped;
                continue;
            }
            EXPECT_EQ(Data.ImagePath.substr(Data.ImagePath.rfind('/') + 1), Node.Text);
            EXPECT_EQ(Data.ImageState, TImageState::Present);
            EXPECT_EQ(ValuesOf(Data), ReferenceOf(Data.ImagePath));
            ++Rated[Node.Text];
        }
    }
    EXPECT_GE(Reports, 20);
    // The churn ran: both programs were seen and rated.
    EXPECT_GT(Rated["bash"], 0);
    EXPECT_GT(Rated["sleep"], 0);
    std::cout << "rows rated: bash " << Rated["bash"] << ", sleep " << Rated["sleep"]
              << "; rows of a process that ran another program or ended by then: " << Dropped << "\n";
}

}  // namespace
}  // namespace quorvane
