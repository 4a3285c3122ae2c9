// The process source over fake /proc trees: every odd case without depending
// on the processes of this machine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

#include "FakeProcRoot.h"
#include "probes/linux/LinuxProcessSource.h"

namespace quorvane {
namespace {

using testing::TFakeProcess;
using testing::TFakeProcRoot;
namespace fs = std::filesystem;

constexpr std::uint64_t kKernelThread = 0x00208040;

std::vector<TProcessEntry> Walk(IProcessSource& Source) {
    std::vector<TProcessEntry> Entries;
    Source.EnumerateProcesses([&](const TProcessEntry& Entry) { Entries.push_back(Entry); });
    return Entries;
}

TFakeProcess Process(std::uint32_t Id, std::uint32_t ParentId, std::string Comm) {
    TFakeProcess P;
    P.Id = Id;
    P.ParentId = ParentId;
    P.Comm = std::move(Comm);
    return P;
}

TFakeProcess KernelThread(std::uint32_t Id, std::uint32_t ParentId, std::string Comm) {
    TFakeProcess P = Process(Id, ParentId, std::move(Comm));
    P.Flags = kKernelThread;
    return P;
}

class FakeProcTest : public ::testing::Test {
protected:
    void SetUp() override { Fake.WriteSystemStat(1'700'000'000, 3); }
    TFakeProcRoot Fake;
};

TEST_F(FakeProcTest, WalkHandsOnProcessesInAscendingIdOrderAfterTheIdleTask) {
    // Created out of order; the child 10 names its parent 20, which comes later.
    Fake.Add(Process(20, 1, "parent"));
    Fake.Add(Process(10, 20, "child"));
    TFakeProcess Init = Process(1, 0, "init");
    Init.Threads = 4;
    Fake.Add(Init);
    Fake.Add(Process(300, 1, "big"));
    // Entries that are no process ids.
    fs::create_directories(Fake.Proc() / "sys");
    fs::create_directories(Fake.Proc() / "12a");
    fs::create_directories(Fake.Proc() / "99999999999");
    fs::create_symlink("1", Fake.Proc() / "self");

    TLinuxProcessSource Source(Fake.Proc().string());
    const std::vector<TProcessEntry> Entries = Walk(Source);
    ASSERT_EQ(Entries.size(), 5u);
    EXPECT_EQ(Entries[0].ExeFile, "[System Process]");
    EXPECT_EQ(Entries[0].ProcessId, 0u);
    EXPECT_EQ(Entries[0].ParentProcessId, 0u);
    EXPECT_EQ(Entries[0].Threads, 3);  // one per online processor
    const std::uint32_t Ids[] = {0, 1, 10, 20, 300};
    for (std::size_t I = 0; I < Entries.size(); ++I)
        EXPECT_EQ(Entries[I].ProcessId, Ids[I]);
    EXPECT_EQ(Entries[1].ExeFile, "init");
    EXPECT_EQ(Entries[1].Threads, 4);
    EXPECT_EQ(Entries[2].ExeFile, "child");
    EXPECT_EQ(Entries[2].ParentProcessId, 20u);  // handed on before its parent, not reordered
    EXPECT_EQ(Entries[3].ParentProcessId, 1u);
    EXPECT_TRUE(Source.EnableDebugPrivilege().empty());
}

TEST_F(FakeProcTest, KernelThreadsAreFoldedIntoSystem) {
    Fake.Add(Process(1, 0, "init"));
    Fake.Add(KernelThread(2, 0, "kthreadd"));
    Fake.Add(KernelThread(3, 2, "rcu_gp"));
    TFakeProcess Worker = KernelThread(7, 2, "kworker/0:1");
    Worker.Threads = 2;
    Fake.Add(Worker);
    Fake.Add(Process(8, 1, "daemon"));
    Fake.Add(KernelThread(9, 2, "ksoftirqd/0"));

    TLinuxProcessSource Source(Fake.Proc().string());
    const std::vector<TProcessEntry> Entries = Walk(Source);
    ASSERT_EQ(Entries.size(), 4u);
    EXPECT_EQ(Entries[2].ExeFile, "System");
    EXPECT_EQ(Entries[2].ProcessId, 2u);
    EXPECT_EQ(Entries[2].ParentProcessId, 0u);
    EXPECT_EQ(Entries[2].Threads, 1 + 1 + 2 + 1);  // also the threads of those after it
    EXPECT_EQ(Entries[3].ProcessId, 8u);
}

TEST_F(FakeProcTest, KernelThreadsWithoutTheirDaemonAreNotHandedOn) {
    // Id 2 is an ordinary process (as in a process namespace); a kernel thread elsewhere.
    Fake.Add(Process(2, 1, "shell"));
    Fake.Add(KernelThread(5, 0, "kworker"));
    const std::vector<TProcessEntry> Entries = Walk(*std::make_unique<TLinuxProcessSource>(Fake.Proc().string()));
    ASSERT_EQ(Entries.size(), 2u);
    EXPECT_EQ(Entries[1].ExeFile, "shell");
    EXPECT_EQ(Entries[1].ProcessId, 2u);
}

TEST_F(FakeProcTest, ProcessesThatEndDuringTheWalkOrAreUnreadableAreSkipped) {
    Fake.Add(Process(1, 0, "init"));
    TFakeProcess Gone = Process(50, 1, "gone");  // folder listed, its files already removed
    Gone.HasStat = false;
    Gone.HasStatus = false;
    Fake.Add(Gone);
    TFakeProcess Half = Process(51, 1, "half");  // ended between the folder's read and its stat
    Half.HasStat = false;
    Fake.Add(Half);
    Fake.Add(Process(52, 1, "alive"));
    // Malformed files are handled like a process that is gone.
    fs::create_directories(Fake.Proc() / "60");
    std::ofstream(Fake.Proc() / "60" / "stat") << "60 (cut) S 1 60";
    Fake.Add(Process(61, 1, "bad"));
    std::string BadParent = TFakeProcRoot::StatText(Process(61, 1, "bad"));
    BadParent.replace(BadParent.find(") S 1 ") + 4, 1, "x");
    std::ofstream(Fake.Proc() / "61" / "stat") << BadParent;

    const std::vector<TProcessEntry> Entries = Walk(*std::make_unique<TLinuxProcessSource>(Fake.Proc().string()));
    ASSERT_EQ(Entries.size(), 3u);
    EXPECT_EQ(Entries[1].ProcessId, 1u);
    EXPECT_EQ(Entries[2].ProcessId, 52u);
    EXPECT_EQ(Entries[2].ExeFile, "alive");
}

TEST_F(FakeProcTest, NoProcRootMeansNoEntriesAtAll) {
    TLinuxProcessSource Source((Fake.Proc() / "missing").string());
    EXPECT_TRUE(Walk(Source).empty());
}

TEST_F(FakeProcTest, NamesComeFromTheExeLinkThenArgvZeroThenStatus) {
    const std::string Long = Fake.AddFile("a-program-with-a-long-name");
    TFakeProcess FromExe = Process(11, 1, "a-program-with-");  // comm is cut to 15 characters
    FromExe.Exe = Long;
    FromExe.CommandLine = std::string("/other/argv0\0--flag\0", 20);
    Fake.Add(FromExe);

    TFakeProcess Deleted = Process(12, 1, "tool");
    Deleted.Exe = (Fake.Files() / "tool (deleted)").string();
    Fake.Add(Deleted);

    TFakeProcess FromArgv = Process(13, 1, "sixteen-charact");  // 15 characters
    FromArgv.CommandLine = std::string("/usr/sbin/sixteen-characters\0-d\0", 32);
    Fake.Add(FromArgv);

    TFakeProcess FromStatus = Process(14, 1, "zombie\nname");  // comm as stat has it: raw
    Fake.Add(FromStatus);

    TFakeProcess Spaces = Process(15, 1, "x");
    Spaces.CommandLine = std::string("postgres: checkpointer\0", 23);  // a rewritten argv[0]
    Fake.Add(Spaces);

    TFakeProcess NotUtf8 = Process(16, 1, "caf\xe9");
    NotUtf8.Exe = Fake.AddFile("caf\xe9-\xc3\xa4");
    Fake.Add(NotUtf8);

    TFakeProcess EmptyArgv = Process(17, 1, "fallback");
    EmptyArgv.CommandLine = std::string("\0", 1);
    Fake.Add(EmptyArgv);

    const std::vector<TProcessEntry> Entries = Walk(*std::make_unique<TLinuxProcessSource>(Fake.Proc().string()));
    ASSERT_EQ(Entries.size(), 8u);
    EXPECT_EQ(Entries[1].ExeFile, "a-program-with-a-long-name");
    EXPECT_EQ(Entries[2].ExeFile, "tool");
    EXPECT_EQ(Entries[3].ExeFile, "sixteen-characters");
    EXPECT_EQ(Entries[4].ExeFile, "zombie\nname");
    EXPECT_EQ(Entries[5].ExeFile, "postgres: checkpointer");
    // Bytes as they are: the outputs escape what is no UTF-8.
    EXPECT_EQ(Entries[6].ExeFile, "caf\xe9-\xc3\xa4");
    EXPECT_EQ(Entries[7].ExeFile, "fallback");
}

TEST_F(FakeProcTest, AReusedIdIsReadAnewOnEveryWalkAndQuery) {
    const std::string OldImage = Fake.AddFile("old");
    TFakeProcess Old = Process(30, 1, "old");
    Old.Exe = OldImage;
    Old.Maps = TFakeProcRoot::MapsLine(0x1000, 0x3000, OldImage);
    Fake.Add(Old);
    TLinuxProcessSource Source(Fake.Proc().string());
    ASSERT_EQ(Walk(Source).at(1).ExeFile, "old");

    // The id now belongs to another program, child of another parent.
    const std::string NewImage = Fake.AddFile("new");
    TFakeProcess New = Process(30, 40, "new");
    New.Exe = NewImage;
    New.Maps = TFakeProcRoot::MapsLine(0x1000, 0x9000, NewImage);
    Fake.Add(New);
    const std::vector<TProcessEntry> Entries = Walk(Source);
    EXPECT_EQ(Entries.at(1).ExeFile, "new");
    EXPECT_EQ(Entries.at(1).ParentProcessId, 40u);
    std::string Path, Remark;
    std::uint32_t Size = 0;
    ASSERT_TRUE(Source.QueryImageFile(30, Path, Size, Remark));
    EXPECT_EQ(Path, NewImage);
    EXPECT_EQ(Size, 0x8000u);
}

TEST_F(FakeProcTest, ImageSizeIsTheExtentOfTheImagesOwnMappings) {
    const std::string Image = Fake.AddFile("server");
    TFakeProcess P = Process(21, 1, "server");
    P.Exe = Image;
    P.Maps = TFakeProcRoot::MapsLine(0x555400000000, 0x555400001000, "/usr/lib/loader") +
             TFakeProcRoot::MapsLine(0x555500000000, 0x555500002000, Image) +
             "garbage line\n" + "zz-yy r-xp 0 08:01 1 " + Image + "\n" +  // malformed lines count for nothing
             TFakeProcRoot::MapsLine(0x555500002000, 0x555500010000, Image) +
             TFakeProcRoot::MapsLine(0x555500010000, 0x555500012000, Image) +
             TFakeProcRoot::MapsLine(0x555500012000, 0x555500013000, "") +  // anonymous: the run ends
             TFakeProcRoot::MapsLine(0x555500020000, 0x555500030000, "[heap]") +
             TFakeProcRoot::MapsLine(0x7f0000000000, 0x7f0000100000, Image + ".so") +  // same prefix
             TFakeProcRoot::MapsLine(0x7f1000000000, 0x7f1000100000, Image);  // the program maps its own file
    Fake.Add(P);

    TLinuxProcessSource Source(Fake.Proc().string());
    std::string Path = "old", Remark = "kept";
    std::uint32_t Size = 7;
    ASSERT_TRUE(Source.QueryImageFile(21, Path, Size, Remark));
    EXPECT_EQ(Path, Image);
    EXPECT_EQ(Size, 0x12000u);
    EXPECT_EQ(Remark, "kept");

    // Read in pieces: lines that cross the pieces, the image far down the file.
    TFakeProcess Far = Process(28, 1, "far");
    Far.Exe = Image;
    for (std::uint64_t I = 0; I < 300; ++I)
        Far.Maps +=
            TFakeProcRoot::MapsLine(0x1000 * I, 0x1000 * I + 0x800, "/usr/lib/" + std::string(I % 90, 'x') + ".so");
    Far.Maps += TFakeProcRoot::MapsLine(0x7000000, 0x7003000, Image) +
                TFakeProcRoot::MapsLine(0x7003000, 0x7004000, Image);
    Fake.Add(Far);
    ASSERT_TRUE(Source.QueryImageFile(28, Path, Size, Remark));
    EXPECT_EQ(Size, 0x4000u);

    // An image without mappings (its maps are empty) has size 0.
    TFakeProcess Unmapped = Process(22, 1, "unmapped");
    Unmapped.Exe = Image;
    Fake.Add(Unmapped);
    ASSERT_TRUE(Source.QueryImageFile(22, Path, Size, Remark));
    EXPECT_EQ(Size, 0u);
}

TEST_F(FakeProcTest, LoadedLibrariesComeFromTheSameReadOfTheMaps) {
    const std::string Image = Fake.AddFile("server");
    const std::string Here = Fake.AddFile("libhere.so");
    const std::string Replaced = Fake.AddFile("libreplaced.so");
    const std::string Elsewhere = Fake.AddFile("libelsewhere.so");
    struct stat Info;
    ASSERT_EQ(::stat(Here.c_str(), &Info), 0);
    char Identity[64];
    std::snprintf(Identity, sizeof Identity, " r-xp 0 %x:%x %llu ", major(Info.st_dev), minor(Info.st_dev),
                  static_cast<unsigned long long>(Info.st_ino));
    TFakeProcess P = Process(21, 1, "server");
    P.Exe = Image;
    P.Maps = TFakeProcRoot::MapsLine(0x1000, 0x3000, Image) +
             "3000-4000" + Identity + Here + "\n" +  // the file at its path
             TFakeProcRoot::MapsLine(0x4000, 0x5000, Replaced + " (deleted)") +
             TFakeProcRoot::MapsLine(0x5000, 0x6000, "/tmp/gone.so (deleted)") +
             TFakeProcRoot::MapsLine(0x6000, 0x7000, "/memfd:hook (deleted)") +
             TFakeProcRoot::MapsLine(0x7000, 0x8000, Elsewhere) +  // another file under the path
             TFakeProcRoot::MapsLine(0x8000, 0x9000, "/opt/libsystem.so") +
             TFakeProcRoot::MapsLine(0x9000, 0xa000, Image);
    P.Environment = std::string("HOME=/root\0LD_PRELOAD=libhere.so:/opt/libmissing.so\0", 48);
    Fake.Add(P);
    const std::string Preload = Fake.AddFile("ld.so.preload", "# all processes\n/opt/libsystem.so\n");

    TLinuxProcessSource Source(Fake.Proc().string(), Preload);
    std::string Path, Remark;
    std::uint32_t Size = 0;
    ASSERT_TRUE(Source.QueryImageFile(21, Path, Size, Remark));
    EXPECT_EQ(Size, 0x2000u);
    EXPECT_FALSE(Source.QueryModules(21).Listed) << "not wanted: no maps read for them";

    Source.ListModules(true);
    Walk(Source);
    ASSERT_TRUE(Source.QueryImageFile(21, Path, Size, Remark));
    EXPECT_EQ(Size, 0x2000u) << "the image's extent from the whole read";
    const TProcessModules Modules = Source.QueryModules(21);
    ASSERT_TRUE(Modules.Listed);
    const std::string Folder = Fake.Proc().string() + "/21/";
    const struct {
        std::string Path;
        TImageState State;
        std::string ContentPath;
        TPreload Preload;
    } Expected[] = {
        {Here, TImageState::Present, Here, TPreload::Environment},
        {Replaced, TImageState::Replaced, Folder + "map_files/4000-5000", TPreload::None},
        {"/tmp/gone.so", TImageState::Deleted, Folder + "map_files/5000-6000", TPreload::None},
        {"memfd:hook", TImageState::MemoryOnly, "", TPreload::None},
        {Elsewhere, TImageState::Present, Folder + "root" + Elsewhere, TPreload::None},
        {"/opt/libsystem.so", TImageState::Present, Folder + "root/opt/libsystem.so", TPreload::SystemFile},
    };
    ASSERT_EQ(Modules.Modules.size(), std::size(Expected));
    for (std::size_t I = 0; I < std::size(Expected); ++I) {
        SCOPED_TRACE(I);
        EXPECT_EQ(Modules.Modules[I].Path, Expected[I].Path);
        EXPECT_EQ(Modules.Modules[I].State, Expected[I].State);
        EXPECT_EQ(Modules.Modules[I].ContentPath, Expected[I].ContentPath);
        EXPECT_EQ(Modules.Modules[I].Preload, Expected[I].Preload);
    }

    // Asked without the image query before it (the windows' late listing),
    // the maps are read for the libraries alone, and the program they belong
    // to is named as the image query names it; a process without maps says why.
    EXPECT_TRUE(Modules.ImagePath.empty()) << "the image query named it";
    EXPECT_EQ(Source.QueryModules(21).Modules.size(), std::size(Expected));
    for (const std::string& Target : {Image, Image + " (deleted)", std::string("/memfd:server (deleted)")}) {
        SCOPED_TRACE(Target);
        P.Exe = Target;
        Fake.Add(P);
        Walk(Source);
        ASSERT_TRUE(Source.QueryImageFile(21, Path, Size, Remark));
        Source.QueryModules(21);  // the libraries of that image query
        EXPECT_EQ(Source.QueryModules(21).ImagePath, Path);
    }
    TFakeProcess Unmapped = Process(22, 1, "unmapped");
    Unmapped.Exe = Image;
    Unmapped.HasMaps = false;
    Fake.Add(Unmapped);
    const TProcessModules None = Source.QueryModules(22);
    EXPECT_FALSE(None.Listed);
    EXPECT_EQ(None.Problem, "No such file or directory");
}

TEST_F(FakeProcTest, AnUnreadableExeLinkGivesTheSystemsMessage) {
    TFakeProcess Kernel = KernelThread(2, 0, "kthreadd");  // no exe link at all
    Fake.Add(Kernel);
    TFakeProcess NoLink = Process(23, 1, "odd");
    Fake.Add(NoLink);
    std::ofstream(Fake.Proc() / "23" / "exe") << "a file, not a link";

    TLinuxProcessSource Source(Fake.Proc().string());
    std::string Path = "before", Remark;
    std::uint32_t Size = 9;
    EXPECT_FALSE(Source.QueryImageFile(2, Path, Size, Remark));
    EXPECT_EQ(Remark, "No such file or directory");
    EXPECT_FALSE(Source.QueryImageFile(23, Path, Size, Remark));
    EXPECT_EQ(Remark, "Invalid argument");
    EXPECT_FALSE(Source.QueryImageFile(404, Path, Size, Remark));  // ended before the query
    EXPECT_EQ(Remark, "No such file or directory");
    EXPECT_EQ(Path, "before");
    EXPECT_EQ(Size, 9u);
}

TEST_F(FakeProcTest, AnExeLinkOfAnotherAccountIsRefused) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    const std::string Image = Fake.AddFile("theirs");
    TFakeProcess P = Process(24, 1, "theirs");
    P.Exe = Image;
    Fake.Add(P);
    fs::permissions(Fake.Proc() / "24", fs::perms::none);
    TLinuxProcessSource Source(Fake.Proc().string());
    std::string Path, Remark;
    std::uint32_t Size = 0;
    EXPECT_FALSE(Source.QueryImageFile(24, Path, Size, Remark));
    EXPECT_EQ(Remark, "Permission denied");
}

TEST_F(FakeProcTest, UnreadableMapsFailWithoutWritingAnything) {
    const std::string Image = Fake.AddFile("nomaps");
    TFakeProcess P = Process(25, 1, "nomaps");
    P.Exe = Image;
    P.HasMaps = false;
    Fake.Add(P);
    TLinuxProcessSource Source(Fake.Proc().string());
    std::string Path = "before", Remark = "unchanged";
    std::uint32_t Size = 5;
    EXPECT_FALSE(Source.QueryImageFile(25, Path, Size, Remark));
    EXPECT_EQ(Path, "before");
    EXPECT_EQ(Size, 5u);
    EXPECT_EQ(Remark, "unchanged");
}

TEST_F(FakeProcTest, ADeletedImageShowsItsFolderAndIsReadThroughTheLink) {
    // The image was replaced: a new file now has the old name.
    const std::string NewFile = Fake.AddFile("daemon");
    const std::string Deleted = NewFile + " (deleted)";
    TFakeProcess P = Process(26, 1, "daemon");
    P.Exe = Deleted;
    P.Maps = TFakeProcRoot::MapsLine(0x10000, 0x14000, Deleted) + TFakeProcRoot::MapsLine(0x20000, 0x21000, NewFile);
    Fake.Add(P);
    // A file whose name really ends in " (deleted)" and is the running image.
    const std::string Literal = Fake.AddFile("odd (deleted)");
    TFakeProcess Q = Process(27, 1, "odd");
    Q.Exe = Literal;
    Q.Maps = TFakeProcRoot::MapsLine(0x10000, 0x12000, Literal);
    Fake.Add(Q);
    // Deleted, with nothing at its path now.
    TFakeProcess R = Process(28, 1, "gone");
    R.Exe = (Fake.Files() / "gone (deleted)").string();
    R.Maps = TFakeProcRoot::MapsLine(0x10000, 0x11000, *R.Exe);
    Fake.Add(R);

    TLinuxProcessSource Source(Fake.Proc().string());
    std::string Path, Remark;
    std::uint32_t Size = 0;
    ASSERT_TRUE(Source.QueryImageFile(26, Path, Size, Remark));
    EXPECT_EQ(Path, NewFile);
    EXPECT_EQ(Size, 0x4000u);  // only the mappings of the deleted image
    TImageOrigin Origin = Source.LastImageOrigin();
    EXPECT_EQ(Origin.State, TImageState::Replaced);
    EXPECT_EQ(Origin.ContentPath, (Fake.Proc() / "26" / "exe").string());

    ASSERT_TRUE(Source.QueryImageFile(27, Path, Size, Remark));
    EXPECT_EQ(Path, Literal);
    EXPECT_EQ(Size, 0x2000u);
    Origin = Source.LastImageOrigin();
    EXPECT_EQ(Origin.State, TImageState::Present);
    EXPECT_EQ(Origin.ContentPath, "");

    ASSERT_TRUE(Source.QueryImageFile(28, Path, Size, Remark));
    EXPECT_EQ(Path, (Fake.Files() / "gone").string());
    EXPECT_EQ(Source.LastImageOrigin().State, TImageState::Deleted);
}

// Times are shown in UTC and the C locale here, so the texts are fixed.
class FakeProcTimesTest : public FakeProcTest {
protected:
    void SetUp() override {
        FakeProcTest::SetUp();
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        Ticks = ::sysconf(_SC_CLK_TCK);
    }
    long Ticks = 100;
};

TEST_F(FakeProcTimesTest, StartKernelAndCpuTimeComeFromStatAndTheBootTime) {
    // Boot 2023-11-14 22:13:20 UTC; started 123.45 s later.
    TFakeProcess P = Process(31, 1, "(we) ird) name");  // blanks and parentheses in comm
    P.StartTicks = 123 * Ticks + Ticks * 45 / 100;
    P.SystemTicks = 90 * 60 * Ticks;  // 1 h 30 min
    P.UserTicks = 45 * 60 * Ticks + Ticks / 2;  // 45 min 0.5 s
    P.Nice = 5;
    Fake.Add(P);
    TFakeProcess Long = Process(32, 1, "long");
    Long.SystemTicks = 23 * 3600 * Ticks;
    Long.UserTicks = 2 * 3600 * Ticks;
    Long.StartTicks = (3600 + 46 * 60 + 40) * Ticks;  // 2023-11-15 00:00:00: midnight
    Fake.Add(Long);

    TLinuxProcessSource Source(Fake.Proc().string());
    std::string Start, Kernel, Cpu, Remark = "kept";
    std::uint32_t Class = 0;
    ASSERT_TRUE(Source.QueryProcessTimes(31, Start, Kernel, Cpu, Class, Remark));
    EXPECT_EQ(Start, "11/14/23 22:15:23");
    EXPECT_EQ(Kernel, "01:30:00.000");
    EXPECT_EQ(Cpu, "02:15:00.500");
    EXPECT_EQ(Class, 16384u);
    EXPECT_EQ(Remark, "kept");
    // The same as numbers, the start to the tick.
    TProcessTimes Times = Source.LastProcessTimes();
    EXPECT_EQ(Times.StartUtc, 133'444'737'234'500'000u);  // 2023-11-14 22:15:23.450 UTC
    EXPECT_EQ(Times.Kernel, 54'000'000'000u);
    EXPECT_EQ(Times.Cpu, 81'005'000'000u);

    ASSERT_TRUE(Source.QueryProcessTimes(32, Start, Kernel, Cpu, Class, Remark));
    EXPECT_EQ(Start, "11/15/23");  // the date alone at midnight
    EXPECT_EQ(Kernel, "23:00:00.000");
    EXPECT_EQ(Cpu, "01:00:00.000");  // modulo 24 hours
    EXPECT_EQ(Class, 32u);
    Times = Source.LastProcessTimes();
    EXPECT_EQ(Times.Cpu, 900'000'000'000u);  // 25 hours: numbers are not cut

    // A failed query leaves no numbers of the one before.
    EXPECT_FALSE(Source.QueryProcessTimes(404, Start, Kernel, Cpu, Class, Remark));
    Times = Source.LastProcessTimes();
    EXPECT_FALSE(Times.StartUtc || Times.Kernel || Times.Cpu);
}

// The queries after a walk take what it read, each once: name, image and times
// then come from one reading of the process. A query repeated, or one for a
// process the walk did not hand on, reads the files anew. A process that runs
// another program since the walk, or has ended, has no image of the name the
// walk gave it.
TEST_F(FakeProcTimesTest, QueriesTakeTheWalksReadsOnceAndThenReadAnew) {
    const std::string First = Fake.AddFile("first");
    TFakeProcess P = Process(30, 1, "first");
    P.Exe = First;
    P.Maps = TFakeProcRoot::MapsLine(0x1000, 0x3000, First);
    P.SystemTicks = 2 * Ticks;
    Fake.Add(P);
    const std::string Neighbour = Fake.AddFile("neighbour");
    TFakeProcess N = Process(29, 1, "neighbour");
    N.Exe = Neighbour;
    N.Maps = TFakeProcRoot::MapsLine(0x1000, 0x2000, Neighbour);
    N.SystemTicks = 5 * Ticks;
    Fake.Add(N);
    TFakeProcess Ended = N;
    Ended.Id = 28;
    Fake.Add(Ended);
    TLinuxProcessSource Source(Fake.Proc().string());
    ASSERT_EQ(Walk(Source).at(3).ExeFile, "first");

    // The process runs another program since (as after an exec).
    const std::string Second = Fake.AddFile("second");
    P.Exe = Second;
    P.Maps = TFakeProcRoot::MapsLine(0x1000, 0x5000, Second);
    P.SystemTicks = 7 * Ticks;
    Fake.Add(P);
    TFakeProcess Unwalked = Process(31, 1, "unwalked");
    Unwalked.SystemTicks = 3 * Ticks;
    Fake.Add(Unwalked);
    // A zombie: stat stays, the exe link and the mappings are gone.
    Ended.Exe.reset();
    Ended.Maps.clear();
    Fake.Add(Ended);

    std::string Path = "kept", Remark, Start, Kernel, Cpu;
    std::uint32_t Size = 7, Class = 0;
    EXPECT_FALSE(Source.QueryImageFile(28, Path, Size, Remark));
    EXPECT_EQ(Remark, "No such file or directory");
    EXPECT_FALSE(Source.QueryImageFile(30, Path, Size, Remark));
    EXPECT_EQ(Remark, "Der Prozess führt inzwischen ein anderes Programm aus");
    EXPECT_EQ(Path, "kept");
    EXPECT_EQ(Size, 7u);
    ASSERT_TRUE(Source.QueryProcessTimes(30, Start, Kernel, Cpu, Class, Remark));
    EXPECT_EQ(Kernel, "00:00:02.000");
    ASSERT_TRUE(Source.QueryImageFile(29, Path, Size, Remark));  // each process its own reads
    EXPECT_EQ(Path, Neighbour);
    EXPECT_EQ(Size, 0x1000u);
    ASSERT_TRUE(Source.QueryProcessTimes(29, Start, Kernel, Cpu, Class, Remark));
    EXPECT_EQ(Kernel, "00:00:05.000");

    ASSERT_TRUE(Source.QueryImageFile(30, Path, Size, Remark));
    EXPECT_EQ(Path, Second);
    EXPECT_EQ(Size, 0x4000u);
    ASSERT_TRUE(Source.QueryProcessTimes(30, Start, Kernel, Cpu, Class, Remark));
    EXPECT_EQ(Kernel, "00:00:07.000");
    ASSERT_TRUE(Source.QueryProcessTimes(31, Start, Kernel, Cpu, Class, Remark));
    EXPECT_EQ(Kernel, "00:00:03.000");

    // The next walk reads everything again.
    P.SystemTicks = 9 * Ticks;
    Fake.Add(P);
    ASSERT_EQ(Walk(Source).at(3).ExeFile, "second");
    ASSERT_TRUE(Source.QueryProcessTimes(30, Start, Kernel, Cpu, Class, Remark));
    EXPECT_EQ(Kernel, "00:00:09.000");
}

TEST_F(FakeProcTimesTest, PriorityClassFollowsPolicyAndNice) {
    struct TCase {
        std::uint32_t Policy;
        std::int64_t Nice;
        std::uint32_t Class;
    };
    const TCase Cases[] = {
        {1, 0, 256},     {2, 10, 256},     {5, 0, 64},     {5, -20, 64},  // FIFO, RR, IDLE
        {0, -20, 128},   {0, -10, 128},    {0, -9, 32768}, {0, -1, 32768}, {0, 0, 32},
        {0, 1, 16384},   {0, 9, 16384},    {0, 10, 64},    {0, 19, 64},
        {3, -15, 128},   {3, 0, 32},       {3, 12, 64},  // BATCH by nice
    };
    TLinuxProcessSource Source(Fake.Proc().string());
    std::uint32_t Id = 100;
    for (const TCase& Case : Cases) {
        TFakeProcess P = Process(Id, 1, "p");
        P.Policy = Case.Policy;
        P.Nice = Case.Nice;
        Fake.Add(P);
        std::string Start, Kernel, Cpu, Remark;
        std::uint32_t Class = 0;
        ASSERT_TRUE(Source.QueryProcessTimes(Id, Start, Kernel, Cpu, Class, Remark));
        EXPECT_EQ(Class, Case.Class) << "policy " << Case.Policy << ", nice " << Case.Nice;
        ++Id;
    }
}

TEST_F(FakeProcTimesTest, FailuresWriteOnlyWhatTheirStepAllows) {
    TLinuxProcessSource Source(Fake.Proc().string());
    std::string Start = "s", Kernel = "k", Cpu = "c", Remark;
    std::uint32_t Class = 7;
    // The process has ended: the first step fails with the system's message.
    EXPECT_FALSE(Source.QueryProcessTimes(404, Start, Kernel, Cpu, Class, Remark));
    EXPECT_EQ(Remark, "No such file or directory");

    // A malformed stat: nothing written, the remark stays.
    fs::create_directories(Fake.Proc() / "33");
    std::ofstream(Fake.Proc() / "33" / "stat") << "33 (x) S 1 2 3 4 5 abc";
    Remark = "kept";
    EXPECT_FALSE(Source.QueryProcessTimes(33, Start, Kernel, Cpu, Class, Remark));
    EXPECT_EQ(Remark, "kept");
    EXPECT_EQ(Start, "s");
    EXPECT_EQ(Kernel, "k");
    EXPECT_EQ(Cpu, "c");
    EXPECT_EQ(Class, 7u);
}

TEST_F(FakeProcTimesTest, WithoutABootTimeNothingIsWritten) {
    std::ofstream(Fake.Proc() / "stat") << "cpu 1 2 3\ncpu0 1 2 3\n";
    Fake.Add(Process(34, 1, "p"));
    TLinuxProcessSource Source(Fake.Proc().string());
    std::string Start = "s", Kernel = "k", Cpu = "c", Remark = "kept";
    std::uint32_t Class = 7;
    EXPECT_FALSE(Source.QueryProcessTimes(34, Start, Kernel, Cpu, Class, Remark));
    EXPECT_EQ(Start, "s");
    EXPECT_EQ(Class, 7u);
    EXPECT_EQ(Remark, "kept");
}

}  // namespace
}  // namespace quorvane
