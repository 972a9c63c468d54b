#include "repair/RestoreDialog.h"

#include <commctrl.h>

#include "core/AppMessage.h"
#include "core/ResourceText.h"
#include "resource.h"

namespace {

const char removeQuestionTitle[] = "Quillmoor v7.1";

} // namespace

void FillBackupDates(HWND list, const std::vector<BackupSetEntry>& sets)
{
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < sets.size(); ++i) {
        LRESULT at = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(sets[i].dateText.c_str()));
        if (at >= 0)
            SendMessageA(list, CB_SETITEMDATA, at, static_cast<LPARAM>(i));
    }
}

// ---- Restore Backup ---------------------------------------------------------

RestoreDialog::RestoreDialog() : Dialog(IDD_RESTORE) {}

BOOL RestoreDialog::OnInit()
{
    HWND list = Item(IDC_RESTORE_ITEM_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 80;
    column.pszText = const_cast<char*>("Item Type");
    SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    column.cx = 300;
    column.pszText = const_cast<char*>("Path");
    SendMessageA(list, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
    FillDateList();
    return TRUE;
}

void RestoreDialog::OnCommand(int id, int notifyCode)
{
    if (id == IDC_BACKUP_DATES && notifyCode == CBN_SELCHANGE)
        ListItems();
    else if (id == IDC_RESTORE_SELECT_ALL || id == IDC_RESTORE_DESELECT_ALL)
        SetAllChecks(id == IDC_RESTORE_SELECT_ALL);
    else if (id == IDC_REMOVE_BACKUPS)
        OnRemoveBackups();
    else if (id == IDOK)
        OnRestore();
    else
        Dialog::OnCommand(id, notifyCode); // Cancel ends the dialog
}

void RestoreDialog::FillDateList()
{
    ListView_DeleteAllItems(Item(IDC_RESTORE_ITEM_LIST));
    items.clear();
    sets = ListBackupSets();
    FillBackupDates(Item(IDC_BACKUP_DATES), sets);
}

const BackupSetEntry* RestoreDialog::ChosenSet() const
{
    HWND list = Item(IDC_BACKUP_DATES);
    LRESULT at = SendMessageA(list, CB_GETCURSEL, 0, 0);
    if (at == CB_ERR)
        return nullptr;
    size_t index = static_cast<size_t>(SendMessageA(list, CB_GETITEMDATA, at, 0));
    return index < sets.size() ? &sets[index] : nullptr;
}

void RestoreDialog::ListItems()
{
    const BackupSetEntry* chosen = ChosenSet();
    if (!chosen)
        return;
    HWND list = Item(IDC_RESTORE_ITEM_LIST);
    ListView_DeleteAllItems(list);
    BackupContents contents = ListBackupItems(backupSet, chosen->cabinetPath);
    items = contents.items;
    if (!contents.indexFound) {
        ShowAppMessage(hwnd, "No items in the backup");
        return;
    }
    for (size_t i = 0; i < items.size(); ++i) {
        LVITEMA row = {};
        row.mask = LVIF_TEXT | LVIF_PARAM;
        row.iItem = static_cast<int>(i);
        row.pszText = const_cast<char*>(items[i].TypeText());
        row.lParam = static_cast<LPARAM>(i);
        int at = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row)));
        LVITEMA path = {};
        path.iSubItem = 1;
        path.pszText = const_cast<char*>(items[i].PathText().c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&path));
    }
}

void RestoreDialog::SetAllChecks(bool on)
{
    HWND list = Item(IDC_RESTORE_ITEM_LIST);
    int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row)
        ListView_SetCheckState(list, row, on ? TRUE : FALSE);
}

void RestoreDialog::OnRemoveBackups()
{
    RemoveBackupDialog remove;
    if (remove.RunModal(hwnd) == IDOK)
        FillDateList();
}

void RestoreDialog::OnRestore()
{
    HWND list = Item(IDC_RESTORE_ITEM_LIST);
    std::vector<const RestoreItem*> chosen;
    int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row) {
        if (!ListView_GetCheckState(list, row))
            continue;
        LVITEMA entry = {};
        entry.mask = LVIF_PARAM;
        entry.iItem = row;
        SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&entry));
        if (static_cast<size_t>(entry.lParam) < items.size())
            chosen.push_back(&items[entry.lParam]);
    }
    const BackupSetEntry* set = ChosenSet();
    if (chosen.empty() || !set) {
        ShowAppMessage(hwnd, "No Backup Items Selected");
        return;
    }
    RestoreOutcome outcome = RestoreBackupItems(backupSet, set->name, chosen);
    ShowAppMessage(hwnd, RestoreSummary(outcome));
    End(IDOK);
}

// ---- Remove Backup ----------------------------------------------------------

RemoveBackupDialog::RemoveBackupDialog() : Dialog(IDD_REMOVE_BACKUP) {}

BOOL RemoveBackupDialog::OnInit()
{
    SetDlgItemTextA(hwnd, IDC_REMOVE_HEADER, ResourceString(IDS_REMOVE_BACKUP_HEADER).c_str());
    sets = ListBackupSets();
    FillBackupDates(Item(IDC_BACKUP_DATES), sets);
    return TRUE;
}

void RemoveBackupDialog::OnCommand(int id, int)
{
    if (id == IDOK)
        OnRemove();
    else if (id == IDCANCEL)
        End(IDCANCEL);
}

void RemoveBackupDialog::OnRemove()
{
    HWND list = Item(IDC_BACKUP_DATES);
    LRESULT at = SendMessageA(list, CB_GETCURSEL, 0, 0);
    size_t index = at == CB_ERR ? sets.size() : static_cast<size_t>(SendMessageA(list, CB_GETITEMDATA, at, 0));
    if (index >= sets.size()) {
        ShowAppMessage(hwnd, "Please Select a backup date");
        return;
    }
    std::string question = ResourceString(IDS_REMOVE_BACKUP_QUESTION);
    if (messageBoxFunction(hwnd, question.c_str(), removeQuestionTitle, MB_YESNO) != IDYES)
        return;
    if (DeleteFileA(sets[index].cabinetPath.c_str()))
        ShowAppMessage(hwnd, "Backup Deleted Successfully");
    else
        ShowAppMessage(hwnd, "Unable to delete the backup file, File might be in use");
    End(IDOK);
}
