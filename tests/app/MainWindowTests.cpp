#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <set>
#include <string>
#include <vector>

#include "TestWindow.h"
#include "resource.h"
#include "settings/Settings.h"
#include "support/UiDriver.h"
#include "ui/Skin.h"

namespace {

using Page = MainWindow::Page;

// Each group's line from top to bottom: check box, label, "More Info".
struct GroupLine {
    SectionGroupId group;
    int check, label, more;
};
const GroupLine groupLines[] = {
    {GroupRegistry, IDC_CHECK_REGISTRY, IDC_LABEL_REGISTRY, IDC_MORE_REGISTRY},
    {GroupIETemp, IDC_CHECK_IE, IDC_LABEL_IE, IDC_MORE_IE},
    {GroupWindows, IDC_CHECK_WINDOWS, IDC_LABEL_WINDOWS, IDC_MORE_WINDOWS},
    {GroupTweaks, IDC_CHECK_TWEAKS, IDC_LABEL_TWEAKS, IDC_MORE_TWEAKS},
};

struct PageControls {
    Page page;
    const char* name;
    std::set<int> shown; // besides the five navigation buttons
};
const PageControls pages[] = {
    {Page::Start, "start",
     {IDC_CHECK_REGISTRY, IDC_CHECK_IE, IDC_CHECK_WINDOWS, IDC_CHECK_TWEAKS, IDC_SCAN_NOW, IDC_HELP_BUTTON}},
    {Page::Scanning, "scanning",
     {IDC_ABORT, IDC_SCAN_PROGRESS, IDC_STATUS_SECTION, IDC_STATUS_ITEM, IDC_STATUS_ICON, IDC_LABEL_REGISTRY,
      IDC_LABEL_IE, IDC_LABEL_WINDOWS, IDC_LABEL_TWEAKS}},
    {Page::Results, "results",
     {IDC_REPAIR, IDC_GO_BACK, IDC_REPAIR_PROGRESS, IDC_MORE_REGISTRY, IDC_MORE_IE, IDC_MORE_WINDOWS,
      IDC_MORE_TWEAKS}},
};

int CentreY(HWND control)
{
    RECT area = ChildRect(control);
    return (area.top + area.bottom) / 2;
}

// Whether the control's text fits inside it in its own font (a check box's
// text starts after its box; an ellipsis static shortens its own).
bool TextFits(HWND control, const std::string& text)
{
    RECT area = ChildRect(control);
    int width = area.right - area.left, height = area.bottom - area.top;
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    char className[32] = "";
    GetClassNameA(control, className, sizeof(className));
    LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    RECT needed = {0, 0, width, 0};
    if (lstrcmpiA(className, "Button") == 0) {
        DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_SINGLELINE);
        needed.right += (style & BS_TYPEMASK) == BS_AUTOCHECKBOX ? 20 : 8;
    } else if (!(style & (SS_PATHELLIPSIS | SS_ENDELLIPSIS))) {
        DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    }
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return needed.right <= width && needed.bottom <= height;
}

class MainWindowPages : public MainWindowTest {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Open()); }
};

} // namespace

TEST_F(MainWindowPages, EachPageShowsItsControlsAndHidesTheOthers)
{
    std::set<int> all = {IDC_SECTION_LIST, IDC_HIDDEN_LIST};
    for (const PageControls& page : pages)
        all.insert(page.shown.begin(), page.shown.end());
    for (int id : all)
        ASSERT_NE(Item(id), nullptr) << "control " << id << " is missing";
    for (const PageControls& page : pages) {
        SetDlgItemTextA(window, IDC_REPAIR, "Abort");
        Show(page.page);
        EXPECT_EQ(main.CurrentPage(), page.page);
        for (int id = IDC_SCAN; id <= IDC_LIVE_UPDATE; ++id)
            EXPECT_TRUE(IsWindowVisible(Item(id))) << page.name << ": navigation button " << id;
        for (int id : all)
            EXPECT_EQ(IsWindowVisible(Item(id)) != FALSE, page.shown.count(id) == 1) << page.name << ", " << id;
    }
    EXPECT_EQ(Text(IDC_REPAIR), "Repair Problems") << "the results page resets it";
    EXPECT_EQ(WindowText(window) + "|" + Text(IDC_SCAN_NOW) + "|" + Text(IDC_GO_BACK) + "|" + Text(IDC_MORE_TWEAKS),
              "Quillmoor v8.0|Scan Now|Go Back|More Info");
}

