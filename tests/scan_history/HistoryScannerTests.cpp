#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "scan/HistoryScanners.h"
#include "scan/Scanners.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

const std::string fileMissing = "The file (%s) does not exist at the specified location";
const std::string userAssist = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist";
const std::string typedUrls = "Software\\Microsoft\\Internet Explorer\\TypedUrls";

class HistoryScan : public testing::Test {
protected:
    void SetUp() override
    {
        keepScanning = 1;
        FillMruKeys();
    }
    void TearDown() override
    {
        keepScanning = 0;
        regApi.RegOpenKeyExA = ::RegOpenKeyExA;
    }
    void Walk(const PlantedKey& key, unsigned section)
    {
        RegKey open;
        ASSERT_EQ(open.Open(key.Root(), key.Path(), KEY_ALL_ACCESS), ERROR_SUCCESS);
        WalkRegistryValues(context, open.Handle(), key.FullPath(), section);
    }
    std::map<std::string, const ProblemRecord*> ByValueName() const
    {
        std::map<std::string, const ProblemRecord*> found;
        for (const ProblemPtr& record : context.records)
            found[record->valueName] = record.get();
        return found;
    }
    RecordingContext context;
};

void ExpectRecord(const ProblemRecord* record, unsigned section, const std::string& item,
                  const std::string& keyPath, const std::string& valueName,
                  const std::string& valueData, const std::string& description)
{
    ASSERT_NE(record, nullptr) << item;
    EXPECT_EQ(record->checked, 1u);
    EXPECT_EQ(record->section, section);
    EXPECT_EQ(record->item, item);
    EXPECT_EQ(record->keyPath, keyPath);
    EXPECT_EQ(record->valueName, valueName);
    EXPECT_EQ(record->valueData, valueData);
    EXPECT_EQ(record->description, description);
    EXPECT_EQ(record->serial, 0u);
    EXPECT_EQ(record->sizeBytes, 0.0);
}

TEST_F(HistoryScan, WalkReportsEachStringValueWhoseDrivePathIsGone)
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

    Walk(key, SectionCompleteRegistry);

    auto found = ByValueName();
    for (const Case& c : cases) {
        if (c.reported.empty())
            EXPECT_EQ(found.count(c.name), 0u) << c.name;
        else
            ExpectRecord(found[c.name], SectionCompleteRegistry, c.reported, key.FullPath(), c.name,
                         c.reported, fileMissing);
    }
    EXPECT_EQ(context.records.size(), 5u);
    // Every value steps the bar; only the readable string values are shown.
    EXPECT_EQ(context.steps, 16);
    EXPECT_EQ(context.CallsStartingWith("ShowItem ").size(), 12u);
    EXPECT_EQ(context.CallsStartingWith("ShowItem " + key.FullPath() + "\\Icon").size(), 1u);
}

TEST_F(HistoryScan, WalkGoesDepthFirstAndNeverIntoClassBranches)
{
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmTree"));
    key.SetString("Top", "C:\\QmMissing\\top.exe");
    PlantedKey deep(HKEY_CURRENT_USER, key.Path() + "\\A\\Deep");
    PlantedKey classes(HKEY_CURRENT_USER, key.Path() + "\\MyClasses");
    PlantedKey upper(HKEY_CURRENT_USER, key.Path() + "\\CLASSES\\Below");
    for (PlantedKey* child : {&deep, &classes, &upper})
        child->SetString("Lost", "C:\\QmMissing\\lost.exe");

    Walk(key, SectionMru);

    ASSERT_EQ(context.records.size(), 2u);
    EXPECT_EQ(context.records[0]->keyPath, key.FullPath() + "\\A\\Deep");
    EXPECT_EQ(context.records[0]->section, unsigned(SectionMru));
    EXPECT_EQ(context.records[1]->keyPath, key.FullPath());
}

TEST_F(HistoryScan, RecentFileKeysBelongToTheirOwnSection)
{
    const std::string wordpad =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\Recent File List";
    const std::string recentDocs = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
    PlantedKey first(HKEY_CURRENT_USER, wordpad);
    first.SetString("File1", "C:\\QmMissing\\Letter.doc");
    first.SetString("File2", "C:\\windows\\win.ini");
    PlantedKey last(HKEY_CURRENT_USER, recentDocs);
    last.SetString("QmDoc", "C:\\QmMissing\\Recent.txt");
    PlantedKey other(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmOther"));
    other.SetString("Path", "C:\\QmMissing\\other.exe");

    ScanMruLocations(context);
    ASSERT_EQ(context.records.size(), 2u);
    ExpectRecord(context.records[0].get(), SectionMru, "c:\\qmmissing\\letter.doc",
                 first.FullPath(), "File1", "c:\\qmmissing\\letter.doc", fileMissing);
    EXPECT_EQ(context.records[1]->keyPath, last.FullPath());

    // The complete scan of the current user leaves both keys alone.
    RecordingContext complete;
    ScanCurrentUser(complete);
    std::vector<std::string> paths;
    for (const ProblemPtr& record : complete.records)
        paths.push_back(record->keyPath);
    EXPECT_NE(std::find(paths.begin(), paths.end(), other.FullPath()), paths.end());
    EXPECT_EQ(std::find(paths.begin(), paths.end(), first.FullPath()), paths.end());
    EXPECT_EQ(std::find(paths.begin(), paths.end(), last.FullPath()), paths.end());
}

TEST_F(HistoryScan, CompleteScanWalksEachRootUnderItsOwnName)
{
    const std::string name = UniqueName("QmRoots");
    PlantedKey machine(HKEY_LOCAL_MACHINE, "Software\\" + name);
    machine.SetString("Lost", "C:\\QmMissing\\machine.exe");
    PlantedKey user(HKEY_CURRENT_USER, "Software\\" + name);
    user.SetString("Lost", "C:\\QmMissing\\user.exe");

    ScanLocalMachine(context);
    ScanAllUsers(context);
    std::vector<std::string> paths;
    for (const ProblemPtr& record : context.records)
        if (record->keyPath.find(name) != std::string::npos)
            paths.push_back(record->keyPath);
    // The current user's hive is also a key of HKEY_USERS.
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], machine.FullPath());
    EXPECT_EQ(paths[1].rfind("HKEY_USERS\\S-1-5-21-", 0), 0u) << paths[1];
    EXPECT_NE(paths[1].find("\\Software\\" + name), std::string::npos) << paths[1];
}

