#include <commctrl.h>

#include <vector>

#include "TestWindow.h"
#include "app/ProblemDetailsDialog.h"
#include "core/ResourceText.h"
#include "resource.h"
#include "settings/IgnoreList.h"
#include "support/Planted.h"
#include "support/TestThread.h"

namespace {

const std::string runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

RECT ItemRect(HWND list, int index)
{
    RECT item = {};
    ListView_GetItemRect(list, index, &item, LVIR_BOUNDS);
    return item;
}

std::string ItemText(HWND list, int index, int column = 0)
{
    char text[512] = "";
    ListView_GetItemText(list, index, column, text, sizeof(text));
    return text;
}

} // namespace

// One record of each layout: the entry's text, the row height and the link line.
TEST(ProblemDetails, EachLayoutShowsItsRecordsFields)
{
    struct Layout { ProblemPtr record; int spacing; const char* expected; bool linkLine; } layouts[] = {
        {MakeProblemRecord(12, "", "HKEY_LOCAL_MACHINE\\Software\\Sounds\\Beep", ResourceString(IDS_DEFAULT_VALUE),
                           "C:\\gone\\beep.wav", ResourceString(IDS_FILE_MISSING)),
         defaultRowSpacing,
         "<font color=\"#0000FF\">RegKey : HKLM\\Software\\Sounds\\Beep <br>ValueName : (Default)<br>Value : "
         "C:\\gone\\beep.wav</font><br><b>The file (C:\\gone\\beep.wav) does not exist at the specified location</b>",
         true},
        {MakeProblemRecord(14, "C:\\Desktop\\Old.lnk", "", "", "C:\\gone\\old.exe", ResourceString(IDS_SHORTCUT_INVALID)),
         defaultRowSpacing,
         "<font color=\"#0000FF\">Shortcut Path : C:\\Desktop\\Old.lnk<br>Shortcut to : C:\\gone\\old.exe</font><br>"
         "<b>The shortcut is not valid.  Shortcut refers to (C:\\gone\\old.exe) which is a file that does not "
         "exist.</b>",
         true},
        {MakeProblemRecord(16, "C:\\windows\\temp\\x.tmp", "C:\\windows\\temp\\x.tmp", "", "", "Temporary file", 700),
         10, "<font color=\"#0000FF\">File Path : C:\\windows\\temp\\x.tmp</font><br><b>Temporary file</b>", true},
        {MakeProblemRecord(19, "C:\\cookies\\user@site.txt", "", "", "", "Cookie"), 0,
         "<font color=\"#0000FF\">Cookie Path : </font><b>C:\\cookies\\user@site.txt</b>", false},
        {MakeProblemRecord(22, "", "HKEY_CURRENT_USER\\Control Panel\\Desktop", "MenuShowDelay", "0",
                           "Speed up the menus"),
         -15, "<brs><font color=\"#0000FF\">Tweak Available : </font><b>Speed up the menus</b>", false},
    };
    std::vector<ProblemPtr> problems;
    for (Layout& layout : layouts)
        problems.push_back(std::move(layout.record));
    for (size_t i = 0; i < problems.size(); ++i) {
        const Layout& layout = layouts[i];
        const unsigned section = problems[i]->section;
        SCOPED_TRACE(section);
        ProblemDetailsDialog details(section, problems,
                                     layout.spacing < 0 ? layout.spacing : defaultRowSpacing);
        HWND window = details.CreateModeless(nullptr);
        ShowWindow(window, SW_SHOW);
        PumpWindowMessages(window);
        ASSERT_EQ(details.List().ItemCount(), 1);
        EXPECT_EQ(details.List().ItemText(0), layout.expected);
        RECT item = ItemRect(GetDlgItem(window, IDC_DETAILS_LIST), 0);
        EXPECT_GE(item.bottom - item.top, 65 + layout.spacing);
        RECT ignore, copy;
        details.List().LinkAreas(0, ignore, copy);
        EXPECT_EQ(!IsRectEmpty(&ignore), layout.linkLine);
        SaveScreenshot("details-" + std::to_string(section), window);
        DestroyWindow(window);
    }
    EXPECT_EQ(problems[0]->keyPath, "HKLM\\Software\\Sounds\\Beep") << "kept short after the view closed";
}

