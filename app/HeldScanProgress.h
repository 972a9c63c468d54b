#pragma once
// What the scan thread leaves for the main window between its calls: the
// item being examined and the progress steps not yet shown. Holding them
// costs a lock, not a trip between threads; the window takes them when it
// draws, and the scan thread hands over whatever is held before any call it
// makes to the window, so the window still changes in the order of the calls.

#include <windows.h>

#include <string>

class HeldScanProgress {
public:
    HeldScanProgress() { InitializeCriticalSection(&lock); }
    ~HeldScanProgress() { DeleteCriticalSection(&lock); }
    HeldScanProgress(const HeldScanProgress&) = delete;
    HeldScanProgress& operator=(const HeldScanProgress&) = delete;

    // Scan thread. Each returns true when the window is not looking at what
    // is held: the caller tells it once, and it looks until nothing is left.
    bool HoldItem(const std::string& text);
    bool HoldStep();

    // Window. Moves what is held into `item` (when a new one came) and adds
    // the steps to `steps`; false when nothing was held, and the window is
    // then told again by the next hold.
    bool Take(std::string& item, bool& itemChanged, int& steps);

private:
    bool Watched();

    CRITICAL_SECTION lock;
    std::string item;
    bool itemChanged = false;
    int steps = 0;
    bool watched = false;
};
