#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "TestBackupSet.h"
#include "app/CommandLine.h"
#include "app/HeadlessRestore.h"
#include "core/Registry.h"
#include "repair/BackupRestore.h"
#include "repair/RestoreDialog.h"
#include "resource.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"

namespace {

const std::string testKey = "Software\\QuillmoorRestoreTest";

struct CollectedText : TextOutput {
    std::string text;
    bool Write(const std::string& more) override { return text += more, true; }
};

struct Headless {
    int code;
    std::string out, err;
};

Headless RunCommand(const std::vector<std::string>& arguments)
{
    CollectedText out, err;
    int code = RunHeadless(arguments, out, err);
    return {code, out.text, err.text};
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The restore dialog, created in the test's thread and driven by its messages.
class OpenRestoreDialog {
public:
    OpenRestoreDialog() : window(dialog.CreateModeless(nullptr)) { EXPECT_NE(window, nullptr); }
    ~OpenRestoreDialog()
    {
        if (IsWindow(window))
            DestroyWindow(window);
        Pump();
    }
    bool Open() const { return IsWindow(window) != FALSE; }
    std::vector<std::string> Dates() const
    {
        std::vector<std::string> dates;
        HWND list = GetDlgItem(window, IDC_BACKUP_DATES);
        for (int i = 0; i < SendMessageA(list, CB_GETCOUNT, 0, 0); ++i) {
            char text[300] = {};
            SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            dates.push_back(text);
        }
        return dates;
    }
    void Choose(const std::string& setName)
    {
        HWND list = GetDlgItem(window, IDC_BACKUP_DATES);
        LRESULT at = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(BackupSet::BackupDateText(setName).c_str()));
        ASSERT_NE(at, CB_ERR) << setName;
        SendMessageA(list, CB_SETCURSEL, at, 0);
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_BACKUP_DATES, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    }
    // "Item Type|Path" per row.
    std::vector<std::string> Rows() const
    {
        std::vector<std::string> rows;
        HWND list = GetDlgItem(window, IDC_RESTORE_ITEMS);
        for (int row = 0; row < ListView_GetItemCount(list); ++row) {
            char type[300] = {}, path[300] = {};
            ListView_GetItemText(list, row, 0, type, sizeof(type));
            ListView_GetItemText(list, row, 1, path, sizeof(path));
            rows.push_back(std::string(type) + "|" + path);
        }
        return rows;
    }
    void Press(int id)
    {
        SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
        Pump();
    }

private:
    RestoreDialog dialog;
    HWND window;
};

// Restores every item of the set through the dialog; the message texts.
std::vector<std::string> RestoreAllThroughDialog(const std::string& setName)
{
    MessageCapture boxes;
    OpenRestoreDialog dialog;
    dialog.Choose(setName);
    dialog.Press(IDC_RESTORE_SELECT_ALL);
    dialog.Press(IDOK);
    EXPECT_FALSE(dialog.Open());
    return boxes.Texts();
}

std::string Summary(int failed, int chosen)
{
    return std::to_string(failed) + " of the " + std::to_string(chosen) +
           " chosen entries could not be restored. " + RestoreLogPath() + " names them.";
}

struct RawValue {
    DWORD type = 0;
    std::string bytes;
    bool operator==(const RawValue& other) const { return type == other.type && bytes == other.bytes; }
};

RawValue ReadRaw(HKEY root, const std::string& subkey, const std::string& name)
{
    RawValue value;
    HKEY key;
    if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    char data[4096];
    DWORD size = sizeof(data);
    if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) == 0)
        value.bytes.assign(data, size);
    else
        value.type = REG_NONE;
    RegCloseKey(key);
    return value;
}

std::string HexList(const std::string& bytes)
{
    std::string list;
    char pair[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(pair, sizeof(pair), "%02x", static_cast<unsigned char>(bytes[i]));
        list += (i ? "," : "") + std::string(pair);
    }
    return list;
}

class Restore : public testing::Test {
protected:
    void SetUp() override { DeleteFileA(RestoreLogPath().c_str()); }
    void TearDown() override { DeleteFileA(RestoreLogPath().c_str()); }
    std::string folder = TestTempFolder() + UniqueName("restored");
};

} // namespace

