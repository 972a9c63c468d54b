#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "app/MainWindow.h"
#include "core/Registry.h"
#include "repair/BackupRestore.h"
#include "resource.h"
#include "settings/Settings.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

namespace {

const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

HWND window;
std::string during; // the button's caption, the scan button's state and the progress while it ran

void Press(int id) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)Control(window, id)); }

// Runs inside the repair's first pump: notes what the window shows, clicks Abort.
LRESULT CALLBACK AtFirstPump(HWND self, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_APP)
        return DefWindowProcA(self, msg, wParam, lParam);
    during = WindowText(Control(window, IDC_REPAIR)) + (IsWindowEnabled(Control(window, IDC_SCAN)) ? "|on|" : "|off|") +
             std::to_string(SendDlgItemMessageA(window, IDC_REPAIR_PROGRESS, PBM_GETPOS, 0, 0));
    Press(IDC_REPAIR);
    return 0;
}

} // namespace

// Aborted at its first pump, the locked window's repair keeps one entry and a set of the one that went.
TEST(RepairWindow, AbortAfterTheFirstRecordEndsWithTheAbortMessageAndASetOfWhatWent)
{
    DefaultSettings settings;
    settings.OnlySections({SectionStartup});
    const std::string name = UniqueName("QmRepairRun"), gone = "C:\\" + name + "\\gone.exe";
    PlantedValue first(HKEY_CURRENT_USER, runKey, name + "A", gone), second(HKEY_CURRENT_USER, runKey, name + "B", gone);
    const size_t setsBefore = ListBackupSets().size();

    MainWindow main;
    window = main.CreateModeless(nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    HWND helper = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(helper, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AtFirstPump));
    MessageCapture boxes;
    main.StartScan();
    for (DWORD start = GetTickCount(); main.ScanThreadRunning() && GetTickCount() - start < 60000; Sleep(10))
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageA(&msg);
    ASSERT_EQ(main.CurrentPage(), MainWindow::Page::Results);
    ASSERT_EQ(main.Problems().Problems().size(), 2u);

    PostMessageA(helper, WM_APP, 0, 0); // Abort is clicked at the repair's first pump
    Press(IDC_REPAIR);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Scan Completed", "Quillmoor will automatically backup any "
                                                        "problems fixed before actually removing them.\nPress OK to "
                                                        "proceed with backup and removal procedures.",
                                                        "System Repair Aborted"}));
    EXPECT_EQ(during, "Abort|off|1");
    EXPECT_TRUE(IsWindowEnabled(Control(window, IDC_SCAN)));
    EXPECT_EQ(main.CurrentPage(), MainWindow::Page::Start);
    const std::string removed = main.Problems().Problems()[0]->valueName;
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, runKey, removed), "");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, runKey, main.Problems().Problems()[1]->valueName), gone);

    const std::vector<BackupSetEntry> sets = ListBackupSets(); // newest first
    ASSERT_EQ(sets.size(), setsBefore + 1);
    BackupSet set;
    const std::vector<RestoreItem> items = ListBackupItems(set, sets[0].cabinetPath).items;
    DeleteFileA(sets[0].cabinetPath.c_str());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].valueName, removed);
    DestroyWindow(window);
    DestroyWindow(helper);
}
