#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/FullBackupProgress.h"
#include "app/FullBackupWizard.h"
#include "core/Registry.h"
#include "repair/CabinetCompressor.h"
#include "repair/CabinetExtractor.h"
#include "repair/FullBackup.h"
#include "resource.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/SavedBackEnd.h"
#include "support/UiDriver.h"

namespace {

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::vector<std::string> CabinetNames(const std::string& cabinet)
{
    CabinetExtractor extractor;
    std::vector<CabinetEntry> entries;
    std::vector<std::string> names;
    if (extractor.OpenCabinet(cabinet) && extractor.ListFiles(entries))
        for (const CabinetEntry& entry : entries)
            names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// Each hive save takes a little longer, so that the progress window is seen at work.
decltype(regApi.RegSaveKeyA) realSave = nullptr;
LONG WINAPI SlowSave(HKEY key, LPCSTR file, LPSECURITY_ATTRIBUTES security)
{
    Sleep(300);
    return realSave(key, file, security);
}

} // namespace

// "Create a new backup" behind the progress window: the cabinet in RegBackup
// holds the four machine hives, one file per user hive and the log, and the
// scratch folder keeps nothing but its own mark.
TEST(FullBackup, BackupHoldsEveryHiveAndLeavesScratchEmpty)
{
    PlantedFolder program(TestTempFolder() + UniqueName("QmFullBackup"));
    std::vector<std::string> expected = {"ZipLog.txt", "hklm_sam.dat", "hklm_security.dat",
                                         "hklm_software.dat", "hklm_system.dat"};
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(HKEY_USERS, i, name, sizeof(name)) == ERROR_SUCCESS; ++i)
        expected.push_back(std::string("hkusers_") + name + ".dat");
    std::sort(expected.begin(), expected.end());
    ASSERT_GE(expected.size(), 7u) << "the default user and the current user";

    SavedBackEnd saved;
    realSave = regApi.RegSaveKeyA;
    regApi.RegSaveKeyA = SlowSave;
    MessageCapture messages;
    FullBackupProgress progress(program.Path());
    HWND window = progress.CreateModeless(nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    for (int i = 0; i < 30; ++i, Sleep(50))
        Pump();
    SaveScreenshot("fullbackup-progress", window);
    for (int i = 0; i < 2400 && IsWindow(window); ++i, Sleep(50))
        Pump();
    ASSERT_FALSE(IsWindow(window)) << "the backup did not end within two minutes";

    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Full Registry Backup Successful"});
    std::vector<FullBackupEntry> backups = FullBackup::ListBackups(program.Path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].path, progress.Cabinet());
    EXPECT_EQ(CabinetNames(backups[0].path), expected);
    EXPECT_EQ(FilesIn(program.Path() + "\\Temp"), std::vector<std::string>{".quillmoor-scratch"});
}

// A set whose software hive is damaged: the current registry is backed up
// first (a second entry in the list), nothing is restored, and the user is told.
TEST(FullBackup, DamagedHiveRestoresNothing)
{
    PlantedFolder program(TestTempFolder() + UniqueName("QmFullDamaged"));
    PlantedFolder made(program.Path() + "\\made");
    PlantedFile bad(made.Path() + "\\hklm_software.dat", "not a registry file at all");
    CreateDirectoryA((program.Path() + "\\RegBackup").c_str(), nullptr);
    const std::string set = program.Path() + "\\RegBackup\\7,4,2009_15,3,9.cab";
    {
        CabinetCompressor compressor;
        ASSERT_EQ(compressor.CreateCabinet(set), 1);
        compressor.AddFolder(made.Path());
        ASSERT_EQ(compressor.Flush(), 1);
    }
    PlantedKey planted(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmFullDamaged"));
    planted.SetString("Kept", "as it was");

    MessageCapture messages;
    FullBackup backup(program.Path());
    EXPECT_EQ(backup.RestoreRegistry(set), 0);
    ASSERT_EQ(messages.Texts().size(), 1u);
    const std::string& text = messages.Texts()[0];
    EXPECT_NE(text.find("hklm_software.dat"), std::string::npos) << text;
    EXPECT_NE(text.find("The registry was not restored."), std::string::npos) << text;
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, planted.Path(), "Kept"), "as it was");
    EXPECT_EQ(FullBackup::ListBackups(program.Path()).size(), 2u);
}

