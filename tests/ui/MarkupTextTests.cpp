#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "ui/MarkupText.h"

namespace {

constexpr int canvasWidth = 400, canvasHeight = 120;
const COLORREF red = RGB(255, 0, 0), ink = RGB(0, 0, 0), paper = RGB(255, 255, 255);

// A white 32-bit memory bitmap with a plain, not smoothed Tahoma selected:
// every text pixel is exactly the text colour.
class Canvas : public testing::Test {
protected:
    void SetUp() override
    {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = canvasWidth;
        info.bmiHeader.biHeight = -canvasHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0);
        oldBitmap = SelectObject(dc, bitmap);
        RECT all = {0, 0, canvasWidth, canvasHeight};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        plain = Font(FW_NORMAL);
        bold = Font(FW_BOLD);
        oldFont = SelectObject(dc, plain);
        SetTextColor(dc, ink);
        SetBkMode(dc, TRANSPARENT);
        SIZE size;
        GetTextExtentPoint32A(dc, "\xC5y", 2, &size);
        line = size.cy;
    }
    void TearDown() override
    {
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteObject(plain);
        DeleteObject(bold);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    static HFONT Font(int weight)
    {
        return CreateFontA(-13, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Tahoma");
    }
    int Width(const std::string& text, HFONT font = nullptr)
    {
        HGDIOBJ old = SelectObject(dc, font ? font : plain);
        SIZE size;
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        return size.cx;
    }
    // The area the text takes, measured from (10, 10) with this width.
    RECT Measured(const std::string& text, int width, UINT format = DT_WORDBREAK)
    {
        RECT area = {10, 10, 10 + width, 10};
        lastY = DrawMarkupText(dc, text.c_str(), -1, &area, format | DT_CALCRECT);
        return area;
    }
    COLORREF Pixel(int x, int y) const
    {
        DWORD bgrx = pixels[y * canvasWidth + x];
        return RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF);
    }
    // How many pixels of the colour lie in columns [left, right).
    int Count(COLORREF colour, int left, int right) const
    {
        int count = 0;
        for (int y = 0; y < canvasHeight; ++y)
            for (int x = left; x < right; ++x)
                count += Pixel(x, y) == colour;
        return count;
    }

    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    DWORD* pixels = nullptr;
    HGDIOBJ oldBitmap = nullptr, oldFont = nullptr;
    HFONT plain = nullptr, bold = nullptr;
    int line = 0;
    int lastY = -1;
};

} // namespace

// Widths and heights of whole texts: where each word lands decides both.
TEST_F(Canvas, LayoutOfWordsBlocksAndTags)
{
    const int blank = Width(" ");
    struct Case {
        const char* text;
        int width;     // of the rectangle
        UINT format;
        int expectedWidth, expectedLastY;
    } cases[] = {
        {"a    b", 300, DT_WORDBREAK, Width("a") + blank + Width("b"), 0},
        {"ab<br>a", 300, DT_WORDBREAK, Width("ab"), line},
        {"ab <br> a", 300, DT_WORDBREAK, Width("ab"), line}, // no blank around a break
        {"ab<brs>a", 300, DT_WORDBREAK, Width("ab"), 4},
        {"ab<p>a", 300, DT_WORDBREAK, Width("ab"), line * 3 / 2},
        {"<p>a", 300, DT_WORDBREAK, Width("a"), 0},
        {"a<br>b<brs>c<p>d", 300, DT_WORDBREAK | DT_SINGLELINE, Width("abcd"), 0},
        {"<b>bold</b> plain", 300, DT_WORDBREAK, Width("bold", bold) + blank + Width("plain"), 0},
        {"<B>bold</B>", 300, 0, Width("bold", bold), 0},
        {"<bx>bold</b>", 300, 0, Width("bold", bold), 0},
        {"<xyz>", 300, 0, Width("<xyz>"), 0},
        {"<b foo>", 300, 0, Width("<b") + blank + Width("foo>"), 0},
        {"</xyz>a", 300, 0, Width("a"), 0},
        {"<b>a<b>b</b>c", 300, 0, Width("ab", bold) + Width("c"), 0},
        // Glued to a tag, text never wraps.
        {"<b>x</b>yyyyyyyy", 5, DT_WORDBREAK, Width("x", bold) + Width("yyyyyyyy"), 0},
        // Wider than the rectangle: the line grows, the next word wraps.
        {"abcdefghijklmnop q", 20, DT_WORDBREAK, Width("abcdefghijklmnop"), line},
        {"one two three", Width("one two"), DT_WORDBREAK, Width("one two"), line},
        {"one two three", Width("one two"), 0, Width("one two three"), 0},
    };
    for (const Case& c : cases) {
        RECT area = Measured(c.text, c.width, c.format);
        EXPECT_EQ(area.right - area.left, c.expectedWidth) << c.text;
        EXPECT_EQ(lastY, c.expectedLastY) << c.text;
        EXPECT_EQ(area.bottom - area.top, c.expectedLastY + line) << c.text;
        EXPECT_EQ(area.left, 10) << c.text;
    }
    EXPECT_EQ(DrawMarkupText(dc, "", -1, nullptr, 0), 0);
    EXPECT_EQ(DrawMarkupText(dc, nullptr, -1, nullptr, 0), 0);
    EXPECT_EQ(DrawMarkupText(nullptr, "a<br>b", -1, nullptr, 0), 0);
}

TEST_F(Canvas, ColourRunsDrawWhereTheirWordsStandAndTheColourComesBack)
{
    const std::string before = "<b>Head</b> ";
    const std::string text = before + "<FONT COLOR='#ff0000'>redred</font> after";
    RECT area = {0, 0, canvasWidth, canvasHeight};
    DrawMarkupText(dc, text.c_str(), -1, &area, DT_WORDBREAK);

    const int blank = Width(" ");
    const int redLeft = Width("Head", bold) + blank, redRight = redLeft + Width("redred");
    EXPECT_GT(Count(red, redLeft, redRight), 20);
    EXPECT_EQ(Count(red, 0, redLeft) + Count(red, redRight, canvasWidth), 0);
    EXPECT_GT(Count(ink, redRight, canvasWidth), 20) << "the colour before the run is back";
    EXPECT_EQ(Count(ink, redLeft, redRight), 0);
    EXPECT_EQ(GetTextColor(dc), ink);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), plain);
}

// Eight colours are saved; the ninth is set without being saved, so the first
// end tag brings back the colour that was current before the eighth.
TEST_F(Canvas, NineNestedColours)
{
    std::string text;
    for (int i = 1; i <= 9; ++i) {
        char tag[40];
        std::snprintf(tag, sizeof(tag), "<font color=\"#%02X0000\">", i * 20);
        text += tag;
    }
    text += "</font>W";
    RECT area = {0, 0, canvasWidth, canvasHeight};
    DrawMarkupText(dc, text.c_str(), -1, &area, 0);
    EXPECT_GT(Count(RGB(7 * 20, 0, 0), 0, canvasWidth), 20);
    EXPECT_EQ(Count(RGB(9 * 20, 0, 0), 0, canvasWidth) + Count(RGB(8 * 20, 0, 0), 0, canvasWidth), 0);
}

TEST_F(Canvas, WithoutARectangleTheTextStartsAtTheCurrentPosition)
{
    MoveToEx(dc, 200, 40, nullptr);
    DrawMarkupText(dc, "<font color=\"#FF0000\">X</font>", -1, nullptr, 0);
    EXPECT_EQ(Count(red, 0, 200), 0);
    EXPECT_GT(Count(red, 200, 200 + Width("X")), 5);
}
