// Our own window classes: each registered once per program, each with one
// window procedure that hands every message to the C++ object living on the
// window (GWLP_USERDATA) from WM_NCCREATE to WM_NCDESTROY. The object is
// passed as the creation parameter of CreateWindowEx.
#pragma once

#include <windows.h>

namespace quorvane::win32 {

struct TWindowClass {
    const char* Name = nullptr;
    WNDPROC Procedure = nullptr;
    UINT Style = 0;
    LPCSTR Cursor = IDC_ARROW;  // a system cursor
    HBRUSH Background = nullptr;
};

// Registers the class unless the program has one of that name already.
void RegisterWindowClass(const TWindowClass& Class);

// The dispatch of our window procedures. Handle(Object, Message, wParam,
// lParam) answers the message; the object's window handle (Window, a member
// of TObject) is set when the window is created and cleared when it is gone,
// so the object never touches a destroyed window.
template <typename TObject, typename THandler>
LRESULT DispatchToObject(HWND Window, UINT Message, WPARAM wParam, LPARAM lParam, HWND TObject::*WindowOf,
                         THandler&& Handle) {
    TObject* Self = nullptr;
    if (Message == WM_NCCREATE) {
        Self = static_cast<TObject*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        Self->*WindowOf = Window;
        ::SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
    } else {
        Self = reinterpret_cast<TObject*>(::GetWindowLongPtrA(Window, GWLP_USERDATA));
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) find no object yet.
    if (!Self)
        return ::DefWindowProcA(Window, Message, wParam, lParam);
    const LRESULT Result = Handle(*Self, Message, wParam, lParam);
    if (Message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
        Self->*WindowOf = nullptr;
    }
    return Result;
}

}  // namespace quorvane::win32
