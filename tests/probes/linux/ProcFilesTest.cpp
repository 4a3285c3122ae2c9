// The /proc parsers on malformed and truncated text.
#include <gtest/gtest.h>

#include "FakeProcRoot.h"
#include "probes/Probes.h"
#include "probes/linux/ProcFiles.h"

namespace quorvane {
namespace {

using namespace proc;

TEST(ProcStatTest, FieldsAreCountedFromTheLastParenthesis) {
    testing::TFakeProcess P;
    P.Id = 77;
    P.ParentId = 4242;
    P.Threads = 12;
    P.Comm = ") 1 2 3 (x) ";
    P.Flags = 0x200000;
    P.UserTicks = 11;
    P.SystemTicks = 22;
    P.Nice = -7;
    P.StartTicks = 33;
    P.Policy = 2;
    TStatFields Fields;
    ASSERT_TRUE(ParseStat(testing::TFakeProcRoot::StatText(P), Fields));
    EXPECT_EQ(Fields.Name, ") 1 2 3 (x) ");
    EXPECT_EQ(Fields.ParentId, 4242u);
    EXPECT_EQ(Fields.Threads, 12);
    EXPECT_EQ(Fields.Flags, 0x200000u);
    EXPECT_EQ(Fields.UserTicks, 11u);
    EXPECT_EQ(Fields.SystemTicks, 22u);
    EXPECT_EQ(Fields.Nice, -7);
    EXPECT_EQ(Fields.StartTicks, 33u);
    EXPECT_EQ(Fields.Policy, 2u);
}

TEST(ProcStatTest, EveryCutBeforeTheStartTimeFails) {
    testing::TFakeProcess P;
    P.Id = 5;
    P.StartTicks = 123456;
    const std::string Text = testing::TFakeProcRoot::StatText(P);
    const std::size_t StartEnd = Text.find("123456") + 6;
    TStatFields Fields;
    for (std::size_t Length = 0; Length < StartEnd - 6; ++Length)
        EXPECT_FALSE(ParseStat(std::string_view(Text).substr(0, Length), Fields)) << Length;
    // Cut after the start time, before the policy: an older kernel's line.
    ASSERT_TRUE(ParseStat(std::string_view(Text).substr(0, StartEnd), Fields));
    EXPECT_EQ(Fields.StartTicks, 123456u);
    EXPECT_EQ(Fields.Policy, 0u);
}

TEST(ProcStatTest, MalformedNumbersFail) {
    testing::TFakeProcess P;
    std::string Text = testing::TFakeProcRoot::StatText(P);
    TStatFields Fields;
    for (const char* Bad : {"-5", "5x", "99999999999999999999999"}) {
        std::string Broken = Text;
        // Field 14 (utime) is the 12th after the parenthesis.
        std::size_t At = Broken.rfind(')') + 2;
        for (int I = 3; I < 14; ++I)
            At = Broken.find(' ', At) + 1;
        Broken.replace(At, Broken.find(' ', At) - At, Bad);
        EXPECT_FALSE(ParseStat(Broken, Fields)) << Bad;
    }
    EXPECT_FALSE(ParseStat("no parenthesis at all 1 2 3", Fields));
    // A thread count below zero, a parent id beyond 32 bits.
    testing::TFakeProcess Odd;
    Odd.Threads = -1;
    EXPECT_FALSE(ParseStat(testing::TFakeProcRoot::StatText(Odd), Fields));
    std::string Wide = testing::TFakeProcRoot::StatText(P);
    Wide.replace(Wide.find(") S 1 ") + 4, 1, "4294967296");
    EXPECT_FALSE(ParseStat(Wide, Fields));
}

TEST(ProcSystemStatTest, BootTimeAndOnlineProcessors) {
    EXPECT_EQ(BootTime("cpu 1\ncpu0 1\ncpu1 1\nbtime 1700000000\n"), 1700000000u);
    EXPECT_FALSE(BootTime("cpu 1\nbtime\nbtime x1\n"));
    EXPECT_FALSE(BootTime("xbtime 5\n"));
    EXPECT_EQ(OnlineProcessors("cpu 1\ncpu0 1\ncpu3 1\ncpux 2\nintr 5\n"), 2);
    EXPECT_EQ(OnlineProcessors(""), 0);
}

TEST(ProcMapsTest, MalformedLinesAreIgnored) {
    const std::string Path = "/usr/bin/with space\nand break";
    const std::string Maps = "1000-3000 r-xp 0 08:01 5        /usr/bin/with space\\012and break\n"
                             "3000-2000 r-xp 0 08:01 5 /usr/bin/with space\\012and break\n"  // end before start
                             "-5000 r-xp 0 08:01 5 /usr/bin/with space\\012and break\n"
                             "9000-a000 r-xp 0 08:01\n"
                             "4000-5000";
    EXPECT_EQ(MappingExtent(Maps, Path), 0x2000u);
    EXPECT_EQ(MappingExtent(Maps, "/usr/bin/with"), 0u);
    EXPECT_EQ(MappingExtent("", Path), 0u);

    // Fed line by line, the extent is done at the first other mapping after the image.
    TMappingExtent Extent(Path);
    EXPECT_TRUE(Extent.Feed("0-1000 r--p 0 08:01 7 /lib/ld.so"));
    EXPECT_TRUE(Extent.Feed("1000-2000 r--p 0 08:01 5 /usr/bin/with space\\012and break"));
    EXPECT_TRUE(Extent.Feed("2000-2800 r--p 0 08:01 5 /usr/bin/with space\\012and break"));
    EXPECT_FALSE(Extent.Feed("3000-4000 rw-p 0 00:00 0"));
    EXPECT_FALSE(Extent.Feed("4000-5000 r--p 0 08:01 5 /usr/bin/with space\\012and break"));
    EXPECT_EQ(Extent.Extent(), 0x1800u);
    EXPECT_FALSE(Extent.FirstFileMapped());  // ld.so came first

    // Mappings without a file before the image do not count.
    TMappingExtent First(Path);
    First.Feed("0-1000 rw-p 0 00:00 0");
    First.Feed("1000-2000 r--p 0 08:01 5 /usr/bin/with space\\012and break");
    EXPECT_TRUE(First.FirstFileMapped());
    EXPECT_FALSE(TMappingExtent(Path).FirstFileMapped());  // no image at all
}

TEST(ProcMapsTest, TheImagesFileIdentityIsThatOfItsFirstMapping) {
    std::uint32_t Major = 0, Minor = 0;
    std::uint64_t Inode = 0;
    TMappingExtent Extent("/usr/bin/prog");
    EXPECT_FALSE(Extent.FileIdentity(Major, Minor, Inode));  // nothing fed yet
    Extent.Feed("0-1000 r--p 0 08:01 7 /lib/ld.so");
    Extent.Feed("1000-2000 r--p 0 fd:1a 1234567890123 /usr/bin/prog");
    Extent.Feed("2000-3000 r-xp 1000 08:02 99 /usr/bin/prog");
    ASSERT_TRUE(Extent.FileIdentity(Major, Minor, Inode));
    EXPECT_EQ(Major, 0xfdu);  // hexadecimal, as the kernel writes them
    EXPECT_EQ(Minor, 0x1au);
    EXPECT_EQ(Inode, 1234567890123u);  // decimal

    // A damaged device or inode gives no identity, and the extent stays.
    for (const char* Line : {"1000-2000 r--p 0 fd1a 5 /usr/bin/prog", "1000-2000 r--p 0 fd:zz 5 /usr/bin/prog",
                             "1000-2000 r--p 0 fd:1 -5 /usr/bin/prog", "1000-2000 r--p 0 :1 5 /usr/bin/prog"}) {
        TMappingExtent Damaged("/usr/bin/prog");
        Damaged.Feed(Line);
        EXPECT_FALSE(Damaged.FileIdentity(Major, Minor, Inode)) << Line;
        EXPECT_EQ(Damaged.Extent(), 0x1000u) << Line;
    }
}

TEST(ProcMapsTest, LibrariesAreTheOtherFilesMappedExecutableEachOnce) {
    TExecutableMappings Mappings("/usr/bin/prog");
    for (const char* Line : {
             "1000-2000 r-xp 0 08:01 5 /usr/bin/prog",  // the image
             "2000-3000 r--p 0 08:01 7 /usr/lib/libc.so.6",  // not executable
             "3000-4000 r-xp 1000 08:01 7 /usr/lib/libc.so.6",
             "4000-5000 r-xp 2000 08:01 7 /usr/lib/libc.so.6",  // the same file again
             "5000-6000 r-xp 0 00:00 0 ",  // anonymous
             "6000-7000 r-xp 0 00:00 0 [vdso]",
             "7000-8000 r-xp 0 00:01 1025 /memfd:hook (deleted)",
             "8000-9000 r-xp 0 08:01 9 /tmp/with\\012break.so",
             "9000-a000 r-xp 0 08:01 10 /tmp/old.so (deleted)",
             "a000-b000 r-xp 0 08:02 7 /usr/lib/libc.so.6",  // same path, another file (another mount)
             "b000-c000 r-xp 0 zz:01 11 /tmp/damaged.so",
             "c000-b000 r-xp 0 08:01 12 /tmp/backwards.so",
             "d000-e000 r-xp 0 08:01",
         })
        Mappings.Feed(Line);
    const std::vector<TMappedFile>& Files = Mappings.Files();
    ASSERT_EQ(Files.size(), 5u);
    const struct {
        const char* Path;
        std::uint32_t Minor;
        std::uint64_t Inode, Start, End;
    } Expected[] = {
        {"/usr/lib/libc.so.6", 1, 7, 0x3000, 0x4000},
        {"/memfd:hook (deleted)", 1, 1025, 0x7000, 0x8000},
        {"/tmp/with\nbreak.so", 1, 9, 0x8000, 0x9000},
        {"/tmp/old.so (deleted)", 1, 10, 0x9000, 0xa000},
        {"/usr/lib/libc.so.6", 2, 7, 0xa000, 0xb000},
    };
    for (std::size_t I = 0; I < Files.size(); ++I) {
        SCOPED_TRACE(I);
        EXPECT_EQ(Files[I].Path, Expected[I].Path);
        EXPECT_EQ(Files[I].Minor, Expected[I].Minor);
        EXPECT_EQ(Files[I].Inode, Expected[I].Inode);
        EXPECT_EQ(Files[I].Start, Expected[I].Start);
        EXPECT_EQ(Files[I].End, Expected[I].End);
    }
}

TEST(PreloadTest, ListsAreSplitAsTheLoaderSplitsThem) {
    using TList = std::vector<std::string>;
    EXPECT_EQ(PreloadList(" /opt/a.so:/opt/b.so  libc.so\t::", false), (TList{"/opt/a.so", "/opt/b.so", "libc.so"}));
    EXPECT_EQ(PreloadList("", false), TList{});
    // The file may hold comments; the variable may not.
    EXPECT_EQ(PreloadList("# hooks\n/opt/a.so # the first\n\n/opt/b#.so", true), (TList{"/opt/a.so", "/opt/b"}));
    EXPECT_EQ(PreloadList("/opt/b#.so", false), TList{"/opt/b#.so"});

    using namespace std::string_literals;
    EXPECT_EQ(PreloadVariable("HOME=/root\0LD_PRELOAD=/opt/a.so\0PATH=/bin\0"s), "/opt/a.so");
    EXPECT_EQ(PreloadVariable("XLD_PRELOAD=/opt/a.so\0LD_PRELOADX=1\0"s), "");
    EXPECT_EQ(PreloadVariable("LD_PRELOAD="s), "");  // cut off, without its NUL
    EXPECT_EQ(PreloadVariable(""), "");

    EXPECT_TRUE(NamesLibrary({"libhook.so", ""}, "/usr/lib/libhook.so"));
    EXPECT_TRUE(NamesLibrary({"/opt/link.so", "/opt/real/hook.so"}, "/opt/real/hook.so"));
    EXPECT_TRUE(NamesLibrary({"/opt/hook.so", ""}, "/opt/hook.so"));
    EXPECT_FALSE(NamesLibrary({"/opt/hook.so", ""}, "/usr/lib/hook.so"));
    EXPECT_FALSE(NamesLibrary({"hook.so", ""}, "/usr/lib/libhook.so"));
}

TEST(ImageOriginTest, WhatTheExeLinkSaysAboutTheRunningImage) {
    const auto Exists = [](const std::string& Path) { return Path == "/usr/bin/updated"; };
    struct TCase {
        const char* Target;
        bool TargetIsImage;
        TImageState State;
        const char* ImagePath;
    };
    const TCase Cases[] = {
        {"/usr/bin/tool", true, TImageState::Present, "/usr/bin/tool"},
        // A real file whose name ends in " (deleted)" and is the running image.
        {"/opt/odd (deleted)", true, TImageState::Present, "/opt/odd (deleted)"},
        {"/usr/bin/gone (deleted)", false, TImageState::Deleted, "/usr/bin/gone"},
        {"/usr/bin/updated (deleted)", false, TImageState::Replaced, "/usr/bin/updated"},
        // Another file under the name, the image's file still linked elsewhere (a bind mount).
        {"/usr/bin/updated", false, TImageState::Replaced, "/usr/bin/updated"},
        {"/usr/bin/elsewhere", false, TImageState::Deleted, "/usr/bin/elsewhere"},
        {"/memfd:runner (deleted)", false, TImageState::MemoryOnly, "memfd:runner"},
        {"anon_inode:[x]", false, TImageState::MemoryOnly, "anon_inode:[x]"},
        {" (deleted)", false, TImageState::MemoryOnly, " (deleted)"},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Target);
        const TImageOrigin Origin = ImageOriginOf(Case.Target, Case.TargetIsImage, Exists);
        EXPECT_EQ(Origin.State, Case.State);
        EXPECT_EQ(ImagePathOf(Case.Target, Origin.State), Case.ImagePath);
    }
}

TEST(SystemErrorTextTest, TrimmedMessagesAndNoneForUnknownNumbers) {
    EXPECT_EQ(SystemErrorText(13), "Permission denied");
    EXPECT_EQ(SystemErrorText(2), "No such file or directory");
    EXPECT_EQ(SystemErrorText(99999), "");
    EXPECT_EQ(SystemErrorText(0xFFFFFFFFu), "");
}

}  // namespace
}  // namespace quorvane
