#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/OptionsDialog.h"
#include "core/Registry.h"
#include "managers/BrowserHelperDialog.h"
#include "managers/FileVersionInfo.h"
#include "managers/InstalledProgramsDialog.h"
#include "managers/RestoreRemovedDialog.h"
#include "managers/StartupManagerDialog.h"
#include "resource.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

namespace {

// A copy of this test binary named recorder.exe writes the command line it was
// started with beside itself and ends, before any test runs.
struct CommandLineRecorder {
    CommandLineRecorder()
    {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string self = path;
        size_t slash = self.rfind('\\');
        if (lstrcmpiA(self.substr(slash + 1).c_str(), "recorder.exe") != 0)
            return;
        std::ofstream(self.substr(0, slash) + "\\commandline.txt", std::ios::binary) << GetCommandLineA();
        ExitProcess(0);
    }
} recorder;

const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char bhoKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char uninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Everything below a key, as "sub\key\|value" -> type and bytes as read.
using Tree = std::map<std::string, std::pair<DWORD, std::string>>;

void Dump(HKEY key, const std::string& prefix, Tree& tree)
{
    tree[prefix];
    char name[300];
    std::vector<char> data(70000);
    DWORD nameLength = sizeof(name), size = static_cast<DWORD>(data.size()), type = 0;
    for (DWORD i = 0; RegEnumValueA(key, i, name, &nameLength, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS; ++i) {
        tree[prefix + "|" + name] = {type, std::string(data.data(), size)};
        nameLength = sizeof(name), size = static_cast<DWORD>(data.size());
    }
    HKEY child;
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof(name)) == ERROR_SUCCESS; ++i)
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            Dump(child, prefix + name + "\\", tree);
            RegCloseKey(child);
        }
}

// The part of a tree below `prefix` ("sub\\"), as a tree of its own.
Tree Subtree(const Tree& tree, const std::string& prefix)
{
    Tree part;
    for (const auto& [path, value] : tree)
        if (path.compare(0, prefix.size(), prefix) == 0)
            part[path.substr(prefix.size())] = value;
    return part;
}

Tree TreeAt(HKEY root, const std::string& path)
{
    Tree tree;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        Dump(key, "", tree);
        RegCloseKey(key);
    }
    return tree;
}

// One value, type and bytes; type 0 when it is missing.
std::pair<DWORD, std::string> ValueAt(HKEY root, const std::string& path, const std::string& name)
{
    Tree tree = TreeAt(root, path);
    auto found = tree.find("|" + name);
    return found == tree.end() ? std::pair<DWORD, std::string>() : found->second;
}

// A Run value written for the test and deleted at the end; the Run key stays.
struct PlantedRunValue {
    HKEY root;
    std::string name;
    PlantedRunValue(HKEY root, const std::string& name, const std::string& data, DWORD type = REG_SZ)
        : root(root), name(name)
    {
        HKEY key;
        EXPECT_EQ(RegCreateKeyExA(root, runKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
        EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>(data.size() + 1)), 0);
        RegCloseKey(key);
    }
    ~PlantedRunValue() { DeleteRegValue(root, runKey, name); }
};

// Puts the real registry back end back when a test that wrapped an entry ends.
struct BackEndRestorer {
    RegistryBackEnd saved = regApi;
    ~BackEndRestorer() { regApi = saved; }
};

LONG WINAPI DeniedSetValue(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD)
{
    return ERROR_ACCESS_DENIED;
}

using Rows = std::vector<std::vector<std::string>>;

Rows ListRows(HWND list)
{
    Rows rows;
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        rows.emplace_back();
        for (int column = 0; column < 2; ++column) {
            char text[2048] = {};
            ListView_GetItemText(list, row, column, text, sizeof(text));
            rows.back().push_back(text);
        }
    }
    return rows;
}

// The rows whose first column is `name`, from the top.
std::vector<int> RowsNamed(HWND list, const std::string& name)
{
    std::vector<int> found;
    Rows rows = ListRows(list);
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i][0] == name)
            found.push_back(static_cast<int>(i));
    return found;
}

Rows RowsNamedOnly(HWND list, const std::vector<std::string>& names)
{
    Rows picked;
    for (const auto& row : ListRows(list))
        for (const auto& name : names)
            if (row[0] == name)
                picked.push_back(row);
    return picked;
}

