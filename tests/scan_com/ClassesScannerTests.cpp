#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <list>

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "scan/Scanners.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

using Records = std::vector<std::string>;

constexpr char fileMissing[] = "The file (%s) does not exist at the specified location";
constexpr char appIdInvalid[] = "The Application ID (%s) is not valid.  (%s does not exist)";

std::string Hkcr(const std::string& path)
{
    return "HKEY_CLASSES_ROOT\\" + path;
}

// Writes a REG_SZ value (empty name: the default value), creating the key.
void Write(const std::string& path, const std::string& name, const std::string& data)
{
    EXPECT_EQ(SHSetValueA(HKEY_CLASSES_ROOT, path.c_str(), name.c_str(), REG_SZ, data.c_str(),
                          static_cast<DWORD>(data.size() + 1)),
              ERROR_SUCCESS)
        << path;
}

// One record as "section|item|key|value name|value data|description".
std::string Fields(unsigned section, const std::string& item, const std::string& key,
                   const std::string& name, const std::string& data, const std::string& text)
{
    return std::to_string(section) + "|" + item + "|" + key + "|" + name + "|" + data + "|" + text;
}

// The records at or below `key`, in the order reported; a record that is not
// selected for repair or carries a size is marked.
Records RecordsUnder(const RecordingContext& context, const std::string& key)
{
    Records found;
    for (const ProblemPtr& r : context.records)
        if (r->keyPath == key || r->keyPath.rfind(key + "\\", 0) == 0)
            found.push_back(
                Fields(r->section, r->item, r->keyPath, r->valueName, r->valueData, r->description) +
                (r->checked != 1 || r->sizeBytes != 0.0 ? " (not selected, or sized)" : ""));
    return found;
}

std::string deniedSubkey;

LONG WINAPI DenyOneOpen(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key)
{
    if (root == HKEY_CLASSES_ROOT && _stricmp(path ? path : "", deniedSubkey.c_str()) == 0)
        return ERROR_ACCESS_DENIED;
    return ::RegOpenKeyExA(root, path, options, access, key);
}

class ClassesScan : public testing::Test {
protected:
    void SetUp() override { keepScanning = 1; }
    void TearDown() override { keepScanning = 0; }

    // A key below HKEY_CLASSES_ROOT that goes away, with all below it, at the end.
    std::string Plant(const std::string& path)
    {
        planted.emplace_back(HKEY_CLASSES_ROOT, path);
        return path;
    }

    RecordingContext context;
    std::list<PlantedKey> planted;
};

