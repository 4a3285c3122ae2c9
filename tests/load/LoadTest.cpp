// The live reload under load: 10,000 extra processes stay up while others
// start and end at about 1,000 a second. Every reload must complete and every
// report row must be well formed. The run is bounded in time and in reloads;
// how many reloads and starts a machine manages is printed, never judged.
#include <sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "catalogue/Catalogue.h"
#include "catalogue/NodeData.h"
#include "catalogue/Risk.h"
#include "probes/Probes.h"
#include "report/Report.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStandingProcesses = 10000;
constexpr int kStartsPerSecond = 1000;
constexpr auto kLoadTime = std::chrono::seconds(15);
constexpr int kMinReloads = 2;  // run even on a slow machine
constexpr int kMaxReloads = 10;

// The processes of the load share this process's memory (clone with
// CLONE_VM, without CLONE_THREAD: each is a process of its own in /proc).
// Forking copies the page tables and costs milliseconds on some machines;
// these cost a small stack. They run only the raw system calls below, outside
// the sanitizers, and end by SIGKILL or their own exit call.
constexpr std::size_t kStackBytes = 16384;

__attribute__((no_sanitize("address", "undefined"))) int StayUp(void*) {
    for (;;)
        ::syscall(SYS_pause);
}

__attribute__((no_sanitize("address", "undefined"))) int LiveBriefly(void*) {
    const struct timespec Life{0, 20000000};  // 20 ms
    ::syscall(SYS_nanosleep, &Life, nullptr);
    ::syscall(SYS_exit, 0);
    return 0;
}

pid_t StartProcess(int (*Body)(void*), std::uint8_t* Stack) {
    return ::clone(Body, Stack + kStackBytes, CLONE_VM | SIGCHLD, nullptr);
}

// Processes that stay up until the end of the test.
class TStandingProcesses {
public:
    explicit TStandingProcesses(int Count) : FStacks(static_cast<std::size_t>(Count) * kStackBytes) {
        for (int I = 0; I < Count; ++I) {
            const pid_t Pid = StartProcess(StayUp, FStacks.data() + static_cast<std::size_t>(I) * kStackBytes);
            if (Pid < 0)
                break;
            FPids.push_back(Pid);
        }
    }
    ~TStandingProcesses() {
        for (pid_t Pid : FPids)
            ::kill(Pid, SIGKILL);
        for (pid_t Pid : FPids)
            ::waitpid(Pid, nullptr, 0);
    }
    std::size_t Count() const { return FPids.size(); }

private:
    std::vector<std::uint8_t> FStacks;
    std::vector<pid_t> FPids;
};

// Starts processes that live about 20 ms each, kStartsPerSecond a second, on
// a thread of its own; never catches up on starts it fell behind with.
class TChurn {
public:
    TChurn() : FThread([this] { Run(); }) {}
    ~TChurn() {
        FStop = true;
        FThread.join();
    }
    long Started() const { return FStarted; }

private:
    static constexpr std::size_t kSlots = 256;  // stacks in turn: a slot's process ended long before its reuse

    void Run() {
        std::vector<std::uint8_t> Stacks(kSlots * kStackBytes);
        std::vector<pid_t> Pids(kSlots, -1);
        const auto Interval = std::chrono::microseconds(1000000 / kStartsPerSecond);
        auto Next = Clock::now();
        for (std::size_t Slot = 0; !FStop; Slot = (Slot + 1) % kSlots) {
            if (Pids[Slot] > 0)
                ::waitpid(Pids[Slot], nullptr, 0);
            Pids[Slot] = StartProcess(LiveBriefly, Stacks.data() + Slot * kStackBytes);
            if (Pids[Slot] > 0)
                ++FStarted;
            Next += Interval;
            const auto Now = Clock::now();
            if (Next > Now)
                std::this_thread::sleep_until(Next);
            else
                Next = Now;
        }
        for (pid_t Pid : Pids)
            if (Pid > 0)
                ::waitpid(Pid, nullptr, 0);
    }

    std::atomic<bool> FStop{false};
    std::atomic<long> FStarted{0};
    std::thread FThread;
};

std::vector<std::string> Split(const std::string& Text, char Separator) {
    std::vector<std::string> Parts;
    std::size_t Begin = 0;
    for (std::size_t End; (End = Text.find(Separator, Begin)) != std::string::npos; Begin = End + 1)
        Parts.push_back(Text.substr(Begin, End - Begin));
    Parts.push_back(Text.substr(Begin));
    return Parts;
}

