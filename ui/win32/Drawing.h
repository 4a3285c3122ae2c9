// Small drawing and text helpers of the Win32 window.
#pragma once

#include <windows.h>

#include <string>

namespace quorvane::win32 {

// Fills Rect with Color through the device context's own brush: no object to free.
inline void FillSolid(HDC Dc, const RECT& Rect, COLORREF Color) {
    const COLORREF Previous = ::SetDCBrushColor(Dc, Color);
    ::FillRect(Dc, &Rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    ::SetDCBrushColor(Dc, Previous);
}

// Text of the ANSI code page as UTF-16, for the calls that take only wide text.
inline std::wstring WideFromAnsi(const std::string& Text) {
    if (Text.empty())
        return {};
    const int Length = ::MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring Wide(static_cast<std::size_t>(Length > 0 ? Length : 0), L'\0');
    if (Length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Length);
    return Wide;
}

}  // namespace quorvane::win32
