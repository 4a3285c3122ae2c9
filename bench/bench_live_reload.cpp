// The reload of the live system, with and without the report text, and the
// first read of a fresh version back-end. Where the time of a reload goes is
// measured by bench_report_vs_ps, over 1,000 extra processes.
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
