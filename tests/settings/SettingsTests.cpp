#include <gtest/gtest.h>

#include <map>

#include "core/Registry.h"
#include "core/ScanSection.h"
#include "settings/IgnoreList.h"
#include "settings/ScanLog.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedBackEnd.h"
#include "support/SavedSettings.h"

namespace {

const char settingsPath[] = "SOFTWARE\\Quillmoor8";

// Every value handed to the registry back end, with exactly the bytes given.
std::map<std::string, std::string> written;

struct SettingsStore : testing::Test { SavedSettingsKey saved; };

struct ScanLogFile : testing::Test { DefaultSettings settings; };

} // namespace

// Without the key nothing is stored and no flag is on; the first start stores every default.
TEST_F(SettingsStore, FirstStartStoresEveryDefaultAsPlainText)
{
    ASSERT_EQ(SettingsKeyMissing(), 1);
    EXPECT_EQ(WriteSetting("CheckAllItems", "1"), 0);
    EXPECT_EQ(SettingsKeyMissing(), 1) << "a write must never create the key";
    EXPECT_FALSE(SettingOn("CheckAllItems"));
    written.clear();
    {
        SavedBackEnd backEnd;
        regApi.RegSetValueExA = [](HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD count) {
            written[name] = type == REG_SZ ? std::string((const char*)data, count) : "(not REG_SZ)";
            return ::RegSetValueExA(key, name, reserved, type, data, count);
        };
        ASSERT_EQ(WriteDefaultSettings(), 1);
    }
    EXPECT_EQ(SettingsKeyMissing(), 0);

    // Every section the scan can run and every group starts switched on.
    std::map<std::string, std::string> expected = {
        {"Generate Log", "1"}, {"Log File Path", TestBinaryFolder() + "\\logs"}, {"AutoRun", "0"},
        {"NoAutoBackup", "0"}, {"CheckAllItems", "1"}, {"Version", "8.0"}};
    for (unsigned code = 0; code < SectionCount; ++code)
        if (code != SectionReserved)
            expected[SectionSettingsKey(code)] = "1";
    for (SectionGroupId group : {GroupRegistry, GroupWindows, GroupIETemp, GroupTweaks})
        expected[GroupSettingsKey(group)] = "1";
    // Plain text: the byte count is the text's length, no terminating zero.
    EXPECT_EQ(written, expected);
}

TEST_F(SettingsStore, ATextReadsOnlyWhenItFitsAndOnlyTheTextOneTurnsAFlagOn)
{
    PlantedKey store(HKEY_CURRENT_USER, settingsPath);
    std::string missing = "untouched";
    EXPECT_EQ(ReadSetting("NoAutoBackup", missing), 0);
    EXPECT_EQ(missing, "untouched");
    const std::string zero(1, '\0');
    const struct { std::string bytes; bool readable, on; } cases[] = {
        {"1", true, true}, {"1" + zero, true, true}, {"", true, false}, {"yes", true, false}, {" 1", true, false},
        // Texts must fit a 260-byte buffer and leave room for a zero in 255.
        {std::string(254, 'p') + zero, true, false}, {std::string(255, 'p'), false, false},
        {std::string(259, 'p') + zero, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes.size()) + " bytes \"" + c.bytes.substr(0, 5) + "\"");
        store.SetBinary("NoAutoBackup", std::vector<BYTE>(c.bytes.begin(), c.bytes.end()), REG_SZ);
        std::string text = "untouched";
        EXPECT_EQ(ReadSetting("NoAutoBackup", text), c.readable ? 1 : 0);
        EXPECT_EQ(text, c.readable ? std::string(c.bytes.c_str()) : "untouched");
        EXPECT_EQ(SettingOn("NoAutoBackup"), c.on);
    }
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
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, settingsPath, "Windows Section"), "1") << "an overlaid write stays out";
    EXPECT_TRUE(SettingOn("Windows Section")) << "without the overlay the store answers again";
}

