// quorvane.exe: the main window over the system back-ends.
//
// The program reads no command line and no settings. One environment variable
// exists for scripts/screenshot-windows.sh only: QUORVANE_SNAPSHOT=<file.png>
// saves a picture of the window once its first reload is done and ends the
// program (without closing the window, so no exit page is opened). With
// QUORVANE_SNAPSHOT_PROCESS=<name> the picture shows that process selected and
// the help of its "Virengefahr" row; with QUORVANE_SNAPSHOT_NARROWEST=1 it shows
// the window at the narrowest width it allows.
#include <windows.h>
#include <ole2.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "main/WindowSnapshotWin32.h"
#include "probes/Probes.h"
#include "ui/win32/MainFrm.h"
#include "versioninfo/VersionApi.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int CmdShow) {
    // The shell's icons and the browser call (HlinkNavigateString) need COM.
    const HRESULT Ole = ::OleInitialize(nullptr);
    int Result = 0;
    {
        const std::unique_ptr<quorvane::IProcessSource> Source = quorvane::CreateSystemProcessSource();
        const std::unique_ptr<quorvane::IVersionApi> VersionApi = quorvane::CreateSystemVersionApi();
        quorvane::win32::TFrmMainServices Services;
        Services.EndsApplication = true;
        quorvane::win32::TFrmMain Form(*Source, *VersionApi, Services);
        if (!Form.Handle())
            return 1;
        Form.Show(CmdShow);
        if (const char* Snapshot = std::getenv("QUORVANE_SNAPSHOT"); Snapshot && *Snapshot) {
            const char* Process = std::getenv("QUORVANE_SNAPSHOT_PROCESS");
            const char* Narrowest = std::getenv("QUORVANE_SNAPSHOT_NARROWEST");
            return quorvane::win32::SnapshotAndEnd(Form, Snapshot, Process ? Process : "",
                                                   Narrowest && std::string(Narrowest) == "1");
        }
        MSG Message{};
        while (::GetMessageA(&Message, nullptr, 0, 0) > 0) {
            // Tab and the arrow keys move between the window's controls.
            if (Form.Handle() && ::IsDialogMessageA(Form.Handle(), &Message))
                continue;
            ::TranslateMessage(&Message);
            ::DispatchMessageA(&Message);
        }
        Result = static_cast<int>(Message.wParam);
    }
    if (SUCCEEDED(Ole))
        ::OleUninitialize();
    return Result;
}
