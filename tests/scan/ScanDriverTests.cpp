#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "scan/ScanDriver.h"
#include "support/FileBytes.h"
#include "support/RecordingContext.h"
#include "support/SavedSettings.h"
#include "support/TestThread.h"

namespace {

using S = SectionScanners;
using Calls = std::vector<std::string>;

// Scanners that only note, in the context's call list, that they ran: under
// their member's name, in lower case unlike every other call. The one named
// `abortIn` presses Abort as it ends; named with a leading '!', it fails instead.
SectionScanners RecordingScanners(RecordingContext& rc, const std::string& abortIn = "")
{
#define NOTE(member) {&S::member, #member}
    const std::pair<S::Scan S::*, const char*> plain[] = {
        NOTE(startupPrograms), NOTE(sounds), NOTE(clsids), NOTE(appPaths), NOTE(mruLocations),
        NOTE(helpFiles), NOTE(sharedDlls), NOTE(fonts), NOTE(addRemovePrograms), NOTE(progIds),
        NOTE(typeLibs), NOTE(fileAssociations), NOTE(localMachine), NOTE(currentUser),
        NOTE(allUsers), NOTE(userAssist), NOTE(services), NOTE(vxds), NOTE(cookies),
        NOTE(browserCache), NOTE(typedUrls), NOTE(tweaks)};
    const std::pair<S::ScanAt S::*, const char*> at[] = {
        NOTE(shortcuts), NOTE(tempFolder), NOTE(foundFiles)};
#undef NOTE
    auto note = [&rc, abortIn](const std::string& name, const std::string& call) {
        rc.calls.push_back(call);
        if ("!" + name == abortIn)
            throw std::runtime_error("broken");
        if (name == abortIn)
            keepScanning = 0;
    };
    SectionScanners s;
    for (const auto& p : plain)
        s.*p.first = [note, name = std::string(p.second)](ScanContext&) { note(name, name); };
    for (const auto& p : at)
        s.*p.first = [note, name = std::string(p.second)](ScanContext&, const std::string& where) {
            note(name, name + " " + where);
        };
    return s;
}

// The scanner calls, in order; with `withStatus` also the status lines.
Calls Ran(const RecordingContext& rc, bool withStatus = false)
{
    Calls ran;
    for (const std::string& call : rc.calls)
        if (islower(call[0]) || (withStatus && call.rfind("SetStatus", 0) == 0))
            ran.push_back(call);
    return ran;
}

// The sections in row order, each row known under its section.
std::vector<unsigned> Rows(const ScanPlan& plan)
{
    for (int row = 0; row < plan.rowCount; ++row)
        EXPECT_EQ(plan.rowOf[plan.rowSection[row]], row);
    return std::vector<unsigned>(plan.rowSection, plan.rowSection + plan.rowCount);
}

const bool allGroups[4] = {true, true, true, true};

class ScanDriverTest : public ScanTest {
protected:
    void Scan(const bool groups[4])
    {
        plan = PrepareSections(groups);
        std::copy(groups, groups + 4, context.groupChecked);
        ScanDriver(context, plan, scanners);
    }

    DefaultSettings settings; // every section on
    SectionScanners scanners = RecordingScanners(context);
    ScanPlan plan;
};

} // namespace

