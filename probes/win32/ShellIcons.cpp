#include "probes/win32/ShellIcons.h"

#include <shellapi.h>

#include "probes/win32/Win32Calls.h"

namespace quorvane::win32 {

int TShellIconSink::AddProcessIcon(const std::string& FilePath) {
    TWin32Calls& Calls = Win32Calls();
    SHFILEINFOA Info{};
    // SHGFI_ICON alone: the shell's large icon; each list scales it to its own size.
    Calls.SHGetFileInfoA(FilePath.c_str(), 0, &Info, sizeof Info, SHGFI_ICON);
    if (!Info.hIcon)
        return 0;
    int Index = Calls.ImageList_ReplaceIcon(FImageList, -1, Info.hIcon);
    if (Index >= 0 && Calls.ImageList_ReplaceIcon(FImageListLarge, -1, Info.hIcon) < 0) {
        // Keep the lists aligned: the small list gives its new image back.
        Calls.ImageList_Remove(FImageList, Index);
        Index = -1;
    }
    Calls.DestroyIcon(Info.hIcon);
    return Index >= 0 ? Index : 0;
}

}  // namespace quorvane::win32
