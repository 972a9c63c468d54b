#include <gtest/gtest.h>

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "resource.h"
#include "settings/PreferencesDialog.h"
#include "settings/Settings.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/TestThread.h"
#include "support/UiDriver.h"

namespace {

std::string Setting(const char* name)
{
    std::string text;
    return ReadSetting(name, text) ? text : "<missing>";
}

void Press(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

void Shoot(HWND dialog, const char* name)
{
    ShowWindow(dialog, SW_SHOW);
    Press(dialog, 0);
    SaveScreenshot(name, dialog);
}

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteDefaultSettings();
        RemoveStartupRunValue("Quillmoor8.exe");
    }
    void TearDown() override { RemoveStartupRunValue("Quillmoor8.exe"); }

    SavedSettingsKey savedSettings;
    PreferencesDialog preferences;
    PlantedFolder oldLog{"C:\\QuillmoorPrefsTest\\old logs"};
    PlantedFolder newLog{"C:\\QuillmoorPrefsTest\\new logs"};
};

} // namespace

// Each flag opens as stored and is saved flipped; the program's startup entry
// follows "Run at windows startup" and names the installed program file. The
// log folder field is saved only when logging is on at OK.
TEST_F(PreferencesTest, EveryFlagRoundTripsAndTheStartupEntryFollows)
{
    const struct {
        int id;
        const char* setting;
    } boxes[] = {{IDC_PREF_AUTORUN, "AutoRun"}, {IDC_PREF_NO_BACKUP, "NoAutoBackup"},
                 {IDC_PREF_CHECK_ALL, "CheckAllItems"}, {IDC_PREF_GENERATE_LOG, "Generate Log"}};
    // Each case: the stored flags in the order above; whether the log box is pressed.
    const struct {
        const char* flags;
        bool pressLog;
        bool keepsOldFolder;
    } cases[] = {{"1011", true, true}, {"0100", true, false}, {"1011", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        for (int i = 0; i < 4; ++i)
            WriteSetting(boxes[i].setting, std::string(1, c.flags[i]));
        WriteSetting("Log File Path", oldLog.Path());
        HWND dialog = preferences.CreateModeless(nullptr);
        ASSERT_NE(dialog, nullptr);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(IsChecked(GetDlgItem(dialog, boxes[i].id)), c.flags[i] == '1') << boxes[i].setting;
            if (i < 3 || c.pressLog)
                Press(dialog, boxes[i].id);
        }
        // With logging off at opening, the folder stays out of reach.
        bool wasLogging = c.flags[3] == '1';
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDC_PREF_LOG_PATH)) != 0, wasLogging);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDC_PREF_BROWSE)) != 0, wasLogging);
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PREF_LOG_PATH)), oldLog.Path());
        SetDlgItemTextA(dialog, IDC_PREF_LOG_PATH, newLog.Path().c_str());
        Press(dialog, IDOK);
        EXPECT_FALSE(IsWindow(dialog));

        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Setting(boxes[i].setting)[0], c.flags[i] ^ (i < 3 || c.pressLog)) << boxes[i].setting;
        EXPECT_EQ(Setting("Log File Path"), (c.keepsOldFolder ? oldLog : newLog).Path());
        EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                "Quillmoor8.exe"),
                  c.flags[0] == '1' ? "" : GetProgramFolder() + "\\Quillmoor8.exe");
    }
}

// A folder that does not exist keeps the dialog open and saves nothing,
// whether or not logging is on; Cancel saves nothing either.
TEST_F(PreferencesTest, InvalidLogFilePathKeepsTheDialogOpen)
{
    for (const char* logging : {"1", "0"}) {
        WriteSetting("Generate Log", logging);
        WriteSetting("Log File Path", "C:\\QuillmoorPrefsTest\\no such folder");
        MessageCapture boxes;
        HWND dialog = preferences.CreateModeless(nullptr);
        ASSERT_NE(dialog, nullptr);
        Press(dialog, IDC_PREF_CHECK_ALL);
        Press(dialog, IDOK);
        ASSERT_TRUE(IsWindow(dialog));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Invalid Log File Path"});
        if (logging[0] == '0')
            Shoot(dialog, "prefs-preferences");
        Press(dialog, IDCANCEL);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(Setting("CheckAllItems"), "1");
    }
}

// Save writes each box as shown ("yes" is off); Close writes nothing.
TEST_F(PreferencesTest, SelectSectionsSavesEveryBoxAndCloseNothing)
{
    const struct {
        int id;
        const char *setting, *stored, *saved;
    } boxes[] = {{IDC_SEL_COMPLETE, "Complete Registry Scan", "yes", "1"},
                 {IDC_SEL_PROGID, "Program ID Section", "1", "0"},
                 {IDC_SEL_ACTIVEX, "ActiveX/Classes Section", "yes", "1"},
                 {IDC_SEL_SHARED_FILES, "Shared Program Files", "1", "0"},
                 {IDC_SEL_INTEGRITY, "Registry Integrity", "yes", "1"},
                 {IDC_SEL_MRU, "MRULocations", "1", "0"}};
    for (const auto& box : boxes)
        WriteSetting(box.setting, box.stored);
    for (int save : {0, 1}) {
        SelectSectionsDialog sections;
        HWND dialog = sections.CreateModeless(nullptr);
        ASSERT_NE(dialog, nullptr);
        for (const auto& box : boxes) {
            EXPECT_EQ(IsChecked(GetDlgItem(dialog, box.id)), box.saved[0] == '0') << box.setting;
            Press(dialog, box.id);
        }
        if (!save)
            Shoot(dialog, "prefs-sections");
        Press(dialog, save ? IDOK : IDCANCEL);
        EXPECT_FALSE(IsWindow(dialog));
        for (const auto& box : boxes)
            EXPECT_EQ(Setting(box.setting), save ? box.saved : box.stored) << box.setting;
    }
}

// "Show Ignore List" opens the ignore-list dialog over Preferences, modally.
TEST_F(PreferencesTest, ShowIgnoreListOpensTheIgnoreList)
{
    HWND dialog = preferences.CreateModeless(nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND seen = nullptr, owner = nullptr;
    bool preferencesEnabled = true;
    TestThread closer([&] {
        if (!(seen = WaitForWindow(GetCurrentProcessId(), "Ignore List", 30000)))
            return;
        owner = GetWindow(seen, GW_OWNER);
        preferencesEnabled = IsWindowEnabled(dialog) != 0;
        PostMessageA(seen, WM_COMMAND, IDCANCEL, 0);
    });
    Press(dialog, IDC_PREF_IGNORE_LIST); // returns when the list is closed
    closer.Join();
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(owner, dialog);
    EXPECT_FALSE(preferencesEnabled);
    Press(dialog, IDCANCEL);
}
