#include "ui/MarkupList.h"

#include <commctrl.h>

#include <cstring>

#include "core/AppMessage.h"
#include "core/ProblemRecord.h"
#include "resource.h"
#include "ui/MarkupText.h"
#include "ui/Skin.h"

namespace {

const char linkLineMarkup[] =
    "<font color=\"#0000FF\"><u>Add_to_Ignore_List</u> | <u>Copy_to_Clipboard</u></font>";
const char linkLinePlain[] = "Add to Ignore List | Copy to Clipboard";
const char moreInfoMarkup[] = "<u><font color=\"#0000FF\">More_Info</font></u>";
// The summary link takes the room of this text.
const char moreInfoRoom[] = "ViewDetails";

// The check box square within an item.
const RECT checkSquare = {5, 8, 21, 24};

// The size of a plain text in the device context's font.
SIZE MeasuredText(HDC dc, const char* text)
{
    RECT area = {0, 0, 0, 0};
    DrawMarkupText(dc, text, -1, &area, DT_CALCRECT);
    return SIZE{area.right - area.left, area.bottom - area.top};
}

RECT Moved(const RECT& area, int dx, int dy)
{
    RECT moved = area;
    OffsetRect(&moved, dx, dy);
    return moved;
}

bool PutTextOnClipboard(HWND owner, const std::string& text)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    bool put = false;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (memory) {
        if (void* bytes = GlobalLock(memory)) {
            std::memcpy(bytes, text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
            put = SetClipboardData(CF_TEXT, memory) != nullptr;
        }
        if (!put)
            GlobalFree(memory); // the clipboard owns it only when it took it
    }
    CloseClipboard();
    return put;
}

} // namespace

std::string PlainTextOfMarkup(const std::string& markup)
{
    std::string text;
    for (size_t at = 0; at < markup.size();) {
        if (markup.compare(at, 4, "<br>") == 0) {
            text += "\r\n";
            at += 4;
        } else if (markup[at] == '<') {
            size_t close = markup.find('>', at);
            if (close == std::string::npos)
                break; // an unclosed tag runs to the end
            at = close + 1;
        } else {
            text += markup[at++];
        }
    }
    return text;
}

void MarkupList::Attach(HWND control)
{
    checkedBitmap = LoadSkinBitmap(IDB_CHECK_ON);
    uncheckedBitmap = LoadSkinBitmap(IDB_CHECK_OFF);
    ListView_SetExtendedListViewStyle(control, LVS_EX_FULLROWSELECT);
    hook.Install<MarkupList, &MarkupList::OnListMessage>(control, this);
}

void MarkupList::SetRowHeight(int pixels)
{
    rowHeight = pixels > 1 ? pixels : 1;
    // An owner-drawn report list asks its parent for the row height again
    // when its size changes: one pixel narrower and back.
    RECT area = {};
    GetWindowRect(Handle(), &area);
    const int width = area.right - area.left, height = area.bottom - area.top;
    const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(Handle(), nullptr, 0, 0, width - 1, height, flags);
    SetWindowPos(Handle(), nullptr, 0, 0, width, height, flags);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void MarkupList::AddTheColumn(const char* heading)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = ItemWidth();
    column.pszText = const_cast<char*>(heading);
    SendMessageA(Handle(), LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
}

int MarkupList::ItemWidth() const
{
    RECT area = {};
    GetClientRect(Handle(), &area);
    return area.right - area.left - 20;
}

int MarkupList::InsertMarkupItem(int index, const std::string& text)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<char*>(text.c_str());
    int inserted = static_cast<int>(SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted >= 0)
        itemTexts[inserted] = text;
    return inserted;
}

void MarkupList::DeleteAllItems()
{
    ListView_DeleteAllItems(Handle());
    itemTexts.clear();
}

int MarkupList::ItemCount() const
{
    return ListView_GetItemCount(Handle());
}