// Older sets keep a file's copy under its bare name; newer ones name it in a
// FILE_COPY record, so that two files of one name both come back.
TEST_F(Restore, DialogRestoresTheCheckedItemsAndNamesWhatDidNotComeBack)
{
    PlantedKey holder(HKEY_CURRENT_USER, testKey + "\\Holder");
    holder.SetString("Tool", "C:\\Tool\\tool.exe");
    PlantedKey merged(HKEY_CURRENT_USER, testKey + "\\Merged");
    merged.SetString("Mode", "as backed up");
    PlantedKey inner(HKEY_CURRENT_USER, merged.Path() + "\\Inner");
    inner.SetBinary("", {1, 2, 0xff});
    PlantedFile link(folder + "\\Links\\Tool.lnk", std::string("L\0\0\0link", 8));
    PlantedFile other(folder + "\\Other\\Tool.lnk", "other link");
    auto lost = std::make_unique<PlantedFile>(folder + "\\Gone Folder\\Tool.lnk");
    const std::string lostPath = lost->Path();
    const std::string before = ExportKey(merged.FullPath());

    TestBackupSet set("3,15,2011_9,26,53");
    set.Key(merged.FullPath(), 1);
    set.Value(holder.FullPath(), "Tool", "C:\\Tool\\tool.exe");
    set.File(link.Path());
    set.File(other.Path(), "Tool_2.lnk");
    set.File(lostPath, "Tool_3.lnk");
    set.Pack();
    ASSERT_EQ(DeleteRegKey(HKEY_CURRENT_USER, inner.Path()), 1);
    merged.SetString("Mode", "changed since");
    holder.SetString("Tool", "D:\\Newer\\tool.exe", REG_EXPAND_SZ);
    DeleteFileA(link.Path().c_str());
    DeleteFileA(other.Path().c_str());
    lost.reset(); // the file and its folder are gone

    MessageCapture boxes;
    OpenRestoreDialog dialog;
    dialog.Choose(set.Name());
    EXPECT_EQ(dialog.Rows(), (std::vector<std::string>{"RegKey|" + merged.FullPath(), "RegValue|C:\\Tool\\tool.exe",
                                                         "ShortCut|" + link.Path(), "ShortCut|" + other.Path(),
                                                         "ShortCut|" + lostPath}));
    dialog.Press(IDOK);
    dialog.Press(IDC_RESTORE_SELECT_ALL);
    dialog.Press(IDOK);
    EXPECT_FALSE(dialog.Open());
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"No Backup Items Selected", Summary(1, 5)}));

    EXPECT_EQ(ExportKey(merged.FullPath()), before);
    EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, holder.Path(), "Tool"), (RawValue{REG_SZ, std::string("C:\\Tool\\tool.exe", 17)}));
    EXPECT_EQ(ReadFileBytes(link.Path()), std::string("L\0\0\0link", 8));
    EXPECT_EQ(ReadFileBytes(other.Path()), "other link");
    EXPECT_EQ(GetFileAttributesA(RestoreTempFolder().c_str()), INVALID_FILE_ATTRIBUTES);
    std::string log = ReadFileBytes(RestoreLogPath());
    EXPECT_EQ(CountOf(log, "Could not restore file " + lostPath + ", Error Code= 3, Make sure the directories in " +
                               lostPath + " exist\r\n"), 1u) << log;
    EXPECT_EQ(CountOf(log, "[" + holder.FullPath() + "]\r\n\"Tool\"=hex(2):" +
                               HexList(std::string("D:\\Newer\\tool.exe", 18))), 1u) << log;
    EXPECT_EQ(CountOf(log, "\"Mode\"=\"changed since\""), 1u) << log;
}

TEST_F(Restore, AValueIsNotOverwrittenWhenItsStateCannotBeKept)
{
    PlantedKey holder(HKEY_CURRENT_USER, testKey + "\\Holder");
    TestBackupSet set("3,21,2011_9,26,53");
    set.Value(holder.FullPath(), "Tool", "C:\\Tool\\tool.exe");
    set.Pack();
    holder.SetString("Tool", "D:\\Newer\\tool.exe");
    PlantedFolder blocked(RestoreLogPath()); // restore.txt cannot be written

    EXPECT_EQ(RestoreAllThroughDialog(set.Name()),
              std::vector<std::string>{"1 of the 1 chosen entries could not be restored."});
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, holder.Path(), "Tool"), "D:\\Newer\\tool.exe");
}

TEST_F(Restore, ValueRecordsAloneComeBackAsTextThroughBothPaths)
{
    for (bool headless : {false, true}) {
        PlantedKey key(HKEY_CURRENT_USER, testKey + "\\Plain");
        TestBackupSet set(headless ? "3,17,2011_9,26,53" : "3,18,2011_9,26,53");
        set.Value(key.FullPath(), "Count", "42");
        set.Value(key.FullPath(), "Library", "C:\\Windows\\gone.dll  ");
        set.Pack();
        if (headless) {
            Headless run = RunCommand({"/restore:" + set.Name(), "/items:2"});
            EXPECT_EQ(run.code, 0) << run.err;
            EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, key.Path(), "Count").type, static_cast<DWORD>(REG_NONE));
        } else {
            EXPECT_EQ(RestoreAllThroughDialog(set.Name()), std::vector<std::string>{"Entries Restored Successfully"});
            EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, key.Path(), "Count"), (RawValue{REG_SZ, std::string("42", 3)}));
        }
        EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, key.Path(), "Library"),
                  (RawValue{REG_SZ, std::string("C:\\Windows\\gone.dll", 20)})) << headless;
    }
}

