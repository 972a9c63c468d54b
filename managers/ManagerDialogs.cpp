#include "managers/ManagerDialogs.h"

#include <cstdio>

#include "core/AppMessage.h"
#include "core/ResourceText.h"
#include "resource.h"

const char replaceExistingFormat[] =
    "\"%s\" is in place already and differs from the removed entry. Replace it with the removed entry?";

template <typename Entry>
BOOL ManagerDialog<Entry>::OnInit()
{
    if (what.noteId)
        SetDlgItemTextA(hwnd, what.noteId, ResourceString(what.noteString).c_str());
    SetUpCheckList(Item(IDC_MANAGER_LIST), what.columns);
    Fill();
    return TRUE;
}

template <typename Entry>
void ManagerDialog<Entry>::Fill()
{
    HWND list = Item(IDC_MANAGER_LIST);
    ListView_DeleteAllItems(list);
    entries = what.list();
    for (const Entry& entry : entries)
        AppendRow(list, what.row(entry));
}

template <typename Entry>
std::vector<int> ManagerDialog<Entry>::CheckedOrTell()
{
    std::vector<int> rows = CheckedRows(Item(IDC_MANAGER_LIST));
    if (rows.empty())
        ShowAppMessage(hwnd, checkItemText);
    return rows;
}

template <typename Entry>
void ManagerDialog<Entry>::OnCommand(int id, int notifyCode)
{
    if (id == IDC_REMOVE_CHECKED) {
        std::vector<int> rows = CheckedOrTell();
        if (rows.empty())
            return;
        for (int row : rows)
            what.remove(entries[row]);
        ShowAppMessage(hwnd, itemsRemovedText);
        Fill();
    } else if (id == IDC_RESTORE_ITEMS) {
        RestoreRemovedDialog restore(what.kind);
        if (restore.RunModal(hwnd) == IDOK)
            Fill();
    } else {
        Dialog::OnCommand(id, notifyCode);
    }
}

template <typename Entry>
INT_PTR ManagerDialog<Entry>::OnNotify(int id, NMHDR* header)
{
    if (what.details && id == IDC_MANAGER_LIST && RowBecameSelected(header)) {
        size_t row = reinterpret_cast<NMLISTVIEW*>(header)->iItem;
        if (row < entries.size())
            ShowVersionDetails(hwnd, what.details(entries[row]));
    }
    return 0;
}

// ---- the three managers --------------------------------------------------------

StartupManagerDialog::StartupManagerDialog()
    : ManagerDialog({IDD_STARTUP_MANAGER, RemovedKind::StartupPrograms, {{"Program Name", 150}, {"Run Path", 320}},
                     IDC_STARTUP_NOTE, IDS_STARTUP_NOTE, ListStartupItems,
                     [](const StartupItem& item) { return std::vector<std::string>{item.name, item.command}; },
                     RemoveStartupItem,
                     [](const StartupItem& item) { return StartupProgramPath(CommandToRun(item)); }})
{
}

void StartupManagerDialog::OnCommand(int id, int notifyCode)
{
    if (id != IDC_RUN_SELECTED) {
        ManagerDialog::OnCommand(id, notifyCode);
        return;
    }
    int row = ListView_GetSelectionMark(Item(IDC_MANAGER_LIST));
    if (row < 0 || static_cast<size_t>(row) >= entries.size())
        ShowAppMessage(hwnd, "Please Select an Item to run");
    else if (!RunStartupCommand(CommandToRun(entries[row])))
        ShowAppMessage(hwnd, "Could not launch application");
}

BrowserHelperDialog::BrowserHelperDialog()
    : ManagerDialog({IDD_BHO_MANAGER, RemovedKind::BrowserHelpers, {{"BHO Name", 90}, {"Path", 350}}, IDC_BHO_NOTE,
                     IDS_BHO_NOTE, ListBrowserHelpers,
                     [](const BrowserHelper& helper) { return std::vector<std::string>{helper.name, helper.file}; },
                     [](const BrowserHelper& helper) { RemoveBrowserHelper(helper.classId); },
                     [](const BrowserHelper& helper) { return helper.file; }})
{
}

InstalledProgramsDialog::InstalledProgramsDialog()
    : ManagerDialog({IDD_PROGRAMS_MANAGER, RemovedKind::InstalledPrograms,
                     {{"Program Name", 150}, {"Uninstall Path", 350}}, IDC_PROGRAMS_NOTE, IDS_PROGRAMS_NOTE,
                     ListInstalledPrograms,
                     [](const InstalledProgram& program) {
                         return std::vector<std::string>{program.displayName, program.uninstallCommand};
                     },
                     [](const InstalledProgram& program) { RemoveInstalledProgram(program.subkey); }, nullptr})
{
}

// ---- restoring -------------------------------------------------------------------

namespace {

std::vector<ListColumn> RestoreColumns(RemovedKind kind)
{
    switch (kind) {
    case RemovedKind::BrowserHelpers:
        return {{"BHO Name", 100}, {"File", 275}};
    case RemovedKind::StartupPrograms:
        return {{"App Name", 100}, {"File", 275}};
    default:
        return {{"App Name", 100}, {"Uninstall File", 275}};
    }
}

} // namespace

RestoreRemovedDialog::RestoreRemovedDialog(RemovedKind kind)
    : ManagerDialog({IDD_RESTORE_REMOVED, kind, RestoreColumns(kind), 0, 0, [kind] { return ListRemovedEntries(kind); },
                     [](const RemovedEntry& entry) {
                         return std::vector<std::string>{entry.startup ? entry.valueName : entry.valueData, entry.file};
                     },
                     nullptr, nullptr})
{
}

void RestoreRemovedDialog::OnCommand(int id, int notifyCode)
{
    if (id != IDOK) {
        Dialog::OnCommand(id, notifyCode);
        return;
    }
    std::vector<int> rows = CheckedOrTell();
    if (rows.empty())
        return;
    auto askReplace = [this](const RemovedEntry& entry) {
        std::string name = entry.startup ? entry.valueName : entry.valueData;
        if (name.empty())
            name = entry.backupName;
        std::vector<char> text(sizeof(replaceExistingFormat) + name.size());
        snprintf(text.data(), text.size(), replaceExistingFormat, name.c_str());
        return ShowAppMessage(hwnd, text.data(), MB_YESNO | MB_ICONQUESTION) == IDYES;
    };
    for (int row : rows)
        // An entry that cannot be written back ends the restore there; its
        // backup and those of the rows after it stay, and the list shows
        // what is left to restore.
        if (RestoreRemovedEntry(entries[row], askReplace) == RestoreResult::Failed) {
            Fill();
            return;
        }
    ShowAppMessage(hwnd, "Selected Item(s) Restored");
    End(IDOK);
}

template class ManagerDialog<StartupItem>;
template class ManagerDialog<BrowserHelper>;
template class ManagerDialog<InstalledProgram>;
template class ManagerDialog<RemovedEntry>;
