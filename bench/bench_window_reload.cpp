// The Qt window's reload, from the click on the reload button to the window
// painted, on Qt's offscreen platform, with the time of each step: the
// catalogue, filling the tree, expanding it, painting. Side by side with
// "ps -e -o pid,ppid,nlwp,lstart,time,ni,comm" over the same processes: 1,000
// and 5,000 sleeping ones in a PID namespace of the benchmark's own.
//
// With a second argument of 1 the sleeping processes map the libraries of a
// usual C++ service (bench/sleeper), and "verdicts_ms" is the time from the
// click until the verdicts on the loaded libraries have arrived, off the
// window's thread (caches warm: kept from the reloads before).
//
// BM_WindowFillSynthetic fills the tree from a synthetic catalogue of growing
// size (four children to a parent, so about log4(n) levels deep; or all under
// one parent): the cost per item of filling and expanding must not grow with
// the tree.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <string>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "BenchProcesses.h"
#include "fakes/FakeProcessSource.h"
#include "fakes/FakeVersionApi.h"
#include "probes/Probes.h"
#include "ui/qt/MainFrm.h"
#include "ui/qt/QtTestApp.h"
#include "versioninfo/VersionApi.h"

extern char** environ;

namespace quorvane {
namespace {

bench::TSleepers Sleepers;

// Milliseconds of each step of the reloads so far.
struct TSplit {
    double Clear = 0, Catalogue = 0, Fill = 0, Expand = 0, Paint = 0, Total = 0;
};

// Clicks reload, paints the whole window, and adds the steps' times to Split.
void ReloadAndPaint(TFrmMain& Form, TSplit& Split) {
    QElapsedTimer Clock;
    qint64 Last = 0;
    const auto Step = [&](double& Into) {
        const qint64 Now = Clock.nsecsElapsed();
        Into += static_cast<double>(Now - Last) / 1e6;
        Last = Now;
    };
    Form.OnReloadStep = [&](TReloadStep Done) {
        switch (Done) {
            case TReloadStep::Cleared: Step(Split.Clear); break;
            case TReloadStep::Catalogued: Step(Split.Catalogue); break;
            case TReloadStep::Filled: Step(Split.Fill); break;
            case TReloadStep::Expanded: Step(Split.Expand); break;
        }
    };
    Clock.start();
    Form.btnReload->click();
    Form.repaint();  // paints now, the tree's rows laid out and drawn
    Step(Split.Paint);
    Split.Total += static_cast<double>(Clock.nsecsElapsed()) / 1e6;
    Form.OnReloadStep = nullptr;
}

void SetSplitCounters(benchmark::State& State, const TSplit& Split, std::size_t Items) {
    const double Rounds = static_cast<double>(std::max<benchmark::IterationCount>(State.iterations(), 1));
    State.counters["clear_ms"] = Split.Clear / Rounds;
    State.counters["catalogue_ms"] = Split.Catalogue / Rounds;
    State.counters["fill_ms"] = Split.Fill / Rounds;
    State.counters["expand_ms"] = Split.Expand / Rounds;
    State.counters["paint_ms"] = Split.Paint / Rounds;
    State.counters["window_ms"] = Split.Total / Rounds;
    State.counters["items"] = static_cast<double>(Items);
    if (Items > 0) {
        State.counters["fill_us_per_item"] = Split.Fill * 1000.0 / Rounds / static_cast<double>(Items);
        State.counters["expand_us_per_item"] = Split.Expand * 1000.0 / Rounds / static_cast<double>(Items);
    }
}

// Real seconds of one run of ps with its output thrown away; negative when it fails.
double TimePs() {
    char* Arguments[] = {const_cast<char*>("ps"), const_cast<char*>("-e"), const_cast<char*>("-o"),
                         const_cast<char*>("pid,ppid,nlwp,lstart,time,ni,comm"), nullptr};
    posix_spawn_file_actions_t Actions;
    ::posix_spawn_file_actions_init(&Actions);
    ::posix_spawn_file_actions_addopen(&Actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer Clock;
    Clock.start();
    pid_t Child = 0;
    const int Error = ::posix_spawnp(&Child, Arguments[0], &Actions, nullptr, Arguments, environ);
    ::posix_spawn_file_actions_destroy(&Actions);
    if (Error != 0)
        return -1;
    int Status = 0;
    while (::waitpid(Child, &Status, 0) < 0 && errno == EINTR) {}
    const double Seconds = static_cast<double>(Clock.nsecsElapsed()) / 1e9;
    return WIFEXITED(Status) && WEXITSTATUS(Status) == 0 ? Seconds : -1;
}

// The window over the live system with Sleepers sleeping processes, shown:
// its first reload has built the caches and read the files.
struct TLiveWindow {
    explicit TLiveWindow(std::size_t Count) {
        Sleepers.Resize(Count);
        Form.show();
        QApplication::processEvents();
    }
    QApplication& App = testing::TestApp();
    const std::unique_ptr<IProcessSource> Processes = CreateSystemProcessSource();
    const std::unique_ptr<IVersionApi> Versions = CreateSystemVersionApi();
    TFrmMain Form{*Processes, *Versions};
};

// The live window over the sleeping processes, ps in every round beside it.
void BM_WindowReloadBesidePs(benchmark::State& State) {
    Sleepers.SetProgram(State.range(1) != 0 ? QUORVANE_LIBRARY_SLEEPER : "/bin/sleep");
    TLiveWindow Live(static_cast<std::size_t>(State.range(0)));
    TFrmMain& Form = Live.Form;
    TSplit Split;
    double Ps = 0;
    double Verdicts = 0;
    for (auto _ : State) {
        const double PsSeconds = TimePs();
        if (PsSeconds < 0) {
            State.SkipWithError("ps failed");
            return;
        }
        Ps += PsSeconds;
        const double Before = Split.Total;
        QElapsedTimer Clock;
        Clock.start();
        ReloadAndPaint(Form, Split);
        State.SetIterationTime((Split.Total - Before) / 1000.0);
        // Not part of the reload: the verdicts arrive while the window is in use.
        while (Form.AwaitingVerdicts())
            QApplication::processEvents(QEventLoop::AllEvents, 1);
        QApplication::processEvents();
        Verdicts += static_cast<double>(Clock.nsecsElapsed()) / 1e6;
    }
    SetSplitCounters(State, Split, Form.Catalogue().Count());
    const double Rounds = static_cast<double>(std::max<benchmark::IterationCount>(State.iterations(), 1));
    State.counters["ps_ms"] = Ps * 1000.0 / Rounds;
    State.counters["window/ps"] = Split.Total / 1000.0 / Ps;
    State.counters["verdicts_ms"] = Verdicts / Rounds;
    Sleepers.SetProgram("/bin/sleep");
}
BENCHMARK(BM_WindowReloadBesidePs)
    ->Args({1000, 0})
    ->Args({5000, 0})
    ->Args({1000, 1})
    ->ArgNames({"processes", "libraries"})
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Resident set size of this process, in kilobytes (VmRSS of /proc/self/status).
double ResidentKilobytes() {
    std::ifstream Status("/proc/self/status");
    for (std::string Line; std::getline(Status, Line);)
        if (Line.rfind("VmRSS:", 0) == 0)
            return std::atof(Line.c_str() + 6);
    return 0;
}

// Bytes the heap holds in use now.
double HeapKilobytes() { return static_cast<double>(::mallinfo2().uordblks) / 1024.0; }

// Memory over many reloads of the live window (records, tree, both image
// lists): what the heap holds after the first reload and after the last, and
// the resident set. Run it under heaptrack for the peak.
void BM_WindowReloadMemory(benchmark::State& State) {
    TLiveWindow Live(static_cast<std::size_t>(State.range(0)));
    TFrmMain& Form = Live.Form;
    const double HeapFirst = HeapKilobytes();
    const double ResidentFirst = ResidentKilobytes();
    double HeapMost = HeapFirst;
    std::int64_t Round = 0;
    for (auto _ : State) {
        Form.btnReload->click();
        Form.repaint();
        HeapMost = std::max(HeapMost, HeapKilobytes());
        if (++Round == 10 || Round == 100)
            State.counters["heap_" + std::to_string(Round) + "_kb"] = HeapKilobytes();
    }
    State.counters["heap_first_kb"] = HeapFirst;
    State.counters["heap_last_kb"] = HeapKilobytes();
    State.counters["heap_most_kb"] = HeapMost;
    State.counters["rss_first_kb"] = ResidentFirst;
    State.counters["rss_last_kb"] = ResidentKilobytes();
    State.counters["items"] = static_cast<double>(Form.Catalogue().Count());
}
BENCHMARK(BM_WindowReloadMemory)->Arg(1000)->Iterations(1000)->Unit(benchmark::kMillisecond);

// A synthetic catalogue of State.range(0) processes, State.range(1) children to
// a parent (0: all under one parent, as many processes of one service), one
// image for all but the kernel's.
void BM_WindowFillSynthetic(benchmark::State& State) {
    testing::TestApp();
    testing::TFakeProcessSource Source;
    testing::TFakeVersionApi Versions;
    Versions.Add("/usr/bin/worker", testing::FakeFile("Maintainer", "Worker", "1.0"));
    Source.Processes.push_back(testing::Process("[System Process]", 0, 0));
    const auto Count = static_cast<std::uint32_t>(State.range(0));
    const auto Width = static_cast<std::uint32_t>(State.range(1));
    for (std::uint32_t Id = 1; Id < Count; ++Id)
        Source.Processes.push_back(
            testing::ProcessWithImage("worker", Id, Width == 0 ? (Id == 1 ? 0 : 1) : (Id - 1) / Width, "/usr/bin/worker"));
    TFrmMain Form(Source, Versions);
    Form.show();
    QApplication::processEvents();
    TSplit Split;
    for (auto _ : State) {
        const double Before = Split.Total;
        ReloadAndPaint(Form, Split);
        State.SetIterationTime((Split.Total - Before) / 1000.0);
    }
    SetSplitCounters(State, Split, Form.Catalogue().Count());
}
BENCHMARK(BM_WindowFillSynthetic)
    ->ArgsProduct({{1000, 5000, 20000}, {4, 0}})
    ->ArgNames({"items", "width"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvane

int main(int argc, char** argv) {
    int ExitCode = 0;
    bool Isolated = false;
    if (!quorvane::bench::EnterOwnPidNamespace(ExitCode, Isolated))
        return ExitCode;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::AddCustomContext("pid_namespace", Isolated ? "own" : "the machine's");
    benchmark::AddCustomContext("qt_platform", qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
                                                   ? "offscreen"
                                                   : qgetenv("QT_QPA_PLATFORM").toStdString());
    benchmark::RunSpecifiedBenchmarks();
    quorvane::Sleepers.Resize(0);
    benchmark::Shutdown();
    return 0;
}
