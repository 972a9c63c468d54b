#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "core/ProblemRecord.h"
#include "support/MessageCapture.h"
#include "ui/MarkupList.h"
#include "ui/Skin.h"

namespace {

// A plain window that hosts one markup list, hands it the messages it needs
// and keeps every link message the list sends.
class ListWindow : public testing::Test {
protected:
    struct Sent {
        UINT msg;
        WPARAM data;
    };

    void Open(bool detail, int items, int rowHeight, bool linkLine = true)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "QmMarkupListTest";
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RegisterClassA(&windowClass);
        current = this;
        parent = CreateWindowExA(0, "QmMarkupListTest", "list", WS_POPUP | WS_VISIBLE, 0, 0, 500, 400, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        HWND control = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT |
                                                             LVS_OWNERDRAWFIXED | LVS_SINGLESEL,
                                       0, 0, 480, 380, parent, reinterpret_cast<HMENU>(1018),
                                       GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(control, nullptr);
        list.Attach(control);
        list.SetDetailMode(detail);
        list.SetShowLinkLine(linkLine);
        list.SetRowHeight(rowHeight);
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 460;
        column.pszText = const_cast<char*>("Problems Found");
        SendMessageA(control, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        for (int i = 0; i < items; ++i) {
            records.push_back(MakeProblemRecord(8, "", "HKLM\\Software\\Item" + std::to_string(i), "Name" +
                                                std::to_string(i), "C:\\gone.exe", "explained"));
            std::string text = "<font color=\"#0000FF\">RegKey : HKLM\\Software\\Item" + std::to_string(i) +
                               " <br>ValueName : Name<br>Value : C:\\gone.exe</font><br><b>explained</b>";
            int index = list.InsertMarkupItem(i, text);
            list.SetItemData(index, detail ? reinterpret_cast<LPARAM>(records.back().get()) : 8 + i);
            list.SetChecked(index, true);
        }
    }
    void TearDown() override
    {
        if (parent)
            DestroyWindow(parent);
        current = nullptr;
    }
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (current && current->list.Handle()) {
            if (msg == WM_MARKUP_IGNORE || msg == WM_MARKUP_MORE_INFO) {
                current->sent.push_back({msg, wParam});
                return 0;
            }
            if (msg == WM_GETFONT)
                return reinterpret_cast<LRESULT>(current->font.Get());
            INT_PTR result = 0;
            if (current->list.OnParentMessage(msg, wParam, lParam, result))
                return result;
        }
        return DefWindowProcA(window, msg, wParam, lParam);
    }
    void Pump()
    {
        UpdateWindow(list.Handle());
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    void ClickAt(POINT point)
    {
        PostMessageA(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
        PostMessageA(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
        Pump();
    }
    RECT ItemRect(int index)
    {
        RECT item = {};
        ListView_GetItemRect(list.Handle(), index, &item, LVIR_BOUNDS);
        return item;
    }
    static POINT Centre(const RECT& area) { return POINT{(area.left + area.right) / 2, (area.top + area.bottom) / 2}; }

    static ListWindow* current;
    GdiObject<HFONT> font = CreateSkinFont(13, false);
    MarkupList list;
    HWND parent = nullptr;
    std::vector<ProblemPtr> records;
    std::vector<Sent> sent;
};

ListWindow* ListWindow::current = nullptr;

} // namespace

TEST_F(ListWindow, TheCheckSquareTogglesTheRecordAndTheTextOnlySelects)
{
    ASSERT_NO_FATAL_FAILURE(Open(true, 3, 100));
    Pump();
    RECT item = ItemRect(1);
    ASSERT_EQ(item.bottom - item.top, 100);
    ClickAt(POINT{item.left + 12, item.top + 15});
    EXPECT_EQ(records[1]->checked, 0u);
    EXPECT_FALSE(list.IsChecked(1));
    EXPECT_EQ(records[0]->checked, 1u);
    ClickAt(POINT{item.left + 12, item.top + 15});
    EXPECT_EQ(records[1]->checked, 1u);
    ClickAt(POINT{item.left + 200, item.top + 20});
    EXPECT_EQ(records[1]->checked, 1u);
    EXPECT_TRUE(sent.empty());
}

TEST_F(ListWindow, TheIgnoreLinkReportsTheRecordAndTheCopyLinkCopiesPlainLines)
{
    ASSERT_NO_FATAL_FAILURE(Open(true, 3, 100));
    Pump();
    RECT ignore, copy;
    list.LinkAreas(2, ignore, copy);
    ASSERT_FALSE(IsRectEmpty(&ignore));
    RECT item = ItemRect(2);
    EXPECT_GE(ignore.top, item.top + 50) << "the link line stands at the foot of the item";
    EXPECT_LE(copy.bottom, item.bottom - 5);
    EXPECT_EQ(ignore.right, copy.left);

    ClickAt(Centre(ignore));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].msg, 0x87B9u);
    EXPECT_EQ(sent[0].data, reinterpret_cast<WPARAM>(records[2].get()));
    EXPECT_EQ(records[2]->checked, 1u);

    MessageCapture boxes;
    ClickAt(Centre(copy));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Copied to Clipboard"});
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_TEXT);
    std::string copied = data ? static_cast<const char*>(GlobalLock(data)) : "";
    if (data)
        GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied, "RegKey : HKLM\\Software\\Item2 \r\nValueName : Name\r\nValue : C:\\gone.exe\r\nexplained");
    EXPECT_EQ(sent.size(), 1u);
}

// The link places are found at the first drawing, here of a scrolled list,
// and still fall on the links of every item.
TEST_F(ListWindow, AScrolledListStillHitsItsLinks)
{
    ASSERT_NO_FATAL_FAILURE(Open(true, 12, 90));
    ListView_EnsureVisible(list.Handle(), 11, FALSE);
    Pump();
    int top = ListView_GetTopIndex(list.Handle());
    ASSERT_GT(top, 0);
    for (int index : {top, top + 1}) {
        RECT ignore, copy;
        list.LinkAreas(index, ignore, copy);
        RECT item = ItemRect(index);
        EXPECT_TRUE(PtInRect(&item, Centre(ignore))) << index;
        ClickAt(Centre(ignore));
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back().data, reinterpret_cast<WPARAM>(records[index].get())) << index;
    }
}

TEST_F(ListWindow, WithoutALinkLineItsPlaceDoesNothing)
{
    ASSERT_NO_FATAL_FAILURE(Open(true, 2, 100, false));
    Pump();
    RECT item = ItemRect(0);
    ClickAt(POINT{item.right - 60, item.bottom - 10});
    ClickAt(POINT{item.right - 160, item.bottom - 10});
    EXPECT_TRUE(sent.empty());
}

TEST_F(ListWindow, SummaryItemsReportTheirSectionCode)
{
    ASSERT_NO_FATAL_FAILURE(Open(false, 3, 70));
    Pump();
    RECT more, none;
    list.LinkAreas(1, more, none);
    EXPECT_TRUE(IsRectEmpty(&none));
    RECT item = ItemRect(1);
    EXPECT_EQ(more.top, item.top + 5);
    EXPECT_EQ(more.right, item.right - 10);
    ClickAt(Centre(more));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].msg, 0x87B8u);
    EXPECT_EQ(sent[0].data, 9u);
    ClickAt(POINT{item.left + 12, item.top + 15});
    EXPECT_EQ(sent.size(), 1u);
}
