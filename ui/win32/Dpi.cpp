#include "ui/win32/Dpi.h"

namespace quorvane::win32 {
namespace {

template <typename TFunction>
TFunction Lookup(const char* Module, const char* Name) {
    const HMODULE Handle = ::GetModuleHandleA(Module);
    if (!Handle)
        return nullptr;
    return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(::GetProcAddress(Handle, Name)));
}

int SystemDpi() {
    const HDC Screen = ::GetDC(nullptr);
    const int Dpi = Screen ? ::GetDeviceCaps(Screen, LOGPIXELSY) : kDesignDpi;
    if (Screen)
        ::ReleaseDC(nullptr, Screen);
    return Dpi > 0 ? Dpi : kDesignDpi;
}

}  // namespace

int Scale(int DesignPixels, int Dpi) { return ScaledLength(DesignPixels, Dpi); }

int DpiAtPoint(POINT Point) {
    // shcore.dll is not loaded by us otherwise; it stays loaded once asked.
    using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const TGetDpiForMonitor GetDpiForMonitor = [] {
        const HMODULE Shcore = ::LoadLibraryA("shcore.dll");
        return Shcore ? reinterpret_cast<TGetDpiForMonitor>(
                            reinterpret_cast<void (*)()>(::GetProcAddress(Shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    if (GetDpiForMonitor) {
        UINT X = 0, Y = 0;
        const HMONITOR Monitor = ::MonitorFromPoint(Point, MONITOR_DEFAULTTONEAREST);
        if (SUCCEEDED(GetDpiForMonitor(Monitor, 0 /* MDT_EFFECTIVE_DPI */, &X, &Y)) && Y > 0)
            return static_cast<int>(Y);
    }
    return SystemDpi();
}

int WindowDpi(HWND Window) {
    using TGetDpiForWindow = UINT(WINAPI*)(HWND);
    static const auto GetDpiForWindow = Lookup<TGetDpiForWindow>("user32.dll", "GetDpiForWindow");
    if (GetDpiForWindow) {
        const UINT Dpi = GetDpiForWindow(Window);
        if (Dpi > 0)
            return static_cast<int>(Dpi);
    }
    return SystemDpi();
}

RECT OuterRectForClient(const RECT& Client, DWORD Style, DWORD ExStyle, int Dpi) {
    using TAdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto AdjustForDpi = Lookup<TAdjustForDpi>("user32.dll", "AdjustWindowRectExForDpi");
    RECT Outer = Client;
    if (!AdjustForDpi || !AdjustForDpi(&Outer, Style, FALSE, ExStyle, static_cast<UINT>(Dpi))) {
        Outer = Client;
        ::AdjustWindowRectEx(&Outer, Style, FALSE, ExStyle);
    }
    return Outer;
}

int SystemMetricForDpi(int Index, int Dpi) {
    using TMetricForDpi = int(WINAPI*)(int, UINT);
    static const auto MetricForDpi = Lookup<TMetricForDpi>("user32.dll", "GetSystemMetricsForDpi");
    if (MetricForDpi)
        return MetricForDpi(Index, static_cast<UINT>(Dpi));
    return ::GetSystemMetrics(Index);
}

TSize ScrollBarSize(int Dpi) { return {SystemMetricForDpi(SM_CXVSCROLL, Dpi), SystemMetricForDpi(SM_CYHSCROLL, Dpi)}; }

}  // namespace quorvane::win32
