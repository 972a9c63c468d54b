#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include <windows.h>
#include <shlwapi.h>

#include "app/FullBackupProgress.h"
#include "app/FullBackupWizard.h"
#include "core/Platform.h"
#include "core/Registry.h"
#include "repair/CabinetCompressor.h"
#include "repair/CabinetExtractor.h"
#include "repair/FullBackup.h"
#include "resource.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/UiDriver.h"

namespace {

// The files of a cabinet, sorted.
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

} // namespace

// The cabinet holds every hive and the log; a "Temp" folder the program did not make keeps its files, and the
// backup's own work folder keeps nothing. A damaged hive restores nothing, after a backup of the current registry.
TEST(FullBackup, BackupHoldsEveryHiveAndADamagedOneRestoresNothing)
{
    PlantedFolder program(TestTempFolder() + UniqueName("QmFullBackup"));
    PlantedFile foreign(program.Path() + "\\Temp\\notes.txt", "someone else's");
    std::vector<std::string> expected = {"ZipLog.txt", "hklm_sam.dat", "hklm_security.dat",
                                         "hklm_software.dat", "hklm_system.dat"};
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(HKEY_USERS, i, name, sizeof(name)) == ERROR_SUCCESS; ++i)
        expected.push_back(std::string("hkusers_") + name + ".dat");
    std::sort(expected.begin(), expected.end());
    ASSERT_GE(expected.size(), 7u) << "the default user and the current user";

    MessageCapture messages;
    FullBackupProgress progress(program.Path());
    HWND window = progress.CreateModeless(nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    for (int i = 0; i < 2400 && IsWindow(window); ++i, Sleep(50)) {
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageA(&msg);
        if (i == 0)
            SaveScreenshot("fullbackup-progress", window);
    }
    ASSERT_FALSE(IsWindow(window)) << "the backup did not end within two minutes";

    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Full Registry Backup Successful"});
    ASSERT_EQ(FullBackup::ListBackups(program.Path()).size(), 1u);
    EXPECT_EQ(CabinetNames(progress.Cabinet()), expected);
    EXPECT_EQ(ReadFileBytes(foreign.Path()), "someone else's");
    WIN32_FIND_DATAA found;
    for (const char* left : {"\\*.dat", "\\ZipLog.txt"})
        EXPECT_EQ(FindFirstFileA((program.Path() + "\\Temp2" + left).c_str(), &found), INVALID_HANDLE_VALUE);

    PlantedFolder made(program.Path() + "\\made");
    PlantedFile bad(made.Path() + "\\hklm_software.dat", "not a registry file at all");
    const std::string set = program.Path() + "\\RegBackup\\7,4,2009_15,3,9.cab";
    CabinetCompressor compressor;
    ASSERT_EQ(compressor.CreateCabinet(set), 1);
    compressor.AddFolder(made.Path());
    ASSERT_EQ(compressor.Flush(), 1);
    PlantedKey planted(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmFullDamaged"));
    planted.SetString("Kept", "as it was");
    EXPECT_EQ(FullBackup(program.Path()).RestoreRegistry(set), 0);
    ASSERT_EQ(messages.Texts().size(), 2u);
    const std::string& text = messages.Texts()[1];
    EXPECT_NE(text.find("hklm_software.dat"), std::string::npos) << text;
    EXPECT_NE(text.find("The registry was not restored."), std::string::npos) << text;
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, planted.Path(), "Kept"), "as it was");
    EXPECT_EQ(FullBackup::ListBackups(program.Path()).size(), 3u);
}

// The 95 family's renames join an existing wininit.ini: its other sections
// and renames stay, an earlier rename of a file restored now is dropped.
TEST(FullBackup, RenameLinesMergeIntoWininit)
{
    EXPECT_EQ(FullBackup::MergeRenameLines("[Other]\nkey=value\n[rename]\nNUL=C:\\OLD.TMP\nc:\\windows\\system.dat=c:\\old\n",
                                           {"C:\\WINDOWS\\SYSTEM.DAT=C:\\WINDOWS\\SYSTEM.FIX"}),
              "[Other]\r\nkey=value\r\n[rename]\r\nC:\\WINDOWS\\SYSTEM.DAT=C:\\WINDOWS\\SYSTEM.FIX\r\nNUL=C:\\OLD.TMP\r\n");
    EXPECT_EQ(FullBackup::MergeRenameLines("", {"A=B"}), "[Rename]\r\nA=B\r\n");
}

// ---- the whole registry: only in a prefix of their own (host/fullbackup-own-prefix.sh)

namespace {

bool InPhase(const char* phase)
{
    const char* current = getenv("QM_FULLBACKUP_PHASE");
    return current && std::string(current) == phase;
}

const char restoredKey[] = "Software\\QmFullRestore";
const char unrelatedKey[] = "Software\\QmFullUnrelated";

// Writes a string value, creating the key; 1 when written.
int SetString(HKEY root, const std::string& key, const char* name, const std::string& data)
{
    return SHSetValueA(root, key.c_str(), name, REG_SZ, data.c_str(), DWORD(data.size() + 1)) == ERROR_SUCCESS;
}

std::string ShortForm(const std::string& path)
{
    char buffer[MAX_PATH] = {};
    GetShortPathNameA(path.c_str(), buffer, sizeof(buffer));
    return buffer;
}

} // namespace

