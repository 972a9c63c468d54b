#include <gtest/gtest.h>
#include <objbase.h>
#include <shlwapi.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "scan/ScanDriver.h"
#include "support/RecordingContext.h"
#include "support/SavedSettings.h"

namespace {

// The settings the driver reads, written and read straight in the registry.
struct TestSettings {
    static constexpr const char* path = "SOFTWARE\\Quillmoor8";

    static void Set(const std::string& name, const std::string& text)
    {
        SHSetValueA(HKEY_CURRENT_USER, path, name.c_str(), REG_SZ, text.c_str(),
                    static_cast<DWORD>(text.size() + 1));
    }
    // Every section on or off: on for the codes listed, off for the others.
    static void OnlySections(const std::vector<unsigned>& on)
    {
        for (unsigned code = 0; code < SectionCount; ++code)
            if (code != SectionReserved)
                Set(SectionSettingsKey(code), std::count(on.begin(), on.end(), code) ? "1" : "0");
    }
    static std::string Get(const std::string& name)
    {
        char text[260] = {};
        DWORD size = sizeof(text);
        if (SHGetValueA(HKEY_CURRENT_USER, path, name.c_str(), nullptr, text, &size) !=
            ERROR_SUCCESS)
            return "<missing>";
        return text;
    }
};

std::vector<unsigned> AllSections()
{
    std::vector<unsigned> all;
    for (unsigned code = 0; code < SectionCount; ++code)
        if (code != SectionReserved)
            all.push_back(code);
    return all;
}

// Scanners that only note, in the context's call list, that they ran.
SectionScanners RecordingScanners(RecordingContext& rc)
{
    SectionScanners s;
    struct Plain {
        SectionScanners::Scan SectionScanners::*member;
        const char* name;
    };
    const Plain plain[] = {
        {&SectionScanners::startupPrograms, "ScanStartupPrograms"},
        {&SectionScanners::sounds, "ScanSounds"},
        {&SectionScanners::clsids, "ScanClsids"},
        {&SectionScanners::appPaths, "ScanAppPaths"},
        {&SectionScanners::mruLocations, "ScanMruLocations"},
        {&SectionScanners::helpFiles, "ScanHelpFiles"},
        {&SectionScanners::sharedDlls, "ScanSharedDlls"},
        {&SectionScanners::fonts, "ScanFonts"},
        {&SectionScanners::addRemovePrograms, "ScanAddRemovePrograms"},
        {&SectionScanners::progIds, "ScanProgIds"},
        {&SectionScanners::typeLibs, "ScanTypeLibs"},
        {&SectionScanners::fileAssociations, "ScanFileAssociations"},
        {&SectionScanners::localMachine, "ScanLocalMachine"},
        {&SectionScanners::currentUser, "ScanCurrentUser"},
        {&SectionScanners::allUsers, "ScanAllUsers"},
        {&SectionScanners::userAssist, "ScanUserAssist"},
        {&SectionScanners::services, "ScanServices"},
        {&SectionScanners::vxds, "ScanVxds"},
        {&SectionScanners::cookies, "ScanCookies"},
        {&SectionScanners::browserCache, "ScanBrowserCache"},
        {&SectionScanners::typedUrls, "ScanTypedUrls"},
        {&SectionScanners::tweaks, "ScanTweaks"},
    };
    for (const Plain& p : plain) {
        std::string name = p.name;
        s.*p.member = [&rc, name](ScanContext&) { rc.calls.push_back(name); };
    }
    s.shortcuts = [&rc](ScanContext&, const std::string& root) {
        rc.calls.push_back("ScanShortcuts " + root);
    };
    s.tempFolder = [&rc](ScanContext&, const std::string& folder) {
        rc.calls.push_back("ScanTempFolder " + folder);
    };
    s.foundFiles = [&rc](ScanContext&, const std::string& pattern) {
        rc.calls.push_back("ScanFoundFiles " + pattern);
    };
    return s;
}

std::vector<std::string> Without(const std::vector<std::string>& calls, const std::string& prefix)
{
    std::vector<std::string> kept;
    for (const std::string& call : calls)
        if (call.compare(0, prefix.size(), prefix) != 0)
            kept.push_back(call);
    return kept;
}

std::string Lines(const std::vector<std::string>& calls)
{
    std::string text;
    for (const std::string& call : calls)
        text += call + "\n";
    return text;
}

std::string UserTempFolder()
{
    char buffer[MAX_PATH] = {};
    GetTempPathA(sizeof(buffer), buffer);
    return buffer;
}

const bool allGroups[4] = {true, true, true, true};

class ScanDriverTest : public testing::Test {
protected:
    void SetUp() override { keepScanning = 1; }
    void TearDown() override { keepScanning = 0; }

