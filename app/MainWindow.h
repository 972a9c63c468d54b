#pragma once
// The program's main window: one skinned, fixed-size dialog with three pages
// (start, scanning, results) and the entry points to everything else.

#include "core/Handles.h"
#include "core/ScanSection.h"
#include "ui/SkinnedDialog.h"

// The main window's title; a second copy of the program looks for it.
extern const char mainWindowTitle[];

class MainWindow : public SkinnedDialog {
public:
    enum class Page { Start, Scanning, Results };

    MainWindow();

    // Hides the other pages' controls, shows this page's and repaints.
    void SetPage(Page page);
    Page CurrentPage() const { return page; }

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;
    void PaintOverlay(HDC dc) override;

private:
    void SetUpFonts();
    void SetUpSkin();
    void SetUpSectionList();
    void ShowGroupChecks();

    void OnScan();
    void OnAbort();
    void OnPreferences();
    void OnBackUp();
    void OnOptions();
    void OnLiveUpdate();
    void OnHelp();
    void OnRepair();
    void OnGoBack();
    void OnMoreInfo(SectionGroupId group);

    Page page = Page::Start;
    bool repairRunning = false;
    GdiObject<HFONT> titleFont;
    GdiObject<HFONT> headingFont;
    GdiObject<HFONT> nameFont;
    GdiObject<HFONT> noteFont;
    // Shown by the picture beside the status lines, which does not delete it.
    GdiObject<HBITMAP> statusIcon;
};