void Pump()
{
    for (int round = 0; round < 3; ++round, Sleep(20)) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// A dialog made without a loop of its own, and shown only for a screenshot;
// its window goes before the object does.
template <typename D>
struct Opened {
    D dialog;
    HWND window = nullptr;

    template <typename... Args>
    explicit Opened(Args... args) : dialog(args...)
    {
        window = dialog.CreateModeless(nullptr);
        EXPECT_NE(window, nullptr);
        Pump();
    }
    ~Opened()
    {
        if (IsWindow(window))
            DestroyWindow(window);
        Pump();
    }
    HWND List() const { return GetDlgItem(window, IDC_MANAGER_LIST); }
};

class Managers : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void Press(HWND dialog, int id)
    {
        SendMessageA(dialog, WM_COMMAND, id, 0);
        Pump();
    }
    // Ticks the rows of these names (with `firstOnly`, the first row of each).
    void Check(HWND dialog, const std::vector<std::string>& names, bool firstOnly = false)
    {
        HWND list = GetDlgItem(dialog, IDC_MANAGER_LIST);
        for (const auto& name : names)
            for (int row : RowsNamed(list, name)) {
                ListView_SetCheckState(list, row, TRUE);
                if (firstOnly)
                    break;
            }
    }
    void Select(HWND dialog, int row)
    {
        HWND list = GetDlgItem(dialog, IDC_MANAGER_LIST);
        ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetSelectionMark(list, row);
        Pump();
    }
    static std::vector<std::string> Details(HWND dialog)
    {
        std::vector<std::string> texts;
        for (int id : {IDC_DETAIL_FILE_NAME, IDC_DETAIL_PRODUCT, IDC_DETAIL_DESCRIPTION, IDC_DETAIL_COMPANY})
            texts.push_back(WindowText(GetDlgItem(dialog, id)));
        return texts;
    }
    void Shoot(const std::string& name, HWND dialog)
    {
        SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        Pump();
        EXPECT_FALSE(SaveScreenshot(name, dialog).empty()) << name;
    }
    // Restores the checked rows of the restore dialog in `kind`; the boxes it showed.
    std::vector<std::string> Restore(RemovedKind kind, const std::vector<std::string>& names,
                                     const std::string& screenshot = "", int answer = IDOK,
                                     bool firstOnly = false)
    {
        MessageCapture boxes(answer);
        Opened<RestoreRemovedDialog> restore(kind);
        Check(restore.window, names, firstOnly);
        if (!screenshot.empty())
            Shoot(screenshot, restore.window);
        Press(restore.window, IDOK);
        EXPECT_FALSE(IsWindow(restore.window)) << "the dialog closes after a restore";
        return boxes.Texts();
    }

    SavedSettingsKey saved;
    const std::vector<std::string> removed{"Item(s) Removed"};
    const std::vector<std::string> restored{"Selected Item(s) Restored"};
};

} // namespace

TEST_F(Managers, StartupEntriesGoToTheirBackupKeysAndComeBackWithTypeAndBytes)
{
    const std::string machine = UniqueName("QmMachineRun"), user = UniqueName("QmUserRun");
    // An expandable command stays expandable; a long one with a trailing blank stays whole.
    const std::string longCommand = "C:\\Program Files\\Qm Long\\long.exe /" + std::string(400, 'x') + " ";
    PlantedRunValue machineValue(HKEY_LOCAL_MACHINE, machine, "%SystemRoot%\\qm-gone.exe /min", REG_EXPAND_SZ);
    PlantedRunValue userValue(HKEY_CURRENT_USER, user, longCommand);
    const Tree machineBefore = TreeAt(HKEY_LOCAL_MACHINE, runKey), userBefore = TreeAt(HKEY_CURRENT_USER, runKey);

    {
        MessageCapture boxes;
        Opened<StartupManagerDialog> manager;
        HWND window = manager.window;
        HWND list = GetDlgItem(window, IDC_MANAGER_LIST);
        EXPECT_EQ(RowsNamedOnly(list, {machine, user}),
                  (Rows{{machine, "%SystemRoot%\\qm-gone.exe /min"}, {user, longCommand}}));
        Press(window, IDC_REMOVE_CHECKED);
        Check(window, {machine, user});
        Shoot("startup-manager", window);
        Press(window, IDC_REMOVE_CHECKED);
        EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Please Check an Item to Remove", removed[0]}));
        EXPECT_TRUE(RowsNamedOnly(list, {machine, user}).empty());
    }
    EXPECT_EQ(ValueAt(HKEY_LOCAL_MACHINE, runKey, machine).first, 0u);
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, "Software\\Quillmoor8\\RunLMBkup", machine),
              machineBefore.at("|" + machine));
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, "Software\\Quillmoor8\\RunCUBkup", user), userBefore.at("|" + user));

    // The current user's entries are listed before the machine-wide ones.
    {
        Opened<RestoreRemovedDialog> restore(RemovedKind::StartupPrograms);
        HWND list = restore.List();
        EXPECT_EQ(RowsNamedOnly(list, {machine, user}),
                  (Rows{{user, longCommand}, {machine, "%SystemRoot%\\qm-gone.exe /min"}}));
    }
    EXPECT_EQ(Restore(RemovedKind::StartupPrograms, {machine, user}, "restore-startup"), restored);
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, runKey), machineBefore);
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, runKey), userBefore);
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, "Software\\Quillmoor8\\RunLMBkup"), (Tree{{"", {}}}));
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, "Software\\Quillmoor8\\RunCUBkup"), (Tree{{"", {}}}));
}

