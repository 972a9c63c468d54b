#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "TestWindow.h"
#include "app/MainWindow.h"
#include "app/ProblemDetailsDialog.h"
#include "core/Registry.h"
#include "core/ResourceText.h"
#include "resource.h"
#include "settings/IgnoreList.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/TestThread.h"
#include "support/UiDriver.h"

namespace {

template <typename Condition>
bool WaitFor(Condition done, DWORD milliseconds)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start > milliseconds)
            return false;
    return true;
}

std::vector<LPARAM> ItemData(HWND list)
{
    std::vector<LPARAM> data;
    for (int index = 0; index < ListView_GetItemCount(list); ++index) {
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = index;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        data.push_back(item.lParam);
    }
    return data;
}

RECT ItemRect(HWND list, int index)
{
    RECT item = {};
    ListView_GetItemRect(list, index, &item, LVIR_BOUNDS);
    return item;
}

void ClickAt(HWND window, int x, int y)
{
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// Keeps the ignore list file as it was before the test.
class SavedIgnoreList {
public:
    SavedIgnoreList() : existed(GetFileAttributesA(IgnoreListPath().c_str()) != INVALID_FILE_ATTRIBUTES),
                        bytes(ReadFileBytes(IgnoreListPath())) {}
    ~SavedIgnoreList()
    {
        if (existed)
            std::ofstream(IgnoreListPath(), std::ios::binary) << bytes;
        else
            DeleteFileA(IgnoreListPath().c_str());
    }

private:
    bool existed;
    std::string bytes;
};

} // namespace

