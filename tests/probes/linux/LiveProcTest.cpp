// The process source against the live /proc: this test's own process.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
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
    bool ContentIsImage = false;  // the content path opens the file the process runs
};

bool SameFile(const std::string& A, const std::string& B) {
    struct stat StatA, StatB;
    return ::stat(A.c_str(), &StatA) == 0 && ::stat(B.c_str(), &StatB) == 0 && StatA.st_dev == StatB.st_dev &&
           StatA.st_ino == StatB.st_ino;
}

TImageFacts QueryImageAndEnd(pid_t Child) {
    TImageFacts Facts;
    const auto Source = CreateSystemProcessSource();
    std::uint32_t Size = 0;
    Facts.Found = Source->QueryImageFile(static_cast<std::uint32_t>(Child), Facts.Path, Size, Facts.Remark);
    Facts.Origin = Source->LastImageOrigin();
    Facts.ContentIsImage = SameFile(Facts.Origin.ContentPath, "/proc/" + std::to_string(Child) + "/exe");
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
    EXPECT_TRUE(Facts.ContentIsImage) << Facts.Origin.ContentPath;
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
    EXPECT_TRUE(Facts.ContentIsImage) << Facts.Origin.ContentPath;
    EXPECT_FALSE(SameFile(Facts.Origin.ContentPath, Program));
}

// After a walk the queries answer from what the walk read; the answers must be
// those of a source that reads every file for the query alone.
TEST(LiveProcTest, QueriesAfterAWalkAnswerAsQueriesOfTheirOwn) {
    std::vector<pid_t> Children;
    for (int I = 0; I < 3; ++I) {
        const pid_t Child = ::fork();
        ASSERT_GE(Child, 0);
        if (Child == 0) {
            ::execl("/bin/sleep", "sleep", "1000", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        Children.push_back(Child);
    }
    // Sleeping: the program is loaded and mapped, and its times stand still.
    for (const pid_t Child : Children) {
        WaitUntilRunning(Child, std::filesystem::canonical("/bin/sleep").string());
        for (int Round = 0; Round < 500; ++Round) {
            std::ifstream Stat("/proc/" + std::to_string(Child) + "/stat");
            const std::string Text((std::istreambuf_iterator<char>(Stat)), std::istreambuf_iterator<char>());
            const std::size_t Close = Text.rfind(')');
            if (Close != std::string::npos && Text.compare(Close, 3, ") S") == 0)
                break;
            ::usleep(10'000);
        }
    }

    struct TAnswers {
        bool Image = false, Times = false;
        std::string Path, Remark, Start, Kernel, Cpu;
        std::uint32_t Size = 0, Class = 0;
        TImageOrigin Origin;
    };
    const auto Ask = [](IProcessSource& Source, std::uint32_t Id) {
        TAnswers A;
        A.Image = Source.QueryImageFile(Id, A.Path, A.Size, A.Remark);
        A.Origin = Source.LastImageOrigin();
        A.Times = Source.QueryProcessTimes(Id, A.Start, A.Kernel, A.Cpu, A.Class, A.Remark);
        return A;
    };
    const auto Walking = CreateSystemProcessSource();
    std::vector<TProcessEntry> Entries;
    Walking->EnumerateProcesses([&](const TProcessEntry& Entry) { Entries.push_back(Entry); });
    std::vector<TAnswers> AfterWalk;
    for (const pid_t Child : Children)
        AfterWalk.push_back(Ask(*Walking, static_cast<std::uint32_t>(Child)));
    for (std::size_t I = 0; I < Children.size(); ++I) {
        const auto Fresh = CreateSystemProcessSource();
        const TAnswers Alone = Ask(*Fresh, static_cast<std::uint32_t>(Children[I]));
        const TAnswers Again = Ask(*Walking, static_cast<std::uint32_t>(Children[I]));  // read anew
        const TAnswers& Walked = AfterWalk[I];
        for (const TAnswers* Got : {&Walked, &Again}) {
            SCOPED_TRACE(Children[I]);
            EXPECT_TRUE(Got->Image);
            EXPECT_TRUE(Got->Times);
            EXPECT_EQ(Got->Path, Alone.Path);
            EXPECT_EQ(Got->Size, Alone.Size);
            EXPECT_EQ(Got->Remark, Alone.Remark);
            EXPECT_EQ(Got->Origin.State, Alone.Origin.State);
            EXPECT_EQ(Got->Origin.ContentPath, Alone.Origin.ContentPath);
            EXPECT_EQ(Got->Start, Alone.Start);
            EXPECT_EQ(Got->Kernel, Alone.Kernel);
            EXPECT_EQ(Got->Cpu, Alone.Cpu);
            EXPECT_EQ(Got->Class, Alone.Class);
        }
        EXPECT_EQ(Alone.Origin.State, TImageState::Present);
        EXPECT_GT(Alone.Size, 0u);
        const auto Entry = std::find_if(Entries.begin(), Entries.end(), [&](const TProcessEntry& E) {
            return E.ProcessId == static_cast<std::uint32_t>(Children[I]);
        });
        ASSERT_NE(Entry, Entries.end());
        EXPECT_EQ(Entry->ExeFile, "sleep");
    }
    for (const pid_t Child : Children) {
        ::kill(Child, SIGKILL);
        ::waitpid(Child, nullptr, 0);
    }
}

TEST(LiveProcTest, TheHostNameIsTheSystems) {
    char Name[256] = {};
    ASSERT_EQ(::gethostname(Name, sizeof Name - 1), 0);
    EXPECT_EQ(CreateSystemProcessSource()->HostName(), Name);
}

}  // namespace
}  // namespace quorvane
