#pragma once
// Loading the skin's images and fonts from the program's resources.

#include <windows.h>

#include "core/Handles.h"

// The colour painted where a skin image is not part of the window.
constexpr COLORREF SkinCutColour = RGB(255, 0, 255);

// A bitmap resource of the running program; empty when it is missing.
GdiObject<HBITMAP> LoadSkinBitmap(int id);
SIZE BitmapSize(HBITMAP bitmap);
// Every pixel of the bitmap that is not `cut`; null when the bitmap cannot be read.
HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF cut);
// A font whose characters are `pixelHeight` pixels high.
GdiObject<HFONT> CreateSkinFont(int pixelHeight, bool bold, const char* face = "Tahoma");

// A memory DC with one bitmap selected, for copying from that bitmap.
class BitmapDc {
public:
    BitmapDc(HDC compatible, HBITMAP bitmap)
        : dc(CreateCompatibleDC(compatible)), old(dc ? SelectObject(dc, bitmap) : nullptr)
    {
    }
    ~BitmapDc()
    {
        if (dc) {
            SelectObject(dc, old);
            DeleteDC(dc);
        }
    }
    BitmapDc(const BitmapDc&) = delete;
    BitmapDc& operator=(const BitmapDc&) = delete;

    HDC Get() const { return dc; }

private:
    HDC dc;
    HGDIOBJ old;
};
