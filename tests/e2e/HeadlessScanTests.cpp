#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Registry.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

namespace {

const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char appPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char helpKey[] = "SOFTWARE\\Microsoft\\Windows\\Help";
const char missingFile[] = "The file (%s) does not exist at the specified location";

// One value planted in a key that may already exist (and then stays).
class PlantedValue {
public:
    PlantedValue(HKEY root, const std::string& key, const std::string& name,
                 const std::string& data)
        : root(root), key(key), name(name)
    {
        if (!KeyExists(root, key))
            createdKey = std::make_unique<PlantedKey>(root, key);
        EXPECT_EQ(WriteRegValue(root, key, name, data, REG_SZ), 1) << key << "\\" << name;
    }
    ~PlantedValue()
    {
        if (!createdKey)
            DeleteRegValue(root, key, name);
    }

private:
    HKEY root;
    std::string key;
    std::string name;
    std::unique_ptr<PlantedKey> createdKey;
};

std::string Unescaped(const std::string& field)
{
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        char next = field[++i];
        text += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
    }
    return text;
}

using ReportRow = std::map<std::string, std::string>;

std::vector<std::string> Split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos;
         start = end + separator.size())
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

// The report's lines after the header, each as column name -> field.
std::vector<ReportRow> ReadReport(const std::string& path, std::string& header)
{
    std::vector<std::string> lines = Split(ReadFileBytes(path), "\r\n");
    header = lines[0];
    std::vector<std::string> names = Split(header, "\t");
    std::vector<ReportRow> rows;
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        std::vector<std::string> fields = Split(lines[i], "\t");
        ReportRow row;
        for (size_t column = 0; column < names.size() && column < fields.size(); ++column)
            row[names[column]] = Unescaped(fields[column]);
        rows.push_back(row);
    }
    return rows;
}

const ReportRow* FindRow(const std::vector<ReportRow>& rows, const std::string& column,
                         const std::string& value)
{
    for (const ReportRow& row : rows)
        if (lstrcmpiA(row.at(column).c_str(), value.c_str()) == 0)
            return &row;
    return nullptr;
}

std::string ExeFolder()
{
    std::string exe = QuillmoorExe();
    return exe.substr(0, exe.rfind('\\'));
}

// The log files a run left in `folder`.
std::vector<std::string> LogFiles(const std::string& folder)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*.txt").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do
        files.push_back(folder + "\\" + data.cFileName);
    while (FindNextFileA(find, &data));
    FindClose(find);
    return files;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A handful of leftovers of an uninstalled program, in sections that scan
// quickly: its Run entry, App Paths key, help file and a temporary file.
class HeadlessScan : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(WriteDefaultSettings(), 1);
        ASSERT_EQ(WriteSetting("Log File Path", logs.Path()), 1);
        appPath.SetString("", missingFolder + "\\gone.exe");
    }

    DWORD Run(const std::string& arguments)
    {
        AppProcess app;
        EXPECT_TRUE(app.Start(arguments));
        DWORD code = app.WaitForExit(600000);
        EXPECT_NE(code, STILL_ACTIVE) << arguments;
        return code;
    }

    std::vector<ReportRow> ScanToReport(std::string& header)
    {
        EXPECT_EQ(Run("/scan /sections:4,7,8,16 /report:\"" + report + "\""), 1u);
        return ReadReport(report, header);
    }

    const std::string name = UniqueName("QmGone");
    const std::string missingFolder = "C:\\" + name;
    SavedSettingsKey saved;
    PlantedFolder logs{TestTempFolder() + UniqueName("QuillmoorE2eLogs")};
    PlantedFolder reports{TestTempFolder() + UniqueName("QuillmoorE2eReports")};
    const std::string report = reports.Path() + "\\scan report.tsv";
    PlantedValue run{HKEY_LOCAL_MACHINE, runKey, name, missingFolder + "\\gone.exe"};
    PlantedKey appPath{HKEY_LOCAL_MACHINE, std::string(appPathsKey) + "\\" + name + ".exe"};
    PlantedValue help{HKEY_LOCAL_MACHINE, helpKey, name + ".hlp", missingFolder};
    PlantedFile temp{TestTempFolder() + name + ".tmp", std::string(1536, 't')};
};

} // namespace