// Named after the moment the scan began (day-month-year, no leading zeros);
// nothing is added while logging is off.
TEST_F(ScanLogFile, EveryScanWritesItsOwnLogAndNothingWhileLoggingIsOff)
{
    // Year, month, weekday, day, hour, minute, second, milliseconds.
    EXPECT_EQ(ScanLogFileName("C:\\logs", {2009, 7, 0, 4, 15, 3, 9, 0}), "C:\\logs\\4-7-2009 (15-3-9).txt");
    EXPECT_EQ(ScanLogFileName("C:\\logs\\\\", {2010, 12, 0, 31, 0, 0, 0, 0}), "C:\\logs\\31-12-2010 (0-0-0).txt");
    ScanLog log;
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    log.BeginScanLog();
    GetLocalTime(&after);
    EXPECT_TRUE(log.FilePath() == ScanLogFileName(settings.LogFolder(), before) ||
                log.FilePath() == ScanLogFileName(settings.LogFolder(), after))
        << log.FilePath();
    const std::string begun = ReadFileBytes(log.FilePath());
    EXPECT_EQ(begun.rfind("Quillmoor Version = 8.0\r\r\n", 0), 0u);
    log.SetGenerateLog(0);
    log.LogProblem({1, 1, "Invalid file", "HKEY_CURRENT_USER\\x", "Name", "data"});
    EXPECT_EQ(ReadFileBytes(log.FilePath()), begun);
}

TEST_F(ScanLogFile, TheProgramFolderTakesOverFromAMissingLogFolder)
{
    ASSERT_EQ(WriteSetting("Log File Path", settings.LogFolder() + "\\not-there"), 1);
    EXPECT_EQ(LogFolder(), TestBinaryFolder());

    // A file named as the log folder leaves no log and disturbs nothing.
    PlantedFile blocker(settings.LogFolder() + "\\blocker.txt", "keep");
    ASSERT_EQ(WriteSetting("Log File Path", blocker.Path()), 1);
    ScanLog log;
    log.BeginScanLog();
    log.SetGenerateLog(1);
    log.LogProblem({1, 1, "Invalid file", "k", "n", "v"});
    EXPECT_EQ(GetFileAttributesA(log.FilePath().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileBytes(blocker.Path()), "keep");
}

TEST(IgnoreListFile, EntriesAreWrittenInTextModeAndReadBackTrimmedWhateverTheLineEnds)
{
    PlantedFolder folder(TestTempFolder() + UniqueName("QuillmoorIglist"));
    const std::vector<std::string> entries = {"HKEY_CURRENT_USER\\A", "HKEY_CURRENT_USER\\B C"};
    const std::string path = folder.Path() + "\\Iglist.lst";
    ASSERT_EQ(WriteIgnoreListFile(path, entries), 1);
    EXPECT_EQ(ReadFileBytes(path), "HKEY_CURRENT_USER\\A\r\r\nHKEY_CURRENT_USER\\B C\r\r\n");
    EXPECT_EQ(ReadIgnoreListFile(path), entries);

    for (const char* content : {"  HKEY_CURRENT_USER\\A\t\r\n\t\r\nHKEY_CURRENT_USER\\B C  \r\n",
                                "\nHKEY_CURRENT_USER\\A \n   \nHKEY_CURRENT_USER\\B C",
                                "HKEY_CURRENT_USER\\A\r\rHKEY_CURRENT_USER\\B C\r"}) {
        PlantedFile file(folder.Path() + "\\" + UniqueName("list") + ".lst", content);
        EXPECT_EQ(ReadIgnoreListFile(file.Path()), entries) << content;
    }
    // Saving an empty list empties the file.
    ASSERT_EQ(WriteIgnoreListFile(path, {}), 1);
    EXPECT_EQ(ReadFileBytes(path), "");
    EXPECT_EQ(WriteIgnoreListFile(folder.Path() + "\\missing\\Iglist.lst", {"x"}), 0);
}
