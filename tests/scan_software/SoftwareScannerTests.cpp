#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "PlantedValue.h"
#include "core/PathCheck.h"
#include "core/Registry.h"
#include "core/ResourceText.h"
#include "resource.h"
#include "scan/Scanners.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char appPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char uninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char servicesKey[] = "SYSTEM\\CurrentControlSet\\Services";

class SoftwareScanner : public testing::Test {
protected:
    void SetUp() override { keepScanning = 1; }
    void TearDown() override { keepScanning = 0; }

    RecordingContext context;
    // A folder and file names that exist nowhere on the machine.
    const std::string missing = "C:\\" + UniqueName("QmGone");
    const std::string windows = GetWindowsFolder();
};

// Every field a user sees in the details view, and the ones nothing may set.
void ExpectRecord(const ProblemRecord* record, unsigned section, const std::string& item,
                  const std::string& keyPath, const std::string& valueName,
                  const std::string& valueData)
{
    ASSERT_NE(record, nullptr) << item;
    EXPECT_EQ(record->checked, 1u);
    EXPECT_EQ(record->section, section);
    EXPECT_EQ(record->item, item);
    EXPECT_EQ(record->keyPath, keyPath);
    EXPECT_EQ(record->valueName, valueName);
    EXPECT_EQ(record->valueData, valueData);
    EXPECT_EQ(record->description, "The file (%s) does not exist at the specified location");
    EXPECT_EQ(record->reserved1, 0u);
    EXPECT_EQ(record->reserved2, 0u);
    EXPECT_EQ(record->serial, 0u);
    EXPECT_EQ(record->sizeBytes, 0.0);
}

bool Shown(const RecordingContext& context, const std::string& status)
{
    for (const std::string& call : context.calls)
        if (call == "ShowItem " + status)
            return true;
    return false;
}

// Records whose value name or key path names the test's plantings.
int CountMentioning(const RecordingContext& context, const std::string& text)
{
    int count = 0;
    for (const ProblemPtr& record : context.records)
        if ((record->keyPath + "|" + record->valueName + "|" + record->item).find(text) !=
            std::string::npos)
            ++count;
    return count;
}

LONG WINAPI DenyMachineRunKey(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key)
{
    if (root == HKEY_LOCAL_MACHINE && path && std::string(path) == runKey)
        return ERROR_ACCESS_DENIED;
    return ::RegOpenKeyExA(root, path, options, access, key);
}

} // namespace

TEST_F(SoftwareScanner, StartupReportsMissingProgramsOfBothListsMachineFirst)
{
    const std::string machineKey = "HKEY_LOCAL_MACHINE\\" + std::string(runKey);
    const std::string userKey = "HKEY_CURRENT_USER\\" + std::string(runKey);
    const std::string gone = missing + "\\app.exe /background";
    const std::string userGone = missing + "\\tray.exe";
    const std::string tooLong = missing + "\\" + std::string(280, 'x') + ".exe";
    const std::string name = UniqueName("QmRun");
    PlantedValue broken(HKEY_LOCAL_MACHINE, runKey, name + "_gone", gone);
    PlantedValue quoted(HKEY_LOCAL_MACHINE, runKey, name + "_quoted",
                        "\"" + windows + "\\notepad.exe\" /min");
    PlantedValue asIs(HKEY_LOCAL_MACHINE, runKey, name + "_asis", windows + "\\notepad.exe");
    PlantedValue unreadable(HKEY_LOCAL_MACHINE, runKey, name + "_long", tooLong);
    PlantedValue user(HKEY_CURRENT_USER, runKey, name + "_user", userGone);

    ScanStartupPrograms(context);

    ASSERT_EQ(CountMentioning(context, name), 2);
    const ProblemRecord* machine = context.FindItem(gone);
    const ProblemRecord* mine = context.FindItem(userGone);
    ExpectRecord(machine, 8, gone, machineKey, name + "_gone", gone);
    ExpectRecord(mine, 8, userGone, userKey, name + "_user", userGone);
    EXPECT_TRUE(Shown(context, machineKey + "\\" + gone));
    EXPECT_TRUE(Shown(context, machineKey + "\\" + windows + "\\notepad.exe"));
    EXPECT_TRUE(Shown(context, userKey + "\\" + userGone));
    // Data that does not fit the buffer is passed over without a status line.
    EXPECT_FALSE(Shown(context, machineKey + "\\" + tooLong));
    // The machine-wide list comes first.
    const std::vector<std::string> reports = context.CallsStartingWith("Report ");
    EXPECT_LT(std::find(reports.begin(), reports.end(), "Report " + gone),
              std::find(reports.begin(), reports.end(), "Report " + userGone));
}

