#include <gtest/gtest.h>

#include <windows.h>

#include <list>
#include <string>
#include <vector>

#include "core/Registry.h"
#include "repair/BackupSet.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/SavedSettings.h"
#include "support/UiDriver.h"

namespace {

const std::string appPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// Quillmoor8.exe started with its standard output going to a file.
class CapturedRun {
public:
    explicit CapturedRun(const std::string& arguments)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        output = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output;
        std::string command = "\"" + QuillmoorExe() + "\" " + arguments;
        EXPECT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                   &process));
    }
    ~CapturedRun()
    {
        if (Running())
            TerminateProcess(process.hProcess, 9);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        CloseHandle(output);
        DeleteFileA(outPath.c_str());
    }
    bool Running() const { return WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT; }
    void Kill() { TerminateProcess(process.hProcess, 9), WaitForSingleObject(process.hProcess, 10000); }
    DWORD Wait(DWORD milliseconds)
    {
        DWORD code = STILL_ACTIVE;
        WaitForSingleObject(process.hProcess, milliseconds);
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }
    std::string Output() const { return ReadFileBytes(outPath); }

private:
    std::string outPath = TestTempFolder() + UniqueName("QmFixOutput") + ".txt";
    HANDLE output = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION process = {};
};

// The value of the output line that begins with `prefix`.
std::string LineAfter(const std::string& text, const std::string& prefix)
{
    size_t at = text.find(prefix);
    if (at == std::string::npos)
        return std::string();
    at += prefix.size();
    return text.substr(at, text.find('\r', at) - at);
}

class HeadlessFix : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(WriteDefaultSettings(), 1);
        ASSERT_EQ(WriteSetting("Log File Path", logs.Path()), 1);
    }
    void TearDown() override
    {
        for (const std::string& set : sets)
            DeleteFileA(set.c_str());
    }
    // `count` App Paths keys whose program is gone.
    void PlantBroken(int count)
    {
        for (int i = 0; i < count; ++i) {
            planted.emplace_back(HKEY_LOCAL_MACHINE, appPathsKey + UniqueName("QmFix") + ".exe");
            planted.back().SetString("", "C:\\" + UniqueName("QmFixGone") + "\\gone.exe");
        }
    }
    int Remaining() const
    {
        int left = 0;
        for (const PlantedKey& key : planted)
            left += KeyExists(HKEY_LOCAL_MACHINE, key.Path());
        return left;
    }

    SavedSettingsKey saved;
    PlantedFolder logs{TestTempFolder() + UniqueName("QmFixLogs")};
    std::list<PlantedKey> planted;
    std::vector<std::string> sets;
    const std::string exeBackups = QuillmoorExe().substr(0, QuillmoorExe().rfind('\\')) + "\\Quillmoor8Backup";
};

} // namespace

// A run killed while it writes its set leaves the set unfinished in the work
// folder; the next fix packs it into a set of its own before it begins, then
// repairs the rest and names its own set.
TEST_F(HeadlessFix, AKilledRunsSetIsRecoveredByTheNextAndEveryProblemEndsRepaired)
{
    PlantBroken(150);
    const std::string config = TestTempFolder() + "Quillmoor8BackUp\\Config.ini";
    {
        CapturedRun first("/scan /sections:4 /fix");
        for (DWORD start = GetTickCount(); GetFileAttributesA(config.c_str()) == INVALID_FILE_ATTRIBUTES &&
                                           first.Running() && GetTickCount() - start < 120000;)
            Sleep(5);
        ASSERT_TRUE(first.Running()) << "the first run ended before it could be killed";
        first.Kill();
    }
    const int left = Remaining();
    ASSERT_GT(left, 0);
    std::string unfinished = ReadFileBytes(config);
    ASSERT_FALSE(unfinished.empty());

    CapturedRun second("/scan /sections:4 /fix");
    EXPECT_EQ(second.Wait(300000), 1u) << second.Output();
    const std::string output = second.Output();
    const std::string cabinet = LineAfter(output, "Backup set: ");
    ASSERT_FALSE(cabinet.empty()) << output;
    sets.push_back(cabinet);
    EXPECT_EQ(cabinet.rfind(exeBackups + "\\", 0), 0u) << cabinet;
    EXPECT_EQ(Remaining(), 0);

    // The recovered set is the other new set of the folder, holding the
    // killed run's first record.
    std::string firstRecord = unfinished.substr(0, unfinished.find("]", unfinished.find("[NAME:")) + 1);
    int recovered = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((exeBackups + "\\*.cab").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        std::string path = exeBackups + "\\" + found.cFileName;
        if (path == cabinet)
            continue;
        PlantedFolder unpacked{TestTempFolder() + UniqueName("QmRecovered")};
        BackupSet set;
        set.SetCabinetPath(path);
        set.UnpackTo(unpacked.Path());
        if (ReadFileBytes(unpacked.Path() + "\\Config.ini").rfind(firstRecord, 0) == 0) {
            ++recovered;
            sets.push_back(path);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(recovered, 1);
}
