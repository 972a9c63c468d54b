#include <gtest/gtest.h>

#include <windows.h>

#include "ClassesTestSupport.h"
#include "scan/ScanContext.h"
#include "scan/Scanners.h"
#include "support/Planted.h"

namespace {

using Records = std::vector<std::string>;

std::string Expanded(const char* text)
{
    char buffer[MAX_PATH];
    ExpandEnvironmentStringsA(text, buffer, MAX_PATH);
    return buffer;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// Unique names end in digits, which the identifier check takes for a
// version; a word after them keeps them.
std::string Identifier(const std::string& stem)
{
    return UniqueName(stem) + ".Server";
}

class ComScan : public testing::Test {
protected:
    void SetUp() override { keepScanning = 1; }
    void TearDown() override { keepScanning = 0; }
    RecordingContext context;
};

TEST_F(ComScan, BrokenClassIsReportedCheckByCheckAndAValidOneIsNot)
{
    const std::string broken = "CLSID\\{" + UniqueName("QmBrokenClass") + "}";
    const std::string pathId = "CLSID\\{" + UniqueName("QmPathIdClass") + "}";
    const std::string valid = "CLSID\\{" + UniqueName("QmGoodClass") + "}";
    const std::string goodId = Identifier("QmGood");
    const std::string goodLib = "{" + UniqueName("QmGoodLib") + "}";
    const std::string gone = UniqueName("QmGone");
    PlantedKey plants[] = {{HKEY_CLASSES_ROOT, broken},
                           {HKEY_CLASSES_ROOT, pathId},
                           {HKEY_CLASSES_ROOT, valid},
                           {HKEY_CLASSES_ROOT, goodId},
                           {HKEY_CLASSES_ROOT, "TypeLib\\" + goodLib}};

    // Variables in any case are replaced, and the tested text is lowered.
    WriteClassesValue(broken + "\\InprocServer32", "", "%SystemRoot%\\" + gone + ".dll");
    WriteClassesValue(broken + "\\InprocServer32\\1.0.0.0", "CodeBase", "C:\\" + gone + "\\A.dll");
    WriteClassesValue(broken + "\\InprocHandler32", "", "ole32.dll");
    WriteClassesValue(broken + "\\LocalServer32", "", "%PROGRAMFILES%\\" + gone + "\\Server.exe");
    WriteClassesValue(broken + "\\VersionIndependentProgId", "", gone + ".Server");
    WriteClassesValue(broken + "\\TypeLib", "", "{" + gone + "}");
    WriteClassesValue(pathId + "\\VersionIndependentProgId", "", "C:\\" + gone + "\\Prog.exe");

    WriteClassesValue(valid + "\\InprocServer32", "", "%SYSTEMROOT%\\notepad.exe");
    WriteClassesValue(valid + "\\InprocServer32\\2.0", "CodeBase", Expanded("%WINDIR%\\win.ini"));
    WriteClassesValue(valid + "\\LocalServer32", "", Expanded("%WINDIR%\\notepad.exe /Embedding"));
    // An identifier that exists once its version is taken off.
    WriteClassesValue(valid + "\\VersionIndependentProgId", "", goodId + ".1");
    WriteClassesValue(valid + "\\TypeLib", "", goodLib);

    ScanClsids(context);

    const std::string dll = Expanded("%WINDIR%\\") + Lower(gone) + ".dll";
    const std::string exe = Expanded("%ProgramFiles%\\") + Lower(gone) + "\\server.exe";
    const std::string codeBase = "C:\\" + gone + "\\A.dll";
    EXPECT_EQ(RecordsUnder(context, Hkcr(broken)),
              (Records{Fields(1, dll, Hkcr(broken + "\\InprocServer32"), "(Default)", dll,
                              fileMissingText),
                       Fields(1, exe, Hkcr(broken + "\\LocalServer32"), "(Default)", exe,
                              fileMissingText),
                       Fields(1, Lower(gone) + ".server", Hkcr(broken + "\\VersionIndependentProgId"),
                              "(Default)", Lower(gone) + ".server", appIdInvalidText),
                       Fields(1, "{" + gone + "}", Hkcr(broken + "\\TypeLib"), "", "", ""),
                       Fields(1, codeBase, Hkcr(broken + "\\InProcServer32\\1.0.0.0"), "CodeBase",
                              codeBase, fileMissingText)}));
    const std::string prog = "c:\\" + Lower(gone) + "\\prog.exe";
    EXPECT_EQ(RecordsUnder(context, Hkcr(pathId)),
              (Records{Fields(1, prog, Hkcr(pathId + "\\VersionIndependentProgId"), "(Default)",
                              prog, fileMissingText)}));

    EXPECT_EQ(RecordsUnder(context, Hkcr(valid)), Records{});
    for (const char* check : {"\\InprocServer32", "\\LocalServer32", "\\VersionIndependentProgId",
                              "\\TypeLib"})
        EXPECT_TRUE(Shown(context, Hkcr(valid + check))) << check;
    EXPECT_EQ(context.steps, static_cast<int>(ClassesSubkeyCount("CLSID")));
}

TEST_F(ComScan, AbortInAClassStopsBeforeTheNextClass)
{
    // Two broken classes that sort before every real one.
    const std::string first = "CLSID\\{000000-" + UniqueName("QmAbort") + "}";
    const std::string second = "CLSID\\{000000-" + UniqueName("QmAbort") + "}";
    PlantedKey plants[] = {{HKEY_CLASSES_ROOT, first}, {HKEY_CLASSES_ROOT, second}};
    for (const std::string& key : {first, second}) {
        WriteClassesValue(key + "\\InprocServer32", "", "C:\\QmGone\\a.dll");
        WriteClassesValue(key + "\\TypeLib", "", "{QmGoneLib}");
    }
    size_t abortedAt = 0;
    context.onItem = [&](const std::string& text) {
        if (!abortedAt && text.find("{000000-QmAbort") != std::string::npos) {
            abortedAt = context.calls.size();
            keepScanning = 0;
        }
    };

    ScanClsids(context);

    // The class being looked at is finished (both its problems), and no other is begun.
    ASSERT_NE(abortedAt, 0u);
    EXPECT_EQ(RecordsUnder(context, Hkcr(first)).size() + RecordsUnder(context, Hkcr(second)).size(),
              2u);
    EXPECT_EQ(context.calls.back(), "Step");
    EXPECT_EQ(StepsFrom(context, abortedAt), 1u);
}

TEST_F(ComScan, ClassKeyThatDoesNotOpenIsToldAndEndsTheSection)
{
    FailClassesOpen failure("CLSID");
    ScanClsids(context);
    EXPECT_EQ(context.calls, std::vector<std::string>{"ShowFailure RegOpenKeyEx FAILED"});
}

TEST_F(ComScan, IdentifierWhoseClassResolvesNowhereIsReported)
{
    const std::string broken = Identifier("QmBroken");
    const std::string registered = Identifier("QmRegistered");
    const std::string alias = Identifier("QmAlias");
    const std::string noValue = Identifier("QmNoValue");
    const std::string classId = "{" + UniqueName("QmClass") + "}";
    const std::string missingClass = "{" + UniqueName("QmMissingClass") + "}";
    PlantedKey plants[] = {{HKEY_CLASSES_ROOT, broken},
                           {HKEY_CLASSES_ROOT, registered},
                           {HKEY_CLASSES_ROOT, alias},
                           {HKEY_CLASSES_ROOT, noValue},
                           {HKEY_CLASSES_ROOT, "CLSID\\" + classId}};
    WriteClassesValue(broken + "\\CLSID", "", missingClass);
    WriteClassesValue(registered + "\\CLSID", "", classId);
    // A CLSID value naming another identifier still leads somewhere.
    WriteClassesValue(alias + "\\CLSID", "", registered);
    // Without a default value there is nothing to judge.
    WriteClassesValue(noValue + "\\CLSID", "Other", "");

    ScanProgIds(context);

    EXPECT_EQ(RecordsUnder(context, Hkcr(broken)),
              (Records{Fields(2, missingClass, Hkcr(broken + "\\CLSID"), "(Default)", missingClass,
                              appIdInvalidText)}));
    for (const std::string& fine : {registered, alias, noValue})
        EXPECT_EQ(RecordsUnder(context, Hkcr(fine)), Records{}) << fine;
    EXPECT_TRUE(Shown(context, Hkcr(alias + "\\CLSID")));
    EXPECT_FALSE(Shown(context, Hkcr(noValue + "\\CLSID")));
    EXPECT_EQ(context.steps, static_cast<int>(ClassesSubkeyCount("")));
}

TEST_F(ComScan, TypeLibraryFilesAndHelpFoldersThatAreGoneAreReported)
{
    const std::string broken = "TypeLib\\{" + UniqueName("QmBrokenLib") + "}";
    const std::string valid = "TypeLib\\{" + UniqueName("QmGoodLib") + "}";
    const std::string gone = "C:\\" + UniqueName("QmGone");
    const std::string windows = Expanded("%WINDIR%");
    PlantedKey plants[] = {{HKEY_CLASSES_ROOT, broken}, {HKEY_CLASSES_ROOT, valid}};

    WriteClassesValue(broken + "\\1.0\\0\\win32", "", "%SystemRoot%\\Gone.tlb");
    WriteClassesValue(broken + "\\1.0\\0\\win64", "", gone + "\\other.tlb");
    WriteClassesValue(broken + "\\1.0\\FLAGS", "", "0");
    WriteClassesValue(broken + "\\1.0\\HELPDIR", "", gone + "\\");
    WriteClassesValue(broken + "\\2.0\\0\\win16", "Other", ""); // no file at all
    WriteClassesValue(broken + "\\2.0\\HELPDIR", "", "\"" + gone + "\"");

    WriteClassesValue(valid + "\\1.0\\0\\win32", "", windows + "\\notepad.exe");
    WriteClassesValue(valid + "\\1.0\\HELPDIR", "", windows + "\\");
    WriteClassesValue(valid + "\\2.0\\HELPDIR", "", "\"" + windows + "\"");
    WriteClassesValue(valid + "\\3.0\\HELPDIR", "", "");

    ScanTypeLibs(context);

    // A quoted help folder is looked for without its quotes.
    EXPECT_EQ(RecordsUnder(context, Hkcr(broken)),
              (Records{Fields(2, windows + "\\Gone.tlb", Hkcr(broken + "\\1.0\\0\\win32"),
                              "(Default)", windows + "\\Gone.tlb", fileMissingText),
                       Fields(2, gone, Hkcr(broken + "\\1.0\\HELPDIR"), "(Default)", gone,
                              fileMissingText),
                       Fields(2, "", Hkcr(broken + "\\2.0\\0\\win16"), "(Default)", "",
                              fileMissingText),
                       Fields(2, gone, Hkcr(broken + "\\2.0\\HELPDIR"), "(Default)", gone,
                              folderInvalidText)}));
    EXPECT_EQ(RecordsUnder(context, Hkcr(valid)), Records{});
    EXPECT_TRUE(Shown(context, Hkcr(valid + "\\2.0\\HELPDIR")));
    EXPECT_EQ(context.steps, static_cast<int>(ClassesSubkeyCount("TypeLib")));
}

TEST_F(ComScan, AbortInATypeLibraryStopsItsWalkAtTheNextKey)
{
    const std::string lib = "TypeLib\\{000000-" + UniqueName("QmAbortLib") + "}";
    PlantedKey plant(HKEY_CLASSES_ROOT, lib);
    for (const char* file : {"\\1.0\\0\\win32", "\\1.0\\9\\win32", "\\2.0\\0\\win32"})
        WriteClassesValue(lib + file, "", "C:\\QmGone\\a.tlb");
    size_t abortedAt = 0;
    context.onItem = [&](const std::string& text) {
        if (!abortedAt && text.rfind(Hkcr(lib), 0) == 0) {
            abortedAt = context.calls.size();
            keepScanning = 0;
        }
    };

    ScanTypeLibs(context);

    ASSERT_NE(abortedAt, 0u);
    EXPECT_EQ(RecordsUnder(context, Hkcr(lib)).size(), 1u);
    EXPECT_EQ(context.calls.back(), "Step");
    EXPECT_EQ(StepsFrom(context, abortedAt), 1u);
}

} // namespace
