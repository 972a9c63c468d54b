#include "app/MainWindow.h"

#include "resource.h"

MainWindow::MainWindow() : Dialog(IDD_MAIN) {}

BOOL MainWindow::OnInit()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HICON large = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                32, 32, LR_SHARED));
    HICON small = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                16, 16, LR_SHARED));
    SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
    SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    return TRUE;
}
