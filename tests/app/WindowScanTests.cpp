#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/WindowScanContext.h"
#include "core/Registry.h"
#include "resource.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "TestWindow.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/TestThread.h"
#include "support/UiDriver.h"

namespace {

const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Each row of the section list as "label | count | status | image | section code".
std::vector<std::string> SectionRows(HWND list)
{
    std::vector<std::string> rows;
    for (int index = 0; index < ListView_GetItemCount(list); ++index) {
        std::string row;
        for (int column = 0; column < 3; ++column) {
            char text[64] = "";
            ListView_GetItemText(list, index, column, text, sizeof(text));
            row += text + std::string(" | ");
        }
        LVITEMA item = {};
        item.mask = LVIF_IMAGE | LVIF_PARAM;
        item.iItem = index;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        rows.push_back(row + std::to_string(item.iImage) + " | " + std::to_string(item.lParam));
    }
    return rows;
}

// The main window of this process, with only the sections a test switches
// on and the browser and tweaks groups unticked. Message boxes are captured.
class WindowScan : public testing::Test {
protected:
    void SetUp() override
    {
        settings.OnlySections({SectionRegistryIntegrity, SectionStartup});
        for (SectionGroupId group : {GroupIETemp, GroupTweaks})
            WriteSetting(GroupSettingsKey(group), "0");
    }
    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        PumpWindowMessages(nullptr);
    }

    void Open()
    {
        window = main.CreateModeless(nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        PumpWindowMessages(window);
    }
    // Runs the window until the scan thread said it finished.
    bool WaitForScanEnd(DWORD milliseconds)
    {
        DWORD start = GetTickCount();
        do
            PumpWindowMessages(window);
        while (main.ScanThreadRunning() && GetTickCount() - start < milliseconds);
        PumpWindowMessages(window);
        return !main.ScanThreadRunning();
    }
    std::string Text(int id) const { return WindowText(GetDlgItem(window, id)); }
    void Click(int id)
    {
        SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0);
        PumpWindowMessages(window);
    }

    DefaultSettings settings;
    MessageCapture boxes;
    MainWindow main;
    HWND window = nullptr;
};

// What the window shows when a failure box comes up: the item line, the
// bar's position and the registry label, as one line.
HWND watchedWindow;
std::vector<std::string> shownAtBoxes;

int WINAPI NoteWindowAtBox(HWND, LPCSTR text, LPCSTR, UINT)
{
    shownAtBoxes.push_back(
        std::string(text) + ": " + WindowText(GetDlgItem(watchedWindow, IDC_STATUS_ITEM)) + " | " +
        std::to_string(SendMessageA(GetDlgItem(watchedWindow, IDC_SCAN_PROGRESS), PBM_GETPOS, 0, 0)) +
        " | " + WindowText(GetDlgItem(watchedWindow, IDC_LABEL_REGISTRY)));
    return IDOK;
}

} // namespace

// Items and steps by the thousand, held for the window between records,
// labels and boxes: each of those finds the item line and the bar up to date
// and the records in the order sent; what is held after the last call
// reaches the window on its own.
TEST_F(WindowScan, HeldItemsAndStepsKeepUpWithRecordsLabelsAndBoxes)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    main.SetPage(MainWindow::Page::Scanning);
    SendMessageA(GetDlgItem(window, IDC_SCAN_PROGRESS), PBM_SETRANGE32, 0, 10000);
    SendMessageA(GetDlgItem(window, IDC_SCAN_PROGRESS), PBM_SETSTEP, 1, 0);
    watchedWindow = window;
    shownAtBoxes.clear();
    MessageBoxFunction previous = messageBoxFunction;
    messageBoxFunction = NoteWindowAtBox;

    std::unique_ptr<WindowScanContext> context = main.NewScanContext();
    volatile LONG done = 0;
    TestThread scan([&] {
        auto walk = [&](const std::string& key, int count) {
            for (int i = 0; i < count; ++i) {
                context->ShowItem(key + "\\" + std::to_string(i));
                context->Pump();
                context->Step();
            }
        };
        walk("A", 3000);
        context->SetGroupLabel(GroupRegistry, "Problems Found: 0");
        context->Report(MakeProblemRecord(SectionStartup, "first", "A", "one", "", ""));
        walk("B", 3000);
        context->ShowFailure("after B", BoxTitle::None);
        context->Report(MakeProblemRecord(SectionStartup, "second", "B", "two", "", ""));
        walk("C", 2000);
        context->ShowFailure("after C", BoxTitle::None);
        walk("D", 5);
        InterlockedExchange(&done, 1);
    });
    DWORD start = GetTickCount();
    auto shown = [&] {
        return Text(IDC_STATUS_ITEM) == "D\\4" &&
               SendMessageA(GetDlgItem(window, IDC_SCAN_PROGRESS), PBM_GETPOS, 0, 0) == 8005;
    };
    while (!(done && shown()) && GetTickCount() - start < 60000) {
        PumpWindowMessages(window);
    }
    scan.Join();
    messageBoxFunction = previous;

    EXPECT_EQ(shownAtBoxes, (std::vector<std::string>{"after B: B\\2999 | 6000 | Problems Found: 1",
                                                      "after C: C\\1999 | 8000 | Problems Found: 2"}));
    SaveScreenshot("scan-held-progress", window);
    EXPECT_EQ(Text(IDC_STATUS_ITEM), "D\\4");
    EXPECT_EQ(SendMessageA(GetDlgItem(window, IDC_SCAN_PROGRESS), PBM_GETPOS, 0, 0), 8005);
    const auto& problems = main.Problems().Problems();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0]->item, "first");
    EXPECT_EQ(problems[1]->item, "second");
}

