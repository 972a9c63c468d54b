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

// What the window showed while its repair ran, seen from inside the run.
struct Seen {
    HWND window = nullptr;
    HWND helper = nullptr;
    std::vector<std::string> boxes;
    std::string caption;
    bool scanEnabled = true;
    int barPosition = -1;
};
Seen seen;

// Runs inside the repair's first pump: notes what the window shows, clicks Abort.
LRESULT CALLBACK HelperProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_APP)
        return DefWindowProcA(window, msg, wParam, lParam);
    seen.caption = WindowText(GetDlgItem(seen.window, IDC_REPAIR));
    seen.scanEnabled = IsWindowEnabled(GetDlgItem(seen.window, IDC_SCAN)) != 0;
    seen.barPosition = static_cast<int>(SendMessageA(GetDlgItem(seen.window, IDC_REPAIR_PROGRESS), PBM_GETPOS, 0, 0));
    SendMessageA(seen.window, WM_COMMAND, MAKEWPARAM(IDC_REPAIR, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(seen.window, IDC_REPAIR)));
    return 0;
}

int WINAPI WatchBoxes(HWND, LPCSTR text, LPCSTR, UINT)
{
    seen.boxes.push_back(text);
    if (seen.boxes.size() == 1) // the backup notice: Abort is clicked at the first pump
        PostMessageA(seen.helper, WM_APP, 0, 0);
    return IDOK;
}

} // namespace

// Repair from the results page, aborted at its first pump: the window is
// locked and reads "Abort" while it runs, one Run entry goes and one stays,
// and the set holds the one that went.
TEST(RepairWindow, AbortAfterTheFirstRecordEndsWithTheAbortMessageAndASetOfWhatWent)
{
    DefaultSettings settings;
    settings.OnlySections({SectionStartup});
    const std::string name = UniqueName("QmRepairRun");
    PlantedValue first(HKEY_CURRENT_USER, runKey, name + "A", "C:\\" + name + "\\gone.exe");
    PlantedValue second(HKEY_CURRENT_USER, runKey, name + "B", "C:\\" + name + "\\gone.exe");
    const size_t setsBefore = ListBackupSets().size();

    MainWindow main;
    seen = Seen();
    seen.window = main.CreateModeless(nullptr);
    ASSERT_NE(seen.window, nullptr);
    seen.helper = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(seen.helper, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HelperProc));
    ShowWindow(seen.window, SW_SHOW);
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
    SendMessageA(seen.window, WM_COMMAND, MAKEWPARAM(IDC_REPAIR, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(seen.window, IDC_REPAIR)));
    messageBoxFunction = previous;

    EXPECT_EQ(seen.boxes, (std::vector<std::string>{
                              "Quillmoor will automatically backup any problems fixed before actually "
                              "removing them.\nPress OK to proceed with backup and removal procedures.",
                              "System Repair Aborted"}));
    EXPECT_EQ(seen.caption, "Abort");
    EXPECT_FALSE(seen.scanEnabled);
    EXPECT_EQ(seen.barPosition, 1);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(seen.window, IDC_SCAN)));
    EXPECT_EQ(main.CurrentPage(), MainWindow::Page::Start);
    EXPECT_FALSE(main.RepairRunning());

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

    DestroyWindow(seen.window);
    DestroyWindow(seen.helper);
}
