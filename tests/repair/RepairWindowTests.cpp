#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "core/AppMessage.h"
#include "core/Registry.h"
#include "repair/BackupSet.h"
#include "resource.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
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

// Runs inside the repair's first pump: looks, takes the picture, clicks Abort.
LRESULT CALLBACK HelperProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_APP)
        return DefWindowProcA(window, msg, wParam, lParam);
    RedrawWindow(seen.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    seen.caption = WindowText(GetDlgItem(seen.window, IDC_REPAIR));
    seen.scanEnabled = IsWindowEnabled(GetDlgItem(seen.window, IDC_SCAN)) != 0;
    seen.barPosition = static_cast<int>(SendMessageA(GetDlgItem(seen.window, IDC_REPAIR_PROGRESS), PBM_GETPOS, 0, 0));
    // The screen shows what the window drew once the system has flushed it,
    // which it does when the thread waits.
    for (int round = 0; round < 3; ++round) {
        Sleep(60);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    SaveScreenshot("repair-in-progress", seen.window);
    SendMessageA(seen.window, WM_COMMAND, MAKEWPARAM(IDC_REPAIR, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(seen.window, IDC_REPAIR)));
    return 0;
}

DWORD WINAPI PictureAndClose(void*)
{
    MessageBoxSeen box = WaitForMessageBox(GetCurrentProcessId(), 10000);
    if (box.window) {
        SaveScreenshot("repair-final-message");
        PressButton(box.window, IDOK);
    }
    return 0;
}

int WINAPI WatchBoxes(HWND owner, LPCSTR text, LPCSTR title, UINT type)
{
    seen.boxes.push_back(text);
    if (seen.boxes.size() == 1) // the backup notice: Abort is clicked at the first pump
        PostMessageA(seen.helper, WM_APP, 0, 0);
    if (std::string(text) != "System Repair Aborted")
        return IDOK;
    // The final box is shown for real, photographed and closed.
    HANDLE thread = CreateThread(nullptr, 0, PictureAndClose, nullptr, 0, nullptr);
    int answer = MessageBoxA(owner, text, title, type);
    WaitForSingleObject(thread, 15000);
    CloseHandle(thread);
    return answer;
}

std::vector<std::string> SetsIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.cab").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(folder + "\\" + found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
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
    const std::vector<std::string> setsBefore = SetsIn(BackupSet::BackupFolder());

    MainWindow main;
    seen = Seen();
    seen.window = main.CreateModeless(nullptr);
    ASSERT_NE(seen.window, nullptr);
    seen.helper = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(seen.helper, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HelperProc));
    ShowWindow(seen.window, SW_SHOW);
    MessageBoxFunction previous = messageBoxFunction;
    messageBoxFunction = [](HWND, LPCSTR text, LPCSTR, UINT) {
        seen.boxes.push_back(text);
        return IDOK;
    };
    main.StartScan();
    for (DWORD start = GetTickCount(); main.ScanThreadRunning() && GetTickCount() - start < 60000; Sleep(10)) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    ASSERT_EQ(main.CurrentPage(), MainWindow::Page::Results);
    ASSERT_EQ(main.Problems().Problems().size(), 2u);

    seen.boxes.clear();
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

    std::vector<std::string> sets = SetsIn(BackupSet::BackupFolder()), made;
    for (const std::string& set : sets)
        if (std::find(setsBefore.begin(), setsBefore.end(), set) == setsBefore.end())
            made.push_back(set);
    ASSERT_EQ(made.size(), 1u);
    PlantedFolder unpacked{TestTempFolder() + UniqueName("QmRepairSet")};
    BackupSet set;
    set.SetCabinetPath(made[0]);
    set.UnpackTo(unpacked.Path());
    std::string config = ReadFileBytes(unpacked.Path() + "\\Config.ini");
    EXPECT_EQ(CountOf(config, "[TYPE:REG_VALUE]"), 1u);
    EXPECT_EQ(CountOf(config, "[VALUE_NAME:" + removed + "]"), 1u);
    DeleteFileA(made[0].c_str());

    DestroyWindow(seen.window);
    DestroyWindow(seen.helper);
}
