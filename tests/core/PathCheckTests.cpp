#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "support/Planted.h"

namespace {

// Forces IsWow64 for one test and asks the platform again afterwards.
struct Wow64Forced {
    explicit Wow64Forced(int value) { OverrideWow64(value); }
    ~Wow64Forced() { OverrideWow64(-1); }
};

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t pos = text.find(from); pos != std::string::npos;
         pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
    return text;
}

} // namespace

TEST(Drives, TheTestPrefixHasRemovableNetworkAndFixedDrives)
{
    EXPECT_EQ(GetDriveTypeA("C:\\"), static_cast<UINT>(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_EQ(GetDriveTypeA("N:\\"), static_cast<UINT>(DRIVE_REMOTE));
    EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_REMOVABLE));

    EXPECT_EQ(IsNotOnFixedDrive("C:\\windows\\notepad.exe"), 0);
    EXPECT_EQ(IsNotOnFixedDrive("D:\\setup.exe"), 1);
    EXPECT_EQ(IsNotOnFixedDrive("N:\\share\\tool.exe"), 1);
    EXPECT_EQ(IsNotOnFixedDrive("A:\\"), 1);
    EXPECT_EQ(IsNotOnFixedDrive("relative\\name.exe"), 1);

    std::vector<std::string> roots;
    int count = 100;
    ASSERT_EQ(ListLogicalDrives(roots, count), 1);
    EXPECT_EQ(count, static_cast<int>(roots.size()));
    EXPECT_EQ(CountLogicalDrives(), count);
    for (const char* root : {"A:\\", "C:\\", "D:\\", "N:\\"})
        EXPECT_NE(std::find(roots.begin(), roots.end(), root), roots.end()) << root;
    int two = 2;
    ASSERT_EQ(ListLogicalDrives(roots, two), 1);
    EXPECT_EQ(two, 2);
    EXPECT_EQ(roots.size(), 2u);
}

