#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "app/CommandLine.h"
#include "app/HeadlessRestore.h"
#include "core/Registry.h"
#include "core/Text.h"
#include "repair/BackupRestore.h"
#include "repair/CabinetCompressor.h"
#include "repair/RestoreDialog.h"
#include "resource.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/StateWitness.h"
#include "support/UiDriver.h"

namespace {

const std::string testKey = "Software\\QuillmoorRestoreTest";

// A set made by hand, as older writers or damage leave them (Config.ini lines end CR CR LF).
class HandMadeSet {
public:
    explicit HandMadeSet(const std::string& name) : name(name) { CreateFolders(work); }
    ~HandMadeSet()
    {
        RemoveTree(work);
        DeleteFileA(Cabinet().c_str());
    }
    std::string Cabinet() const { return BackupSet::BackupFolder() + "\\" + name + ".cab"; }
    void Lines(std::string text)
    {
        ReplaceAll(text, "\n", "\r\r\n");
        std::ofstream(work + "\\Config.ini", std::ios::binary | std::ios::app) << text;
    }
    void Key(const std::string& keyPath, int number)
    {
        std::string stored = "\\rkBackUp" + std::to_string(number) + ".reg";
        RunRegedit("/e \"" + work + stored + "\" \"" + keyPath + "\"");
        Lines("[TYPE:REG_KEY]\n[NAME:" + keyPath + "]\n[PATH:" + stored + "]\n");
    }
    void Value(const std::string& keyPath, const std::string& valueName, const std::string& data)
    {
        Lines("[TYPE:REG_VALUE]\n[MAIN_KEY:" + keyPath + "]\n[VALUE_NAME:" + valueName + "]\n[VALUE:" + data + "]\n");
    }
    // Stored under its bare name, or under `stored` named by a FILE_COPY record.
    void File(const std::string& path, const std::string& stored = "")
    {
        std::string copy = stored.empty() ? path.substr(path.rfind('\\')) : "\\" + stored;
        EXPECT_TRUE(CopyFileA(path.c_str(), (work + copy).c_str(), FALSE)) << path;
        Lines("[TYPE:FILE]\n[DEST_PATH:" + path + "]\n" + (stored.empty() ? "" : "[TYPE:FILE_COPY]\n[PATH:" + copy + "]\n"));
    }
    void Pack()
    {
        CreateDirectoryA(BackupSet::BackupFolder().c_str(), nullptr);
        CabinetCompressor compressor;
        EXPECT_EQ(compressor.CreateCabinet(Cabinet()), 1);
        compressor.AddFolder(work);
        EXPECT_EQ(compressor.Flush(), 1);
    }

    const std::string name;

private:
    std::string work = TestTempFolder() + UniqueName("set");
};

// Chooses the set in the program's date list, which lists the same folder's sets.
void ChooseSet(HWND dialog, const std::string& setName)
{
    const std::vector<BackupSetEntry> sets = ListBackupSets();
    auto at = std::find_if(sets.begin(), sets.end(), [&](const BackupSetEntry& set) { return set.name == setName; });
    HWND list = Control(dialog, IDC_BACKUP_DATES);
    ASSERT_EQ(static_cast<size_t>(SendMessageA(list, CB_GETCOUNT, 0, 0)), sets.size());
    SendMessageA(list, CB_SETCURSEL, at - sets.begin(), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_BACKUP_DATES, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// The restore dialog in the test's thread, driven by its messages; its boxes captured.
struct OpenDialog {
    MessageCapture boxes;
    RestoreDialog dialog;
    HWND window = dialog.CreateModeless(nullptr);

    ~OpenDialog() { DestroyWindow(window); }
    HWND Item(int id) const { return GetDlgItem(window, id); }
    void Press(int id) { SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id))); }
    // "Item Type|Path" per row.
    std::vector<std::string> Rows() const
    {
        std::vector<std::string> rows;
        for (int row = 0; row < ListView_GetItemCount(Item(IDC_RESTORE_ITEM_LIST)); ++row) {
            char type[300] = {}, path[300] = {};
            ListView_GetItemText(Item(IDC_RESTORE_ITEM_LIST), row, 0, type, sizeof(type));
            ListView_GetItemText(Item(IDC_RESTORE_ITEM_LIST), row, 1, path, sizeof(path));
            rows.push_back(std::string(type) + "|" + path);
        }
        return rows;
    }
};

// The dialog's answer when one of the chosen entries did not come back.
std::string OneFailed(int chosen)
{
    return "1 of the " + std::to_string(chosen) + " chosen entries could not be restored. " + RestoreLogPath() + " names them.";
}

