#include <gtest/gtest.h>

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "scan/HistoryScanners.h"
#include "scan/Scanners.h"
#include "support/HostLinks.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"
#include "support/SavedBackEnd.h"

namespace {

const std::string fileMissing = "The file (%s) does not exist at the specified location";
const std::string typedUrls = "Software\\Microsoft\\Internet Explorer\\TypedUrls";

class HistoryScan : public ScanTest {
protected:
    void SetUp() override
    {
        ScanTest::SetUp();
        FillMruKeys();
    }
    void Walk(RecordingContext& into, const PlantedKey& key)
    {
        RegKey open;
        ASSERT_EQ(open.Open(key.Root(), key.Path(), KEY_ALL_ACCESS), ERROR_SUCCESS);
        WalkRegistryValues(into, open.Handle(), key.FullPath(), SectionCompleteRegistry);
    }
    SavedBackEnd savedBackEnd;
};

TEST_F(HistoryScan, WalkReportsEachStringValueWhoseDrivePathIsGoneDepthFirstAndNotInClassBranches)
{
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmWalk"));
    struct Case { const char* name; DWORD type; std::string data; std::string reported; };
    const std::string windows = GetWindowsFolder();
    const Case cases[] = {
        {"", REG_SZ, "C:\\QmMissing\\Default.exe", "c:\\qmmissing\\default.exe"},
        {"Icon", REG_SZ, "C:\\QmMissing\\App.EXE,0", "c:\\qmmissing\\app.exe"},
        {"Command", REG_SZ, "\"C:\\QmMissing Dir\\Tool.exe\" /run %1", "c:\\qmmissing dir\\tool.exe"},
        {"Expand", REG_EXPAND_SZ, "%SystemRoot%\\QmMissing\\Gone.dll", "c:\\windows\\qmmissing\\gone.dll"},
        {"Unexpanded", REG_SZ, "C:\\QmMissing\\Log.exe %SystemRoot%\\qm.txt",
         "c:\\qmmissing\\log.exe " + windows + "\\qm.txt"},
        {"Existing", REG_SZ, "C:\\windows\\notepad.exe", ""},
        {"Folder", REG_SZ, "\"C:\\windows\\system32\"", ""},
        {"Bare", REG_SZ, "QmMissing.exe", ""},
        {"Network", REG_SZ, "\\\\qmserver\\share\\QmMissing.exe", ""},
        {"Web", REG_SZ, "http://qm.example/QmMissing.exe", ""},
        {"Digit", REG_SZ, "1:\\QmMissing\\a.exe", ""},
        {"Leading", REG_SZ, ":\\QmMissing\\a.exe", ""},
        {"Multi", REG_MULTI_SZ, std::string("C:\\QmMissing\\m.exe\0", 19), ""},
        {"TooLong", REG_SZ, "C:\\QmMissing\\" + std::string(260, 'x') + ".exe", ""},
    };
    for (const Case& c : cases)
        key.SetString(c.name, c.data, c.type);
    key.SetDword("Number", 1);
    key.SetBinary("Binary", std::vector<BYTE>(cases[1].data.begin(), cases[1].data.end()));
    // Subkeys come first; class branches, in any case, are never entered.
    const std::string lost = "c:\\qmmissing\\lost.exe";
    PlantedKey subkeys[] = {{HKEY_CURRENT_USER, key.Path() + "\\A\\Deep"},
                            {HKEY_CURRENT_USER, key.Path() + "\\MyClasses"},
                            {HKEY_CURRENT_USER, key.Path() + "\\CLASSES\\Below"}};
    for (PlantedKey& subkey : subkeys)
        subkey.SetString("Lost", lost);

    ASSERT_NO_FATAL_FAILURE(Walk(context, key));

    Records expected = {RecordText(13, lost, subkeys[0].FullPath(), "Lost", lost, fileMissing)};
    for (const Case& c : cases)
        if (!c.reported.empty())
            expected.insert(RecordText(13, c.reported, key.FullPath(), c.name, c.reported, fileMissing));
    EXPECT_EQ(context.RecordsWith(key.FullPath()), expected);
    ASSERT_FALSE(context.records.empty());
    EXPECT_EQ(context.records[0]->keyPath, subkeys[0].FullPath()) << "not depth first";
}

// Recent-file lists belong to a section of their own, which the complete scan
// leaves to it. The current user's hive is also a key of HKEY_USERS, under its
// own name there. Two links that lead back to their own key would send a walk
// round for ever; a chain of 300 levels is legal and walked to its end; the
// program's own settings, its managers' backups included, are nobody's
// leftovers. A root whose SOFTWARE key will not open is told and not walked.
TEST_F(HistoryScan, CompleteScanWalksEachRootUnderItsOwnNameToItsEndAndLeavesRecentFilesAndItsOwnSettings)
{
    PlantedKey wordpad(HKEY_CURRENT_USER,
                       "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\Recent File List");
    wordpad.SetString("File1", "C:\\QmMissing\\Letter.doc");
    wordpad.SetString("File2", "C:\\windows\\win.ini");
    const std::string name = UniqueName("QmRoots");
    PlantedKey machine(HKEY_LOCAL_MACHINE, "Software\\" + name), user(HKEY_CURRENT_USER, "Software\\" + name);
    machine.SetString("Lost", "C:\\QmMissing\\beside.exe");
    user.SetString("Lost", "C:\\QmMissing\\user.exe");
    ASSERT_TRUE(PlantDeepChain(HKEY_LOCAL_MACHINE, machine.Path(), 300, "Deep", "C:\\QmMissing\\deep.exe"));
    std::string chain = machine.Path();
    for (int level = 0; level < 300; ++level)
        chain += "\\d";
    LinkKey back1(HKEY_LOCAL_MACHINE, machine.Path(), "back1", HKEY_LOCAL_MACHINE, machine.Path());
    LinkKey back2(HKEY_LOCAL_MACHINE, machine.Path(), "back2", HKEY_LOCAL_MACHINE, machine.Path());
    ASSERT_TRUE(back1.Made() && back2.Made());
    PlantedKey backup(HKEY_CURRENT_USER, "SOFTWARE\\Quillmoor8\\RunLMBkup\\" + name);
    backup.SetString("Lost", "C:\\QmMissing\\removed.exe");

    RecordingContext recent;
    ScanMruLocations(recent);
    ScanLocalMachine(context);
    ScanCurrentUser(context);
    ScanAllUsers(context);

    const std::string letter = "c:\\qmmissing\\letter.doc", lost = "c:\\qmmissing\\user.exe";
    EXPECT_EQ(recent.RecordsWith("\\Wordpad\\"),
              (Records{RecordText(SectionMru, letter, wordpad.FullPath(), "File1", letter, fileMissing)}));
    EXPECT_EQ(context.RecordsWith(wordpad.FullPath()), Records{});
    EXPECT_EQ(context.RecordsWith("Quillmoor8"), Records{});
    Records found = context.RecordsWith(name);
    ASSERT_EQ(found.size(), 4u);
    const std::string users = *found.rbegin(); // HKEY_USERS sorts last
    EXPECT_EQ(users.rfind("13|" + lost + "|HKEY_USERS\\S-1-5-21-", 0), 0u) << users;
    EXPECT_NE(users.find("\\Software\\" + name + "|Lost|" + lost + "|"), std::string::npos) << users;
    found.erase(users);
    EXPECT_EQ(found, (Records{RecordText(13, "c:\\qmmissing\\beside.exe", machine.FullPath(), "Lost",
                                     "c:\\qmmissing\\beside.exe", fileMissing),
                              RecordText(13, "c:\\qmmissing\\deep.exe", "HKEY_LOCAL_MACHINE\\" + chain, "Deep",
                                     "c:\\qmmissing\\deep.exe", fileMissing),
                              RecordText(13, lost, user.FullPath(), "Lost", lost, fileMissing)}));

    regApi.RegOpenKeyExA = [](HKEY parent, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result) {
        return subkey && _stricmp(subkey, "SOFTWARE") == 0
                   ? ERROR_ACCESS_DENIED
                   : RegOpenKeyExA(parent, subkey, options, access, result);
    };
    for (auto pass : {ScanLocalMachine, ScanCurrentUser}) {
        RecordingContext one;
        pass(one);
        EXPECT_EQ(one.calls, std::vector<std::string>{"ShowFailure RegOpenKeyEx FAILED (application title)"});
    }
}

// Counter entries are stored letter-rotated: "UEME_RUNPATH:C:\QmMissing2\Prog.exe".
// Abort stops each scanner at once.
TEST_F(HistoryScan, CounterEntriesNamingMissingDrivePathsAndEveryTypedAddressAreReported)
{
    PlantedKey count(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                        "UserAssist\\{" + UniqueName("QmGuid") + "}\\Count");
    const std::string prog = "HRZR_EHACNGU:P:\\DzZvffvat2\\Cebt.rkr";
    const std::string other = "HRZR_EHACNGU:::P:\\DzZvffvat\\Bgure.rkr";
    for (const std::string& name :
         {prog, other, std::string("HRZR_EHACNGU:P:\\jvaqbjf\\abgrcnq.rkr"),
          std::string("HRZR_EHACNGU:P:\\DzZvffvat\\pfvqy23\\k.rkr"), std::string("HRZR_PGYFRFFVBA"),
          std::string("HRZR_EHAPCY:DzZvffvat.pcy")})
        count.SetBinary(name, std::vector<BYTE>(16, 0));

    ScanUserAssist(context);

    EXPECT_EQ(context.RecordsWith(count.FullPath()),
              (Records{RecordText(13, other, count.FullPath(), other, "C:\\QmMissing\\Other.exe", fileMissing),
                       RecordText(13, prog, count.FullPath(), prog, "C:\\QmMissing2\\Prog.exe", fileMissing)}));

    // Every typed address is reported, unread when too long.
    RecordingContext empty;
    ScanTypedUrls(empty); // no key at all
    EXPECT_TRUE(empty.records.empty());

    PlantedKey key(HKEY_CURRENT_USER, typedUrls);
    key.SetString("url1", "http://qm.example/");
    key.SetString("url2", "ftp://unreachable.invalid/file");
    key.SetString("url3", "http://qm.example/" + std::string(300, 'a')); // too long to read

    ScanTypedUrls(context);

    const std::string at = "HKEY_CURRENT_USER\\" + typedUrls;
    EXPECT_EQ(context.RecordsWith(at),
              (Records{RecordText(21, "url1", at, "", "http://qm.example/", "IE_TYPED_URLS"),
                       RecordText(21, "url2", at, "", "ftp://unreachable.invalid/file", "IE_TYPED_URLS"),
                       RecordText(21, "url3", at, "", "", "IE_TYPED_URLS")}));

    // The flag is cleared as soon as the first item has been handled.
    PlantedKey walk(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmAbort"));
    PlantedKey sub(HKEY_CURRENT_USER, walk.Path() + "\\Sub");
    for (const char* name : {"a", "b", "c"}) {
        walk.SetString(name, "C:\\QmMissing\\a.exe");
        sub.SetString(name, "C:\\QmMissing\\b.exe");
    }
    RecordingContext walked, typed;
    walked.onItem = typed.onItem = [](const std::string&) { keepScanning = 0; };
    ASSERT_NO_FATAL_FAILURE(Walk(walked, walk));
    keepScanning = 1;
    ScanTypedUrls(typed);
    for (const RecordingContext* aborted : {&walked, &typed}) {
        EXPECT_EQ(aborted->records.size(), 1u);
        EXPECT_EQ(aborted->steps, 1);
    }
}

} // namespace
