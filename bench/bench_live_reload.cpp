// The reload of the live system and where its time goes: the process walk, the
// per-process probes, the version reads, and the report text.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "catalogue/Risk.h"
#include "probes/Probes.h"
#include "report/Report.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

std::vector<TProcessEntry> Walk(IProcessSource& Source) {
    std::vector<TProcessEntry> Entries;
    Source.EnumerateProcesses([&](const TProcessEntry& Entry) { Entries.push_back(Entry); });
    return Entries;
}

// A whole reload, as the report command and the window's reload button run it.
void BM_LiveReload(benchmark::State& State) {
    const auto Processes = CreateSystemProcessSource();
    const auto Versions = CreateSystemVersionApi();
    TStVersionInfo Reader(nullptr, *Versions);
    TCatalogue Catalogue(*Processes, Reader);
    Catalogue.ReloadCatalogue();  // builds whatever the version back-end keeps between reads
    for (auto _ : State) {
        Catalogue.ReloadCatalogue();
        benchmark::DoNotOptimize(Catalogue.Count());
    }
    State.counters["processes"] = static_cast<double>(Catalogue.Count());
}
BENCHMARK(BM_LiveReload)->Unit(benchmark::kMillisecond);

// The reload plus the report text: what one run of the command does after its start.
void BM_LiveReloadAndReportText(benchmark::State& State) {
    const auto Processes = CreateSystemProcessSource();
    const auto Versions = CreateSystemVersionApi();
    TStVersionInfo Reader(nullptr, *Versions);
    TCatalogue Catalogue(*Processes, Reader);
    Catalogue.ReloadCatalogue();
    for (auto _ : State) {
        Catalogue.ReloadCatalogue();
        benchmark::DoNotOptimize(ReportText(Catalogue));
    }
}
BENCHMARK(BM_LiveReloadAndReportText)->Unit(benchmark::kMillisecond);

// The walk of /proc alone.
void BM_LiveProcessWalk(benchmark::State& State) {
    const auto Processes = CreateSystemProcessSource();
    std::size_t Count = 0;
    for (auto _ : State)
        Count = Walk(*Processes).size();
    State.counters["processes"] = static_cast<double>(Count);
}
BENCHMARK(BM_LiveProcessWalk)->Unit(benchmark::kMillisecond);

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
BENCHMARK(BM_LiveProbes)->Unit(benchmark::kMillisecond);

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
BENCHMARK(BM_LiveVersionReads)->Unit(benchmark::kMillisecond);

// A fresh version back-end's first read of a packaged program: includes
// building whatever it keeps between reads (the package index).
void BM_FirstVersionReadOfFreshBackEnd(benchmark::State& State) {
    for (auto _ : State) {
        const auto Versions = CreateSystemVersionApi();
        TStVersionInfo Reader(nullptr, *Versions);
        TNodeData Data;
        Data.ImagePath = "/usr/bin/bash";
        ClassifyByVersionInfo(Data, Reader);
        benchmark::DoNotOptimize(Data);
    }
}
BENCHMARK(BM_FirstVersionReadOfFreshBackEnd)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane

BENCHMARK_MAIN();
