#pragma once
// Small steps of driving a window from a test: waiting for a condition with a
// time limit, and a left click posted at a client point.

#include <windows.h>

// Waits until `done` holds or the time is up; answers whether it held.
template <typename Condition>
bool WaitFor(Condition done, DWORD milliseconds)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start > milliseconds)
            return false;
    return true;
}

// Posts a button press and release at (x, y) of the window's client area.
inline void ClickAt(HWND window, int x, int y)
{
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}
