#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Registry.h"
#include "core/ScanSection.h"
#include "resource.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

namespace {

const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Waits until `done` holds or the time is up; answers whether it held.
template <typename Condition>
bool WaitFor(Condition done, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(20);
    }
    return true;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::vector<std::string> LogFiles(const std::string& folder)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*.txt").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do
        files.push_back(folder + "\\" + data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return files;
}

// Three Run entries of a program that is gone, for the startup section; the
// sections a test does not switch on stay off. The settings are put back as
// they were when the test ends.
class ScanFromWindow : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(WriteDefaultSettings(), 1);
        ASSERT_EQ(WriteSetting("Log File Path", logs.Path()), 1);
        for (unsigned code = 0; code < SectionCount; ++code) {
            if (*SectionSettingsKey(code))
                WriteSetting(SectionSettingsKey(code), "0");
        }
        WriteSetting("Startup Programs", "1");
        for (const char* root : {"HKLM", "HKCU"}) {
            HKEY key = root[2] == 'L' ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
            for (int i = 0; i < (key == HKEY_LOCAL_MACHINE ? 2 : 1); ++i) {
                std::string value = name + root + std::to_string(i);
                ASSERT_EQ(WriteRegValue(key, runKey, value, "C:\\" + name + "\\" + value + ".exe", REG_SZ), 1);
                planted.push_back({key, value});
            }
        }
    }
    void TearDown() override
    {
        for (const auto& value : planted)
            DeleteRegValue(value.first, runKey, value.second);
    }

    void Start()
    {
        ASSERT_TRUE(app.Start()) << QuillmoorExe();
        window = WaitForWindow(app.Id(), "Quillmoor v8.0", 15000);
        ASSERT_NE(window, nullptr);
        Sleep(300);
    }
    HWND Item(int id) const { return Control(window, id); }
    std::string Text(int id) const { return WindowText(Item(id)); }
    void Quit()
    {
        SendKey(window, VK_ESCAPE);
        EXPECT_EQ(app.WaitForExit(10000), 0u);
    }

    const std::string name = UniqueName("QmGoneRun");
    SavedSettingsKey saved;
    PlantedFolder logs{TestTempFolder() + UniqueName("QuillmoorWindowLogs")};
    std::vector<std::pair<HKEY, std::string>> planted;
    AppProcess app;
    HWND window = nullptr;
};

} // namespace

TEST_F(ScanFromWindow, AbortDuringACompleteScanKeepsWhatWasAcceptedBefore)
{
    WriteSetting("Complete Registry Scan", "1");
    WriteSetting("System Services", "1");
    ASSERT_NO_FATAL_FAILURE(Start());
    Click(Item(IDC_SCAN_NOW));
    // The Run entries are in; the whole-registry walk is under way.
    ASSERT_TRUE(WaitFor([&] { return Text(IDC_STATUS_SECTION) == "Scanning: Complete Registry Scan"; },
                        30000));
    EXPECT_FALSE(SaveScreenshot("scanning-page", window).empty());
    Click(Item(IDC_ABORT));

    MessageBoxSeen box = WaitForMessageBox(app.Id(), 60000);
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text, "Scan Aborted");
    EXPECT_EQ(Text(IDC_STATUS_ITEM), "Scan Aborted");
    EXPECT_FALSE(IsShown(Item(IDC_REPAIR))) << "the results page waits for the box";
    std::string label = Text(IDC_LABEL_REGISTRY);
    ASSERT_EQ(label.rfind("Problems Found: ", 0), 0u) << label;
    int found = std::stoi(label.substr(16));
    EXPECT_GE(found, 3);
    PressButton(box.window, IDOK);
    ASSERT_TRUE(WaitFor([&] { return IsShown(Item(IDC_REPAIR)); }, 5000)) << "no results page";
    Sleep(200);
    EXPECT_FALSE(SaveScreenshot("results-after-scan", window).empty());

    // One log entry for each problem the window counted, and nothing after.
    std::vector<std::string> files = LogFiles(logs.Path());
    ASSERT_EQ(files.size(), 1u);
    std::string log = ReadFileBytes(files[0]);
    EXPECT_EQ(Count(log, "\r\r\nKey : "), static_cast<size_t>(found));
    EXPECT_NE(log.find("ValueName : " + name + "HKLM0"), std::string::npos);
    Quit();
}

TEST_F(ScanFromWindow, ClosingTheWindowDuringAScanEndsTheProgramCleanly)
{
    WriteSetting("Complete Registry Scan", "1");
    ASSERT_NO_FATAL_FAILURE(Start());
    Click(Item(IDC_SCAN_NOW));
    ASSERT_TRUE(WaitFor([&] { return Text(IDC_STATUS_SECTION) == "Scanning: Complete Registry Scan"; },
                        30000));
    Quit();
}