// The wizard's two steps and both reminders; the wait window's text.
TEST(FullBackupWizard, AsksForAnOptionThenForADate)
{
    PlantedFolder program(TestTempFolder() + UniqueName("QmFullWizard"));
    PlantedFile first(program.Path() + "\\RegBackup\\7,4,2009_15,3,9.cab");
    PlantedFile second(program.Path() + "\\RegBackup\\12,31,2010_8,0,5.cab");

    MessageCapture messages;
    FullBackupWizard wizard(program.Path());
    HWND window = wizard.CreateModeless(nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    Pump();
    EXPECT_EQ(WindowText(window), "Full Registry Backup");
    EXPECT_FALSE(IsChecked(Control(window, IDC_FULL_CREATE)));
    EXPECT_FALSE(IsChecked(Control(window, IDC_FULL_RESTORE)));
    SaveScreenshot("fullbackup-wizard-first", window);

    SendMessageA(window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(wizard.FirstStep());
    CheckDlgButton(window, IDC_FULL_RESTORE, BST_CHECKED);
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    Pump();
    EXPECT_FALSE(wizard.FirstStep());
    EXPECT_FALSE(IsShown(Control(window, IDC_FULL_CREATE)));
    EXPECT_TRUE(IsShown(Control(window, IDC_FULL_DATE_LIST)));
    EXPECT_TRUE(IsShown(Control(window, IDC_FULL_DATE_LABEL)));
    EXPECT_EQ(WindowText(Control(window, IDOK)), "Finish");
    EXPECT_EQ(WindowText(Control(window, IDC_FULL_HEADER)).rfind("To restore a previously created", 0), 0u);
    HWND list = Control(window, IDC_FULL_DATE_LIST);
    std::vector<std::string> dates;
    for (LRESULT i = 0; i < SendMessageA(list, CB_GETCOUNT, 0, 0); ++i) {
        char text[256] = {};
        SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        dates.push_back(text);
    }
    std::sort(dates.begin(), dates.end());
    EXPECT_EQ(dates, (std::vector<std::string>{"Friday, December 31, 2010 Time: 08:00:05",
                                               "Saturday, July 04, 2009 Time: 15:03:09"}));
    SendMessageA(list, CB_SHOWDROPDOWN, TRUE, 0);
    Pump();
    SaveScreenshot("fullbackup-wizard-second");
    SendMessageA(list, CB_SHOWDROPDOWN, FALSE, 0);

    SendMessageA(window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{"Please Select an Option", "Please Select a backup date"}));
    DestroyWindow(window);

    Dialog wait(IDD_FULL_WAIT);
    HWND waitWindow = wait.CreateModeless(nullptr);
    ASSERT_NE(waitWindow, nullptr);
    ShowWindow(waitWindow, SW_SHOW);
    Pump();
    EXPECT_EQ(WindowText(Control(waitWindow, IDC_FULL_WAIT_TEXT)), "Restoring...");
    SaveScreenshot("fullbackup-wait", waitWindow);
    DestroyWindow(waitWindow);
}

// The 95 family's renames join an existing wininit.ini: its other sections
// and renames stay, an earlier rename of a file restored now is dropped.
TEST(FullBackup, RenameLinesMergeIntoWininit)
{
    const std::vector<std::string> ours = {"C:\\WINDOWS\\SYSTEM.DAT=C:\\WINDOWS\\SYSTEM.FIX",
                                           "C:\\WINDOWS\\USER.DAT=C:\\WINDOWS\\WUSER.FIX"};
    struct Case {
        const char* existing;
        const char* merged;
    } cases[] = {
        {"", "[Rename]\r\nC:\\WINDOWS\\SYSTEM.DAT=C:\\WINDOWS\\SYSTEM.FIX\r\n"
             "C:\\WINDOWS\\USER.DAT=C:\\WINDOWS\\WUSER.FIX\r\n"},
        {"[Other]\nkey=value\n[rename]\nNUL=C:\\OLD.TMP\nc:\\windows\\system.dat=c:\\old.dat\n",
         "[Other]\r\nkey=value\r\n[rename]\r\nC:\\WINDOWS\\SYSTEM.DAT=C:\\WINDOWS\\SYSTEM.FIX\r\n"
         "C:\\WINDOWS\\USER.DAT=C:\\WINDOWS\\WUSER.FIX\r\nNUL=C:\\OLD.TMP\r\n"},
        {"[Other]\r\nkey=value\r\n", "[Other]\r\nkey=value\r\n[Rename]\r\n"
                                     "C:\\WINDOWS\\SYSTEM.DAT=C:\\WINDOWS\\SYSTEM.FIX\r\n"
                                     "C:\\WINDOWS\\USER.DAT=C:\\WINDOWS\\WUSER.FIX\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FullBackup::MergeRenameLines(c.existing, ours), c.merged) << c.existing;
}

// A "Temp" folder beside the program that the program did not make keeps
// its files; the backup works in a folder of its own instead.
TEST(FullBackup, ForeignTempFolderIsNeverEmptied)
{
    PlantedFolder program(TestTempFolder() + UniqueName("QmFullForeign"));
    PlantedFile foreign(program.Path() + "\\Temp\\notes.txt", "someone else's");
    MessageCapture messages;
    FullBackup backup(program.Path());
    ASSERT_EQ(backup.SaveRegistry(), 1);
    EXPECT_EQ(ReadFileBytes(foreign.Path()), "someone else's");
    EXPECT_EQ(backup.ScratchFolder(), program.Path() + "\\Temp2");
    EXPECT_EQ(FullBackup::ListBackups(program.Path()).size(), 1u);
}
