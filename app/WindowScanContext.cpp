#include "app/WindowScanContext.h"

#include <commctrl.h>

#include "app/GroupRows.h"
#include "core/AppMessage.h"
#include "resource.h"
#include "scan/ScanDriver.h"

namespace {

void SendText(HWND control, const std::string& text)
{
    SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

} // namespace

WindowScanContext::WindowScanContext(HWND mainWindow,
                                     std::shared_ptr<const std::atomic<bool>> windowOpen,
                                     std::shared_ptr<HeldScanProgress> held)
    : window(mainWindow),
      windowOpen(std::move(windowOpen)),
      held(std::move(held)),
      progress(Control(IDC_SCAN_PROGRESS)),
      sectionList(Control(IDC_SECTION_LIST))
{
}

bool WindowScanContext::OpenAndShown() const
{
    if (!Open())
        return false;
    SendMessageA(window, WM_REFRESH_SCAN_DISPLAY, 0, 0);
    return true;
}

void WindowScanContext::Report(ProblemPtr record)
{
    if (!Open())
        return;
    ProblemRecord* handedOver = record.release();
    held->HoldRecord(handedOver);
    SendMessageA(window, WM_PROBLEM_FOUND, reinterpret_cast<WPARAM>(handedOver), 0);
    // A window that is gone did not take it; the record is ours to destroy.
    delete held->ReclaimRecord();
}

void WindowScanContext::ShowItem(const std::string& text)
{
    if (Open() && held->HoldItem(text))
        PostMessageA(window, WM_SCAN_PROGRESS_HELD, 0, 0);
}

void WindowScanContext::Step()
{
    if (Open() && held->HoldStep())
        PostMessageA(window, WM_SCAN_PROGRESS_HELD, 0, 0);
}

void WindowScanContext::Pump()
{
    PumpPendingMessages();
}

void WindowScanContext::ShowFailure(const std::string& text, BoxTitle title)
{
    if (!OpenAndShown())
        return;
    if (title == BoxTitle::Application)
        ShowAppMessage(window, text);
    else
        messageBoxFunction(window, text.c_str(), nullptr, MB_OK);
}

void WindowScanContext::SetStatus(const std::string& text)
{
    if (!OpenAndShown())
        return;
    SendText(Control(IDC_STATUS_SECTION), text);
}

void WindowScanContext::SetGroupLabel(SectionGroupId group, const std::string& text)
{
    if (!OpenAndShown())
        return;
    if (const GroupRow* row = GroupRowOf(group))
        SendText(Control(row->label), text);
}

bool WindowScanContext::GroupChecked(SectionGroupId group)
{
    const GroupRow* row = GroupRowOf(group);
    return Open() && row && SendMessageA(Control(row->check), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WindowScanContext::SetRowText(int row, int column, const std::string& text)
{
    if (row < 0 || !OpenAndShown())
        return;
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(sectionList, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

std::string WindowScanContext::RowText(int row, int column)
{
    if (row < 0 || !OpenAndShown())
        return std::string();
    char text[64] = "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(sectionList, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

void WindowScanContext::SetRowImage(int row, int image)
{
    if (row < 0 || !OpenAndShown())
        return;
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = image;
    SendMessageA(sectionList, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void WindowScanContext::FillProgress()
{
    if (!OpenAndShown())
        return;
    SendMessageA(progress, PBM_SETPOS, 10000, 0);
}

// The scan thread shows the box itself and waits for the user; the results
// page follows only once it is closed.
void WindowScanContext::ShowFinalMessage(const std::string& text)
{
    if (OpenAndShown())
        ShowAppMessage(window, text, MB_OK);
}

void WindowScanContext::ShowResultsPage()
{
    if (!OpenAndShown())
        return;
    SendMessageA(window, WM_SHOW_RESULTS_PAGE, 0, 0);
}

void WindowScanContext::ScanFinished()
{
    if (!OpenAndShown())
        return;
    PostMessageA(window, WM_SCAN_FINISHED, 0, 0);
}
