#include "tests/ui/win32/WindowTesting.h"

#include <winternl.h>

#include <algorithm>

namespace quorvane::win32::testing {
namespace {

bool UnderWine() {
    const HMODULE Ntdll = ::GetModuleHandleA("ntdll.dll");
    return Ntdll && ::GetProcAddress(Ntdll, "wine_get_version");
}

// One entry of the GDI handle table that Wine shares through the process
// environment block, laid out as Windows lays out its own.
struct TGdiHandleEntry {
    std::uint64_t Object;
    std::uint16_t ProcessId;
    std::uint16_t Count;
    std::uint16_t Unique;  // low byte: type bits and, in bit 7, the stock flag
    std::uint8_t Type;
    std::uint8_t Flags;
    std::uint64_t UserPointer;
};
static_assert(sizeof(TGdiHandleEntry) == 24);

constexpr std::size_t kGdiHandleCount = 0x10000;
constexpr std::size_t kPebGdiHandleTable = 0xF8;  // offset in the 64-bit process environment block

DWORD WineGdiObjectCount() {
// The header's reading of the thread block through the GS segment looks like
// an access to an empty array to GCC's bounds check.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    const auto* Peb = reinterpret_cast<const std::uint8_t*>(NtCurrentTeb()->ProcessEnvironmentBlock);
#pragma GCC diagnostic pop
    const auto* Table = *reinterpret_cast<const TGdiHandleEntry* const*>(Peb + kPebGdiHandleTable);
    if (!Table)
        return 0;
    DWORD Count = 0;
    for (std::size_t I = 0; I < kGdiHandleCount; ++I)
        Count += Table[I].Type != 0 && !(Table[I].Unique & 0x80);
    return Count;
}

BOOL CALLBACK CountChild(HWND, LPARAM Count) {
    ++*reinterpret_cast<DWORD*>(Count);
    return TRUE;
}

BOOL CALLBACK CountOwnTopLevel(HWND Window, LPARAM Count) {
    DWORD Process = 0;
    ::GetWindowThreadProcessId(Window, &Process);
    if (Process == ::GetCurrentProcessId()) {
        ++*reinterpret_cast<DWORD*>(Count);
        // Children are counted once: EnumChildWindows walks all descendants.
        ::EnumChildWindows(Window, CountChild, Count);
    }
    return TRUE;
}

DWORD WineUserObjectCount() {
    DWORD Count = 0;
    ::EnumWindows(CountOwnTopLevel, reinterpret_cast<LPARAM>(&Count));
    // Wine's USER handles are even numbers from 0x20 on; a handle without its
    // generation bits names whatever object holds that slot now.
    for (UINT_PTR Handle = 0x20; Handle < 0xFFF0; Handle += 2) {
        if (::IsMenu(reinterpret_cast<HMENU>(Handle)))
            ++Count;
        ICONINFO Info{};
        if (::GetIconInfo(reinterpret_cast<HICON>(Handle), &Info)) {
            ++Count;
            if (Info.hbmMask)
                ::DeleteObject(Info.hbmMask);
            if (Info.hbmColor)
                ::DeleteObject(Info.hbmColor);
        }
    }
    return Count;
}

}  // namespace

TCanvas::TCanvas(int Width, int Height, COLORREF Ground) {
    if (Width <= 0 || Height <= 0)
        return;
    BITMAPINFO Info{};
    Info.bmiHeader = {sizeof Info.bmiHeader, Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* Bits = nullptr;
    FBitmap.Reset(::CreateDIBSection(nullptr, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0));
    FDc.Reset(::CreateCompatibleDC(nullptr));
    if (!FBitmap || !FDc || !Bits)
        return;
    FSelection = std::make_unique<TSelection>(FDc.Get(), FBitmap.Get());
    FBits = static_cast<const std::uint32_t*>(Bits);
    FWidth = Width;
    FHeight = Height;
    const RECT All{0, 0, Width, Height};
    const COLORREF Previous = ::SetDCBrushColor(FDc.Get(), Ground);
    ::FillRect(FDc.Get(), &All, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::SetDCBrushColor(FDc.Get(), Previous);
}

COLORREF TCanvas::At(int X, int Y) const {
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
        return CLR_INVALID;
    ::GdiFlush();
    const std::uint32_t Pixel = FBits[static_cast<std::size_t>(Y) * FWidth + X];
    return RGB(Pixel >> 16 & 0xFF, Pixel >> 8 & 0xFF, Pixel & 0xFF);
}

int TCanvas::Count(const RECT& Area, COLORREF Color) const {
    int Count = 0;
    for (int Y = std::max<LONG>(Area.top, 0); Y < std::min<LONG>(Area.bottom, FHeight); ++Y)
        for (int X = std::max<LONG>(Area.left, 0); X < std::min<LONG>(Area.right, FWidth); ++X)
            Count += At(X, Y) == Color;
    return Count;
}

namespace {

SIZE ClientSize(HWND Window) {
    RECT Client{};
    ::GetClientRect(Window, &Client);
    return {Client.right, Client.bottom};
}

}  // namespace

TRendering::TRendering(HWND Window) : TCanvas(ClientSize(Window).cx, ClientSize(Window).cy, RGB(1, 2, 3)) {
    if (Dc())
        ::SendMessageA(Window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(Dc()), PRF_CLIENT | PRF_ERASEBKGND);
}

void PumpMessages() {
    MSG Message;
    while (::PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&Message);
        ::DispatchMessageA(&Message);
    }
}

RECT BoundsOf(HWND Window) {
    RECT Bounds{};
    ::GetWindowRect(Window, &Bounds);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(Window), reinterpret_cast<POINT*>(&Bounds), 2);
    return Bounds;
}

DWORD GdiObjectCount() {
    const DWORD Count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    return Count == 0 && UnderWine() ? WineGdiObjectCount() : Count;
}

DWORD UserObjectCount() {
    const DWORD Count = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    return Count == 0 && UnderWine() ? WineUserObjectCount() : Count;
}

}  // namespace quorvane::win32::testing
