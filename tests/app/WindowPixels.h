#pragma once
// What a window of this process shows on screen, and a message pump for
// windows the test created itself.

#include <windows.h>

#include <vector>

// Dispatches every waiting message of this thread, dialog keys included.
void PumpWindowMessages(HWND dialog);

// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND control);

// The client area of `window` as it stands on the screen now.
class WindowPixels {
public:
    explicit WindowPixels(HWND window);
    // RGB colour, or 0xFFFFFFFF outside the captured area.
    COLORREF At(int x, int y) const;
    // Pixels of `area` with exactly this colour.
    int Count(const RECT& area, COLORREF colour) const;
    // Pixels of `area` that differ from the same pixels of `other`.
    int Difference(const WindowPixels& other, const RECT& area) const;

private:
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
};