TEST_F(HeadlessScan, PlantedProblemsAreReportedWithTheirFieldsAndLogged)
{
    std::string header;
    std::vector<ReportRow> rows = ScanToReport(header);
    EXPECT_EQ(header, "serial\tsection\titem\tkeyPath\tvalueName\tvalueData\tdescription\t"
                      "sizeBytes\tchecked");

    const ReportRow* runRow = FindRow(rows, "valueName", name);
    ASSERT_NE(runRow, nullptr);
    EXPECT_EQ(runRow->at("section"), "8");
    EXPECT_EQ(runRow->at("item"), missingFolder + "\\gone.exe");
    EXPECT_EQ(runRow->at("keyPath"), "HKEY_LOCAL_MACHINE\\" + std::string(runKey));
    EXPECT_EQ(runRow->at("valueData"), missingFolder + "\\gone.exe");
    EXPECT_EQ(runRow->at("description"), missingFile);
    EXPECT_EQ(runRow->at("checked"), "1");

    const ReportRow* appRow =
        FindRow(rows, "keyPath", "HKEY_LOCAL_MACHINE\\" + std::string(appPathsKey) + "\\" + name + ".exe");
    ASSERT_NE(appRow, nullptr);
    EXPECT_EQ(appRow->at("section"), "4");
    EXPECT_EQ(appRow->at("valueName"), "(Default)");
    EXPECT_EQ(appRow->at("valueData"), missingFolder + "\\gone.exe");

    const ReportRow* helpRow = FindRow(rows, "valueName", name + ".hlp");
    ASSERT_NE(helpRow, nullptr);
    EXPECT_EQ(helpRow->at("section"), "7");
    EXPECT_EQ(helpRow->at("item"), missingFolder + "\\" + name + ".hlp");

    const ReportRow* tempRow = FindRow(rows, "item", temp.Path());
    ASSERT_NE(tempRow, nullptr);
    EXPECT_EQ(tempRow->at("section"), "16");
    EXPECT_EQ(tempRow->at("sizeBytes"), "1536");
    EXPECT_EQ(tempRow->at("description"), "Windows Temp File");

    // Serials count the accepted problems in the order they arrived.
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].at("serial"), std::to_string(i));

    // One log file with the header and one record per accepted problem.
    std::vector<std::string> files = LogFiles(logs.Path());
    ASSERT_EQ(files.size(), 1u);
    std::string log = ReadFileBytes(files[0]);
    EXPECT_EQ(log.rfind("Quillmoor Version = 8.0\r\r\n", 0), 0u);
    EXPECT_EQ(Count(log, "\r\r\nKey : "), rows.size());
    EXPECT_NE(log.find("\r\r\nKey : HKEY_LOCAL_MACHINE\\" + std::string(runKey) +
                       "\r\r\nValueName : " + name + "\r\r\nValue : " + missingFolder +
                       "\\gone.exe\r\r\n"),
              std::string::npos);
}

TEST_F(HeadlessScan, AnIgnoreListEntrySuppressesItsProblemAndItsLogRecord)
{
    // In other letter case, as a user may type it.
    PlantedFile list(ExeFolder() + "\\Iglist.lst",
                     "  hkey_local_machine\\" + std::string(appPathsKey) + "\\" + name + "\r\r\n");
    std::string header;
    std::vector<ReportRow> rows = ScanToReport(header);
    EXPECT_EQ(FindRow(rows, "keyPath",
                      "HKEY_LOCAL_MACHINE\\" + std::string(appPathsKey) + "\\" + name + ".exe"),
              nullptr);
    EXPECT_NE(FindRow(rows, "valueName", name), nullptr) << "other problems stay";

    std::vector<std::string> files = LogFiles(logs.Path());
    ASSERT_EQ(files.size(), 1u);
    std::string log = ReadFileBytes(files[0]);
    EXPECT_EQ(log.find("App Paths\\" + name), std::string::npos);
    EXPECT_EQ(Count(log, "\r\r\nKey : "), rows.size());
}

TEST_F(HeadlessScan, WithCheckAllItemsOffEveryProblemArrivesUnchecked)
{
    ASSERT_EQ(WriteSetting("CheckAllItems", "0"), 1);
    std::string header;
    std::vector<ReportRow> rows = ScanToReport(header);
    ASSERT_GE(rows.size(), 4u);
    for (const ReportRow& row : rows)
        EXPECT_EQ(row.at("checked"), "0") << row.at("item");
}

TEST(HeadlessCommandLine, ASwitchItDoesNotKnowEndsWithTwo)
{
    AppProcess app;
    ASSERT_TRUE(app.Start("/scan /bogus"));
    EXPECT_EQ(app.WaitForExit(60000), 2u);
}
