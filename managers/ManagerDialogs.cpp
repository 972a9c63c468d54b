#include "managers/ManagerDialogs.h"

#include <cstdio>

#include "core/AppMessage.h"
#include "core/ResourceText.h"
#include "resource.h"

const char replaceExistingFormat[] =
    "\"%s\" is in place already and differs from the removed entry. Replace it with the removed entry?";

ManagerDialog::ManagerDialog(int templateId, RemovedKind kind, std::vector<ListColumn> columns, int noteId,
                             int noteString)
    : Dialog(templateId), kind(kind), columns(std::move(columns)), noteId(noteId), noteString(noteString)
{
}

BOOL ManagerDialog::OnInit()
{
    if (noteId)
        SetDlgItemTextA(hwnd, noteId, ResourceString(noteString).c_str());
    SetUpCheckList(Item(IDC_MANAGER_LIST), columns);
    Fill();
    return TRUE;
}

void ManagerDialog::Fill()
{
    HWND list = Item(IDC_MANAGER_LIST);
    ListView_DeleteAllItems(list);
    std::vector<std::vector<std::string>> rows = Load();
    rowCount = rows.size();
    for (const auto& row : rows)
        AppendRow(list, row);
}

std::vector<int> ManagerDialog::CheckedOrTell()
{
    std::vector<int> rows = CheckedRows(Item(IDC_MANAGER_LIST));
    if (rows.empty())
        ShowAppMessage(hwnd, checkItemText);
    return rows;
}

void ManagerDialog::OnCommand(int id, int notifyCode)
{
    if (id == IDC_REMOVE_CHECKED) {
        std::vector<int> rows = CheckedOrTell();
        if (rows.empty())
            return;
        for (int row : rows)
            Remove(row);
        ShowAppMessage(hwnd, itemsRemovedText);
        Fill();
    } else if (id == IDC_RESTORE_ITEMS) {
        RestoreRemovedDialog restore(kind);
        if (restore.RunModal(hwnd) == IDOK)
            Fill();
    } else {
        Dialog::OnCommand(id, notifyCode);
    }
}

INT_PTR ManagerDialog::OnNotify(int id, NMHDR* header)
{
    std::string file;
    if (id == IDC_MANAGER_LIST && RowBecameSelected(header)) {
        size_t row = reinterpret_cast<NMLISTVIEW*>(header)->iItem;
        if (row < rowCount && DetailsFile(row, file))
            ShowVersionDetails(hwnd, file);
    }
    return 0;
}

// ---- the three managers --------------------------------------------------------

StartupManagerDialog::StartupManagerDialog()
    : ManagerDialog(IDD_STARTUP_MANAGER, RemovedKind::StartupPrograms, {{"Program Name", 150}, {"Run Path", 320}},
                    IDC_STARTUP_NOTE, IDS_STARTUP_NOTE)
{
}

std::vector<std::vector<std::string>> StartupManagerDialog::Load()
{
    items = ListStartupItems();
    std::vector<std::vector<std::string>> rows;
    for (const StartupItem& item : items)
        rows.push_back({item.name, item.command});
    return rows;
}

bool StartupManagerDialog::DetailsFile(size_t row, std::string& file)
{
    file = StartupProgramPath(CommandToRun(items[row]));
    return true;
}

void StartupManagerDialog::OnCommand(int id, int notifyCode)
{
    if (id != IDC_RUN_SELECTED) {
        ManagerDialog::OnCommand(id, notifyCode);
        return;
    }
    int row = ListView_GetSelectionMark(Item(IDC_MANAGER_LIST));
    if (row < 0 || static_cast<size_t>(row) >= items.size())
        ShowAppMessage(hwnd, "Please Select an Item to run");
    else if (!RunStartupCommand(CommandToRun(items[row])))
        ShowAppMessage(hwnd, "Could not launch application");
}

BrowserHelperDialog::BrowserHelperDialog()
    : ManagerDialog(IDD_BHO_MANAGER, RemovedKind::BrowserHelpers, {{"BHO Name", 90}, {"Path", 350}}, IDC_BHO_NOTE,
                    IDS_BHO_NOTE)
{
}

std::vector<std::vector<std::string>> BrowserHelperDialog::Load()
{
    helpers = ListBrowserHelpers();
    std::vector<std::vector<std::string>> rows;
    for (const BrowserHelper& helper : helpers)
        rows.push_back({helper.name, helper.file});
    return rows;
}

bool BrowserHelperDialog::DetailsFile(size_t row, std::string& file)
{
    file = helpers[row].file;
    return true;
}

InstalledProgramsDialog::InstalledProgramsDialog()
    : ManagerDialog(IDD_PROGRAMS_MANAGER, RemovedKind::InstalledPrograms,
                    {{"Program Name", 150}, {"Uninstall Path", 350}}, IDC_PROGRAMS_NOTE, IDS_PROGRAMS_NOTE)
{
}

std::vector<std::vector<std::string>> InstalledProgramsDialog::Load()
{
    programs = ListInstalledPrograms();
    std::vector<std::vector<std::string>> rows;
    for (const InstalledProgram& program : programs)
        rows.push_back({program.displayName, program.uninstallCommand});
    return rows;
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
    : ManagerDialog(IDD_RESTORE_REMOVED, kind, RestoreColumns(kind))
{
}

std::vector<std::vector<std::string>> RestoreRemovedDialog::Load()
{
    entries = ListRemovedEntries(kind);
    std::vector<std::vector<std::string>> rows;
    for (const RemovedEntry& entry : entries)
        rows.push_back({entry.startup ? entry.valueName : entry.valueData, entry.file});
    return rows;
}

void RestoreRemovedDialog::OnCommand(int id, int notifyCode)
{
    if (id == IDOK)
        OnRestore();
    else
        Dialog::OnCommand(id, notifyCode);
}

void RestoreRemovedDialog::OnRestore()
{
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
