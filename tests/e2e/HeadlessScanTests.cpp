#include <gtest/gtest.h>

#include <string>

#include "core/Text.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"


// Leftovers of an uninstalled program, found by a complete scan of every
// section with the system reporting Windows 98: its Run entry, App Paths key,
// a temporary file and a recent-file entry (lowered by the walker). With
// CheckAllItems off every problem comes unchecked.
TEST(HeadlessScan, PlantedProblemsAreReportedWithTheirFieldsAndLoggedOnWindows98)
{
    PlantedValue version(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Quillmoor8.exe", "Version", "win98");
    const std::string name = UniqueName("QmGone"), gone = "C:\\" + name + "\\gone.exe";
    const std::string runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string appPathKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + name + ".exe";
    DefaultSettings settings;
    ASSERT_EQ(WriteSetting("CheckAllItems", "0"), 1);
    PlantedFolder reports{TestTempFolder() + UniqueName("QuillmoorE2eReports")};
    const std::string report = reports.Path() + "\\scan report.tsv";
    PlantedValue run{HKEY_LOCAL_MACHINE, runKey, name, gone};
    PlantedValue appPath{HKEY_LOCAL_MACHINE, appPathKey, "", gone};
    PlantedFile temp{TestTempFolder() + name + ".tmp", std::string(1536, 't')};
    PlantedValue recent(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List",
                        name + "Paint", "c:\\" + name + "\\paint.exe");

    auto escaped = [](std::string text) { return ReplaceAll(text, "\\", "\\\\"), text; }; // as the report writes it
    AppProcess app;
    ASSERT_TRUE(app.Start("/scan /all /report:\"" + report + "\""));
    EXPECT_EQ(app.WaitForExit(600000), 1u);
    const std::string text = ReadFileBytes(report);
    EXPECT_EQ(text.rfind("serial\tsection\titem\tkeyPath\tvalueName\tvalueData\tdescription\tsizeBytes\tchecked\r\n", 0), 0u);
    // The line holding `part`, from the tab after its serial to its end.
    auto lineWith = [&text](const std::string& part) {
        const size_t at = text.find(part), begin = text.find('\t', text.rfind("\r\n", at) + 2);
        return at == std::string::npos ? std::string() : text.substr(begin, text.find("\r\n", at) - begin);
    };
    EXPECT_EQ(lineWith("\t" + name + "\t"),
              "\t8\t" + escaped(gone + "\tHKEY_LOCAL_MACHINE\\" + runKey + "\t" + name + "\t" + gone) +
                  "\tThe file (%s) does not exist at the specified location\t0\t0");
    const std::string appLine = lineWith(escaped("\tHKEY_LOCAL_MACHINE\\" + appPathKey + "\t"));
    EXPECT_EQ(appLine.rfind("\t4\t", 0), 0u) << appLine;
    EXPECT_NE(appLine.find("\t(Default)\t" + escaped(gone) + "\t"), std::string::npos) << appLine;
    const std::string tempLine = lineWith(escaped("\t" + temp.Path() + "\t"));
    EXPECT_EQ(tempLine.rfind("\t16\t", 0), 0u) << tempLine;
    EXPECT_NE(tempLine.find("\tWindows Temp File\t1536\t"), std::string::npos) << tempLine;
    std::string folder = name;
    CharLowerA(&folder[0]);
    EXPECT_NE(text.find(escaped("c:\\" + folder + "\\paint.exe")), std::string::npos);
    // Serials count the accepted problems in the order they arrived; none is checked.
    size_t rows = 0;
    for (size_t at = text.find("\r\n") + 2, end; at < text.size() && (end = text.find("\r\n", at)) != std::string::npos;
         at = end + 2, ++rows)
        EXPECT_TRUE(text.compare(at, std::to_string(rows).size() + 1, std::to_string(rows) + "\t") == 0 &&
                    text.compare(end - 2, 2, "\t0") == 0)
            << text.substr(at, end - at);
    std::string log = ReadOnlyMatch(settings.LogFolder(), "*.txt");
    EXPECT_EQ(CountOf(log, "\r\r\nKey : "), rows);
    EXPECT_NE(log.find("\r\r\nKey : HKEY_LOCAL_MACHINE\\" + runKey + "\r\r\nValueName : " + name +
                       "\r\r\nValue : " + gone + "\r\r\n"),
              std::string::npos);
}