TEST_F(Managers, RestoringOverAnEntryInPlaceAsksFirstAndDeletesOnlyTheRestoredRowsBackup)
{
    // The same name in both Run keys: two backups, two rows, the user's first.
    const std::string name = UniqueName("QmAskRun");
    PlantedRunValue value(HKEY_CURRENT_USER, name, "C:\\qm\\old.exe");
    PlantedRunValue machineValue(HKEY_LOCAL_MACHINE, name, "C:\\qm\\machine.exe");
    const auto original = ValueAt(HKEY_CURRENT_USER, runKey, name);
    const auto machineOriginal = ValueAt(HKEY_LOCAL_MACHINE, runKey, name);
    {
        MessageCapture boxes;
        Opened<StartupManagerDialog> manager;
        Check(manager.window, {name});
        Press(manager.window, IDC_REMOVE_CHECKED);
    }
    ASSERT_EQ(ValueAt(HKEY_CURRENT_USER, runKey, name).first, 0u);
    PlantedRunValue newer(HKEY_CURRENT_USER, name, "C:\\qm\\new.exe");
    const auto replacement = ValueAt(HKEY_CURRENT_USER, runKey, name);
    const std::string question =
        "\"" + name + "\" is in place already and differs from the removed entry. Replace it with the removed entry?";

    EXPECT_EQ(Restore(RemovedKind::StartupPrograms, {name}, "", IDNO, true),
              (std::vector<std::string>{question, restored[0]}));
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, runKey, name), replacement);
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, "Software\\Quillmoor8\\RunCUBkup", name), original);

    EXPECT_EQ(Restore(RemovedKind::StartupPrograms, {name}, "", IDYES, true),
              (std::vector<std::string>{question, restored[0]}));
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, runKey, name), original);
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, "Software\\Quillmoor8\\RunCUBkup", name).first, 0u);
    EXPECT_EQ(ValueAt(HKEY_LOCAL_MACHINE, runKey, name).first, 0u);
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, "Software\\Quillmoor8\\RunLMBkup", name), machineOriginal);
}

