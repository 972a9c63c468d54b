#include <gtest/gtest.h>

#include <set>

#include "core/Registry.h"
#include "repair/BackupSet.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/StateWitness.h"

namespace {

// The file names in `folder` matching `pattern`.
std::set<std::string> Names(const std::string& folder, const std::string& pattern = "*")
{
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        if (found.cFileName[0] != '.')
            names.insert(found.cFileName);
    FindClose(search);
    return names;
}

// The cabinets a test made in the backup folder, removed at the end.
struct CabinetsMade {
    std::set<std::string> before = Names(BackupSet::BackupFolder(), "*.cab");
    std::vector<std::string> New() const
    {
        std::vector<std::string> made;
        for (const std::string& name : Names(BackupSet::BackupFolder(), "*.cab"))
            if (!before.count(name))
                made.push_back(BackupSet::BackupFolder() + "\\" + name);
        return made;
    }
    ~CabinetsMade()
    {
        for (const std::string& path : New())
            DeleteFileA(path.c_str());
    }
};

std::string Unpacked(const std::string& cabinet, const std::string& folder)
{
    BackupSet reader;
    reader.SetCabinetPath(cabinet);
    EXPECT_EQ(reader.UnpackTo(folder), 1) << cabinet;
    return ReadFileBytes(folder + "\\Config.ini");
}

} // namespace

