#pragma once
// The seam between the scan (driver and scanners, on the scan thread) and
// whoever watches it: the main window, the command line, or a test.
//
// Every call is synchronous: when it returns, the watcher has done it. The
// main window's context runs each call on the UI thread, in the order issued.

#include <atomic>
#include <string>

#include "core/ProblemRecord.h"
#include "core/ScanSection.h"

// 1 while the scan may go on; "Abort" sets it to 0.
extern std::atomic<int> keepScanning;

class ScanContext {
public:
    virtual ~ScanContext() = default;

    // ---- What every scanner uses ----
    // Test before each item; leave the loop when false.
    virtual bool KeepScanning() { return keepScanning.load() != 0; }
    // Hands a problem over; the scanner never touches it again.
    virtual void Report(ProblemPtr record) = 0;
    // The second status line: the key or path being examined.
    virtual void ShowItem(const std::string& text) = 0;
    // One step of the main progress bar.
    virtual void Step() = 0;
    // Dispatch up to ten waiting messages of the calling thread.
    virtual void Pump() = 0;
    // A failure the scanner must tell the user of ("RegOpenKeyEx FAILED"):
    // a message box in the window, a line on standard error without one.
    virtual void ShowFailure(const std::string& text) = 0;

    // ---- What the driver uses ----
    // A watcher without a window has nothing to show for most of these: by
    // default they do nothing, and no group is checked.
    // The first status line.
    virtual void SetStatus(const std::string&) {}
    // One of the four group labels (registry, IE, Windows, tweaks).
    virtual void SetGroupLabel(SectionGroupId, const std::string&) {}
    // The state of a group's check box, read when the driver reaches the group.
    virtual bool GroupChecked(SectionGroupId) { return false; }
    // Columns 1 ("Problems") and 2 ("Status") and the image of a section row.
    virtual void SetRowText(int, int, const std::string&) {}
    virtual std::string RowText(int, int) { return std::string(); }
    virtual void SetRowImage(int, int) {}
    // The main progress bar at the top of its range.
    virtual void FillProgress() {}
    // The end-of-scan message box ("Scan Completed" / "Scan Aborted"); returns
    // when the user closed it.
    virtual void ShowFinalMessage(const std::string&) {}
    // Switch the window to its results page.
    virtual void ShowResultsPage() {}
    // The scan thread is about to end (message 0x87BA).
    virtual void ScanFinished() {}
};
