// Verdicts computed off the user-interface thread: a window hands over the
// files of a reload and takes the verdicts back as they arrive, so the reload
// never waits for a slow verdict (a signature, a library's package).
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

namespace quorvane {

// TKey names what a verdict is on: a file's path, or anything else that is
// cheap to copy.
template <typename TVerdict, typename TKey = std::string>
class TVerdictWorker {
public:
    using TCompute = std::function<TVerdict(const TKey& Key)>;
    using TArrived = std::vector<std::pair<TKey, TVerdict>>;

    // Compute runs on the worker's thread. Ready is called there whenever a
    // verdict is waiting after none was; it only arranges for TakeVerdicts to
    // be called on the owner's thread (posts a message), and must not take long.
    TVerdictWorker(TCompute Compute, std::function<void()> Ready)
        : FCompute(std::move(Compute)), FReady(std::move(Ready)) {}
    // Waits for the file in progress; the files still waiting are dropped.
    ~TVerdictWorker() {
        {
            const std::lock_guard Lock(FMutex);
            FStopping = true;
            FWaiting.clear();
        }
        FWake.notify_one();
        if (FThread.joinable())
            FThread.join();
    }
    TVerdictWorker(const TVerdictWorker&) = delete;
    TVerdictWorker& operator=(const TVerdictWorker&) = delete;

    // Computes the verdicts on Paths, in their order, in place of the files
    // still waiting from an earlier start, whose verdicts are no longer handed back.
    void Start(std::vector<TKey> Paths) {
        {
            const std::lock_guard Lock(FMutex);
            ++FStart;
            FWaiting.assign(std::make_move_iterator(Paths.begin()), std::make_move_iterator(Paths.end()));
            FArrived.clear();
            if (!FThread.joinable() && !FWaiting.empty())
                FThread = std::thread(&TVerdictWorker::Run, this);
        }
        FWake.notify_one();
    }

    // The verdicts of the latest start that arrived since the last call.
    TArrived TakeVerdicts() {
        const std::lock_guard Lock(FMutex);
        return std::exchange(FArrived, {});
    }

    // True while files of the latest start are waiting or in progress.
    bool Busy() const {
        const std::lock_guard Lock(FMutex);
        return FInProgress || !FWaiting.empty();
    }

private:
    void Run() {
        std::unique_lock Lock(FMutex);
        for (;;) {
            FWake.wait(Lock, [this] { return FStopping || !FWaiting.empty(); });
            if (FStopping)
                return;
            TKey Path = std::move(FWaiting.front());
            FWaiting.pop_front();
            const std::uint64_t Start = FStart;
            FInProgress = true;
            Lock.unlock();
            TVerdict Verdict = FCompute(Path);
            Lock.lock();
            FInProgress = false;
            if (Start != FStart || FStopping)
                continue;
            const bool WasEmpty = FArrived.empty();
            FArrived.emplace_back(std::move(Path), std::move(Verdict));
            if (WasEmpty && FReady)
                FReady();  // under the lock: the owner cannot take the verdict before it is told
        }
    }

    TCompute FCompute;
    std::function<void()> FReady;
    mutable std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<TKey> FWaiting;
    std::uint64_t FStart = 0;  // counts the starts, so late verdicts of an earlier one are known
    bool FInProgress = false;
    bool FStopping = false;
    TArrived FArrived;
    std::thread FThread;  // started with the first files
};

}  // namespace quorvane
