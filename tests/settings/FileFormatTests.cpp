#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/PathCheck.h"
#include "settings/IgnoreList.h"
#include "settings/ScanLog.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"

namespace {

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

SYSTEMTIME Time(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

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
    void SetUp() override
    {
        ASSERT_EQ(WriteDefaultSettings(), 1);
        ASSERT_EQ(WriteSetting("Log File Path", folder.Path()), 1);
    }
    SavedSettingsKey saved;
    PlantedFolder folder{TestTempFolder() + UniqueName("QuillmoorLogs")};
};

} // namespace

TEST(ScanLogName, DayMonthYearAndTimeWithoutLeadingZeros)
{
    EXPECT_EQ(ScanLogFileName("C:\\logs", Time(2009, 7, 4, 15, 3, 9)),
              "C:\\logs\\4-7-2009 (15-3-9).txt");
    EXPECT_EQ(ScanLogFileName("C:\\logs\\\\", Time(2010, 12, 31, 0, 0, 0)),
              "C:\\logs\\31-12-2010 (0-0-0).txt");
}

TEST_F(ScanLogFile, HeaderAndRecordsAreWrittenByteForByteWithTextModeLineBreaks)
{
    ScanLog log;
    SYSTEMTIME before;
    GetLocalTime(&before);
    log.BeginScanLog();
    SYSTEMTIME after;
    GetLocalTime(&after);
    log.SetGenerateLog(1);
    log.LogProblem(Record("HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone", "", "C:\\gone.exe"));
    log.LogProblem(Record("HKEY_CURRENT_USER\\x", "Name", ""));

    // Named after the moment the scan began, in the configured folder.
    EXPECT_TRUE(log.FilePath() == ScanLogFileName(folder.Path(), before) ||
                log.FilePath() == ScanLogFileName(folder.Path(), after))
        << log.FilePath();
    EXPECT_EQ(ReadFileBytes(log.FilePath()),
              header +
                  "\r\r\nKey : HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone\r\r\nValueName : \r\r\n"
                  "Value : C:\\gone.exe\r\r\n"
                  "\r\r\nKey : HKEY_CURRENT_USER\\x\r\r\nValueName : Name\r\r\nValue : \r\r\n");
}

TEST_F(ScanLogFile, WithLoggingOffEveryScanStillLeavesItsHeader)
{
    ScanLog log;
    log.BeginScanLog();
    log.SetGenerateLog(0);
    log.LogProblem(Record("HKEY_CURRENT_USER\\x", "Name", "data"));
    EXPECT_EQ(ReadFileBytes(log.FilePath()), header);
}

TEST_F(ScanLogFile, TheProgramFolderTakesOverFromAMissingLogFolder)
{
    ASSERT_EQ(WriteSetting("Log File Path", folder.Path() + "\\not-there"), 1);
    EXPECT_EQ(LogFolder(), GetProgramFolder());

    // A file named as the log folder leaves no log and disturbs nothing.
    PlantedFile blocker(folder.Path() + "\\blocker.txt", "keep");
    ASSERT_EQ(WriteSetting("Log File Path", blocker.Path()), 1);
    ScanLog log;
    log.BeginScanLog();
    log.SetGenerateLog(1);
    log.LogProblem(Record("k", "n", "v"));
    EXPECT_EQ(log.FilePath().rfind(blocker.Path() + "\\", 0), 0u) << log.FilePath();
    EXPECT_FALSE(FileExists(log.FilePath()));
    EXPECT_EQ(ReadFileBytes(blocker.Path()), "keep");
}

TEST(IgnoreListFile, EachEntryIsFollowedByCarriageReturnCarriageReturnLineFeed)
{
    PlantedFolder folder(TestTempFolder() + UniqueName("QuillmoorIglist"));
    std::string path = folder.Path() + "\\Iglist.lst";
    ASSERT_EQ(WriteIgnoreListFile(path, {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Foo",
                                         "HKEY_CURRENT_USER\\Software\\Two Words"}),
              1);
    EXPECT_EQ(ReadFileBytes(path),
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Foo\r\r\nHKEY_CURRENT_USER\\Software\\Two Words\r\r\n");
    EXPECT_EQ(ReadIgnoreListFile(path),
              (std::vector<std::string>{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Foo",
                                        "HKEY_CURRENT_USER\\Software\\Two Words"}));

    // Saving an empty list empties the file.
    ASSERT_EQ(WriteIgnoreListFile(path, {}), 1);
    EXPECT_EQ(ReadFileBytes(path), "");
    EXPECT_TRUE(ReadIgnoreListFile(path).empty());

    EXPECT_EQ(WriteIgnoreListFile(folder.Path() + "\\missing\\Iglist.lst", {"x"}), 0);
}

TEST(IgnoreListFile, LinesAreTrimmedAndEmptyOnesDroppedWhateverTheLineEnds)
{
    PlantedFolder folder(TestTempFolder() + UniqueName("QuillmoorIglist"));
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"text mode", "HKEY_CURRENT_USER\\A\r\r\n\r\r\nHKEY_CURRENT_USER\\B C\r\r\n"},
        {"CR LF", "  HKEY_CURRENT_USER\\A\t\r\n\t\r\nHKEY_CURRENT_USER\\B C  \r\n"},
        {"LF, no final break", "\nHKEY_CURRENT_USER\\A \n   \nHKEY_CURRENT_USER\\B C"},
        {"lone CR", "HKEY_CURRENT_USER\\A\r\rHKEY_CURRENT_USER\\B C\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlantedFile file(folder.Path() + "\\" + UniqueName("list") + ".lst", c.content);
        EXPECT_EQ(ReadIgnoreListFile(file.Path()),
                  (std::vector<std::string>{"HKEY_CURRENT_USER\\A", "HKEY_CURRENT_USER\\B C"}));
    }
    EXPECT_TRUE(ReadIgnoreListFile(folder.Path() + "\\none.lst").empty());
}