TEST(IsValidPath, CommandLinesFoundInRealRegistries)
{
    Wow64Forced native(0);
    const std::string base = "C:\\" + UniqueName("QmJudge");
    PlantedFile app(base + "\\App Dir\\app.exe");
    PlantedFile tool(base + "\\tool.exe");
    PlantedFolder empty(base + "\\emptydir");
    const std::string missingFolder = "C:\\" + UniqueName("QmGone");

    struct Case {
        std::string text;
        int valid;
    } cases[] = {
        // Programs with switches and arguments, quoted and not.
        {"\"" + app.Path() + "\" /silent", 1},
        {"\"" + base + "\\App Dir\\gone.exe\" /silent", 0},
        {app.Path() + " -min /tray", 1},
        {"\"" + app.Path() + "\" \"%1\"", 1},
        {missingFolder + "\\Some Co\\run.exe /x", 0},
        {tool.Path() + " " + missingFolder + "\\data.txt", 1},
        // Environment variables and resource references.
        {"%SystemRoot%\\notepad.exe", 1},
        {"%SystemRoot%\\" + UniqueName("qmgone") + ".exe", 0},
        {"%SystemRoot%\\system32\\" + UniqueName("x") + ".dll,-101", 1},
        {missingFolder + "\\icons.dll,3", 1},
        // Host programs name their own targets.
        {"rundll32.exe missing.dll,Entry", 1},
        {"RunDll32.EXE " + missingFolder + "\\x.dll Entry", 1},
        {"MsiExec.exe /I{00000000-0000-0000-0000-000000000000}", 1},
        // Bare names on the search path.
        {"notepad.exe", 1},
        {UniqueName("qm_no_such_program") + ".exe", 0},
        // Not judged: URLs and network paths.
        {"http://example.com/help.htm", 1},
        {"\\\\server\\share\\" + UniqueName("x") + ".exe", 1},
        {"C:\\" + UniqueName("x") + "\\\\nowhere.exe", 1},
        // Too short to be anything.
        {"", 0},
        {"x", 0},
        {"ab", 0},
        // Folders, trailing backslashes and "\.\".
        {empty.Path() + "\\gone.exe", 0},
        {empty.Path() + "\\", 1},
        {empty.Path(), 1},
        {tool.Path() + "\\.\\", 1},
        {base + "\\.\\tool.exe", 1},
        {tool.Path() + "\\1", 1},
        {missingFolder + "\\", 0},
        // Drives that come and go are never judged.
        {"D:\\" + UniqueName("setup") + ".exe", 1},
        {"N:\\apps\\" + UniqueName("tool") + ".exe /x", 1},
        {"A:\\" + UniqueName("disk") + ".exe", 1},
        {"C:\\" + UniqueName("missing") + ".exe", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidPath(c.text), c.valid) << c.text;
}

TEST(IsValidPath, System32ReferencesOfA32BitProgramLookInSysWow64)
{
    const std::string system32 = GetWindowsFolder() + "\\system32";
    ASSERT_EQ(IsDirectory(system32), 1);
    const std::string name = UniqueName("qmwow") + ".dll";
    PlantedFile redirected(GetWindowsFolder() + "\\SysWOW64\\" + name);
    const std::string reference = system32 + "\\" + name;
    {
        Wow64Forced native(0);
        EXPECT_EQ(IsValidPath(reference), 0);
    }
    {
        Wow64Forced wow64(1);
        EXPECT_EQ(IsWow64(), 1);
        EXPECT_EQ(IsValidPath(reference), 1);
        EXPECT_EQ(IsValidPath("\"" + reference + "\" /s"), 1);
        // Only the lower-case folder name is redirected.
        EXPECT_EQ(IsValidPath(Replaced(reference, "system32", "System32")), 0);
        EXPECT_EQ(IsValidPath(system32 + "\\" + UniqueName("none") + ".dll"), 0);
    }
    // This test binary is a 64-bit process: the platform says no.
    EXPECT_EQ(IsWow64(), 0);
}

TEST(FileOrProgramExists, TheAutoCadFolderIsSearchedForBareNames)
{
    PlantedFolder folder("C:\\" + UniqueName("QmAcad"));
    const std::string name = UniqueName("acadtool") + ".exe";
    PlantedFile program(folder.Path() + "\\" + name);
    EXPECT_EQ(FileOrProgramExists(name), 0);
    SetAutoCadFolder(folder.Path());
    EXPECT_EQ(FileOrProgramExists(name), 1);
    EXPECT_EQ(FileOrProgramExists(name + " /b script.scr"), 1);
    SetAutoCadFolder("");
}

TEST(FindAutoCadLocation, FollowsTheCurrentVersionsToTheInstallFolder)
{
    EXPECT_EQ(FindAutoCadLocation(), "");
    const std::string acad = "Software\\Autodesk\\AutoCAD";
    PlantedKey machine(HKEY_LOCAL_MACHINE, acad);
    std::string release = machine.Subkey("R17.0\\ACAD-5001:409");
    EXPECT_EQ(FindAutoCadLocation(), ""); // no current version anywhere

    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, release.c_str(), 0, KEY_ALL_ACCESS, &key), 0);
    const char location[] = "C:\\Program Files\\AutoCAD 2007";
    RegSetValueExA(key, "AcadLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(location),
                   sizeof(location));
    RegCloseKey(key);

    // The user's current version, when the machine names none.
    PlantedKey user(HKEY_CURRENT_USER, acad);
    user.SetString("CurVer", "R17.0");
    PlantedKey userVersion(HKEY_CURRENT_USER, acad + "\\R17.0");
    userVersion.SetString("CurVer", "ACAD-5001:409");
    EXPECT_EQ(FindAutoCadLocation(), location);

    // The machine's current version wins over the user's.
    machine.SetString("CurVer", "R16.2");
    EXPECT_EQ(FindAutoCadLocation(), "");
    machine.SetString("CurVer", "R17.0");
    PlantedKey machineRelease(HKEY_LOCAL_MACHINE, acad + "\\R17.0");
    machineRelease.SetString("CurVer", "ACAD-5001:409");
    EXPECT_EQ(FindAutoCadLocation(), location);
}

namespace {
int openCalls = 0;
}

