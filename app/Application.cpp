#include "app/Application.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/MainWindow.h"
#include "core/PathCheck.h"
#include "settings/Settings.h"

std::string ApplicationTitle()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string name = path;
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

bool StartApplication()
{
    CoInitialize(nullptr);
    // A second copy leaves quietly; the first one is already on screen.
    if (FindWindowA(nullptr, mainWindowTitle))
        return false;
    if (IsWow64() == 1) {
        MessageBoxA(nullptr, "64 bit version of windows not supported", ApplicationTitle().c_str(),
                    MB_OK | MB_ICONSTOP);
        return false;
    }
    SetAutoCadFolder(FindAutoCadLocation());
    if (SettingsKeyMissing())
        WriteDefaultSettings();

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    MainWindow window;
    window.RunModal(nullptr);
    return false;
}

void EndApplication()
{
    CoUninitialize();
}
