// Process icons into both image lists.
#include "probes/win32/ShellIcons.h"
#include "tests/probes/win32/ProbeFixture.h"

namespace quorvane::win32::testing {
namespace {

struct TIconLog {
    UINT Flags = 0;
    UINT InfoSize = 0;
    int Destroyed = 0;
    bool NoIcon = false;
};

TIconLog& IconLog() {
    static TIconLog Log;
    return Log;
}

DWORD_PTR WINAPI RecordingShellInfo(LPCSTR Path, DWORD Attributes, SHFILEINFOA* Info, UINT Size, UINT Flags) {
    IconLog().Flags = Flags;
    IconLog().InfoSize = Size;
    if (IconLog().NoIcon)
        return 0;
    return ::SHGetFileInfoA(Path, Attributes, Info, Size, Flags);
}

BOOL WINAPI CountingDestroyIcon(HICON Icon) {
    ++IconLog().Destroyed;
    return ::DestroyIcon(Icon);
}

class ShellIconTest : public ProbeTest {
protected:
    void SetUp() override {
        ProbeTest::SetUp();
        IconLog() = TIconLog();
        Win32Calls().SHGetFileInfoA = RecordingShellInfo;
        Win32Calls().DestroyIcon = CountingDestroyIcon;
        FSmall = ::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
        FLarge = ::ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 4, 4);
        ASSERT_TRUE(FSmall && FLarge);
        // The two fixed images: file not determined, kernel.
        const HICON Standard = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
        for (int I = 0; I < 2; ++I) {
            ::ImageList_AddIcon(FSmall, Standard);
            ::ImageList_AddIcon(FLarge, Standard);
        }
    }
    void TearDown() override {
        ::ImageList_Destroy(FSmall);
        ::ImageList_Destroy(FLarge);
        ProbeTest::TearDown();
    }

    HIMAGELIST FSmall = nullptr;
    HIMAGELIST FLarge = nullptr;
};

TEST_F(ShellIconTest, AnIconGoesIntoBothListsAtTheSameIndex) {
    TShellIconSink Sink(FSmall, FLarge);
    EXPECT_EQ(2, Sink.AddProcessIcon(OwnExecutablePath()));
    EXPECT_EQ(3, Sink.AddProcessIcon(OwnExecutablePath()));
    EXPECT_EQ(4, ::ImageList_GetImageCount(FSmall));
    EXPECT_EQ(4, ::ImageList_GetImageCount(FLarge));
    EXPECT_EQ(static_cast<UINT>(SHGFI_ICON), IconLog().Flags);
    EXPECT_EQ(sizeof(SHFILEINFOA), IconLog().InfoSize);
    EXPECT_EQ(2, IconLog().Destroyed);  // the shell's icon handle is not kept
}

TEST_F(ShellIconTest, WithoutAShellIconTheFileShowsImageZero) {
    IconLog().NoIcon = true;
    TShellIconSink Sink(FSmall, FLarge);
    EXPECT_EQ(0, Sink.AddProcessIcon(OwnExecutablePath()));
    EXPECT_EQ(2, ::ImageList_GetImageCount(FSmall));
    EXPECT_EQ(2, ::ImageList_GetImageCount(FLarge));
    EXPECT_EQ(0, IconLog().Destroyed);
}

TEST_F(ShellIconTest, AListThatRefusesTheIconKeepsBothAligned) {
    Win32Calls().ImageList_ReplaceIcon = [](HIMAGELIST List, int Index, HICON Icon) -> int {
        static int Calls = 0;
        // Every second call (the large list's) fails.
        return ++Calls % 2 == 0 ? -1 : ::ImageList_ReplaceIcon(List, Index, Icon);
    };
    TShellIconSink Sink(FSmall, FLarge);
    EXPECT_EQ(0, Sink.AddProcessIcon(OwnExecutablePath()));
    EXPECT_EQ(2, ::ImageList_GetImageCount(FSmall));
    EXPECT_EQ(2, ::ImageList_GetImageCount(FLarge));
    EXPECT_EQ(1, IconLog().Destroyed);
}

}  // namespace
}  // namespace quorvane::win32::testing
