#include "managers/RestoreRemovedDialog.h"

#include <cstdio>

#include "core/AppMessage.h"
#include "managers/ManagerControls.h"
#include "resource.h"

const char replaceExistingFormat[] =
    "\"%s\" is in place already and differs from the removed entry. Replace it with the removed entry?";

RestoreRemovedDialog::RestoreRemovedDialog(RemovedKind kind) : Dialog(IDD_RESTORE_REMOVED), kind(kind) {}

BOOL RestoreRemovedDialog::OnInit()
{
    HWND list = Item(IDC_MANAGER_LIST);
    switch (kind) {
    case RemovedKind::BrowserHelpers:
        SetUpCheckList(list, {{"BHO Name", 100}, {"File", 275}});
        break;
    case RemovedKind::StartupPrograms:
        SetUpCheckList(list, {{"App Name", 100}, {"File", 275}});
        break;
    case RemovedKind::InstalledPrograms:
        SetUpCheckList(list, {{"App Name", 100}, {"Uninstall File", 275}});
        break;
    }
    Fill();
    return TRUE;
}

void RestoreRemovedDialog::Fill()
{
    HWND list = Item(IDC_MANAGER_LIST);
    ListView_DeleteAllItems(list);
    entries = ListRemovedEntries(kind);
    for (const RemovedEntry& entry : entries)
        AppendRow(list, {entry.startup ? entry.valueName : entry.valueData, entry.file});
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
    std::vector<int> rows = CheckedRows(Item(IDC_MANAGER_LIST));
    if (rows.empty()) {
        ShowAppMessage(hwnd, checkItemText);
        return;
    }
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
