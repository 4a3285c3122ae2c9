// The icon sink of the Windows window: each probed file's shell icon goes
// into both image lists, the small one of the tree and the large one of the
// detail sheet's title, so that one index names the same picture in both.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "catalogue/ProcessSource.h"

namespace quorvane::win32 {

class TShellIconSink final : public IIconSink {
public:
    // The lists stay the window's; the sink only adds to them.
    TShellIconSink(HIMAGELIST ImageList, HIMAGELIST ImageListLarge) : FImageList(ImageList), FImageListLarge(ImageListLarge) {}

    // The index ImageList assigned. A file for which the shell gives no icon
    // (or a list that refuses it) shows image 0, the file not determined,
    // and both lists stay aligned.
    int AddProcessIcon(const std::string& FilePath) override;

private:
    HIMAGELIST FImageList;
    HIMAGELIST FImageListLarge;
};

}  // namespace quorvane::win32
