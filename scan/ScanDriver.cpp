#include "scan/ScanDriver.h"

#include <windows.h>

#include <vector>

#include "core/PathCheck.h"
#include "core/Platform.h"
#include "scan/ScanContext.h"
#include "settings/Settings.h"

namespace {

const char scanAborted[] = "Scan Aborted";

// Row order of the results list. The registry group lists its sections in an
// order of its own, not in the order they are scanned.
const unsigned registryRows[] = {
    SectionRegistryIntegrity, SectionStartup,  SectionSounds,    SectionActiveX,
    SectionAppPaths,          SectionHelpFiles, SectionMru,      SectionShortcuts,
    SectionSharedDlls,        SectionFonts,    SectionAddRemove, SectionProgramId,
    SectionFileAssoc,         SectionCompleteRegistry, SectionServices, SectionVxd,
};
const unsigned windowsRows[] = {SectionWinTemp, SectionScanDisk};
const unsigned ieRows[] = {SectionIECookies, SectionIETemp, SectionIETypedUrls};
const unsigned tweaksRows[] = {SectionTweaks};

// "C:\" for a system folder on C:.
std::string SystemDriveRoot()
{
    return GetSystemFolder().substr(0, 3);
}

// The user's temporary folder and the Temp folder of the Windows folder. A
// folder the platform cannot tell is left out rather than guessed, so that
// no scan ever starts from the root of the current drive.
std::vector<std::string> TempFolders()
{
    std::vector<std::string> folders;
    char buffer[MAX_PATH] = {};
    DWORD length = GetTempPathA(sizeof(buffer), buffer);
    if (length > 0 && length < sizeof(buffer))
        folders.push_back(buffer);
    std::string windows = GetWindowsFolder();
    if (!windows.empty()) {
        if (windows.back() == '\\')
            windows.pop_back();
        folders.push_back(windows + "\\Temp");
    }
    return folders;
}

// "X:\found.*" for every local drive. CD-ROMs, removable and network drives
// are left alone: slow to read, and not where a disk check leaves fragments.
std::vector<std::string> FoundFilePatterns()
{
    std::vector<std::string> patterns;
    int count = CountLogicalDrives();
    std::vector<std::string> roots;
    if (count <= 0 || !ListLogicalDrives(roots, count))
        return patterns;
    for (int i = 0; i < count && i < static_cast<int>(roots.size()); ++i) {
        std::string root = roots[i];
        UINT type = GetDriveTypeA(root.c_str());
        if (type == DRIVE_CDROM || type == DRIVE_REMOVABLE || type == DRIVE_REMOTE)
            continue;
        if (!root.empty() && root.back() == '\\')
            root.pop_back();
        patterns.push_back(root + "\\found.*");
    }
    return patterns;
}

class Driver {
public:
    Driver(ScanContext& context, const ScanPlan& plan, const SectionScanners& scanners)
        : context(context), plan(plan), scanners(scanners)
    {
    }

    void Run()
    {
        // The shortcut check's shell link object needs an apartment.
        ComApartment com;
        context.SetGroupLabel(GroupRegistry, "Problems Found: 0");
        context.SetGroupLabel(GroupIETemp, "Problems Found: 0");
        context.SetGroupLabel(GroupWindows, "Increase Disk Space By: 0");
        context.SetGroupLabel(GroupTweaks, "Tweaks Available: 0");

        // An abort noticed between registry sections ends the scan there; the
        // other groups have no such check and rely on their scanners to stop.
        // A scanner that fails ends the scan as an abort would: the user
        // still gets the ending and the results found so far.
        try {
            if (RegistryGroup()) {
                IETempGroup();
                WindowsGroup();
                TweaksGroup();
            }
        } catch (...) {
            keepScanning = 0;
        }

        context.SetStatus("");
        com.Leave();
        context.FillProgress();
        if (context.KeepScanning()) {
            context.ShowItem("Scan Complete");
            context.ShowFinalMessage("Scan Completed");
        } else {
            context.ShowItem(scanAborted);
            context.ShowFinalMessage(scanAborted);
        }
        context.ShowResultsPage();
        context.ScanFinished();
    }

private:
    struct RegistryStep {
        unsigned code;
        bool testsFlag; // the abort flag is checked before the section
        std::function<void()> work;
    };

