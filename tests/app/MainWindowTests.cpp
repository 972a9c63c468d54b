#include <commctrl.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "TestWindow.h"
#include "resource.h"
#include "ui/Skin.h"

namespace {

using Page = MainWindow::Page;

// Each group's line: check box, label, "More Info".
const int groupLines[][3] = {{IDC_CHECK_REGISTRY, IDC_LABEL_REGISTRY, IDC_MORE_REGISTRY},
                             {IDC_CHECK_IE, IDC_LABEL_IE, IDC_MORE_IE},
                             {IDC_CHECK_WINDOWS, IDC_LABEL_WINDOWS, IDC_MORE_WINDOWS},
                             {IDC_CHECK_TWEAKS, IDC_LABEL_TWEAKS, IDC_MORE_TWEAKS}};

// Each page with the controls it shows besides the five navigation buttons.
const struct PageControls { Page page; const char* name; std::set<int> shown; } pages[] = {
    {Page::Start, "start",
     {IDC_CHECK_REGISTRY, IDC_CHECK_IE, IDC_CHECK_WINDOWS, IDC_CHECK_TWEAKS, IDC_SCAN_NOW, IDC_HELP_BUTTON}},
    {Page::Scanning, "scanning",
     {IDC_ABORT, IDC_SCAN_PROGRESS, IDC_STATUS_SECTION, IDC_STATUS_ITEM, IDC_STATUS_ICON, IDC_LABEL_REGISTRY,
      IDC_LABEL_IE, IDC_LABEL_WINDOWS, IDC_LABEL_TWEAKS}},
    {Page::Results, "results",
     {IDC_REPAIR, IDC_GO_BACK, IDC_REPAIR_PROGRESS, IDC_MORE_REGISTRY, IDC_MORE_IE, IDC_MORE_WINDOWS,
      IDC_MORE_TWEAKS}},
};

// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND control)
{
    RECT area;
    GetWindowRect(control, &area);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&area), 2);
    return area;
}

// Whether the control's text fits inside it in its own font (a check box's
// text starts after its box; an ellipsis static shortens its own).
bool TextFits(HWND control, const std::string& text)
{
    RECT area = ChildRect(control), needed = {0, 0, area.right - area.left, 0};
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    char className[32] = "";
    GetClassNameA(control, className, sizeof(className));
    LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    if (lstrcmpiA(className, "Button") == 0) {
        DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_SINGLELINE);
        needed.right += (style & BS_TYPEMASK) == BS_AUTOCHECKBOX ? 20 : 8;
    } else if (!(style & (SS_PATHELLIPSIS | SS_ENDELLIPSIS))) {
        DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    }
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return needed.right <= area.right - area.left && needed.bottom <= area.bottom - area.top;
}

} // namespace

// The skin gives the window its size, shape and each page's background. Each
// page shows only its controls; with the scan's texts at their longest none
// leaves the window, overlaps another or loses text; group lines stand level.
TEST_F(MainWindowTest, PagesShowTheirControlsOverTheSkinWithoutOverlapOrLostText)
{
    GdiObject<HBITMAP> start = LoadSkinBitmap(IDB_MAIN_START), other = LoadSkinBitmap(IDB_MAIN_PAGES);
    SIZE size = BitmapSize(start.Get());
    RECT client;
    GetClientRect(window, &client);
    EXPECT_TRUE(client.right == size.cx && client.bottom == size.cy) << client.right << "x" << client.bottom;
    GdiObject<HRGN> shape(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(window, shape.Get()), ERROR);
    EXPECT_FALSE(PtInRegion(shape.Get(), 0, 0) || PtInRegion(shape.Get(), size.cx - 1, size.cy - 1));
    EXPECT_TRUE(PtInRegion(shape.Get(), size.cx / 2, size.cy / 2) && PtInRegion(shape.Get(), 12, 0));
    // The two backgrounds differ behind the status lines; the window shows the page's one.
    HDC screen = GetDC(nullptr);
    auto pixel = [screen](HBITMAP bitmap) { return GetPixel(BitmapDc(screen, bitmap).Get(), 480, 100); };
    ASSERT_NE(pixel(start.Get()), pixel(other.Get()));
    POINT at = {480, 100};
    ClientToScreen(window, &at);
    for (HBITMAP shown : {other.Get(), start.Get()}) {
        Show(shown == start.Get() ? Page::Start : Page::Scanning);
        EXPECT_EQ(ScreenPixels({at.x, at.y, at.x + 1, at.y + 1}), std::vector<COLORREF>{pixel(shown)});
    }
    ReleaseDC(nullptr, screen);

    std::set<int> all = {IDC_SECTION_LIST, IDC_HIDDEN_LIST, IDC_SCAN, IDC_PREFERENCES, IDC_BACKUP, IDC_OPTIONS,
                         IDC_LIVE_UPDATE};
    for (const PageControls& page : pages)
        all.insert(page.shown.begin(), page.shown.end());
    const std::pair<int, std::string> longest[] = {
        {IDC_STATUS_SECTION, SectionStatusText(SectionCompleteRegistry)},
        {IDC_STATUS_ITEM, "HKEY_CLASSES_ROOT\\CLSID\\{0D43FE01-F093-11CF-8940-00A0C9054228}\\InprocServer32"},
        {IDC_LABEL_REGISTRY, "Problems Found: 12345"},        {IDC_LABEL_IE, "Problems Found: 678"},
        {IDC_LABEL_WINDOWS, "Increase Disk Space By: 1023.99 MB"}, {IDC_LABEL_TWEAKS, "Tweaks Available: 9"},
    };
    for (const auto& [id, text] : longest)
        SetDlgItemTextA(window, id, text.c_str());
    for (const PageControls& page : pages) {
        SCOPED_TRACE(page.name);
        SetDlgItemTextA(window, IDC_REPAIR, "Abort");
        Show(page.page);
        for (int id : all) // the navigation buttons on every page
            EXPECT_EQ(IsWindowVisible(Item(id)) != FALSE, page.shown.count(id) || id <= IDC_LIVE_UPDATE) << id;
        std::vector<HWND> shown;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (IsWindowVisible(child))
                shown.push_back(child);
        for (size_t i = 0; i < shown.size(); ++i) {
            RECT area = ChildRect(shown[i]), common;
            int id = GetDlgCtrlID(shown[i]);
            IntersectRect(&common, &area, &client);
            EXPECT_TRUE(EqualRect(&common, &area)) << "control " << id << " leaves the window";
            for (size_t j = i + 1; j < shown.size(); ++j) {
                RECT other = ChildRect(shown[j]);
                EXPECT_FALSE(IntersectRect(&common, &area, &other)) << id << " and " << GetDlgCtrlID(shown[j]);
            }
            std::string text = WindowText(shown[i]);
            EXPECT_TRUE(text.empty() || TextFits(shown[i], text)) << "\"" << text << "\" does not fit";
        }
    }
    EXPECT_EQ(Text(IDC_REPAIR), "Repair Problems") << "the results page resets it";
    auto middle = [this](int id) { return (ChildRect(Item(id)).top + ChildRect(Item(id)).bottom) / 2; };
    for (const int* line : groupLines)
        EXPECT_TRUE(std::abs(middle(line[1]) - middle(line[0])) <= 1 && std::abs(middle(line[2]) - middle(line[0])) <= 1)
            << line[0];
}
