#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Registry.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

namespace {

const std::string runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string appPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string helpKey = "SOFTWARE\\Microsoft\\Windows\\Help";

// The report's fields in the order of its header.
enum Column { Serial, Section, Item, KeyPath, ValueName, ValueData, Description, SizeBytes, Checked };
using ReportRow = std::vector<std::string>;

// The report's header and its lines after it, split at tabs, escapes undone.
std::vector<ReportRow> ReadReport(const std::string& path, std::string& header)
{
    std::string text = ReadFileBytes(path);
    size_t end = text.find("\r\n");
    header = text.substr(0, end);
    std::vector<ReportRow> rows(1, ReportRow(1));
    for (size_t i = end == std::string::npos ? text.size() : end + 2; i < text.size(); ++i) {
        if (text.compare(i, 2, "\r\n") == 0) {
            rows.back().resize(Checked + 1);
            rows.emplace_back(1), ++i;
        } else if (text[i] == '\t') {
            rows.back().emplace_back();
        } else {
            char next = text[i] == '\\' && i + 1 < text.size() ? text[++i] : 0;
            rows.back().back() += !next ? text[i] : next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
        }
    }
    rows.pop_back(); // begun after the last line end
    return rows;
}

const ReportRow* FindRow(const std::vector<ReportRow>& rows, Column column, const std::string& value)
{
    for (const ReportRow& row : rows)
        if (lstrcmpiA(row[column].c_str(), value.c_str()) == 0)
            return &row;
    return nullptr;
}

// Leftovers of an uninstalled program, found by a complete scan of every
// section: its Run entry, App Paths key, help file and a temporary file.
class HeadlessScan : public testing::Test {
protected:
    void SetUp() override
    {
        appPath.SetString("", missingFolder + "\\gone.exe");
    }

    std::vector<ReportRow> ScanToReport(std::string& header)
    {
        AppProcess app;
        EXPECT_TRUE(app.Start("/scan /all /report:\"" + report + "\""));
        EXPECT_EQ(app.WaitForExit(600000), 1u);
        return ReadReport(report, header);
    }

    const std::string name = UniqueName("QmGone");
    const std::string missingFolder = "C:\\" + name;
    const std::string appPathKey = appPathsKey + "\\" + name + ".exe";
    DefaultSettings settings;
    PlantedFolder reports{TestTempFolder() + UniqueName("QuillmoorE2eReports")};
    const std::string report = reports.Path() + "\\scan report.tsv";
    PlantedValue run{HKEY_LOCAL_MACHINE, runKey, name, missingFolder + "\\gone.exe"};
    PlantedKey appPath{HKEY_LOCAL_MACHINE, appPathKey};
    PlantedValue help{HKEY_LOCAL_MACHINE, helpKey, name + ".hlp", missingFolder};
    PlantedFile temp{TestTempFolder() + name + ".tmp", std::string(1536, 't')};
};

} // namespace

// With CheckAllItems off every problem comes unchecked; a key of the ignore
// list (typed in other letter case) is neither reported nor logged.
TEST_F(HeadlessScan, PlantedProblemsAreReportedWithTheirFieldsAndLoggedAndTheIgnoredOneIsNot)
{
    ASSERT_EQ(WriteSetting("CheckAllItems", "0"), 1);
    const std::string ignoredKey = appPathsKey + "\\" + name + "Ignored.exe";
    PlantedKey ignored{HKEY_LOCAL_MACHINE, ignoredKey};
    ignored.SetString("", missingFolder + "\\ignored.exe");
    std::string exe = QuillmoorExe();
    PlantedFile list(exe.substr(0, exe.rfind('\\')) + "\\Iglist.lst",
                     "  hkey_local_machine\\" + appPathsKey + "\\" + name + "IGNORED\r\r\n");

    std::string header;
    std::vector<ReportRow> rows = ScanToReport(header);
    EXPECT_EQ(header, "serial\tsection\titem\tkeyPath\tvalueName\tvalueData\tdescription\t"
                      "sizeBytes\tchecked");

    const ReportRow* runRow = FindRow(rows, ValueName, name);
    ASSERT_NE(runRow, nullptr);
    const std::string gone = missingFolder + "\\gone.exe";
    EXPECT_EQ(ReportRow(runRow->begin() + 1, runRow->end()),
              (ReportRow{"8", gone, "HKEY_LOCAL_MACHINE\\" + runKey, name, gone,
                         "The file (%s) does not exist at the specified location", "0", "0"}));

    const ReportRow* appRow = FindRow(rows, KeyPath, "HKEY_LOCAL_MACHINE\\" + appPathKey);
    ASSERT_NE(appRow, nullptr);
    EXPECT_EQ(appRow->at(Section), "4");
    EXPECT_EQ(appRow->at(ValueName), "(Default)");
    EXPECT_EQ(appRow->at(ValueData), gone);
    EXPECT_EQ(FindRow(rows, KeyPath, "HKEY_LOCAL_MACHINE\\" + ignoredKey), nullptr);

    const ReportRow* helpRow = FindRow(rows, ValueName, name + ".hlp");
    ASSERT_NE(helpRow, nullptr);
    EXPECT_EQ(helpRow->at(Section), "7");
    EXPECT_EQ(helpRow->at(Item), missingFolder + "\\" + name + ".hlp");

    const ReportRow* tempRow = FindRow(rows, Item, temp.Path());
    ASSERT_NE(tempRow, nullptr);
    EXPECT_EQ(tempRow->at(Section), "16");
    EXPECT_EQ(tempRow->at(SizeBytes), "1536");
    EXPECT_EQ(tempRow->at(Description), "Windows Temp File");

    // Serials count the accepted problems in the order they arrived.
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][Serial], std::to_string(i));
        EXPECT_EQ(rows[i][Checked], "0") << rows[i][Item];
    }

    std::string log = ReadOnlyMatch(settings.LogFolder(), "*.txt");
    EXPECT_EQ(log.rfind("Quillmoor Version = 8.0\r\r\n", 0), 0u);
    EXPECT_EQ(CountOf(log, "\r\r\nKey : "), rows.size());
    EXPECT_NE(log.find("\r\r\nKey : HKEY_LOCAL_MACHINE\\" + runKey + "\r\r\nValueName : " + name +
                       "\r\r\nValue : " + missingFolder + "\\gone.exe\r\r\n"),
              std::string::npos);
    // The 64-bit registry shows the key again below Wow6432Node: that is another
    // key path, which this ignore entry does not name.
    std::string lowered = log, ignoredLine = "key : hkey_local_machine\\" + ignoredKey;
    CharLowerBuffA(&lowered[0], static_cast<DWORD>(lowered.size()));
    CharLowerBuffA(&ignoredLine[0], static_cast<DWORD>(ignoredLine.size()));
    EXPECT_EQ(lowered.find(ignoredLine), std::string::npos);
}

TEST(HeadlessCommandLine, ASwitchItDoesNotKnowEndsWithTwo)
{
    AppProcess app;
    ASSERT_TRUE(app.Start("/scan /bogus"));
    EXPECT_EQ(app.WaitForExit(60000), 2u);
}
