#pragma once
// For windows a test creates in its own thread: a message pump, control
// positions, and this process's main window over settings of the test's own.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/MainWindow.h"
#include "support/MessageCapture.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

// Dispatches every waiting message of this thread, dialog keys included.
void PumpWindowMessages(HWND dialog);

// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND control);

// The main window, shown, over the default settings with only the registry
// integrity and startup sections on and the browser and tweaks groups
// unticked; message boxes are captured.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void Show(MainWindow::Page page) { main.SetPage(page), PumpWindowMessages(window); }
    // Runs the window until the scan thread has ended; false when it did not in time.
    bool WaitForScanEnd(DWORD milliseconds = 60000);
    HWND Item(int id) const { return GetDlgItem(window, id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0), PumpWindowMessages(window); }

    DefaultSettings settings;
    MessageCapture boxes;
    MainWindow main;
    HWND window = nullptr;
};
