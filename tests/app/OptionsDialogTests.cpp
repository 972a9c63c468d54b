#include <gtest/gtest.h>

#include "TestWindow.h"
#include "app/OptionsDialog.h"
#include "resource.h"

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

TEST(OptionsDialog, HandCursorOverEachPictureAndNowhereElse)
{
    OptionsDialog options;
    HWND panel = options.CreateModeless(nullptr);
    ASSERT_NE(panel, nullptr);
    ShowWindow(panel, SW_SHOW);
    PumpWindowMessages(panel);

    const HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HAND_CURSOR));
    ASSERT_NE(hand, nullptr);
    for (const RECT& area : OptionsDialog::pictureAreas) {
        POINT centre = {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
        EXPECT_EQ(options.PictureAt(centre), &area - OptionsDialog::pictureAreas);
        EXPECT_EQ(CursorAt(panel, POINT{area.left, area.top}), hand) << area.top;
        EXPECT_EQ(CursorAt(panel, POINT{area.right - 1, area.bottom - 1}), hand) << area.top;
        EXPECT_NE(CursorAt(panel, POINT{area.right + 40, area.top + 5}), hand) << area.top;
    }
    DestroyWindow(panel);
    PumpWindowMessages(nullptr);
}
