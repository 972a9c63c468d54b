#include "managers/BrowserHelperDialog.h"

#include "core/AppMessage.h"
#include "core/ResourceText.h"
#include "managers/ManagerControls.h"
#include "managers/RestoreRemovedDialog.h"
#include "resource.h"

BrowserHelperDialog::BrowserHelperDialog() : Dialog(IDD_BHO_MANAGER) {}

BOOL BrowserHelperDialog::OnInit()
{
    SetDlgItemTextA(hwnd, IDC_BHO_NOTE, ResourceString(IDS_BHO_NOTE).c_str());
    SetUpCheckList(Item(IDC_MANAGER_LIST), {{"BHO Name", 90}, {"Path", 350}});
    Fill();
    return TRUE;
}

void BrowserHelperDialog::Fill()
{
    HWND list = Item(IDC_MANAGER_LIST);
    ListView_DeleteAllItems(list);
    helpers = ListBrowserHelpers();
    for (const BrowserHelper& helper : helpers)
        AppendRow(list, {helper.name, helper.file});
}

void BrowserHelperDialog::OnCommand(int id, int notifyCode)
{
    if (id == IDC_REMOVE_CHECKED)
        OnRemoveChecked();
    else if (id == IDC_RESTORE_ITEMS)
        OnRestoreItems();
    else
        Dialog::OnCommand(id, notifyCode);
}

INT_PTR BrowserHelperDialog::OnNotify(int id, NMHDR* header)
{
    if (id == IDC_MANAGER_LIST && RowBecameSelected(header)) {
        size_t row = reinterpret_cast<NMLISTVIEW*>(header)->iItem;
        if (row < helpers.size())
            ShowVersionDetails(hwnd, helpers[row].file);
    }
    return 0;
}

void BrowserHelperDialog::OnRemoveChecked()
{
    std::vector<int> rows = CheckedRows(Item(IDC_MANAGER_LIST));
    if (rows.empty()) {
        ShowAppMessage(hwnd, checkItemText);
        return;
    }
    // An object whose backup could not be made stays, and shows again below.
    for (int row : rows)
        RemoveBrowserHelper(helpers[row].classId);
    ShowAppMessage(hwnd, itemsRemovedText);
    Fill();
}

void BrowserHelperDialog::OnRestoreItems()
{
    RestoreRemovedDialog restore(RemovedKind::BrowserHelpers);
    if (restore.RunModal(hwnd) == IDOK)
        Fill();
}
