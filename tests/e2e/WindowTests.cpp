#include <gtest/gtest.h>

#include <string>

#include "core/ScanSection.h"
#include "resource.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"
#include "support/UiSteps.h"

namespace {

// The program started and its main window found.
struct RunningApp {
    AppProcess app;
    HWND window = nullptr;

    void Start(const std::string& arguments = "")
    {
        ASSERT_TRUE(app.Start(arguments)) << QuillmoorExe();
        ASSERT_NE(window = WaitForWindow(app.Id(), "Quillmoor v8.0", 15000), nullptr) << "no main window";
        Sleep(300);
    }
    HWND Item(int id) const { return Control(window, id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    void EndWithEscape()
    {
        SendKey(window, VK_ESCAPE);
        EXPECT_EQ(app.WaitForExit(10000), 0u);
    }
};

} // namespace

// A first start (a dropped file and a shortcut's switch open the window) writes
// the default settings and the log folder they name before the window shows; a
// second copy ends at once; Enter does nothing; the options panel closes alone;
// the skin's buttons minimise and close.
TEST(MainWindow, FirstStartSecondCopyOptionsPanelMinimiseAndCloseBox)
{
    SavedSettingsKey saved;
    const std::string exe = QuillmoorExe(), logFolder = exe.substr(0, exe.rfind('\\')) + "\\logs";
    RemoveTree(logFolder); // with the logs of earlier runs
    RunningApp run;
    ASSERT_NO_FATAL_FAILURE(run.Start("\"C:\\users\\Public\\Desktop\\dropped file.reg\" /min"));
    std::string registry, logPath;
    EXPECT_EQ(ReadSetting("Registry Section", registry) + ReadSetting("Log File Path", logPath), 2);
    EXPECT_EQ(logPath, logFolder);
    const DWORD attributes = GetFileAttributesA(logFolder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    for (int id : {IDC_CHECK_REGISTRY, IDC_CHECK_IE, IDC_CHECK_WINDOWS, IDC_CHECK_TWEAKS})
        EXPECT_TRUE(IsChecked(run.Item(id))) << id;

    AppProcess second;
    ASSERT_TRUE(second.Start());
    EXPECT_EQ(second.WaitForExit(10000), 0u);
    EXPECT_TRUE(TopWindows(second.Id()).empty());
    EXPECT_EQ(GetWindowLongPtrA(run.window, GWL_STYLE) & WS_CAPTION, 0);
    SaveScreenshot("start-page", run.window);
    SendKey(run.window, VK_RETURN);
    EXPECT_EQ(run.app.WaitForExit(700), STILL_ACTIVE) << "Enter ended the program";
    EXPECT_TRUE(IsShown(run.window));

    Click(run.Item(IDC_OPTIONS));
    HWND options = WaitForWindow(run.app.Id(), "Advanced Options", 10000);
    ASSERT_NE(options, nullptr);
    Sleep(300);
    EXPECT_EQ(WindowText(Control(options, IDCANCEL)), "Close");
    SaveScreenshot("advanced-options", options);
    Click(Control(options, IDCANCEL));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(options); }, 5000));
    EXPECT_EQ(run.app.WaitForExit(200), STILL_ACTIVE) << "closing the panel must not end the program";

    ClickAt(run.window, 686, 16);
    Sleep(500);
    EXPECT_TRUE(IsIconic(run.window));
    EXPECT_EQ(run.app.WaitForExit(200), STILL_ACTIVE);
    ShowWindow(run.window, SW_RESTORE);
    Sleep(300);
    ClickAt(run.window, 711, 16);
    EXPECT_EQ(run.app.WaitForExit(10000), 0u);
}

// Three Run entries of a program that is gone, for the startup section, then
// the whole-registry walk: an abort keeps what was accepted before it and the
// results wait for its box; Escape during a scan ends the program cleanly.
TEST(ScanFromWindow, AbortKeepsWhatWasAcceptedAndEscapeDuringAScanEndsCleanly)
{
    const std::string name = UniqueName("QmGoneRun");
    DefaultSettings settings;
    settings.OnlySections({SectionStartup, SectionCompleteRegistry, SectionServices});
    const std::string runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", gone = "C:\\" + name + "\\gone.exe";
    PlantedValue first(HKEY_LOCAL_MACHINE, runKey, name + "0", gone), second(HKEY_LOCAL_MACHINE, runKey, name + "1", gone),
        third(HKEY_CURRENT_USER, runKey, name + "2", gone);
    auto startAndScan = [](RunningApp& run) {
        ASSERT_NO_FATAL_FAILURE(run.Start());
        Click(run.Item(IDC_SCAN_NOW));
        // The Run entries are in; the whole-registry walk is under way.
        ASSERT_TRUE(WaitFor([&] { return run.Text(IDC_STATUS_SECTION) == "Scanning: Complete Registry Scan"; },
                            30000));
    };
    RunningApp run;
    ASSERT_NO_FATAL_FAILURE(startAndScan(run));
    Click(run.Item(IDC_ABORT));

    MessageBoxSeen box = WaitForMessageBox(run.app.Id(), 60000);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text, "Scan Aborted");
    EXPECT_EQ(run.Text(IDC_STATUS_ITEM), "Scan Aborted");
    EXPECT_FALSE(IsShown(run.Item(IDC_REPAIR))) << "the results page waits for the box";
    const size_t found = std::stoul(run.Text(IDC_LABEL_REGISTRY).substr(16)); // after "Problems Found: "
    EXPECT_GE(found, 3u) << run.Text(IDC_LABEL_REGISTRY);
    PressButton(box.window, IDOK);
    // The tweaks' More Info is the last control the results page shows; the repaint follows it.
    ASSERT_TRUE(WaitFor([&] { return IsShown(run.Item(IDC_REPAIR)) && IsShown(run.Item(IDC_MORE_TWEAKS)); }, 5000))
        << "no results page";
    Sleep(300);
    SaveScreenshot("results-after-scan", run.window);

    // One log entry for each problem the window counted, and nothing after.
    std::string log = ReadOnlyMatch(settings.LogFolder(), "*.txt");
    EXPECT_EQ(CountOf(log, "\r\r\nKey : "), found);
    EXPECT_NE(log.find("ValueName : " + name + "0"), std::string::npos);
    run.EndWithEscape();

    RunningApp again;
    ASSERT_NO_FATAL_FAILURE(startAndScan(again));
    SaveScreenshot("scanning-page", again.window);
    again.EndWithEscape();
}