TEST_F(SoftwareScanner, StartupLooksAtNoListWhenTheMachineListCannotBeOpened)
{
    PlantedValue user(HKEY_CURRENT_USER, runKey, UniqueName("QmRun"), missing + "\\tray.exe");
    RegistryBackEnd saved = regApi;
    regApi.RegOpenKeyExA = DenyMachineRunKey;
    ScanStartupPrograms(context);
    regApi = saved;

    EXPECT_TRUE(context.records.empty());
    EXPECT_TRUE(context.calls.empty());
}

TEST_F(SoftwareScanner, SoundsNameTheBrokenValueSoRepairRemovesOnlyIt)
{
    const char soundsKey[] = "Control Panel\\Sounds";
    const std::string keyPath = "HKEY_CURRENT_USER\\Control Panel\\Sounds";
    const std::string name = UniqueName("QmSound");
    const std::string gone = missing + "\\ding.wav";
    PlantedValue broken(HKEY_CURRENT_USER, soundsKey, name + "_gone", gone);
    PlantedValue present(HKEY_CURRENT_USER, soundsKey, name + "_ok", windows + "\\win.ini");
    PlantedValue comma(HKEY_CURRENT_USER, soundsKey, name + "_comma", ",");

    ScanSounds(context);

    ASSERT_EQ(CountMentioning(context, name), 1);
    const ProblemRecord* record = context.FindItem(gone);
    ExpectRecord(record, 12, gone, keyPath, name + "_gone", gone);
    EXPECT_TRUE(Shown(context, keyPath + "\\" + gone));

    // What repair does with a record of this kind: the one value goes, the
    // rest of the scheme stays.
    HKEY root;
    std::string subkey;
    ASSERT_TRUE(SplitKeyPath(record->keyPath, root, subkey));
    EXPECT_EQ(DeleteRegValue(root, subkey, record->valueName), 1);
    EXPECT_FALSE(broken.Exists());
    EXPECT_TRUE(present.Exists());
    EXPECT_TRUE(comma.Exists());
}

TEST_F(SoftwareScanner, AppPathsExpandFolderVariablesAndReportTheDefaultValue)
{
    const std::string base = std::string(appPathsKey) + "\\";
    const std::string goneFolder = UniqueName("QmGone");
    PlantedKey gone(HKEY_LOCAL_MACHINE, base + UniqueName("QmApp") + ".exe");
    gone.SetString("", "%ProgramFiles%\\" + goneFolder + "\\app.exe", REG_EXPAND_SZ);
    PlantedKey present(HKEY_LOCAL_MACHINE, base + UniqueName("QmApp") + ".exe");
    present.SetString("", "%SystemRoot%\\notepad.exe", REG_EXPAND_SZ);
    PlantedKey noDefault(HKEY_LOCAL_MACHINE, base + UniqueName("QmApp") + ".exe");
    noDefault.SetString("Path", missing);

    ScanAppPaths(context);

    ASSERT_EQ(CountMentioning(context, "QmApp"), 1);
    const std::string tested = GetProgramFilesFolder() + "\\" + goneFolder + "\\app.exe";
    ExpectRecord(context.FindItem(tested), 4, tested, gone.FullPath(), "(Default)", tested);
    EXPECT_TRUE(Shown(context, gone.FullPath()));
    EXPECT_TRUE(Shown(context, present.FullPath()));
    // A program key without a default value is passed over silently.
    EXPECT_FALSE(Shown(context, noDefault.FullPath()));
}

TEST_F(SoftwareScanner, HelpFilesAreLookedForInTheFolderTheirValueNames)
{
    const char helpKey[] = "SOFTWARE\\Microsoft\\Windows\\Help";
    const std::string keyPath = "HKEY_LOCAL_MACHINE\\" + std::string(helpKey);
    const std::string file = UniqueName("qmhelp") + ".hlp";
    PlantedFile help(windows + "\\" + file);
    PlantedValue present(HKEY_LOCAL_MACHINE, helpKey, file, windows);
    PlantedValue gone(HKEY_LOCAL_MACHINE, helpKey, UniqueName("qmgone") + ".chm", missing);

    ScanHelpFiles(context);

    ASSERT_EQ(CountMentioning(context, "qm"), 1);
    const std::string tested = missing + "\\" + gone.Name();
    ExpectRecord(context.FindItem(tested), 7, tested, keyPath, gone.Name(), tested);
    EXPECT_TRUE(Shown(context, keyPath + "\\" + gone.Name()));
    EXPECT_TRUE(Shown(context, keyPath + "\\" + file));
}

