#pragma once
// What the scan thread leaves for the main window between its calls: the
// item being examined, the progress steps not yet shown and the record being
// handed over. Holding them costs a lock, not a trip between threads; the
// window takes them when it draws, and the scan thread hands over whatever is
// held before any call it makes to the window, so the window still changes in
// the order of the calls.

#include <windows.h>

#include <atomic>
#include <string>

#include "core/ProblemRecord.h"

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
    // the steps to `steps`; false when nothing was held. Unless the window
    // keeps looking by itself (`keepLooking`), a look that finds nothing
    // means the next hold tells it again.
    bool Take(std::string& item, bool& itemChanged, int& steps, bool keepLooking = false);
    // Window, before a new scan: nothing held is kept, and the next hold tells it.
    void Forget();

    // A record on its way to the window: the scan thread holds it while it
    // sends the record's message, the window takes it when the message names
    // this very record, and whatever was not taken is the scan thread's again
    // (the window was gone).
    void HoldRecord(ProblemRecord* record) { heldRecord = record; }
    bool TakeRecord(ProblemRecord* record) { return heldRecord.compare_exchange_strong(record, nullptr); }
    ProblemRecord* ReclaimRecord() { return heldRecord.exchange(nullptr); }

private:
    bool Watched();

    CRITICAL_SECTION lock;
    std::string item;
    bool itemChanged = false;
    int steps = 0;
    bool watched = false;
    std::atomic<ProblemRecord*> heldRecord{nullptr};
};
