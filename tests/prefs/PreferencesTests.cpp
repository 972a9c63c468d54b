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

const char runKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Setting(const char* name)
{
    std::string text;
    return ReadSetting(name, text) ? text : "<missing>";
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void Press(HWND dialog, int id)
{
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    Pump();
}

// Every flag of the dialog, in one state or the other.
struct Flags {
    const char* autoRun;
    const char* noBackup;
    const char* checkAll;
    const char* generateLog;
};

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteDefaultSettings();
        RemoveStartupRunValue("Quillmoor8.exe");
    }
    void TearDown() override { RemoveStartupRunValue("Quillmoor8.exe"); }

    SavedSettingsKey savedSettings;
    PlantedFolder oldLog{"C:\\QuillmoorPrefsTest\\old logs"};
    PlantedFolder newLog{"C:\\QuillmoorPrefsTest\\new logs"};
};

} // namespace

// Each flag opens as stored and is saved flipped; the program's startup entry
// follows "Run at windows startup" and names the installed program file.
TEST_F(PreferencesTest, EveryFlagRoundTripsAndTheStartupEntryFollows)
{
    const Flags cases[] = {{"1", "0", "1", "1"}, {"0", "1", "0", "0"}};
    for (const Flags& flags : cases) {
        SCOPED_TRACE(flags.autoRun);
        WriteSetting("AutoRun", flags.autoRun);
        WriteSetting("NoAutoBackup", flags.noBackup);
        WriteSetting("CheckAllItems", flags.checkAll);
        WriteSetting("Generate Log", flags.generateLog);
        WriteSetting("Log File Path", oldLog.Path());

        PreferencesDialog preferences;
        HWND dialog = preferences.CreateModeless(nullptr);
        ASSERT_NE(dialog, nullptr);
        const struct {
            int id;
            const char* stored;
        } boxes[] = {{IDC_PREF_AUTORUN, flags.autoRun},
                     {IDC_PREF_NO_BACKUP, flags.noBackup},
                     {IDC_PREF_CHECK_ALL, flags.checkAll},
                     {IDC_PREF_GENERATE_LOG, flags.generateLog}};
        for (const auto& box : boxes) {
            EXPECT_EQ(IsChecked(GetDlgItem(dialog, box.id)), std::string(box.stored) == "1") << box.id;
            Press(dialog, box.id);
        }
        bool wasLogging = std::string(flags.generateLog) == "1";
        // With logging off at opening, the folder stays out of reach.
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDC_PREF_LOG_PATH)) != 0, wasLogging);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDC_PREF_BROWSE)) != 0, wasLogging);
        EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PREF_LOG_PATH)), oldLog.Path());
        if (wasLogging)
            SetDlgItemTextA(dialog, IDC_PREF_LOG_PATH, newLog.Path().c_str());
        Press(dialog, IDOK);
        EXPECT_FALSE(IsWindow(dialog));

        auto flipped = [](const char* text) { return std::string(text) == "1" ? "0" : "1"; };
        EXPECT_EQ(Setting("AutoRun"), flipped(flags.autoRun));
        EXPECT_EQ(Setting("NoAutoBackup"), flipped(flags.noBackup));
        EXPECT_EQ(Setting("CheckAllItems"), flipped(flags.checkAll));
        EXPECT_EQ(Setting("Generate Log"), flipped(flags.generateLog));
        // Logging switched off keeps the folder; switched on, the field's folder is saved.
        EXPECT_EQ(Setting("Log File Path"), oldLog.Path());
        std::string entry = ReadRegString(HKEY_CURRENT_USER, runKey, "Quillmoor8.exe");
        if (std::string(flags.autoRun) == "1")
            EXPECT_EQ(entry, "");
        else
            EXPECT_EQ(entry, GetProgramFolder() + "\\Quillmoor8.exe");
    }
}

TEST_F(PreferencesTest, FolderChosenWhileLoggingIsOnIsSaved)
{
    WriteSetting("Log File Path", oldLog.Path());
    PreferencesDialog preferences;
    HWND dialog = preferences.CreateModeless(nullptr);
    ASSERT_NE(dialog, nullptr);
    SetDlgItemTextA(dialog, IDC_PREF_LOG_PATH, newLog.Path().c_str());
    Press(dialog, IDOK);
    EXPECT_EQ(Setting("Generate Log"), "1");
    EXPECT_EQ(Setting("Log File Path"), newLog.Path());
}

