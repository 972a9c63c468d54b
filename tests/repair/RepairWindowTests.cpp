#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "app/MainWindow.h"
#include "core/AppMessage.h"
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

HWND window, helper;
std::vector<std::string> boxes;
std::string during; // the button's caption, the scan button's state and the progress while it ran

HWND Item(int id) { return GetDlgItem(window, id); }
void Press(int id) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id))); }

// Runs inside the repair's first pump: notes what the window shows, clicks Abort.
LRESULT CALLBACK AtFirstPump(HWND self, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_APP)
        return DefWindowProcA(self, msg, wParam, lParam);
    during = WindowText(Item(IDC_REPAIR)) + (IsWindowEnabled(Item(IDC_SCAN)) ? "|on|" : "|off|") +
             std::to_string(SendMessageA(Item(IDC_REPAIR_PROGRESS), PBM_GETPOS, 0, 0));
    Press(IDC_REPAIR);
    return 0;
}

int WINAPI WatchBoxes(HWND, LPCSTR text, LPCSTR, UINT)
{
    boxes.push_back(text);
    if (boxes.size() == 1) // the backup notice: Abort is clicked at the first pump
        PostMessageA(helper, WM_APP, 0, 0);
    return IDOK;
}

} // namespace

// Aborted at its first pump, the locked window's repair keeps one entry and a set of the one that went.
TEST(RepairWindow, AbortAfterTheFirstRecordEndsWithTheAbortMessageAndASetOfWhatWent)
{
    DefaultSettings settings;
    settings.OnlySections({SectionStartup});
    const std::string name = UniqueName("QmRepairRun");
    PlantedValue first(HKEY_CURRENT_USER, runKey, name + "A", "C:\\" + name + "\\gone.exe");
    PlantedValue second(HKEY_CURRENT_USER, runKey, name + "B", "C:\\" + name + "\\gone.exe");
    const size_t setsBefore = ListBackupSets().size();

    MainWindow main;
    window = main.CreateModeless(nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    helper = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(helper, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AtFirstPump));
    {
        MessageCapture quiet;
        main.StartScan();
        for (DWORD start = GetTickCount(); main.ScanThreadRunning() && GetTickCount() - start < 60000; Sleep(10))
            for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
                DispatchMessageA(&msg);
    }
    ASSERT_EQ(main.CurrentPage(), MainWindow::Page::Results);
    ASSERT_EQ(main.Problems().Problems().size(), 2u);

    MessageBoxFunction previous = messageBoxFunction;
    messageBoxFunction = WatchBoxes;
    Press(IDC_REPAIR);
    messageBoxFunction = previous;

    EXPECT_EQ(boxes, (std::vector<std::string>{"Quillmoor will automatically backup any problems fixed before actually "
                                               "removing them.\nPress OK to proceed with backup and removal procedures.",
                                               "System Repair Aborted"}));
    EXPECT_EQ(during, "Abort|off|1");
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_SCAN)));
    EXPECT_EQ(main.CurrentPage(), MainWindow::Page::Start);

    const auto& problems = main.Problems().Problems();
    const std::string removed = problems[0]->valueName, kept = problems[1]->valueName;
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, runKey, removed), "");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, runKey, kept), "C:\\" + name + "\\gone.exe");

    const std::vector<BackupSetEntry> sets = ListBackupSets(); // newest first
    ASSERT_EQ(sets.size(), setsBefore + 1);
    BackupSet set;
    BackupContents contents = ListBackupItems(set, sets[0].cabinetPath);
    DeleteFileA(sets[0].cabinetPath.c_str());
    ASSERT_EQ(contents.items.size(), 1u);
    EXPECT_EQ(contents.items[0].kind, RestoreValue);
    EXPECT_EQ(contents.items[0].valueName, removed);

    DestroyWindow(window);
    DestroyWindow(helper);
}
