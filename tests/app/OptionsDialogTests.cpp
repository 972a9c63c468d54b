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
    // The four pictures' corners, and points beside and between them.
    for (POINT over : {POINT{8, 74}, POINT{74, 134}, POINT{9, 164}, POINT{40, 315}, POINT{72, 408}})
        EXPECT_EQ(CursorAt(panel, over), hand) << over.x << "," << over.y;
    for (POINT beside : {POINT{40, 150}, POINT{76, 100}, POINT{120, 200}, POINT{40, 420}})
        EXPECT_NE(CursorAt(panel, beside), hand) << beside.x << "," << beside.y;
    DestroyWindow(panel);
    PumpWindowMessages(nullptr);
}
