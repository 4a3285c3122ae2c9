#include "trust/SignatureWorker.h"

namespace quorvane {

TSignatureWorker::TSignatureWorker(TSignatureVerdicts& Verdicts, std::function<void()> Ready)
    : FVerdicts(Verdicts), FReady(std::move(Ready)) {}

TSignatureWorker::~TSignatureWorker() {
    {
        const std::lock_guard Lock(FMutex);
        FStopping = true;
        FWaiting.clear();
    }
    FWake.notify_one();
    if (FThread.joinable())
        FThread.join();
}

void TSignatureWorker::Start(std::vector<std::string> Paths) {
    {
        const std::lock_guard Lock(FMutex);
        ++FStart;
        FWaiting.assign(std::make_move_iterator(Paths.begin()), std::make_move_iterator(Paths.end()));
        FArrived.clear();
        if (!FThread.joinable() && !FWaiting.empty())
            FThread = std::thread(&TSignatureWorker::Run, this);
    }
    FWake.notify_one();
}

TFileVerdicts TSignatureWorker::TakeVerdicts() {
    const std::lock_guard Lock(FMutex);
    return std::exchange(FArrived, {});
}

bool TSignatureWorker::Busy() const {
    const std::lock_guard Lock(FMutex);
    return FInProgress || !FWaiting.empty();
}

void TSignatureWorker::Run() {
    std::unique_lock Lock(FMutex);
    for (;;) {
        FWake.wait(Lock, [this] { return FStopping || !FWaiting.empty(); });
        if (FStopping)
            return;
        std::string Path = std::move(FWaiting.front());
        FWaiting.pop_front();
        const std::uint64_t Start = FStart;
        FInProgress = true;
        Lock.unlock();
        TSignature Signature = FVerdicts.Verdict(Path);
        Lock.lock();
        FInProgress = false;
        if (Start != FStart || FStopping)
            continue;
        const bool WasEmpty = FArrived.empty();
        FArrived.emplace_back(std::move(Path), std::move(Signature));
        if (WasEmpty && FReady)
            FReady();  // under the lock: the owner cannot take the verdict before it is told
    }
}

}  // namespace quorvane