class Restore : public testing::Test {
protected:
    void SetUp() override { DeleteFileA(RestoreLogPath().c_str()); }
    void TearDown() override { DeleteFileA(RestoreLogPath().c_str()); }
    std::string folder = TestTempFolder() + UniqueName("restored");
};

} // namespace

// Keys, values and files come back; restore.txt names the failures and overwritten states, and a value whose state
// it cannot keep is not overwritten.
TEST_F(Restore, DialogRestoresTheCheckedItemsAndNamesWhatDidNotComeBack)
{
    PlantedKey holder(HKEY_CURRENT_USER, testKey + "\\Holder");
    PlantedKey merged(HKEY_CURRENT_USER, testKey + "\\Merged");
    merged.SetString("Mode", "as backed up");
    PlantedKey inner(HKEY_CURRENT_USER, merged.Path() + "\\Inner");
    inner.SetBinary("", {1, 2, 0xff});
    PlantedFile link(folder + "\\Links\\Tool.lnk", std::string("L\0\0\0link", 8));
    auto lost = std::make_unique<PlantedFile>(folder + "\\Gone Folder\\Tool.lnk");
    const std::string lostPath = lost->Path();
    const std::vector<std::string> before = SortedExport(merged.FullPath());

    HandMadeSet set("3,15,2011_9,26,53");
    set.Key(merged.FullPath(), 1);
    set.Value(holder.FullPath(), "Tool", "C:\\Tool\\tool.exe");
    set.File(link.Path());
    set.File(lostPath, "Tool_3.lnk");
    set.Pack();
    ASSERT_EQ(DeleteRegKey(HKEY_CURRENT_USER, inner.Path()), 1);
    merged.SetString("Mode", "changed since");
    holder.SetString("Tool", "D:\\Newer\\tool.exe", REG_EXPAND_SZ);
    DeleteFileA(link.Path().c_str());
    lost.reset(); // the file and its folder are gone

    OpenDialog dialog;
    ChooseSet(dialog.window, set.name);
    EXPECT_EQ(dialog.Rows(), (std::vector<std::string>{"RegKey|" + merged.FullPath(), "RegValue|C:\\Tool\\tool.exe",
                                                         "ShortCut|" + link.Path(), "ShortCut|" + lostPath}));
    dialog.Press(IDOK);
    dialog.Press(IDC_RESTORE_SELECT_ALL);
    dialog.Press(IDOK);
    EXPECT_EQ(dialog.boxes.Texts(), (std::vector<std::string>{"No Backup Items Selected", OneFailed(4)}));
    EXPECT_FALSE(IsWindow(dialog.window)) << "the dialog closes after a restore";

    EXPECT_EQ(SortedExport(merged.FullPath()), before);
    DWORD type = REG_NONE;
    SHGetValueA(HKEY_CURRENT_USER, holder.Path().c_str(), "Tool", &type, nullptr, nullptr);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << "a value without its exact copy comes back as text";
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, holder.Path(), "Tool"), "C:\\Tool\\tool.exe");
    EXPECT_EQ(ReadFileBytes(link.Path()), std::string("L\0\0\0link", 8));
    EXPECT_EQ(GetFileAttributesA(RestoreTempFolder().c_str()), INVALID_FILE_ATTRIBUTES);
    std::string log = ReadFileBytes(RestoreLogPath());
    EXPECT_EQ(CountOf(log, "Could not restore file " + lostPath + ", Error Code= 3, Make sure the directories in " +
                               lostPath + " exist\r\n"), 1u) << log;
    EXPECT_EQ(CountOf(log, "[" + holder.FullPath() + "]\r\n\"Tool\"=hex(2):44,3a,5c,4e,65,77"), 1u) << log;
    EXPECT_EQ(CountOf(log, "\"Mode\"=\"changed since\""), 1u) << log;

    holder.SetString("Tool", "D:\\Newer\\tool.exe");
    DeleteFileA(RestoreLogPath().c_str());
    PlantedFolder blocked(RestoreLogPath()); // restore.txt cannot be written
    OpenDialog again;
    ChooseSet(again.window, set.name);
    ListView_SetCheckState(again.Item(IDC_RESTORE_ITEM_LIST), 1, TRUE);
    again.Press(IDOK);
    EXPECT_EQ(again.boxes.Texts(), std::vector<std::string>{"1 of the 1 chosen entries could not be restored."});
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, holder.Path(), "Tool"), "D:\\Newer\\tool.exe");
}

