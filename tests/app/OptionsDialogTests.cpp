#include <gtest/gtest.h>

#include "WindowPixels.h"
#include "app/OptionsDialog.h"
#include "resource.h"
#include "support/UiDriver.h"

namespace {

// The cursor the panel chooses with the mouse at a client point.
HCURSOR CursorAt(HWND panel, POINT point)
{
    ClientToScreen(panel, &point);
    SetCursorPos(point.x, point.y);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    SendMessageA(panel, WM_SETCURSOR, reinterpret_cast<WPARAM>(panel), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
}

} // namespace

TEST(OptionsDialog, HandCursorAndHighlightOverEachPictureAndCloseEndsThePanel)
{
    OptionsDialog options;
    HWND panel = options.CreateModeless(nullptr);
    ASSERT_NE(panel, nullptr);
    ShowWindow(panel, SW_SHOW);
    PumpWindowMessages(panel);
    EXPECT_EQ(WindowText(panel), "Advanced Options");

    const HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HAND_CURSOR));
    ASSERT_NE(hand, nullptr);
    for (const RECT& area : OptionsDialog::pictureAreas) {
        POINT centre = {(area.left + area.right) / 2, (area.top + area.bottom) / 2}, onScreen = centre;
        EXPECT_EQ(options.PictureAt(centre), &area - OptionsDialog::pictureAreas);
        EXPECT_EQ(CursorAt(panel, POINT{area.left, area.top}), hand) << area.top;
        EXPECT_EQ(CursorAt(panel, POINT{area.right - 1, area.bottom - 1}), hand) << area.top;
        EXPECT_NE(CursorAt(panel, POINT{area.right + 40, area.top + 5}), hand) << area.top;

        // The picture under the mouse is ringed; the ring goes when the mouse leaves.
        PumpWindowMessages(panel);
        WindowPixels before(panel);
        ClientToScreen(panel, &onScreen);
        SetCursorPos(onScreen.x, onScreen.y);
        SendMessageA(panel, WM_MOUSEMOVE, 0, MAKELPARAM(centre.x, centre.y));
        PumpWindowMessages(panel);
        RECT ring = area;
        InflateRect(&ring, 4, 4);
        EXPECT_GT(WindowPixels(panel).Difference(before, ring), 50) << area.top;
        CursorAt(panel, POINT{area.right + 40, area.top + 5});
        SendMessageA(panel, WM_MOUSELEAVE, 0, 0);
        PumpWindowMessages(panel);
        EXPECT_EQ(WindowPixels(panel).Difference(before, ring), 0) << area.top;
    }

    SendMessageA(GetDlgItem(panel, IDCANCEL), BM_CLICK, 0, 0);
    PumpWindowMessages(nullptr);
    EXPECT_FALSE(IsWindow(panel));
}
