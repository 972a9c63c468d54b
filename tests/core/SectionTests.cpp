#include <gtest/gtest.h>

#include <cstring>

#include "core/ProblemRecord.h"
#include "core/ResourceText.h"
#include "core/ScanSection.h"
#include "resource.h"

TEST(ProblemRecord, NewRecordIsCheckedAndEmpty)
{
    ProblemPtr record = NewProblemRecord();
    EXPECT_EQ(record->checked, 1u);
    EXPECT_EQ(record->section, 0u);
    EXPECT_EQ(record->reserved1, 0u);
    EXPECT_EQ(record->reserved2, 0u);
    EXPECT_EQ(record->serial, 0u);
    EXPECT_EQ(record->sizeBytes, 0.0);
    EXPECT_TRUE(record->item.empty() && record->keyPath.empty() && record->valueName.empty() &&
                record->valueData.empty() && record->description.empty());
}

TEST(ProblemRecord, OwnershipTravelsAsARawPointerAndComesBackWhole)
{
    // A scanner releases the record into a message; the receiver adopts it.
    ProblemPtr record = NewProblemRecord();
    record->section = SectionStartup;
    record->item = "C:\\gone\\app.exe";
    ProblemRecord* sent = record.release();
    EXPECT_EQ(record, nullptr);
    ProblemPtr received(sent);
    EXPECT_EQ(received->section, 8u);
    EXPECT_EQ(received->item, "C:\\gone\\app.exe");
}

TEST(ScanSection, SettingsKeysLabelsAndStatusTexts)
{
    struct Row {
        unsigned code;
        const char* key;
        const char* label;
    };
    const Row rows[] = {
        {0, "Registry Integrity", "Registry Integrity"},
        {1, "ActiveX/Classes Section", "ActiveX/Classes Section"},
        {2, "Program ID Section", "Program ID Section"},
        {3, "Add Remove Programs", "Add Remove Programs"},
        {4, "Application Paths", "Application Paths"},
        {5, "Windows Fonts", "Windows Fonts"},
        {6, "Shared Program Files", "Shared Program Files"},
        {7, "Help Files", "Help Files"},
        {8, "Startup Programs", "Startup Programs"},
        {9, "System Services", "System Services"},
        {10, "VXD Section", "VXD Section"},
        {11, "File Associations", "File Associations"},
        {12, "Sounds Section", "Sounds Section"},
        {13, "Complete Registry Scan", "Complete Registry Scan"},
        {14, "Invalid Shortcuts", "Invalid Shortcuts"},
        {15, "MRULocations", "MRU Locations"},
        {16, "Windows Temp Files", "Windows Temp Files"},
        {17, "ScanDisk Files", "ScanDisk Files"},
        {19, "IE Cookies", "IE Cookies"},
        {20, "IE TempFiles", "IE TempFiles"},
        {21, "IE TypedURLs", "IE TypedURLs"},
        {22, "Windows Tweaks", "Windows Tweaks"},
    };
    for (const Row& row : rows) {
        EXPECT_STREQ(SectionSettingsKey(row.code), row.key) << row.code;
        EXPECT_STREQ(SectionRowLabel(row.code), row.label) << row.code;
        EXPECT_EQ(SectionStatusText(row.code), std::string("Scanning: ") + row.key) << row.code;
    }
    EXPECT_STREQ(SectionSettingsKey(18), "");
    EXPECT_STREQ(SectionSettingsKey(23), "");
}

TEST(ScanSection, GroupsFollowTheCodeRanges)
{
    for (unsigned code = 0; code <= 15; ++code)
        EXPECT_EQ(SectionGroup(code), GroupRegistry) << code;
    for (unsigned code = 16; code <= 18; ++code)
        EXPECT_EQ(SectionGroup(code), GroupWindows) << code;
    for (unsigned code = 19; code <= 21; ++code)
        EXPECT_EQ(SectionGroup(code), GroupIETemp) << code;
    EXPECT_EQ(SectionGroup(22), GroupTweaks);
    EXPECT_EQ(SectionGroup(23), GroupNone);
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
    // Every section that runs has a text of its own.
    for (unsigned code = 0; code <= 22; ++code) {
        if (code == 18)
            continue;
        EXPECT_GT(strlen(SectionDescription(code)), 10u) << code;
    }
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