const std::string& MarkupList::ItemText(int index) const
{
    static const std::string none;
    auto found = itemTexts.find(index);
    return found == itemTexts.end() ? none : found->second;
}

void MarkupList::SetItemData(int index, LPARAM data)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    item.lParam = data;
    SendMessageA(Handle(), LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

LPARAM MarkupList::ItemData(int index) const
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessageA(Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return 0;
    return item.lParam;
}

void MarkupList::SetChecked(int index, bool checked)
{
    ListView_SetItemState(Handle(), index, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1), LVIS_STATEIMAGEMASK);
}

bool MarkupList::IsChecked(int index) const
{
    UINT state = ListView_GetItemState(Handle(), index, LVIS_STATEIMAGEMASK);
    return (state >> 12) == 2;
}

void MarkupList::LinkAreas(int index, RECT& first, RECT& second) const
{
    first = second = RECT{};
    RECT item = {};
    if (!ListView_GetItemRect(Handle(), index, &item, LVIR_BOUNDS))
        return;
    if (!IsRectEmpty(&firstLink))
        first = Moved(firstLink, item.left, item.top);
    if (!IsRectEmpty(&secondLink))
        second = Moved(secondLink, item.left, item.top);
}

bool MarkupList::OnParentMessage(UINT msg, WPARAM, LPARAM lParam, INT_PTR& result)
{
    if (!Handle())
        return false;
    switch (msg) {
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure->CtlType != ODT_LISTVIEW || measure->CtlID != static_cast<UINT>(GetDlgCtrlID(Handle())))
            return false;
        measure->itemHeight = rowHeight;
        result = TRUE;
        return true;
    }
    case WM_DRAWITEM: {
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (draw->hwndItem != Handle())
            return false;
        DrawItem(*draw);
        result = TRUE;
        return true;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom != Handle() || header->code != LVN_ITEMCHANGED)
            return false;
        OnItemChanged(*reinterpret_cast<NMLISTVIEW*>(lParam));
        result = 0;
        return true;
    }
    default:
        return false;
    }
}

void MarkupList::OnItemChanged(const NMLISTVIEW& change)
{
    if (!(change.uChanged & LVIF_STATE) || !((change.uOldState ^ change.uNewState) & LVIS_STATEIMAGEMASK))
        return;
    UINT image = (change.uNewState & LVIS_STATEIMAGEMASK) >> 12;
    // Image 0 is an item that has no check state yet.
    if (!detailMode || image == 0)
        return;
    if (auto* record = reinterpret_cast<ProblemRecord*>(ItemData(change.iItem)))
        record->checked = image == 2 ? 1 : 0;
}

void MarkupList::DrawItem(const DRAWITEMSTRUCT& draw)
{
    HDC dc = draw.hDC;
    const RECT& item = draw.rcItem;
    int saved = SaveDC(dc);
    FillRect(dc, &item, GetSysColorBrush(COLOR_WINDOW));
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(GetParent(Handle()), WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));

    RECT textArea = item;
    textArea.left += 30;
    textArea.top += 5;
    if (showFrame) {
        RECT frame = item;
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    }
    const std::string& text = ItemText(static_cast<int>(draw.itemID));
    DrawMarkupText(dc, text.c_str(), static_cast<int>(text.size()), &textArea, DT_WORDBREAK);

    if (detailMode && showCheckBoxes) {
        HBITMAP box = IsChecked(static_cast<int>(draw.itemID)) ? checkedBitmap.Get() : uncheckedBitmap.Get();
        BitmapDc source(dc, box);
        BitBlt(dc, item.left + checkSquare.left, item.top + checkSquare.top, 16, 16, source.Get(), 0, 0, SRCCOPY);
    }
    if (detailMode && showLinkLine)
        DrawLinkLine(dc, item);
    else if (!detailMode)
        DrawMoreInfoLink(dc, item, textArea);
    RestoreDC(dc, saved);
}

