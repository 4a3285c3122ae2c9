// A picture of the shown window for the screenshot script.
#pragma once

#include <string>

#include "ui/win32/MainFrm.h"

namespace quorvane::win32 {

// Lets the window settle, selects the process Name (when given and listed)
// with the help of its "Virengefahr" row, makes the window as narrow as it
// may be when asked, saves the window's client area as PNG to File (an ANSI
// path) and destroys the window without closing it. Answers the program's
// exit code: 0 when the picture was saved.
int SnapshotAndEnd(TFrmMain& Form, const std::string& File, const std::string& Name, bool Narrowest);

}  // namespace quorvane::win32
