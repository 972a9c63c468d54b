#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <set>
#include <string>
#include <vector>

#include "TestWindow.h"
#include "app/MainWindow.h"
#include "resource.h"
#include "support/Planted.h"
#include "support/UiDriver.h"
#include "ui/Skin.h"

namespace {

using Page = MainWindow::Page;

// Each group's line from top to bottom: check box, label, "More Info".
struct GroupLine {
    const char* name;
    const char* setting;
    int check, label, more;
};
const GroupLine groupLines[] = {
    {"Registry", "Registry Section", IDC_CHECK_REGISTRY, IDC_LABEL_REGISTRY, IDC_MORE_REGISTRY},
    {"IE Temp", "IE Temp Section", IDC_CHECK_IE, IDC_LABEL_IE, IDC_MORE_IE},
    {"Windows", "Windows Section", IDC_CHECK_WINDOWS, IDC_LABEL_WINDOWS, IDC_MORE_WINDOWS},
    {"Tweaks", "Tweaks Section", IDC_CHECK_TWEAKS, IDC_LABEL_TWEAKS, IDC_MORE_TWEAKS},
};

struct PageControls {
    Page page;
    const char* name;
    std::set<int> shown; // besides the five navigation buttons
};
const PageControls pages[] = {
    {Page::Start, "start",
     {IDC_CHECK_REGISTRY, IDC_CHECK_IE, IDC_CHECK_WINDOWS, IDC_CHECK_TWEAKS, IDC_SCAN_NOW,
      IDC_HELP_BUTTON}},
    {Page::Scanning, "scanning",
     {IDC_ABORT, IDC_SCAN_PROGRESS, IDC_STATUS_SECTION, IDC_STATUS_ITEM, IDC_STATUS_ICON,
      IDC_LABEL_REGISTRY, IDC_LABEL_IE, IDC_LABEL_WINDOWS, IDC_LABEL_TWEAKS}},
    {Page::Results, "results",
     {IDC_REPAIR, IDC_GO_BACK, IDC_REPAIR_PROGRESS, IDC_MORE_REGISTRY, IDC_MORE_IE,
      IDC_MORE_WINDOWS, IDC_MORE_TWEAKS}},
};

int CentreY(HWND control)
{
    RECT area = ChildRect(control);
    return (area.top + area.bottom) / 2;
}

// Whether the control's text fits inside it in its own font.
bool TextFits(HWND control, const std::string& text)
{
    RECT area = ChildRect(control);
    int width = area.right - area.left, height = area.bottom - area.top;
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    char className[32] = "";
    GetClassNameA(control, className, sizeof(className));
    LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    bool fits = true;
    if (lstrcmpiA(className, "Button") == 0) {
        SIZE size;
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        // A check box's text starts after its box.
        int room = (style & BS_TYPEMASK) == BS_AUTOCHECKBOX ? width - 20 : width - 8;
        fits = size.cx <= room && size.cy <= height;
    } else if (!(style & (SS_PATHELLIPSIS | SS_ENDELLIPSIS))) {
        RECT needed = {0, 0, width, 0};
        DrawTextA(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        fits = needed.right <= width && needed.bottom <= height;
    }
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return fits;
}

class MainWindowPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = main.CreateModeless(nullptr);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        Pump();
    }
    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        Pump();
    }
    void Pump() { PumpWindowMessages(window); }
    void Show(Page page)
    {
        main.SetPage(page);
        Pump();
    }
    HWND Item(int id) const { return GetDlgItem(window, id); }
    // The texts the scan writes at their longest, so that layout is judged on them.
    void FillScanningTexts()
    {
        SetDlgItemTextA(window, IDC_STATUS_SECTION, SectionStatusText(SectionCompleteRegistry).c_str());
        SetDlgItemTextA(window, IDC_STATUS_ITEM,
                        "HKEY_CLASSES_ROOT\\CLSID\\{0D43FE01-F093-11CF-8940-00A0C9054228}\\InprocServer32");
        SetDlgItemTextA(window, IDC_LABEL_REGISTRY, "Problems Found: 12345");
        SetDlgItemTextA(window, IDC_LABEL_IE, "Problems Found: 678");
        SetDlgItemTextA(window, IDC_LABEL_WINDOWS, "Increase Disk Space By: 1023.99 MB");
        SetDlgItemTextA(window, IDC_LABEL_TWEAKS, "Tweaks Available: 9");
        SendMessageA(Item(IDC_SCAN_PROGRESS), PBM_SETPOS, 40, 0);
    }

    MainWindow main;
    HWND window = nullptr;
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
        for (int id : {IDC_SCAN, IDC_PREFERENCES, IDC_BACKUP, IDC_OPTIONS, IDC_LIVE_UPDATE})
            EXPECT_TRUE(IsWindowVisible(Item(id))) << page.name << ": navigation button " << id;
        for (int id : all)
            EXPECT_EQ(IsWindowVisible(Item(id)) != FALSE, page.shown.count(id) == 1)
                << page.name << " page, control " << id;
    }
    EXPECT_EQ(WindowText(Item(IDC_REPAIR)), "Repair Problems") << "the results page resets it";
    EXPECT_EQ(WindowText(window), "Quillmoor v8.0");
    EXPECT_EQ(WindowText(Item(IDC_SCAN_NOW)), "Scan Now");
    EXPECT_EQ(WindowText(Item(IDC_GO_BACK)), "Go Back");
    EXPECT_EQ(WindowText(Item(IDC_MORE_TWEAKS)), "More Info");
}

