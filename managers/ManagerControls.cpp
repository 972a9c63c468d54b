#include "managers/ManagerControls.h"

#include "managers/FileVersionInfo.h"
#include "resource.h"

const char checkItemText[] = "Please Check an Item to Remove";
const char itemsRemovedText[] = "Item(s) Removed";

void SetUpCheckList(HWND list, const std::vector<ListColumn>& columns)
{
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    for (size_t i = 0; i < columns.size(); ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(columns[i].title);
        column.cx = columns[i].width;
        column.iSubItem = static_cast<int>(i);
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

int AppendRow(HWND list, const std::vector<std::string>& texts)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<char*>(texts.empty() ? "" : texts[0].c_str());
    int row = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    for (size_t i = 1; row >= 0 && i < texts.size(); ++i) {
        LVITEMA sub = {};
        sub.iSubItem = static_cast<int>(i);
        sub.pszText = const_cast<char*>(texts[i].c_str());
        SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
    }
    return row;
}

std::vector<int> CheckedRows(HWND list)
{
    std::vector<int> rows;
    int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row)
        if (ListView_GetCheckState(list, row))
            rows.push_back(row);
    return rows;
}

bool RowBecameSelected(const NMHDR* header)
{
    if (header->code != LVN_ITEMCHANGED)
        return false;
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
    const UINT wanted = LVIS_SELECTED | LVIS_FOCUSED;
    return (change->uChanged & LVIF_STATE) && (change->uNewState & wanted) == wanted &&
           (change->uOldState & wanted) != wanted;
}

void ShowVersionDetails(HWND dialog, const std::string& path)
{
    FileVersionInfo version;
    version.Load(path);
    std::string fileName = version.InternalName();
    if (!fileName.empty())
        fileName += " (Version : " + version.FileVersion() + ")";
    std::string product = version.ProductName();
    if (!product.empty())
        product += " (Version : " + version.ProductVersion() + ")";
    SetDlgItemTextA(dialog, IDC_DETAIL_COMPANY, version.CompanyName().c_str());
    SetDlgItemTextA(dialog, IDC_DETAIL_DESCRIPTION, version.FileDescription().c_str());
    SetDlgItemTextA(dialog, IDC_DETAIL_FILE_NAME, fileName.c_str());
    SetDlgItemTextA(dialog, IDC_DETAIL_PRODUCT, product.c_str());
}
