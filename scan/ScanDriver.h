#pragma once
// One complete scan: which sections run (decided on the UI thread when the
// scan starts) and the driver that runs them in the fixed scan order.

#include <functional>
#include <string>

#include "core/ScanSection.h"

class ScanContext;

// The rows of the per-section results list for one scan: the row of each
// section (-1: no row), and the section codes in row order. A row's label
// is SectionRowLabel of its code.
struct ScanPlan {
    int rowOf[SectionCount];
    int rowCount = 0;
    unsigned rowSection[SectionCount];
};

// Stores the four group check states as settings and assigns rows, in row
// order, to the sections that will run. `groupChecked` is indexed by SectionGroupId.
ScanPlan PrepareSections(const bool groupChecked[4]);

// The scanners the driver calls, one member per scanner. A scan uses
// RealScanners(); a test hands in its own to watch what the driver does.
struct SectionScanners {
    using Scan = std::function<void(ScanContext&)>;
    // The argument is a drive root ("C:\"), a folder or a file pattern.
    using ScanAt = std::function<void(ScanContext&, const std::string&)>;

    Scan startupPrograms, sounds, clsids, appPaths, mruLocations, helpFiles;
    ScanAt shortcuts;
    Scan sharedDlls, fonts, addRemovePrograms, progIds, typeLibs, fileAssociations;
    Scan localMachine, currentUser, allUsers, userAssist, services, vxds;
    Scan cookies, browserCache, typedUrls;
    ScanAt tempFolder, foundFiles;
    Scan tweaks;
};

// The table of the real scanners.
const SectionScanners& RealScanners();

// Runs the scan on the calling thread (the scan thread) and returns when the
// end-of-scan message was closed and the results page shown. The thread
// joins a single-threaded COM apartment for the scan and leaves it before
// the end-of-scan message.
void ScanDriver(ScanContext& context, const ScanPlan& plan, const SectionScanners& scanners);
// The same with RealScanners().
void ScanDriver(ScanContext& context, const ScanPlan& plan);

// How often, in ms, a running scan's progress reaches the window and the scan
// thread looks at its own queue.
constexpr unsigned scanRefreshMs = 50;

// Dispatches at most ten waiting messages of the calling thread; never waits.
// Each look at the queue is a trip to the system's server, so a thread looks
// at most once every scanRefreshMs: a message that waits is dispatched by the
// first call after that.
void PumpPendingMessages();
