#pragma once
// The scan context of the main window. It lives on the scan thread and knows
// the window only by its handles: every call is a message sent to the window
// or to one of its controls, so the UI thread carries it out while the scan
// thread waits, in the order the calls were made. Once the window is gone
// every call does nothing, so the scan winds down without touching it: the
// window clears the shared `windowOpen` flag when it is destroyed, since a
// freed window handle may soon name another window.

#include <windows.h>

#include <atomic>
#include <memory>

#include "app/HeldScanProgress.h"
#include "scan/ScanContext.h"

// Private messages of the main window. The scan thread hands a problem over
// (wParam: the released ProblemRecord, held for the window meanwhile: the
// window owns it once it has taken it from there),
// asks for the results page, tells the window that an item or steps are held
// for it (posted, once until the window found nothing left), has the window
// bring its item line, labels, rows and bar up to date, and says it is about
// to end (posted).
constexpr UINT WM_PROBLEM_FOUND = 0x87B7;
constexpr UINT WM_SCAN_FINISHED = 0x87BA;
constexpr UINT WM_SHOW_RESULTS_PAGE = 0x87BB;
constexpr UINT WM_SCAN_PROGRESS_HELD = 0x87BC;
constexpr UINT WM_REFRESH_SCAN_DISPLAY = 0x87BE;

class WindowScanContext : public ScanContext {
public:
    WindowScanContext(HWND mainWindow, std::shared_ptr<const std::atomic<bool>> windowOpen,
                      std::shared_ptr<HeldScanProgress> held);

    void Report(ProblemPtr record) override;
    void ShowItem(const std::string& text) override;
    void Step() override;
    void Pump() override;
    void ShowFailure(const std::string& text, BoxTitle title) override;
    void SetStatus(const std::string& text) override;
    void SetGroupLabel(SectionGroupId group, const std::string& text) override;
    bool GroupChecked(SectionGroupId group) override;
    void SetRowText(int row, int column, const std::string& text) override;
    std::string RowText(int row, int column) override;
    void SetRowImage(int row, int image) override;
    void FillProgress() override;
    void ShowFinalMessage(const std::string& text) override;
    void ShowResultsPage() override;
    void ScanFinished() override;

private:
    HWND Control(int id) const { return GetDlgItem(window, id); }
    bool Open() const { return windowOpen->load(); }
    // Every call but the item line, the step and a record first has the
    // window show what those left pending, so the window changes in the
    // order the calls were made.
    bool OpenAndShown() const;

    HWND window;
    std::shared_ptr<const std::atomic<bool>> windowOpen;
    std::shared_ptr<HeldScanProgress> held;
    // Looked up once: they live as long as the window.
    HWND progress;
    HWND sectionList;
};
