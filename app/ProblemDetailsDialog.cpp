#include "app/ProblemDetailsDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <initializer_list>

#include "core/ResourceText.h"
#include "core/ScanSection.h"
#include "core/Text.h"
#include "resource.h"
#include "settings/IgnoreListDialog.h"
#include "ui/MarkupText.h"

namespace {

// `format` with each "%s" replaced by the next of `values`, in order.
std::string Filled(const char* format, std::initializer_list<std::string> values)
{
    std::string text;
    auto value = values.begin();
    for (const char* at = format; *at; ++at) {
        if (at[0] == '%' && at[1] == 's' && value != values.end()) {
            text += *value++;
            ++at;
        } else {
            text += *at;
        }
    }
    return text;
}

} // namespace

std::string ShortRootNames(const std::string& keyPath)
{
    std::string path = keyPath;
    ReplaceAll(path, "HKEY_CLASSES_ROOT", ResourceString(IDS_HKCLASS));
    ReplaceAll(path, "HKEY_CURRENT_USER", ResourceString(IDS_HKCU));
    ReplaceAll(path, "HKEY_LOCAL_MACHINE", ResourceString(IDS_HKLM));
    return path;
}

std::string ProblemItemText(const ProblemRecord& record)
{
    std::string explanation = record.description;
    ReplaceAll(explanation, "%s", record.valueData);
    switch (record.section) {
    case SectionShortcuts:
        return Filled("<font color=\"#0000FF\">Shortcut Path : %s<br>Shortcut to : %s</font><br><b>%s</b>",
                      {record.item, record.valueData, explanation});
    case SectionWinTemp:
    case SectionScanDisk:
        return Filled("<font color=\"#0000FF\">File Path : %s</font><br><b>%s</b>", {record.item, explanation});
    case SectionReserved:
        return std::string();
    case SectionIECookies:
        return Filled("<font color=\"#0000FF\">Cookie Path : </font><b>%s</b>", {record.item});
    case SectionIETemp:
        return Filled("<font color=\"#0000FF\">IE Cached Data : </font><b>%s</b>", {record.valueData});
    case SectionIETypedUrls:
        return Filled("<font color=\"#0000FF\">IE Typed URL : </font><b>%s</b>", {record.valueData});
    case SectionTweaks:
        return Filled("<brs><font color=\"#0000FF\">Tweak Available : </font><b>%s</b>", {record.description});
    default:
        return Filled("<font color=\"#0000FF\">RegKey : %s <br>ValueName : %s<br>Value : %s</font><br><b>%s</b>",
                      {record.keyPath, record.valueName, record.valueData, explanation});
    }
}

ProblemDetailsDialog::ProblemDetailsDialog(unsigned sectionCode, const std::vector<ProblemPtr>& problemList,
                                           int rowSpacing)
    : Dialog(IDD_PROBLEM_DETAILS), sectionCode(sectionCode), problemList(problemList), rowSpacing(rowSpacing)
{
}

void ProblemDetailsDialog::ApplyDisplayOptions()
{
    list.SetDetailMode(true);
    switch (sectionCode) {
    case SectionWinTemp:
    case SectionScanDisk:
        rowSpacing = 10;
        break;
    case SectionIECookies:
        list.SetShowLinkLine(false);
        rowSpacing = 0;
        break;
    case SectionIETemp:
        list.SetShowLinkLine(false);
        list.SetShowCheckBoxes(false);
        rowSpacing = 0;
        break;
    case SectionIETypedUrls:
        rowSpacing = 0;
        break;
    case SectionTweaks:
        list.SetShowLinkLine(false);
        break;
    default:
        break;
    }
}

int ProblemDetailsDialog::MeasuredHeight(const std::string& text) const
{
    HWND control = list.Handle();
    // The text starts 30 pixels into the item.
    RECT needed = {0, 0, list.ItemWidth() - 30, 0};
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
    DrawMarkupText(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_WORDBREAK);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return needed.bottom - needed.top;
}

BOOL ProblemDetailsDialog::OnInit()
{
    list.Attach(Item(IDC_DETAILS_LIST));
    ApplyDisplayOptions();
    list.AddTheColumn("Problems Found");

    int tallest = list.MinRowHeight();
    for (const ProblemPtr& problem : problemList) {
        if (problem->section != sectionCode)
            continue;
        // The short names stay: repair turns them back into the long ones.
        problem->keyPath = ShortRootNames(problem->keyPath);
        Entry entry{problem.get(), ProblemItemText(*problem)};
        tallest = std::max(tallest, MeasuredHeight(entry.text));
        entries.push_back(entry);
    }
    rowHeight = tallest + rowSpacing;
    list.SetRowHeight(rowHeight);
    ShowEntries();
    return TRUE;
}

// The list shows the entries in their current order; every item keeps its
// text under its own index, so a new order is shown by filling the list anew.
void ProblemDetailsDialog::ShowEntries()
{
    SendMessageA(list.Handle(), WM_SETREDRAW, FALSE, 0);
    list.DeleteAllItems();
    for (const Entry& entry : entries) {
        // The record's flag is read first: the new item has no check state yet.
        bool checked = entry.record->checked == 1;
        int index = list.InsertMarkupItem(list.ItemCount(), entry.text);
        list.SetItemData(index, reinterpret_cast<LPARAM>(entry.record));
        list.SetChecked(index, checked);
    }
    SendMessageA(list.Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list.Handle(), nullptr, TRUE);
}

void ProblemDetailsDialog::OnCommand(int id, int)
{
    switch (id) {
    case IDC_SELECT_ALL:
        OnSelectAll(true);
        break;
    case IDC_DESELECT_ALL:
        OnSelectAll(false);
        break;
    case IDOK:
    case IDCANCEL:
        End(id);
        break;
    default:
        break;
    }
}

void ProblemDetailsDialog::OnSelectAll(bool checked)
{
    for (int index = 0; index < list.ItemCount(); ++index) {
        list.SetChecked(index, checked);
        reinterpret_cast<ProblemRecord*>(list.ItemData(index))->checked = checked ? 1 : 0;
    }
    InvalidateRect(list.Handle(), nullptr, FALSE);
}

void ProblemDetailsDialog::OnSort()
{
    sortByKey = sortByKey ? 0 : 1;
    if (sortByKey) {
        // std::string compares bytes as unsigned values, a prefix first.
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.record->keyPath < b.record->keyPath; });
    } else {
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.record->serial < b.record->serial; });
    }
    ShowEntries();
}

void ProblemDetailsDialog::OnIgnore(ProblemRecord* record)
{
    if (!record || !IgnoreListDialog::Show(hwnd, record->keyPath))
        return;
    // The main window has unticked what the saved list covers.
    for (int index = 0; index < list.ItemCount(); ++index)
        list.SetChecked(index, reinterpret_cast<ProblemRecord*>(list.ItemData(index))->checked == 1);
    InvalidateRect(list.Handle(), nullptr, FALSE);
}

INT_PTR ProblemDetailsDialog::OnNotify(int id, NMHDR* header)
{
    if (id == IDC_DETAILS_LIST && header->code == LVN_COLUMNCLICK) {
        OnSort();
        return 0;
    }
    INT_PTR result = 0;
    list.OnParentMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(header), result);
    return result;
}

INT_PTR ProblemDetailsDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (msg == WM_MARKUP_IGNORE) {
        handled = true;
        OnIgnore(reinterpret_cast<ProblemRecord*>(wParam));
        return TRUE;
    }
    INT_PTR result = 0;
    handled = list.OnParentMessage(msg, wParam, lParam, result);
    return result;
}