TEST_F(ClassesScan, ClassesAndIdentifiersThatLeadNowhereAreReportedCheckByCheck)
{
    const std::string classId = "{" + UniqueName("QmGoodClass") + "}";
    const std::string broken = Plant("CLSID\\{" + UniqueName("QmBrokenClass") + "}");
    const std::string pathId = Plant("CLSID\\{" + UniqueName("QmPathIdClass") + "}");
    const std::string valid = Plant("CLSID\\" + classId);
    // Unique names end in digits, which the identifier check takes for a version.
    const std::string goodId = Plant(UniqueName("QmGood") + ".Server");
    const std::string goodLib = "{" + UniqueName("QmGoodLib") + "}";
    Plant("TypeLib\\" + goodLib);
    const std::string gone = UniqueName("qmgone"), windows = GetWindowsFolder();

    // Variables in any case are replaced, and the tested text is lowered.
    Write(broken + "\\InprocServer32", "", "%SystemRoot%\\" + gone + ".dll");
    Write(broken + "\\InprocServer32\\1.0.0.0", "CodeBase", "C:\\" + gone + "\\A.dll");
    Write(broken + "\\InprocHandler32", "", "ole32.dll");
    Write(broken + "\\LocalServer32", "", "%PROGRAMFILES%\\" + gone + "\\Server.exe");
    Write(broken + "\\VersionIndependentProgId", "", gone + ".Server");
    Write(broken + "\\TypeLib", "", "{" + gone + "}");
    // An identifier that is a path is judged as a file.
    Write(pathId + "\\VersionIndependentProgId", "", "C:\\" + gone + "\\Prog.exe");

    Write(valid + "\\InprocServer32", "", "%SYSTEMROOT%\\notepad.exe");
    Write(valid + "\\InprocServer32\\2.0", "CodeBase", windows + "\\win.ini");
    Write(valid + "\\LocalServer32", "", windows + "\\notepad.exe /Embedding");
    // An identifier that exists once its version is taken off.
    Write(valid + "\\VersionIndependentProgId", "", goodId + ".1");
    Write(valid + "\\TypeLib", "", goodLib);

    // Identifiers whose class is registered, or names another identifier,
    // lead somewhere; without a default value there is nothing to judge.
    const std::string brokenId = Plant(UniqueName("QmBroken") + ".Server");
    const std::string missingClass = "{" + UniqueName("QmMissingClass") + "}";
    Write(brokenId + "\\CLSID", "", missingClass);
    Write(goodId + "\\CLSID", "", classId);
    const std::string alias = Plant(UniqueName("QmAlias") + ".Server");
    Write(alias + "\\CLSID", "", goodId);
    const std::string noValue = Plant(UniqueName("QmNoValue") + ".Server");
    Write(noValue + "\\CLSID", "Other", "");

    ScanClsids(context);
    RecordingContext identifiers;
    ScanProgIds(identifiers);

    const std::string dll = windows + "\\" + gone + ".dll";
    const std::string exe = GetProgramFilesFolder() + "\\" + gone + "\\server.exe";
    const std::string codeBase = "C:\\" + gone + "\\A.dll", id = gone + ".server";
    const std::string prog = "c:\\" + gone + "\\prog.exe";
    EXPECT_EQ(RecordsUnder(context, Hkcr(broken)),
              (Records{Fields(1, dll, Hkcr(broken + "\\InprocServer32"), "(Default)", dll, fileMissing),
                       Fields(1, exe, Hkcr(broken + "\\LocalServer32"), "(Default)", exe, fileMissing),
                       Fields(1, id, Hkcr(broken + "\\VersionIndependentProgId"), "(Default)", id,
                              appIdInvalid),
                       Fields(1, "{" + gone + "}", Hkcr(broken + "\\TypeLib"), "", "", ""),
                       Fields(1, codeBase, Hkcr(broken + "\\InProcServer32\\1.0.0.0"), "CodeBase",
                              codeBase, fileMissing)}));
    EXPECT_EQ(RecordsUnder(context, Hkcr(pathId)),
              (Records{Fields(1, prog, Hkcr(pathId + "\\VersionIndependentProgId"), "(Default)",
                              prog, fileMissing)}));
    EXPECT_EQ(RecordsUnder(context, Hkcr(valid)), Records{});

    EXPECT_EQ(RecordsUnder(identifiers, Hkcr(brokenId)),
              (Records{Fields(2, missingClass, Hkcr(brokenId + "\\CLSID"), "(Default)", missingClass,
                              appIdInvalid)}));
    for (const std::string& fine : {goodId, alias, noValue})
        EXPECT_EQ(RecordsUnder(identifiers, Hkcr(fine)), Records{}) << fine;
}

TEST_F(ClassesScan, TypeLibraryFilesAndHelpFoldersThatAreGoneAreReported)
{
    const std::string broken = Plant("TypeLib\\{" + UniqueName("QmBrokenLib") + "}");
    const std::string valid = Plant("TypeLib\\{" + UniqueName("QmGoodLib") + "}");
    const std::string gone = "C:\\" + UniqueName("QmGone"), windows = GetWindowsFolder();
    Write(broken + "\\1.0\\0\\win32", "", "%SystemRoot%\\Gone.tlb");
    Write(broken + "\\1.0\\0\\win64", "", gone + "\\other.tlb");
    Write(broken + "\\1.0\\FLAGS", "", "0");
    Write(broken + "\\1.0\\HELPDIR", "", gone + "\\");
    Write(broken + "\\2.0\\0\\win16", "Other", ""); // no file at all
    // A quoted help folder is looked for without its quotes.
    Write(broken + "\\2.0\\HELPDIR", "", "\"" + gone + "\"");
    Write(valid + "\\1.0\\0\\win32", "", windows + "\\notepad.exe");
    Write(valid + "\\1.0\\HELPDIR", "", windows + "\\");
    Write(valid + "\\2.0\\HELPDIR", "", "\"" + windows + "\"");
    Write(valid + "\\3.0\\HELPDIR", "", "");

    ScanTypeLibs(context);

    const std::string tlb = windows + "\\Gone.tlb", key = Hkcr(broken);
    EXPECT_EQ(RecordsUnder(context, key),
              (Records{Fields(2, tlb, key + "\\1.0\\0\\win32", "(Default)", tlb, fileMissing),
                       Fields(2, gone, key + "\\1.0\\HELPDIR", "(Default)", gone, fileMissing),
                       Fields(2, "", key + "\\2.0\\0\\win16", "(Default)", "", fileMissing),
                       Fields(2, gone, key + "\\2.0\\HELPDIR", "(Default)", gone,
                              "The Directory path is not valid. (%s does not exist)")}));
    EXPECT_EQ(RecordsUnder(context, Hkcr(valid)), Records{});
}

