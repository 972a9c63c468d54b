#pragma once
// One complete scan: which sections run (decided on the UI thread when the
// scan starts) and the driver that runs them in the fixed scan order.

#include "core/ScanSection.h"

class ScanContext;

// The rows of the per-section results list for one scan: the row of each
// section (-1: no row), and the section codes in row order.
struct ScanPlan {
    int rowOf[SectionCount];
    int rowCount = 0;
    unsigned rowSection[SectionCount];
};

// Stores the four group check states as settings and assigns rows, in row
// order, to the sections that will run. `groupChecked` is indexed by SectionGroupId.
ScanPlan PrepareSections(const bool groupChecked[4]);

// Runs the scan on the calling thread (the scan thread) and returns when the
// end-of-scan message was closed and the results page shown.
void ScanDriver(ScanContext& context, const ScanPlan& plan);

// Dispatches at most ten waiting messages of the calling thread; never waits.
void PumpPendingMessages();
