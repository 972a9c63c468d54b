#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <regex>

#include "app/OptionsDialog.h"
#include "core/Registry.h"
#include "managers/ManagerDialogs.h"
#include "resource.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/RegistryTree.h"
#include "support/SavedBackEnd.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

namespace {

// A copy of this binary named recorder.exe writes its command line beside itself and ends.
const bool recorder = [] {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self = path;
    size_t slash = self.rfind('\\');
    if (lstrcmpiA(self.substr(slash + 1).c_str(), "recorder.exe") == 0) {
        std::ofstream(self.substr(0, slash) + "\\commandline.txt", std::ios::binary) << GetCommandLineA();
        ExitProcess(0);
    }
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    return InitCommonControlsEx(&controls);
}();

const std::string runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string bhoKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const std::string uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string backups = "Software\\Quillmoor8\\";

using Tree = RegistryTree;

// One value, type and bytes; type 0 when it is missing.
auto ValueAt(HKEY root, const std::string& key, const std::string& name) { return TreeAt(root, key)["|" + name]; }

const Tree emptyKey{{"", {}}};

// Every value write is refused while it lives; the real back end comes back after.
struct DeniedWrites : SavedBackEnd {
    DeniedWrites() { regApi.RegSetValueExA = [](HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) -> LONG { return 5; }; }
};

using Names = std::vector<std::string>;
using Rows = std::vector<Names>;

void Pump()
{
    MSG msg;
    for (int round = 0; round < 3; ++round, Sleep(20))
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
}

// A dialog made without a loop of its own, shown only for a screenshot.
template <typename D>
struct Opened {
    D dialog;
    HWND window;