TEST_F(ClassesScan, ExtensionsThatLeadNowhereAreReportedAndTheOthersAreNot)
{
    const std::string progId = Plant(UniqueName("QmDocument") + ".Document");
    const std::string classId = "{" + UniqueName("QmHandlerClass") + "}";
    Plant("CLSID\\" + classId);
    // An extension key with one value.
    auto extension = [&](const std::string& subkey, const std::string& name, const std::string& data) {
        const std::string key = Plant("." + UniqueName("qmext"));
        Write(key + subkey, name, data);
        return key;
    };
    const std::string goneProgId = extension("", "", "QmNoSuch.Document");
    const std::string goneHandler = extension("\\PersistentHandler", "", "{QmNoSuchHandler}");
    const std::string bare = extension("", "", "");

    // Each of these does something, or says what it is.
    const std::string contentType = extension("", "", "QmNoSuch.Document");
    Write(contentType, "Content Type", "text/x-quillmoor");
    const std::string perceived = extension("", "PerceivedType", "text");
    Write(perceived + "\\PersistentHandler", "", "{QmNoSuchHandler}");
    const std::string shellEx = extension("", "", "QmNoSuch.Document");
    Write(shellEx + "\\ShellEx", "Other", "");
    const std::string fine[] = {contentType,
                                perceived,
                                shellEx,
                                extension("", "", progId + ".1"),
                                extension("\\PersistentHandler", "", classId),
                                extension("\\Shell\\open\\command", "", "notepad.exe"),
                                extension("\\DefaultIcon", "", "notepad.exe,0"),
                                extension("\\QmDocument.1\\ShellNew", "NullFile", "")};

    ScanFileAssociations(context);

    EXPECT_EQ(RecordsUnder(context, Hkcr(goneProgId)),
              (Records{Fields(11, goneProgId, Hkcr(goneProgId), "(Default)", "QmNoSuch.Document",
                              appIdInvalid)}));
    EXPECT_EQ(RecordsUnder(context, Hkcr(goneHandler)),
              (Records{Fields(11, goneHandler, Hkcr(goneHandler), "PersistentHandler",
                              "{QmNoSuchHandler}", appIdInvalid)}));
    EXPECT_EQ(RecordsUnder(context, Hkcr(bare)),
              (Records{Fields(11, bare, Hkcr(bare), "ShellEx", "", appIdInvalid)}));
    for (const std::string& key : fine)
        EXPECT_EQ(RecordsUnder(context, Hkcr(key)), Records{}) << key;
    // Only extension keys are looked at.
    EXPECT_EQ(context.CallsStartingWith("ShowItem ").size(),
              context.CallsStartingWith("ShowItem HKEY_CLASSES_ROOT\\.").size());
}

TEST_F(ClassesScan, AbortFinishesTheCurrentEntryAndBeginsNoOther)
{
    // Two broken entries of each kind, sorted before every real one.
    for (int i = 0; i < 2; ++i) {
        const std::string classKey = Plant("CLSID\\{000000-" + UniqueName("QmAbort") + "}");
        Write(classKey + "\\InprocServer32", "", "C:\\QmGone\\a.dll");
        Write(classKey + "\\TypeLib", "", "{QmGoneLib}");
        Write(Plant("." + UniqueName("!qmabort")), "", "QmNoSuch.Document");
    }
    const std::string lib = Plant("TypeLib\\{000000-" + UniqueName("QmAbortLib") + "}");
    for (const char* file : {"\\1.0\\0\\win32", "\\1.0\\9\\win32", "\\2.0\\0\\win32"})
        Write(lib + file, "", "C:\\QmGone\\a.tlb");
    // A class is finished with both its problems; a type library's walk stops at its next key.
    const struct {
        void (*scan)(ScanContext&);
        std::string marker;
        long records;
    } cases[] = {{ScanClsids, Hkcr("CLSID\\{000000-QmAbort"), 2},
                 {ScanTypeLibs, Hkcr(lib), 1},
                 {ScanFileAssociations, Hkcr(".!qmabort"), 1}};

    for (const auto& c : cases) {
        RecordingContext aborted;
        aborted.onItem = [&](const std::string& text) {
            if (text.rfind(c.marker, 0) == 0)
                keepScanning = 0;
        };
        keepScanning = 1;
        c.scan(aborted);
        const auto below = [&](const ProblemPtr& r) { return r->keyPath.rfind(c.marker, 0) == 0; };
        EXPECT_EQ(std::count_if(aborted.records.begin(), aborted.records.end(), below), c.records)
            << c.marker;
    }
}

TEST_F(ClassesScan, KeyThatDoesNotOpenIsToldAndEndsTheSection)
{
    const RegistryBackEnd saved = regApi;
    for (const char* key : {"CLSID", ""}) {
        RecordingContext failing;
        deniedSubkey = key;
        regApi.RegOpenKeyExA = DenyOneOpen;
        (*key ? ScanClsids : ScanFileAssociations)(failing);
        regApi = saved;
        EXPECT_EQ(failing.calls, Records{"ShowFailure RegOpenKeyEx FAILED"}) << key;
    }
}

} // namespace