TEST_F(Managers, BrowserHelperKeysGoToTheBackupByClassIdAndComeBackWhole)
{
    // Two objects of the same name and file: each keeps a backup of its own.
    const std::string ids[2] = {"{" + UniqueName("QmHelperA") + "}", "{" + UniqueName("QmHelperB") + "}"};
    std::vector<std::unique_ptr<PlantedKey>> planted;
    for (const std::string& id : ids) {
        planted.push_back(std::make_unique<PlantedKey>(HKEY_LOCAL_MACHINE, std::string(bhoKey) + "\\" + id));
        planted.back()->SetString("", "Qm Helper");
        planted.back()->SetDword("NoExplorer", 1);
        planted.back()->SetBinary("Blob", {0, 1, 2, 0xFF});
        planted.back()->SetString("Where", "%ProgramFiles%\\qm", REG_EXPAND_SZ);
        PlantedKey settings(HKEY_LOCAL_MACHINE, planted.back()->Subkey("Settings\\Deep"));
        settings.SetString("Mode", id);
        planted.push_back(std::make_unique<PlantedKey>(HKEY_CLASSES_ROOT, "CLSID\\" + id + "\\InprocServer32"));
        planted.back()->SetString("", QuillmoorExe());
    }
    const Tree before = TreeAt(HKEY_LOCAL_MACHINE, bhoKey);

    {
        MessageCapture boxes;
        Opened<BrowserHelperDialog> manager;
        HWND window = manager.window;
        HWND list = GetDlgItem(window, IDC_MANAGER_LIST);
        ASSERT_EQ(RowsNamedOnly(list, {"Qm Helper"}), (Rows{{"Qm Helper", QuillmoorExe()}, {"Qm Helper", QuillmoorExe()}}));
        Select(window, RowsNamed(list, "Qm Helper")[0]);
        EXPECT_EQ(Details(window), (std::vector<std::string>{"Quillmoor8 (Version : 8.0)", "Quillmoor (Version : 8.0)",
                                                             "Quillmoor registry cleaner", "Quillmoor"}));
        Check(window, {"Qm Helper"});
        Shoot("bho-manager", window);
        Press(window, IDC_REMOVE_CHECKED);
        EXPECT_EQ(boxes.Texts(), removed);
        EXPECT_TRUE(RowsNamedOnly(list, {"Qm Helper"}).empty());
    }
    for (const std::string& id : ids) {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(bhoKey) + "\\" + id)) << id;
        EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, "Software\\Quillmoor8\\BHOBkup\\" + id), Subtree(before, id + "\\"));
    }

    {
        Opened<RestoreRemovedDialog> restore(RemovedKind::BrowserHelpers);
        EXPECT_EQ(RowsNamedOnly(restore.List(), {"Qm Helper"}),
                  (Rows{{"Qm Helper", QuillmoorExe()}, {"Qm Helper", QuillmoorExe()}}));
    }
    EXPECT_EQ(Restore(RemovedKind::BrowserHelpers, {"Qm Helper"}, "restore-bho"), restored);
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, bhoKey), before);
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, "Software\\Quillmoor8\\BHOBkup"), (Tree{{"", {}}}));
}

TEST_F(Managers, InstalledProgramsListedByTheirRulesAndTheirKeysComeBackWhole)
{
    const std::string name = UniqueName("QmProgram");
    PlantedKey entry(HKEY_LOCAL_MACHINE, std::string(uninstallKey) + "\\" + name);
    entry.SetString("DisplayName", "Qm Program");
    entry.SetString("UninstallString", "C:\\Program Files\\Qm\\uninstall.exe /x");
    entry.SetDword("EstimatedSize", 4096);
    entry.SetBinary("Blob", {9, 8, 7});
    PlantedKey deep(HKEY_LOCAL_MACHINE, entry.Subkey("Extra\\Deep"));
    deep.SetString("Note", "kept", REG_EXPAND_SZ);
    struct Listed {
        const char* suffix;
        const char* displayName; // null: none
        int systemComponent;     // -1: none
        bool shown;
    };
    const Listed others[] = {{"Component", "Qm Component", 1, false},
                             {"NotComponent", "Qm Not Component", 0, true},
                             {"Nameless", nullptr, -1, false}};
    std::vector<std::unique_ptr<PlantedKey>> planted;
    for (const Listed& other : others) {
        planted.push_back(std::make_unique<PlantedKey>(HKEY_LOCAL_MACHINE, std::string(uninstallKey) + "\\" + name + other.suffix));
        planted.back()->SetString("UninstallString", other.suffix);
        if (other.displayName)
            planted.back()->SetString("DisplayName", other.displayName);
        if (other.systemComponent >= 0)
            planted.back()->SetDword("SystemComponent", other.systemComponent);
    }
    // A backup left from an earlier removal is replaced, not mixed in.
    PlantedKey stale(HKEY_CURRENT_USER, "Software\\Quillmoor8\\UninstallBkup\\" + name);
    stale.SetString("Stale", "from before");
    stale.Subkey("Old");
    const Tree before = TreeAt(HKEY_LOCAL_MACHINE, std::string(uninstallKey) + "\\" + name);

    {
        MessageCapture boxes;
        Opened<InstalledProgramsDialog> manager;
        HWND window = manager.window;
        HWND list = GetDlgItem(window, IDC_MANAGER_LIST);
        EXPECT_EQ(RowsNamedOnly(list, {"Qm Program", "Qm Component", "Qm Not Component", ""}),
                  (Rows{{"Qm Program", "C:\\Program Files\\Qm\\uninstall.exe /x"},
                        {"Qm Not Component", "NotComponent"}}));
        Check(window, {"Qm Program"});
        Shoot("programs-manager", window);
        Press(window, IDC_REMOVE_CHECKED);
        EXPECT_EQ(boxes.Texts(), removed);
        EXPECT_TRUE(RowsNamedOnly(list, {"Qm Program"}).empty());
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::string(uninstallKey) + "\\" + name));
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, "Software\\Quillmoor8\\UninstallBkup\\" + name), before);

    {
        Opened<RestoreRemovedDialog> restore(RemovedKind::InstalledPrograms);
        EXPECT_EQ(ListRows(restore.List()),
                  (Rows{{"Qm Program", "C:\\Program Files\\Qm\\uninstall.exe /x"}}));
    }
    EXPECT_EQ(Restore(RemovedKind::InstalledPrograms, {"Qm Program"}, "restore-programs"), restored);
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, std::string(uninstallKey) + "\\" + name), before);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Quillmoor8\\UninstallBkup\\" + name));
}