// Only what exists is recorded, and each refusal says why.
TEST(BackupSet, RecordsExportsAndCopiesOfOneRepairBecomeOneCabinet)
{
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmSetKey"));
    key.SetString("Path", "C:\\gone\\app.exe");
    key.Subkey("Sub");
    PlantedKey run(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmSetRun"));
    run.SetString("Gone", "C:\\Gone.exe", REG_EXPAND_SZ);
    const std::string root = TestTempFolder() + UniqueName("qmset");
    PlantedFile first(root + "\\a\\App.lnk", "first"), second(root + "\\b\\App.lnk", "second");
    PlantedFolder work(root + "\\work");
    CabinetsMade cabinets;
    MessageCapture capture;
    const std::vector<std::string> keyBefore = SortedExport(key.FullPath()), runBefore = SortedExport(run.FullPath());

    BackupSet set;
    ASSERT_EQ(set.Begin(work.Path()), 1);
    EXPECT_EQ(set.AddRegKey(key.FullPath() + "\\Missing", 1), 0);
    EXPECT_NE(set.LastProblem().find(key.FullPath() + "\\Missing"), std::string::npos) << set.LastProblem();
    EXPECT_EQ(set.AddRegValue(run.FullPath(), "Missing", "C:\\x.exe", 1), 0);
    EXPECT_NE(set.LastProblem().find("does not exist"), std::string::npos) << set.LastProblem();
    EXPECT_EQ(set.AddFileCopy(root + "\\missing.lnk", 1), 0);
    ASSERT_EQ(capture.Messages().size(), 1u);
    EXPECT_EQ(capture.Messages()[0].title + "|" + capture.Messages()[0].text, "test_backupset|Error backing up file src=" +
              root + "\\missing.lnk dest=" + work.Path() + "\\missing.lnk, err=2");

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

    ASSERT_EQ(set.Finish(), 1) << set.ResultText();
    EXPECT_EQ(capture.Messages().size(), 1u);
    EXPECT_TRUE(Names(work.Path()).empty()) << "the work folder is emptied once the cabinet holds it all";
    EXPECT_EQ(cabinets.New(), std::vector<std::string>{set.CabinetPath()});
    const std::string out = root + "\\out";
    EXPECT_EQ(Unpacked(set.CabinetPath(), out), config);
    EXPECT_EQ(Names(out), (std::set<std::string>{"5_App.lnk", "App.lnk", "Config.ini", "ZipLog.txt", "rkBackUp1.reg",
                                                 "rvBackUp3.reg", "rvBackUp6.reg"}));

    // The restore puts back the key, the value exactly, both files and the tweaked value's absence.
    ASSERT_EQ(DeleteRegKey(HKEY_CURRENT_USER, key.Path()), 1);
    ASSERT_EQ(DeleteRegValue(HKEY_CURRENT_USER, run.Path(), "Gone"), 1);
    run.SetDword("Absent", 1);
    DeleteFileA(first.Path().c_str());
    DeleteFileA(second.Path().c_str());
    EXPECT_EQ(RunHeadlessCommand({"/restore:" + set.CabinetPath()}), 0);
    EXPECT_EQ(SortedExport(key.FullPath()), keyBefore);
    EXPECT_EQ(SortedExport(run.FullPath()), runBefore);
    EXPECT_EQ(ReadFileBytes(first.Path()) + "|" + ReadFileBytes(second.Path()), "first|second");

    BackupSet lost;
    lost.Begin(root + "\\no such folder");
    EXPECT_EQ(lost.AppendRecord("[TYPE:FILE]\r\n[DEST_PATH:x]\r\n"), 0);
    ASSERT_EQ(capture.Messages().size(), 2u);
    EXPECT_EQ(capture.Messages()[1].title + "|" + capture.Messages()[1].text, "|Error creating config.ini, err=3");
}

TEST(BackupSet, SetNamesNeverRepeatAndReadAsDates)
{
    for (const auto& [name, text] : {std::pair{"7,4,2009_15,3,9_2", "Saturday, July 04, 2009 Time: 15:03:09"},
                                     {"12,31,1999_23,59,59_13", "Friday, December 31, 1999 Time: 23:59:59"},
                                     {"backup", ""}})
        EXPECT_EQ(BackupSet::BackupDateText(name), text) << name;

    // A set begun in the second of an earlier one takes a suffix and leaves the earlier one be.
    CabinetsMade cabinets;
    PlantedFolder work(TestTempFolder() + UniqueName("qmname"));
    for (int tries = 0;; ++tries) {
        ASSERT_LT(tries, 5) << "never two sets within one second";
        BackupSet earlier, later;
        ASSERT_EQ(earlier.Begin(work.Path()), 1);
        ASSERT_EQ(earlier.AddValueState("HKEY_CURRENT_USER\\Software", UniqueName("QmNone"), 1), 1);
        ASSERT_EQ(earlier.Finish(), 1) << earlier.ResultText();
        const std::string stem = earlier.CabinetPath().substr(0, earlier.CabinetPath().size() - 4);
        const std::string bytes = ReadFileBytes(earlier.CabinetPath());
        ASSERT_EQ(later.Begin(work.Path()), 1);
        ASSERT_EQ(later.AddValueState("HKEY_CURRENT_USER\\Software", UniqueName("QmNone"), 1), 1);
        if (later.CabinetPath().rfind(stem, 0) != 0 || CountOf(stem.substr(stem.rfind('\\')), "_") != 1)
            continue; // the clock moved on, or the earlier one has a suffix already
        EXPECT_EQ(later.CabinetPath(), stem + "_2.cab");
        EXPECT_EQ(later.Finish(), 1) << later.ResultText();
        EXPECT_EQ(ReadFileBytes(earlier.CabinetPath()), bytes);
        break;
    }
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

    BackupSet set;
    ASSERT_EQ(set.Begin(work.Path()), 1);
    ASSERT_EQ(set.AddRegKey(key.FullPath(), 1), 1);
    const std::string config = ReadFileBytes(work.Path() + "\\Config.ini");
    // A file that cannot be read cannot be packed: the cabinet would be short of it.
    HANDLE held = CreateFileA((work.Path() + "\\held.dat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(set.Finish(), 0);
    CloseHandle(held);
    EXPECT_NE(set.ResultText().find(work.Path()), std::string::npos) << set.ResultText();
    const std::set<std::string> kept = {"Config.ini", "ZipLog.txt", "held.dat", "rkBackUp1.reg", "stray.txt"};
    EXPECT_EQ(Names(work.Path()), kept);
    EXPECT_TRUE(cabinets.New().empty()) << "a cabinet short of the backup is not left as a set";

    // The next repair packs what was kept into a set of its own before it begins.
    EXPECT_EQ(BackupSet::RecoverUnfinishedSet(work.Path(), message), 1) << message;
    EXPECT_TRUE(Names(work.Path()).empty());
    ASSERT_EQ(cabinets.New().size(), 1u);
    EXPECT_EQ(Unpacked(cabinets.New()[0], root + "\\out"), config);
    EXPECT_EQ(Names(root + "\\out"), kept);
    EXPECT_TRUE(capture.Messages().empty());
}
