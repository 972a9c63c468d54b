#pragma once
// The problem views' list: a one-column, owner-drawn report list whose items
// are markup texts several lines high. In summary mode each item carries a
// "More_Info" link; in detail mode a check box and a link line with
// "Add_to_Ignore_List" and "Copy_to_Clipboard". Link clicks reach the parent
// window as WM_MARKUP_MORE_INFO and WM_MARKUP_IGNORE, with the item's data.
//
// The parent hands its WM_DRAWITEM, WM_MEASUREITEM and WM_NOTIFY messages to
// OnParentMessage; the list itself must have the LVS_REPORT and
// LVS_OWNERDRAWFIXED styles.

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "core/Handles.h"
#include "ui/WindowHook.h"

// Sent to the parent: wParam = the data of the item whose link was clicked.
constexpr UINT WM_MARKUP_MORE_INFO = 0x87B8; // summary mode: a section code
constexpr UINT WM_MARKUP_IGNORE = 0x87B9;    // detail mode: a ProblemRecord*

// What the copy link puts on the clipboard: every "<br>" a line break, every
// tag (from "<" up to the next ">") removed.
std::string PlainTextOfMarkup(const std::string& markup);

class MarkupList {
public:
    MarkupList() = default;
    MarkupList(const MarkupList&) = delete;
    MarkupList& operator=(const MarkupList&) = delete;

    // Takes over a list control for the life of the window.
    void Attach(HWND list);
    HWND Handle() const { return hook.Control(); }

    // Detail mode shows check boxes and the link line; summary mode (the
    // default) the "More_Info" link.
    void SetDetailMode(bool on)
    {
        detailMode = on;
        summaryMode = !on;
    }
    void SetShowFrame(bool on) { showFrame = on; }
    void SetShowCheckBoxes(bool on) { showCheckBoxes = on; }
    void SetShowLinkLine(bool on) { showLinkLine = on; }
    int MinRowHeight() const { return minRowHeight; }
    // Every row gets this height.
    void SetRowHeight(int height);

    // The list's one column, as wide as its client area less 20 pixels.
    void AddTheColumn(const char* heading);
    // The width of an item.
    int ItemWidth() const;

    // Appends or inserts an item; returns its index, -1 on failure.
    int InsertMarkupItem(int index, const std::string& text);
    void DeleteAllItems();
    int ItemCount() const;
    const std::string& ItemText(int index) const;
    // The section code (summary mode) or the ProblemRecord (detail mode).
    void SetItemData(int index, LPARAM data);
    LPARAM ItemData(int index) const;
    // In detail mode the check state is the item's record's `checked` flag.
    void SetChecked(int index, bool checked);
    bool IsChecked(int index) const;

    // The item's link areas in the list's client coordinates: the first is
    // "More_Info" or the ignore link, the second the copy link. Empty until
    // the first item has been drawn.
    void LinkAreas(int index, RECT& first, RECT& second) const;

    // Answers the parent's messages that belong to this list; true when answered.
    bool OnParentMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR& result);

private:
    LRESULT OnListMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void DrawItem(const DRAWITEMSTRUCT& draw);
    void DrawLinkLine(HDC dc, const RECT& item);
    void DrawMoreInfoLink(HDC dc, const RECT& item, const RECT& textArea);
    void OnItemChanged(const NMLISTVIEW& change);
    int ItemAt(POINT point) const;
    void OnLeftButtonDown(POINT point);
    bool OnSetCursor();
    void CopyItemText(int index);

    WindowHook hook;

    int detailMode = 0;
    int summaryMode = 1;
    int showFrame = 1;
    int showCheckBoxes = 1;
    int showLinkLine = 1;
    int minRowHeight = 65;
    int rowHeight = 65;

    std::map<int, std::string> itemTexts;
    // Where the links lie within an item, found when the first item is drawn.
    RECT firstLink = {};
    RECT secondLink = {};
    GdiObject<HBITMAP> checkedBitmap;
    GdiObject<HBITMAP> uncheckedBitmap;
};
