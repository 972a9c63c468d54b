#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "settings/Settings.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"

namespace {

const char settingsPath[] = "SOFTWARE\\Quillmoor8";
const char runPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// Every value written through the registry back end, in the order written,
// with the byte count handed to the platform.
struct WrittenValue {
    std::string name;
    DWORD type;
    std::string bytes;
};
std::vector<WrittenValue> written;
decltype(regApi.RegSetValueExA) realSetValue = nullptr;

LONG WINAPI RecordingSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD count)
{
    written.push_back({name ? name : "", type,
                       std::string(reinterpret_cast<const char*>(data), count)});
    return realSetValue(key, name, reserved, type, data, count);
}

void StoreRaw(const std::string& name, const std::string& bytes)
{
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, settingsPath, KEY_ALL_ACCESS), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.Handle(), name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

class SettingsStore : public testing::Test {
protected:
    SavedSettingsKey saved;
};

} // namespace

TEST_F(SettingsStore, FirstStartWritesEveryDefaultInItsOrderAsPlainText)
{
    ASSERT_EQ(SettingsKeyMissing(), 1);
    written.clear();
    realSetValue = regApi.RegSetValueExA;
    regApi.RegSetValueExA = RecordingSetValue;
    int result = WriteDefaultSettings();
    regApi.RegSetValueExA = realSetValue;
    ASSERT_EQ(result, 1);
    EXPECT_EQ(SettingsKeyMissing(), 0);

    const std::string logs = GetProgramFolder() + "\\logs";
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Registry Integrity", "1"},   {"ActiveX/Classes Section", "1"},
        {"Program ID Section", "1"},   {"Add Remove Programs", "1"},
        {"Windows Fonts", "1"},        {"Shared Program Files", "1"},
        {"Help Files", "1"},           {"Startup Programs", "1"},
        {"System Services", "1"},      {"VXD Section", "1"},
        {"File Associations", "1"},    {"Sounds Section", "1"},
        {"Complete Registry Scan", "1"}, {"Invalid Shortcuts", "1"},
        {"Application Paths", "1"},    {"MRULocations", "1"},
        {"Windows Temp Files", "1"},   {"ScanDisk Files", "1"},
        {"IE Cookies", "1"},           {"IE TempFiles", "1"},
        {"IE TypedURLs", "1"},         {"Windows Tweaks", "1"},
        {"Registry Section", "1"},     {"Windows Section", "1"},
        {"IE Temp Section", "1"},      {"Tweaks Section", "1"},
        {"Generate Log", "1"},         {"Log File Path", logs},
        {"AutoRun", "0"},              {"NoAutoBackup", "0"},
        {"CheckAllItems", "1"},        {"Version", "8.0"},
    };
    ASSERT_EQ(written.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(written[i].name, expected[i].first);
        EXPECT_EQ(written[i].type, static_cast<DWORD>(REG_SZ));
        // The byte count is the text's length: no terminating zero.
        EXPECT_EQ(written[i].bytes, expected[i].second);
        std::string text;
        EXPECT_EQ(ReadSetting(expected[i].first, text), 1);
        EXPECT_EQ(text, expected[i].second);
    }
}

TEST_F(SettingsStore, WithoutTheKeyNothingIsStoredAndEveryFlagIsOff)
{
    EXPECT_EQ(WriteSetting("CheckAllItems", "1"), 0);
    EXPECT_EQ(SettingsKeyMissing(), 1) << "a write must never create the key";
    EXPECT_FALSE(SettingOn("CheckAllItems"));

    // A key that cannot be created leaves no setting behind.
    auto realCreate = regApi.RegCreateKeyA;
    regApi.RegCreateKeyA = [](HKEY, LPCSTR, PHKEY) -> LONG { return ERROR_ACCESS_DENIED; };
    int written = WriteDefaultSettings();
    regApi.RegCreateKeyA = realCreate;
    EXPECT_EQ(written, 0);
    EXPECT_EQ(SettingsKeyMissing(), 1);
    EXPECT_FALSE(SettingOn("Registry Section"));
}