TEST_F(SoftwareScanner, SharedLibrariesAreJudgedByTheValueName)
{
    const char sharedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    const std::string keyPath = "HKEY_LOCAL_MACHINE\\" + std::string(sharedKey);
    const std::string gone = missing + "\\shared.dll";
    PlantedValue broken(HKEY_LOCAL_MACHINE, sharedKey, gone, DWORD{3});
    PlantedValue present(HKEY_LOCAL_MACHINE, sharedKey, windows + "\\win.ini", DWORD{1});

    ScanSharedDlls(context);

    ASSERT_EQ(CountMentioning(context, "QmGone"), 1);
    ExpectRecord(context.FindItem(gone), 6, gone, keyPath, gone, gone);
    EXPECT_TRUE(Shown(context, keyPath + "\\" + gone));
    EXPECT_EQ(context.FindItem(windows + "\\win.ini"), nullptr);
}

TEST_F(SoftwareScanner, FontsGivenByFileNameAreLookedForInTheFontsFolder)
{
    const char fontsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    const std::string keyPath = "HKEY_LOCAL_MACHINE\\" + std::string(fontsKey);
    const std::string presentFile = UniqueName("qmfont") + ".ttf";
    const std::string goneFile = UniqueName("qmgone") + ".ttf";
    PlantedFile font(windows + "\\Fonts\\" + presentFile);
    PlantedValue present(HKEY_LOCAL_MACHINE, fontsKey, "Qm Present (TrueType)", presentFile);
    PlantedValue gone(HKEY_LOCAL_MACHINE, fontsKey, "Qm Gone (TrueType)", goneFile);
    PlantedValue full(HKEY_LOCAL_MACHINE, fontsKey, "Qm Full (TrueType)", windows + "\\win.ini");

    ScanFonts(context);

    ASSERT_EQ(CountMentioning(context, "Qm "), 1);
    const std::string tested = windows + "\\Fonts\\" + goneFile;
    ExpectRecord(context.FindItem(tested), 5, tested, keyPath, "Qm Gone (TrueType)", tested);
    EXPECT_TRUE(Shown(context, keyPath + "\\" + goneFile));
    EXPECT_TRUE(Shown(context, keyPath + "\\" + presentFile));
}

TEST_F(SoftwareScanner, InstalledProgramsAreJudgedByTheirLoweredExpandedUninstallCommand)
{
    const std::string base = std::string(uninstallKey) + "\\";
    const std::string gonePart = UniqueName("QmGone");
    PlantedKey gone(HKEY_LOCAL_MACHINE, base + UniqueName("QmProgram"));
    const std::string command = "\"%SystemRoot%\\" + gonePart + "\\Uninst.EXE\" /Remove";
    gone.SetString("UninstallString", command);
    PlantedKey present(HKEY_LOCAL_MACHINE, base + UniqueName("QmProgram"));
    present.SetString("UninstallString", "%SYSTEMROOT%\\NOTEPAD.EXE /uninstall");
    PlantedKey hidden(HKEY_LOCAL_MACHINE, base + UniqueName("QmProgram"));
    hidden.SetString("UninstallString", missing + "\\uninst.exe");
    hidden.SetDword("SystemComponent", 1);
    PlantedKey noCommand(HKEY_LOCAL_MACHINE, base + UniqueName("QmProgram"));
    noCommand.SetString("DisplayName", "Qm without an uninstaller");
    PlantedKey emptyCommand(HKEY_LOCAL_MACHINE, base + UniqueName("QmProgram"));
    emptyCommand.SetString("UninstallString", "");

    ScanAddRemovePrograms(context);

    ASSERT_EQ(CountMentioning(context, "QmProgram"), 1);
    const ProblemRecord* record = context.FindItem(command);
    ASSERT_NE(record, nullptr);
    std::string lowered = gonePart;
    for (char& c : lowered)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ExpectRecord(record, 3, command, gone.FullPath(), "UninstallString",
                 "\"" + windows + "\\" + lowered + "\\uninst.exe\" /remove");
    EXPECT_TRUE(Shown(context, gone.FullPath()));
    EXPECT_TRUE(Shown(context, present.FullPath()));
    // Hidden entries and entries without a command are not even looked at.
    EXPECT_FALSE(Shown(context, hidden.FullPath()));
    EXPECT_FALSE(Shown(context, noCommand.FullPath()));
    EXPECT_FALSE(Shown(context, emptyCommand.FullPath()));
}