    template <typename... Args>
    explicit Opened(Args... args) : dialog(args...), window(dialog.CreateModeless(nullptr)) { Pump(); }
    ~Opened() { DestroyWindow(window); }
    HWND List() const { return GetDlgItem(window, IDC_MANAGER_LIST); }
    void Press(int id) { SendMessageA(window, WM_COMMAND, id, 0), Pump(); }
    // The rows whose first column is one of `names`, and their numbers.
    Rows Named(const Names& names, std::vector<int>* numbers = nullptr) const
    {
        Rows rows;
        for (int row = 0; IsWindow(window) && row < ListView_GetItemCount(List()); ++row) {
            char first[2048] = {}, second[2048] = {};
            ListView_GetItemText(List(), row, 0, first, sizeof(first));
            ListView_GetItemText(List(), row, 1, second, sizeof(second));
            if (std::find(names.begin(), names.end(), first) != names.end())
                rows.push_back({first, second}), numbers && (numbers->push_back(row), true);
        }
        return rows;
    }
    // Selects the first row of this name and gives its version details.
    Names Details(const std::string& name)
    {
        std::vector<int> rows;
        Named({name}, &rows);
        ListView_SetItemState(List(), rows.at(0), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetSelectionMark(List(), rows[0]);
        Pump();
        Names texts;
        for (int id : {IDC_DETAIL_FILE_NAME, IDC_DETAIL_PRODUCT, IDC_DETAIL_DESCRIPTION, IDC_DETAIL_COMPANY})
            texts.push_back(WindowText(GetDlgItem(window, id)));
        return texts;
    }
};

// The rows of some names before and after a press, and the message boxes shown.
struct Outcome { Rows listed, left; Names boxes; };

// Ticks the rows of `names` (with `firstOnly`, the first) in a new dialog D
// and presses `button`, answering each question with `answer`.
template <typename D, typename... Args>
Outcome Press(int button, const Names& names, const std::string& shot, int answer, bool firstOnly, Args... args)
{
    MessageCapture boxes(answer);
    Opened<D> opened(args...);
    std::vector<int> rows;
    Rows listed = opened.Named(names, &rows);
    for (size_t i = 0; i < rows.size() && (!firstOnly || i == 0); ++i)
        ListView_SetCheckState(opened.List(), rows[i], TRUE);
    if (!shot.empty()) // shown for the picture alone
        SetWindowPos(opened.window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW), Pump(),
            SaveScreenshot(shot, opened.window);
    opened.Press(button);
    return {listed, opened.Named(names), boxes.Texts()};
}

template <typename D>
Outcome Remove(const Names& names, const std::string& shot = "")
{
    return Press<D>(IDC_REMOVE_CHECKED, names, shot, IDOK, false);
}

Outcome Restore(RemovedKind kind, const Names& names, const std::string& shot = "", int answer = IDOK,
                bool firstOnly = false)
{
    return Press<RestoreRemovedDialog>(IDOK, names, shot, answer, firstOnly, kind);
}

const Names removed{"Item(s) Removed"}, restored{"Selected Item(s) Restored"};
const Names quillmoorDetails{"Quillmoor8 (Version : 8.0)", "Quillmoor (Version : 8.0)", "Quillmoor registry cleaner",
                             "Quillmoor"};

struct Managers : testing::Test { SavedSettingsKey saved; };

} // namespace

// Entries of one name in both Run keys are backed up and come back with type and
// bytes; restoring over an entry in place asks first, and only that row comes back.
// A backup that cannot be written leaves every entry where it was.
TEST_F(Managers, StartupEntriesGoToTheirBackupKeysAndComeBackWithTypeAndBytes)
{
    const std::string name = UniqueName("QmRun");
    // An expandable command stays expandable; a long one with a trailing blank stays whole.
    const std::string expandable = "%SystemRoot%\\qm-gone.exe /min";
    const std::string longCommand = "C:\\Program Files\\Qm Long\\long.exe /" + std::string(400, 'x') + " ";
    PlantedValue machineValue(HKEY_LOCAL_MACHINE, runKey, name, expandable, REG_EXPAND_SZ);
    PlantedValue userValue(HKEY_CURRENT_USER, runKey, name, longCommand);
    const Tree machineBefore = TreeAt(HKEY_LOCAL_MACHINE, runKey), userBefore = TreeAt(HKEY_CURRENT_USER, runKey);

    EXPECT_EQ(Remove<StartupManagerDialog>({"no such row"}).boxes, (Names{"Please Check an Item to Remove"}));
    {
        DeniedWrites denied;
        EXPECT_EQ(Remove<StartupManagerDialog>({name}).left.size(), 2u) << "still listed";
    }
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, runKey), machineBefore);
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, runKey), userBefore);
    Outcome removal = Remove<StartupManagerDialog>({name}, "startup-manager");
    EXPECT_EQ(removal.listed, (Rows{{name, expandable}, {name, longCommand}}));
    EXPECT_EQ(removal.left, Rows());
    EXPECT_EQ(removal.boxes, removed);
    EXPECT_EQ(ValueAt(HKEY_LOCAL_MACHINE, runKey, name).first, 0u);
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, backups + "RunLMBkup", name), machineBefore.at("|" + name));
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, backups + "RunCUBkup", name), userBefore.at("|" + name));

    // The current user's entry is listed first; one in place is replaced on yes only.
    PlantedValue newer(HKEY_CURRENT_USER, runKey, name, "C:\\qm\\new.exe");
    const auto replacement = ValueAt(HKEY_CURRENT_USER, runKey, name);
    const Names asked{
        "\"" + name + "\" is in place already and differs from the removed entry. Replace it with the removed entry?",
        restored[0]};
    Outcome kept = Restore(RemovedKind::StartupPrograms, {name}, "restore-startup", IDNO, true);
    EXPECT_EQ(kept.listed, (Rows{{name, longCommand}, {name, expandable}}));
    EXPECT_EQ(kept.boxes, asked);
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, runKey, name), replacement);
    EXPECT_EQ(ValueAt(HKEY_CURRENT_USER, backups + "RunCUBkup", name), userBefore.at("|" + name));
    EXPECT_EQ(Restore(RemovedKind::StartupPrograms, {name}, "", IDYES, true).boxes, asked);
    EXPECT_EQ(ValueAt(HKEY_LOCAL_MACHINE, runKey, name).first, 0u) << "only the checked row comes back";
    EXPECT_EQ(Restore(RemovedKind::StartupPrograms, {name}).boxes, restored);
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, runKey), machineBefore);
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, runKey), userBefore);
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, backups + "RunLMBkup"), emptyKey);
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, backups + "RunCUBkup"), emptyKey);
}