TEST_F(Managers, AFailedBackupLeavesTheOriginalAndAFailedRestoreKeepsTheBackup)
{
    const std::string name = UniqueName("QmKept");
    const std::string helperKey = std::string(bhoKey) + "\\{" + name + "}";
    const std::string programKey = std::string(uninstallKey) + "\\" + name;
    PlantedRunValue run(HKEY_CURRENT_USER, name, "C:\\qm\\kept.exe");
    PlantedKey helper(HKEY_LOCAL_MACHINE, helperKey);
    helper.SetString("", name);
    PlantedKey program(HKEY_LOCAL_MACHINE, programKey);
    program.SetString("DisplayName", name);
    program.SetDword("EstimatedSize", 7);
    const Tree runBefore = TreeAt(HKEY_CURRENT_USER, runKey), helperBefore = TreeAt(HKEY_LOCAL_MACHINE, helperKey),
               programBefore = TreeAt(HKEY_LOCAL_MACHINE, programKey);
    {
        BackEndRestorer restorer;
        regApi.RegSetValueExA = DeniedSetValue;
        MessageCapture boxes;
        Opened<StartupManagerDialog> startup;
        Opened<BrowserHelperDialog> helpers;
        Opened<InstalledProgramsDialog> programs;
        for (HWND window : {startup.window, helpers.window, programs.window}) {
            Check(window, {name});
            Press(window, IDC_REMOVE_CHECKED);
            // Still listed: nothing was removed.
            EXPECT_EQ(RowsNamed(GetDlgItem(window, IDC_MANAGER_LIST), name).size(), 1u);
        }
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>(3, removed[0]));
    }
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, runKey), runBefore);
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, helperKey), helperBefore);
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, programKey), programBefore);
    for (RemovedKind kind : {RemovedKind::BrowserHelpers, RemovedKind::StartupPrograms, RemovedKind::InstalledPrograms})
        for (const RemovedEntry& entry : ListRemovedEntries(kind))
            EXPECT_EQ(entry.backupName.find(name), std::string::npos) << "a failed backup is not listed";

    // The entry goes for real; writing it back fails: the backup stays, and so does the dialog.
    {
        MessageCapture boxes;
        Opened<InstalledProgramsDialog> programs;
        HWND window = programs.window;
        Check(window, {name});
        Press(window, IDC_REMOVE_CHECKED);
    }
    const std::string backup = "Software\\Quillmoor8\\UninstallBkup\\" + name;
    ASSERT_EQ(TreeAt(HKEY_CURRENT_USER, backup), programBefore);
    {
        BackEndRestorer restorer;
        regApi.RegSetValueExA = DeniedSetValue;
        MessageCapture boxes;
        Opened<RestoreRemovedDialog> restore(RemovedKind::InstalledPrograms);
        HWND window = restore.window;
        Check(window, {name});
        Press(window, IDOK);
        EXPECT_TRUE(boxes.Texts().empty());
        EXPECT_TRUE(IsWindow(window));
        EXPECT_EQ(RowsNamed(restore.List(), name).size(), 1u);
    }
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, backup), programBefore);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, programKey)) << "a failed copy is not left half written";
}

