#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ProblemCollection.h"
#include "scan/ScanDriver.h"
#include "settings/IgnoreList.h"
#include "settings/ScanLog.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"

namespace {

// What the main window would show: the rows' count texts and the labels.
class ShownResults : public ResultsDisplay {
public:
    std::vector<std::string> rowUpdates; // "row section count"
    std::string labels[4];
    void ShowSectionCount(int row, unsigned section, const std::string& countText) override
    {
        rowUpdates.push_back(std::to_string(row) + " " + std::to_string(section) + " " + countText);
    }
    void ShowGroupLabel(SectionGroupId group, const std::string& text) override { labels[group] = text; }
    void ClearSectionRows() override {}
    void InsertSectionRows(const ScanPlan&) override {}
};

ProblemPtr Problem(unsigned section, const std::string& key, const std::string& data, double size = 0.0)
{
    return MakeProblemRecord(section, data, key, "Value", data, "", size);
}

} // namespace

// Records on the ignore list (the user's, in any case, or the built-in one)
// are dropped unlogged and take no serial; the others are counted by
// section and group, checked as the scan's setting says, and the rows and
// labels follow.
TEST(ProblemCollection, IgnoredRecordsAreDroppedAndTheRestCountedByRowAndLabel)
{
    DefaultSettings settings;
    IgnoreList ignoreList;
    ScanLog scanLog;
    ShownResults shown;
    ProblemCollection collection{ignoreList, scanLog, shown};
    scanLog.BeginScanLog();
    scanLog.SetGenerateLog(1);
    ScanPlan plan = {};
    for (unsigned code = 0; code < SectionCount; ++code)
        plan.rowOf[code] = -1;
    for (unsigned code : {SectionStartup, SectionWinTemp, SectionIECookies, SectionTweaks})
        plan.rowOf[code] = plan.rowCount++;
    collection.SetSectionRows(plan);
    {
        PlantedFile list(IgnoreListPath(), "hkey_local_machine\\software\\QmIgnored\r\r\n");
        ignoreList.LoadIgnoreList();
    }
    collection.SetCheckAllItems(1);
    for (const char* key : {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept1", "HKEY_LOCAL_MACHINE\\SOFTWARE\\QMIGNOREDBAR",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept2",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
                            "\\Cache\\Paths\\path1",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept3"}) {
        ProblemPtr record = Problem(SectionStartup, key, "C:\\gone.exe");
        record->checked = 0; // the scan's setting decides, not the scanner
        collection.OnProblemFound(std::move(record));
    }
    // Registry records alone already turn the Windows label into bytes.
    EXPECT_EQ(shown.labels[GroupWindows], "Increase Disk Space By: 0 bytes");
    collection.OnProblemFound(Problem(SectionFonts, "HKEY_LOCAL_MACHINE\\Fonts", "c")); // no row
    collection.OnProblemFound(Problem(SectionWinTemp, "C:\\t\\1.tmp", "C:\\t\\1.tmp", 700));
    collection.OnProblemFound(Problem(SectionScanDisk, "C:\\FILE0000.CHK", "C:\\FILE0000.CHK", 400));
    collection.OnProblemFound(Problem(SectionIECookies, "", "cookie", 50));
    collection.OnProblemFound(Problem(SectionTweaks, "HKEY_CURRENT_USER\\Tweak", "1"));
    collection.OnProblemFound(Problem(SectionReserved, "HKEY_CURRENT_USER\\R", "r", 5000));

    ASSERT_EQ(collection.Problems().size(), 9u) << "a code 18 record is kept";
    EXPECT_EQ(collection.AcceptedCount(), 9u);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::to_string(collection.Problems()[i]->serial) + std::to_string(collection.Problems()[i]->checked) +
                      " " + collection.Problems()[i]->keyPath,
                  std::to_string(i) + "1 HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept" + std::to_string(i + 1));
    // Registry, browser and tweak counts; per section: startup, fonts, code 18.
    EXPECT_EQ(std::to_string(collection.RegistryProblemCount()) + std::to_string(collection.IeProblemCount()) +
                  std::to_string(collection.TweakCount()) + " " +
                  std::to_string(collection.SectionProblemCount(SectionStartup)) +
                  std::to_string(collection.SectionProblemCount(SectionFonts)) +
                  std::to_string(collection.SectionProblemCount(SectionReserved)),
              "411 310");
    EXPECT_DOUBLE_EQ(collection.DiskBytes(), 1100.0) << "only temp and ScanDisk files free space";
    EXPECT_EQ(shown.rowUpdates, (std::vector<std::string>{"0 8 1", "0 8 2", "0 8 3", "1 16 1", "2 19 1", "3 22 1"}));
    EXPECT_EQ(shown.labels[GroupRegistry] + "|" + shown.labels[GroupIETemp] + "|" + shown.labels[GroupWindows] + "|" +
                  shown.labels[GroupTweaks],
              "Problems Found: 4|Problems Found: 1|Increase Disk Space By: 1.07 KB|Tweaks Available: 1");
    const std::string log = ReadFileBytes(scanLog.FilePath());
    EXPECT_TRUE(log.find("Kept3") != std::string::npos && log.find("QMIGNORED") == std::string::npos &&
                log.find("Cache\\Paths") == std::string::npos)
        << log;
}

TEST(DiskSpaceText, BoundsAndFormats)
{
    const std::pair<double, const char*> cases[] = {
        {0, "0 bytes"},           {1024, "1024 bytes"},           {1025, "1.00 KB"},
        {1536, "1.50 KB"},        {1048575, "1024.00 KB"},        {1048576, "1.00 MB"},
        {1073741823, "1024.00 MB"}, {1073741824, "1.00 GB"},      {5.5 * 1073741824.0, "5.50 GB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(DiskSpaceText(bytes), std::string("Increase Disk Space By: ") + text) << bytes;
}