TEST_F(Restore, CorruptSetsAreReportedAndNothingHalfWrittenGoesUntold)
{
    PlantedKey key(HKEY_CURRENT_USER, testKey + "\\Corrupt");
    struct Case {
        const char* what;
        std::string records;              // empty: the cabinet is not one
        std::vector<std::string> rows;    // what the dialog lists
        std::vector<std::string> boxes;   // after listing and restoring every row
        std::string reason;               // on standard error of /restore
        const char* restored;             // the value "Whole" after the restore, or null
    };
    const std::string whole = "[TYPE:REG_VALUE]\n[MAIN_KEY:" + key.FullPath() + "]\n[VALUE_NAME:Whole]\n[VALUE:kept]\n";
    const Case cases[] = {
        {"not a cabinet", "", {}, {"Not a cabinet", "No items in the backup"}, "Not a cabinet\r\n", nullptr},
        {"cut inside a record", whole + "[TYPE:REG_KEY]\n[NAME:" + key.FullPath() + "\\Sub]\n",
         {"RegValue|kept"}, {"Entries Restored Successfully"},
         "Config.ini ends inside the REG_KEY record that begins on line 5", "kept"},
        {"a line without ]", "[TYPE:REG_VALUE]\n[MAIN_KEY:" + key.FullPath() + "]\n[VALUE_NAME:Whole]\n[VALUE:cut",
         {"RegValue|cut"}, {Summary(1, 1)}, "line 4 of Config.ini is not a whole [VALUE:...] line", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestBackupSet set("3,20,2011_9,26,53");
        set.Lines(c.records);
        std::string cabinet = set.Pack();
        if (c.records.empty()) {
            FILE* junk = fopen(cabinet.c_str(), "wb");
            fputs("This is no cabinet at all", junk);
            fclose(junk);
        }
        for (bool headless : {false, true}) {
            DeleteRegValue(HKEY_CURRENT_USER, key.Path(), "Whole");
            if (headless) {
                Headless run = RunCommand({"/restore:" + set.Name()});
                EXPECT_EQ(run.code, ExitRestoreIncomplete);
                EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
            } else {
                MessageCapture boxes;
                OpenRestoreDialog dialog;
                dialog.Choose(set.Name());
                EXPECT_EQ(dialog.Rows(), c.rows);
                dialog.Press(IDC_RESTORE_SELECT_ALL);
                if (!c.rows.empty())
                    dialog.Press(IDOK);
                EXPECT_EQ(boxes.Texts(), c.boxes);
            }
            EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "Whole"), c.restored ? c.restored : "");
        }
    }
}

TEST_F(Restore, SetsAreListedNewestFirstWithTheirItemCounts)
{
    TestBackupSet december("12,31,2009_23,59,59"), january("1,5,2010_9,0,0"), february("2,1,2010_0,0,7");
    december.Value("HKEY_CURRENT_USER\\" + testKey, "a", "1");
    january.Value("HKEY_CURRENT_USER\\" + testKey, "a", "1");
    january.Value("HKEY_CURRENT_USER\\" + testKey, "b", "2");
    february.Lines("[TYPE:REG_KEY]\n[NAME:HKEY_CURRENT_USER\\" + testKey + "]\n[PATH:\\rkBackUp1.reg]\n");
    for (TestBackupSet* set : {&december, &january, &february})
        set->Pack();

    Headless run = RunCommand({"/backups"});
    EXPECT_EQ(run.code, 0) << run.err;
    std::vector<std::string> mine;
    for (TestBackupSet* set : {&december, &january, &february}) {
        size_t at = run.out.find(set->Name() + "\t");
        ASSERT_NE(at, std::string::npos) << run.out;
        mine.push_back(run.out.substr(at, run.out.find("\r\n", at) - at));
    }
    EXPECT_EQ(mine[0], "12,31,2009_23,59,59\tThursday, December 31, 2009 Time: 23:59:59\t1");
    EXPECT_EQ(mine[1], "1,5,2010_9,0,0\tTuesday, January 05, 2010 Time: 09:00:00\t2");
    EXPECT_EQ(mine[2], "2,1,2010_0,0,7\tMonday, February 01, 2010 Time: 00:00:07\t1");
    EXPECT_LT(run.out.find(mine[2]), run.out.find(mine[1]));
    EXPECT_LT(run.out.find(mine[1]), run.out.find(mine[0]));

    OpenRestoreDialog dialog;
    std::vector<std::string> dates = dialog.Dates();
    auto position = [&](const TestBackupSet& set) {
        return std::find(dates.begin(), dates.end(), BackupSet::BackupDateText(set.Name())) - dates.begin();
    };
    EXPECT_LT(position(february), position(january));
    EXPECT_LT(position(january), position(december));

    EXPECT_EQ(RunCommand({"/restore:1,1,2000_0,0,0"}).code, ExitBadCommandLine);
    EXPECT_EQ(RunCommand({"/restore:" + january.Name(), "/items:3"}).code, ExitBadCommandLine);
}

