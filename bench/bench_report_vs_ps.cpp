// quorvane-report beside "ps -e -o pid,ppid,nlwp,lstart,time,ni,comm", psutil
// and the floor (one pass over /proc reading what the report cannot do
// without: each process's stat, its exe link and the first kilobyte of its
// maps), side by side in one run over 1,000 and then 5,000 sleeping processes,
// in a PID namespace of the benchmark's own so that only they count.
//
// BM_ModulesBesidePs: the JSON report, which examines every process's loaded
// libraries, without and with --modules, beside ps and the tab-separated
// report, over 1,000 sleeping processes that map the libraries of a usual C++
// service (bench/sleeper: the C and C++ runtimes, ICU, nettle).
//
// The program is found beside this one's build folder (main/quorvane-report)
// unless QUORVANE_REPORT names it. psutil is Debian's python3-psutil, run by
// /usr/bin/python3.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <limits.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "BenchProcesses.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Risk.h"
#include "packages/FileDigests.h"
#include "packages/dpkg/DpkgIndex.h"
#include "probes/Probes.h"
#include "report/Report.h"
#include "versioninfo/StVInfo.h"
#include "versioninfo/linux/LinuxVersionApi.h"

extern char** environ;

namespace quorvane {
namespace {

bench::TSleepers Sleepers;

std::string SelfPath() {
    char Self[PATH_MAX] = {};
    if (::readlink("/proc/self/exe", Self, sizeof Self - 1) <= 0)
        return {};
    return Self;
}

std::string ReportProgram() {
    if (const char* Given = std::getenv("QUORVANE_REPORT"))
        return Given;
    std::string Folder = SelfPath();
    Folder.erase(Folder.rfind('/'));
    return Folder + "/../main/quorvane-report";
}

// The floor: what any report of these processes must read, and nothing else.
int FloorPass() {
    DIR* Proc = ::opendir("/proc");
    if (!Proc)
        return 1;
    char Buffer[1024];
    std::size_t Processes = 0;
    while (const dirent* Entry = ::readdir(Proc)) {
        if (Entry->d_name[0] < '0' || Entry->d_name[0] > '9')
            continue;
        const std::string Folder = std::string("/proc/") + Entry->d_name;
        for (const char* File : {"/stat", "/maps"}) {
            const int Fd = ::open((Folder + File).c_str(), O_RDONLY | O_CLOEXEC);
            if (Fd >= 0) {
                benchmark::DoNotOptimize(::read(Fd, Buffer, sizeof Buffer));
                ::close(Fd);
            }
        }
        benchmark::DoNotOptimize(::readlink((Folder + "/exe").c_str(), Buffer, sizeof Buffer));
        ++Processes;
    }
    ::closedir(Proc);
    return Processes > 0 ? 0 : 1;
}

// Runs the command with its output thrown away; answers its exit status and
// adds its processor time (user and system) to CpuSeconds.
int RunQuietly(const std::vector<std::string>& Command, double& CpuSeconds) {
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
    rusage Usage{};
    while (::wait4(Child, &Status, 0, &Usage) < 0 && errno == EINTR) {}
    CpuSeconds += static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
                  static_cast<double>(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

struct TCommand {
    const char* Name;
    std::vector<std::string> Arguments;
};

TCommand Ps() { return {"ps", {"ps", "-e", "-o", "pid,ppid,nlwp,lstart,time,ni,comm"}}; }

// The commands in turn in every round, so that a change of the machine's
// load meets all of them alike. Real and processor time per run of each, and
// each one's share of the time of the first (ps). The second must work.
void CompareWithPs(benchmark::State& State, const std::vector<TCommand>& List) {
    if (::access(List[1].Arguments[0].c_str(), X_OK) != 0) {
        State.SkipWithError(("not found: " + List[1].Arguments[0]).c_str());
        return;
    }
    std::vector<double> Real(List.size()), Cpu(List.size());
    std::vector<bool> Works(List.size(), true);
    for (std::size_t I = 0; I < List.size(); ++I) {  // first runs: caches built, files read
        double Ignored = 0;
        if (RunQuietly(List[I].Arguments, Ignored) != 0) {
            Works[I] = false;
            std::cerr << List[I].Name << " failed: left out"
                      << (std::string(List[I].Name) == "psutil" ? " (is python3-psutil installed?)" : "") << "\n";
        }
    }
    if (!Works[0] || !Works[1]) {
        State.SkipWithError("ps or the report failed");
        return;
    }
    for (auto _ : State) {
        double Round = 0;
        for (std::size_t I = 0; I < List.size(); ++I) {
            if (!Works[I])
                continue;
            const auto Start = std::chrono::steady_clock::now();
            RunQuietly(List[I].Arguments, Cpu[I]);
            const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
            Real[I] += Seconds;
            Round += Seconds;
        }
        State.SetIterationTime(Round);
    }
    const double Rounds = static_cast<double>(std::max<benchmark::IterationCount>(State.iterations(), 1));
    for (std::size_t I = 0; I < List.size(); ++I) {
        if (!Works[I])
            continue;
        const std::string Name = List[I].Name;
        State.counters[Name + "_ms"] = Real[I] * 1000.0 / Rounds;
        State.counters[Name + "_cpu_ms"] = Cpu[I] * 1000.0 / Rounds;
        if (I > 0) {
            State.counters[Name + "/ps"] = Real[I] / Real[0];
            State.counters[Name + "/ps_cpu"] = Cpu[I] / Cpu[0];
        }
    }
    State.counters["sleepers"] = static_cast<double>(Sleepers.Count());
}

void BM_ReportBesidePs(benchmark::State& State) {
    Sleepers.SetProgram("/bin/sleep");
    Sleepers.Resize(static_cast<std::size_t>(State.range(0)));
    CompareWithPs(State, {
        Ps(),
        {"report", {ReportProgram(), "-"}},
        {"psutil",
         {"/usr/bin/python3", "-c",
          "import psutil\n"
          "for p in psutil.process_iter(['pid', 'ppid', 'num_threads', 'create_time', 'cpu_times', 'nice', 'name']):\n"
          "    print(p.info)\n"}},
        {"floor", {SelfPath(), "--floor-pass"}},
    });
}
BENCHMARK(BM_ReportBesidePs)->Arg(1000)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportBesidePs)->Arg(5000)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ModulesBesidePs(benchmark::State& State) {
    Sleepers.SetProgram(QUORVANE_LIBRARY_SLEEPER);
    Sleepers.Resize(static_cast<std::size_t>(State.range(0)));
    CompareWithPs(State, {
        Ps(),
        {"report", {ReportProgram(), "-"}},
        {"json", {ReportProgram(), "--json", "-"}},
        {"modules", {ReportProgram(), "--json", "--modules", "-"}},
    });
    Sleepers.SetProgram("/bin/sleep");
}
BENCHMARK(BM_ModulesBesidePs)->Arg(1000)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

// The in-process benchmarks below run among 1,000 sleeping processes.
constexpr std::size_t kInProcessSleepers = 1000;

// The same work inside this process with back-ends kept between runs: the
// command's cost once its start and the one-time builds are paid.
void BM_ReportInProcessWarm(benchmark::State& State) {
    Sleepers.Resize(kInProcessSleepers);
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
    Sleepers.Resize(kInProcessSleepers);
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
    Sleepers.Resize(kInProcessSleepers);
    const auto Processes = CreateSystemProcessSource();
    std::size_t Count = 0;
    for (auto _ : State)
        Count = Walk(*Processes).size();
    State.counters["processes"] = static_cast<double>(Count);
}
BENCHMARK(BM_LiveProcessWalk)->Unit(benchmark::kMillisecond)->UseRealTime();

// The walk and, per process, the image file and the times: every probe, no version read.
void BM_LiveProbes(benchmark::State& State) {
    Sleepers.Resize(kInProcessSleepers);
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

// The probes with the loaded libraries listed (1) or not (0), among sleeping
// processes that map the libraries of a usual C++ service: what reading the
// whole maps file, and each process's environment, costs.
void BM_LiveProbesWithLibraries(benchmark::State& State) {
    Sleepers.SetProgram(QUORVANE_LIBRARY_SLEEPER);
    Sleepers.Resize(kInProcessSleepers);
    const auto Processes = CreateSystemProcessSource();
    const bool Modules = State.range(0) != 0;
    std::size_t Libraries = 0;
    for (auto _ : State) {
        Processes->ListModules(Modules);
        Libraries = 0;
        for (const TProcessEntry& Entry : Walk(*Processes)) {
            TNodeData Data;
            if (Entry.ProcessId == 0 ||
                !Processes->QueryImageFile(Entry.ProcessId, Data.ImagePath, Data.ImageSize, Data.Remark))
                continue;
            if (Modules)
                Libraries += Processes->QueryModules(Entry.ProcessId).Modules.size();
            Processes->QueryProcessTimes(Entry.ProcessId, Data.StartTime, Data.KernelTime, Data.CpuTime,
                                         Data.PriorityClass, Data.Remark);
            benchmark::DoNotOptimize(Data);
        }
    }
    State.counters["libraries"] = static_cast<double>(Libraries);
    Sleepers.SetProgram("/bin/sleep");
}
BENCHMARK(BM_LiveProbesWithLibraries)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The version reads of one reload: the image files of the live processes, in
// walk order, through one reader as the reload uses it.
void BM_LiveVersionReads(benchmark::State& State) {
    Sleepers.Resize(kInProcessSleepers);
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
    if (argc == 2 && std::strcmp(argv[1], "--floor-pass") == 0)
        return quorvane::FloorPass();
    int ExitCode = 0;
    bool Isolated = false;
    if (!quorvane::bench::EnterOwnPidNamespace(ExitCode, Isolated))
        return ExitCode;  // the parent, once the benchmarks ran in the namespace
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::AddCustomContext("pid_namespace", Isolated ? "own" : "the machine's");
    benchmark::RunSpecifiedBenchmarks();
    quorvane::Sleepers.Resize(0);
    benchmark::Shutdown();
    return 0;
}
