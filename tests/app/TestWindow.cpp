#include "TestWindow.h"

#include "core/ScanSection.h"
#include "settings/Settings.h"

void PumpWindowMessages(HWND dialog)
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

RECT ChildRect(HWND control)
{
    RECT area;
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&area), 2);
    return area;
}

void MainWindowTest::SetUp()
{
    settings.OnlySections({SectionRegistryIntegrity, SectionStartup});
    for (SectionGroupId group : {GroupIETemp, GroupTweaks})
        WriteSetting(GroupSettingsKey(group), "0");
    window = main.CreateModeless(nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    PumpWindowMessages(window);
}

void MainWindowTest::TearDown()
{
    DestroyWindow(window);
    PumpWindowMessages(nullptr);
}

bool MainWindowTest::WaitForScanEnd(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do
        PumpWindowMessages(window);
    while (main.ScanThreadRunning() && GetTickCount() - start < milliseconds);
    PumpWindowMessages(window);
    return !main.ScanThreadRunning();
}
