#include <gtest/gtest.h>

#include <string>

#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

// With the system reporting Windows 98 the program starts, scans and reports
// a broken recent-file entry.
TEST(Windows98, StartsAndScans)
{
    PlantedKey version(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Quillmoor8.exe");
    version.SetString("Version", "win98");
    SavedSettingsKey saved;
    const std::string name = UniqueName("QmWin98");
    PlantedKey recent(HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List");
    recent.SetString(name, "c:\\" + name + "\\paint.exe");
    PlantedFolder reports{TestTempFolder() + UniqueName("QmWin98Reports")};
    const std::string report = reports.Path() + "\\report.tsv";

    AppProcess app;
    ASSERT_TRUE(app.Start("/scan /sections:15 /report:\"" + report + "\""));
    EXPECT_EQ(app.WaitForExit(120000), 1u) << "no problem found, or the program did not run";

    // The report doubles each backslash; the walker lowers what it reads.
    std::string folder = name;
    CharLowerA(&folder[0]);
    const std::string expected = "c:\\\\" + folder + "\\\\paint.exe";
    const std::string text = ReadFileBytes(report);
    EXPECT_NE(text.find(expected), std::string::npos) << text;
}
