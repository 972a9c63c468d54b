#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include "app/MainWindow.h"
#include "settings/Settings.h"
#include "support/MessageCapture.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"
#include "support/UiSteps.h"

// Dispatches every waiting message of this thread, dialog keys included.
inline void PumpWindowMessages(HWND dialog)
{
    for (int round = 0; round < 3; ++round, Sleep(30)) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!dialog || !IsWindow(dialog) || !IsDialogMessageA(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
    }
}

// This process's main window, shown in the test's thread, over the default
// settings with only the registry integrity and startup sections on and the
// browser and tweaks groups unticked; message boxes are captured.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        settings.OnlySections({SectionRegistryIntegrity, SectionStartup});
        for (SectionGroupId group : {GroupIETemp, GroupTweaks})
            WriteSetting(GroupSettingsKey(group), "0");
        window = main.CreateModeless(nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        PumpWindowMessages(window);
    }
    void TearDown() override { DestroyWindow(window), PumpWindowMessages(nullptr); }
    void Show(MainWindow::Page page) { main.SetPage(page), PumpWindowMessages(window); }
    // Runs the window until the scan thread has ended; false when it did not in time.
    bool WaitForScanEnd()
    {
        bool ended = WaitFor([this] { return PumpWindowMessages(window), !main.ScanThreadRunning(); }, 60000);
        return PumpWindowMessages(window), ended;
    }
    HWND Item(int id) const { return GetDlgItem(window, id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0), PumpWindowMessages(window); }

    DefaultSettings settings;
    MessageCapture boxes;
    MainWindow main;
    HWND window = nullptr;
};