bool Digits(const std::string& Text) {
    return !Text.empty() && Text.find_first_not_of("0123456789") == std::string::npos;
}

// Checks every row of one reload's report; answers the number of faults.
int CheckRows(const TCatalogue& Catalogue, const std::set<std::string>& RiskNames) {
    const std::string Text = ReportText(Catalogue);
    const std::vector<std::string> Lines = Split(Text, '\n');
    int Faults = 0;
    const auto Fault = [&](const std::string& Line, const char* What) {
        if (++Faults <= 5)
            ADD_FAILURE() << What << ": " << Line;
    };
    // Header, one line per node, and the empty rest after the last line break.
    EXPECT_EQ(Lines.size(), Catalogue.Count() + 2);
    EXPECT_TRUE(Lines.back().empty());
    for (std::size_t I = 1; I + 1 < Lines.size(); ++I) {
        const std::string& Line = Lines[I];
        if (Line.empty() || Line.back() != '\r') {
            Fault(Line, "line without CR LF");
            continue;
        }
        const std::vector<std::string> Fields = Split(Line.substr(0, Line.size() - 1), '\t');
        if (Fields.size() != 15) {
            Fault(Line, "not 15 fields");
            continue;
        }
        if (Fields[0].empty())
            Fault(Line, "no name");
        if (!Digits(Fields[5]) || !Digits(Fields[10]) || !Digits(Fields[12]))
            Fault(Line, "process id, thread count or size not a number");
        if (Fields[6].empty())
            Fault(Line, "no starting process");
        if (!RiskNames.count(Fields[14]))
            Fault(Line, "unknown rating");
    }
    // Parents come before their children, and each child's line names its parent.
    const auto& Order = Catalogue.TreeOrder();
    std::set<const TCatalogueNode*> Seen;
    for (const TCatalogueNode* Node : Order) {
        if (Node->Parent() != nullptr && !Seen.count(Node->Parent()))
            Fault(Node->Text, "child before its parent");
        Seen.insert(Node);
    }
    return Faults;
}

TEST(LoadTest, ReloadsCompleteWithWellFormedRowsWhileProcessesComeAndGo) {
    const auto SpawnStart = Clock::now();
    const TStandingProcesses Standing(kStandingProcesses);
    ASSERT_EQ(Standing.Count(), static_cast<std::size_t>(kStandingProcesses))
        << "could not start " << kStandingProcesses << " processes";
    const double SpawnSeconds = std::chrono::duration<double>(Clock::now() - SpawnStart).count();

    const auto Processes = CreateSystemProcessSource();
    const auto Versions = CreateSystemVersionApi();
    TStVersionInfo Reader(nullptr, *Versions);
    TCatalogue Catalogue(*Processes, Reader);
    std::set<std::string> RiskNames;
    for (const TRiskLevel Level :
         {rlUndetermined, rlPotentiallyDangerous, rlMediumDangerous, rlSlightlyDangerous, rlHarmless}) {
        TNodeData Data;
        Data.RiskLevel = Level;
        RiskNames.insert(RiskName(Data));
    }

    int Reloads = 0;
    int Faults = 0;
    long Started = 0;
    const auto LoadStart = Clock::now();
    {
        const TChurn Churn;
        while (Reloads < kMaxReloads && (Reloads < kMinReloads || Clock::now() - LoadStart < kLoadTime)) {
            Catalogue.ReloadCatalogue();
            ++Reloads;
            EXPECT_GE(Catalogue.Count(), static_cast<std::size_t>(kStandingProcesses)) << "reload " << Reloads;
            Faults += CheckRows(Catalogue, RiskNames);
        }
        Started = Churn.Started();
    }
    const double LoadSeconds = std::chrono::duration<double>(Clock::now() - LoadStart).count();
    EXPECT_EQ(Faults, 0);
    std::printf("%d processes started in %.1f s; %d reloads of %d processes or more in %.1f s, "
                "%ld short-lived processes started meanwhile (%.0f a second)\n",
                kStandingProcesses, SpawnSeconds, Reloads, kStandingProcesses, LoadSeconds, Started,
                static_cast<double>(Started) / LoadSeconds);
}

}  // namespace
}  // namespace quorvane
