// The process source against the live /proc: this test's own process.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

#include "probes/Probes.h"

namespace quorvane {
namespace {

// "hh:nn:ss.zzz" with the C locale's colon.
bool IsDurationText(const std::string& Text) {
    const std::string Shape = "00:00:00.000";
    if (Text.size() != Shape.size())
        return false;
    for (std::size_t I = 0; I < Text.size(); ++I)
        if (Shape[I] == '0' ? !(Text[I] >= '0' && Text[I] <= '9') : Text[I] != Shape[I])
            return false;
    return true;
}

TEST(LiveProcTest, TheOwnProcessIsListedWithItsParentThreadsAndImage) {
    // A second thread that waits until the walk is done.
    std::mutex Lock;
    std::condition_variable Done;
    bool Walked = false;
    std::thread Helper([&] {
        std::unique_lock Guard(Lock);
        Done.wait(Guard, [&] { return Walked; });
    });

    const auto Source = CreateSystemProcessSource();
    std::vector<TProcessEntry> Entries;
    Source->EnumerateProcesses([&](const TProcessEntry& Entry) { Entries.push_back(Entry); });
    {
        std::lock_guard Guard(Lock);
        Walked = true;
    }
    Done.notify_one();
    Helper.join();

    ASSERT_FALSE(Entries.empty());
    EXPECT_EQ(Entries[0].ExeFile, "[System Process]");
    EXPECT_EQ(Entries[0].Threads, ::sysconf(_SC_NPROCESSORS_ONLN));
    for (std::size_t I = 1; I < Entries.size(); ++I)
        EXPECT_LT(Entries[I - 1].ProcessId, Entries[I].ProcessId);

    char ExePath[PATH_MAX] = {};
    ASSERT_GT(::readlink("/proc/self/exe", ExePath, sizeof ExePath - 1), 0);
    const std::string Exe = ExePath;
    const TProcessEntry* Own = nullptr;
    for (const TProcessEntry& Entry : Entries)
        if (Entry.ProcessId == static_cast<std::uint32_t>(::getpid()))
            Own = &Entry;
    ASSERT_NE(Own, nullptr);
    EXPECT_EQ(Own->ExeFile, Exe.substr(Exe.rfind('/') + 1));
    EXPECT_EQ(Own->ParentProcessId, static_cast<std::uint32_t>(::getppid()));
    EXPECT_EQ(Own->Threads, 2);

    std::string Path, Remark;
    std::uint32_t Size = 0;
    ASSERT_TRUE(Source->QueryImageFile(Own->ProcessId, Path, Size, Remark));
    EXPECT_EQ(Path, Exe);
    EXPECT_GT(Size, 0u);

    std::string Start, Kernel, Cpu;
    std::uint32_t Class = 0;
    ASSERT_TRUE(Source->QueryProcessTimes(Own->ProcessId, Start, Kernel, Cpu, Class, Remark));
    EXPECT_FALSE(Start.empty());
    EXPECT_TRUE(IsDurationText(Kernel)) << Kernel;
    EXPECT_TRUE(IsDurationText(Cpu)) << Cpu;
    const std::uint32_t Classes[] = {32, 64, 128, 256, 16384, 32768};
    EXPECT_NE(std::find(std::begin(Classes), std::end(Classes), Class), std::end(Classes)) << Class;
}

}  // namespace
}  // namespace quorvane
