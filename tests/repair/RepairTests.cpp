#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <list>
#include <map>
#include <set>

#include "core/FileTools.h"
#include "core/PathCheck.h"
#include "core/Registry.h"
#include "repair/BackupSet.h"
#include "repair/Repair.h"
#include "scan/HistoryScanners.h"
#include "scan/ScanContext.h"
#include "scan/Scanners.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

const std::string hkcu = "HKEY_CURRENT_USER\\", hklm = "HKEY_LOCAL_MACHINE\\", hkcr = "HKEY_CLASSES_ROOT\\";
const std::string runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string appPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

bool ValueExists(HKEY root, const std::string& path, const std::string& name)
{
    return SHGetValueA(root, path.c_str(), name.c_str(), nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void RunRegedit(const std::string& parameters)
{
    RunProgram(GetWindowsFolder() + "\\regedit.exe", parameters, true);
}

// A key as "regedit /e" writes it, brought to a form that does not depend on
// the order in which the registry lists values: each key's header with its
// value lines (continuations joined), sorted. Empty when the key is missing.
using ExportedKeys = std::map<std::string, std::set<std::string>>;

ExportedKeys ExportKey(const std::string& fullPath)
{
    const std::string file = TestTempFolder() + UniqueName("QmExport") + ".reg";
    RunRegedit("/e \"" + file + "\" \"" + fullPath + "\"");
    std::string bytes = ReadFileBytes(file);
    DeleteFileA(file.c_str());
    std::string text;
    bool wide = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    for (size_t i = wide ? 2 : 0; i < bytes.size(); i += wide ? 2 : 1)
        text += bytes[i];
    ExportedKeys keys;
    std::string current, line, pending;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!pending.empty()) {
            line = pending + line.substr(line.find_first_not_of(' '));
            pending.clear();
        }
        if (!line.empty() && line.back() == '\\') {
            pending = line.substr(0, line.size() - 1);
            continue;
        }
        if (line.size() > 2 && line.front() == '[') {
            current = line;
            CharLowerBuffA(&current[0], static_cast<DWORD>(current.size()));
            keys[current];
        } else if (!line.empty() && !current.empty()) {
            keys[current].insert(line);
        }
    }
    return keys;
}

// The export with a key (and everything below it) or one value taken out.
void Without(ExportedKeys& keys, const std::string& fullPath, const char* valueName = nullptr)
{
    std::string header = "[" + fullPath;
    CharLowerBuffA(&header[0], static_cast<DWORD>(header.size()));
    for (auto it = keys.begin(); it != keys.end();) {
        bool inside = it->first == header + "]" || it->first.rfind(header + "\\", 0) == 0;
        if (inside && !valueName) {
            it = keys.erase(it);
            continue;
        }
        if (inside && it->first == header + "]") {
            std::string start = "\"" + std::string(valueName) + "\"=";
            for (auto line = it->second.begin(); line != it->second.end();)
                line = line->rfind(start, 0) == 0 ? it->second.erase(line) : std::next(line);
        }
        ++it;
    }
}

// The lines of the set's Config.ini, unpacked into `folder`.
std::vector<std::string> UnpackSet(const std::string& cabinetPath, const std::string& folder)
{
    BackupSet set;
    set.SetCabinetPath(cabinetPath);
    EXPECT_EQ(set.UnpackTo(folder), 1) << cabinetPath;
    std::string text = ReadFileBytes(folder + "\\Config.ini");
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end - at);
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// Puts back everything a set holds: keys by importing their exports, values
// by their exact copies when the set has them, else as the text recorded.
void RestoreSet(const std::string& cabinetPath, const std::string& folder)
{
    std::vector<std::string> lines = UnpackSet(cabinetPath, folder);
    auto field = [&](size_t i, const char* tag) { return BackupSet::ReadRecordField(lines[i], tag); };
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string type = field(i, "TYPE");
        if (type == "REG_KEY" && i + 2 < lines.size()) {
            RunRegedit("/S \"" + folder + field(i + 2, "PATH") + "\"");
        } else if (type == "REG_VALUE" && i + 3 < lines.size()) {
            if (i + 5 < lines.size() && field(i + 4, "TYPE") == "REG_VALUE_EXACT") {
                RunRegedit("/S \"" + folder + field(i + 5, "PATH") + "\"");
                continue;
            }
            HKEY root = nullptr;
            std::string subkey;
            ASSERT_TRUE(SplitKeyPath(field(i + 1, "MAIN_KEY"), root, subkey));
            std::string data = field(i + 3, "VALUE");
            SHSetValueA(root, subkey.c_str(), field(i + 2, "VALUE_NAME").c_str(), REG_SZ, data.c_str(),
                        static_cast<DWORD>(data.size() + 1));
        }
    }
}

