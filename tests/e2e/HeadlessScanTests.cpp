#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

namespace {

const std::string runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The report's fields in the order of its header.
enum Column { Serial, Section, Item, KeyPath, ValueName, ValueData, Description, SizeBytes, Checked };
using ReportRow = std::vector<std::string>;

// The report's lines split at tabs; fields keep their escapes.
std::vector<ReportRow> ReadReport(const std::string& path)
{
    std::vector<ReportRow> rows;
    const std::string text = ReadFileBytes(path);
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        rows.emplace_back(1);
        for (char c : text.substr(at, end - at))
            c == '\t' ? rows.back().emplace_back() : rows.back().back() += c;
    }
    return rows;
}

// As the report writes it: every backslash doubled.
std::string Escaped(const std::string& text)
{
    std::string escaped;
    for (char c : text)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

const ReportRow* FindRow(const std::vector<ReportRow>& rows, Column column, const std::string& value)
{
    for (const ReportRow& row : rows)
        if (row.size() > Checked && lstrcmpiA(row[column].c_str(), Escaped(value).c_str()) == 0)
            return &row;
    return nullptr;
}

} // namespace

// Leftovers of an uninstalled program, found by a complete scan of every
// section: its Run entry, App Paths key, help file and a temporary file. With
// CheckAllItems off every problem comes unchecked.
TEST(HeadlessScan, PlantedProblemsAreReportedWithTheirFieldsAndLogged)
{
    const std::string name = UniqueName("QmGone"), gone = "C:\\" + name + "\\gone.exe";
    const std::string appPathKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + name + ".exe";
    DefaultSettings settings;
    ASSERT_EQ(WriteSetting("CheckAllItems", "0"), 1);
    PlantedFolder reports{TestTempFolder() + UniqueName("QuillmoorE2eReports")};
    const std::string report = reports.Path() + "\\scan report.tsv";
    PlantedValue run{HKEY_LOCAL_MACHINE, runKey, name, gone};
    PlantedValue appPath{HKEY_LOCAL_MACHINE, appPathKey, "", gone};
    PlantedValue help{HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help", name + ".hlp", "C:\\" + name};
    PlantedFile temp{TestTempFolder() + name + ".tmp", std::string(1536, 't')};

    AppProcess app;
    ASSERT_TRUE(app.Start("/scan /all /report:\"" + report + "\""));
    EXPECT_EQ(app.WaitForExit(600000), 1u);
    std::vector<ReportRow> rows = ReadReport(report);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], (ReportRow{"serial", "section", "item", "keyPath", "valueName", "valueData", "description",
                                  "sizeBytes", "checked"}));
    rows.erase(rows.begin());

    const ReportRow* runRow = FindRow(rows, ValueName, name);
    ASSERT_NE(runRow, nullptr);
    EXPECT_EQ(ReportRow(runRow->begin() + 1, runRow->end()),
              (ReportRow{"8", Escaped(gone), Escaped("HKEY_LOCAL_MACHINE\\" + runKey), name, Escaped(gone),
                         "The file (%s) does not exist at the specified location", "0", "0"}));
    const ReportRow* appRow = FindRow(rows, KeyPath, "HKEY_LOCAL_MACHINE\\" + appPathKey);
    ASSERT_NE(appRow, nullptr);
    EXPECT_EQ(appRow->at(Section) + "|" + appRow->at(ValueName) + "|" + appRow->at(ValueData),
              "4|(Default)|" + Escaped(gone));
    const ReportRow* helpRow = FindRow(rows, ValueName, name + ".hlp");
    ASSERT_NE(helpRow, nullptr);
    EXPECT_EQ(helpRow->at(Section) + "|" + helpRow->at(Item), "7|" + Escaped("C:\\" + name + "\\" + name + ".hlp"));
    const ReportRow* tempRow = FindRow(rows, Item, temp.Path());
    ASSERT_NE(tempRow, nullptr);
    EXPECT_EQ(tempRow->at(Section) + "|" + tempRow->at(SizeBytes) + "|" + tempRow->at(Description),
              "16|1536|Windows Temp File");
    // Serials count the accepted problems in the order they arrived.
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), Checked + 1u);
        EXPECT_EQ(rows[i][Serial] + "|" + rows[i][Checked], std::to_string(i) + "|0") << rows[i][Item];
    }

    std::string log = ReadOnlyMatch(settings.LogFolder(), "*.txt");
    EXPECT_EQ(log.rfind("Quillmoor Version = 8.0\r\r\n", 0), 0u);
    EXPECT_EQ(CountOf(log, "\r\r\nKey : "), rows.size());
    EXPECT_NE(log.find("\r\r\nKey : HKEY_LOCAL_MACHINE\\" + runKey + "\r\r\nValueName : " + name +
                       "\r\r\nValue : " + gone + "\r\r\n"),
              std::string::npos);
}

TEST(HeadlessScan, ASwitchItDoesNotKnowEndsWithTwo)
{
    AppProcess app;
    ASSERT_TRUE(app.Start("/scan /bogus"));
    EXPECT_EQ(app.WaitForExit(60000), 2u);
}
