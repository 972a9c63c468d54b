#include "app/ErrorsFoundDialog.h"

#include <commctrl.h>

#include <string>

#include "app/ProblemDetailsDialog.h"
#include "core/ScanSection.h"
#include "resource.h"

namespace {

constexpr int summaryRowHeight = 70;

bool InGroup(int groupSelector, unsigned code)
{
    switch (groupSelector) {
    case 0:
        return code < 16;
    case 1:
        return code >= 19 && code <= 21;
    case 2:
        return code >= 16 && code <= 18;
    default:
        return false;
    }
}

std::string RowText(HWND rows, int row, int column)
{
    char text[260] = "";
    ListView_GetItemText(rows, row, column, text, sizeof(text));
    return text;
}

} // namespace

ErrorsFoundDialog::ErrorsFoundDialog(int groupSelector, HWND sectionList,
                                     const std::vector<ProblemPtr>& problemList)
    : Dialog(IDD_ERRORS_FOUND), groupSelector(groupSelector), sectionList(sectionList),
      problemList(problemList)
{
}

BOOL ErrorsFoundDialog::OnInit()
{
    list.Attach(Item(IDC_ERRORS_LIST));
    list.SetRowHeight(summaryRowHeight);
    list.AddTheColumn("");

    int rows = ListView_GetItemCount(sectionList);
    for (int row = 0; row < rows; ++row) {
        std::string count = RowText(sectionList, row, 1);
        if (count.empty() || count == "0")
            continue;
        LVITEMA item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        ListView_GetItem(sectionList, &item);
        auto code = static_cast<unsigned>(item.lParam);
        if (!InGroup(groupSelector, code))
            continue;
        std::string text = "<b>" + RowText(sectionList, row, 0) + "<brs><br><font color=\"#FF0000\">" + count +
                           " Problem(s)</font></b><br>Description : " + SectionDescription(code);
        int index = list.InsertMarkupItem(list.ItemCount(), text);
        list.SetItemData(index, static_cast<LPARAM>(code));
    }
    return TRUE;
}

INT_PTR ErrorsFoundDialog::OnNotify(int, NMHDR* header)
{
    INT_PTR result = 0;
    list.OnParentMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(header), result);
    return result;
}

INT_PTR ErrorsFoundDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    INT_PTR result = 0;
    if (msg == WM_MARKUP_MORE_INFO) {
        handled = true;
        OnMoreInfo(static_cast<unsigned>(wParam));
        return TRUE;
    }
    handled = list.OnParentMessage(msg, wParam, lParam, result);
    return result;
}

void ErrorsFoundDialog::OnMoreInfo(unsigned sectionCode)
{
    ProblemDetailsDialog details(sectionCode, problemList, defaultRowSpacing);
    details.RunModal(hwnd);
}