    // Plans with the groups given, then runs the driver with recording scanners.
    void Scan(const bool groups[4])
    {
        plan = PrepareSections(groups);
        std::copy(groups, groups + 4, rc.groupChecked);
        ScanDriver(rc, plan, scanners);
    }

    SavedSettingsKey savedKey;
    TestSettings settings;
    RecordingContext rc;
    SectionScanners scanners = RecordingScanners(rc);
    ScanPlan plan;
};

} // namespace

TEST_F(ScanDriverTest, PlanFollowsRowOrderAndStoresTheGroupStates)
{
    std::vector<unsigned> on = AllSections();
    on.erase(std::find(on.begin(), on.end(), SectionSounds));
    settings.OnlySections(on);
    settings.Set("Tweaks Section", "1");
    const bool groups[4] = {true, true, true, false}; // registry, Windows, IE; no tweaks

    plan = PrepareSections(groups);

    const unsigned expected[] = {
        SectionRegistryIntegrity, SectionStartup, SectionActiveX, SectionAppPaths,
        SectionHelpFiles, SectionMru, SectionShortcuts, SectionSharedDlls, SectionFonts,
        SectionAddRemove, SectionProgramId, SectionFileAssoc, SectionCompleteRegistry,
        SectionServices, SectionVxd, SectionWinTemp, SectionScanDisk, SectionIECookies,
        SectionIETemp, SectionIETypedUrls,
    };
    ASSERT_EQ(plan.rowCount, static_cast<int>(std::size(expected)));
    for (int row = 0; row < plan.rowCount; ++row) {
        EXPECT_EQ(plan.rowSection[row], expected[row]) << "row " << row;
        EXPECT_EQ(plan.rowOf[expected[row]], row);
    }
    EXPECT_EQ(plan.rowOf[SectionSounds], -1);
    EXPECT_EQ(plan.rowOf[SectionTweaks], -1);
    EXPECT_STREQ(SectionRowLabel(plan.rowSection[5]), "MRU Locations");

    EXPECT_EQ(TestSettings::Get("Registry Section"), "1");
    EXPECT_EQ(TestSettings::Get("Windows Section"), "1");
    EXPECT_EQ(TestSettings::Get("IE Temp Section"), "1");
    EXPECT_EQ(TestSettings::Get("Tweaks Section"), "0");
}

TEST_F(ScanDriverTest, RunsEverySectionInScanOrderWithItsStatusText)
{
    settings.OnlySections(AllSections());
    Scan(allGroups);

    // This prefix's drives: A: floppy, C: and Z: fixed, D: CD-ROM, N: network.
    const std::vector<std::string> expected = {
        "SetStatus Scanning: Registry Integrity",
        "SetStatus Scanning: Startup Programs", "ScanStartupPrograms",
        "SetStatus Scanning: Sounds Section", "Pump", "ScanSounds",
        "SetStatus Scanning: ActiveX/Classes Section", "ScanClsids", "Pump",
        "SetStatus Scanning: Application Paths", "Pump", "ScanAppPaths",
        "SetStatus Scanning: MRULocations", "Pump", "ScanMruLocations",
        "SetStatus Scanning: Help Files", "Pump", "ScanHelpFiles",
        "SetStatus Scanning: Invalid Shortcuts", "Pump", "ScanShortcuts C:\\",
        "SetStatus Scanning: Shared Program Files", "Pump", "ScanSharedDlls",
        "SetStatus Scanning: Windows Fonts", "Pump", "ScanFonts",
        "SetStatus Scanning: Add Remove Programs", "Pump", "ScanAddRemovePrograms",
        "SetStatus Scanning: Program ID Section", "Pump", "ScanProgIds", "ScanTypeLibs",
        "SetStatus Scanning: File Associations", "Pump", "ScanFileAssociations",
        "SetStatus Scanning: Complete Registry Scan", "Pump", "ScanLocalMachine",
        "ScanCurrentUser", "ScanAllUsers", "ScanUserAssist",
        "SetStatus Scanning: System Services", "Pump", "ScanServices",
        "SetStatus Scanning: VXD Section", "Pump", "ScanVxds",
        "SetStatus Scanning: IE Cookies", "Pump", "ScanCookies",
        "SetStatus Scanning: IE TempFiles", "Pump", "ScanBrowserCache",
        "SetStatus Scanning: IE TypedURLs", "Pump", "ScanTypedUrls",
        "SetStatus Scanning: Windows Temp Files", "Pump",
        "ScanTempFolder " + UserTempFolder(), "ScanTempFolder C:\\windows\\Temp",
        "SetStatus Scanning: ScanDisk Files", "Pump", "ScanFoundFiles C:\\found.*",
        "ScanFoundFiles Z:\\found.*",
        "SetStatus Scanning: Windows Tweaks", "Pump", "ScanTweaks",
        "SetStatus ",
    };
    std::vector<std::string> seen;
    for (const std::string& call : rc.calls)
        if ((call.compare(0, 4, "Scan") == 0 && call != "ScanFinished") || call == "Pump" ||
            call.compare(0, 9, "SetStatus") == 0)
            seen.push_back(call);
    EXPECT_EQ(Lines(seen), Lines(expected));
}