// Judged with the texts the scan writes at their longest.
TEST_F(MainWindowPages, GroupLinesLineUpAndNoControlOverlapsAnotherOrLosesText)
{
    int previous = -1;
    for (const GroupLine& line : groupLines) {
        int check = CentreY(Item(line.check));
        EXPECT_NEAR(CentreY(Item(line.label)), check, 1) << line.group;
        EXPECT_NEAR(CentreY(Item(line.more)), check, 1) << line.group;
        EXPECT_GT(check, previous) << line.group << " is out of order";
        previous = check;
    }
    const std::pair<int, std::string> longest[] = {
        {IDC_STATUS_SECTION, SectionStatusText(SectionCompleteRegistry)},
        {IDC_STATUS_ITEM, "HKEY_CLASSES_ROOT\\CLSID\\{0D43FE01-F093-11CF-8940-00A0C9054228}\\InprocServer32"},
        {IDC_LABEL_REGISTRY, "Problems Found: 12345"},
        {IDC_LABEL_IE, "Problems Found: 678"},
        {IDC_LABEL_WINDOWS, "Increase Disk Space By: 1023.99 MB"},
        {IDC_LABEL_TWEAKS, "Tweaks Available: 9"},
    };
    for (const auto& [id, text] : longest)
        SetDlgItemTextA(window, id, text.c_str());
    RECT client;
    GetClientRect(window, &client);
    for (const PageControls& page : pages) {
        Show(page.page);
        std::vector<HWND> shown;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (IsWindowVisible(child))
                shown.push_back(child);
        for (size_t i = 0; i < shown.size(); ++i) {
            RECT area = ChildRect(shown[i]), common;
            int id = GetDlgCtrlID(shown[i]);
            IntersectRect(&common, &area, &client);
            EXPECT_TRUE(EqualRect(&common, &area)) << page.name << ": control " << id << " leaves the window";
            for (size_t j = i + 1; j < shown.size(); ++j) {
                RECT other = ChildRect(shown[j]);
                EXPECT_FALSE(IntersectRect(&common, &area, &other))
                    << page.name << ": controls " << id << " and " << GetDlgCtrlID(shown[j]) << " overlap";
            }
            std::string text = WindowText(shown[i]);
            EXPECT_TRUE(text.empty() || TextFits(shown[i], text)) << page.name << ": \"" << text << "\" does not fit";
        }
    }
}

TEST_F(MainWindowPages, ShapeAndBackgroundComeFromTheSkin)
{
    GdiObject<HBITMAP> start = LoadSkinBitmap(IDB_MAIN_START), other = LoadSkinBitmap(IDB_MAIN_PAGES);
    SIZE size = BitmapSize(start.Get());
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, size.cx);
    EXPECT_EQ(client.bottom, size.cy);
    GdiObject<HRGN> shape(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(window, shape.Get()), ERROR);
    EXPECT_FALSE(PtInRegion(shape.Get(), 0, 0)) << "the magenta corner is part of the window";
    EXPECT_FALSE(PtInRegion(shape.Get(), size.cx - 1, size.cy - 1));
    EXPECT_TRUE(PtInRegion(shape.Get(), size.cx / 2, size.cy / 2));
    EXPECT_TRUE(PtInRegion(shape.Get(), 12, 0));

    // The two backgrounds differ behind the status lines; the window shows the page's one.
    HDC screen = GetDC(nullptr);
    auto pixel = [screen](HBITMAP bitmap) { return GetPixel(BitmapDc(screen, bitmap).Get(), 480, 100); };
    ASSERT_NE(pixel(start.Get()), pixel(other.Get()));
    POINT at = {480, 100};
    ClientToScreen(window, &at);
    const RECT onScreen = {at.x, at.y, at.x + 1, at.y + 1};
    Show(Page::Scanning);
    EXPECT_EQ(ScreenPixels(onScreen), std::vector<COLORREF>{pixel(other.Get())});
    Show(Page::Start);
    EXPECT_EQ(ScreenPixels(onScreen), std::vector<COLORREF>{pixel(start.Get())});
    ReleaseDC(nullptr, screen);
}

// Stored before the start page shows, then changed while the results showed:
// "Go Back" shows the latest.
TEST_F(MainWindowPages, GroupBoxesShowTheStoredSettingsWhenTheStartPageReturns)
{
    const char* first[] = {"1", "0", "1", "0"};
    const char* later[] = {"0", "1", "garbage", "0"};
    for (const char** stored : {first, later}) {
        Show(Page::Results);
        for (const GroupLine& line : groupLines)
            WriteSetting(GroupSettingsKey(line.group), stored[line.group]);
        if (stored == first)
            Show(Page::Start);
        else
            Click(IDC_GO_BACK);
        EXPECT_EQ(main.CurrentPage(), Page::Start);
        for (const GroupLine& line : groupLines)
            EXPECT_EQ(IsChecked(Item(line.check)), *stored[line.group] == '1') << line.group;
    }
}
