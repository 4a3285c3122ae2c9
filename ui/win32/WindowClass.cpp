#include "ui/win32/WindowClass.h"

namespace quorvane::win32 {

void RegisterWindowClass(const TWindowClass& Class) {
    const HINSTANCE Instance = ::GetModuleHandleA(nullptr);
    WNDCLASSEXA Existing{};
    Existing.cbSize = sizeof Existing;
    if (::GetClassInfoExA(Instance, Class.Name, &Existing))
        return;
    WNDCLASSEXA Registered{};
    Registered.cbSize = sizeof Registered;
    Registered.style = Class.Style;
    Registered.lpfnWndProc = Class.Procedure;
    Registered.hInstance = Instance;
    Registered.hCursor = ::LoadCursorA(nullptr, Class.Cursor);
    Registered.hbrBackground = Class.Background;
    Registered.lpszClassName = Class.Name;
    ::RegisterClassExA(&Registered);
}

}  // namespace quorvane::win32
