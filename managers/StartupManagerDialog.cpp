#include "managers/StartupManagerDialog.h"

#include "core/AppMessage.h"
#include "core/ResourceText.h"
#include "managers/ManagerControls.h"
#include "managers/RestoreRemovedDialog.h"
#include "resource.h"

StartupManagerDialog::StartupManagerDialog() : Dialog(IDD_STARTUP_MANAGER) {}

BOOL StartupManagerDialog::OnInit()
{
    SetDlgItemTextA(hwnd, IDC_STARTUP_NOTE, ResourceString(IDS_STARTUP_NOTE).c_str());
    SetUpCheckList(Item(IDC_MANAGER_LIST), {{"Program Name", 150}, {"Run Path", 320}});
    Fill();
    return TRUE;
}

void StartupManagerDialog::Fill()
{
    HWND list = Item(IDC_MANAGER_LIST);
    ListView_DeleteAllItems(list);
    items = ListStartupItems();
    for (const StartupItem& item : items)
        AppendRow(list, {item.name, item.command});
}

void StartupManagerDialog::OnCommand(int id, int notifyCode)
{
    switch (id) {
    case IDC_REMOVE_CHECKED:
        OnRemoveChecked();
        break;
    case IDC_RUN_SELECTED:
        OnRunSelected();
        break;
    case IDC_RESTORE_ITEMS:
        OnRestoreItems();
        break;
    default:
        Dialog::OnCommand(id, notifyCode);
    }
}

INT_PTR StartupManagerDialog::OnNotify(int id, NMHDR* header)
{
    if (id == IDC_MANAGER_LIST && RowBecameSelected(header)) {
        size_t row = reinterpret_cast<NMLISTVIEW*>(header)->iItem;
        if (row < items.size())
            ShowVersionDetails(hwnd, StartupProgramPath(CommandToRun(items[row])));
    }
    return 0;
}

void StartupManagerDialog::OnRemoveChecked()
{
    std::vector<int> rows = CheckedRows(Item(IDC_MANAGER_LIST));
    if (rows.empty()) {
        ShowAppMessage(hwnd, checkItemText);
        return;
    }
    // An entry whose backup could not be made stays, and shows again below.
    for (int row : rows)
        RemoveStartupItem(items[row]);
    ShowAppMessage(hwnd, itemsRemovedText);
    Fill();
}

void StartupManagerDialog::OnRunSelected()
{
    int row = ListView_GetSelectionMark(Item(IDC_MANAGER_LIST));
    if (row < 0 || static_cast<size_t>(row) >= items.size()) {
        ShowAppMessage(hwnd, "Please Select an Item to run");
        return;
    }
    if (!RunStartupCommand(CommandToRun(items[row])))
        ShowAppMessage(hwnd, "Could not launch application");
}

void StartupManagerDialog::OnRestoreItems()
{
    RestoreRemovedDialog restore(RemovedKind::StartupPrograms);
    if (restore.RunModal(hwnd) == IDOK)
        Fill();
}
