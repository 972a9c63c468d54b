#include <windows.h>
#include <commctrl.h>

#include "app/MainWindow.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    MainWindow window;
    window.RunModal(nullptr);
    return 0;
}
