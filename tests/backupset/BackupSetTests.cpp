#include <gtest/gtest.h>

#include <set>

#include <windows.h>
#include <shlwapi.h>

#include "core/Registry.h"
#include "repair/BackupSet.h"
#include "repair/RegExport.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/RegistryTree.h"
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

// Only what exists is recorded, each refusal says why, and the restore puts back every type and awkward name exactly.
TEST(BackupSet, RecordsExportsAndCopiesOfOneRepairBecomeOneCabinetThatRestoresExactly)
{
    // Every value type, empty and huge data, and names the import could misread.
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmSetKey"));
    std::string pattern;
    for (int i = 0; i < 60000; ++i)
        pattern += static_cast<char>(i * 7 % 256);
    const std::tuple<std::string, DWORD, std::string> values[] = {
        {"", REG_SZ, std::string("default \"quoted\" C:\\path\\", 26)},
        {"quo\"te=", REG_SZ, std::string(1, '\0')},
        {"back\\slash\\", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15)},
        {"br]ack[et", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
        {"\xe9t\xe9 caf\xe9", REG_SZ, std::string("na\xefve\0", 6)},
        {"line\nbreak", REG_SZ, std::string("two\r\nlines\0", 11)},
        {"embedded nul", REG_SZ, std::string("a\0b\0", 4)},
        {"empty sz", REG_SZ, ""},
        {"empty multi", REG_MULTI_SZ, ""},
        {"none bytes", REG_NONE, "\x01\x02\x03"},
        {"dword", REG_DWORD, "\xef\xbe\xad\xde"},
        {"short dword", REG_DWORD, "\x01\x02\x03"},
        {"big endian", REG_DWORD_BIG_ENDIAN, std::string("\0\0\x01\x02", 4)},
        {"link", REG_LINK, std::string("\\\0x\0", 4)},
        {"requirements", REG_RESOURCE_REQUIREMENTS_LIST, pattern.substr(5, 77)},
        {"qword", REG_QWORD, pattern.substr(9, 8)},
        {"odd type", 0x12345, pattern.substr(11, 5)},
        {"empty binary", REG_BINARY, ""},
        {"huge binary", REG_BINARY, pattern},
        {"huge string", REG_SZ, std::string(40000, 'x') + '\0'},
    };
    for (const auto& [name, type, data] : values)
        key.SetBinary(name, std::vector<BYTE>(data.begin(), data.end()), type);
    for (const std::string sub : {"sub]key", "quo\"te key", "\xe9t\xe9", "deep\\er\\still"})
        SHSetValueA(key.Root(), (key.Path() + "\\" + sub).c_str(), "here", REG_SZ, sub.c_str(), DWORD(sub.size() + 1));
    key.Subkey("empty key");
    PlantedKey run(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmSetRun"));
    run.SetString("Gone", "C:\\Gone.exe", REG_EXPAND_SZ);
    const std::string root = TestTempFolder() + UniqueName("qmset");
    PlantedFile first(root + "\\a\\App.lnk", "first"), second(root + "\\b\\App.lnk", "second");
    PlantedFolder work(root + "\\work");
    CabinetsMade cabinets;
    MessageCapture capture;
    const RegistryTree keyBefore = TreeAt(key.Root(), key.Path());
    const std::vector<std::string> runBefore = SortedExport(run.FullPath());

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
    EXPECT_TRUE(Names(work.Path()).empty()) << "the work folder is emptied once the cabinet holds it all";
    EXPECT_EQ(cabinets.New(), std::vector<std::string>{set.CabinetPath()});
    const std::string out = root + "\\out";
    EXPECT_EQ(Unpacked(set.CabinetPath(), out), config);
    EXPECT_EQ(Names(out), (std::set<std::string>{"5_App.lnk", "App.lnk", "Config.ini", "ZipLog.txt", "rkBackUp1.reg",
                                                 "rvBackUp3.reg", "rvBackUp6.reg"}));
    const std::string exported = ReadFileBytes(out + "\\rkBackUp1.reg");
    EXPECT_EQ(exported.rfind("REGEDIT4\r\n\r\n[" + key.FullPath() + "]\r\n", 0), 0u);
    EXPECT_EQ(CountOf(exported, "\n"), CountOf(exported, "\r\n")) << "every line ends with CR LF";

    // The restore puts back the key exactly, both files and the tweaked value's absence.
    ASSERT_EQ(DeleteRegKey(HKEY_CURRENT_USER, key.Path()), 1);
    run.SetDword("Absent", 1);
    DeleteFileA(first.Path().c_str());
    DeleteFileA(second.Path().c_str());
    EXPECT_EQ(RunHeadlessCommand({"/restore:" + set.CabinetPath()}), 0);
    const RegistryTree keyAfter = TreeAt(key.Root(), key.Path());
    for (const auto& [path, value] : keyBefore)
        EXPECT_TRUE(keyAfter.count(path) && keyAfter.at(path) == value) << "not back as it was: " << path;
    EXPECT_EQ(keyAfter.size(), keyBefore.size());
    EXPECT_EQ(SortedExport(run.FullPath()), runBefore);
    EXPECT_EQ(ReadFileBytes(first.Path()) + "|" + ReadFileBytes(second.Path()), "first|second");

    BackupSet lost;
    lost.Begin(root + "\\no such folder");
    EXPECT_EQ(lost.AppendRecord("[TYPE:FILE]\r\n[DEST_PATH:x]\r\n"), 0);
    ASSERT_EQ(capture.Messages().size(), 2u);
    EXPECT_EQ(capture.Messages()[1].title + "|" + capture.Messages()[1].text, "|Error creating config.ini, err=3");
}

// A set that did not pack keeps its files; the next repair packs them, beside (never over) a set of the same second.
TEST(BackupSet, BackupThatDidNotPackStaysAndIsPackedAtTheNextRepairUnderAFreeName)
{
    const std::string root = TestTempFolder() + UniqueName("qmkeep");
    PlantedFolder work(root + "\\work");
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmKeep"));
    key.SetDword("count", 3);
    const std::string setName = "7,4,2009_15,3,9";
    PlantedFile earlier(BackupSet::BackupFolder() + "\\" + setName + ".cab", "an earlier set");
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

    // The kept set is named after the time it was begun, which an earlier set already has.
    SYSTEMTIME when = {2009, 7, 0, 4, 15, 3, 9, 0};
    FILETIME local, begun;
    SystemTimeToFileTime(&when, &local);
    LocalFileTimeToFileTime(&local, &begun);
    HANDLE index = CreateFileA((work.Path() + "\\Config.ini").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_TRUE(SetFileTime(index, &begun, nullptr, &begun));
    CloseHandle(index);
    EXPECT_EQ(BackupSet::RecoverUnfinishedSet(work.Path(), message), 1) << message;
    EXPECT_TRUE(Names(work.Path()).empty());
    ASSERT_EQ(cabinets.New(), std::vector<std::string>{BackupSet::BackupFolder() + "\\" + setName + "_2.cab"});
    EXPECT_EQ(ReadFileBytes(earlier.Path()), "an earlier set");
    EXPECT_EQ(Unpacked(cabinets.New()[0], root + "\\out"), config);
    EXPECT_EQ(Names(root + "\\out"), kept);
    EXPECT_EQ(BackupSet::BackupDateText(setName + "_2"), "Saturday, July 04, 2009 Time: 15:03:09");
    EXPECT_TRUE(capture.Messages().empty());
}

// A link leading back into the export is left out; deleting it removes the link, never what it leads to.
TEST(RegExport, LinkLeadingBackIntoTheExportIsLeftOut)
{
    PlantedKey top(HKEY_LOCAL_MACHINE, "Software\\" + UniqueName("QmLoop"));
    top.SetString("here", "once");
    const std::wstring path(top.Path().begin(), top.Path().end()), target = L"\\Registry\\Machine\\" + path;
    HKEY link;
    ASSERT_EQ(RegCreateKeyExW(top.Root(), (path + L"\\inner\\loop").c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                              KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                             static_cast<DWORD>(target.size() * sizeof(wchar_t))), ERROR_SUCCESS);
    RegCloseKey(link);
    ASSERT_EQ(KeyExists(top.Root(), top.Path() + "\\inner\\loop\\inner\\loop\\inner"), 1) << "the link leads back";
    std::string text, problem;
    EXPECT_EQ(ExportRegKeyText(top.FullPath(), text, problem), 1) << problem;
    EXPECT_EQ(DeleteRegKey(top.Root(), top.Path() + "\\inner\\loop"), 1);
    EXPECT_EQ(ReadRegString(top.Root(), top.Path(), "here"), "once");
    EXPECT_EQ(CountOf(text, "\"here\"=\"once\""), 1u) << text;
    EXPECT_EQ(CountOf(text, "]\r\n"), 2u) << "the top and inner only:\n" << text;
}