// A folder that does not exist keeps the dialog open and saves nothing,
// whether or not logging is on; Cancel saves nothing either.
TEST_F(PreferencesTest, InvalidLogFilePathKeepsTheDialogOpen)
{
    for (const char* logging : {"1", "0"}) {
        WriteSetting("Generate Log", logging);
        WriteSetting("Log File Path", "C:\\QuillmoorPrefsTest\\no such folder");
        WriteSetting("CheckAllItems", "1");
        MessageCapture boxes;
        PreferencesDialog preferences;
        HWND dialog = preferences.CreateModeless(nullptr);
        ASSERT_NE(dialog, nullptr);
        Press(dialog, IDC_PREF_CHECK_ALL);
        Press(dialog, IDOK);
        ASSERT_TRUE(IsWindow(dialog));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Invalid Log File Path"});
        if (std::string(logging) == "0") {
            ShowWindow(dialog, SW_SHOW);
            Pump();
            EXPECT_NE(SaveScreenshot("prefs-preferences", dialog), "");
        }
        EXPECT_EQ(Setting("CheckAllItems"), "1");
        Press(dialog, IDCANCEL);
        EXPECT_FALSE(IsWindow(dialog));
        EXPECT_EQ(Setting("CheckAllItems"), "1");
    }
}

// Save writes every box as shown; Close writes nothing.
TEST_F(PreferencesTest, SelectSectionsSavesEveryBoxAndCloseNothing)
{
    const struct {
        int id;
        const char* setting;
    } boxes[] = {{IDC_SEL_COMPLETE, "Complete Registry Scan"}, {IDC_SEL_PROGID, "Program ID Section"},
                 {IDC_SEL_ADD_REMOVE, "Add Remove Programs"}, {IDC_SEL_APP_PATHS, "Application Paths"},
                 {IDC_SEL_FONTS, "Windows Fonts"}, {IDC_SEL_ACTIVEX, "ActiveX/Classes Section"},
                 {IDC_SEL_SHARED_FILES, "Shared Program Files"}, {IDC_SEL_HELP_FILES, "Help Files"},
                 {IDC_SEL_SHORTCUTS, "Invalid Shortcuts"}, {IDC_SEL_SERVICES, "System Services"},
                 {IDC_SEL_VXD, "VXD Section"}, {IDC_SEL_ASSOCIATIONS, "File Associations"},
                 {IDC_SEL_SOUNDS, "Sounds Section"}, {IDC_SEL_INTEGRITY, "Registry Integrity"},
                 {IDC_SEL_STARTUP, "Startup Programs"}, {IDC_SEL_MRU, "MRULocations"}};
    int n = 0;
    for (const auto& box : boxes)
        WriteSetting(box.setting, n++ % 2 ? "1" : "yes"); // "yes" is off
    for (int save : {0, 1}) {
        SelectSectionsDialog sections;
        HWND dialog = sections.CreateModeless(nullptr);
        ASSERT_NE(dialog, nullptr);
        n = 0;
        for (const auto& box : boxes) {
            EXPECT_EQ(IsChecked(GetDlgItem(dialog, box.id)), n++ % 2 == 1) << box.setting;
            Press(dialog, box.id);
        }
        if (!save) {
            ShowWindow(dialog, SW_SHOW);
            Pump();
            SaveScreenshot("prefs-sections", dialog);
        }
        Press(dialog, save ? IDOK : IDCANCEL);
        EXPECT_FALSE(IsWindow(dialog));
        n = 0;
        for (const auto& box : boxes)
            EXPECT_EQ(Setting(box.setting), save ? (n++ % 2 ? "0" : "1") : (n++ % 2 ? "1" : "yes"))
                << box.setting;
    }
}

// "Show Ignore List" opens the ignore-list dialog over Preferences, modally.
TEST_F(PreferencesTest, ShowIgnoreListOpensTheIgnoreList)
{
    PreferencesDialog preferences;
    HWND dialog = preferences.CreateModeless(nullptr);
    ASSERT_NE(dialog, nullptr);
    HWND seen = nullptr, owner = nullptr;
    bool preferencesEnabled = true;
    TestThread closer([&] {
        for (int i = 0; i < 300 && !seen; ++i) {
            seen = WaitForWindow(GetCurrentProcessId(), "Ignore List", 100);
        }
        if (!seen)
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
