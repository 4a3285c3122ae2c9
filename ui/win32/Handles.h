// Owners of GDI and USER objects: each holder frees its object when it goes,
// so that the window's object counts stay flat however often it reloads or
// repaints. Holders move, never copy.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace quorvane::win32 {

// A handle with its release function; null means "owns nothing".
template <typename THandle, typename TTraits>
class TOwned {
public:
    TOwned() = default;
    explicit TOwned(THandle Handle) : FHandle(Handle) {}
    ~TOwned() { Reset(); }
    TOwned(TOwned&& Other) noexcept : FHandle(Other.Release()) {}
    TOwned& operator=(TOwned&& Other) noexcept {
        if (this != &Other)
            Reset(Other.Release());
        return *this;
    }
    TOwned(const TOwned&) = delete;
    TOwned& operator=(const TOwned&) = delete;

    THandle Get() const { return FHandle; }
    explicit operator bool() const { return FHandle != nullptr; }
    void Reset(THandle Handle = nullptr) {
        if (FHandle)
            TTraits::Free(FHandle);
        FHandle = Handle;
    }
    [[nodiscard]] THandle Release() { return std::exchange(FHandle, nullptr); }

private:
    THandle FHandle = nullptr;
};

struct TGdiObjectTraits {
    static void Free(HGDIOBJ Object) { ::DeleteObject(Object); }
};
struct TIconTraits {
    static void Free(HICON Icon) { ::DestroyIcon(Icon); }
};
struct TImageListTraits {
    static void Free(HIMAGELIST List) { ::ImageList_Destroy(List); }
};
struct TMemoryDcTraits {
    static void Free(HDC Dc) { ::DeleteDC(Dc); }
};
struct TModuleTraits {
    static void Free(HMODULE Module) { ::FreeLibrary(Module); }
};

using TFontHandle = TOwned<HFONT, TGdiObjectTraits>;
using TBrushHandle = TOwned<HBRUSH, TGdiObjectTraits>;
using TPenHandle = TOwned<HPEN, TGdiObjectTraits>;
using TBitmapHandle = TOwned<HBITMAP, TGdiObjectTraits>;
using TIconHandle = TOwned<HICON, TIconTraits>;
using TImageListHandle = TOwned<HIMAGELIST, TImageListTraits>;
using TMemoryDc = TOwned<HDC, TMemoryDcTraits>;
using TModuleHandle = TOwned<HMODULE, TModuleTraits>;

// A device context of a window's client area, released at the end of the scope.
class TWindowDc {
public:
    explicit TWindowDc(HWND Window) : FWindow(Window), FDc(::GetDC(Window)) {}
    ~TWindowDc() {
        if (FDc)
            ::ReleaseDC(FWindow, FDc);
    }
    TWindowDc(const TWindowDc&) = delete;
    TWindowDc& operator=(const TWindowDc&) = delete;
    HDC Get() const { return FDc; }

private:
    HWND FWindow;
    HDC FDc;
};

// BeginPaint and EndPaint around one WM_PAINT.
class TPaintDc {
public:
    explicit TPaintDc(HWND Window) : FWindow(Window) { ::BeginPaint(Window, &FPaint); }
    ~TPaintDc() { ::EndPaint(FWindow, &FPaint); }
    TPaintDc(const TPaintDc&) = delete;
    TPaintDc& operator=(const TPaintDc&) = delete;
    HDC Get() const { return FPaint.hdc; }
    const RECT& Dirty() const { return FPaint.rcPaint; }

private:
    HWND FWindow;
    PAINTSTRUCT FPaint{};
};

// An object selected into a device context until the end of the scope, so
// that the object can be freed afterwards.
class TSelection {
public:
    TSelection(HDC Dc, HGDIOBJ Object) : FDc(Dc), FPrevious(::SelectObject(Dc, Object)) {}
    ~TSelection() {
        if (FPrevious && FPrevious != HGDI_ERROR)
            ::SelectObject(FDc, FPrevious);
    }
    TSelection(const TSelection&) = delete;
    TSelection& operator=(const TSelection&) = delete;

private:
    HDC FDc;
    HGDIOBJ FPrevious;
};

// SaveDC and RestoreDC: clipping, colours and modes set inside the scope go with it.
class TSavedDc {
public:
    explicit TSavedDc(HDC Dc) : FDc(Dc), FState(::SaveDC(Dc)) {}
    ~TSavedDc() {
        if (FState)
            ::RestoreDC(FDc, FState);
    }
    TSavedDc(const TSavedDc&) = delete;
    TSavedDc& operator=(const TSavedDc&) = delete;

private:
    HDC FDc;
    int FState;
};

}  // namespace quorvane::win32