// The writer keeps each value exactly (type and bytes) beside its record's
// text, and a tweak's earlier state; both paths put them back as they were.
TEST_F(Restore, ASetWrittenBeforeARepairComesBackExactlyThroughBothPaths)
{
    PlantedKey key(HKEY_CURRENT_USER, testKey + "\\Written");
    const std::string multi("first\0second\0", 14);
    std::string binary(300, '\0');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 13);
    key.SetDword("C:\\Program Files\\Shared\\gone.dll", 7);
    key.SetString("Expand", "%ProgramFiles%\\Gone\\gone.exe", REG_EXPAND_SZ);
    key.SetString("Mixed", "C:\\Program Files\\Gone\\App.EXE /Run");
    key.SetString("", "quote \" and back\\slash");
    key.SetBinary("Multi", std::vector<BYTE>(multi.begin(), multi.end()), REG_MULTI_SZ);
    key.SetBinary("Bin", std::vector<BYTE>(binary.begin(), binary.end()));
    PlantedKey sub(HKEY_CURRENT_USER, key.Path() + "\\{Gone Class}");
    sub.SetString("", "Gone Class");
    sub.SetString("InprocServer32", "C:\\gone\\gone.dll");
    PlantedFile first(folder + "\\One\\Program.lnk", "first link");
    PlantedFile second(folder + "\\Two\\Program.lnk", "second link");
    const std::string before = ExportKey(key.FullPath());
    const char* const names[] = {"C:\\Program Files\\Shared\\gone.dll", "Expand", "Mixed", "", "Multi", "Bin"};

    std::string cabinet;
    auto repair = [&] {
        BackupSet writer;
        std::string work = TestTempFolder() + UniqueName("work");
        CreateFolders(work);
        ASSERT_EQ(writer.Begin(work), 1);
        cabinet = writer.CabinetPath();
        ASSERT_EQ(writer.AddRegKey(sub.FullPath(), 1), 1);
        ASSERT_EQ(DeleteRegKey(HKEY_CURRENT_USER, sub.Path()), 1);
        for (const char* name : names) {
            ASSERT_EQ(writer.AddRegValue(key.FullPath(), name, "lowered text", 2), 1) << name;
            ASSERT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.Path(), name), 1) << name;
        }
        ASSERT_EQ(writer.AddValueState(key.FullPath(), "Tweak", 3), 1);
        key.SetDword("Tweak", 1);
        for (const PlantedFile* file : {&first, &second}) {
            ASSERT_EQ(writer.AddFileCopy(file->Path(), 4), 1);
            ASSERT_TRUE(DeleteFileA(file->Path().c_str()));
        }
        ASSERT_EQ(writer.Finish(), 1);
        RemoveTree(work);
    };
    for (bool headless : {true, false}) {
        SCOPED_TRACE(headless ? "/restore" : "dialog");
        ASSERT_NO_FATAL_FAILURE(repair());
        if (headless) {
            Headless run = RunCommand({"/restore:" + cabinet});
            EXPECT_EQ(run.code, 0) << run.err;
        } else {
            std::string name = cabinet.substr(cabinet.rfind('\\') + 1);
            EXPECT_EQ(RestoreAllThroughDialog(name.substr(0, name.size() - 4)),
                      std::vector<std::string>{"Entries Restored Successfully"});
        }
        DeleteFileA(cabinet.c_str());
        EXPECT_EQ(ExportKey(key.FullPath()), before);
        EXPECT_EQ(ReadFileBytes(first.Path()), "first link");
        EXPECT_EQ(ReadFileBytes(second.Path()), "second link");
    }
    EXPECT_EQ(CountOf(ReadFileBytes(RestoreLogPath()), "\"Tweak\"=dword:00000001"), 2u) << "removed unrecorded";
}