// Two objects of the same name and file each keep a backup of their own; one
// that cannot be copied stays, and no half copy is left.
TEST_F(Managers, BrowserHelperKeysGoToTheBackupByClassIdAndComeBackWhole)
{
    const std::string ids[2] = {"{" + UniqueName("QmHelperA") + "}", "{" + UniqueName("QmHelperB") + "}"};
    std::deque<PlantedKey> planted;
    for (const std::string& id : ids) {
        PlantedKey& object = planted.emplace_back(HKEY_LOCAL_MACHINE, bhoKey + "\\" + id);
        object.SetString("", "Qm Helper");
        WriteRegValue(HKEY_LOCAL_MACHINE, object.Subkey("Settings\\Deep"), "Mode", id, REG_EXPAND_SZ);
        planted.emplace_back(HKEY_CLASSES_ROOT, "CLSID\\" + id + "\\InprocServer32").SetString("", QuillmoorExe());
    }
    const Tree before = TreeAt(HKEY_LOCAL_MACHINE, bhoKey);
    const Tree objectBefore[2] = {TreeAt(HKEY_LOCAL_MACHINE, bhoKey + "\\" + ids[0]),
                                  TreeAt(HKEY_LOCAL_MACHINE, bhoKey + "\\" + ids[1])};
    ASSERT_EQ(objectBefore[1].count("Settings\\Deep\\|Mode"), 1u);
    const Rows rows{{"Qm Helper", QuillmoorExe()}, {"Qm Helper", QuillmoorExe()}};
    EXPECT_EQ(Opened<BrowserHelperDialog>().Details("Qm Helper"), quillmoorDetails);
    {
        DeniedWrites denied;
        EXPECT_EQ(Remove<BrowserHelperDialog>({"Qm Helper"}).left, rows);
    }
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, bhoKey), before);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, backups + "BHOBkup\\" + ids[0])) << "no half copy";

    Outcome removal = Remove<BrowserHelperDialog>({"Qm Helper"}, "bho-manager");
    EXPECT_EQ(removal.listed, rows);
    EXPECT_EQ(removal.left, Rows());
    EXPECT_EQ(removal.boxes, removed);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, bhoKey + "\\" + ids[i])) << ids[i];
        EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, backups + "BHOBkup\\" + ids[i]), objectBefore[i]);
    }

    Outcome restore = Restore(RemovedKind::BrowserHelpers, {"Qm Helper"}, "restore-bho");
    EXPECT_EQ(restore.listed, rows);
    EXPECT_EQ(restore.boxes, restored);
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, bhoKey), before);
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, backups + "BHOBkup"), emptyKey);
}

// A failed backup leaves the entry; a failed restore keeps the backup and the row.
TEST_F(Managers, InstalledProgramsListedByTheirRulesAndTheirKeysComeBackWhole)
{
    const std::string name = UniqueName("QmProgram"), entryKey = uninstallKey + "\\" + name;
    PlantedKey entry(HKEY_LOCAL_MACHINE, entryKey);
    entry.SetString("DisplayName", "Qm Program");
    entry.SetString("UninstallString", "C:\\Qm\\uninstall.exe /x");
    WriteRegValue(HKEY_LOCAL_MACHINE, entry.Subkey("Extra\\Deep"), "Note", "kept", REG_EXPAND_SZ);
    // A system component is not listed, nor an entry without a display name.
    std::deque<PlantedKey> others;
    for (int component : {1, 0, -1}) {
        PlantedKey& other = others.emplace_back(HKEY_LOCAL_MACHINE, entryKey + std::to_string(component + 1));
        other.SetString("UninstallString", "x");
        if (component >= 0) {
            other.SetString("DisplayName", component ? "Qm Component" : "Qm Not Component");
            other.SetDword("SystemComponent", component);
        }
    }
    const Tree before = TreeAt(HKEY_LOCAL_MACHINE, entryKey);
    ASSERT_EQ(before.count("Extra\\Deep\\|Note"), 1u);
    const Rows rows{{"Qm Program", "C:\\Qm\\uninstall.exe /x"}, {"Qm Not Component", "x"}};
    const Names names{"Qm Program", "Qm Component", "Qm Not Component", ""};
    {
        DeniedWrites denied;
        EXPECT_EQ(Remove<InstalledProgramsDialog>({"Qm Program"}).left.size(), 1u) << "still listed";
    }
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, entryKey), before);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, backups + "UninstallBkup\\" + name)) << "no half copy";
    // A backup left from an earlier removal is replaced, not mixed in.
    PlantedKey stale(HKEY_CURRENT_USER, backups + "UninstallBkup\\" + name);
    stale.SetString("Stale", "from before");
    stale.Subkey("Old");

    Outcome removal = Remove<InstalledProgramsDialog>(names, "programs-manager");
    EXPECT_EQ(removal.listed, rows);
    EXPECT_EQ(removal.boxes, removed);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entryKey));
    {
        DeniedWrites denied;
        Outcome failed = Restore(RemovedKind::InstalledPrograms, {"Qm Program"});
        EXPECT_EQ(failed.left, failed.listed) << "the dialog stays open with the row";
        EXPECT_EQ(failed.boxes, Names());
    }
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entryKey)) << "a failed copy is not left half written";
    EXPECT_EQ(TreeAt(HKEY_CURRENT_USER, backups + "UninstallBkup\\" + name), before);

    Outcome restore = Restore(RemovedKind::InstalledPrograms, names, "restore-programs");
    EXPECT_EQ(restore.listed, rows);
    EXPECT_EQ(restore.boxes, restored);
    EXPECT_EQ(TreeAt(HKEY_LOCAL_MACHINE, entryKey), before);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, backups + "UninstallBkup\\" + name));
}

