#include "app/Application.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app/MainWindow.h"
#include "core/AppMessage.h"
#include "core/PathCheck.h"
#include "core/Platform.h"
#include "settings/Settings.h"

const char wow64Refusal[] = "64 bit version of windows not supported";

namespace {

// How long a scan thread still running when the window closes gets to end.
constexpr DWORD scanThreadEndMs = 5000;

// The user-interface thread's apartment, from start to end.
std::unique_ptr<ComApartment> applicationApartment;

} // namespace

void PrepareToScan()
{
    SetAutoCadFolder(FindAutoCadLocation());
    if (SettingsKeyMissing())
        WriteDefaultSettings();
}

bool StartApplication()
{
    applicationApartment = std::make_unique<ComApartment>();
    // A second copy leaves quietly; the first one is already on screen.
    if (FindWindowA(nullptr, mainWindowTitle))
        return false;
    if (IsWow64() == 1) {
        ShowAppMessage(nullptr, wow64Refusal, MB_OK | MB_ICONSTOP);
        return false;
    }
    PrepareToScan();

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    MainWindow window;
    window.RunModal(nullptr);
    window.WaitForScanThread(scanThreadEndMs);
    return false;
}

void EndApplication()
{
    applicationApartment.reset();
}
