#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/FileFacts.h"
#include "core/PathCheck.h"
#include "core/Registry.h"
#include "core/Text.h"
#include "support/Planted.h"
#include "support/SavedBackEnd.h"

namespace {

// Forces IsWow64 for one scope and asks the platform again afterwards.
struct Wow64Forced { explicit Wow64Forced(int value) { OverrideWow64(value); } ~Wow64Forced() { OverrideWow64(-1); } };

struct Case { std::string text; int expected; };

} // namespace

// Real command lines; a 32-bit program's system32 references look in SysWOW64 (lower-case name only).
TEST(IsValidPath, CommandLinesFoundInRealRegistries)
{
    Wow64Forced native(0);
    const std::string wow = UniqueName("qmwow") + ".dll";
    PlantedFile redirected(GetWindowsFolder() + "\\SysWOW64\\" + wow);
    const std::string base = "C:\\" + UniqueName("QmJudge");
    PlantedFile app(base + "\\App Dir\\app.exe");
    PlantedFile tool(base + "\\tool.exe");
    PlantedFolder empty(base + "\\emptydir");
    const std::string gone = "C:\\" + UniqueName("QmGone");

    const Case cases[] = {
        // Programs with switches and arguments, quoted and not.
        {"\"" + app.Path() + "\" /silent", 1}, {"\"" + base + "\\App Dir\\gone.exe\" /silent", 0},
        {app.Path() + " -min /tray", 1}, {gone + "\\Some Co\\run.exe /x", 0},
        {tool.Path() + " " + gone + "\\data.txt", 1},
        // Environment variables and resource references.
        {"%SystemRoot%\\notepad.exe", 1}, {"%SystemRoot%\\" + UniqueName("qmgone") + ".exe", 0},
        {"%SystemRoot%\\system32\\" + UniqueName("x") + ".dll,-101", 1}, {gone + "\\icons.dll,3", 1},
        // Host programs name their own targets; bare names are looked up on the search path.
        {"RunDll32.EXE " + gone + "\\x.dll Entry", 1},
        {"MsiExec.exe /I{00000000-0000-0000-0000-000000000000}", 1},
        {"notepad.exe", 1}, {UniqueName("qm_no_such_program") + ".exe", 0},
        // Not judged: URLs, network paths, doubled backslashes, drives that come and go.
        {"http://example.com/help.htm", 1}, {"\\\\server\\share\\" + UniqueName("x") + ".exe", 1},
        {"C:\\" + UniqueName("x") + "\\\\nowhere.exe", 1}, {"D:\\" + UniqueName("setup") + ".exe", 1},
        {"N:\\apps\\" + UniqueName("tool") + ".exe /x", 1},
        // Too short to be anything.
        {"", 0}, {"ab", 0},
        // Folders, trailing backslashes and "\.\".
        {empty.Path() + "\\gone.exe", 0}, {empty.Path() + "\\", 1}, {empty.Path(), 1},
        {tool.Path() + "\\.\\", 1}, {base + "\\.\\tool.exe", 1}, {tool.Path() + "\\1", 1},
        {gone + "\\", 0}, {GetWindowsFolder() + "\\system32\\" + wow, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidPath(c.text), c.expected) << c.text;
    Wow64Forced wow64(1);
    EXPECT_EQ(IsValidPath("\"" + GetWindowsFolder() + "\\system32\\" + wow + "\" /s"), 1);
    EXPECT_EQ(IsValidPath(GetWindowsFolder() + "\\System32\\" + wow), 0);
}

TEST(AutoCad, TheInstallFolderOfTheCurrentVersionIsSearchedForBareNames)
{
    const std::string acad = "Software\\Autodesk\\AutoCAD";
    PlantedFolder folder("C:\\" + UniqueName("QmAcad"));
    const std::string tool = UniqueName("acadtool") + ".exe";
    PlantedFile program(folder.Path() + "\\" + tool);
    PlantedKey machine(HKEY_LOCAL_MACHINE, acad);
    PlantedKey install(HKEY_LOCAL_MACHINE, acad + "\\R17.0\\ACAD-5001:409");
    install.SetString("AcadLocation", folder.Path());
    EXPECT_EQ(FindAutoCadLocation(), ""); // no current version anywhere

    // The user's current version, when the machine names none.
    PlantedKey user(HKEY_CURRENT_USER, acad);
    user.SetString("CurVer", "R17.0");
    PlantedKey userVersion(HKEY_CURRENT_USER, acad + "\\R17.0");
    userVersion.SetString("CurVer", "ACAD-5001:409");
    EXPECT_EQ(FindAutoCadLocation(), folder.Path());

    // The machine's current version wins over the user's.
    machine.SetString("CurVer", "R16.2");
    EXPECT_EQ(FindAutoCadLocation(), "");
    machine.SetString("CurVer", "R17.0");
    PlantedKey machineVersion(HKEY_LOCAL_MACHINE, acad + "\\R17.0");
    machineVersion.SetString("CurVer", "ACAD-5001:409");
    EXPECT_EQ(FindAutoCadLocation(), folder.Path());

    EXPECT_EQ(FileOrProgramExists(tool), 0);
    SetAutoCadFolder(FindAutoCadLocation());
    EXPECT_EQ(FileOrProgramExists(tool + " /b script.scr"), 1);
    SetAutoCadFolder("");
}

TEST(IsValidProgId, IdentifiersVersionsAndPaths)
{
    Wow64Forced native(0);
    const std::string stem = UniqueName("QmProg");
    PlantedKey doc(HKEY_CLASSES_ROOT, stem + ".Document");
    PlantedKey app(HKEY_CLASSES_ROOT, stem + ".App1");
    PlantedFile file("C:\\" + UniqueName("QmProgFile") + "\\viewer.exe");
    const Case cases[] = {
        {stem + ".Document", 1}, {stem + ".Document.8", 1}, {stem + ".Document.10", 1},
        {stem + ".Missing.3", 0},
        // Trailing digits go in rising order: "12" loses only its 2.
        {stem + ".App12", 1}, {stem + ".App21", 0},
        {"", 0}, {"rundll32 shell32.dll,Control_RunDLL", 1},
        {file.Path(), 1}, {"C:\\" + UniqueName("QmNoSuch") + "\\viewer.exe", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidProgId(c.text), c.expected) << c.text;

    // A key we may not open still exists, and is valid.
    SavedBackEnd saved;
    regApi.RegOpenKeyExA = [](HKEY, LPCSTR, DWORD, REGSAM, PHKEY) -> LONG { return ERROR_ACCESS_DENIED; };
    EXPECT_EQ(IsValidProgId(UniqueName("QmLocked") + ".Class.2"), 1);
}

TEST(IsExcludedReference, BuiltInNoiseAndTheIgnoreListInAnyCase)
{
    const std::vector<std::string> ignore = {"Software\\Vendor\\Keep", "C:\\TOOLS\\legacy.exe"};
    const Case cases[] = {
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\x\\ImagePath\\C:\\SvcHost.EXE", 1},
        {"HKEY_CLASSES_ROOT\\.bas\\\\", 1},
        {"HKEY_LOCAL_MACHINE\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\INTERNET "
         "SETTINGS\\CACHE\\PATHS\\path1\\CachePath\\C:\\x", 1},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\tool\\C:\\gone.exe", 0},
        {"HKEY_CURRENT_USER\\software\\vendor\\keep\\Path\\C:\\gone.exe", 1},
        {"HKEY_CURRENT_USER\\Software\\Other\\Run\\x\\c:\\tools\\LEGACY.exe /q", 1},
        {"HKEY_CURRENT_USER\\Software\\Vendor\\Other\\Path\\C:\\gone.exe", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsExcludedReference(c.text, ignore), c.expected) << c.text;
    // A blank line of the ignore list must not hide everything.
    EXPECT_EQ(IsExcludedReference("HKEY_CURRENT_USER\\Software\\x\\v\\C:\\a.exe", {""}), 0);
}

TEST(FileFacts, AMemoAnswersFromMemoryWithTheWrittenCaseAndNothingOutlivesIt)
{
    PlantedFolder folder("C:\\" + UniqueName("QmFacts"));
    PlantedFile file(folder.Path() + "\\Tool.exe");
    const std::string later = folder.Path() + "\\later.txt";
    std::unique_ptr<PlantedFile> planting;
    {
        FileFactsMemo memo;
        memo.SetWrittenText("\"" + file.Path() + "\" /run,0");
        EXPECT_EQ(memo.WrittenForm(LowerAscii(file.Path())), file.Path());
        EXPECT_EQ(memo.WrittenForm("c:\\elsewhere"), "c:\\elsewhere");
        EXPECT_NE(FileAttributesOf(LowerAscii(file.Path())), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(FileAttributesOf(later), INVALID_FILE_ATTRIBUTES);
        planting = std::make_unique<PlantedFile>(later);
        EXPECT_EQ(FileAttributesOf(later), INVALID_FILE_ATTRIBUTES) << "answered from memory";
    }
    EXPECT_NE(FileAttributesOf(later), INVALID_FILE_ATTRIBUTES) << "outside every memo the platform is asked";
}
