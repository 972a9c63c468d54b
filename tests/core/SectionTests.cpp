#include <gtest/gtest.h>

#include "core/ResourceText.h"
#include "core/ScanSection.h"
#include "resource.h"

TEST(ScanSection, SettingsKeysLabelsGroupsAndStatusTexts)
{
    // Indexed by section code; code 18 is reserved and has no name.
    const char* const keys[] = {
        "Registry Integrity", "ActiveX/Classes Section", "Program ID Section",
        "Add Remove Programs", "Application Paths", "Windows Fonts", "Shared Program Files",
        "Help Files", "Startup Programs", "System Services", "VXD Section", "File Associations",
        "Sounds Section", "Complete Registry Scan", "Invalid Shortcuts", "MRULocations",
        "Windows Temp Files", "ScanDisk Files", "", "IE Cookies", "IE TempFiles", "IE TypedURLs",
        "Windows Tweaks"};
    for (unsigned code = 0; code < SectionCount; ++code) {
        EXPECT_STREQ(SectionSettingsKey(code), keys[code]) << code;
        EXPECT_STREQ(SectionRowLabel(code), code == SectionMru ? "MRU Locations" : keys[code])
            << code;
        if (code != SectionReserved) {
            EXPECT_EQ(SectionStatusText(code), std::string("Scanning: ") + keys[code]) << code;
        }
        SectionGroupId group = code <= 15 ? GroupRegistry : code <= 18 ? GroupWindows
                               : code <= 21 ? GroupIETemp : GroupTweaks;
        EXPECT_EQ(SectionGroup(code), group) << code;
    }
    EXPECT_STREQ(SectionSettingsKey(SectionCount), "");
    EXPECT_EQ(SectionGroup(SectionCount), GroupNone);
    EXPECT_STREQ(GroupSettingsKey(GroupRegistry), "Registry Section");
    EXPECT_STREQ(GroupSettingsKey(GroupWindows), "Windows Section");
    EXPECT_STREQ(GroupSettingsKey(GroupIETemp), "IE Temp Section");
    EXPECT_STREQ(GroupSettingsKey(GroupTweaks), "Tweaks Section");
}

TEST(ScanSection, DescriptionsAreTheSummaryTexts)
{
    EXPECT_STREQ(SectionDescription(0),
                 "Errors in this section refer to certain corrupt sections of your registry.");
    EXPECT_STREQ(SectionDescription(15), "Error in this section refer to missing files in MRU Locations.");
    EXPECT_STREQ(SectionDescription(17), "ScanDisk Temp Files, just taking space");
    EXPECT_STREQ(SectionDescription(19), "IE Cookies Description");
    EXPECT_STREQ(SectionDescription(22), "Windows Tweaks");
    EXPECT_STREQ(SectionDescription(18), "");
}

TEST(ResourceText, StringTableHoldsTheSharedTexts)
{
    EXPECT_EQ(ResourceString(IDS_FILE_MISSING), "The file (%s) does not exist at the specified location");
    EXPECT_EQ(ResourceString(IDS_DEFAULT_VALUE), "(Default)");
    EXPECT_EQ(ResourceString(IDS_APPID_INVALID),
              "The Application ID (%s) is not valid.  (%s does not exist)");
    EXPECT_EQ(ResourceString(IDS_SHORTCUT_INVALID),
              "The shortcut is not valid.  Shortcut refers to (%s) which is a file that does not exist.");
    EXPECT_EQ(ResourceString(IDS_DIRECTORY_INVALID),
              "The Directory path is not valid. (%s does not exist)");
    EXPECT_EQ(ResourceString(IDS_HKCLASS), "HKCLASS");
    EXPECT_EQ(ResourceString(IDS_HKCU), "HKCU");
    EXPECT_EQ(ResourceString(IDS_HKLM), "HKLM");
    EXPECT_EQ(ResourceString(9999), "");
}