// Scan Now with the Windows group unticked: the Run entries of a program that
// is gone show in the rows, labels and problem list; Go Back shows the groups
// as they were stored when the scan started.
TEST_F(WindowScan, PlantedRunEntriesReachTheRowsLabelsAndProblemList)
{
    const std::string name = UniqueName("QmGoneRun");
    PlantedValue machine(HKEY_LOCAL_MACHINE, runKey, name, "C:\\" + name + "\\a.exe");
    PlantedValue user(HKEY_CURRENT_USER, runKey, name, "C:\\" + name + "\\b.exe");
    PlantedValue fine(HKEY_CURRENT_USER, runKey, name + "ok", "C:\\windows\\notepad.exe");
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(IsChecked(GetDlgItem(window, IDC_CHECK_WINDOWS)));
    Click(IDC_CHECK_WINDOWS);
    ASSERT_FALSE(IsChecked(GetDlgItem(window, IDC_CHECK_WINDOWS)));

    Click(IDC_SCAN_NOW);
    EXPECT_EQ(main.CurrentPage(), MainWindow::Page::Scanning);
    main.StartScan(); // ignored: a scan runs
    EXPECT_TRUE(WaitForScanEnd(60000));

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Scan Completed"});
    EXPECT_EQ(main.CurrentPage(), MainWindow::Page::Results);
    EXPECT_EQ(Text(IDC_STATUS_ITEM), "Scan Complete");
    EXPECT_EQ(Text(IDC_STATUS_SECTION), "");
    EXPECT_EQ(SendMessageA(GetDlgItem(window, IDC_SCAN_PROGRESS), PBM_GETPOS, 0, 0), 10000);
    EXPECT_EQ(Text(IDC_LABEL_REGISTRY), "Problems Found: 2");
    EXPECT_EQ(Text(IDC_LABEL_IE), "Problems Found: 0");
    EXPECT_EQ(Text(IDC_LABEL_WINDOWS), "Increase Disk Space By: 0 bytes");
    EXPECT_EQ(Text(IDC_LABEL_TWEAKS), "Tweaks Available: 0");

    EXPECT_EQ(SectionRows(GetDlgItem(window, IDC_SECTION_LIST)),
              (std::vector<std::string>{
                  std::string(SectionRowLabel(SectionRegistryIntegrity)) + " | 0 | Finished | 0 | " +
                      std::to_string(SectionRegistryIntegrity),
                  std::string(SectionRowLabel(SectionStartup)) + " | 2 | Finished | 1 | " + std::to_string(SectionStartup)}));

    const auto& problems = main.Problems().Problems();
    ASSERT_EQ(problems.size(), 2u);
    for (size_t i = 0; i < problems.size(); ++i) {
        EXPECT_EQ(problems[i]->valueName, name);
        EXPECT_EQ(problems[i]->serial, i);
        EXPECT_EQ(problems[i]->section, static_cast<unsigned>(SectionStartup));
    }

    // A problem message without a record is passed over.
    EXPECT_EQ(SendMessageA(window, 0x87B7, 0, 0), 0);
    EXPECT_EQ(main.Problems().Problems().size(), 2u);
    EXPECT_EQ(Text(IDC_LABEL_REGISTRY), "Problems Found: 2");

    Click(IDC_GO_BACK);
    EXPECT_EQ(main.CurrentPage(), MainWindow::Page::Start);
    EXPECT_FALSE(IsChecked(GetDlgItem(window, IDC_CHECK_WINDOWS)));
    EXPECT_TRUE(IsChecked(GetDlgItem(window, IDC_CHECK_REGISTRY)));
}
