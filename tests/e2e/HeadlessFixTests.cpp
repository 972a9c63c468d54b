#include <gtest/gtest.h>

#include <windows.h>

#include <list>
#include <set>
#include <string>

#include "core/Handles.h"
#include "core/Registry.h"
#include "repair/BackupSet.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"
#include "support/UiSteps.h"

namespace {

// Runs Quillmoor8.exe to its end with its standard output going to a file;
// answers its exit code.
DWORD RunWithOutput(const std::string& arguments, std::string& output)
{
    PlantedFile file(TestTempFolder() + UniqueName("QmFixOutput") + ".txt", "");
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HandleOwner handle(CreateFileA(file.Path().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = handle.Get();
    PROCESS_INFORMATION started = {};
    std::string command = "\"" + QuillmoorExe() + "\" " + arguments;
    DWORD code = STILL_ACTIVE;
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started)) {
        HandleOwner process(started.hProcess), thread(started.hThread);
        WaitForSingleObject(process.Get(), 300000);
        GetExitCodeProcess(process.Get(), &code);
    }
    handle.Reset();
    output = ReadFileBytes(file.Path());
    return code;
}

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
// repairs the rest and names its own set.
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
    const std::string unfinished = ReadFileBytes(config);
    const std::string firstRecord = unfinished.substr(0, unfinished.find("]", unfinished.find("[NAME:")) + 1);
    ASSERT_FALSE(firstRecord.empty());

    std::string output;
    EXPECT_EQ(RunWithOutput("/scan /sections:4 /fix", output), 1u) << output;
    EXPECT_EQ(remaining(), 0);
    // Two new sets: the recovered one begins with the killed run's first record.
    int recovered = 0, own = 0;
    for (const std::string& path : Cabinets(exeBackups)) {
        if (before.count(path))
            continue;
        PlantedFolder unpacked{TestTempFolder() + UniqueName("QmRecovered")};
        BackupSet set;
        set.SetCabinetPath(path);
        set.UnpackTo(unpacked.Path());
        if (ReadFileBytes(unpacked.Path() + "\\Config.ini").rfind(firstRecord, 0) == 0)
            ++recovered;
        else
            own += output.find("Backup set: " + path + "\r\n") != std::string::npos;
        DeleteFileA(path.c_str());
    }
    EXPECT_EQ(recovered, 1);
    EXPECT_EQ(own, 1) << output;
}
