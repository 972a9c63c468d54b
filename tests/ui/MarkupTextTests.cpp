#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "core/Handles.h"
#include "ui/MarkupText.h"

namespace {

constexpr int canvasWidth = 400, canvasHeight = 120;

// A white 32-bit memory bitmap with a plain, not smoothed Tahoma selected:
// every text pixel is exactly the text colour.
class Canvas : public testing::Test {
protected:
    void SetUp() override
    {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(info.bmiHeader), canvasWidth, -canvasHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap.Reset(CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0));
        ASSERT_NE(pixels, nullptr);
        SelectObject(dc, bitmap.Get());
        PatBlt(dc, 0, 0, canvasWidth, canvasHeight, WHITENESS);
        SelectObject(dc, plain.Get());
        SetBkMode(dc, TRANSPARENT);
        line = Size("\xC5y").cy;
    }
    void TearDown() override { SelectObject(dc, GetStockObject(SYSTEM_FONT)), DeleteDC(dc); }
    static GdiObject<HFONT> Font(int weight)
    {
        return GdiObject<HFONT>(
            CreateFontA(-13, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, "Tahoma"));
    }
    SIZE Size(const std::string& text, const GdiObject<HFONT>* font = nullptr)
    {
        HGDIOBJ old = SelectObject(dc, (font ? font : &plain)->Get());
        SIZE size;
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        return size;
    }
    int Width(const std::string& text, const GdiObject<HFONT>* font = nullptr) { return Size(text, font).cx; }
    // How many pixels of the colour lie in columns [left, right).
    int Count(COLORREF colour, int left, int right) const
    {
        const DWORD bgr = RGB(GetBValue(colour), GetGValue(colour), GetRValue(colour));
        int count = 0;
        for (int y = 0; y < canvasHeight; ++y)
            for (int x = left; x < right; ++x)
                count += (pixels[y * canvasWidth + x] & 0xFFFFFF) == bgr;
        return count;
    }

    HDC dc = CreateCompatibleDC(nullptr);
    GdiObject<HBITMAP> bitmap;
    DWORD* pixels = nullptr;
    GdiObject<HFONT> plain = Font(FW_NORMAL), bold = Font(FW_BOLD);
    int line = 0;
};

} // namespace

// Widths and heights of whole texts: where each word lands decides both.
TEST_F(Canvas, LayoutOfWordsBlocksTagsAndColours)
{
    const int blank = Width(" ");
    // The text, the rectangle's width, the format, then the width drawn and where the last line starts.
    struct Case { const char* text; int width; UINT format; int expectedWidth, expectedLastY; } cases[] = {
        {"a    b", 300, DT_WORDBREAK, Width("a") + blank + Width("b"), 0},
        {"ab<br>a", 300, DT_WORDBREAK, Width("ab"), line},
        {"ab <br> a", 300, DT_WORDBREAK, Width("ab"), line}, // no blank around a break
        {"ab<brs>a", 300, DT_WORDBREAK, Width("ab"), 4},
        {"ab<p>a", 300, DT_WORDBREAK, Width("ab"), line * 3 / 2},
        {"<p>a", 300, DT_WORDBREAK, Width("a"), 0},
        {"a<br>b<brs>c<p>d", 300, DT_WORDBREAK | DT_SINGLELINE, Width("abcd"), 0},
        {"<b>bold</b> plain", 300, DT_WORDBREAK, Width("bold", &bold) + blank + Width("plain"), 0},
        {"<B>bold</B>", 300, 0, Width("bold", &bold), 0},
        {"<bx>bold</b>", 300, 0, Width("bold", &bold), 0},
        {"<xyz>", 300, 0, Width("<xyz>"), 0},
        {"<b foo>", 300, 0, Width("<b") + blank + Width("foo>"), 0},
        {"</xyz>a", 300, 0, Width("a"), 0},
        {"<b>a<b>b</b>c", 300, 0, Width("ab", &bold) + Width("c"), 0},
        // Glued to a tag, text never wraps.
        {"<b>x</b>yyyyyyyy", 5, DT_WORDBREAK, Width("x", &bold) + Width("yyyyyyyy"), 0},
        // Wider than the rectangle: the line grows, the next word wraps.
        {"abcdefghijklmnop q", 20, DT_WORDBREAK, Width("abcdefghijklmnop"), line},
        {"one two three", Width("one two"), DT_WORDBREAK, Width("one two"), line},
        {"one two three", Width("one two"), 0, Width("one two three"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RECT area = {10, 10, 10 + c.width, 10};
        EXPECT_EQ(DrawMarkupText(dc, c.text, -1, &area, c.format | DT_CALCRECT), c.expectedLastY);
        EXPECT_EQ(area.right - area.left, c.expectedWidth);
        EXPECT_EQ(area.bottom - area.top, c.expectedLastY + line);
        EXPECT_EQ(area.left, 10);
    }
    EXPECT_EQ(DrawMarkupText(dc, "", -1, nullptr, 0) + DrawMarkupText(dc, nullptr, -1, nullptr, 0) +
                  DrawMarkupText(nullptr, "a<br>b", -1, nullptr, 0),
              0);

    // Without a rectangle the text starts at the current position. Eight colours
    // are saved, the ninth is not: the first end tag brings back the seventh.
    // The device context gets its own colour and font back.
    std::string text = "<b>";
    for (int i = 1; i <= 9; ++i)
        text += "<font color=\"#" + std::to_string(i) + "00000\">";
    MoveToEx(dc, 200, 40, nullptr);
    DrawMarkupText(dc, (text + "</font>W").c_str(), -1, nullptr, 0);
    const COLORREF seventh = RGB(7 * 16, 0, 0);
    EXPECT_EQ(Count(seventh, 0, 200), 0);
    EXPECT_GT(Count(seventh, 200, 200 + Width("W", &bold)), 20);
    EXPECT_EQ(Count(RGB(9 * 16, 0, 0), 0, canvasWidth) + Count(RGB(8 * 16, 0, 0), 0, canvasWidth), 0);
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), plain.Get());
}
