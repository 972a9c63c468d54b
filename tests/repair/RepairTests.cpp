#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <list>
#include <set>

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "repair/BackupRestore.h"
#include "repair/Repair.h"
#include "scan/HistoryScanners.h"
#include "scan/Scanners.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"
#include "support/StateWitness.h"

namespace {

const std::string hklm = "HKEY_LOCAL_MACHINE\\", cv = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const std::string runKey = cv + "\\Run", appPaths = cv + "\\App Paths";

bool ValueExists(HKEY root, const std::string& path, const std::string& name)
{
    return SHGetValueA(root, path.c_str(), name.c_str(), nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Shows nothing; keeps the boxes' texts, answering each with its first button.
struct QuietView : RepairView {
    std::vector<std::string> boxes;
    bool pumps = false;

    void BeginProgress(int) override {}
    void ShowRepairItem(const ProblemRecord&, int, int) override {}
    void StepProgress() override {}
    void Pump() override { for (MSG msg; pumps && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&msg); }
    bool KeepRepairing() override { return true; }
    int Box(const std::string& text, const char*, UINT type) override
    {
        boxes.push_back(text);
        return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    }
};

ProblemPtr Record(unsigned section, const std::string& keyPath, const std::string& valueName, uint32_t checked = 1)
{
    ProblemPtr record = MakeProblemRecord(section, "", keyPath, valueName, "", "");
    record->checked = checked;
    return record;
}

class Repair : public testing::Test {
protected:
    void SetUp() override { FillMruKeys(), keepScanning = 1; }
    void TearDown() override { for (const std::string& set : sets) DeleteFileA(set.c_str()); }
    RepairOutcome Run()
    {
        RepairState state;
        RepairOutcome outcome = RepairProblems(problems, true, state, view);
        sets.push_back(outcome.cabinetPath);
        return outcome;
    }

    std::vector<ProblemPtr> problems;
    QuietView view;
    std::vector<std::string> sets;
};

} // namespace

// Every registry section's problems, found beside valid entries, go alone and come back exactly from their set.
TEST_F(Repair, EveryRegistrySectionRoundTripsThroughItsSetAndTheHeadlessRestore)
{
    const std::string tag = UniqueName("qm"), gone = "C:\\" + tag, windows = GetWindowsFolder(); // as scanners lower it
    const std::string notepad = windows + "\\notepad.exe", uninstall = cv + "\\Uninstall\\";
    const std::string services = "SYSTEM\\CurrentControlSet\\Services\\", classId = "CLSID\\{" + tag + "}";
    const std::string fonts = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", help = "SOFTWARE\\Microsoft\\Windows\\Help";
    const std::string wordpad = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\Recent File List";
    const std::string typed = "Software\\Microsoft\\Internet Explorer\\TypedUrls", walked = "Software\\" + tag + "Walk";
    enum Goes { Stays, Value, Key };
    struct Entry { HKEY root; std::string key, name, data; Goes goes; DWORD type = REG_SZ; };
    const Entry entries[] = {
        {HKEY_LOCAL_MACHINE, runKey, tag + "Bad", "\"" + gone + "\\Run.exe\" /q", Value},
        {HKEY_LOCAL_MACHINE, runKey, tag + "Good", notepad + " /q", Stays},
        {HKEY_CURRENT_USER, "Control Panel\\Sounds", tag + "Bad", gone + "\\a.wav", Value},
        {HKEY_CURRENT_USER, "Control Panel\\Sounds", tag + "Good", windows + "\\win.ini", Stays},
        {HKEY_LOCAL_MACHINE, appPaths + "\\" + tag + "bad.exe", "", gone + "\\bad.exe", Key},
        {HKEY_LOCAL_MACHINE, appPaths + "\\" + tag + "good.exe", "", notepad, Stays},
        {HKEY_LOCAL_MACHINE, help, tag + ".hlp", gone, Value},
        {HKEY_LOCAL_MACHINE, help, "notepad.exe", windows, Stays},
        {HKEY_LOCAL_MACHINE, cv + "\\SharedDLLs", gone + "\\Shared.DLL", "3", Value, REG_DWORD},
        {HKEY_LOCAL_MACHINE, cv + "\\SharedDLLs", notepad, "2", Stays, REG_DWORD},
        {HKEY_LOCAL_MACHINE, fonts, tag + "Bad", gone + "\\f.ttf", Value},
        {HKEY_LOCAL_MACHINE, fonts, tag + "Good", notepad, Stays},
        {HKEY_LOCAL_MACHINE, uninstall + tag + "Bad", "UninstallString", gone + "\\u.exe", Key},
        {HKEY_LOCAL_MACHINE, uninstall + tag + "Good", "UninstallString", notepad, Stays},
        {HKEY_LOCAL_MACHINE, services + tag + "Bad", "ImagePath", gone + "\\svc.exe", Key},
        {HKEY_LOCAL_MACHINE, services + tag + "Good", "ImagePath", notepad, Stays},
        {HKEY_LOCAL_MACHINE, services + "VXD\\" + tag + "Bad", "StaticVXD", gone + "\\v.vxd", Key},
        {HKEY_LOCAL_MACHINE, services + "VXD\\" + tag + "Good", "StaticVXD", notepad, Stays},
        {HKEY_CLASSES_ROOT, classId + "\\InprocServer32", "", gone + "\\x.dll", Key},
        {HKEY_CLASSES_ROOT, classId + "\\LocalServer32", "", notepad, Stays},
        {HKEY_CLASSES_ROOT, tag + ".Server", "", "A server", Stays},
        {HKEY_CLASSES_ROOT, tag + ".Server\\CLSID", "", "{" + tag + "Missing}", Key},
        {HKEY_CLASSES_ROOT, ".bad" + tag, "", tag + ".Nothing", Key},
        {HKEY_CLASSES_ROOT, ".good" + tag, "", tag + ".Server", Stays},
        {HKEY_CURRENT_USER, wordpad, tag + "Bad", gone + "\\Letter.doc", Value},
        {HKEY_CURRENT_USER, wordpad, tag + "Good", notepad, Stays},
        {HKEY_CURRENT_USER, walked, "Lost", gone + "\\Tool.EXE", Value, REG_EXPAND_SZ},
        {HKEY_CURRENT_USER, walked, "Kept", notepad, Stays, REG_EXPAND_SZ},
        {HKEY_CURRENT_USER, typed, tag + "url1", "http://one.example/", Value},
        {HKEY_CURRENT_USER, typed, tag + "url2", "http://two.example/", Stays}, // left unticked
    };
    std::list<PlantedKey> planted;
    std::set<std::string> parents{"HKEY_CLASSES_ROOT\\" + classId};
    for (const Entry& entry : entries) {
        planted.emplace_back(entry.root, entry.key);
        if (entry.type == REG_DWORD)
            planted.back().SetDword(entry.name, std::stoul(entry.data));
        else
            planted.back().SetString(entry.name, entry.data, entry.type);
        parents.insert(planted.back().FullPath());
    }
    auto exported = [&] {
        std::vector<std::vector<std::string>> trees;
        for (const std::string& parent : parents)
            trees.push_back(SortedExport(parent));
        return trees;
    };
    const auto before = exported();

    RecordingContext found;
    for (auto scanner : {ScanStartupPrograms, ScanSounds, ScanAppPaths, ScanHelpFiles, ScanSharedDlls, ScanFonts,
                         ScanAddRemovePrograms, ScanServices, ScanVxds, ScanClsids, ScanProgIds,
                         ScanFileAssociations, ScanMruLocations, ScanTypedUrls})
        scanner(found);
    RegKey open;
    ASSERT_EQ(open.Open(HKEY_CURRENT_USER, walked, KEY_READ), ERROR_SUCCESS);
    WalkRegistryValues(found, open.Handle(), "HKEY_CURRENT_USER\\" + walked, SectionCompleteRegistry);
    for (ProblemPtr& record : found.records) {
        if ((record->item + "|" + record->keyPath + "|" + record->valueData).find(tag) == std::string::npos)
            continue; // not planted here
        record->checked = record->item != tag + "url2";
        problems.push_back(std::move(record));
    }

    RepairOutcome outcome = Run();
    EXPECT_EQ(outcome.removed, static_cast<int>(problems.size()) - 1) << testing::PrintToString(outcome.notes);
    EXPECT_TRUE(view.boxes.empty()) << view.boxes.front();
    for (const Entry& entry : entries) {
        bool there = entry.goes == Key ? KeyExists(entry.root, entry.key) : ValueExists(entry.root, entry.key, entry.name);
        EXPECT_EQ(there, entry.goes == Stays) << entry.key << " " << entry.name;
    }

    std::string output;
    EXPECT_EQ(RunHeadlessCommand({"/restore:" + outcome.cabinetPath}, &output), 0) << output;
    EXPECT_EQ(exported(), before);
}

// What the user did not tick, or ignores, stays; so do containers; and nothing goes without a backup.
TEST_F(Repair, OnlyWhatWasTickedGoesAndNeverAContainer)
{
    const std::string tag = UniqueName("QmRule"), gone = "C:\\" + tag;
    // The same value seen through HKEY_USERS (the hive the user's own root shows) and HKEY_CURRENT_USER.
    PlantedKey twin(HKEY_CURRENT_USER, "Software\\" + tag + "Twin");
    twin.SetString("Lost", gone + "\\a.exe");
    char hive[256] = {};
    for (DWORD i = 0; RegEnumKeyA(HKEY_USERS, i, hive, sizeof(hive)) == ERROR_SUCCESS; ++i)
        if (KeyExists(HKEY_USERS, std::string(hive) + "\\" + twin.Path()))
            break;
    problems.push_back(Record(SectionCompleteRegistry, "HKEY_USERS\\" + std::string(hive) + "\\" + twin.Path(), "Lost"));
    problems.push_back(Record(SectionCompleteRegistry, twin.FullPath(), "Lost", 0));
    // A key holding an unticked record, written with the short root name.
    PlantedKey holder(HKEY_LOCAL_MACHINE, appPaths + "\\" + tag + ".exe");
    holder.SetString("", gone + "\\b.exe");
    holder.SetString("Path", gone);
    problems.push_back(Record(SectionAppPaths, "HKLM\\" + holder.Path(), "(Default)"));
    problems.push_back(Record(SectionCompleteRegistry, holder.FullPath(), "Path", 0));
    // A hand-made record naming the machine-wide Run key, and one naming its parent.
    PlantedValue run(HKEY_LOCAL_MACHINE, runKey, tag, gone + "\\c.exe");
    problems.push_back(Record(SectionAppPaths, hklm + runKey, ""));
    problems.push_back(Record(SectionServices, hklm + "SOFTWARE\\Microsoft\\Windows", ""));
    // A problem whose file came back since the scan.
    PlantedKey back(HKEY_LOCAL_MACHINE, appPaths + "\\" + tag + "Back.exe");
    back.SetString("", GetWindowsFolder() + "\\notepad.exe");
    problems.push_back(Record(SectionAppPaths, back.FullPath(), "(Default)"));
    problems.back()->valueData = GetWindowsFolder() + "\\notepad.exe";
    // An ignored key, named in the ignore list only after the scan.
    PlantedKey ignored(HKEY_LOCAL_MACHINE, appPaths + "\\" + tag + "Ignored.exe");
    ignored.SetString("", gone + "\\d.exe");
    PlantedFile list(GetProgramFolder() + "\\Iglist.lst", ignored.FullPath() + "\r\r\n");
    problems.push_back(Record(SectionAppPaths, ignored.FullPath(), "(Default)"));

    RepairOutcome outcome = Run();
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, twin.Path(), "Lost"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, holder.Path()));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, runKey, tag));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, back.Path()));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ignored.Path()));
    EXPECT_EQ(outcome.removed, 0);
    EXPECT_EQ(outcome.kept, 3);
    EXPECT_EQ(outcome.refused, 2);
    EXPECT_EQ(outcome.skippedValid, 1);
    EXPECT_EQ(problems[2]->keyPath, holder.FullPath()); // the short root name spelt out

    // Ticked, the twin goes once (the second record finds it gone with the first), but not while no backup can be
    // written: then nothing goes at all.
    problems.resize(2);
    problems[1]->checked = 1;
    const std::string folder = BackupSet::BackupFolder(), aside = folder + UniqueName("Aside");
    const bool moved = MoveFileA(folder.c_str(), aside.c_str()) != 0;
    {
        PlantedFile blocker(folder, "not a folder");
        EXPECT_FALSE(Run().backupWritable);
    }
    if (moved)
        MoveFileA(aside.c_str(), folder.c_str());
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, twin.Path(), "Lost"));
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_NE(view.boxes[0].find("Nothing has been removed."), std::string::npos) << view.boxes[0];
    outcome = Run();
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, twin.Path(), "Lost"));
    EXPECT_EQ(outcome.removed, 2);
    EXPECT_EQ(outcome.failed, 0);
    BackupSet set;
    EXPECT_EQ(ListBackupItems(set, outcome.cabinetPath).items.size(), 1u);
}

// Only the browser's windows are asked to close; the shell's folder windows stay.
TEST_F(Repair, BrowserWindowsAreAskedToCloseAndFolderWindowsAreLeft)
{
    HWND windows[2] = {};
    for (const char* name : {"IEFrame", "CabinetWClass"}) {
        WNDCLASSA windowClass = {0, DefWindowProcA, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, name};
        RegisterClassA(&windowClass);
        windows[name[0] == 'C'] = CreateWindowA(name, "", WS_OVERLAPPED, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    }
    ASSERT_TRUE(windows[0] && windows[1]);
    view.pumps = true;
    CloseBrowserWindows(view);
    EXPECT_FALSE(IsWindow(windows[0]));
    EXPECT_TRUE(IsWindow(windows[1]));
    EXPECT_EQ(view.boxes.size(), 1u);
    DestroyWindow(windows[1]);
    CloseBrowserWindows(view); // without a browser window there is nothing to ask
    EXPECT_EQ(view.boxes.size(), 1u);
}