void MarkupList::DrawLinkLine(HDC dc, const RECT& item)
{
    SIZE size = MeasuredText(dc, linkLinePlain);
    RECT links;
    links.right = item.right - 10;
    links.left = links.right - (size.cx + 20);
    links.bottom = item.bottom - 5;
    links.top = links.bottom - size.cy;
    RECT drawn = links;
    DrawMarkupText(dc, linkLineMarkup, -1, &drawn, 0);
    if (IsRectEmpty(&firstLink) && IsRectEmpty(&secondLink)) {
        int middle = links.left + (links.right - links.left) / 2;
        firstLink = Moved(RECT{links.left, links.top, middle, links.bottom}, -item.left, -item.top);
        secondLink = Moved(RECT{middle, links.top, links.right, links.bottom}, -item.left, -item.top);
    }
}

void MarkupList::DrawMoreInfoLink(HDC dc, const RECT& item, const RECT& textArea)
{
    SIZE size = MeasuredText(dc, moreInfoRoom);
    RECT link;
    link.top = textArea.top;
    link.bottom = link.top + size.cy;
    link.right = item.right - 10;
    link.left = link.right - size.cx;
    RECT drawn = link;
    DrawMarkupText(dc, moreInfoMarkup, -1, &drawn, 0);
    if (IsRectEmpty(&firstLink))
        firstLink = Moved(link, -item.left, -item.top);
}

int MarkupList::ItemAt(POINT point) const
{
    int count = ItemCount();
    int first = ListView_GetTopIndex(Handle());
    int last = first + ListView_GetCountPerPage(Handle()) + 1;
    for (int index = first < 0 ? 0 : first; index < count && index <= last; ++index) {
        RECT item = {};
        if (ListView_GetItemRect(Handle(), index, &item, LVIR_BOUNDS) && PtInRect(&item, point))
            return index;
    }
    return -1;
}

void MarkupList::OnLeftButtonDown(POINT point)
{
    int index = ItemAt(point);
    if (index < 0)
        return;
    RECT first, second;
    LinkAreas(index, first, second);
    if (detailMode) {
        RECT item = {};
        ListView_GetItemRect(Handle(), index, &item, LVIR_BOUNDS);
        RECT square = Moved(checkSquare, item.left, item.top);
        if (showCheckBoxes && PtInRect(&square, point))
            SetChecked(index, !IsChecked(index));
        if (PtInRect(&first, point))
            SendMessageA(GetParent(Handle()), WM_MARKUP_IGNORE, static_cast<WPARAM>(ItemData(index)), 0);
        else if (PtInRect(&second, point))
            CopyItemText(index);
    } else if (PtInRect(&first, point)) {
        SendMessageA(GetParent(Handle()), WM_MARKUP_MORE_INFO, static_cast<WPARAM>(ItemData(index)), 0);
    }
}

void MarkupList::CopyItemText(int index)
{
    PutTextOnClipboard(Handle(), PlainTextOfMarkup(ItemText(index)));
    ShowAppMessage(Handle(), "Copied to Clipboard");
}

bool MarkupList::OnSetCursor()
{
    POINT point;
    GetCursorPos(&point);
    ScreenToClient(Handle(), &point);
    int count = ItemCount();
    for (int index = 0; index < count; ++index) {
        RECT first, second;
        LinkAreas(index, first, second);
        if (PtInRect(&first, point) || PtInRect(&second, point)) {
            HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_HAND_CURSOR));
            SetCursor(hand ? hand : LoadCursorA(nullptr, IDC_ARROW));
            return true;
        }
    }
    return false;
}

LRESULT MarkupList::OnListMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_LBUTTONDOWN:
        OnLeftButtonDown(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == Handle() && LOWORD(lParam) == HTCLIENT && OnSetCursor())
            return TRUE;
        break;
    default:
        break;
    }
    return hook.CallOriginal(msg, wParam, lParam);
}