// The wizard's restore puts changed values back and removes an added key, after
// a backup of its own; then the system restarts (ending this process).
TEST(OwnPrefix, RestoreThenRestart)
{
    if (!InPhase("restore"))
        GTEST_SKIP() << "runs in a prefix of its own";
    ASSERT_EQ(IsWindows95Family(), 0);
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, restoredKey, "Planted", "before"), 1);
    ASSERT_EQ(SetString(HKEY_LOCAL_MACHINE, restoredKey, "Machine", "before"), 1);
    ASSERT_EQ(SetString(HKEY_CURRENT_USER, unrelatedKey, "Same", "same"), 1);

    MessageCapture messages;
    FullBackup backup(TestBinaryFolder());
    ASSERT_EQ(backup.SaveRegistry(), 1) << testing::PrintToString(messages.Texts());
    const std::string set = backup.LastCabinet();
    SetString(HKEY_CURRENT_USER, restoredKey, "Planted", "after");
    SetString(HKEY_LOCAL_MACHINE, restoredKey, "Machine", "after");
    SetString(HKEY_CURRENT_USER, std::string(restoredKey) + "\\Later", "New", "x");

    // Through the wizard (Next without an option, Finish without a date, then both), answering "later" to the restart.
    MessageCapture answers(IDNO);
    FullBackupWizard wizard(TestBinaryFolder());
    HWND window = wizard.CreateModeless(nullptr);
    ASSERT_NE(window, nullptr);
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    CheckDlgButton(window, IDC_FULL_RESTORE, BST_CHECKED);
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    std::vector<FullBackupEntry> listed = FullBackup::ListBackups(TestBinaryFolder());
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_EQ(listed[0].path, set);
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    SendDlgItemMessageA(window, IDC_FULL_DATE_LIST, CB_SETCURSEL, 0, 0);
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(answers.Texts().size(), 4u) << testing::PrintToString(answers.Texts());
    EXPECT_EQ(answers.Texts()[0] + "|" + answers.Texts()[1] + "|" + answers.Texts()[2],
              "Please Select an Option|Please Select a backup date|Restored");
    EXPECT_EQ(answers.Texts()[3].rfind("In Order to complete the Restore Process", 0), 0u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(FullBackup::ListBackups(TestBinaryFolder()).size(), 2u);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, restoredKey, "Planted"), "before");
    if (::testing::Test::HasFailure())
        return;
    fflush(stdout);
    ASSERT_EQ(RestartComputer(), 1);
    Sleep(60000);
    FAIL() << "the system did not restart";
}

// After the restart the restored registry stayed, and what it did not touch too.
TEST(OwnPrefix, AfterRestart)
{
    if (!InPhase("after"))
        GTEST_SKIP() << "runs in a prefix of its own";
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, restoredKey, "Planted"), "before");
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, restoredKey, "Machine"), "before");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, std::string(restoredKey) + "\\Later"));
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, unrelatedKey, "Same"), "same");
    EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                               "ProductName").empty());
    EXPECT_EQ(FullBackup::ListBackups(TestBinaryFolder()).size(), 2u);
}

// On Windows 98 the registry files are copied back beside the originals and
// renamed through wininit.ini, which keeps what it held.
TEST(OwnPrefix, Windows98FilesBackUpAndRestore)
{
    if (!InPhase("win98"))
        GTEST_SKIP() << "runs in a prefix of its own";
    ASSERT_EQ(IsWindows95Family(), 1) << "the program's Windows version is not win98";
    char buffer[MAX_PATH] = {};
    GetWindowsDirectoryA(buffer, sizeof(buffer));
    const std::string windows = buffer;
    std::string profile = ReadRegString(
        HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        "AppData");
    profile = profile.substr(0, profile.rfind('\\'));
    ASSERT_FALSE(profile.empty());
    struct StandIn {
        std::string dat, fix, text;
    } standIns[] = {{windows + "\\system.dat", windows + "\\system.fix", "system 1"},
                    {profile + "\\user.dat", profile + "\\user.fix", "profile user 1"},
                    {windows + "\\user.dat", windows + "\\wuser.fix", "default user 1"},
                    {windows + "\\classes.dat", windows + "\\classes.fix", "classes 1"}};
    for (const StandIn& file : standIns)
        std::ofstream(file.dat, std::ios::binary) << file.text;
    std::ofstream(windows + "\\wininit.ini", std::ios::binary) << "[Rename]\r\nNUL=C:\\OLD.TMP\r\n";

    MessageCapture messages;
    FullBackup backup(TestBinaryFolder());
    ASSERT_EQ(backup.SaveRegistry(), 1) << testing::PrintToString(messages.Texts());
    const std::string set = backup.LastCabinet();
    EXPECT_EQ(CabinetNames(set),
              (std::vector<std::string>{"ZipLog.txt", "classes.fix", "system.fix", "user.fix", "wuser.fix"}));
    for (const StandIn& file : standIns)
        std::ofstream(file.dat, std::ios::binary) << "changed since";

    ASSERT_EQ(backup.RestoreRegistry(set), 1) << testing::PrintToString(messages.Texts());
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{});
    std::string expected = "[Rename]\r\n";
    for (const StandIn& file : standIns) {
        EXPECT_EQ(ReadFileBytes(file.fix), file.text) << file.fix;
        expected += ShortForm(file.dat) + "=" + ShortForm(file.fix) + "\r\n";
    }
    expected += "NUL=C:\\OLD.TMP\r\n";
    EXPECT_EQ(ReadFileBytes(windows + "\\wininit.ini"), expected);
    EXPECT_EQ(FullBackup::ListBackups(TestBinaryFolder()).size(), 2u);
}
