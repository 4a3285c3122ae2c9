// The Windows window's reload with the signature check on and off, under
// Wine: the first reload (a new window, nothing verified yet) and the warm
// reload (every file verified before), each until the tree is filled, which
// is all the user waits for, and until the last verdict has arrived. In every
// round two new windows, one with the check and one without, are shown and
// then reloaded three times in turn (which goes first alternates), so the
// load of the machine meets both alike; the figures are medians.
//
// Debian packages Google Benchmark for Linux only; this is a plain program.
// It starts Copies copies of bench_waiting_program.exe, the small program
// beside it (distinct files, so distinct verdicts), that wait until it ends.
//
//   bench_window_signatures [Copies [Rounds]]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fakes/FakeSignatureCheck.h"
#include "probes/Probes.h"
#include "ui/win32/MainFrm.h"
#include "versioninfo/VersionApi.h"

namespace quorvane::win32 {
namespace {

using TClock = std::chrono::steady_clock;

double Milliseconds(TClock::duration Elapsed) { return std::chrono::duration<double, std::milli>(Elapsed).count(); }

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values.empty() ? 0 : Values[Values.size() / 2];
}

void Pump() {
    MSG Message;
    while (::PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&Message);
        ::DispatchMessageA(&Message);
    }
}

// Pumps until the window's verdicts have all arrived.
void UntilVerified(TFrmMain& Form) {
    while (Form.AwaitingVerdicts()) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        Pump();
    }
    Pump();
}

struct TTimes {
    std::vector<double> Filled, Verified;
};

// One reload: Act (the click, or the first show), then Wait for its verdicts.
template <typename TAct, typename TWait>
void Time(TTimes& Times, TAct Act, TWait Wait) {
    const auto Start = TClock::now();
    Act();
    Times.Filled.push_back(Milliseconds(TClock::now() - Start));
    Wait();
    Times.Verified.push_back(Milliseconds(TClock::now() - Start));
}

TFrmMainServices Services(std::shared_ptr<ISignatureCheck> Signatures) {
    TFrmMainServices Result;
    Result.OpenUrl = [](const std::string&) {};
    Result.ShowMessage = [](HWND, const std::string&, const std::string&, UINT) {};
    Result.Dpi = 96;
    Result.Signatures = std::move(Signatures);
    return Result;
}

// Copies of the waiting program in the temporary folder, each started.
class TWaitingCopies {
public:
    explicit TWaitingCopies(int Count) {
        char Own[MAX_PATH] = {}, Temp[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, Own, sizeof Own);
        ::GetTempPathA(sizeof Temp, Temp);
        std::string Original = Own;
        Original = Original.substr(0, Original.find_last_of('\\') + 1) + "bench_waiting_program.exe";
        for (int I = 0; I < Count; ++I) {
            const std::string Copy = std::string(Temp) + "quorvane-bench-" + std::to_string(I) + ".exe";
            if (!::CopyFileA(Original.c_str(), Copy.c_str(), FALSE))
                continue;
            std::string CommandLine = "\"" + Copy + "\"";
            STARTUPINFOA Startup{};
            Startup.cb = sizeof Startup;
            PROCESS_INFORMATION Child{};
            if (::CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup,
                                 &Child))
                FChildren.push_back({Child, Copy});
        }
    }
    ~TWaitingCopies() {
        for (const auto& [Child, Copy] : FChildren) {
            ::TerminateProcess(Child.hProcess, 0);
            ::WaitForSingleObject(Child.hProcess, 5000);
            ::CloseHandle(Child.hThread);
            ::CloseHandle(Child.hProcess);
            ::DeleteFileA(Copy.c_str());
        }
    }
    std::size_t Count() const { return FChildren.size(); }

private:
    std::vector<std::pair<PROCESS_INFORMATION, std::string>> FChildren;
};

int Run(int Copies, int Rounds) {
    const TWaitingCopies Waiting(Copies);
    const std::unique_ptr<IProcessSource> Source = CreateSystemProcessSource();
    const std::unique_ptr<IVersionApi> Api = CreateSystemVersionApi();
    auto Off = std::make_shared<testing::FakeSignatureCheck>();
    Off->Enabled = false;

    TTimes First[2], Warm[2];  // by check off, on
    std::size_t Processes = 0, Files = 0;
    for (int Round = 0; Round < Rounds; ++Round) {
        // Which window goes first alternates from round to round.
        const bool Order[2] = {Round % 2 == 1, Round % 2 == 0};
        std::unique_ptr<TFrmMain> Forms[2];
        for (const bool On : Order) {
            // A new check for every window: nothing is verified before its first reload.
            std::shared_ptr<ISignatureCheck> Check = On ? std::shared_ptr<ISignatureCheck>(CreateSystemSignatureCheck())
                                                        : std::shared_ptr<ISignatureCheck>(Off);
            Time(First[On], [&] {
                Forms[On] = std::make_unique<TFrmMain>(*Source, *Api, Services(Check));
                Forms[On]->Show(SW_SHOWNOACTIVATE);  // the first show runs the first reload
            }, [&] { UntilVerified(*Forms[On]); });
        }
        for (int Warmed = 0; Warmed < 3; ++Warmed)
            for (const bool On : Order)
                Time(Warm[On], [&] { Forms[On]->btnReloadClick(); }, [&] { UntilVerified(*Forms[On]); });
        Processes = Forms[1]->Catalogue().Count();
        Files = Forms[1]->Catalogue().ImageFiles().size();
        for (auto& Form : Forms)
            Form.reset();
        Pump();
    }

    std::printf("%zu processes, %zu image files (%zu copies of this program), %d rounds; medians in ms\n",
                Processes, Files, Waiting.Count(), Rounds);
    std::printf("%-34s %10s %10s %8s\n", "", "check off", "check on", "on/off");
    const auto Row = [](const char* What, const std::vector<double>& OffTimes, const std::vector<double>& OnTimes) {
        const double A = Median(OffTimes), B = Median(OnTimes);
        std::printf("%-34s %10.1f %10.1f %8.3f\n", What, A, B, A > 0 ? B / A : 0.0);
    };
    Row("first reload, tree filled", First[0].Filled, First[1].Filled);
    Row("first reload, last verdict in", First[0].Verified, First[1].Verified);
    Row("warm reload, tree filled", Warm[0].Filled, Warm[1].Filled);
    Row("warm reload, last verdict in", Warm[0].Verified, Warm[1].Verified);
    return 0;
}

}  // namespace
}  // namespace quorvane::win32

int main(int argc, char** argv) {
    const int Copies = argc > 1 ? std::atoi(argv[1]) : 40;
    const int Rounds = argc > 2 ? std::atoi(argv[2]) : 15;
    return quorvane::win32::Run(std::max(0, Copies), std::max(1, Rounds));
}
