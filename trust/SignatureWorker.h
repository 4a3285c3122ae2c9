// Signature verdicts computed off the user-interface thread: a window hands
// over the files of a reload and takes the verdicts back as they arrive, so
// the reload never waits for a verification.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "trust/SignatureVerdicts.h"

namespace quorvane {

using TFileVerdicts = std::vector<std::pair<std::string, TSignature>>;

class TSignatureWorker {
public:
    // Ready is called on the worker's thread whenever a verdict is waiting
    // after none was; it only arranges for TakeVerdicts to be called on the
    // owner's thread (posts a message), and must not take long.
    TSignatureWorker(TSignatureVerdicts& Verdicts, std::function<void()> Ready);
    // Waits for the file in progress; the files still waiting are dropped.
    ~TSignatureWorker();
    TSignatureWorker(const TSignatureWorker&) = delete;
    TSignatureWorker& operator=(const TSignatureWorker&) = delete;

    // Verifies Paths, in their order, in place of the files still waiting
    // from an earlier start, whose verdicts are no longer handed back.
    void Start(std::vector<std::string> Paths);

    // The verdicts of the latest start that arrived since the last call.
    TFileVerdicts TakeVerdicts();

    // True while files of the latest start are waiting or in progress.
    bool Busy() const;

private:
    void Run();

    TSignatureVerdicts& FVerdicts;
    std::function<void()> FReady;
    mutable std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<std::string> FWaiting;
    std::uint64_t FStart = 0;  // counts the starts, so late verdicts of an earlier one are known
    bool FInProgress = false;
    bool FStopping = false;
    TFileVerdicts FArrived;
    std::thread FThread;  // started with the first files
};

}  // namespace quorvane
