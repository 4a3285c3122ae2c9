// The process source against the live /proc: this test's own process.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <mutex>
#include <sys/wait.h>
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

// Waits until the child process runs Program (before that, its image is this test).
void WaitUntilRunning(pid_t Child, const std::string& Program) {
    std::error_code Error;
    const std::string Link = "/proc/" + std::to_string(Child) + "/exe";
    for (int Round = 0; Round < 500 && std::filesystem::read_symlink(Link, Error) != Program; ++Round)
        ::usleep(10'000);
}

// What the live source says about the image of a child process, which then ends.
struct TImageFacts {
    bool Found = false;
    std::string Path;
    std::string Remark;
    TImageOrigin Origin;
};

TImageFacts QueryImageAndEnd(pid_t Child) {
    TImageFacts Facts;
    const auto Source = CreateSystemProcessSource();
    std::uint32_t Size = 0;
    Facts.Found = Source->QueryImageFile(static_cast<std::uint32_t>(Child), Facts.Path, Size, Facts.Remark);
    Facts.Origin = Source->LastImageOrigin();
    ::kill(Child, SIGKILL);
    ::waitpid(Child, nullptr, 0);
    return Facts;
}

TEST(LiveProcTest, AProgramDeletedAfterItsStartShowsItsFolder) {
    namespace fs = std::filesystem;
    std::string Folder = (fs::temp_directory_path() / "quorvane-live-XXXXXX").string();
    ASSERT_NE(::mkdtemp(Folder.data()), nullptr);
    const std::string Program = Folder + "/schlaf";
    fs::copy_file("/bin/sleep", Program);
    const pid_t Child = ::fork();
    if (Child == 0) {
        ::execl(Program.c_str(), "schlaf", "600", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    WaitUntilRunning(Child, Program);
    fs::remove(Program);
    const TImageFacts Facts = QueryImageAndEnd(Child);
    fs::remove_all(Folder);

    ASSERT_TRUE(Facts.Found) << Facts.Remark;
    EXPECT_EQ(Facts.Path, Program);
    EXPECT_EQ(Facts.Origin.State, TImageState::Deleted);
    EXPECT_EQ(Facts.Origin.ContentPath, "/proc/" + std::to_string(Child) + "/exe");
}

TEST(LiveProcTest, AProgramInAMountNamespaceOfItsOwnIsPresentUnderItsPath) {
    // The child sees its copy of sleep under a path that names a script here.
    namespace fs = std::filesystem;
    std::string Folder = (fs::temp_directory_path() / "quorvane-live-XXXXXX").string();
    ASSERT_NE(::mkdtemp(Folder.data()), nullptr);
    const std::string Program = Folder + "/program";
    const std::string Copy = Folder + "/copy";
    { std::ofstream(Program) << "#!/bin/sh\n"; }
    fs::copy_file("/bin/sleep", Copy);
    int Ready[2];
    ASSERT_EQ(::pipe(Ready), 0);
    const pid_t Child = ::fork();
    if (Child == 0) {
        ::close(Ready[0]);
        const bool Own = ::unshare(CLONE_NEWNS) == 0 &&
                         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                         ::mount(Copy.c_str(), Program.c_str(), nullptr, MS_BIND, nullptr) == 0;
        const char Answer = Own ? 'y' : 'n';
        (void)::write(Ready[1], &Answer, 1);
        if (Own)
            ::execl(Program.c_str(), "program", "600", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(Ready[1]);
    char Answer = 'n';
    (void)::read(Ready[0], &Answer, 1);
    ::close(Ready[0]);
    if (Answer == 'y')
        WaitUntilRunning(Child, Program);
    const TImageFacts Facts = QueryImageAndEnd(Child);
    fs::remove_all(Folder);
    if (Answer != 'y')
        GTEST_SKIP() << "no private mount namespace to be had";

    ASSERT_TRUE(Facts.Found) << Facts.Remark;
    EXPECT_EQ(Facts.Path, Program);
    EXPECT_EQ(Facts.Origin.State, TImageState::Present);
    // The file under the path here is another: the image is read through the link.
    EXPECT_EQ(Facts.Origin.ContentPath, "/proc/" + std::to_string(Child) + "/exe");
}

TEST(LiveProcTest, TheHostNameIsTheSystems) {
    char Name[256] = {};
    ASSERT_EQ(::gethostname(Name, sizeof Name - 1), 0);
    EXPECT_EQ(CreateSystemProcessSource()->HostName(), Name);
}

}  // namespace
}  // namespace quorvane
