#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "ClassesTestSupport.h"
#include "scan/ScanContext.h"
#include "scan/Scanners.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

std::string WindowsFolder()
{
    char buffer[MAX_PATH];
    UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
    return std::string(buffer, length);
}

std::string ProgramFilesFolder()
{
    char buffer[MAX_PATH];
    ExpandEnvironmentStringsA("%ProgramFiles%", buffer, MAX_PATH);
    return buffer;
}

// A braced name that sorts among the class and type library identifiers.
std::string Braced(const std::string& stem)
{
    return "{" + UniqueName(stem) + "}";
}

class ComScan : public testing::Test {
protected:
    void SetUp() override { keepScanning = 1; }
    void TearDown() override { keepScanning = 0; }
    RecordingContext context;
};

TEST_F(ComScan, BrokenClassIsReportedCheckByCheckAndAValidOneIsNot)
{
    const std::string broken = "CLSID\\" + Braced("QmBrokenClass");
    const std::string pathProgId = "CLSID\\" + Braced("QmPathProgIdClass");
    const std::string valid = "CLSID\\" + Braced("QmGoodClass");
    const std::string goodProgId = UniqueName("QmGood") + ".Server";
    const std::string goodTypeLib = Braced("QmGoodLib");
    const std::string gone = UniqueName("QmGone");
    PlantedKey brokenKey(HKEY_CLASSES_ROOT, broken);
    PlantedKey pathProgIdKey(HKEY_CLASSES_ROOT, pathProgId);
    PlantedKey validKey(HKEY_CLASSES_ROOT, valid);
    PlantedKey progIdKey(HKEY_CLASSES_ROOT, goodProgId);
    PlantedKey typeLibKey(HKEY_CLASSES_ROOT, "TypeLib\\" + goodTypeLib);

    // Variables in any case are replaced, and the tested text is lowered.
    WriteClassesValue(broken + "\\InprocServer32", "", "%SystemRoot%\\" + gone + ".dll");
    WriteClassesValue(broken + "\\InprocServer32\\1.0.0.0", "CodeBase", "C:\\" + gone + "\\Lib.dll");
    WriteClassesValue(broken + "\\InprocHandler32", "", "ole32.dll");
    WriteClassesValue(broken + "\\LocalServer32", "", "%PROGRAMFILES%\\" + gone + "\\Server.exe");
    WriteClassesValue(broken + "\\VersionIndependentProgId", "", gone + ".Server");
    WriteClassesValue(broken + "\\TypeLib", "", "{" + gone + "}");
    WriteClassesValue(pathProgId + "\\VersionIndependentProgId", "", "C:\\" + gone + "\\Prog.exe");

    WriteClassesValue(valid + "\\InprocServer32", "", "%SYSTEMROOT%\\notepad.exe");
    WriteClassesValue(valid + "\\InprocServer32\\2.0", "CodeBase", WindowsFolder() + "\\win.ini");
    WriteClassesValue(valid + "\\LocalServer32", "", WindowsFolder() + "\\notepad.exe /Embedding");
    // An identifier that exists once its version is taken off.
    WriteClassesValue(valid + "\\VersionIndependentProgId", "", goodProgId + ".1");
    WriteClassesValue(valid + "\\TypeLib", "", goodTypeLib);

    ScanClsids(context);

    const std::string goneLower = Lower(gone);
    const std::vector<ExpectedRecord> expected = {
        {1, WindowsFolder() + "\\" + goneLower + ".dll", Hkcr(broken + "\\InprocServer32"),
         "(Default)", WindowsFolder() + "\\" + goneLower + ".dll", fileMissingText},
        {1, ProgramFilesFolder() + "\\" + goneLower + "\\server.exe",
         Hkcr(broken + "\\LocalServer32"), "(Default)",
         ProgramFilesFolder() + "\\" + goneLower + "\\server.exe", fileMissingText},
        {1, goneLower + ".server", Hkcr(broken + "\\VersionIndependentProgId"), "(Default)",
         goneLower + ".server", appIdInvalidText},
        {1, "{" + gone + "}", Hkcr(broken + "\\TypeLib"), "", "", ""},
        {1, "C:\\" + gone + "\\Lib.dll", Hkcr(broken + "\\InProcServer32\\1.0.0.0"), "CodeBase",
         "C:\\" + gone + "\\Lib.dll", fileMissingText},
    };
    std::vector<const ProblemRecord*> found = RecordsUnder(context, Hkcr(broken));
    ASSERT_EQ(found.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        ExpectRecord(*found[i], expected[i]);

    found = RecordsUnder(context, Hkcr(pathProgId));
    ASSERT_EQ(found.size(), 1u);
    ExpectRecord(*found[0], {1, "c:\\" + goneLower + "\\prog.exe",
                             Hkcr(pathProgId + "\\VersionIndependentProgId"), "(Default)",
                             "c:\\" + goneLower + "\\prog.exe", fileMissingText});

    EXPECT_TRUE(RecordsUnder(context, Hkcr(valid)).empty());
    // The valid class was looked at, check by check.
    const std::vector<std::string> shown = ShownItems(context);
    for (const char* check : {"\\InprocServer32", "\\LocalServer32", "\\VersionIndependentProgId",
                              "\\TypeLib"})
        EXPECT_NE(std::find(shown.begin(), shown.end(), Hkcr(valid + check)), shown.end()) << check;
    EXPECT_EQ(context.steps, static_cast<int>(ClassesSubkeyCount("CLSID")));
}

TEST_F(ComScan, AbortInAClassStopsBeforeTheNextClass)
{
    // Two broken classes that sort before every real identifier.
    const std::string first = "CLSID\\{000000-" + UniqueName("QmAbort") + "a}";
    const std::string second = "CLSID\\{000000-" + UniqueName("QmAbort") + "b}";
    PlantedKey firstKey(HKEY_CLASSES_ROOT, first);
    PlantedKey secondKey(HKEY_CLASSES_ROOT, second);
    for (const std::string& key : {first, second}) {
        WriteClassesValue(key + "\\InprocServer32", "", "C:\\QmGone\\a.dll");
        WriteClassesValue(key + "\\TypeLib", "", "{QmGoneLib}");
    }
    std::string abortedIn;
    context.onItem = [&](const std::string& text) {
        if (abortedIn.empty() && text.find("{000000-QmAbort") != std::string::npos) {
            abortedIn = text.substr(0, text.rfind('\\'));
            keepScanning = 0;
        }
    };

    ScanClsids(context);

    ASSERT_FALSE(abortedIn.empty());
    // The class being examined is finished, then the walk ends.
    int steps = 0;
    for (const std::string& call : CallsAfterShown(context, abortedIn + "\\InprocServer32")) {
        if (call == "Step")
            ++steps;
        if (call.rfind("ShowItem ", 0) == 0) {
            EXPECT_EQ(call.rfind("ShowItem " + abortedIn + "\\", 0), 0u) << call;
        }
    }
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(RecordsUnder(context, abortedIn).size(), 2u);
}

TEST_F(ComScan, ClassKeyThatDoesNotOpenIsToldAndEndsTheSection)
{
    FailClassesOpen failure("CLSID");
    ScanClsids(context);
    EXPECT_EQ(context.calls, std::vector<std::string>{"ShowFailure RegOpenKeyEx FAILED"});
    EXPECT_TRUE(context.records.empty());
}

TEST_F(ComScan, IdentifierWhoseClassResolvesNowhereIsReported)
{
    const std::string broken = UniqueName("QmBroken") + ".Prog";
    const std::string registered = UniqueName("QmRegistered") + ".Prog";
    const std::string alias = UniqueName("QmAlias") + ".Prog";
    const std::string noValue = UniqueName("QmNoValue") + ".Prog";
    const std::string classId = Braced("QmRegisteredClass");
    const std::string missingClass = Braced("QmMissingClass");
    PlantedKey brokenKey(HKEY_CLASSES_ROOT, broken);
    PlantedKey registeredKey(HKEY_CLASSES_ROOT, registered);
    PlantedKey aliasKey(HKEY_CLASSES_ROOT, alias);
    PlantedKey noValueKey(HKEY_CLASSES_ROOT, noValue);
    PlantedKey classKey(HKEY_CLASSES_ROOT, "CLSID\\" + classId);
    WriteClassesValue(broken + "\\CLSID", "", missingClass);
    WriteClassesValue(registered + "\\CLSID", "", classId);
    // A CLSID value that names another identifier still leads somewhere.
    WriteClassesValue(alias + "\\CLSID", "", registered);
    // Without a value there is nothing to judge.
    CreateClassesKey(noValue + "\\CLSID");

    ScanProgIds(context);

    std::vector<const ProblemRecord*> found = RecordsUnder(context, Hkcr(broken));
    ASSERT_EQ(found.size(), 1u);
    ExpectRecord(*found[0], {2, missingClass, Hkcr(broken + "\\CLSID"), "(Default)", missingClass,
                             appIdInvalidText});
    EXPECT_TRUE(RecordsUnder(context, Hkcr(registered)).empty());
    EXPECT_TRUE(RecordsUnder(context, Hkcr(alias)).empty());
    EXPECT_TRUE(RecordsUnder(context, Hkcr(noValue)).empty());
    const std::vector<std::string> shown = ShownItems(context);
    EXPECT_NE(std::find(shown.begin(), shown.end(), Hkcr(alias + "\\CLSID")), shown.end());
    EXPECT_EQ(std::find(shown.begin(), shown.end(), Hkcr(noValue + "\\CLSID")), shown.end());
    EXPECT_EQ(context.steps, static_cast<int>(ClassesSubkeyCount("")));
}

TEST_F(ComScan, TypeLibraryFilesAndHelpFoldersThatAreGoneAreReported)
{
    const std::string broken = "TypeLib\\" + Braced("QmBrokenLib");
    const std::string quoted = "TypeLib\\" + Braced("QmQuotedLib");
    const std::string valid = "TypeLib\\" + Braced("QmGoodLib");
    const std::string gone = UniqueName("QmGone");
    PlantedKey brokenKey(HKEY_CLASSES_ROOT, broken);
    PlantedKey quotedKey(HKEY_CLASSES_ROOT, quoted);
    PlantedKey validKey(HKEY_CLASSES_ROOT, valid);

    WriteClassesValue(broken + "\\1.0\\0\\win32", "", "%SystemRoot%\\" + gone + ".tlb");
    WriteClassesValue(broken + "\\1.0\\0\\win64", "", "C:\\" + gone + "\\other.tlb");
    WriteClassesValue(broken + "\\1.0\\FLAGS", "", "0");
    WriteClassesValue(broken + "\\1.0\\HELPDIR", "", "C:\\" + gone + "\\");
    CreateClassesKey(broken + "\\2.0\\0\\win16"); // no file at all
    WriteClassesValue(quoted + "\\1.0\\HELPDIR", "", "\"C:\\" + gone + "\"");

    WriteClassesValue(valid + "\\1.0\\0\\win32", "", WindowsFolder() + "\\notepad.exe");
    WriteClassesValue(valid + "\\1.0\\HELPDIR", "", WindowsFolder() + "\\");
    WriteClassesValue(valid + "\\2.0\\HELPDIR", "", "\"" + WindowsFolder() + "\"");
    WriteClassesValue(valid + "\\3.0\\HELPDIR", "", "");

    ScanTypeLibs(context);

    const std::vector<ExpectedRecord> expected = {
        {2, WindowsFolder() + "\\" + gone + ".tlb", Hkcr(broken + "\\1.0\\0\\win32"), "(Default)",
         WindowsFolder() + "\\" + gone + ".tlb", fileMissingText},
        {2, "C:\\" + gone, Hkcr(broken + "\\1.0\\HELPDIR"), "(Default)", "C:\\" + gone,
         fileMissingText},
        {2, "", Hkcr(broken + "\\2.0\\0\\win16"), "(Default)", "", fileMissingText},
    };
    std::vector<const ProblemRecord*> found = RecordsUnder(context, Hkcr(broken));
    ASSERT_EQ(found.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        ExpectRecord(*found[i], expected[i]);

    // A quoted help folder is looked for without its quotes.
    found = RecordsUnder(context, Hkcr(quoted));
    ASSERT_EQ(found.size(), 1u);
    ExpectRecord(*found[0], {2, "C:\\" + gone, Hkcr(quoted + "\\1.0\\HELPDIR"), "(Default)",
                             "C:\\" + gone, folderInvalidText});

    EXPECT_TRUE(RecordsUnder(context, Hkcr(valid)).empty());
    const std::vector<std::string> shown = ShownItems(context);
    EXPECT_NE(std::find(shown.begin(), shown.end(), Hkcr(valid + "\\2.0\\HELPDIR")), shown.end());
    EXPECT_EQ(context.steps, static_cast<int>(ClassesSubkeyCount("TypeLib")));
}

TEST_F(ComScan, AbortInATypeLibraryStopsItsWalkAtTheNextKey)
{
    const std::string lib = "TypeLib\\{000000-" + UniqueName("QmAbortLib") + "}";
    PlantedKey libKey(HKEY_CLASSES_ROOT, lib);
    WriteClassesValue(lib + "\\1.0\\0\\win32", "", "C:\\QmGone\\a.tlb");
    WriteClassesValue(lib + "\\1.0\\9\\win32", "", "C:\\QmGone\\b.tlb");
    WriteClassesValue(lib + "\\2.0\\0\\win32", "", "C:\\QmGone\\c.tlb");
    context.onItem = [&](const std::string& text) {
        if (text.rfind(Hkcr(lib), 0) == 0)
            keepScanning = 0;
    };

    ScanTypeLibs(context);

    EXPECT_EQ(RecordsUnder(context, Hkcr(lib)).size(), 1u);
    const std::vector<std::string> shown = ShownItems(context);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().rfind(Hkcr(lib), 0), 0u);
    EXPECT_EQ(context.calls.back(), "Step");
}

} // namespace