// A repair view that shows nothing and keeps the boxes' texts, answering
// each with its first button.
class QuietView : public RepairView {
public:
    std::vector<std::string> boxes;
    bool pumps = false;

    void BeginProgress(int) override {}
    void ShowRepairItem(const ProblemRecord&, int, int) override {}
    void StepProgress() override {}
    void Pump() override
    {
        MSG msg;
        while (pumps && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    bool KeepRepairing() override { return true; }
    int Box(const std::string& text, const char*, UINT type) override
    {
        boxes.push_back(text);
        return (type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
    }
};

// The current user's hive below HKEY_USERS: the one whose key the user's own
// root shows too.
std::string OwnHive()
{
    const std::string probe = UniqueName("QmHiveProbe");
    PlantedKey mark(HKEY_CURRENT_USER, "Software\\" + probe);
    char name[256];
    for (DWORD index = 0; RegEnumKeyA(HKEY_USERS, index, name, sizeof(name)) == ERROR_SUCCESS; ++index) {
        if (KeyExists(HKEY_USERS, std::string(name) + "\\Software\\" + probe))
            return name;
    }
    return std::string();
}

ProblemPtr Record(unsigned section, const std::string& keyPath, const std::string& valueName,
                  uint32_t checked = 1, const std::string& item = "")
{
    ProblemPtr record = MakeProblemRecord(section, item, keyPath, valueName, "", "");
    record->checked = checked;
    return record;
}

class Repair : public testing::Test {
protected:
    void SetUp() override
    {
        FillMruKeys();
        keepScanning = 1;
    }
    void TearDown() override
    {
        for (const std::string& set : sets)
            DeleteFileA(set.c_str());
    }
    RepairOutcome Run(bool backup = true)
    {
        RepairState state;
        RepairOutcome outcome = RepairProblems(problems, backup, state, view);
        if (!outcome.cabinetPath.empty())
            sets.push_back(outcome.cabinetPath);
        return outcome;
    }

    std::vector<ProblemPtr> problems;
    QuietView view;
    std::vector<std::string> sets;
    PlantedFolder scratch{TestTempFolder() + UniqueName("QmRestore")};
};

} // namespace

// A problem of every registry section beside a valid entry of the same key:
// the scanners find them, repair removes exactly the problems (and of the
// typed addresses only the ticked one), and the set brings back what went.
TEST_F(Repair, EveryRegistrySectionRoundTripsThroughItsBackupSet)
{
    const std::string gone = "C:\\" + UniqueName("QmGone"), tag = UniqueName("Qm");
    const std::string windows = GetWindowsFolder(), notepad = windows + "\\notepad.exe";
    const std::string wordpad = "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\Recent File List";
    const std::string typed = "Software\\Microsoft\\Internet Explorer\\TypedUrls";
    const std::string classId = "CLSID\\{" + tag + "}", progId = tag + ".Server";
    const std::string services = "SYSTEM\\CurrentControlSet\\Services";
    std::list<PlantedValue> values;
    std::list<PlantedKey> keys;
    auto value = [&](HKEY root, const std::string& path, const std::string& name, const std::string& data) {
        values.emplace_back(root, path, name, data);
    };
    auto key = [&](HKEY root, const std::string& path, const std::string& name = "",
                   const std::string& data = "") -> PlantedKey& {
        keys.emplace_back(root, path);
        if (!data.empty())
            keys.back().SetString(name, data);
        return keys.back();
    };
    // Bad and good side by side, each bad one naming `gone`.
    value(HKEY_LOCAL_MACHINE, runKey, tag + "Bad", gone + "\\run.exe");
    value(HKEY_LOCAL_MACHINE, runKey, tag + "Good", notepad);
    value(HKEY_CURRENT_USER, "Control Panel\\Sounds", tag + "Bad", gone + "\\a.wav");
    value(HKEY_CURRENT_USER, "Control Panel\\Sounds", tag + "Good", windows + "\\win.ini");
    key(HKEY_LOCAL_MACHINE, appPathsKey + "\\" + tag + "bad.exe", "", gone + "\\bad.exe");
    key(HKEY_LOCAL_MACHINE, appPathsKey + "\\" + tag + "good.exe", "", notepad);
    value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help", tag + ".hlp", gone);
    value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help", "notepad.exe", windows);
    value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", gone + "\\s.dll", "1");
    value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", notepad, "1");
    value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", tag + "Bad", gone + "\\f.ttf");
    value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", tag + "Good", notepad);
    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    key(HKEY_LOCAL_MACHINE, uninstall + tag + "Bad", "UninstallString", gone + "\\u.exe");
    key(HKEY_LOCAL_MACHINE, uninstall + tag + "Good", "UninstallString", notepad);
    key(HKEY_LOCAL_MACHINE, services + "\\" + tag + "Bad", "ImagePath", gone + "\\svc.exe");
    key(HKEY_LOCAL_MACHINE, services + "\\" + tag + "Good", "ImagePath", notepad);
    key(HKEY_LOCAL_MACHINE, services + "\\VXD\\" + tag + "Bad", "StaticVXD", gone + "\\v.vxd");
    key(HKEY_LOCAL_MACHINE, services + "\\VXD\\" + tag + "Good", "StaticVXD", notepad);
    key(HKEY_CLASSES_ROOT, classId);
    key(HKEY_CLASSES_ROOT, classId + "\\InprocServer32", "", gone + "\\x.dll");
    key(HKEY_CLASSES_ROOT, classId + "\\LocalServer32", "", notepad);
    key(HKEY_CLASSES_ROOT, progId, "", "A server");
    key(HKEY_CLASSES_ROOT, progId + "\\CLSID", "", "{" + tag + "Missing}");
    key(HKEY_CLASSES_ROOT, ".bad" + tag, "", tag + ".Nothing");
    key(HKEY_CLASSES_ROOT, ".good" + tag, "", progId);
    value(HKEY_CURRENT_USER, wordpad, tag + "Bad", gone + "\\letter.doc");
    value(HKEY_CURRENT_USER, wordpad, tag + "Good", windows + "\\win.ini");
    PlantedKey& walked = key(HKEY_CURRENT_USER, "Software\\" + tag + "Walk", "Lost", gone + "\\c.exe");
    walked.SetString("Kept", windows + "\\win.ini");
    value(HKEY_CURRENT_USER, typed, tag + "url1", "http://one.example/");
    value(HKEY_CURRENT_USER, typed, tag + "url2", "http://two.example/");

    // Every parent key as it stands before the repair.
    const std::vector<std::string> parents = {
        hklm + runKey, hkcu + "Control Panel\\Sounds", hklm + appPathsKey, hklm + "SOFTWARE\\Microsoft\\Windows\\Help",
        hklm + "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
        hklm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", hklm + uninstall + tag + "Bad",
        hklm + uninstall + tag + "Good", hklm + services + "\\" + tag + "Bad", hklm + services + "\\" + tag + "Good",
        hklm + services + "\\VXD", hkcr + classId, hkcr + progId, hkcr + ".bad" + tag, hkcr + ".good" + tag,
        hkcu + wordpad, walked.FullPath(), hkcu + typed};
    std::vector<ExportedKeys> before;
    for (const std::string& parent : parents)
        before.push_back(ExportKey(parent));

    RecordingContext found;
    for (auto scanner : {ScanStartupPrograms, ScanSounds, ScanAppPaths, ScanHelpFiles, ScanSharedDlls, ScanFonts,
                         ScanAddRemovePrograms, ScanServices, ScanVxds, ScanClsids, ScanProgIds,
                         ScanFileAssociations, ScanMruLocations, ScanTypedUrls})
        scanner(found);
    {
        RegKey open;
        ASSERT_EQ(open.Open(HKEY_CURRENT_USER, walked.Path(), KEY_READ), ERROR_SUCCESS);
        WalkRegistryValues(found, open.Handle(), walked.FullPath(), SectionCompleteRegistry);
    }
    // Only what this test planted; the second typed address unticked.
    std::set<unsigned> sections;
    std::string lowTag = tag, lowGone = gone;
    CharLowerBuffA(&lowTag[0], static_cast<DWORD>(lowTag.size()));
    CharLowerBuffA(&lowGone[0], static_cast<DWORD>(lowGone.size()));
    for (ProblemPtr& record : found.records) {
        std::string fields = record->item + "|" + record->keyPath + "|" + record->valueData;
        CharLowerBuffA(&fields[0], static_cast<DWORD>(fields.size()));
        if (fields.find(lowTag) == std::string::npos && fields.find(lowGone) == std::string::npos)
            continue;
        sections.insert(record->section);
        record->checked = record->item != tag + "url2";
        problems.push_back(std::move(record));
    }
    EXPECT_EQ(sections, (std::set<unsigned>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 21}));

    RepairOutcome outcome = Run();
    EXPECT_EQ(outcome.failed + outcome.refused + outcome.kept + outcome.skippedValid, 0) << testing::PrintToString(outcome.notes);
    EXPECT_EQ(outcome.removed, static_cast<int>(problems.size()) - 1);
    EXPECT_TRUE(view.boxes.empty()) << view.boxes.front();

    // After: each parent as before, less exactly the planted problems.
    std::vector<ExportedKeys> expected = before;
    auto drop = [&](size_t parent, const std::string& path, const char* name = nullptr) { Without(expected[parent], path, name); };
    drop(0, hklm + runKey, (tag + "Bad").c_str());
    drop(1, hkcu + "Control Panel\\Sounds", (tag + "Bad").c_str());
    drop(2, hklm + appPathsKey + "\\" + tag + "bad.exe");
    drop(3, hklm + "SOFTWARE\\Microsoft\\Windows\\Help", (tag + ".hlp").c_str());
    std::string sharedName = gone + "\\s.dll";
    std::string escaped;
    for (char c : sharedName)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    drop(4, hklm + "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", escaped.c_str());
    drop(5, hklm + "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", (tag + "Bad").c_str());
    drop(6, hklm + uninstall + tag + "Bad");
    drop(8, hklm + services + "\\" + tag + "Bad");
    drop(10, hklm + services + "\\VXD\\" + tag + "Bad");
    drop(11, hkcr + classId + "\\InprocServer32");
    drop(12, hkcr + progId + "\\CLSID");
    drop(13, hkcr + ".bad" + tag);
    drop(15, hkcu + wordpad, (tag + "Bad").c_str());
    drop(16, walked.FullPath(), "Lost");
    drop(17, hkcu + typed, (tag + "url1").c_str());
    for (size_t i = 0; i < parents.size(); ++i)
        EXPECT_EQ(ExportKey(parents[i]), expected[i]) << parents[i];

    // Restoring the set brings every parent back as it was.
    ASSERT_FALSE(outcome.cabinetPath.empty());
    RestoreSet(outcome.cabinetPath, scratch.Path());
    for (size_t i = 0; i < parents.size(); ++i)
        EXPECT_EQ(ExportKey(parents[i]), before[i]) << parents[i];
}

// What the user did not tick, or ignores, stays; so do containers.
TEST_F(Repair, OnlyWhatWasTickedGoesAndNeverAContainer)
{
    const std::string tag = UniqueName("QmRule"), gone = "C:\\" + tag;
    // The same value seen through HKEY_USERS and HKEY_CURRENT_USER.
    PlantedKey twin(HKEY_CURRENT_USER, "Software\\" + tag + "Twin");
    twin.SetString("Lost", gone + "\\a.exe");
    problems.push_back(Record(SectionCompleteRegistry, "HKEY_USERS\\" + OwnHive() + "\\" + twin.Path(), "Lost"));
    problems.push_back(Record(SectionCompleteRegistry, twin.FullPath(), "Lost", 0));
    // A key holding an unticked record, written with the short root name.
    PlantedKey holder(HKEY_LOCAL_MACHINE, appPathsKey + "\\" + tag + ".exe");
    holder.SetString("", gone + "\\b.exe");
    holder.SetString("Path", gone);
    problems.push_back(Record(SectionAppPaths, "HKLM\\" + holder.Path(), "(Default)"));
    problems.push_back(Record(SectionCompleteRegistry, holder.FullPath(), "Path", 0));
    // A hand-made record naming the machine-wide Run key, and one naming its parent.
    PlantedValue run(HKEY_LOCAL_MACHINE, runKey, tag, gone + "\\c.exe");
    problems.push_back(Record(SectionAppPaths, hklm + runKey, ""));
    problems.push_back(Record(SectionServices, hklm + "SOFTWARE\\Microsoft\\Windows", ""));
    // A problem whose file came back since the scan.
    PlantedKey back(HKEY_LOCAL_MACHINE, appPathsKey + "\\" + tag + "Back.exe");
    back.SetString("", GetWindowsFolder() + "\\notepad.exe");
    problems.push_back(Record(SectionAppPaths, back.FullPath(), "(Default)"));
    problems.back()->valueData = GetWindowsFolder() + "\\notepad.exe";
    // An ignored key, named in the ignore list only after the scan.
    PlantedKey ignored(HKEY_LOCAL_MACHINE, appPathsKey + "\\" + tag + "Ignored.exe");
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

    // Ticked, the twin goes once: the second record finds it gone with the first.
    problems.resize(2);
    problems[1]->checked = 1;
    outcome = Run();
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, twin.Path(), "Lost"));
    EXPECT_EQ(outcome.removed, 2);
    EXPECT_EQ(outcome.failed, 0);
    std::vector<std::string> lines = UnpackSet(outcome.cabinetPath, scratch.Path());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "[TYPE:REG_VALUE]"), 1);
}

