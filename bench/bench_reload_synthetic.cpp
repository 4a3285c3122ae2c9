// The cost of a reload, dominated by the parent search, over a synthetic
// source with realistic parent chains: a few long-lived roots, services under
// them, sessions with shells, and deep chains of children, plus reused ids.
#include <benchmark/benchmark.h>

#include <random>

#include "catalogue/Catalogue.h"
#include "fakes/FakeProcessSource.h"
#include "fakes/FakeVersionApi.h"
#include "report/Report.h"
#include "versioninfo/StVInfo.h"

namespace quorvane {
namespace {

using testing::FakeFile;
using testing::Process;
using testing::ProcessWithImage;

void FillSnapshot(testing::TFakeProcessSource& Source, testing::TFakeVersionApi& Api, int Count,
                  bool WithImages = true) {
    std::mt19937 Random(42);
    Source.Processes.clear();
    Source.Processes.push_back(Process("[System Process]", 0, 0));
    Source.Processes.push_back(Process("System", 4, 0));
    const char* Images[] = {"/usr/bin/bash", "/usr/sbin/sshd", "/usr/bin/python3", "/usr/lib/app/worker"};
    for (const char* Image : Images)
        Api.Add(Image, FakeFile("Maintainer", "Program", "1.0"));
    // Live processes with their depth below the roots; real trees stay shallow
    // (init, session, terminal, shell, pipeline: rarely more than a dozen levels).
    std::vector<std::pair<std::uint32_t, int>> Live = {{4, 1}};
    std::uint32_t NextId = 100;
    for (int I = 2; I < Count; ++I) {
        // Mostly children of recent processes, sometimes of an old one; every
        // 50th id is reused, and some parents have already ended.
        auto Parent = Live[Live.size() - 1 - Random() % std::min<std::size_t>(Live.size(), 8)];
        if (Random() % 10 == 0 || Parent.second >= 12)
            Parent = Live[Random() % std::min<std::size_t>(Live.size(), 64)];
        std::uint32_t ParentId = Parent.first;
        int Depth = Parent.second + 1;
        if (Random() % 40 == 0) {
            ParentId = 900000 + I;
            Depth = 0;
        }
        const std::uint32_t Id = I % 50 == 0 ? Live[Random() % Live.size()].first : (NextId += 1 + Random() % 7);
        std::string Name = "p";
        Name += std::to_string(I);
        Source.Processes.push_back(WithImages ? ProcessWithImage(Name, Id, ParentId, Images[Random() % 4], 1 << 20)
                                              : Process(Name, Id, ParentId));
        Live.emplace_back(Id, Depth);
    }
}

void BM_ReloadSyntheticSnapshot(benchmark::State& State) {
    testing::TFakeProcessSource Source;
    testing::TFakeVersionApi Api;
    FillSnapshot(Source, Api, static_cast<int>(State.range(0)));
    TStVersionInfo Reader(nullptr, Api);
    TCatalogue Catalogue(Source, Reader);
    for (auto _ : State) {
        const TReloadStatus Status = Catalogue.ReloadCatalogue();
        benchmark::DoNotOptimize(Status);
    }
    State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_ReloadSyntheticSnapshot)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The tree building alone: every probe fails at once, so what remains is the
// parent search, the node records and the expansion.
void BM_TreeBuildingOnly(benchmark::State& State) {
    testing::TFakeProcessSource Source;
    testing::TFakeVersionApi Api;
    FillSnapshot(Source, Api, static_cast<int>(State.range(0)), false);
    TStVersionInfo Reader(nullptr, Api);
    TCatalogue Catalogue(Source, Reader);
    for (auto _ : State)
        benchmark::DoNotOptimize(Catalogue.ReloadCatalogue());
    State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_TreeBuildingOnly)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ReportTextSyntheticSnapshot(benchmark::State& State) {
    testing::TFakeProcessSource Source;
    testing::TFakeVersionApi Api;
    FillSnapshot(Source, Api, static_cast<int>(State.range(0)));
    TStVersionInfo Reader(nullptr, Api);
    TCatalogue Catalogue(Source, Reader);
    Catalogue.ReloadCatalogue();
    for (auto _ : State)
        benchmark::DoNotOptimize(ReportText(Catalogue));
    State.SetItemsProcessed(State.iterations() * State.range(0));
}
BENCHMARK(BM_ReportTextSyntheticSnapshot)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane

BENCHMARK_MAIN();