TEST_F(ScanDriverTest, RowsGoFromScanningToFinishedWithTheProblemCountAndImage)
{
    settings.OnlySections({SectionStartup, SectionSounds});
    std::vector<std::string> duringStartup;
    scanners.startupPrograms = [&](ScanContext&) {
        duringStartup = rc.rows.at(0);
        rc.SetRowText(0, 1, "3"); // as the window does while problems arrive
    };

    Scan(allGroups);

    ASSERT_EQ(plan.rowCount, 2);
    EXPECT_EQ(duringStartup, (std::vector<std::string>{"", "0", "Scanning"}));
    EXPECT_EQ(rc.RowText(0, 1), "3");
    EXPECT_EQ(rc.RowText(0, 2), "Finished");
    EXPECT_EQ(rc.rowImages.at(0), 1);
    EXPECT_EQ(rc.RowText(1, 1), "0");
    EXPECT_EQ(rc.RowText(1, 2), "Finished");
    EXPECT_EQ(rc.rowImages.at(1), 0);
}

TEST_F(ScanDriverTest, SettingsAndGroupBoxesAreReadWhenTheDriverReachesThem)
{
    settings.OnlySections({SectionStartup, SectionTweaks});
    rc.groupChecked[GroupTweaks] = false;
    const bool groups[4] = {true, true, true, false};
    scanners.startupPrograms = [&](ScanContext&) {
        settings.Set("Windows Fonts", "1");
        rc.groupChecked[GroupTweaks] = true;
    };

    Scan(groups);

    // Both sections got no row at the start, yet run now; nothing touches a row
    // other than the one of "Startup Programs".
    ASSERT_EQ(plan.rowCount, 1);
    auto ran = [&](const std::string& name) {
        return std::count(rc.calls.begin(), rc.calls.end(), name) == 1;
    };
    EXPECT_TRUE(ran("ScanFonts"));
    EXPECT_TRUE(ran("ScanTweaks"));
    EXPECT_EQ(rc.CallsStartingWith("SetRowText").size(), 3u);
    EXPECT_EQ(rc.CallsStartingWith("SetRowText 0 ").size(), 3u);
    EXPECT_EQ(rc.CallsStartingWith("SetRowImage").size(), 1u);
    EXPECT_EQ(rc.CallsStartingWith("SetRowImage 0 ").size(), 1u);
}

TEST_F(ScanDriverTest, RegistryIntegrityTakesHalfASecondAndFindsNothing)
{
    settings.OnlySections({SectionRegistryIntegrity});
    DWORD start = GetTickCount();
    Scan(allGroups);
    DWORD elapsed = GetTickCount() - start;

    EXPECT_GE(elapsed, 450u);
    EXPECT_LT(elapsed, 2000u);
    ASSERT_EQ(plan.rowCount, 1);
    EXPECT_EQ(rc.RowText(0, 1), "0");
    EXPECT_EQ(rc.RowText(0, 2), "Finished");
    EXPECT_EQ(rc.rowImages.at(0), 0);
    EXPECT_TRUE(rc.CallsStartingWith("ScanStartup").empty());
}

TEST_F(ScanDriverTest, NothingOnStillEndsWithScanCompleteAndTheResultsPage)
{
    settings.OnlySections({});
    Scan(allGroups);

    EXPECT_EQ(plan.rowCount, 0);
    const std::vector<std::string> expected = {
        "SetGroupLabel 0 Problems Found: 0",
        "SetGroupLabel 2 Problems Found: 0",
        "SetGroupLabel 1 Increase Disk Space By: 0",
        "SetGroupLabel 3 Tweaks Available: 0",
        "SetStatus ",
        "FillProgress",
        "ShowItem Scan Complete",
        "ShowFinalMessage Scan Completed",
        "ShowResultsPage",
        "ScanFinished",
    };
    EXPECT_EQ(Without(rc.calls, "GroupChecked"), expected);
}

