// Screen resolution: the window is described at 96 dots per inch and scaled
// proportionally on other screens. The per-monitor calls of newer systems are
// looked up at run time, so the program still starts where they are missing.
#pragma once

#include <windows.h>

#include "ui/rules/FormLayout.h"

namespace quorvane::win32 {

constexpr int kDesignDpi = 96;

// A length of the window description at Dpi: the layout's ScaledLength.
int Scale(int DesignPixels, int Dpi);

// The resolution of the monitor that shows Point; the system's where the
// system knows no per-monitor resolution.
int DpiAtPoint(POINT Point);

// The resolution a window is drawn at.
int WindowDpi(HWND Window);

// The outer rectangle of a window whose client area is Client, at Dpi.
RECT OuterRectForClient(const RECT& Client, DWORD Style, DWORD ExStyle, int Dpi);

// Metrics of the system at Dpi (GetSystemMetricsForDpi where it exists).
int SystemMetricForDpi(int Index, int Dpi);
// The width of a vertical scroll bar and the height of a horizontal one at Dpi.
TSize ScrollBarSize(int Dpi);

}  // namespace quorvane::win32