// The selected entry's version details, and running it.
TEST_F(Managers, DetailsAndRunSelectedOfUnquotedAndQuotedCommands)
{
    PlantedFolder folder(TestTempFolder() + UniqueName("Qm Recorder"));
    const std::string program = folder.Path() + "\\recorder.exe";
    ASSERT_TRUE(CopyFileA((TestBinaryFolder() + "\\test_managers.exe").c_str(), program.c_str(), FALSE));
    const std::string name = UniqueName("QmRecorder"), missing = UniqueName("QmMissing");
    PlantedValue value(HKEY_CURRENT_USER, runKey, name, program + " /qm-switch");
    PlantedValue gone(HKEY_CURRENT_USER, runKey, missing, "C:\\qm nowhere\\gone.exe /a");
    const std::string quoted = UniqueName("QmQuoted"), plain = UniqueName("QmPlain");
    PlantedValue quotedValue(HKEY_CURRENT_USER, runKey, quoted, "\"" + QuillmoorExe() + "\" /startup");
    PlantedValue plainValue(HKEY_CURRENT_USER, runKey, plain, "C:\\windows\\win.ini");

    MessageCapture boxes;
    Opened<StartupManagerDialog> manager;
    manager.Press(IDC_RUN_SELECTED);
    EXPECT_EQ(manager.Details(quoted), quillmoorDetails);
    EXPECT_EQ(manager.Details(plain), Names(4));
    manager.Details(name);
    manager.Press(IDC_RUN_SELECTED);
    std::string line;
    for (DWORD start = GetTickCount(); line.empty() && GetTickCount() - start < 30000; Sleep(100))
        line = ReadFileBytes(folder.Path() + "\\commandline.txt");
    EXPECT_TRUE(std::regex_match(line, std::regex(R"("?[^"]+\\recorder\.exe"? +/qm-switch)", std::regex::icase)))
        << line;

    manager.Details(missing);
    manager.Press(IDC_RUN_SELECTED);
    EXPECT_EQ(boxes.Texts(), (Names{"Please Select an Item to run", "Could not launch application"}));
    // The recorder has ended once its file can go.
    for (DWORD start = GetTickCount(); !DeleteFileA(program.c_str()) && GetTickCount() - start < 10000;)
        Sleep(100);
}

// Each manager picture of the options panel opens its manager (a timer closes it).
TEST_F(Managers, EachManagerPictureOfTheOptionsPanelOpensItsDialog)
{
    static Names titles;
    Opened<OptionsDialog> options;
    UINT_PTR timer = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM) {
            if (IsWindowVisible(window) && IsWindowEnabled(window) && WindowText(window) != optionsTitle)
                titles.push_back(WindowText(window)), EndDialog(window, IDCANCEL);
            return TRUE;
        }, 0);
    });
    for (int i = 0; i < 3; ++i) {
        const RECT& area = OptionsDialog::pictureAreas[i];
        LPARAM centre = MAKELPARAM((area.left + area.right) / 2, (area.top + area.bottom) / 2);
        SendMessageA(options.window, WM_LBUTTONDOWN, MK_LBUTTON, centre);
        SendMessageA(options.window, WM_LBUTTONUP, 0, centre);
    }
    KillTimer(nullptr, timer);
    EXPECT_EQ(titles,
              (Names{"Manage Browser Helper Objects (BHO)", "Manage Startup Programs", "Manage Installed Programs"}));
}