TEST_F(ScanDriverTest, UncheckedRegistryBoxStartsTheScanWithTheBrowserSections)
{
    settings.OnlySections(AllSections());
    const bool groups[4] = {false, true, true, false};
    Scan(groups);

    ASSERT_GT(plan.rowCount, 0);
    EXPECT_STREQ(SectionRowLabel(plan.rowSection[0]), "Windows Temp Files");
    std::vector<std::string> statuses = rc.CallsStartingWith("SetStatus Scanning");
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), "SetStatus Scanning: IE Cookies");
    EXPECT_TRUE(rc.CallsStartingWith("ScanStartup").empty());
}

// Where the abort is noticed decides which sections still run: registry
// sections check before they start (all but two), the later groups never.
TEST_F(ScanDriverTest, AbortStopsAtTheNextCheckedSection)
{
    const std::vector<std::string> scanOrder = {
        "ScanStartupPrograms", "ScanSounds", "ScanClsids", "ScanAppPaths", "ScanMruLocations",
        "ScanHelpFiles", "ScanShortcuts", "ScanSharedDlls", "ScanFonts",
        "ScanAddRemovePrograms", "ScanProgIds", "ScanTypeLibs", "ScanFileAssociations",
        "ScanLocalMachine", "ScanCurrentUser", "ScanAllUsers", "ScanUserAssist", "ScanServices",
        "ScanVxds", "ScanCookies", "ScanBrowserCache", "ScanTypedUrls", "ScanTempFolder",
        "ScanTempFolder", "ScanFoundFiles", "ScanFoundFiles", "ScanTweaks",
    };
    struct Case {
        SectionScanners::Scan SectionScanners::*aborting;
        const char* lastToRun;
    };
    const Case cases[] = {
        {&SectionScanners::startupPrograms, "ScanStartupPrograms"},
        {&SectionScanners::helpFiles, "ScanHelpFiles"},
        {&SectionScanners::sharedDlls, "ScanSharedDlls"},
        {&SectionScanners::cookies, "ScanTweaks"},
    };
    settings.OnlySections(AllSections());
    settings.Set("Registry Integrity", "0");
    for (const Case& c : cases) {
        RecordingContext context;
        SectionScanners watched = RecordingScanners(context);
        SectionScanners::Scan original = watched.*c.aborting;
        watched.*c.aborting = [&, original](ScanContext& sc) {
            original(sc);
            keepScanning = 0;
        };
        keepScanning = 1;
        ScanDriver(context, PrepareSections(allGroups), watched);

        std::vector<std::string> ran;
        for (const std::string& call : context.calls)
            if (call.compare(0, 4, "Scan") == 0 && call != "ScanFinished")
                ran.push_back(call.substr(0, call.find(' ')));
        auto last = std::find(scanOrder.begin(), scanOrder.end(), c.lastToRun);
        EXPECT_EQ(ran, std::vector<std::string>(scanOrder.begin(), last + 1)) << c.lastToRun;
        std::vector<std::string> end(context.calls.end() - 4, context.calls.end());
        EXPECT_EQ(end, (std::vector<std::string>{"ShowItem Scan Aborted",
                                                 "ShowFinalMessage Scan Aborted",
                                                 "ShowResultsPage", "ScanFinished"}));
    }
}

TEST_F(ScanDriverTest, ScanThreadWorksInItsOwnApartmentAndLeavesIt)
{
    settings.OnlySections({SectionStartup});
    HRESULT insideScan = E_FAIL;
    HRESULT afterScan = E_FAIL;
    scanners.startupPrograms = [&](ScanContext&) {
        // Asking for the multithreaded model fails when the thread is already
        // in a single-threaded apartment.
        insideScan = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(insideScan))
            CoUninitialize();
    };
    std::thread scanThread([&] {
        plan = PrepareSections(allGroups);
        ScanDriver(rc, plan, scanners);
        afterScan = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(afterScan))
            CoUninitialize();
    });
    scanThread.join();

    EXPECT_EQ(insideScan, RPC_E_CHANGED_MODE);
    EXPECT_EQ(afterScan, S_OK);
}

namespace {

int dispatched = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP + 1) {
        ++dispatched;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TEST(PumpPendingMessages, DispatchesAtMostTenAndNeverWaits)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QuillmoorPumpTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("QuillmoorPumpTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    PumpPendingMessages(); // whatever the window's creation left queued
    dispatched = 0;

    for (int i = 0; i < 13; ++i)
        PostMessageA(window, WM_APP + 1, 0, 0);
    PumpPendingMessages();
    EXPECT_EQ(dispatched, 10);
    PumpPendingMessages();
    EXPECT_EQ(dispatched, 13);

    DWORD start = GetTickCount();
    PumpPendingMessages();
    EXPECT_LT(GetTickCount() - start, 200u);
    EXPECT_EQ(dispatched, 13);
    DestroyWindow(window);
}
