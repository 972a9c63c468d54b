#include <gtest/gtest.h>

#include "resource.h"
#include "settings/Settings.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

namespace {

// The program started and its main window found.
struct RunningApp {
    AppProcess app;
    HWND window = nullptr;

    void Start()
    {
        ASSERT_TRUE(app.Start()) << QuillmoorExe();
        window = WaitForWindow(app.Id(), "Quillmoor v8.0", 15000);
        ASSERT_NE(window, nullptr) << "no window titled \"Quillmoor v8.0\"";
        Sleep(300);
    }
    void EndWithEscape()
    {
        SendKey(window, VK_ESCAPE);
        EXPECT_EQ(app.WaitForExit(10000), 0u);
    }
};

void ClickClient(HWND window, int x, int y)
{
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

} // namespace

TEST(MainWindow, StartPageOptionsPanelMinimiseAndCloseBox)
{
    RunningApp run;
    ASSERT_NO_FATAL_FAILURE(run.Start());
    EXPECT_EQ(GetWindowLongPtrA(run.window, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_TRUE(IsShown(Control(run.window, IDC_SCAN_NOW)));
    EXPECT_FALSE(IsShown(Control(run.window, IDC_ABORT)));
    EXPECT_FALSE(SaveScreenshot("start-page", run.window).empty());
    SendKey(run.window, VK_RETURN);
    EXPECT_EQ(run.app.WaitForExit(700), STILL_ACTIVE) << "Enter must do nothing";
    EXPECT_TRUE(IsShown(run.window));

    Click(Control(run.window, IDC_OPTIONS));
    HWND options = WaitForWindow(run.app.Id(), "Advanced Options", 10000);
    ASSERT_NE(options, nullptr);
    Sleep(300);
    EXPECT_EQ(WindowText(Control(options, IDCANCEL)), "Close");
    EXPECT_FALSE(SaveScreenshot("advanced-options", options).empty());
    Click(Control(options, IDCANCEL));
    for (DWORD start = GetTickCount(); IsWindow(options) && GetTickCount() - start < 5000;)
        Sleep(50);
    EXPECT_FALSE(IsWindow(options));
    EXPECT_EQ(run.app.WaitForExit(200), STILL_ACTIVE) << "closing the panel must not end the program";

    ClickClient(run.window, 686, 16);
    Sleep(500);
    EXPECT_TRUE(IsIconic(run.window));
    EXPECT_EQ(run.app.WaitForExit(200), STILL_ACTIVE);
    ShowWindow(run.window, SW_RESTORE);
    Sleep(300);
    ClickClient(run.window, 711, 16);
    EXPECT_EQ(run.app.WaitForExit(10000), 0u);
}

TEST(Application, FirstStartWritesTheDefaultSettingsBeforeTheWindowShowsAndEscapeEnds)
{
    SavedSettingsKey saved;
    RunningApp run;
    ASSERT_NO_FATAL_FAILURE(run.Start());
    std::string registry;
    EXPECT_EQ(ReadSetting("Registry Section", registry), 1);
    for (int id : {IDC_CHECK_REGISTRY, IDC_CHECK_IE, IDC_CHECK_WINDOWS, IDC_CHECK_TWEAKS})
        EXPECT_TRUE(IsChecked(Control(run.window, id))) << id;
    run.EndWithEscape();
}

TEST(Application, SecondCopyEndsAtOnceWithoutAWindow)
{
    RunningApp first;
    ASSERT_NO_FATAL_FAILURE(first.Start());
    AppProcess second;
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(second.WaitForExit(10000), 0u);
    EXPECT_TRUE(TopWindows(second.Id()).empty());
    EXPECT_TRUE(first.app.Running());
    first.EndWithEscape();
}