// No backup, no delete: a backup folder that cannot be written stops the
// repair before anything is removed.
TEST_F(Repair, AnUnwritableBackupFolderRemovesNothing)
{
    const std::string folder = BackupSet::BackupFolder(), aside = folder + UniqueName("Aside");
    bool moved = MoveFileA(folder.c_str(), aside.c_str()) != 0;
    {
        PlantedFile blocker(folder, "not a folder");
        PlantedKey bad(HKEY_LOCAL_MACHINE, appPathsKey + "\\" + UniqueName("QmBlocked") + ".exe");
        problems.push_back(Record(SectionAppPaths, bad.FullPath(), "(Default)"));
        RepairOutcome outcome = Run();
        EXPECT_FALSE(outcome.backupWritable);
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, bad.Path()));
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_NE(view.boxes[0].find("Nothing has been removed."), std::string::npos) << view.boxes[0];
    }
    if (moved)
        MoveFileA(aside.c_str(), folder.c_str());
}

// The browser's windows are asked to close, and only they: a folder window
// of the shell stays, and nothing is ended.
TEST_F(Repair, BrowserWindowsAreAskedToCloseAndFolderWindowsAreLeft)
{
    WNDCLASSA browserClass = {};
    browserClass.lpfnWndProc = DefWindowProcA;
    browserClass.hInstance = GetModuleHandleA(nullptr);
    browserClass.lpszClassName = "IEFrame";
    WNDCLASSA folderClass = browserClass;
    folderClass.lpszClassName = "CabinetWClass";
    RegisterClassA(&browserClass);
    RegisterClassA(&folderClass);
    HWND browser = CreateWindowA("IEFrame", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND folder = CreateWindowA("CabinetWClass", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(browser && folder);

    view.pumps = true;
    CloseBrowserWindows(view);
    EXPECT_FALSE(IsWindow(browser));
    EXPECT_TRUE(IsWindow(folder));
    EXPECT_EQ(view.boxes.size(), 1u);
    DestroyWindow(folder);
    // Without a browser window there is nothing to ask.
    CloseBrowserWindows(view);
    EXPECT_EQ(view.boxes.size(), 1u);
}