// Registry sections check the abort flag before they start (all but two); the
// later groups never do and rely on their scanners to stop. A scanner that
// fails ends the scan the way an abort does: the user gets the full bar,
// "Scan Aborted" and the results found so far.
TEST_F(ScanDriverTest, RunsEverySectionInScanOrderAndAnAbortStopsAtTheNextCheckedSection)
{
    Scan(allGroups);

    // This prefix's drives: A: floppy, C: and Z: fixed, D: CD-ROM, N: network.
    const std::string scanning = "SetStatus Scanning: ";
    const Calls expected = {scanning + "Registry Integrity", scanning + "Startup Programs", "startupPrograms",
        scanning + "Sounds Section", "sounds", scanning + "ActiveX/Classes Section", "clsids",
        scanning + "Application Paths", "appPaths", scanning + "MRULocations", "mruLocations",
        scanning + "Help Files", "helpFiles", scanning + "Invalid Shortcuts", "shortcuts C:\\",
        scanning + "Shared Program Files", "sharedDlls", scanning + "Windows Fonts", "fonts",
        scanning + "Add Remove Programs", "addRemovePrograms", scanning + "Program ID Section",
        "progIds", "typeLibs", scanning + "File Associations", "fileAssociations",
        scanning + "Complete Registry Scan", "localMachine", "currentUser", "allUsers", "userAssist",
        scanning + "System Services", "services", scanning + "VXD Section", "vxds",
        scanning + "IE Cookies", "cookies", scanning + "IE TempFiles", "browserCache",
        scanning + "IE TypedURLs", "typedUrls", scanning + "Windows Temp Files",
        "tempFolder " + TestTempFolder(), "tempFolder C:\\windows\\Temp",
        scanning + "ScanDisk Files", "foundFiles C:\\found.*", "foundFiles Z:\\found.*",
        scanning + "Windows Tweaks", "tweaks", "SetStatus "};
    EXPECT_EQ(Ran(context, true), expected);
    // The registry rows list their sections in an order of their own.
    EXPECT_EQ(Rows(plan), (std::vector<unsigned>{SectionRegistryIntegrity, SectionStartup, SectionSounds,
        SectionActiveX, SectionAppPaths, SectionHelpFiles, SectionMru, SectionShortcuts, SectionSharedDlls,
        SectionFonts, SectionAddRemove, SectionProgramId, SectionFileAssoc, SectionCompleteRegistry,
        SectionServices, SectionVxd, SectionWinTemp, SectionScanDisk, SectionIECookies, SectionIETemp,
        SectionIETypedUrls, SectionTweaks}));

    const Calls everything = Ran(context);
    const std::pair<const char*, const char*> cases[] = {// aborted in, last to run
        {"startupPrograms", "startupPrograms"}, {"helpFiles", "helpFiles"},
        {"shortcuts", "sharedDlls"}, {"sharedDlls", "sharedDlls"}, {"cookies", "tweaks"},
        {"!helpFiles", "helpFiles"}, {"!cookies", "cookies"}};
    for (const auto& [abortIn, lastToRun] : cases) {
        RecordingContext aborted;
        SectionScanners watched = RecordingScanners(aborted, abortIn);
        keepScanning = 1;
        ScanDriver(aborted, PrepareSections(allGroups), watched);

        auto last = std::find(everything.begin(), everything.end(), lastToRun);
        EXPECT_EQ(Ran(aborted), Calls(everything.begin(), last + 1)) << abortIn;
        EXPECT_EQ(Calls(aborted.calls.end() - 5, aborted.calls.end()),
                  (Calls{"FillProgress", "ShowItem Scan Aborted", "ShowFinalMessage Scan Aborted",
                         "ShowResultsPage", "ScanFinished"}))
            << abortIn;
    }
}

// Unticked groups get no rows and do not run; the rows put the Windows group
// first, the scan runs the browser group first. The scan thread sits in a
// single-threaded apartment while it scans (the shortcut check's shell link
// object needs one) and leaves it at the end.
TEST_F(ScanDriverTest, UntickedGroupsNeverRunAndTheScanThreadHasItsOwnApartment)
{
    // Asking for the multithreaded model fails inside a single-threaded apartment.
    auto tryMultithreaded = [] {
        HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(result))
            CoUninitialize();
        return result;
    };
    HRESULT insideScan = E_FAIL, afterScan = E_FAIL;
    scanners.typedUrls = [&, noted = scanners.typedUrls](ScanContext& c) { noted(c), insideScan = tryMultithreaded(); };
    const bool groups[4] = {false, true, true, false}; // Windows and IE only
    TestThread([&] {
        Scan(groups);
        afterScan = tryMultithreaded();
    }).Join();

    EXPECT_EQ(insideScan, RPC_E_CHANGED_MODE);
    EXPECT_EQ(afterScan, S_OK);
    EXPECT_EQ(Rows(plan), (std::vector<unsigned>{SectionWinTemp, SectionScanDisk, SectionIECookies,
                                                  SectionIETemp, SectionIETypedUrls}));
    EXPECT_EQ(Ran(context), (Calls{"cookies", "browserCache", "typedUrls",
                              "tempFolder " + TestTempFolder(), "tempFolder C:\\windows\\Temp",
                              "foundFiles C:\\found.*", "foundFiles Z:\\found.*"}));
    ASSERT_GE(context.calls.size(), 6u);
    EXPECT_EQ(Calls(context.calls.end() - 6, context.calls.end()),
              (Calls{"SetStatus ", "FillProgress", "ShowItem Scan Complete",
                     "ShowFinalMessage Scan Completed", "ShowResultsPage", "ScanFinished"}));
}
