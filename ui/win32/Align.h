// Alignment of a container's children: the children aligned to the top take
// the full width at the top, those aligned to the bottom the full width at the
// bottom, then those aligned to the left stand between them, and one child
// fills what remains; children of one alignment keep their order.
#pragma once

#include <windows.h>

#include <vector>

namespace quorvane::win32 {

enum class TAlign { alNone, alTop, alBottom, alLeft, alClient };

struct TAlignedChild {
    TAlign Align = TAlign::alNone;
    int Size = 0;  // height of a top or bottom child, width of a left child
    bool Visible = true;
    RECT Bounds{};  // the result; a hidden or unaligned child keeps what it had
};

// Lays the visible children out inside Area. Sizes that do not fit are cut at
// the remaining space; nothing gets a negative width or height.
void AlignChildren(const RECT& Area, std::vector<TAlignedChild>& Children);

}  // namespace quorvane::win32
