// The scanners a real scan runs. Kept apart from the driver so that a test
// can run the driver on scanners of its own without linking these.

#include "scan/ScanDriver.h"
#include "scan/Scanners.h"

namespace {

SectionScanners MakeRealScanners()
{
    SectionScanners scanners;
    scanners.startupPrograms = ScanStartupPrograms;
    scanners.sounds = ScanSounds;
    scanners.clsids = ScanClsids;
    scanners.appPaths = ScanAppPaths;
    scanners.mruLocations = ScanMruLocations;
    scanners.helpFiles = ScanHelpFiles;
    scanners.shortcuts = ScanShortcuts;
    scanners.sharedDlls = ScanSharedDlls;
    scanners.fonts = ScanFonts;
    scanners.addRemovePrograms = ScanAddRemovePrograms;
    scanners.progIds = ScanProgIds;
    scanners.typeLibs = ScanTypeLibs;
    scanners.fileAssociations = ScanFileAssociations;
    scanners.localMachine = ScanLocalMachine;
    scanners.currentUser = ScanCurrentUser;
    scanners.allUsers = ScanAllUsers;
    scanners.userAssist = ScanUserAssist;
    scanners.services = ScanServices;
    scanners.vxds = ScanVxds;
    scanners.cookies = ScanCookies;
    scanners.browserCache = ScanBrowserCache;
    scanners.typedUrls = ScanTypedUrls;
    scanners.tempFolder = ScanTempFolder;
    scanners.foundFiles = ScanFoundFiles;
    scanners.tweaks = ScanTweaks;
    return scanners;
}

} // namespace

const SectionScanners& RealScanners()
{
    static const SectionScanners scanners = MakeRealScanners();
    return scanners;
}

void ScanDriver(ScanContext& context, const ScanPlan& plan)
{
    ScanDriver(context, plan, RealScanners());
}