TEST_F(MainWindowPages, GroupLinesLineUpAndNoControlOverlapsAnotherOrLosesText)
{
    int previous = -1;
    for (const GroupLine& line : groupLines) {
        int check = CentreY(Item(line.check));
        EXPECT_NEAR(CentreY(Item(line.label)), check, 1) << line.name;
        EXPECT_NEAR(CentreY(Item(line.more)), check, 1) << line.name;
        EXPECT_GT(check, previous) << line.name << " is out of order";
        previous = check;
    }

    FillScanningTexts();
    RECT client;
    GetClientRect(window, &client);
    for (const PageControls& page : pages) {
        Show(page.page);
        std::vector<HWND> shown;
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (IsWindowVisible(child))
                shown.push_back(child);
        for (size_t i = 0; i < shown.size(); ++i) {
            RECT area = ChildRect(shown[i]), inside;
            int id = GetDlgCtrlID(shown[i]);
            IntersectRect(&inside, &area, &client);
            EXPECT_TRUE(EqualRect(&inside, &area)) << page.name << ": control " << id << " leaves the window";
            for (size_t j = i + 1; j < shown.size(); ++j) {
                RECT other = ChildRect(shown[j]), common;
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
    auto pixel = [screen](HBITMAP bitmap, int x, int y) { return GetPixel(BitmapDc(screen, bitmap).Get(), x, y); };
    POINT at = {480, 100};
    ASSERT_NE(pixel(start.Get(), at.x, at.y), pixel(other.Get(), at.x, at.y));
    ClientToScreen(window, &at);
    const RECT onScreen = {at.x, at.y, at.x + 1, at.y + 1};
    Show(Page::Scanning);
    EXPECT_EQ(ScreenPixels(onScreen), std::vector<COLORREF>{pixel(other.Get(), 480, 100)});
    Show(Page::Start);
    EXPECT_EQ(ScreenPixels(onScreen), std::vector<COLORREF>{pixel(start.Get(), 480, 100)});
    ReleaseDC(nullptr, screen);
}

TEST_F(MainWindowPages, GroupBoxesShowTheStoredSettingsWhenTheStartPageReturns)
{
    PlantedKey settings(HKEY_CURRENT_USER, "SOFTWARE\\Quillmoor8");
    // Stored before the start page shows, then changed while the results
    // showed: "Go Back" shows the latest.
    const char* first[] = {"1", "0", "1", "0"};
    const char* later[] = {"0", "1", "garbage", "0"};
    for (int i = 0; i < 4; ++i)
        settings.SetString(groupLines[i].setting, first[i]);
    Show(Page::Start);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(IsChecked(Item(groupLines[i].check)), *first[i] == '1') << groupLines[i].name;

    Show(Page::Results);
    for (int i = 0; i < 4; ++i)
        settings.SetString(groupLines[i].setting, later[i]);
    SendMessageA(Item(IDC_GO_BACK), BM_CLICK, 0, 0);
    Pump();
    EXPECT_EQ(main.CurrentPage(), Page::Start);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(IsChecked(Item(groupLines[i].check)), *later[i] == '1') << groupLines[i].name << " after Go Back";
}
