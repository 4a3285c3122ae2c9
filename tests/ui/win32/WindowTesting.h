// Reading a window back in its own process: its client area rendered into a
// bitmap through WM_PRINTCLIENT, the message queue run empty, and the counts
// of GDI and USER objects of the process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "ui/win32/Handles.h"

namespace quorvane::win32::testing {

// A 32-bit bitmap in a memory device context, filled with Ground at first;
// what is drawn into Dc() reads back pixel by pixel.
class TCanvas {
public:
    TCanvas(int Width, int Height, COLORREF Ground);
    HDC Dc() const { return FDc.Get(); }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // CLR_INVALID outside the canvas.
    COLORREF At(int X, int Y) const;
    // Pixels of exactly Color inside Area (clipped to the canvas).
    int Count(const RECT& Area, COLORREF Color) const;

private:
    int FWidth = 0;
    int FHeight = 0;
    const std::uint32_t* FBits = nullptr;  // 0xAARRGGBB, rows from the top
    TBitmapHandle FBitmap;
    TMemoryDc FDc;
    std::unique_ptr<TSelection> FSelection;
};

// The client area of Window as its paint function draws it through
// WM_PRINTCLIENT (its child windows are not part of it).
class TRendering : public TCanvas {
public:
    explicit TRendering(HWND Window);
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
