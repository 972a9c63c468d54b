#include "ui/Skin.h"

#include <vector>

GdiObject<HBITMAP> LoadSkinBitmap(int id)
{
    return GdiObject<HBITMAP>(static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0,
                   LR_CREATEDIBSECTION)));
}

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info = {};
    if (!bitmap || !GetObjectA(bitmap, sizeof(info), &info))
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF cut)
{
    SIZE size = BitmapSize(bitmap);
    if (size.cx <= 0 || size.cy <= 0)
        return nullptr;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> pixels(static_cast<size_t>(size.cx) * size.cy);
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, bitmap, 0, size.cy, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != size.cy)
        return nullptr;

    // One rectangle per run of kept pixels; DIB pixels are 0x00RRGGBB.
    const DWORD cutPixel = (GetRValue(cut) << 16) | (GetGValue(cut) << 8) | GetBValue(cut);
    std::vector<RECT> runs;
    for (int y = 0; y < size.cy; ++y) {
        const DWORD* row = &pixels[static_cast<size_t>(y) * size.cx];
        int x = 0;
        while (x < size.cx) {
            while (x < size.cx && (row[x] & 0xFFFFFF) == cutPixel)
                ++x;
            int start = x;
            while (x < size.cx && (row[x] & 0xFFFFFF) != cutPixel)
                ++x;
            if (x > start)
                runs.push_back(RECT{start, y, x, y + 1});
        }
    }
    std::vector<char> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    auto* region = reinterpret_cast<RGNDATA*>(data.data());
    region->rdh.dwSize = sizeof(RGNDATAHEADER);
    region->rdh.iType = RDH_RECTANGLES;
    region->rdh.nCount = static_cast<DWORD>(runs.size());
    region->rdh.rcBound = RECT{0, 0, size.cx, size.cy};
    memcpy(region->Buffer, runs.data(), runs.size() * sizeof(RECT));
    return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), region);
}

GdiObject<HFONT> CreateSkinFont(int pixelHeight, bool bold, const char* face)
{
    return GdiObject<HFONT>(CreateFontA(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE,
                                        FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                        DEFAULT_PITCH | FF_SWISS, face));
}