TEST_F(Restore, CorruptSetsAreReportedAndNothingHalfWrittenGoesUntold)
{
    PlantedKey key(HKEY_CURRENT_USER, testKey + "\\Corrupt");
    const std::string value = "[TYPE:REG_VALUE]\n[MAIN_KEY:" + key.FullPath() + "]\n[VALUE_NAME:Whole]\n";
    // Config.ini (none: the cabinet is not one); the dialog's rows, and its boxes after restoring every row; the
    // reason /restore gives on standard error; the value "Whole" afterwards.
    struct Case {
        std::string records;
        std::vector<std::string> rows, boxes;
        std::string reason, restored;
    };
    const Case cases[] = {
        {"", {}, {"Not a cabinet", "No items in the backup"}, "Not a cabinet\r\n", ""},
        {value + "[VALUE:kept]\n[TYPE:REG_KEY]\n[NAME:" + key.FullPath() + "\\Sub]\n", {"RegValue|kept"},
         {"Entries Restored Successfully"}, "Config.ini ends inside the REG_KEY record that begins on line 5", "kept"},
        {value + "[VALUE:cut", {"RegValue|cut"}, {OneFailed(1)},
         "line 4 of Config.ini is not a whole [VALUE:...] line", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        DeleteRegValue(HKEY_CURRENT_USER, key.Path(), "Whole");
        HandMadeSet set("3,20,2011_9,26,53");
        set.Lines(c.records);
        set.Pack();
        if (c.records.empty())
            std::ofstream(set.Cabinet(), std::ios::binary) << "This is no cabinet at all";
        OpenDialog dialog;
        ChooseSet(dialog.window, set.name);
        EXPECT_EQ(dialog.Rows(), c.rows);
        dialog.Press(IDC_RESTORE_SELECT_ALL);
        if (!c.rows.empty())
            dialog.Press(IDOK);
        EXPECT_EQ(dialog.boxes.Texts(), c.boxes);
        EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "Whole"), c.restored);

        DeleteRegValue(HKEY_CURRENT_USER, key.Path(), "Whole");
        std::string err;
        EXPECT_EQ(RunHeadlessCommand({"/restore:" + set.name}, &err), ExitRestoreIncomplete);
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
        EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "Whole"), c.restored);
    }
}

// Newest first, not by date text (the dialogs list the same order: ChooseSet relies on it); chosen items restore
// alone; Remove Backup asks for a set, then asks before it deletes it, and only a yes deletes.
TEST_F(Restore, SetsAreListedNewestFirstRestoreAloneAndGoOnlyWhenTheUserSaysYes)
{
    PlantedKey key(HKEY_CURRENT_USER, testKey + "\\Listed");
    HandMadeSet december("12,31,2009_23,59,59"), january("1,5,2010_9,0,0"), february("2,1,2010_0,0,7_2");
    december.Value(key.FullPath(), "a", "1");
    january.Value(key.FullPath(), "a", "1");
    january.Value(key.FullPath(), "b", "2");
    february.Lines("[TYPE:REG_KEY]\n[NAME:" + key.FullPath() + "]\n[PATH:\\rkBackUp1.reg]\n");
    for (HandMadeSet* set : {&december, &january, &february})
        set->Pack();

    std::string listed;
    EXPECT_EQ(RunHeadlessCommand({"/backups"}, &listed), 0);
    EXPECT_NE(listed.find("2,1,2010_0,0,7_2\tMonday, February 01, 2010 Time: 00:00:07\t1\r\n"
                          "1,5,2010_9,0,0\tTuesday, January 05, 2010 Time: 09:00:00\t2\r\n"
                          "12,31,2009_23,59,59\tThursday, December 31, 2009 Time: 23:59:59\t1\r\n"),
              std::string::npos) << listed;

    EXPECT_EQ(RunHeadlessCommand({"/restore:" + january.name, "/items:2"}), 0);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "a"), "");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "b"), "2");
    EXPECT_EQ(RunHeadlessCommand({"/restore:" + january.name, "/items:3"}), ExitBadCommandLine);
    EXPECT_EQ(RunHeadlessCommand({"/restore:1,1,2000_0,0,0"}), ExitBadCommandLine);

    for (int answer : {IDNO, IDYES}) {
        MessageCapture boxes(answer);
        RemoveBackupDialog remove;
        HWND window = remove.CreateModeless(nullptr);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ChooseSet(window, december.name);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        std::vector<std::string> expected = {"Please Select a backup date", "Are you sure you want to remove this "
            "registry backup?  You will not be able to restore this backup once it is removed"};
        if (answer == IDYES)
            expected.push_back("Backup Deleted Successfully");
        EXPECT_EQ(boxes.Texts(), expected);
        EXPECT_EQ(GetFileAttributesA(december.Cabinet().c_str()) != INVALID_FILE_ATTRIBUTES, answer == IDNO);
        EXPECT_EQ(IsWindow(window) != 0, answer == IDNO) << "the dialog closes once the set is deleted";
        DestroyWindow(window);
    }
}
