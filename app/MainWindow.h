#pragma once
// The program's main window: one skinned, fixed-size dialog with three pages
// (start, scanning, results) and the entry points to everything else.

#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "app/HeldScanProgress.h"
#include "app/ProblemCollection.h"
#include "core/Handles.h"
#include "core/ScanSection.h"
#include "repair/Repair.h"
#include "settings/IgnoreList.h"
#include "settings/ScanLog.h"
#include "ui/SkinnedDialog.h"

struct ScanPlan;
class WindowScanContext;

// The main window's title; a second copy of the program looks for it.
extern const char mainWindowTitle[];

class MainWindow : public SkinnedDialog, private ResultsDisplay {
public:
    enum class Page { Start, Scanning, Results };

    MainWindow();

    // Hides the other pages' controls, shows this page's and repaints.
    void SetPage(Page page);
    Page CurrentPage() const { return page; }

    // Resets the last scan's results, shows the scanning page and starts the
    // scan thread. Does nothing while a scan thread runs.
    void StartScan();
    // Asks the running scan to stop at its next test; nothing else.
    void AbortScan();
    bool ScanThreadRunning() const;
    // After the window is gone: gives a scan thread still running at most
    // `milliseconds` to end, so the program never ends under it.
    void WaitForScanThread(DWORD milliseconds);
    // A context through which a scan thread drives this window.
    std::unique_ptr<WindowScanContext> NewScanContext() const;

    // The problems of the last scan.
    const ProblemCollection& Problems() const { return collection; }

    // The Repair button: asks, then repairs every checked problem with a
    // backup set; a click while it runs is the abort.
    void RepairCheckedProblems();
    bool RepairRunning() const { return repairRunning; }

protected:
    BOOL OnInit() override;
    void OnCommand(int id, int notifyCode) override;
    void OnDestroy() override;
    INT_PTR OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void PaintOverlay(HDC dc) override;

private:
    void SetUpFonts();
    void SetUpSkin();
    void SetUpSectionList();
    void ShowGroupChecks();

    void OnProblemFound(ProblemRecord* record);
    void OnScanFinished();
    void OnTimer(UINT_PTR timerId) override;

    // What a scan changes many times a second (the item line, the group
    // labels, the section rows' counts, the progress bar) is noted at once
    // and shown at most every refreshMs, or when the scan asks for it before
    // any other change: the window keeps up with the scan without painting
    // for every value examined. The item line and the steps the scan thread
    // holds for the window are taken at each refresh, which comes round again
    // while the scan keeps holding more.
    void NoteScanDisplayChange();
    bool TakeHeldScanProgress();
    // The refresh comes round by itself: the scanning page shows and its timer runs.
    bool LookingByItself() const;
    void RefreshScanDisplay();
    void ForgetScanDisplay();

    // ResultsDisplay: the collection's counts on the section rows and labels.
    void ShowSectionCount(int row, unsigned section, const std::string& countText) override;
    void ShowGroupLabel(SectionGroupId group, const std::string& text) override;
    void ClearSectionRows() override;
    void InsertSectionRows(const ScanPlan& plan) override;

    void OnPreferences();
    void OnBackUp();
    void OnOptions();
    void OnLiveUpdate();
    void OnHelp();
    void OnGoBack();
    void OnMoreInfo(SectionGroupId group);
    void OnIgnoreListSaved();

    class RepairDisplay;
    static std::string RepairNotesText(const RepairOutcome& outcome);

    Page page = Page::Start;
    bool repairRunning = false;
    // The window was closed during a repair: it closes once the set is finished.
    bool closeAfterRepair = false;
    // Set by a repair that cleared the browser history; a new scan forgets it.
    RepairState repairState;

    // Before the collection, which clears the rows as it is made.
    struct PendingCount {
        unsigned section;
        std::string text;
    };
    struct ScanDisplay {
        bool itemChanged = false;
        std::string item;
        bool labelChanged[4] = {};
        std::string label[4];
        std::map<int, PendingCount> rowCounts;
        int steps = 0;
        DWORD shownAt = 0;
        bool timerSet = false;
    } pending;

    IgnoreList ignoreList;
    ScanLog scanLog;
    ProblemCollection collection;
    // The running scan thread; closed when it says it is finished.
    HandleOwner scanThread;
    // Shared with the scan contexts; cleared when the window is destroyed.
    std::shared_ptr<std::atomic<bool>> windowOpen = std::make_shared<std::atomic<bool>>(false);
    // Shared with the scan contexts: the item line and steps held for the window.
    std::shared_ptr<HeldScanProgress> held = std::make_shared<HeldScanProgress>();

    GdiObject<HFONT> titleFont;
    GdiObject<HFONT> headingFont;
    GdiObject<HFONT> nameFont;
    GdiObject<HFONT> noteFont;
    // Shown by the picture beside the status lines, which does not delete it.
    GdiObject<HBITMAP> statusIcon;
};
