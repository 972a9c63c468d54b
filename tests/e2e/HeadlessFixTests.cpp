#include <gtest/gtest.h>

#include <windows.h>

#include <list>
#include <set>
#include <string>

#include "core/Registry.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"
#include "support/UiSteps.h"

namespace {

std::set<std::string> Cabinets(const std::string& folder)
{
    std::set<std::string> paths;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.cab").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        paths.insert(folder + "\\" + found.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return paths;
}

} // namespace

// A run killed while it writes its set leaves the set unfinished in the work
// folder; the next fix packs it into a set of its own before it begins, then
// repairs the rest into another.
TEST(HeadlessFix, AKilledRunsSetIsRecoveredByTheNextAndEveryProblemEndsRepaired)
{
    DefaultSettings settings;
    std::list<PlantedKey> planted;
    for (int i = 0; i < 150; ++i) {
        planted.emplace_back(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" +
                                                     UniqueName("QmFix") + ".exe");
        planted.back().SetString("", "C:\\" + UniqueName("QmFixGone") + "\\gone.exe");
    }
    auto remaining = [&] {
        int left = 0;
        for (const PlantedKey& key : planted)
            left += KeyExists(HKEY_LOCAL_MACHINE, key.Path());
        return left;
    };
    const std::string exeBackups = QuillmoorExe().substr(0, QuillmoorExe().rfind('\\')) + "\\Quillmoor8Backup";
    const std::string config = TestTempFolder() + "Quillmoor8BackUp\\Config.ini";
    const std::set<std::string> before = Cabinets(exeBackups);
    {
        AppProcess first; // killed at the end of this block
        ASSERT_TRUE(first.Start("/scan /sections:4 /fix"));
        WaitFor([&] { return GetFileAttributesA(config.c_str()) != INVALID_FILE_ATTRIBUTES || !first.Running(); },
                120000);
        ASSERT_TRUE(first.Running()) << "the first run ended before it could be killed";
    }
    ASSERT_GT(remaining(), 0);
    ASSERT_NE(ReadFileBytes(config).find("[NAME:"), std::string::npos) << "no record of the killed run";

    AppProcess second;
    ASSERT_TRUE(second.Start("/scan /sections:4 /fix"));
    EXPECT_EQ(second.WaitForExit(300000), 1u);
    EXPECT_EQ(remaining(), 0);
    // Two new sets: the killed run's, packed first, and the second run's own.
    int sets = 0;
    for (const std::string& path : Cabinets(exeBackups))
        if (!before.count(path))
            sets += DeleteFileA(path.c_str()) ? 1 : 0;
    EXPECT_EQ(sets, 2);
}