TEST_F(Managers, VersionDetailsOfAQuotedProgramWithASwitch)
{
    FileVersionInfo version;
    ASSERT_EQ(version.Load(QuillmoorExe()), 1);
    EXPECT_EQ(version.OriginalFileName(), "Quillmoor8.exe");
    EXPECT_EQ(version.LegalCopyright(), "");
    EXPECT_EQ(version.FixedInfo().dwFileVersionMS, 0x00080000u);

    const std::string quoted = UniqueName("QmQuoted"), plain = UniqueName("QmPlain");
    PlantedRunValue quotedValue(HKEY_CURRENT_USER, quoted, "\"" + QuillmoorExe() + "\" /startup");
    PlantedRunValue plainValue(HKEY_CURRENT_USER, plain, "C:\\windows\\win.ini");
    MessageCapture boxes;
    Opened<StartupManagerDialog> manager;
    HWND window = manager.window;
    HWND list = GetDlgItem(window, IDC_MANAGER_LIST);
    Select(window, RowsNamed(list, quoted).at(0));
    EXPECT_EQ(Details(window), (std::vector<std::string>{"Quillmoor8 (Version : 8.0)", "Quillmoor (Version : 8.0)",
                                                         "Quillmoor registry cleaner", "Quillmoor"}));
    Shoot("startup-details", window);
    // A file without version information empties the fields.
    Select(window, RowsNamed(list, plain).at(0));
    EXPECT_EQ(Details(window), std::vector<std::string>(4));
}

TEST_F(Managers, RunSelectedStartsAnUnquotedPathWithABlankOnTheSplitBeforeItsParameter)
{
    PlantedFolder folder(TestTempFolder() + UniqueName("Qm Recorder"));
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string program = folder.Path() + "\\recorder.exe", recorded = folder.Path() + "\\commandline.txt";
    ASSERT_TRUE(CopyFileA(self, program.c_str(), FALSE));
    const std::string name = UniqueName("QmRecorder"), missing = UniqueName("QmMissing");
    PlantedRunValue value(HKEY_CURRENT_USER, name, program + " /qm-switch");
    PlantedRunValue gone(HKEY_CURRENT_USER, missing, "C:\\qm nowhere\\gone.exe /a");

    MessageCapture boxes;
    Opened<StartupManagerDialog> manager;
    HWND window = manager.window;
    HWND list = GetDlgItem(window, IDC_MANAGER_LIST);
    Press(window, IDC_RUN_SELECTED);
    Select(window, RowsNamed(list, name).at(0));
    Press(window, IDC_RUN_SELECTED);
    std::string line;
    for (DWORD start = GetTickCount(); line.empty() && GetTickCount() - start < 30000; Sleep(100))
        line = ReadFileBytes(recorded);
    CharLowerA(&line[0]);
    size_t exe = line.find("recorder.exe");
    ASSERT_NE(exe, std::string::npos) << line;
    std::string parameters = line.substr(exe + strlen("recorder.exe"));
    parameters.erase(0, parameters.find_first_not_of("\" "));
    EXPECT_EQ(parameters, "/qm-switch");

    Select(window, RowsNamed(list, missing).at(0));
    Press(window, IDC_RUN_SELECTED);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Please Select an Item to run", "Could not launch application"}));
    // The recorder has ended once its file can go.
    for (DWORD start = GetTickCount(); !DeleteFileA(program.c_str()) && GetTickCount() - start < 10000;)
        Sleep(100);
}

namespace {

std::vector<std::string> managerTitles;

// Closes whichever manager the panel opened, once, and keeps its title.
void CALLBACK CloseManager(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM) -> BOOL {
        std::string title = WindowText(window);
        if (IsWindowVisible(window) && IsWindowEnabled(window) && title != optionsTitle) {
            managerTitles.push_back(title);
            EndDialog(window, IDCANCEL);
        }
        return TRUE;
    }, 0);
}

} // namespace

TEST_F(Managers, EachManagerPictureOfTheOptionsPanelOpensItsDialog)
{
    Opened<OptionsDialog> options;
    HWND panel = options.window;
    UINT_PTR timer = SetTimer(nullptr, 0, 200, CloseManager);
    for (int i = 0; i < 3; ++i) {
        const RECT& area = OptionsDialog::pictureAreas[i];
        LPARAM centre = MAKELPARAM((area.left + area.right) / 2, (area.top + area.bottom) / 2);
        SendMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, centre);
        SendMessageA(panel, WM_LBUTTONUP, 0, centre);
    }
    KillTimer(nullptr, timer);
    EXPECT_EQ(managerTitles, (std::vector<std::string>{"Manage Browser Helper Objects (BHO)", "Manage Startup Programs",
                                                       "Manage Installed Programs"}));
}