TEST_F(SoftwareScanner, ServiceImagePathsOfEveryFormAreBroughtToOneFile)
{
    const std::string goneName = UniqueName("qmgone");
    // Paths are lowered before they are judged; the Windows folder keeps its case.
    std::string loweredMissing = missing;
    for (char& c : loweredMissing)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    struct Case {
        const char* label;
        std::string imagePath;
        std::string tested; // empty: not reported
    } cases[] = {
        {"driver under \\SystemRoot", "\\SystemRoot\\System32\\drivers\\" + goneName + ".SYS",
         windows + "\\system32\\drivers\\" + goneName + ".sys"},
        {"relative program with arguments", "system32\\" + goneName + " -k netsvcs",
         windows + "\\system32\\" + goneName + ".exe"},
        {"object-manager prefix", "\\??\\" + missing + "\\svc.exe", loweredMissing + "\\svc.exe"},
        {"present program", "\\??\\" + windows + "\\notepad.exe", ""},
        {"present relative program", "system32\\notepad -k x", ""},
    };

    std::vector<std::unique_ptr<PlantedKey>> keys;
    for (const Case& c : cases) {
        keys.push_back(std::make_unique<PlantedKey>(HKEY_LOCAL_MACHINE,
                                                    std::string(servicesKey) + "\\" + UniqueName("QmSvc")));
        keys.back()->SetString("ImagePath", c.imagePath, REG_EXPAND_SZ);
    }

    ScanServices(context);

    for (size_t i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(cases[i].label);
        const ProblemRecord* found = nullptr;
        for (const ProblemPtr& record : context.records)
            if (record->keyPath == keys[i]->FullPath())
                found = record.get();
        EXPECT_TRUE(Shown(context, keys[i]->FullPath()));
        if (cases[i].tested.empty()) {
            EXPECT_EQ(found, nullptr);
        } else {
            ExpectRecord(found, 9, cases[i].tested, keys[i]->FullPath(), "ImagePath",
                         cases[i].tested);
        }
    }
}

TEST_F(SoftwareScanner, DriversAreLookedForInTheSystemFolderAndBuiltInOnesAreSkipped)
{
    const std::string vxdKey = std::string(servicesKey) + "\\VXD";
    PlantedKey gone(HKEY_LOCAL_MACHINE, vxdKey + "\\" + UniqueName("QmVxd"));
    const std::string goneFile = UniqueName("qmgone") + ".vxd";
    gone.SetString("StaticVXD", goneFile);
    PlantedKey builtIn(HKEY_LOCAL_MACHINE, vxdKey + "\\" + UniqueName("QmVxd"));
    builtIn.SetString("StaticVXD", "*vmm");
    PlantedKey present(HKEY_LOCAL_MACHINE, vxdKey + "\\" + UniqueName("QmVxd"));
    present.SetString("StaticVXD", "kernel32.dll");

    ScanVxds(context);

    ASSERT_EQ(context.records.size(), 1u);
    const std::string tested = GetSystemFolder() + "\\" + goneFile;
    ExpectRecord(context.records[0].get(), 10, tested, gone.FullPath(), "StaticVXD", tested);
    EXPECT_TRUE(Shown(context, gone.FullPath()));
    EXPECT_TRUE(Shown(context, present.FullPath()));
    EXPECT_FALSE(Shown(context, builtIn.FullPath()));
}

TEST_F(SoftwareScanner, EveryEntryStepsTheBarOnceAndAbortStopsTheWalk)
{
    const char sharedKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    PlantedValue a(HKEY_LOCAL_MACHINE, sharedKey, missing + "\\a.dll", DWORD{1});
    PlantedValue b(HKEY_LOCAL_MACHINE, sharedKey, missing + "\\b.dll", DWORD{1});
    PlantedValue c(HKEY_LOCAL_MACHINE, sharedKey, missing + "\\c.dll", DWORD{1});

    RecordingContext whole;
    ScanSharedDlls(whole);
    EXPECT_GE(whole.steps, 3);
    EXPECT_EQ(static_cast<size_t>(whole.steps), whole.CallsStartingWith("ShowItem ").size());

    context.onItem = [](const std::string&) { keepScanning = 0; };
    ScanSharedDlls(context);
    EXPECT_EQ(context.CallsStartingWith("ShowItem ").size(), 1u);
    EXPECT_EQ(context.steps, 1);
    EXPECT_LE(context.records.size(), 1u);
}

TEST_F(SoftwareScanner, AbortStopsASubkeyWalkAfterTheCurrentEntry)
{
    PlantedKey first(HKEY_LOCAL_MACHINE, std::string(uninstallKey) + "\\" + UniqueName("QmProgram"));
    first.SetString("UninstallString", missing + "\\one.exe");
    PlantedKey second(HKEY_LOCAL_MACHINE, std::string(uninstallKey) + "\\" + UniqueName("QmProgram"));
    second.SetString("UninstallString", missing + "\\two.exe");

    context.onItem = [](const std::string&) { keepScanning = 0; };
    ScanAddRemovePrograms(context);
    EXPECT_EQ(context.CallsStartingWith("ShowItem ").size(), 1u);
    EXPECT_LE(context.records.size(), 1u);
}
