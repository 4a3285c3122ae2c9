// Reading a window back in its own process: its client area rendered into a
// bitmap through WM_PRINTCLIENT, the message queue run empty, and the counts
// of GDI and USER objects of the process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace quorvane::win32::testing {

// The client area of Window as its paint function draws it (its child
// windows are not part of it).
class TRendering {
public:
    explicit TRendering(HWND Window);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    COLORREF At(int X, int Y) const;
    // Pixels of exactly Color inside Area (clipped to the rendering).
    int Count(const RECT& Area, COLORREF Color) const;

private:
    int FWidth = 0;
    int FHeight = 0;
    std::vector<std::uint32_t> FPixels;  // 0x00RRGGBB, rows from the top
};

// Dispatches every message that waits in this thread's queue.
void PumpMessages();

// A window's rectangle in its parent's client coordinates.
RECT BoundsOf(HWND Window);

// The process's GDI and USER objects as GetGuiResources counts them. Where
// the system answers 0 (Wine's GetGuiResources is a stub), counted here: GDI
// objects from the process's GDI handle table, USER objects as the process's
// windows plus the menus and icons its handles name.
DWORD GdiObjectCount();
DWORD UserObjectCount();

}  // namespace quorvane::win32::testing
