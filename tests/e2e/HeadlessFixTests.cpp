#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <list>
#include <set>
#include <string>

#include "app/CommandLine.h"
#include "core/Handles.h"
#include "core/Registry.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/StateWitness.h"
#include "support/UiDriver.h"
#include "support/UiSteps.h"

namespace {

std::set<std::string> Cabinets(const std::string& folder)
{
    std::set<std::string> paths;
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((folder + "\\*.cab").c_str(), &found));
    for (bool more = bool(search); more; more = FindNextFileA(search.Get(), &found))
        paths.insert(folder + "\\" + found.cFileName);
    return paths;
}

} // namespace

// A run killed while it writes its set leaves the set unfinished in the work
// folder; the next fix (run here) packs it into a set of its own before it
// begins, then repairs the rest into another, which it names, and counts.
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
        return std::count_if(planted.begin(), planted.end(), [](auto& key) { return KeyExists(key.Root(), key.Path()); });
    };
    const std::string exeBackups = TestBinaryFolder() + "\\Quillmoor8Backup";
    const std::string config = TestTempFolder() + "Quillmoor8BackUp\\Config.ini";
    const std::set<std::string> before = Cabinets(exeBackups);
    {
        AppProcess first; // killed at the end of this block
        ASSERT_TRUE(first.Start("/scan /sections:4 /fix"));
        WaitFor([&] { return GetFileAttributesA(config.c_str()) != INVALID_FILE_ATTRIBUTES || !first.Running(); },
                120000);
        ASSERT_TRUE(first.Running()) << "the first run ended before it could be killed";
    }
    const auto left = remaining();
    ASSERT_GT(left, 0);
    ASSERT_NE(ReadFileBytes(config).find("[NAME:"), std::string::npos) << "no record of the killed run";

    std::string output;
    EXPECT_EQ(RunHeadlessCommand({"/scan", "/sections:4", "/fix"}, &output), ExitProblemsFound);
    EXPECT_EQ(remaining(), 0);
    std::set<std::string> sets;
    for (const std::string& path : Cabinets(exeBackups))
        if (!before.count(path) && DeleteFileA(path.c_str()))
            sets.insert(path);
    EXPECT_EQ(sets.size(), 2u) << "the killed run's set and this run's own";
    const size_t named = output.find("\r\nBackup set: ") + 14;
    EXPECT_EQ(sets.count(output.substr(named, output.find("\r\n", named) - named)), 1u) << output;
    EXPECT_NE(output.find("\r\nRepaired: " + std::to_string(left) + ", valid again: 0, kept: 0, refused: 0, failed: 0\r\n"),
              std::string::npos) << output;
}