// One record of each layout: the entry's text, the row height and the link
// line; each list is saved as a screenshot.
TEST(ProblemDetails, EachLayoutShowsItsRecordsFields)
{
    struct Layout {
        const char* name;
        unsigned section;
        int spacing;
        const char* expected;
        bool linkLine;
    } layouts[] = {
        {"registry", 12, defaultRowSpacing,
         "<font color=\"#0000FF\">RegKey : HKLM\\Software\\Sounds\\Beep <br>ValueName : (Default)<br>Value : "
         "C:\\gone\\beep.wav</font><br><b>The file (C:\\gone\\beep.wav) does not exist at the specified location</b>",
         true},
        {"shortcut", 14, defaultRowSpacing,
         "<font color=\"#0000FF\">Shortcut Path : C:\\Desktop\\Old.lnk<br>Shortcut to : C:\\gone\\old.exe</font><br>"
         "<b>The shortcut is not valid.  Shortcut refers to (C:\\gone\\old.exe) which is a file that does not "
         "exist.</b>",
         true},
        {"file", 16, 10,
         "<font color=\"#0000FF\">File Path : C:\\windows\\temp\\x.tmp</font><br><b>Temporary file</b>", true},
        {"cookie", 19, 0, "<font color=\"#0000FF\">Cookie Path : </font><b>C:\\cookies\\user@site.txt</b>", false},
        {"tweak", 22, -15, "<brs><font color=\"#0000FF\">Tweak Available : </font><b>Speed up the menus</b>",
         false},
    };
    std::vector<ProblemPtr> problems;
    problems.push_back(MakeProblemRecord(12, "", "HKEY_LOCAL_MACHINE\\Software\\Sounds\\Beep",
                                         ResourceString(IDS_DEFAULT_VALUE), "C:\\gone\\beep.wav",
                                         ResourceString(IDS_FILE_MISSING)));
    problems.push_back(MakeProblemRecord(14, "C:\\Desktop\\Old.lnk", "", "", "C:\\gone\\old.exe",
                                         ResourceString(IDS_SHORTCUT_INVALID)));
    problems.push_back(MakeProblemRecord(16, "C:\\windows\\temp\\x.tmp", "C:\\windows\\temp\\x.tmp", "", "",
                                         "Temporary file", 700));
    problems.push_back(MakeProblemRecord(19, "C:\\cookies\\user@site.txt", "", "", "", "Cookie"));
    problems.push_back(MakeProblemRecord(22, "", "HKEY_CURRENT_USER\\Control Panel\\Desktop", "MenuShowDelay",
                                         "0", "Speed up the menus"));
    for (const Layout& layout : layouts) {
        ProblemDetailsDialog details(layout.section, problems, layout.section == 22 ? -15 : defaultRowSpacing);
        HWND window = details.CreateModeless(nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        PumpWindowMessages(window);
        HWND list = GetDlgItem(window, IDC_DETAILS_LIST);
        ASSERT_EQ(details.List().ItemCount(), 1) << layout.name;
        EXPECT_EQ(details.List().ItemText(0), layout.expected) << layout.name;
        RECT item = ItemRect(list, 0);
        EXPECT_GE(item.bottom - item.top, 65 + layout.spacing) << layout.name;
        EXPECT_EQ(item.bottom - item.top, details.RowHeight()) << layout.name;
        RECT ignore, copy;
        details.List().LinkAreas(0, ignore, copy);
        EXPECT_EQ(!IsRectEmpty(&ignore), layout.linkLine) << layout.name;
        EXPECT_FALSE(SaveScreenshot(std::string("details-") + layout.name, window).empty());
        DestroyWindow(window);
        PumpWindowMessages(nullptr);
    }
    EXPECT_EQ(problems[0]->keyPath, "HKLM\\Software\\Sounds\\Beep") << "kept short after the view closed";
}

TEST(ProblemDetails, ColumnClicksSortByKeyThenBackToTheOrderOfFinding)
{
    std::vector<ProblemPtr> problems;
    for (const char* key : {"HKEY_LOCAL_MACHINE\\b", "HKEY_CURRENT_USER\\z", "HKEY_LOCAL_MACHINE\\a", "HKCU\\\xE9"}) {
        problems.push_back(MakeProblemRecord(8, "", key, "v", "d", "x"));
        problems.back()->serial = static_cast<uint32_t>(problems.size() - 1);
    }
    problems[1]->checked = 0;
    ProblemDetailsDialog details(8, problems);
    HWND window = details.CreateModeless(nullptr);
    ASSERT_NE(window, nullptr);
    HWND list = GetDlgItem(window, IDC_DETAILS_LIST);
    auto order = [&](std::vector<int> indexes) {
        std::vector<LPARAM> data;
        for (int i : indexes)
            data.push_back(reinterpret_cast<LPARAM>(problems[i].get()));
        return data;
    };
    EXPECT_EQ(ItemData(list), order({0, 1, 2, 3}));
    NMLISTVIEW click = {};
    click.hdr = {list, IDC_DETAILS_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
    SendMessageA(window, WM_NOTIFY, IDC_DETAILS_LIST, reinterpret_cast<LPARAM>(&click));
    // "HKCU\z" < "HKCU\é" (byte 0xE9 above 'z') < "HKLM\a" < "HKLM\b".
    EXPECT_EQ(ItemData(list), order({1, 3, 2, 0}));
    EXPECT_FALSE(details.List().IsChecked(0)) << "a check box stays with its record";
    SendMessageA(window, WM_NOTIFY, IDC_DETAILS_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(ItemData(list), order({0, 1, 2, 3}));

    SendMessageA(window, WM_COMMAND, IDC_DESELECT_ALL, 0);
    for (const ProblemPtr& problem : problems)
        EXPECT_EQ(problem->checked, 0u);
    SendMessageA(window, WM_COMMAND, IDC_SELECT_ALL, 0);
    for (const ProblemPtr& problem : problems)
        EXPECT_EQ(problem->checked, 1u);
    EXPECT_TRUE(details.List().IsChecked(1));
    DestroyWindow(window);
}

namespace {

const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The main window of this process scans two Run entries of a program that is
// gone (one per root); a second thread drives the views that open over it.
class ViewsOverScan : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(WriteDefaultSettings(), 1);
        WriteSetting("Generate Log", "1");
        WriteSetting("Log File Path", firstLogs.Path());
        for (unsigned code = 0; code < SectionCount; ++code)
            if (*SectionSettingsKey(code))
                WriteSetting(SectionSettingsKey(code), "0");
        WriteSetting("Startup Programs", "1");
        for (SectionGroupId group : {GroupIETemp, GroupWindows, GroupTweaks})
            WriteSetting(GroupSettingsKey(group), "0");
        DeleteFileA(IgnoreListPath().c_str());
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            ASSERT_EQ(WriteRegValue(root, runKey, name, "C:\\" + name + "\\gone.exe", REG_SZ), 1);
        window = main.CreateModeless(nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
    }
    void TearDown() override
    {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            DeleteRegValue(root, runKey, name);
        if (IsWindow(window))
            DestroyWindow(window);
        PumpWindowMessages(nullptr);
    }
    void Scan()
    {
        SendMessageA(window, WM_COMMAND, IDC_SCAN_NOW, 0);
        DWORD start = GetTickCount();
        while (main.ScanThreadRunning() && GetTickCount() - start < 60000)
            PumpWindowMessages(nullptr);
        PumpWindowMessages(nullptr);
        ASSERT_EQ(main.CurrentPage(), MainWindow::Page::Results);
    }
    const std::vector<ProblemPtr>& Problems() const { return main.Problems().Problems(); }

    const std::string name = UniqueName("QmViewsRun");
    SavedSettingsKey saved;
    PlantedFolder firstLogs{TestTempFolder() + UniqueName("QuillmoorViewsLogs")};
    PlantedFolder secondLogs{TestTempFolder() + UniqueName("QuillmoorViewsLogsAgain")};
    SavedIgnoreList savedList;
    MessageCapture boxes;
    MainWindow main;
    HWND window = nullptr;
};

} // namespace

// More Info of the registry group, then the startup section: one problem is
// unticked by its check box, the other's key is added to the ignore list and
// saved, which unticks it at once; the next scan no longer reports it.
TEST_F(ViewsOverScan, UntickAndIgnoreFromTheDetailsView)
{
    ASSERT_NO_FATAL_FAILURE(Scan());
    ASSERT_EQ(Problems().size(), 2u);
    ProblemRecord* machine = Problems()[0].get();
    ProblemRecord* user = Problems()[1].get();
    ASSERT_EQ(user->keyPath, "HKEY_CURRENT_USER\\" + std::string(runKey));

    std::vector<std::string> failures;
    std::string summaryText, ignoredEntry;
    TestThread driver([&] {
        auto fail = [&](const std::string& what) { failures.push_back(what); };
        HWND summary = nullptr, details = nullptr, ignoreDialog = nullptr;
        if (!WaitFor([&] { return (summary = FindWindowA(nullptr, "Errors Found")) != nullptr; }, 10000))
            return fail("no summary");
        Sleep(300);
        HWND summaryList = GetDlgItem(summary, IDC_ERRORS_LIST);
        char text[512] = "";
        ListView_GetItemText(summaryList, 0, 0, text, sizeof(text));
        summaryText = text;
        SaveScreenshot("errors-found", summary);
        RECT item = ItemRect(summaryList, 0);
        ClickAt(summaryList, item.right - 30, item.top + 10);
        if (!WaitFor([&] { return (details = FindWindowA(nullptr, "Details of problems found")) != nullptr; }, 10000))
            return fail("no details");
        Sleep(300);
        HWND list = GetDlgItem(details, IDC_DETAILS_LIST);
        std::vector<LPARAM> data = ItemData(list);
        if (data.size() != 2 || data[0] != reinterpret_cast<LPARAM>(machine))
            return fail("details items");
        item = ItemRect(list, 0);
        ClickAt(list, item.left + 12, item.top + 15);
        if (!WaitFor([&] { return machine->checked == 0; }, 5000))
            fail("the check box did not untick the record");
        item = ItemRect(list, 1);
        ClickAt(list, item.right - 180, item.bottom - 10);
        if (!WaitFor([&] { return IsShown(ignoreDialog = FindWindowA(nullptr, "Ignore List")); }, 60000))
            return fail("no Ignore List");
        Sleep(300);
        SaveScreenshot("ignore-list", ignoreDialog);
        HWND entries = GetDlgItem(ignoreDialog, IDC_IGNORE_ENTRIES);
        ListView_GetItemText(entries, ListView_GetItemCount(entries) - 1, 0, text, sizeof(text));
        ignoredEntry = text;
        PostMessageA(ignoreDialog, WM_COMMAND, IDOK, 0);
        if (!WaitFor([&] { return !IsWindow(ignoreDialog); }, 10000))
            fail("Save did not close the Ignore List");
        if (!WaitFor([&] { return user->checked == 0; }, 5000))
            fail("the saved list did not untick the record");
        Sleep(200);
        SaveScreenshot("details-after-ignore", details);
        PostMessageA(details, WM_COMMAND, IDCANCEL, 0);
        WaitFor([&] { return !IsWindow(details); }, 5000);
        PostMessageA(summary, WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageA(GetDlgItem(window, IDC_MORE_REGISTRY), BM_CLICK, 0, 0);
    driver.Join();
    EXPECT_EQ(failures, std::vector<std::string>{});
    EXPECT_EQ(summaryText, "<b>" + std::string(SectionRowLabel(SectionStartup)) +
                               "<brs><br><font color=\"#FF0000\">2 Problem(s)</font></b><br>Description : " +
                               SectionDescription(SectionStartup));
    EXPECT_EQ(ignoredEntry, "HKEY_CURRENT_USER\\" + std::string(runKey));
    EXPECT_EQ(user->keyPath, "HKCU\\" + std::string(runKey));
    EXPECT_EQ(machine->keyPath, "HKLM\\" + std::string(runKey));
    EXPECT_EQ(machine->checked, 0u);
    EXPECT_EQ(user->checked, 0u);
    EXPECT_EQ(ReadIgnoreListFile(IgnoreListPath()), std::vector<std::string>{ignoredEntry});
    std::vector<std::string> texts = boxes.Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Ignore Data Saved"), texts.end());

    WriteSetting("Log File Path", secondLogs.Path());
    ASSERT_NO_FATAL_FAILURE(Scan());
    ASSERT_EQ(Problems().size(), 1u);
    const std::string userKey = "Key : HKEY_CURRENT_USER\\" + std::string(runKey);
    EXPECT_NE(ReadOnlyMatch(firstLogs.Path(), "*.txt").find(userKey), std::string::npos);
    EXPECT_EQ(ReadOnlyMatch(secondLogs.Path(), "*.txt").find(userKey), std::string::npos);
    EXPECT_EQ(Problems()[0]->keyPath, "HKEY_LOCAL_MACHINE\\" + std::string(runKey));
    EXPECT_EQ(Problems()[0]->checked, 1u);
}