TEST(IsValidProgId, IdentifiersVersionsAndPaths)
{
    Wow64Forced native(0);
    const std::string stem = UniqueName("QmProg");
    PlantedKey doc(HKEY_CLASSES_ROOT, stem + ".Document");
    PlantedKey app(HKEY_CLASSES_ROOT, stem + ".App1");
    PlantedFile file("C:\\" + UniqueName("QmProgFile") + "\\viewer.exe");

    struct Case {
        std::string text;
        int valid;
    } cases[] = {
        {stem + ".Document", 1},
        {stem + ".Document.8", 1},
        {stem + ".Document.10", 1},
        {stem + ".Missing.3", 0},
        // Trailing digits go in rising order: "12" loses only its 2.
        {stem + ".App12", 1},
        {stem + ".App21", 0},
        {"", 0},
        {"rundll32 shell32.dll,Control_RunDLL", 1},
        {file.Path(), 1},
        {"C:\\" + UniqueName("QmNoSuch") + "\\viewer.exe", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidProgId(c.text), c.valid) << c.text;
}

TEST(IsValidProgId, AKeyThatCannotBeOpenedStillExists)
{
    Wow64Forced native(0);
    RegistryBackEnd saved = regApi;
    regApi.RegOpenKeyExA = [](HKEY, LPCSTR, DWORD, REGSAM, PHKEY) -> LONG {
        ++openCalls;
        return ERROR_ACCESS_DENIED;
    };
    openCalls = 0;
    int result = IsValidProgId(UniqueName("QmLocked") + ".Class.2");
    regApi = saved;
    EXPECT_EQ(result, 1);
    EXPECT_EQ(openCalls, 1);
}

TEST(IsExcludedReference, BuiltInNoiseAndTheIgnoreListInAnyCase)
{
    const std::vector<std::string> none;
    const std::vector<std::string> ignore = {"Software\\Vendor\\Keep", "C:\\TOOLS\\legacy.exe"};
    struct Case {
        std::string text;
        const std::vector<std::string>* list;
        int excluded;
    } cases[] = {
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\x\\ImagePath\\C:\\SvcHost.EXE",
         &none, 1},
        {"HKEY_CLASSES_ROOT\\.bas\\\\", &none, 1},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\INTERNET "
         "SETTINGS\\CACHE\\PATHS\\path1\\CachePath\\C:\\x",
         &none, 1},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\tool\\C:\\gone.exe",
         &none, 0},
        {"HKEY_CURRENT_USER\\software\\vendor\\keep\\Path\\C:\\gone.exe", &ignore, 1},
        {"HKEY_CURRENT_USER\\Software\\Other\\Run\\x\\c:\\tools\\LEGACY.exe /q", &ignore, 1},
        {"HKEY_CURRENT_USER\\Software\\Vendor\\Other\\Path\\C:\\gone.exe", &ignore, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsExcludedReference(c.text, *c.list), c.excluded) << c.text;
    // A blank line of the ignore list must not hide everything.
    EXPECT_EQ(IsExcludedReference("HKEY_CURRENT_USER\\Software\\x\\v\\C:\\a.exe", {""}), 0);
}

TEST(Folders, SystemFoldersAndTheProgramFolder)
{
    char windows[MAX_PATH], programFiles[MAX_PATH];
    ASSERT_TRUE(GetEnvironmentVariableA("WINDIR", windows, MAX_PATH));
    ASSERT_TRUE(GetEnvironmentVariableA("ProgramFiles", programFiles, MAX_PATH));
    EXPECT_EQ(lstrcmpiA(GetWindowsFolder().c_str(), windows), 0);
    EXPECT_EQ(lstrcmpiA(GetSystemFolder().c_str(), (std::string(windows) + "\\system32").c_str()),
              0);
    EXPECT_EQ(GetProgramFilesFolder(), programFiles);
    EXPECT_EQ(GetProgramFolder(), TestBinaryFolder());
    EXPECT_EQ(IsDirectory(GetProgramFolder()), 1);
    EXPECT_EQ(IsDirectory(GetWindowsFolder() + "\\notepad.exe"), 0);
}
