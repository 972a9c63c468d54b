#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Registry.h"
#include "core/ScanSection.h"
#include "settings/Settings.h"
#include "support/Planted.h"
#include "support/SavedBackEnd.h"
#include "support/SavedSettings.h"

namespace {

const char settingsPath[] = "SOFTWARE\\Quillmoor8";
const char runPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Every value handed to the registry back end: name and exactly the bytes
// given (the platform's own read-back adds a terminating zero of its own).
std::map<std::string, std::string> written;

LONG WINAPI RecordingSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD count)
{
    written[name] = type == REG_SZ ? std::string(reinterpret_cast<const char*>(data), count)
                                   : "(not REG_SZ)";
    return ::RegSetValueExA(key, name, reserved, type, data, count);
}

std::string Stored(const char* path, const std::string& name)
{
    return ReadRegString(HKEY_CURRENT_USER, path, name);
}

class SettingsStore : public testing::Test {
protected:
    SavedSettingsKey saved;
};

} // namespace

TEST_F(SettingsStore, FirstStartStoresEveryDefaultAsPlainText)
{
    ASSERT_EQ(SettingsKeyMissing(), 1);
    written.clear();
    {
        SavedBackEnd backEnd;
        regApi.RegSetValueExA = RecordingSetValue;
        ASSERT_EQ(WriteDefaultSettings(), 1);
    }
    EXPECT_EQ(SettingsKeyMissing(), 0);

    // Every section the scan can run and every group starts switched on.
    std::map<std::string, std::string> expected = {
        {"Generate Log", "1"}, {"Log File Path", TestBinaryFolder() + "\\logs"},
        {"AutoRun", "0"},      {"NoAutoBackup", "0"},
        {"CheckAllItems", "1"}, {"Version", "8.0"},
    };
    for (unsigned code = 0; code < SectionCount; ++code)
        if (code != SectionReserved)
            expected[SectionSettingsKey(code)] = "1";
    for (SectionGroupId group : {GroupRegistry, GroupWindows, GroupIETemp, GroupTweaks})
        expected[GroupSettingsKey(group)] = "1";
    // Plain text: the byte count is the text's length, no terminating zero.
    EXPECT_EQ(written, expected);
}

TEST_F(SettingsStore, WithoutTheKeyNothingIsStoredAndNoFlagIsOn)
{
    EXPECT_EQ(WriteSetting("CheckAllItems", "1"), 0);
    EXPECT_EQ(SettingsKeyMissing(), 1) << "a write must never create the key";
    EXPECT_FALSE(SettingOn("CheckAllItems"));
}

TEST_F(SettingsStore, ATextReadsOnlyWhenItFitsAndOnlyTheTextOneTurnsAFlagOn)
{
    PlantedKey store(HKEY_CURRENT_USER, settingsPath);
    struct Case {
        std::string bytes;
        bool readable;
        bool on;
    };
    const std::string zero(1, '\0');
    const Case cases[] = {
        {"1", true, true}, {"1" + zero, true, true}, {"0", true, false}, {"", true, false},
        {"yes", true, false}, {"11", true, false}, {" 1", true, false},
        // Texts must fit a 260-byte buffer and leave room for a zero in 255.
        {std::string(254, 'p') + zero, true, false}, {std::string(255, 'p'), false, false},
        {std::string(259, 'p') + zero, false, false}, {std::string(260, 'p'), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes.size()) + " bytes \"" + c.bytes.substr(0, 5) + "\"");
        store.SetBinary("NoAutoBackup", std::vector<BYTE>(c.bytes.begin(), c.bytes.end()), REG_SZ);
        std::string text = "untouched";
        EXPECT_EQ(ReadSetting("NoAutoBackup", text), c.readable ? 1 : 0);
        EXPECT_EQ(text, c.readable ? std::string(c.bytes.c_str()) : "untouched");
        EXPECT_EQ(SettingOn("NoAutoBackup"), c.on);
    }
    ASSERT_EQ(DeleteRegValue(HKEY_CURRENT_USER, settingsPath, "NoAutoBackup"), 1);
    std::string text = "untouched";
    EXPECT_EQ(ReadSetting("NoAutoBackup", text), 0);
    EXPECT_EQ(text, "untouched");
}

TEST_F(SettingsStore, StartWithWindowsWritesAndRemovesTheProgramsOwnRunEntry)
{
    ASSERT_EQ(WriteDefaultSettings(), 1);
    std::unique_ptr<PlantedKey> plantedRun; // a fresh profile may have no Run key yet
    if (!KeyExists(HKEY_CURRENT_USER, runPath))
        plantedRun = std::make_unique<PlantedKey>(HKEY_CURRENT_USER, runPath);

    ASSERT_EQ(SetStartWithWindows(true), 1);
    EXPECT_EQ(Stored(runPath, "Quillmoor8.exe"), TestBinaryFolder() + "\\Quillmoor8.exe");
    EXPECT_EQ(Stored(settingsPath, "AutoRun"), "1");

    ASSERT_EQ(SetStartWithWindows(false), 1);
    EXPECT_EQ(Stored(runPath, "Quillmoor8.exe"), "");
    EXPECT_EQ(Stored(settingsPath, "AutoRun"), "0");
}

TEST_F(SettingsStore, AnOverlayAnswersForItsNamesAndKeepsTheStoreUnchanged)
{
    ASSERT_EQ(WriteDefaultSettings(), 1);
    {
        SettingsOverlay overlay(SettingsOverlay::Values{{"Windows Section", "0"}});
        EXPECT_FALSE(SettingOn("windows section")) << "names compare without regard to case";
        EXPECT_TRUE(SettingOn("Sounds Section")) << "other names still come from the store";
        EXPECT_EQ(WriteSetting("Windows Section", "written"), 1);
        std::string text;
        EXPECT_EQ(ReadSetting("Windows Section", text), 1);
        EXPECT_EQ(text, "written");
    }
    EXPECT_EQ(Stored(settingsPath, "Windows Section"), "1") << "an overlaid write must not reach the store";
    EXPECT_TRUE(SettingOn("Windows Section")) << "without the overlay the store answers again";
}