TEST_F(SettingsStore, OnlyTheTextOneTurnsAFlagOn)
{
    ASSERT_EQ(WriteDefaultSettings(), 1);
    const std::vector<std::pair<std::string, bool>> cases = {
        {"1", true}, {"0", false}, {"", false}, {"yes", false}, {"true", false},
        {"11", false}, {" 1", false}, {"1 ", false},
    };
    for (const auto& [text, on] : cases) {
        SCOPED_TRACE("\"" + text + "\"");
        ASSERT_EQ(WriteSetting("NoAutoBackup", text), 1);
        EXPECT_EQ(SettingOn("NoAutoBackup"), on);
    }
    ASSERT_EQ(DeleteRegValue(HKEY_CURRENT_USER, settingsPath, "NoAutoBackup"), 1);
    EXPECT_FALSE(SettingOn("NoAutoBackup"));
}

TEST_F(SettingsStore, TextsThatDoNotFitTheBuffersReadAsAbsent)
{
    ASSERT_EQ(WriteDefaultSettings(), 1);
    struct Case {
        size_t length;
        bool terminated;
        bool readable;
    };
    const Case cases[] = {
        {254, false, true}, {254, true, true},   {255, false, false},
        {259, true, false}, {260, false, false}, {400, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + (c.terminated ? " with zero" : " without zero"));
        std::string bytes(c.length, 'p');
        if (c.terminated)
            bytes += '\0';
        StoreRaw("Log File Path", bytes);
        std::string text = "untouched";
        EXPECT_EQ(ReadSetting("Log File Path", text), c.readable ? 1 : 0);
        EXPECT_EQ(text, c.readable ? std::string(c.length, 'p') : "untouched");
    }
    std::string text = "untouched";
    EXPECT_EQ(ReadSetting("", text), 0);
    EXPECT_EQ(ReadSetting("No Such Setting", text), 0);
    EXPECT_EQ(text, "untouched");
}

TEST_F(SettingsStore, StartWithWindowsWritesAndRemovesTheProgramsOwnRunEntry)
{
    ASSERT_EQ(WriteDefaultSettings(), 1);
    // A fresh profile may not have a Run key yet.
    std::unique_ptr<PlantedKey> plantedRun;
    if (!KeyExists(HKEY_CURRENT_USER, runPath))
        plantedRun = std::make_unique<PlantedKey>(HKEY_CURRENT_USER, runPath);
    std::string before = ReadRegString(HKEY_CURRENT_USER, runPath, "Quillmoor8.exe");

    ASSERT_EQ(SetStartWithWindows(true), 1);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, runPath, "Quillmoor8.exe"),
              GetProgramFolder() + "\\Quillmoor8.exe");
    EXPECT_TRUE(SettingOn("AutoRun"));

    ASSERT_EQ(SetStartWithWindows(false), 1);
    RegKey run;
    ASSERT_EQ(run.Open(HKEY_CURRENT_USER, runPath, KEY_READ), ERROR_SUCCESS);
    EXPECT_NE(RegQueryValueExA(run.Handle(), "Quillmoor8.exe", nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    std::string autoRun;
    EXPECT_EQ(ReadSetting("AutoRun", autoRun), 1);
    EXPECT_EQ(autoRun, "0");

    if (!before.empty())
        SetStartupRunValue("Quillmoor8.exe", before);
}

TEST_F(SettingsStore, AnOverlayAnswersForItsNamesAndKeepsTheStoreUnchanged)
{
    ASSERT_EQ(WriteDefaultSettings(), 1);
    ASSERT_EQ(WriteSetting("Windows Section", "0"), 1);
    ASSERT_EQ(WriteSetting("Help Files", "0"), 1);
    {
        SettingsOverlay overlay({{"Windows Section", "1"}, {"Help Files", "0"}});
        EXPECT_TRUE(SettingOn("windows section")) << "names compare without regard to case";
        EXPECT_FALSE(SettingOn("Help Files"));
        EXPECT_TRUE(SettingOn("Sounds Section")) << "other names still come from the store";
        EXPECT_EQ(WriteSetting("Help Files", "1"), 1);
        EXPECT_TRUE(SettingOn("Help Files"));
    }
    std::string text;
    ASSERT_EQ(ReadSetting("Windows Section", text), 1);
    EXPECT_EQ(text, "0");
    ASSERT_EQ(ReadSetting("Help Files", text), 1);
    EXPECT_EQ(text, "0") << "a write to an overlaid name must not reach the store";
    EXPECT_FALSE(SettingOn("Windows Section"));
}