// A column click sorts by key and a second returns to the order of finding,
// check boxes staying with their records; the copy link of a scrolled list
// copies its own item's plain lines.
TEST(ProblemDetails, SortingAndCopyLinks)
{
    std::vector<ProblemPtr> problems;
    for (const char* key : {"HKEY_LOCAL_MACHINE\\b", "HKEY_CURRENT_USER\\z", "HKEY_LOCAL_MACHINE\\a", "HKCU\\\xE9"})
        problems.push_back(MakeProblemRecord(8, "", key, "Name", "C:\\gone.exe", "explained"));
    for (int i = 4; i < 12; ++i)
        problems.push_back(MakeProblemRecord(8, "", "HKLM\\y" + std::to_string(i + 6), "Name", "C:\\gone.exe", "explained"));
    for (size_t i = 0; i < problems.size(); ++i)
        problems[i]->serial = static_cast<uint32_t>(i);
    problems[1]->checked = 0;
    MessageCapture boxes;
    ProblemDetailsDialog details(8, problems);
    HWND window = details.CreateModeless(nullptr), list = GetDlgItem(window, IDC_DETAILS_LIST);
    ShowWindow(window, SW_SHOW);
    NMLISTVIEW click = {};
    click.hdr = {list, IDC_DETAILS_LIST, static_cast<UINT>(LVN_COLUMNCLICK)};
    auto shownOrder = [&] { // by serial
        std::vector<uint32_t> serials;
        for (int i = 0; i < details.List().ItemCount(); ++i)
            serials.push_back(reinterpret_cast<ProblemRecord*>(details.List().ItemData(i))->serial);
        return serials;
    };
    SendMessageA(window, WM_NOTIFY, IDC_DETAILS_LIST, reinterpret_cast<LPARAM>(&click));
    // "HKCU\z" < "HKCU\é" (byte 0xE9 above 'z') < "HKLM\a" < "HKLM\b" < "HKLM\y10" ...
    EXPECT_EQ(shownOrder(), (std::vector<uint32_t>{1, 3, 2, 0, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_FALSE(details.List().IsChecked(0)) << "a check box stays with its record";
    SendMessageA(window, WM_NOTIFY, IDC_DETAILS_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(shownOrder(), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    for (int command : {IDC_DESELECT_ALL, IDC_SELECT_ALL}) {
        SendMessageA(window, WM_COMMAND, command, 0);
        for (const ProblemPtr& problem : problems)
            EXPECT_EQ(problem->checked, command == IDC_SELECT_ALL ? 1u : 0u) << command;
        EXPECT_EQ(details.List().IsChecked(1), command == IDC_SELECT_ALL);
    }

    ListView_EnsureVisible(list, 11, FALSE);
    PumpWindowMessages(window);
    const int top = ListView_GetTopIndex(list);
    ASSERT_GT(top, 0);
    RECT ignore, copy;
    details.List().LinkAreas(top + 1, ignore, copy);
    ClickAt(list, (copy.left + copy.right) / 2, (copy.top + copy.bottom) / 2);
    PumpWindowMessages(window);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Copied to Clipboard"});
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_TEXT);
    std::string copied = data ? static_cast<const char*>(GlobalLock(data)) : "";
    GlobalUnlock(data), CloseClipboard();
    EXPECT_EQ(copied, "RegKey : HKLM\\y" + std::to_string(top + 7) +
                          " \r\nValueName : Name\r\nValue : C:\\gone.exe\r\nexplained");
    DestroyWindow(window);
}

// A gone program's Run entries (one per root) reach the rows, labels and problem
// list; in the views one is unticked by its check box, the other's key goes on
// the ignore list, which unticks it at once. Go Back shows the groups as
// stored; the next scan no longer reports the ignored key.
TEST_F(MainWindowTest, ScanThenUntickAndIgnoreFromTheViews)
{
    const std::string name = UniqueName("QmGoneRun");
    PlantedValue machineRun(HKEY_LOCAL_MACHINE, runKey, name, "C:\\" + name + "\\a.exe");
    PlantedValue userRun(HKEY_CURRENT_USER, runKey, name, "C:\\" + name + "\\b.exe");
    PlantedValue fine(HKEY_CURRENT_USER, runKey, name + "ok", "C:\\windows\\notepad.exe");
    PlantedFile ignoreList(IgnoreListPath(), "");
    EXPECT_FALSE(IsChecked(Item(IDC_CHECK_IE))) << "the stored setting";
    Click(IDC_CHECK_WINDOWS);
    Click(IDC_SCAN_NOW);
    EXPECT_EQ(main.CurrentPage(), MainWindow::Page::Scanning);
    main.StartScan(); // ignored: a scan runs
    ASSERT_TRUE(WaitForScanEnd());

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Scan Completed"});
    ASSERT_EQ(main.CurrentPage(), MainWindow::Page::Results);
    EXPECT_EQ(SendMessageA(Item(IDC_SCAN_PROGRESS), PBM_GETPOS, 0, 0), 10000);
    EXPECT_EQ(Text(IDC_STATUS_ITEM) + "|" + Text(IDC_STATUS_SECTION) + "|" + Text(IDC_LABEL_REGISTRY) + "|" +
                  Text(IDC_LABEL_IE) + "|" + Text(IDC_LABEL_WINDOWS) + "|" + Text(IDC_LABEL_TWEAKS),
              "Scan Complete||Problems Found: 2|Problems Found: 0|Increase Disk Space By: 0 bytes|Tweaks Available: 0");
    // Each section row as "label | count | status | image".
    HWND sections = Item(IDC_SECTION_LIST);
    std::vector<std::string> rows;
    for (LVITEMA item = {}; ListView_GetItemCount(sections) > item.iItem; ++item.iItem) {
        item.mask = LVIF_IMAGE;
        ListView_GetItem(sections, &item);
        rows.push_back(ItemText(sections, item.iItem) + " | " + ItemText(sections, item.iItem, 1) + " | " +
                       ItemText(sections, item.iItem, 2) + " | " + std::to_string(item.iImage));
    }
    EXPECT_EQ(rows, (std::vector<std::string>{SectionRowLabel(SectionRegistryIntegrity) + std::string(" | 0 | Finished | 0"),
                                              SectionRowLabel(SectionStartup) + std::string(" | 2 | Finished | 1")}));
    const auto& problems = main.Problems().Problems();
    ASSERT_EQ(problems.size(), 2u);
    ProblemRecord *machine = problems[0].get(), *user = problems[1].get();
    for (size_t i = 0; i < problems.size(); ++i)
        EXPECT_EQ(std::to_string(problems[i]->serial) + " " + std::to_string(problems[i]->section) + " " +
                      problems[i]->keyPath + " " + problems[i]->valueName,
                  std::to_string(i) + " 8 HKEY_" + (i ? "CURRENT_USER\\" : "LOCAL_MACHINE\\") + runKey + " " + name);

    std::vector<std::string> failures;
    std::string summaryText, ignoredEntry;
    HWND summary = nullptr, details = nullptr, ignoreDialog = nullptr;
    auto drive = [&] {
        auto waitFor = [&](auto done, const char* what) {
            return WaitFor(done, 30000) || (failures.push_back(what), false);
        };
        if (!waitFor([&] { return (summary = FindWindowA(nullptr, "Errors Found")) != nullptr; }, "no summary"))
            return;
        Sleep(300);
        HWND summaryList = GetDlgItem(summary, IDC_ERRORS_LIST);
        summaryText = ItemText(summaryList, 0);
        SaveScreenshot("errors-found", summary);
        RECT item = ItemRect(summaryList, 0);
        ClickAt(summaryList, item.right - 30, item.top + 10);
        if (!waitFor([&] { return (details = FindWindowA(nullptr, "Details of problems found")) != nullptr; },
                     "no details"))
            return;
        Sleep(300); // the view fills its list after it is found
        HWND list = GetDlgItem(details, IDC_DETAILS_LIST);
        if (ListView_GetItemCount(list) != 2) // which is which, the clicks below show
            return failures.push_back("details items");
        item = ItemRect(list, 0);
        ClickAt(list, item.left + 12, item.top + 15);
        waitFor([&] { return machine->checked == 0; }, "the check box did not untick the record");
        item = ItemRect(list, 1);
        ClickAt(list, item.right - 180, item.bottom - 10);
        if (!waitFor([&] { return IsShown(ignoreDialog = FindWindowA(nullptr, "Ignore List")); }, "no Ignore List"))
            return;
        Sleep(300);
        SaveScreenshot("ignore-list", ignoreDialog);
        HWND entries = GetDlgItem(ignoreDialog, IDC_IGNORE_ENTRIES);
        ignoredEntry = ItemText(entries, ListView_GetItemCount(entries) - 1);
        PostMessageA(ignoreDialog, WM_COMMAND, IDOK, 0);
        waitFor([&] { return !IsWindow(ignoreDialog); }, "Save did not close the Ignore List");
        waitFor([&] { return user->checked == 0; }, "the saved list did not untick the record");
    };
    TestThread driver([&] {
        drive();
        // Whatever is still open closes, the views over it first.
        for (HWND open : {ignoreDialog, details, summary})
            if (open && IsWindow(open) && PostMessageA(open, WM_COMMAND, IDCANCEL, 0))
                WaitFor([&] { return !IsWindow(open); }, 5000);
    });
    SendMessageA(Item(IDC_MORE_REGISTRY), BM_CLICK, 0, 0);
    driver.Join();
    EXPECT_EQ(failures, std::vector<std::string>{});
    EXPECT_EQ(summaryText, "<b>" + std::string(SectionRowLabel(SectionStartup)) +
                               "<brs><br><font color=\"#FF0000\">2 Problem(s)</font></b><br>Description : " +
                               SectionDescription(SectionStartup));
    EXPECT_EQ(ignoredEntry, "HKEY_CURRENT_USER\\" + runKey);
    EXPECT_EQ(machine->checked + user->checked, 0u);
    EXPECT_EQ(ReadIgnoreListFile(IgnoreListPath()), std::vector<std::string>{ignoredEntry});
    EXPECT_EQ(boxes.Texts().back(), "Ignore Data Saved");

    // Go Back reads the group settings as stored now (not a valid one: off).
    WriteSetting(GroupSettingsKey(GroupTweaks), "1");
    WriteSetting(GroupSettingsKey(GroupIETemp), "garbage");
    Click(IDC_GO_BACK);
    EXPECT_EQ(main.CurrentPage(), MainWindow::Page::Start);
    EXPECT_EQ(std::to_string(IsChecked(Item(IDC_CHECK_REGISTRY))) + std::to_string(IsChecked(Item(IDC_CHECK_IE))) +
                  std::to_string(IsChecked(Item(IDC_CHECK_WINDOWS))) + std::to_string(IsChecked(Item(IDC_CHECK_TWEAKS))),
              "1001");
    Click(IDC_SCAN_NOW);
    ASSERT_TRUE(WaitForScanEnd());
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(std::to_string(problems[0]->serial) + " " + problems[0]->keyPath + " " + std::to_string(problems[0]->checked),
              "0 HKEY_LOCAL_MACHINE\\" + runKey + " 1");
    EXPECT_EQ(Text(IDC_LABEL_REGISTRY), "Problems Found: 1");
}
