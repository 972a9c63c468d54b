#pragma once
// What a window of this process shows on screen, pixel by pixel, and a
// message pump for windows created by the test itself.

#include <windows.h>

#include <vector>

// Dispatches every waiting message of this thread, dialog keys included.
void PumpWindowMessages(HWND dialog);

// The client area of `window` as it stands on the screen now.
class WindowPixels {
public:
    explicit WindowPixels(HWND window);
    // 0x00RRGGBB, or 0xFFFFFFFF outside the captured area.
    COLORREF At(int x, int y) const;
    // How many pixels of the client rectangle have exactly this colour.
    int Count(const RECT& area, COLORREF colour) const;
    // How many pixels differ between the same rectangle of two captures.
    int Difference(const WindowPixels& other, const RECT& area) const;

private:
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
};

// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND control);
