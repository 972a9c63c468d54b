#include <gtest/gtest.h>

#include "core/ScanSection.h"

// The settings names are what the user's choices are stored under: a renamed
// one loses them.
TEST(ScanSection, SettingsNamesRowLabelsAndGroups)
{
    // Indexed by section code; code 18 is reserved and has no name.
    const char* const keys[] = {
        "Registry Integrity", "ActiveX/Classes Section", "Program ID Section",
        "Add Remove Programs", "Application Paths", "Windows Fonts", "Shared Program Files",
        "Help Files", "Startup Programs", "System Services", "VXD Section", "File Associations",
        "Sounds Section", "Complete Registry Scan", "Invalid Shortcuts", "MRULocations",
        "Windows Temp Files", "ScanDisk Files", "", "IE Cookies", "IE TempFiles", "IE TypedURLs",
        "Windows Tweaks"};
    // R registry, W Windows, I browser, T tweaks.
    const char groups[] = "RRRRRRRRRRRRRRRRWWWIIIT";
    for (unsigned code = 0; code < SectionCount; ++code) {
        EXPECT_STREQ(SectionSettingsKey(code), keys[code]) << code;
        EXPECT_EQ("RWIT"[SectionGroup(code)], groups[code]) << code;
    }
    EXPECT_STREQ(SectionRowLabel(SectionMru), "MRU Locations");
    EXPECT_STREQ(SectionRowLabel(SectionStartup), "Startup Programs");
    EXPECT_STREQ(GroupSettingsKey(GroupRegistry), "Registry Section");
    EXPECT_STREQ(GroupSettingsKey(GroupWindows), "Windows Section");
    EXPECT_STREQ(GroupSettingsKey(GroupIETemp), "IE Temp Section");
    EXPECT_STREQ(GroupSettingsKey(GroupTweaks), "Tweaks Section");
}
