#include "managers/InstalledProgramsDialog.h"

#include "core/AppMessage.h"
#include "core/ResourceText.h"
#include "managers/ManagerControls.h"
#include "managers/RestoreRemovedDialog.h"
#include "resource.h"

InstalledProgramsDialog::InstalledProgramsDialog() : Dialog(IDD_PROGRAMS_MANAGER) {}

BOOL InstalledProgramsDialog::OnInit()
{
    SetDlgItemTextA(hwnd, IDC_PROGRAMS_NOTE, ResourceString(IDS_PROGRAMS_NOTE).c_str());
    SetUpCheckList(Item(IDC_MANAGER_LIST), {{"Program Name", 150}, {"Uninstall Path", 350}});
    Fill();
    return TRUE;
}

void InstalledProgramsDialog::Fill()
{
    HWND list = Item(IDC_MANAGER_LIST);
    ListView_DeleteAllItems(list);
    programs = ListInstalledPrograms();
    for (const InstalledProgram& program : programs)
        AppendRow(list, {program.displayName, program.uninstallCommand});
}

void InstalledProgramsDialog::OnCommand(int id, int notifyCode)
{
    if (id == IDC_REMOVE_CHECKED)
        OnRemoveChecked();
    else if (id == IDC_RESTORE_ITEMS)
        OnRestoreItems();
    else
        Dialog::OnCommand(id, notifyCode);
}

void InstalledProgramsDialog::OnRemoveChecked()
{
    std::vector<int> rows = CheckedRows(Item(IDC_MANAGER_LIST));
    if (rows.empty()) {
        ShowAppMessage(hwnd, checkItemText);
        return;
    }
    // An entry whose backup could not be made stays in the list of installed
    // programs, and shows again below.
    for (int row : rows)
        RemoveInstalledProgram(programs[row].subkey);
    ShowAppMessage(hwnd, itemsRemovedText);
    Fill();
}

void InstalledProgramsDialog::OnRestoreItems()
{
    RestoreRemovedDialog restore(RemovedKind::InstalledPrograms);
    if (restore.RunModal(hwnd) == IDOK)
        Fill();
}
