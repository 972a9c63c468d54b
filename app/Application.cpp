#include "app/Application.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/MainWindow.h"
#include "core/AppMessage.h"
#include "core/PathCheck.h"
#include "settings/Settings.h"

const char wow64Refusal[] = "64 bit version of windows not supported";

namespace {

// How long a scan thread still running when the window closes gets to end.
constexpr DWORD scanThreadEndMs = 5000;

} // namespace

bool StartApplication()
{
    CoInitialize(nullptr);
    // A second copy leaves quietly; the first one is already on screen.
    if (FindWindowA(nullptr, mainWindowTitle))
        return false;
    if (IsWow64() == 1) {
        ShowAppMessage(nullptr, wow64Refusal, MB_OK | MB_ICONSTOP);
        return false;
    }
    SetAutoCadFolder(FindAutoCadLocation());
    if (SettingsKeyMissing())
        WriteDefaultSettings();

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    MainWindow window;
    window.RunModal(nullptr);
    window.WaitForScanThread(scanThreadEndMs);
    return false;
}

void EndApplication()
{
    CoUninitialize();
}
