// quorvane-report against "ps -e -o pid,ppid,nlwp,lstart,time,ni,comm" over
// the same processes, with 1,000 extra processes that the benchmark starts
// and ends.
//
// The program is found beside this one's build folder (main/quorvane-report)
// unless QUORVANE_REPORT names it.
#include <benchmark/benchmark.h>

#include <algorithm>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "catalogue/Catalogue.h"
#include "catalogue/Risk.h"
#include "probes/Probes.h"
#include "report/Report.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/linux/DpkgIndex.h"
#include "versioninfo/linux/FileDigests.h"
#include "versioninfo/linux/LinuxVersionApi.h"

extern char** environ;

namespace quorvane {
namespace {

constexpr int kExtraProcesses = 1000;

// Sleeping children, ended when this object goes and, through the parent-death
// signal, also when the benchmark dies.
class TSleepers {
public:
    explicit TSleepers(int Count) {
        const pid_t Parent = ::getpid();
        for (int I = 0; I < Count; ++I) {
            const pid_t Child = ::fork();
            if (Child < 0) {
                std::cerr << "fork: " << std::strerror(errno) << "\n";
                break;
            }
            if (Child == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (::getppid() != Parent)
                    ::_exit(1);
                ::execl("/bin/sleep", "sleep", "100000", static_cast<char*>(nullptr));
                ::_exit(127);
            }
            FChildren.push_back(Child);
        }
        WaitUntilAllRunSleep();
    }
    ~TSleepers() {
        for (const pid_t Child : FChildren)
            ::kill(Child, SIGKILL);
        for (const pid_t Child : FChildren)
            while (::waitpid(Child, nullptr, 0) < 0 && errno == EINTR) {}
    }
    TSleepers(const TSleepers&) = delete;
    TSleepers& operator=(const TSleepers&) = delete;
    std::size_t Count() const { return FChildren.size(); }

private:
    // So that both commands see the same sleep processes, not copies of this one.
    void WaitUntilAllRunSleep() const {
        for (int Round = 0; Round < 500; ++Round) {
            bool All = true;
            for (const pid_t Child : FChildren) {
                std::ifstream Comm("/proc/" + std::to_string(Child) + "/comm");
                std::string Name;
                std::getline(Comm, Name);
                if (Name != "sleep") {
                    All = false;
                    break;
                }
            }
            if (All)
                return;
            ::usleep(10'000);
        }
    }
    std::vector<pid_t> FChildren;
};

std::string ReportProgram() {
    if (const char* Given = std::getenv("QUORVANE_REPORT"))
        return Given;
    char Self[PATH_MAX] = {};
    if (::readlink("/proc/self/exe", Self, sizeof Self - 1) <= 0)
        return {};
    std::string Folder = Self;
    Folder.erase(Folder.rfind('/'));
    return Folder + "/../main/quorvane-report";
}

// Runs the command with its output thrown away; answers its exit status.
int RunQuietly(const std::vector<std::string>& Command) {
    std::vector<char*> Arguments;
    for (const std::string& Argument : Command)
        Arguments.push_back(const_cast<char*>(Argument.c_str()));
    Arguments.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    ::posix_spawn_file_actions_init(&Actions);
    ::posix_spawn_file_actions_addopen(&Actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t Child = 0;
    const int Error = ::posix_spawnp(&Child, Arguments[0], &Actions, nullptr, Arguments.data(), environ);
    ::posix_spawn_file_actions_destroy(&Actions);
    if (Error != 0)
        return -1;
    int Status = 0;
    while (::waitpid(Child, &Status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

void BenchCommand(benchmark::State& State, const std::vector<std::string>& Command) {
    if (::access(Command[0].c_str(), X_OK) != 0 && Command[0].find('/') != std::string::npos) {
        State.SkipWithError(("not found: " + Command[0]).c_str());
        return;
    }
    // The command's own processor time as well: on a busy machine the real
    // time mostly measures the other work.
    const auto CpuSeconds = [] {
        rusage Usage{};
        ::getrusage(RUSAGE_CHILDREN, &Usage);
        return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
               static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
    };
    const double Before = CpuSeconds();
    for (auto _ : State) {
        if (RunQuietly(Command) != 0) {
            State.SkipWithError((Command[0] + " failed").c_str());
            break;
        }
    }
    State.counters["cpu_ms"] =
        benchmark::Counter((CpuSeconds() - Before) * 1000.0 / static_cast<double>(std::max<benchmark::IterationCount>(
                                                                     State.iterations(), 1)));
}

void BM_PsCommand(benchmark::State& State) {
    BenchCommand(State, {"ps", "-e", "-o", "pid,ppid,nlwp,lstart,time,ni,comm"});
}
BENCHMARK(BM_PsCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReportCommand(benchmark::State& State) { BenchCommand(State, {ReportProgram(), "-"}); }
BENCHMARK(BM_ReportCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same work inside this process with back-ends kept between runs: the
// command's cost once its start and the one-time builds are paid.
void BM_ReportInProcessWarm(benchmark::State& State) {
    const auto Processes = CreateSystemProcessSource();
    const auto Versions = CreateSystemVersionApi();
    TStVersionInfo Reader(nullptr, *Versions);
    TCatalogue Catalogue(*Processes, Reader);
    Catalogue.ReloadCatalogue();
    for (auto _ : State) {
        Catalogue.ReloadCatalogue();
        benchmark::DoNotOptimize(ReportText(Catalogue));
    }
    State.counters["processes"] = static_cast<double>(Catalogue.Count());
}
BENCHMARK(BM_ReportInProcessWarm)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first report on a machine: the package index and the checksums of the
// files start empty in a cache folder of their own (the files themselves are
// in the page cache after the first round). "bytes hashed" is what one report
// hashes; with the index kept, only the checksums start empty.
void ReportWithColdCaches(benchmark::State& State, bool KeepIndex) {
    const auto Processes = CreateSystemProcessSource();
    char Folder[] = "/tmp/quorvane-bench-XXXXXX";
    if (!::mkdtemp(Folder)) {
        State.SkipWithError("mkdtemp failed");
        return;
    }
    if (KeepIndex)  // built once, before the rounds
        TDpkgIndex("/var/lib/dpkg", std::string(Folder) + "/" + TDpkgIndex::CacheFileName("/var/lib/dpkg"))
            .Lookup("/usr/bin/bash");
    std::uint64_t Hashed = 0;
    std::size_t Count = 0;
    for (auto _ : State) {
        State.PauseTiming();
        ::unlink((std::string(Folder) + "/file-digests").c_str());
        if (!KeepIndex)
            ::unlink((std::string(Folder) + "/" + TDpkgIndex::CacheFileName("/var/lib/dpkg")).c_str());
        TLinuxVersionApiOptions Options;
        Options.CacheFolder = Folder;
        State.ResumeTiming();
        const std::uint64_t Before = BytesHashed();
        {
            const auto Versions = CreateLinuxVersionApi(Options);
            TStVersionInfo Reader(nullptr, *Versions);
            TCatalogue Catalogue(*Processes, Reader);
            Catalogue.ReloadCatalogue();
            benchmark::DoNotOptimize(ReportText(Catalogue));
            Count = Catalogue.Count();
        }
        Hashed = BytesHashed() - Before;
    }
    State.counters["bytes hashed"] = static_cast<double>(Hashed);
    State.counters["processes"] = static_cast<double>(Count);
    std::error_code Error;
    std::filesystem::remove_all(Folder, Error);
}
void BM_ReportColdCaches(benchmark::State& State) { ReportWithColdCaches(State, false); }
void BM_ReportColdChecksums(benchmark::State& State) { ReportWithColdCaches(State, true); }
BENCHMARK(BM_ReportColdCaches)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ReportColdChecksums)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Where the time of a reload goes.
std::vector<TProcessEntry> Walk(IProcessSource& Source) {
    std::vector<TProcessEntry> Entries;
    Source.EnumerateProcesses([&](const TProcessEntry& Entry) { Entries.push_back(Entry); });
    return Entries;
}

// The walk of /proc alone.
void BM_LiveProcessWalk(benchmark::State& State) {
    const auto Processes = CreateSystemProcessSource();
    std::size_t Count = 0;
    for (auto _ : State)
        Count = Walk(*Processes).size();
    State.counters["processes"] = static_cast<double>(Count);
}
BENCHMARK(BM_LiveProcessWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

// The walk and, per process, the image file and the times: every probe, no version read.
void BM_LiveProbes(benchmark::State& State) {
    const auto Processes = CreateSystemProcessSource();
    for (auto _ : State) {
        for (const TProcessEntry& Entry : Walk(*Processes)) {
            TNodeData Data;
            if (Entry.ProcessId != 0 && Processes->QueryImageFile(Entry.ProcessId, Data.ImagePath, Data.ImageSize,
                                                                  Data.Remark))
                Processes->QueryProcessTimes(Entry.ProcessId, Data.StartTime, Data.KernelTime, Data.CpuTime,
                                             Data.PriorityClass, Data.Remark);
            benchmark::DoNotOptimize(Data);
        }
    }
}
BENCHMARK(BM_LiveProbes)->Unit(benchmark::kMillisecond)->UseRealTime();

// The version reads of one reload: the image files of the live processes, in
// walk order, through one reader as the reload uses it.
void BM_LiveVersionReads(benchmark::State& State) {
    const auto Processes = CreateSystemProcessSource();
    std::vector<std::string> Images;
    for (const TProcessEntry& Entry : Walk(*Processes)) {
        std::string Path, Remark;
        std::uint32_t Size = 0;
        if (Entry.ProcessId != 0 && Processes->QueryImageFile(Entry.ProcessId, Path, Size, Remark))
            Images.push_back(Path);
    }
    const auto Versions = CreateSystemVersionApi();
    TStVersionInfo Reader(nullptr, *Versions);
    for (const std::string& Image : Images) {  // first reads: whatever the back-end builds once
        TNodeData Data;
        Data.ImagePath = Image;
        ClassifyByVersionInfo(Data, Reader);
    }
    for (auto _ : State) {
        for (const std::string& Image : Images) {
            TNodeData Data;
            Data.ImagePath = Image;
            ClassifyByVersionInfo(Data, Reader);
            benchmark::DoNotOptimize(Data);
        }
    }
    State.counters["files"] = static_cast<double>(Images.size());
}
BENCHMARK(BM_LiveVersionReads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quorvane

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    int Result = 0;
    try {
        quorvane::TSleepers Sleepers(quorvane::kExtraProcesses);
        std::cerr << Sleepers.Count() << " extra processes running\n";
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& Error) {
        std::cerr << Error.what() << "\n";
        Result = 1;
    }
    benchmark::Shutdown();
    return Result;
}
