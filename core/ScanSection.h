#pragma once
// The catalogue of scan sections: codes, settings keys, labels, groups and
// the descriptions shown in the summary of errors.

#include <string>

// Code 0 stands for "Registry Integrity", the section without a code of its own.
enum SectionCode : unsigned {
    SectionRegistryIntegrity = 0,
    SectionActiveX = 1,
    SectionProgramId = 2,
    SectionAddRemove = 3,
    SectionAppPaths = 4,
    SectionFonts = 5,
    SectionSharedDlls = 6,
    SectionHelpFiles = 7,
    SectionStartup = 8,
    SectionServices = 9,
    SectionVxd = 10,
    SectionFileAssoc = 11,
    SectionSounds = 12,
    SectionCompleteRegistry = 13,
    SectionShortcuts = 14,
    SectionMru = 15,
    SectionWinTemp = 16,
    SectionScanDisk = 17,
    SectionReserved = 18,
    SectionIECookies = 19,
    SectionIETemp = 20,
    SectionIETypedUrls = 21,
    SectionTweaks = 22,
    SectionCount = 23
};

enum SectionGroupId {
    GroupRegistry,
    GroupWindows,
    GroupIETemp,
    GroupTweaks,
    GroupNone
};

// Settings key of the section (also its name); empty for the reserved code 18
// and for codes outside 0..22.
const char* SectionSettingsKey(unsigned code);
// Label of the section's row in the per-section results list.
const char* SectionRowLabel(unsigned code);
// "Scanning: " followed by the settings key.
std::string SectionStatusText(unsigned code);
// Registry for 0..15, Windows for 16..18, IE Temp for 19..21, Tweaks for 22.
SectionGroupId SectionGroup(unsigned code);
// The summary-of-errors text; empty where the table has none (code 18).
const char* SectionDescription(unsigned code);

// The settings key of a group's check box: "Registry Section" and so on.
const char* GroupSettingsKey(SectionGroupId group);
