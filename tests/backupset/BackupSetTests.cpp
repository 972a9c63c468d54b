// A backup set as one repair writes it: its Config.ini byte for byte, the
// exports and copies beside it, the cabinet it becomes, what is kept when
// packing fails, and the recovery of a set that was never finished.

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "repair/BackupSet.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The file names in `folder` matching `pattern`.
std::set<std::string> Names(const std::string& folder, const std::string& pattern = "*")
{
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (found.cFileName[0] != '.')
            names.insert(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

// Removes the cabinets a test made in the backup folder.
struct CabinetsMade {
    std::set<std::string> before = Names(BackupSet::BackupFolder(), "*.cab");
    std::set<std::string> New() const
    {
        std::set<std::string> made;
        for (const std::string& name : Names(BackupSet::BackupFolder(), "*.cab"))
            if (!before.count(name))
                made.insert(name);
        return made;
    }
    ~CabinetsMade()
    {
        for (const std::string& name : New())
            DeleteFileA((BackupSet::BackupFolder() + "\\" + name).c_str());
    }
};

std::string Unpacked(const std::string& cabinet, const std::string& folder)
{
    BackupSet reader;
    reader.SetCabinetPath(cabinet);
    EXPECT_EQ(reader.UnpackTo(folder), 1) << cabinet;
    return ReadFileBytes(folder + "\\Config.ini");
}

std::string SetNameAt(const SYSTEMTIME& when)
{
    char name[64];
    snprintf(name, sizeof(name), "%d,%d,%d_%d,%d,%d", when.wMonth, when.wDay, when.wYear, when.wHour, when.wMinute,
             when.wSecond);
    return name;
}

} // namespace

TEST(BackupSet, RecordsExportsAndCopiesOfOneRepairBecomeOneCabinet)
{
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmSetKey"));
    key.SetString("Path", "C:\\gone\\app.exe");
    key.Subkey("Sub");
    PlantedKey run(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmSetRun"));
    run.SetString("Gone", "C:\\Gone.exe");
    const std::string root = TestTempFolder() + UniqueName("qmset");
    PlantedFile first(root + "\\a\\App.lnk", "first");
    PlantedFile second(root + "\\b\\App.lnk", "second");
    PlantedFolder work(root + "\\work");
    CabinetsMade cabinets;
    MessageCapture capture;

    BackupSet set;
    ASSERT_EQ(set.Begin(work.Path()), 1);
    EXPECT_EQ(set.AddRegKey(key.FullPath(), 1), 1) << set.LastProblem();
    EXPECT_EQ(set.AddRegValue(run.FullPath(), "Gone", "c:\\gone.exe", 3), 1) << set.LastProblem();
    EXPECT_EQ(set.AddFileCopy(first.Path(), 4), 1) << set.LastProblem();
    EXPECT_EQ(set.AddFileCopy(second.Path(), 5), 1) << set.LastProblem();
    EXPECT_EQ(set.AddValueState(run.FullPath(), "Absent", 6), 1) << set.LastProblem();
    const std::string config =
        "[TYPE:REG_KEY]\r\r\n[NAME:" + key.FullPath() + "]\r\r\n[PATH:\\rkBackUp1.reg]\r\r\n"
        "[TYPE:REG_VALUE]\r\r\n[MAIN_KEY:" + run.FullPath() + "]\r\r\n[VALUE_NAME:Gone]\r\r\n[VALUE:c:\\gone.exe]\r\r\n"
        "[TYPE:REG_VALUE_EXACT]\r\r\n[PATH:\\rvBackUp3.reg]\r\r\n"
        "[TYPE:FILE]\r\r\n[DEST_PATH:" + first.Path() + "]\r\r\n[TYPE:FILE_COPY]\r\r\n[PATH:\\App.lnk]\r\r\n"
        "[TYPE:FILE]\r\r\n[DEST_PATH:" + second.Path() + "]\r\r\n[TYPE:FILE_COPY]\r\r\n[PATH:\\5_App.lnk]\r\r\n"
        "[TYPE:REG_VALUE]\r\r\n[MAIN_KEY:" + run.FullPath() + "]\r\r\n[VALUE_NAME:Absent]\r\r\n[VALUE:]\r\r\n"
        "[TYPE:REG_VALUE_EXACT]\r\r\n[PATH:\\rvBackUp6.reg]\r\r\n";
    EXPECT_EQ(ReadFileBytes(work.Path() + "\\Config.ini"), config);

    const std::string cabinet = set.CabinetPath();
    ASSERT_EQ(set.Finish(), 1) << set.ResultText();
    EXPECT_TRUE(capture.Messages().empty());
    EXPECT_TRUE(Names(work.Path()).empty()) << "the work folder is emptied once the cabinet holds it all";
    ASSERT_EQ(cabinets.New().size(), 1u);
    EXPECT_EQ(BackupSet::BackupFolder() + "\\" + *cabinets.New().begin(), cabinet);

    const std::string out = root + "\\out";
    EXPECT_EQ(Unpacked(cabinet, out), config);
    EXPECT_EQ(Names(out), (std::set<std::string>{"5_App.lnk", "App.lnk", "Config.ini", "ZipLog.txt", "rkBackUp1.reg",
                                                 "rvBackUp3.reg", "rvBackUp6.reg"}));
    EXPECT_EQ(ReadFileBytes(out + "\\App.lnk"), "first");
    EXPECT_EQ(ReadFileBytes(out + "\\5_App.lnk"), "second");
    EXPECT_EQ(ReadFileBytes(out + "\\rkBackUp1.reg"), "REGEDIT4\r\n\r\n[" + key.FullPath() +
                                                          "]\r\n\"Path\"=\"C:\\\\gone\\\\app.exe\"\r\n\r\n[" +
                                                          key.FullPath() + "\\Sub]\r\n\r\n");
    EXPECT_EQ(ReadFileBytes(out + "\\rvBackUp3.reg"),
              "REGEDIT4\r\n\r\n[" + run.FullPath() + "]\r\n\"Gone\"=\"C:\\\\Gone.exe\"\r\n\r\n");
    EXPECT_EQ(ReadFileBytes(out + "\\rvBackUp6.reg"), "REGEDIT4\r\n\r\n[" + run.FullPath() + "]\r\n\"Absent\"=-\r\n\r\n");
}

TEST(BackupSet, NothingMissingIsRecordedAndEveryFailureSaysWhy)
{
    const std::string root = TestTempFolder() + UniqueName("qmfail");
    PlantedFolder work(root + "\\work");
    PlantedKey run(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmSetRun"));
    CabinetsMade cabinets;
    MessageCapture capture;
    BackupSet set;
    ASSERT_EQ(set.Begin(work.Path()), 1);
    EXPECT_EQ(set.AddRegKey(run.FullPath() + "\\Missing", 1), 0);
    EXPECT_NE(set.LastProblem().find(run.FullPath() + "\\Missing"), std::string::npos) << set.LastProblem();
    EXPECT_EQ(set.AddRegValue(run.FullPath(), "Missing", "C:\\x.exe", 2), 0);
    EXPECT_NE(set.LastProblem().find("does not exist"), std::string::npos) << set.LastProblem();
    EXPECT_EQ(set.AddFileCopy(root + "\\missing.lnk", 3), 0);
    EXPECT_TRUE(capture.Texts().size() == 1 && capture.Messages()[0].title == "test_backupset");
    EXPECT_EQ(capture.Texts(), std::vector<std::string>{"Error backing up file src=" + root +
                                                        "\\missing.lnk dest=" + work.Path() + "\\missing.lnk, err=2"});
    EXPECT_TRUE(Names(work.Path()).empty()) << "no record, no export, no copy";

    BackupSet lost;
    lost.Begin(root + "\\no such folder");
    EXPECT_EQ(lost.AppendRecord("[TYPE:FILE]\r\n[DEST_PATH:x]\r\n"), 0);
    ASSERT_EQ(capture.Messages().size(), 2u);
    EXPECT_EQ(capture.Messages()[1].text, "Error creating config.ini, err=3");
    EXPECT_EQ(capture.Messages()[1].title, "");
}

TEST(BackupSet, SetNamesNeverRepeatAndReadAsDates)
{
    const std::pair<const char*, const char*> dates[] = {
        {"7,4,2009_15,3,9", "Saturday, July 04, 2009 Time: 15:03:09"},
        {"7,4,2009_15,3,9_2", "Saturday, July 04, 2009 Time: 15:03:09"},
        {"12,31,1999_23,59,59_13", "Friday, December 31, 1999 Time: 23:59:59"},
        {"backup", ""},
    };
    for (const auto& [name, text] : dates)
        EXPECT_EQ(BackupSet::BackupDateText(name), text) << name;

    // Sets of this second and the next few exist already: the new one takes a suffix.
    CabinetsMade cabinets;
    CreateDirectoryA(BackupSet::BackupFolder().c_str(), nullptr);
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME stamp;
    SystemTimeToFileTime(&now, &stamp);
    std::vector<std::unique_ptr<PlantedFile>> taken;
    std::set<std::string> takenNames;
    for (int second = 0; second < 5; ++second) {
        ULARGE_INTEGER at = {{stamp.dwLowDateTime, stamp.dwHighDateTime}};
        at.QuadPart += second * 10000000ULL;
        FILETIME later = {at.LowPart, at.HighPart};
        SYSTEMTIME when;
        FileTimeToSystemTime(&later, &when);
        takenNames.insert(SetNameAt(when));
        taken.push_back(std::make_unique<PlantedFile>(BackupSet::BackupFolder() + "\\" + SetNameAt(when) + ".cab",
                                                      "an earlier set"));
    }
    PlantedFolder work(TestTempFolder() + UniqueName("qmname"));
    BackupSet set;
    ASSERT_EQ(set.Begin(work.Path()), 1);
    const std::string cabinet = set.CabinetPath();
    const std::string name = cabinet.substr(cabinet.rfind('\\') + 1);
    ASSERT_GT(name.size(), 6u);
    EXPECT_EQ(name.substr(name.size() - 6), "_2.cab") << name;
    EXPECT_EQ(takenNames.count(name.substr(0, name.size() - 6)), 1u) << name;
    EXPECT_EQ(set.Finish(), 1) << set.ResultText();
    for (const auto& earlier : taken)
        EXPECT_EQ(ReadFileBytes(earlier->Path()), "an earlier set");
}

TEST(BackupSet, BackupThatDidNotPackStaysAndIsPackedAtTheNextRepair)
{
    const std::string root = TestTempFolder() + UniqueName("qmkeep");
    PlantedFolder work(root + "\\work");
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmKeep"));
    key.SetDword("count", 3);
    CabinetsMade cabinets;
    MessageCapture capture;

    std::string message;
    PlantedFile stray(work.Path() + "\\stray.txt", "no set here");
    EXPECT_EQ(BackupSet::RecoverUnfinishedSet(work.Path(), message), 1);
    EXPECT_TRUE(cabinets.New().empty()) << "a folder without Config.ini holds no set";
    EXPECT_EQ(ReadFileBytes(stray.Path()), "no set here");

    std::string config;
    {
        BackupSet set;
        ASSERT_EQ(set.Begin(work.Path()), 1);
        ASSERT_EQ(set.AddRegKey(key.FullPath(), 1), 1);
        config = ReadFileBytes(work.Path() + "\\Config.ini");
        // A file that cannot be read cannot be packed: the cabinet would be short of it.
        HANDLE held = CreateFileA((work.Path() + "\\held.dat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(set.Finish(), 0);
        CloseHandle(held);
        EXPECT_NE(set.ResultText().find(work.Path()), std::string::npos) << set.ResultText();
        EXPECT_EQ(ReadFileBytes(work.Path() + "\\Config.ini"), config);
        EXPECT_TRUE(Exists(work.Path() + "\\rkBackUp1.reg"));
        EXPECT_TRUE(cabinets.New().empty()) << "a cabinet short of the backup is not left as a set";
    }

    // The next repair packs what was kept into a set of its own before it begins.
    EXPECT_EQ(BackupSet::RecoverUnfinishedSet(work.Path(), message), 1) << message;
    EXPECT_TRUE(Names(work.Path()).empty());
    ASSERT_EQ(cabinets.New().size(), 1u);
    const std::string out = root + "\\out";
    EXPECT_EQ(Unpacked(BackupSet::BackupFolder() + "\\" + *cabinets.New().begin(), out), config);
    EXPECT_TRUE(Exists(out + "\\rkBackUp1.reg"));
    EXPECT_TRUE(Exists(out + "\\held.dat"));
    EXPECT_TRUE(Exists(out + "\\stray.txt"));
    EXPECT_TRUE(capture.Messages().empty());
}
