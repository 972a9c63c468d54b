#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "core/Registry.h"
#include "resource.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

namespace {

const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// A Run value planted for the test, removed again at its end.
class RunValue {
public:
    RunValue(HKEY root, const std::string& name, const std::string& data) : root(root), name(name)
    {
        EXPECT_EQ(WriteRegValue(root, runKey, name, data, REG_SZ), 1);
    }
    ~RunValue() { DeleteRegValue(root, runKey, name); }
    RunValue(const RunValue&) = delete;
    RunValue& operator=(const RunValue&) = delete;

private:
    HKEY root;
    std::string name;
};

struct Row {
    std::string columns[3];
    int image = -1;
    LPARAM code = -1;
};

std::vector<Row> SectionRows(HWND list)
{
    std::vector<Row> rows;
    int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        Row row;
        for (int column = 0; column < 3; ++column) {
            char text[64] = "";
            ListView_GetItemText(list, index, column, text, sizeof(text));
            row.columns[column] = text;
        }
        LVITEMA item = {};
        item.mask = LVIF_IMAGE | LVIF_PARAM;
        item.iItem = index;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        row.image = item.iImage;
        row.code = item.lParam;
        rows.push_back(row);
    }
    return rows;
}

// The main window of this process, with only the sections a test switches
// on and the other three groups left unchecked. Message boxes are captured.
class WindowScan : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(WriteDefaultSettings(), 1);
        ASSERT_EQ(WriteSetting("Log File Path", logs.Path()), 1);
        for (unsigned code = 0; code < SectionCount; ++code) {
            if (*SectionSettingsKey(code))
                WriteSetting(SectionSettingsKey(code), "0");
        }
        for (SectionGroupId group : {GroupIETemp, GroupWindows, GroupTweaks})
            WriteSetting(GroupSettingsKey(group), "0");
    }
    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        Pump();
    }

    void Open()
    {
        window = main.CreateModeless(nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        Pump();
    }
    void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Runs the window until the scan thread said it finished.
    bool WaitForScanEnd(DWORD milliseconds)
    {
        DWORD start = GetTickCount();
        do {
            Pump();
            Sleep(10);
        } while (main.ScanThreadRunning() && GetTickCount() - start < milliseconds);
        Pump();
        return !main.ScanThreadRunning();
    }
    std::string Text(int id) const { return WindowText(GetDlgItem(window, id)); }

    SavedSettingsKey saved;
    PlantedFolder logs{TestTempFolder() + UniqueName("QuillmoorWindowScanLogs")};
    MessageCapture boxes;
    MainWindow main;
    HWND window = nullptr;
};

} // namespace

TEST_F(WindowScan, PlantedRunEntriesReachTheRowsLabelsAndProblemList)
{
    const std::string name = UniqueName("QmGoneRun");
    WriteSetting("Registry Integrity", "1");
    WriteSetting("Startup Programs", "1");
    RunValue machine(HKEY_LOCAL_MACHINE, name, "C:\\" + name + "\\a.exe");
    RunValue user(HKEY_CURRENT_USER, name, "C:\\" + name + "\\b.exe");
    RunValue fine(HKEY_CURRENT_USER, name + "ok", "C:\\windows\\notepad.exe");
    ASSERT_NO_FATAL_FAILURE(Open());

    main.StartScan();
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

    std::vector<Row> rows = SectionRows(GetDlgItem(window, IDC_SECTION_LIST));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].columns[0], SectionRowLabel(SectionRegistryIntegrity));
    EXPECT_EQ(rows[0].columns[1], "0");
    EXPECT_EQ(rows[0].columns[2], "Finished");
    EXPECT_EQ(rows[0].image, 0);
    EXPECT_EQ(rows[1].columns[0], SectionRowLabel(SectionStartup));
    EXPECT_EQ(rows[1].columns[1], "2");
    EXPECT_EQ(rows[1].columns[2], "Finished");
    EXPECT_EQ(rows[1].image, 1);
    EXPECT_EQ(rows[1].code, static_cast<LPARAM>(SectionStartup));

    const auto& problems = main.Problems().Problems();
    ASSERT_EQ(problems.size(), 2u);
    for (size_t i = 0; i < problems.size(); ++i) {
        EXPECT_EQ(problems[i]->valueName, name);
        EXPECT_EQ(problems[i]->serial, i);
        EXPECT_EQ(problems[i]->section, static_cast<unsigned>(SectionStartup));
    }
}

TEST_F(WindowScan, AbortStopsBeforeTheNextTestedSectionAndSaysSo)
{
    WriteSetting("Registry Integrity", "1");
    WriteSetting("Startup Programs", "1");
    WriteSetting("Sounds Section", "1");
    ASSERT_NO_FATAL_FAILURE(Open());

    main.StartScan();
    main.AbortScan();
    EXPECT_TRUE(WaitForScanEnd(60000));

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Scan Aborted"});
    EXPECT_EQ(main.CurrentPage(), MainWindow::Page::Results);
    EXPECT_EQ(Text(IDC_STATUS_ITEM), "Scan Aborted");
    std::vector<Row> rows = SectionRows(GetDlgItem(window, IDC_SECTION_LIST));
    ASSERT_EQ(rows.size(), 3u);
    // The sections before the first test run (their scanners stop at once);
    // the sounds never start and keep their label only.
    EXPECT_EQ(rows[1].columns[2], "Finished");
    EXPECT_EQ(rows[2].columns[0], SectionRowLabel(SectionSounds));
    EXPECT_EQ(rows[2].columns[1], "");
    EXPECT_EQ(rows[2].columns[2], "");

    // A new scan starts from nothing.
    main.StartScan();
    EXPECT_TRUE(WaitForScanEnd(60000));
    EXPECT_EQ(boxes.Texts().back(), "Scan Completed");
    EXPECT_EQ(SectionRows(GetDlgItem(window, IDC_SECTION_LIST)).size(), 3u);
}

TEST_F(WindowScan, DestroyingTheWindowMidScanLeavesTheThreadToEndQuietly)
{
    WriteSetting("Registry Integrity", "1");
    WriteSetting("Startup Programs", "1");
    ASSERT_NO_FATAL_FAILURE(Open());
    main.StartScan();
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    // The thread waits out the integrity pause, then finds the window gone.
    for (int i = 0; i < 20; ++i) {
        Pump();
        Sleep(100);
    }
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>()) << "no box for a window that is gone";
}
