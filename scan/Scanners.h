#pragma once
// Every section scanner. Each runs on the scan thread, walks its key or
// folder through the context, and reports what it finds through it.

#include <string>

class ScanContext;

// COM registrations and file associations
void ScanClsids(ScanContext& context);
void ScanProgIds(ScanContext& context);
void ScanTypeLibs(ScanContext& context);
void ScanFileAssociations(ScanContext& context);

// Software and system entries
void ScanStartupPrograms(ScanContext& context);
void ScanSounds(ScanContext& context);
void ScanAppPaths(ScanContext& context);
void ScanHelpFiles(ScanContext& context);
void ScanSharedDlls(ScanContext& context);
void ScanFonts(ScanContext& context);
void ScanAddRemovePrograms(ScanContext& context);
void ScanServices(ScanContext& context);
void ScanVxds(ScanContext& context);

// History and the whole registry
void ScanMruLocations(ScanContext& context);
void ScanTypedUrls(ScanContext& context);
void ScanLocalMachine(ScanContext& context);
void ScanCurrentUser(ScanContext& context);
void ScanAllUsers(ScanContext& context);
void ScanUserAssist(ScanContext& context);

// Removable files and shortcuts
void ScanShortcuts(ScanContext& context, const std::string& driveRoot);
void ScanTempFolder(ScanContext& context, const std::string& folder);
void ScanFoundFiles(ScanContext& context, const std::string& pattern);
void ScanCookies(ScanContext& context);
void ScanBrowserCache(ScanContext& context);

// Tweaks
void ScanTweaks(ScanContext& context);
