// Tests that change the whole registry or restart the system: they run only
// in a Wine prefix of their own, started by tests/host/fullbackup-own-prefix.sh
// with QM_FULLBACKUP_PHASE naming the phase. Elsewhere they are skipped.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/FullBackupWizard.h"
#include "core/Platform.h"
#include "core/Registry.h"
#include "repair/CabinetExtractor.h"
#include "repair/FullBackup.h"
#include "resource.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"

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
    HKEY created = nullptr;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    RegKey opened(created);
    return opened.SetStringValue(data, name) == ERROR_SUCCESS;
}

void WriteFile(const std::string& path, const std::string& text)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

std::string Shown(const MessageCapture& messages)
{
    std::string text;
    for (const std::string& message : messages.Texts())
        text += message + "\n";
    return text;
}

std::string ShortForm(const std::string& path)
{
    char buffer[MAX_PATH] = {};
    GetShortPathNameA(path.c_str(), buffer, sizeof(buffer));
    return buffer;
}

} // namespace

// The whole registry is saved, two values change and a key is added; the
// wizard's restore puts the values back and removes the key, after a backup
// of its own; then the system restarts (ending this process).
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
    ASSERT_EQ(backup.SaveRegistry(), 1) << Shown(messages);
    const std::string set = backup.LastCabinet();
    SetString(HKEY_CURRENT_USER, restoredKey, "Planted", "after");
    SetString(HKEY_LOCAL_MACHINE, restoredKey, "Machine", "after");
    SetString(HKEY_CURRENT_USER, std::string(restoredKey) + "\\Later", "New", "x");

    // Through the wizard, answering "later" to the restart question.
    MessageCapture answers(IDNO);
    FullBackupWizard wizard(TestBinaryFolder());
    HWND window = wizard.CreateModeless(nullptr);
    ASSERT_NE(window, nullptr);
    CheckDlgButton(window, IDC_FULL_RESTORE, BST_CHECKED);
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    std::vector<FullBackupEntry> listed = FullBackup::ListBackups(TestBinaryFolder());
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_EQ(listed[0].path, set);
    SendDlgItemMessageA(window, IDC_FULL_DATE_LIST, CB_SETCURSEL, 0, 0);
    SendMessageA(window, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(answers.Texts().size(), 2u) << Shown(answers);
    EXPECT_EQ(answers.Texts()[0], "Restored");
    EXPECT_EQ(answers.Texts()[1].rfind("In Order to complete the Restore Process", 0), 0u);
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

// After the restart: the restored values stayed, the later key is gone and
// what the restore had no reason to touch is as it was.
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

// With the system reporting Windows 98 the registry is files: the backup
// holds their copies, the restore puts them beside the originals and queues
// the renames in wininit.ini, keeping what the file held.
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
        WriteFile(file.dat, file.text);
    WriteFile(windows + "\\wininit.ini", "[Rename]\r\nNUL=C:\\OLD.TMP\r\n");

    MessageCapture messages;
    FullBackup backup(TestBinaryFolder());
    ASSERT_EQ(backup.SaveRegistry(), 1) << Shown(messages);
    const std::string set = backup.LastCabinet();
    {
        CabinetExtractor extractor;
        std::vector<CabinetEntry> entries;
        ASSERT_TRUE(extractor.OpenCabinet(set) && extractor.ListFiles(entries));
        std::vector<std::string> names;
        for (const CabinetEntry& entry : entries)
            names.push_back(entry.name);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"ZipLog.txt", "classes.fix", "system.fix",
                                                   "user.fix", "wuser.fix"}));
    }
    for (const StandIn& file : standIns)
        WriteFile(file.dat, "changed since");

    ASSERT_EQ(backup.RestoreRegistry(set), 1) << Shown(messages);
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
