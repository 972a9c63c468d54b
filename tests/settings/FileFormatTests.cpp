#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/IgnoreList.h"
#include "settings/ScanLog.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"

namespace {

ProblemRecord Record(const std::string& key, const std::string& name, const std::string& data)
{
    ProblemRecord record;
    record.keyPath = key;
    record.valueName = name;
    record.valueData = data;
    return record;
}

const std::string header = "Quillmoor Version = 8.0\r\r\n"
                           "\r\r\n--------------------------------------------\r\r\n\r\r\n";

class ScanLogFile : public testing::Test {
protected:
    DefaultSettings settings;
};

} // namespace

TEST(ScanLogName, DayMonthYearAndTimeWithoutLeadingZeros)
{
    // Year, month, weekday, day, hour, minute, second, milliseconds.
    EXPECT_EQ(ScanLogFileName("C:\\logs", {2009, 7, 0, 4, 15, 3, 9, 0}),
              "C:\\logs\\4-7-2009 (15-3-9).txt");
    EXPECT_EQ(ScanLogFileName("C:\\logs\\\\", {2010, 12, 0, 31, 0, 0, 0, 0}),
              "C:\\logs\\31-12-2010 (0-0-0).txt");
}

TEST_F(ScanLogFile, EveryScanWritesItsHeaderAndRecordsOnlyWhileLoggingIsOn)
{
    ScanLog log;
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    log.BeginScanLog();
    GetLocalTime(&after);
    // Named after the moment the scan began, in the configured folder.
    EXPECT_TRUE(log.FilePath() == ScanLogFileName(settings.LogFolder(), before) ||
                log.FilePath() == ScanLogFileName(settings.LogFolder(), after))
        << log.FilePath();

    log.SetGenerateLog(0);
    log.LogProblem(Record("HKEY_CURRENT_USER\\x", "Name", "data"));
    EXPECT_EQ(ReadFileBytes(log.FilePath()), header);

    log.SetGenerateLog(1);
    log.LogProblem(Record("HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone", "", "C:\\gone.exe"));
    EXPECT_EQ(ReadFileBytes(log.FilePath()),
              header + "\r\r\nKey : HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone\r\r\nValueName : \r\r\n"
                       "Value : C:\\gone.exe\r\r\n");
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
    log.LogProblem(Record("k", "n", "v"));
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

    const std::pair<const char*, std::string> cases[] = {
        {"CR LF", "  HKEY_CURRENT_USER\\A\t\r\n\t\r\nHKEY_CURRENT_USER\\B C  \r\n"},
        {"LF, no final break", "\nHKEY_CURRENT_USER\\A \n   \nHKEY_CURRENT_USER\\B C"},
        {"lone CR", "HKEY_CURRENT_USER\\A\r\rHKEY_CURRENT_USER\\B C\r"},
    };
    for (const auto& [name, content] : cases) {
        PlantedFile file(folder.Path() + "\\" + UniqueName("list") + ".lst", content);
        EXPECT_EQ(ReadIgnoreListFile(file.Path()), entries) << name;
    }

    // Saving an empty list empties the file.
    ASSERT_EQ(WriteIgnoreListFile(path, {}), 1);
    EXPECT_EQ(ReadFileBytes(path), "");
    EXPECT_EQ(WriteIgnoreListFile(folder.Path() + "\\missing\\Iglist.lst", {"x"}), 0);
}