    // false when the user aborted.
    bool RegistryGroup()
    {
        if (!context.GroupChecked(GroupRegistry))
            return true;
        const RegistryStep steps[] = {
            {SectionRegistryIntegrity, false, [] { Sleep(500); }},
            {SectionStartup, false, [this] { scanners.startupPrograms(context); }},
            {SectionSounds, true, [this] { Pumped(scanners.sounds); }},
            {SectionActiveX, true, [this] { scanners.clsids(context); context.Pump(); }},
            {SectionAppPaths, true, [this] { Pumped(scanners.appPaths); }},
            {SectionMru, true, [this] { Pumped(scanners.mruLocations); }},
            {SectionHelpFiles, true, [this] { Pumped(scanners.helpFiles); }},
            {SectionShortcuts, true, [this] {
                context.Pump();
                scanners.shortcuts(context, SystemDriveRoot());
            }},
            {SectionSharedDlls, false, [this] { Pumped(scanners.sharedDlls); }},
            {SectionFonts, true, [this] { Pumped(scanners.fonts); }},
            {SectionAddRemove, true, [this] { Pumped(scanners.addRemovePrograms); }},
            {SectionProgramId, true, [this] {
                Pumped(scanners.progIds);
                scanners.typeLibs(context);
            }},
            {SectionFileAssoc, true, [this] { Pumped(scanners.fileAssociations); }},
            {SectionCompleteRegistry, true, [this] {
                Pumped(scanners.localMachine);
                scanners.currentUser(context);
                scanners.allUsers(context);
                scanners.userAssist(context);
            }},
            {SectionServices, true, [this] { Pumped(scanners.services); }},
            {SectionVxd, true, [this] { Pumped(scanners.vxds); }},
        };
        for (const RegistryStep& step : steps) {
            if (step.testsFlag && !context.KeepScanning())
                return false;
            RunSection(step.code, step.work);
        }
        return true;
    }

    void IETempGroup()
    {
        if (!context.GroupChecked(GroupIETemp))
            return;
        RunSection(SectionIECookies, [this] { Pumped(scanners.cookies); });
        RunSection(SectionIETemp, [this] { Pumped(scanners.browserCache); });
        RunSection(SectionIETypedUrls, [this] { Pumped(scanners.typedUrls); });
    }

    void WindowsGroup()
    {
        if (!context.GroupChecked(GroupWindows))
            return;
        RunSection(SectionWinTemp, [this] {
            context.Pump();
            for (const std::string& folder : TempFolders())
                scanners.tempFolder(context, folder);
        });
        RunSection(SectionScanDisk, [this] {
            context.Pump();
            for (const std::string& pattern : FoundFilePatterns())
                scanners.foundFiles(context, pattern);
        });
    }

    void TweaksGroup()
    {
        if (!context.GroupChecked(GroupTweaks))
            return;
        RunSection(SectionTweaks, [this] { Pumped(scanners.tweaks); });
    }

    void Pumped(const SectionScanners::Scan& scan)
    {
        context.Pump();
        scan(context);
    }

    // The setting is read now, not when the rows were built: a section
    // switched on meanwhile runs, only without a row to show it in.
    void RunSection(unsigned code, const std::function<void()>& work)
    {
        if (!SettingOn(SectionSettingsKey(code)))
            return;
        int row = plan.rowOf[code];
        context.SetStatus(SectionStatusText(code));
        if (row >= 0) {
            context.SetRowText(row, 1, "0");
            context.SetRowText(row, 2, "Scanning");
        }
        work();
        if (row >= 0) {
            context.SetRowText(row, 2, "Finished");
            // The window has been counting the section's problems in column 1.
            context.SetRowImage(row, context.RowText(row, 1) != "0" ? 1 : 0);
        }
    }

    ScanContext& context;
    const ScanPlan& plan;
    const SectionScanners& scanners;
};

} // namespace

ScanPlan PrepareSections(const bool groupChecked[4])
{
    const SectionGroupId settingOrder[] = {GroupRegistry, GroupWindows, GroupIETemp, GroupTweaks};
    for (SectionGroupId group : settingOrder)
        WriteSetting(GroupSettingsKey(group), groupChecked[group] ? "1" : "0");

    struct GroupRows {
        SectionGroupId group;
        const unsigned* codes;
        size_t count;
    };
    const GroupRows groups[] = {
        {GroupRegistry, registryRows, sizeof(registryRows) / sizeof(registryRows[0])},
        {GroupWindows, windowsRows, sizeof(windowsRows) / sizeof(windowsRows[0])},
        {GroupIETemp, ieRows, sizeof(ieRows) / sizeof(ieRows[0])},
        {GroupTweaks, tweaksRows, sizeof(tweaksRows) / sizeof(tweaksRows[0])},
    };

    ScanPlan plan;
    for (int& row : plan.rowOf)
        row = -1;
    for (const GroupRows& rows : groups) {
        if (!groupChecked[rows.group])
            continue;
        for (size_t i = 0; i < rows.count; ++i) {
            unsigned code = rows.codes[i];
            if (!SettingOn(SectionSettingsKey(code)))
                continue;
            plan.rowOf[code] = plan.rowCount;
            plan.rowSection[plan.rowCount++] = code;
        }
    }
    return plan;
}

void ScanDriver(ScanContext& context, const ScanPlan& plan, const SectionScanners& scanners)
{
    Driver(context, plan, scanners).Run();
}

void PumpPendingMessages()
{
    // When the calling thread last looked; a plain value, as thread_local must be.
    static thread_local DWORD lookedAt;
    static thread_local bool looked;
    DWORD now = GetTickCount();
    if (looked && now - lookedAt < scanRefreshMs)
        return;
    looked = true;
    lookedAt = now;
    MSG message;
    for (int i = 0; i < 10 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
