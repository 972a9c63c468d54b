#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "TestBackupSet.h"
#include "repair/BackupRestore.h"
#include "resource.h"
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

// Chooses the set in another process's date list, which lists the sets as
// this process sees them in the same folder.
void ChooseSet(HWND dialog, const std::string& setName)
{
    std::vector<BackupSetEntry> sets = ListBackupSets();
    size_t at = 0;
    while (at < sets.size() && sets[at].name != setName)
        ++at;
    ASSERT_LT(at, sets.size()) << setName;
    HWND list = Control(dialog, IDC_BACKUP_DATES);
    ASSERT_EQ(static_cast<size_t>(SendMessageA(list, CB_GETCOUNT, 0, 0)), sets.size());
    SendMessageA(list, CB_SETCURSEL, at, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BACKUP_DATES, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

MessageBoxSeen AnswerBox(DWORD processId, int button)
{
    MessageBoxSeen box = WaitForMessageBox(processId, 10000);
    if (box.window) {
        PressButton(box.window, button);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(box.window); }, 5000)) << box.text;
    }
    return box;
}

} // namespace

TEST(RestoreWindow, BackUpOpensTheRestoreDialogAndRemoveBackupDeletesTheChosenSet)
{
    TestBackupSet set("6,2,2012_8,30,0");
    set.Value("HKEY_CURRENT_USER\\Software\\QuillmoorRestoreTest", "Program", "C:\\Program Files\\Old\\old.exe");
    set.Lines("[TYPE:REG_KEY]\n[NAME:HKEY_CLASSES_ROOT\\CLSID\\{00000000-1111-2222-3333-444444444444}]\n"
              "[PATH:\\rkBackUp4.reg]\n[TYPE:FILE]\n[DEST_PATH:C:\\users\\Public\\Desktop\\Old Program.lnk]\n");
    const std::string cabinet = set.Pack();

    AppProcess app;
    ASSERT_TRUE(app.Start());
    HWND main = WaitForWindow(app.Id(), "Quillmoor v8.0", 15000);
    ASSERT_NE(main, nullptr);
    Click(Control(main, IDC_BACKUP));
    HWND restore = WaitForWindow(app.Id(), "Restore Backup", 10000);
    ASSERT_NE(restore, nullptr);
    ChooseSet(restore, set.Name());
    HWND items = Control(restore, IDC_RESTORE_ITEMS);
    EXPECT_EQ(SendMessageA(items, LVM_GETITEMCOUNT, 0, 0), 3);
    PostMessageA(restore, WM_COMMAND, IDC_RESTORE_SELECT_ALL, reinterpret_cast<LPARAM>(Control(restore, IDC_RESTORE_SELECT_ALL)));
    Sleep(300);
    EXPECT_FALSE(SaveScreenshot("restore-backup", restore).empty());

    Click(Control(restore, IDC_REMOVE_BACKUPS));
    HWND remove = WaitForWindow(app.Id(), "Remove Backup", 10000);
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(WindowText(Control(remove, IDC_REMOVE_HEADER)).substr(0, 31), "This option allows you to remov");
    Click(Control(remove, IDOK));
    EXPECT_EQ(AnswerBox(app.Id(), IDOK).text, "Please Select a backup date");
    ChooseSet(remove, set.Name());
    Sleep(200);
    EXPECT_FALSE(SaveScreenshot("remove-backup", remove).empty());
    Click(Control(remove, IDOK));
    MessageBoxSeen question = AnswerBox(app.Id(), IDYES);
    EXPECT_EQ(question.title, "Quillmoor v7.1");
    EXPECT_EQ(question.text, "Are you sure you want to remove this registry backup?  You will not be able to "
                             "restore this backup once it is removed");
    EXPECT_EQ(AnswerBox(app.Id(), IDOK).text, "Backup Deleted Successfully");
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(remove); }, 5000));
    EXPECT_EQ(GetFileAttributesA(cabinet.c_str()), INVALID_FILE_ATTRIBUTES);
    Sleep(200);
    EXPECT_EQ(static_cast<size_t>(SendMessageA(Control(restore, IDC_BACKUP_DATES), CB_GETCOUNT, 0, 0)),
              ListBackupSets().size());
    EXPECT_EQ(SendMessageA(items, LVM_GETITEMCOUNT, 0, 0), 0);

    Click(Control(restore, IDCANCEL));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(restore); }, 5000));
    SendKey(main, VK_ESCAPE);
    EXPECT_EQ(app.WaitForExit(10000), 0u);
}
