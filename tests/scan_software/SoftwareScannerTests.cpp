#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <list>

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "scan/Scanners.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

const std::string runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string appPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const std::string uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string sharedKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string hkcu = "HKEY_CURRENT_USER\\", hklm = "HKEY_LOCAL_MACHINE\\";

// The record of a value that names a missing file.
std::string Fields(unsigned section, const std::string& item, const std::string& keyPath,
                   const std::string& valueName, const std::string& valueData)
{
    return RecordText(section, item, keyPath, valueName, valueData,
                      "The file (%s) does not exist at the specified location");
}

class SoftwareScanner : public ScanTest {
protected:
    // A new key below HKEY_LOCAL_MACHINE with one string value; answers its full path.
    std::string Plant(const std::string& path, const std::string& name, const std::string& data)
    {
        planted.emplace_back(HKEY_LOCAL_MACHINE, path);
        planted.back().SetString(name, data, REG_EXPAND_SZ);
        return planted.back().FullPath();
    }

    std::list<PlantedKey> planted;
    // A folder that exists nowhere on the machine.
    const std::string missing = "C:\\" + UniqueName("QmGone");
    const std::string windows = GetWindowsFolder();
};

TEST_F(SoftwareScanner, ValueListsAndProgramServiceAndDriverKeysReportTheFileTheirEntryNames)
{
    const std::string sounds = "Control Panel\\Sounds", help = "SOFTWARE\\Microsoft\\Windows\\Help";
    const std::string fonts = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    const std::string name = UniqueName("QmEntry");
    const std::string helpFile = UniqueName("qmhelp") + ".hlp", fontFile = UniqueName("qmfont") + ".ttf";
    PlantedFile presentHelp(windows + "\\" + helpFile), presentFont(windows + "\\Fonts\\" + fontFile);
    PlantedValue values[] = {
        // Data that does not fit the buffer is passed over.
        {HKEY_LOCAL_MACHINE, runKey, name + "_long", missing + "\\" + std::string(280, 'x')},
        // A sound names its file; "," is an empty slot of the scheme.
        {HKEY_CURRENT_USER, sounds, name + "_gone", missing + "\\ding.wav"},
        {HKEY_CURRENT_USER, sounds, name + "_ok", windows + "\\win.ini"},
        {HKEY_CURRENT_USER, sounds, name + "_comma", ","},
        // A help file is the value's name, in the folder its data names.
        {HKEY_LOCAL_MACHINE, help, name + ".chm", missing},
        {HKEY_LOCAL_MACHINE, help, helpFile, windows},
        // A shared library is the value's name; the data only counts its users.
        {HKEY_LOCAL_MACHINE, sharedKey, missing + "\\shared.dll", "1"},
        {HKEY_LOCAL_MACHINE, sharedKey, windows + "\\win.ini", "1"},
        // A font given by file name alone lives in the Fonts folder.
        {HKEY_LOCAL_MACHINE, fonts, name + " Gone (TrueType)", "qmgone.ttf"},
        {HKEY_LOCAL_MACHINE, fonts, name + " Present (TrueType)", fontFile},
        {HKEY_LOCAL_MACHINE, fonts, name + " Full (TrueType)", windows + "\\win.ini"}};

    RecordingContext soundScan, helpScan, fontScan, sharedScan;
    ScanStartupPrograms(context);
    ScanSounds(soundScan);
    ScanHelpFiles(helpScan);
    ScanFonts(fontScan);
    ScanSharedDlls(sharedScan);

    const std::string sound = missing + "\\ding.wav", helpTested = missing + "\\" + name + ".chm";
    const std::string font = windows + "\\Fonts\\qmgone.ttf", dll = missing + "\\shared.dll";
    EXPECT_EQ(context.RecordsWith(name), Records{});
    EXPECT_EQ(soundScan.RecordsWith(name),
              (Records{Fields(12, sound, hkcu + sounds, name + "_gone", sound)}));
    EXPECT_EQ(helpScan.RecordsWith(name),
              (Records{Fields(7, helpTested, hklm + help, name + ".chm", helpTested)}));
    EXPECT_EQ(fontScan.RecordsWith(name),
              (Records{Fields(5, font, hklm + fonts, name + " Gone (TrueType)", font)}));
    EXPECT_EQ(sharedScan.RecordsWith("QmGone"), (Records{Fields(6, dll, hklm + sharedKey, dll, dll)}));
    EXPECT_EQ(sharedScan.RecordsWith("win.ini"), Records{});

    const std::string gone = UniqueName("qmgone"), system32 = windows + "\\system32\\";
    const std::string appPath = "%ProgramFiles%\\" + gone + "\\app.exe";
    const std::string command = "\"%SystemRoot%\\" + gone + "\\Uninst.EXE\" /Remove";
    const std::string goneApp = Plant(appPathsKey + UniqueName("QmApp") + ".exe", "", appPath);
    Plant(appPathsKey + UniqueName("QmApp") + ".exe", "", "%SystemRoot%\\notepad.exe");
    // Keys without the value, or hidden from the installed-programs list, are passed over.
    Plant(appPathsKey + UniqueName("QmApp") + ".exe", "Path", missing);
    const std::string goneProgram = Plant(uninstallKey + UniqueName("QmProgram"), "UninstallString", command);
    Plant(uninstallKey + UniqueName("QmProgram"), "UninstallString", "%SYSTEMROOT%\\NOTEPAD.EXE /x");
    Plant(uninstallKey + UniqueName("QmProgram"), "UninstallString", missing + "\\uninst.exe");
    planted.back().SetDword("SystemComponent", 1);
    Plant(uninstallKey + UniqueName("QmProgram"), "DisplayName", "Qm without an uninstaller");
    Plant(uninstallKey + UniqueName("QmProgram"), "UninstallString", "");
    // Service paths are lowered before they are judged; the Windows folder keeps
    // its case. Device drivers are looked for in the system folder; *vmm is built in.
    const struct {
        bool driver;
        std::string data, tested; // tested empty: not reported
    } cases[] = {
        {false, "\\SystemRoot\\System32\\drivers\\" + gone + ".SYS", system32 + "drivers\\" + gone + ".sys"},
        {false, "system32\\" + gone + " -k netsvcs", system32 + gone + ".exe"},
        {false, "\\??\\C:\\" + gone + "\\Svc.exe", "c:\\" + gone + "\\svc.exe"},
        {false, "\\??\\" + windows + "\\notepad.exe", ""},
        {false, "system32\\notepad -k x", ""},
        {true, gone + ".vxd", GetSystemFolder() + "\\" + gone + ".vxd"},
        {true, "kernel32.dll", ""},
        {true, "*vmm", ""},
    };
    std::vector<std::string> keys;
    for (const auto& c : cases)
        keys.push_back(Plant("SYSTEM\\CurrentControlSet\\Services\\" + std::string(c.driver ? "VXD\\" : "") +
                                 UniqueName("QmSvc"),
                             c.driver ? "StaticVXD" : "ImagePath", c.data));

    RecordingContext programs, drivers;
    ScanAppPaths(context);
    ScanServices(context);
    ScanAddRemovePrograms(programs);
    ScanVxds(drivers);

    // Application paths keep their case; uninstall commands are judged lowered.
    const std::string app = GetProgramFilesFolder() + "\\" + gone + "\\app.exe";
    EXPECT_EQ(context.RecordsWith("QmApp"), (Records{Fields(4, app, goneApp, "(Default)", app)}));
    EXPECT_EQ(programs.RecordsWith("QmProgram"),
              (Records{Fields(3, command, goneProgram, "UninstallString",
                              "\"" + windows + "\\" + gone + "\\uninst.exe\" /remove")}));
    for (size_t i = 0; i < keys.size(); ++i) {
        const auto& c = cases[i];
        const char* value = c.driver ? "StaticVXD" : "ImagePath";
        EXPECT_EQ((c.driver ? drivers : context).RecordsWith(keys[i] + "|"),
                  c.tested.empty() ? Records{}
                                   : Records{Fields(c.driver ? 10 : 9, c.tested, keys[i], value, c.tested)})
            << c.data;
    }

    // Abort: the entry being looked at (a value or a key) is finished, no other begun.
    for (auto scan : {ScanSharedDlls, ScanAddRemovePrograms}) {
        RecordingContext aborted;
        aborted.onItem = [](const std::string&) { keepScanning = 0; };
        keepScanning = 1;
        scan(aborted);
        EXPECT_EQ(aborted.CallsStartingWith("ShowItem ").size(), 1u);
        EXPECT_EQ(aborted.calls.back(), "Step");
    }
}

} // namespace