LONG WINAPI FailSoftware(HKEY parent, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result)
{
    if (subkey && _stricmp(subkey, "SOFTWARE") == 0)
        return ERROR_ACCESS_DENIED;
    return ::RegOpenKeyExA(parent, subkey, options, access, result);
}

TEST_F(HistoryScan, RootWhoseSoftwareKeyWillNotOpenIsNotWalked)
{
    regApi.RegOpenKeyExA = FailSoftware;
    for (auto pass : {ScanLocalMachine, ScanCurrentUser}) {
        RecordingContext one;
        pass(one);
        EXPECT_EQ(one.calls, std::vector<std::string>{"ShowFailure RegOpenKeyEx FAILED"});
    }
}

TEST_F(HistoryScan, CounterEntriesNamingMissingDrivePathsAreReported)
{
    PlantedKey count(HKEY_CURRENT_USER, userAssist + "\\{" + UniqueName("QmGuid") + "}\\Count");
    const char* const names[] = {
        "UEME_RUNPATH:C:\\QmMissing\\Prog.exe",   "UEME_RUNPATH:::C:\\QmMissing\\Other.exe",
        "UEME_RUNPATH:C:\\windows\\notepad.exe", "UEME_RUNPATH:C:\\QmMissing\\csidl23\\x.exe",
        "UEME_CTLSESSION",                       "UEME_RUNCPL:QmMissing.cpl",
    };
    for (const char* name : names)
        count.SetBinary(DecodeRot13(name), std::vector<BYTE>(16, 0));

    ScanUserAssist(context);

    auto found = ByValueName();
    ASSERT_EQ(context.records.size(), 2u);
    for (int i : {0, 1}) {
        std::string stored = DecodeRot13(names[i]);
        ExpectRecord(found[stored], SectionCompleteRegistry, stored, count.FullPath(), stored,
                     i == 0 ? "C:\\QmMissing\\Prog.exe" : "C:\\QmMissing\\Other.exe", fileMissing);
    }
    EXPECT_EQ(context.calls.size(), 2u); // the two reports, nothing shown or stepped
}

TEST_F(HistoryScan, EveryTypedAddressIsReported)
{
    RecordingContext empty;
    ScanTypedUrls(empty);
    EXPECT_TRUE(empty.records.empty());

    PlantedKey key(HKEY_CURRENT_USER, typedUrls);
    const std::string tooLong = "http://qm.example/" + std::string(300, 'a');
    key.SetString("url1", "http://qm.example/");
    key.SetString("url2", "ftp://unreachable.invalid/file");
    key.SetString("url3", tooLong);

    ScanTypedUrls(context);

    auto found = ByValueName();
    ASSERT_EQ(context.records.size(), 3u);
    const std::string urls[][2] = {{"url1", "http://qm.example/"},
                                   {"url2", "ftp://unreachable.invalid/file"},
                                   {"url3", ""}};
    for (size_t i = 0; i < 3; ++i) {
        ExpectRecord(context.records[i].get(), SectionIETypedUrls, urls[i][0],
                     "HKEY_CURRENT_USER\\" + typedUrls, "", urls[i][1], "IE_TYPED_URLS");
    }
    EXPECT_EQ(context.steps, 3);
    EXPECT_EQ(context.CallsStartingWith("ShowItem url").size(), 3u);
}

TEST_F(HistoryScan, AbortStopsEveryScannerAtOnce)
{
    PlantedKey walk(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmAbort"));
    PlantedKey sub(HKEY_CURRENT_USER, walk.Path() + "\\Sub");
    PlantedKey urls(HKEY_CURRENT_USER, typedUrls);
    for (const char* name : {"a", "b", "c"}) {
        walk.SetString(name, "C:\\QmMissing\\a.exe");
        sub.SetString(name, "C:\\QmMissing\\b.exe");
        urls.SetString(name, "http://qm.example/");
    }
    // The flag is cleared as soon as the first item has been handled.
    context.onItem = [](const std::string&) { keepScanning = 0; };
    Walk(walk, SectionCompleteRegistry);
    EXPECT_EQ(context.records.size(), 1u);
    EXPECT_EQ(context.steps, 1);

    keepScanning = 1;
    RecordingContext typed;
    typed.onItem = context.onItem;
    ScanTypedUrls(typed);
    EXPECT_EQ(typed.records.size(), 1u);
    EXPECT_EQ(typed.steps, 1);
}

TEST(Rot13, MovesLettersThirteenPlacesAndNothingElse)
{
    EXPECT_EQ(DecodeRot13("AMNZamnz:\\09_\xC9"), "NZAMnzam:\\09_\xC9");
}

} // namespace
