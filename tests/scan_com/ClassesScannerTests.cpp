#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <list>

#include "core/PathCheck.h"
#include "scan/Scanners.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

const std::string cr = "HKEY_CLASSES_ROOT\\";
const std::string fileMissing = "The file (%s) does not exist at the specified location";
const std::string appIdInvalid = "The Application ID (%s) is not valid.  (%s does not exist)";

// A record's text, `key` below HKEY_CLASSES_ROOT.
std::string Fields(unsigned section, const std::string& item, const std::string& key,
                   const std::string& name, const std::string& data, const std::string& text)
{
    return RecordText(section, item, cr + key, name, data, text);
}

// A REG_SZ value in a subkey ("" for the key itself); an empty name is the default value.
struct Value {
    std::string subkey, name, data;
};

class ClassesScan : public ScanTest {
protected:
    // A key below HKEY_CLASSES_ROOT with its values; it goes away, with all
    // below it, at the end. Answers its path.
    std::string Plant(const std::string& path, const std::vector<Value>& values = {})
    {
        planted.emplace_back(HKEY_CLASSES_ROOT, path);
        for (const Value& v : values)
            EXPECT_EQ(SHSetValueA(HKEY_CLASSES_ROOT, (path + v.subkey).c_str(), v.name.c_str(),
                                  REG_SZ, v.data.c_str(), static_cast<DWORD>(v.data.size() + 1)),
                      ERROR_SUCCESS)
                << path + v.subkey;
        return path;
    }

    std::list<PlantedKey> planted;
    const std::string windows = GetWindowsFolder();
};

TEST_F(ClassesScan, ClassesIdentifiersTypeLibrariesAndExtensionsThatLeadNowhereAreReportedCheckByCheck)
{
    const std::string classId = "{" + UniqueName("QmGoodClass") + "}";
    const std::string goodLib = "{" + UniqueName("QmGoodLib") + "}", gone = UniqueName("qmgone");
    const std::string goneFolder = "C:\\" + gone;
    // A quoted help folder is looked for without its quotes.
    const std::string validLib = Plant("TypeLib\\" + goodLib, {
        {"\\1.0\\0\\win32", "", windows + "\\notepad.exe"}, {"\\1.0\\HELPDIR", "", windows + "\\"},
        {"\\2.0\\HELPDIR", "", "\"" + windows + "\""}, {"\\3.0\\HELPDIR", "", ""}});
    // Unique names end in digits, which the identifier check takes for a version.
    const std::string goodId = Plant(UniqueName("QmGood") + ".Server", {{"\\CLSID", "", classId}});
    // Variables in any case are replaced, and the tested text is lowered.
    const std::string broken = Plant("CLSID\\{" + UniqueName("QmBrokenClass") + "}", {
        {"\\InprocServer32", "", "%SystemRoot%\\" + gone + ".dll"},
        {"\\InprocServer32\\1.0.0.0", "CodeBase", goneFolder + "\\A.dll"},
        {"\\InprocHandler32", "", "ole32.dll"},
        {"\\LocalServer32", "", "%PROGRAMFILES%\\" + gone + "\\Server.exe"},
        {"\\VersionIndependentProgId", "", gone + ".Server"},
        {"\\TypeLib", "", "{" + gone + "}"}});
    const std::string valid = Plant("CLSID\\" + classId, {
        {"\\InprocServer32", "", "%SYSTEMROOT%\\notepad.exe"},
        {"\\InprocServer32\\2.0", "CodeBase", windows + "\\win.ini"},
        {"\\LocalServer32", "", windows + "\\notepad.exe /Embedding"},
        {"\\VersionIndependentProgId", "", goodId + ".1"}, // exists once its version is off
        {"\\TypeLib", "", goodLib}});
    // Identifiers whose class is registered, or that name another identifier,
    // lead somewhere.
    const std::string missingClass = "{" + UniqueName("QmMissingClass") + "}";
    const std::string brokenId = Plant(UniqueName("QmBroken") + ".Server", {{"\\CLSID", "", missingClass}});
    const std::string alias = Plant(UniqueName("QmAlias") + ".Server", {{"\\CLSID", "", goodId}});
    // Files for win64 are not judged; win16 here has no file at all.
    const std::string brokenLib = Plant("TypeLib\\{" + UniqueName("QmBrokenLib") + "}", {
        {"\\1.0\\0\\win32", "", "%SystemRoot%\\Gone.tlb"}, {"\\1.0\\FLAGS", "", "0"},
        {"\\1.0\\0\\win64", "", goneFolder + "\\b.tlb"}, {"\\1.0\\HELPDIR", "", goneFolder + "\\"},
        {"\\2.0\\0\\win16", "Other", ""}, {"\\2.0\\HELPDIR", "", "\"" + goneFolder + "\""}});

    auto extension = [&](const std::vector<Value>& values) {
        return Plant("." + UniqueName("qmext"), values);
    };
    const std::string goneProgId = extension({{"", "", "QmNoSuch.Document"}});
    const std::string goneHandler = extension({{"\\PersistentHandler", "", "{QmNoSuchHandler}"}});
    const std::string bare = extension({{"", "", ""}});
    // Each of these does something, or says what it is.
    const std::string fine[] = {
        extension({{"", "", "QmNoSuch.Document"}, {"", "Content Type", "text/x-quillmoor"}}),
        extension({{"", "PerceivedType", "text"}, {"\\PersistentHandler", "", "{QmNoSuchHandler}"}}),
        extension({{"", "", "QmNoSuch.Document"}, {"\\ShellEx", "Other", ""}}),
        extension({{"", "", goodId + ".1"}}),
        extension({{"\\PersistentHandler", "", classId}}),
        extension({{"\\Shell\\open\\command", "", "notepad.exe"}}),
        extension({{"\\DefaultIcon", "", "notepad.exe,0"}}),
        extension({{"\\QmDocument.1\\ShellNew", "NullFile", ""}})};

    ScanClsids(context);
    RecordingContext identifiers, libraries;
    ScanProgIds(identifiers);
    ScanTypeLibs(libraries);
    ScanFileAssociations(context);

    const std::string dll = windows + "\\" + gone + ".dll", tlb = windows + "\\Gone.tlb";
    const std::string exe = GetProgramFilesFolder() + "\\" + gone + "\\server.exe";
    const std::string codeBase = goneFolder + "\\A.dll", id = gone + ".server";
    EXPECT_EQ(context.RecordsWith(cr + broken),
              (Records{Fields(1, dll, broken + "\\InprocServer32", "(Default)", dll, fileMissing),
                       Fields(1, exe, broken + "\\LocalServer32", "(Default)", exe, fileMissing),
                       Fields(1, id, broken + "\\VersionIndependentProgId", "(Default)", id, appIdInvalid),
                       Fields(1, "{" + gone + "}", broken + "\\TypeLib", "", "", ""),
                       Fields(1, codeBase, broken + "\\InProcServer32\\1.0.0.0", "CodeBase", codeBase,
                              fileMissing)}));
    EXPECT_EQ(identifiers.RecordsWith(cr + brokenId),
              (Records{Fields(2, missingClass, brokenId + "\\CLSID", "(Default)", missingClass,
                              appIdInvalid)}));
    EXPECT_EQ(libraries.RecordsWith(cr + brokenLib),
              (Records{Fields(2, tlb, brokenLib + "\\1.0\\0\\win32", "(Default)", tlb, fileMissing),
                       Fields(2, goneFolder, brokenLib + "\\1.0\\HELPDIR", "(Default)", goneFolder, fileMissing),
                       Fields(2, "", brokenLib + "\\2.0\\0\\win16", "(Default)", "", fileMissing),
                       Fields(2, goneFolder, brokenLib + "\\2.0\\HELPDIR", "(Default)", goneFolder,
                              "The Directory path is not valid. (%s does not exist)")}));
    EXPECT_EQ(context.RecordsWith(cr + valid), Records{});
    EXPECT_EQ(libraries.RecordsWith(cr + validLib), Records{});
    for (const std::string& fine : {goodId, alias})
        EXPECT_EQ(identifiers.RecordsWith(cr + fine), Records{}) << fine;
    EXPECT_EQ(context.RecordsWith(cr + goneProgId),
              (Records{Fields(11, goneProgId, goneProgId, "(Default)", "QmNoSuch.Document",
                              appIdInvalid)}));
    EXPECT_EQ(context.RecordsWith(cr + goneHandler),
              (Records{Fields(11, goneHandler, goneHandler, "PersistentHandler", "{QmNoSuchHandler}",
                              appIdInvalid)}));
    EXPECT_EQ(context.RecordsWith(cr + bare), (Records{Fields(11, bare, bare, "ShellEx", "", appIdInvalid)}));
    for (const std::string& key : fine)
        EXPECT_EQ(context.RecordsWith(cr + key), Records{}) << key;
}

TEST_F(ClassesScan, AbortFinishesTheCurrentEntryAndBeginsNoOther)
{
    // Two broken entries of each kind, sorted before every real one.
    for (int i = 0; i < 2; ++i) {
        Plant("CLSID\\{000000-" + UniqueName("QmAbort") + "}",
              {{"\\InprocServer32", "", "C:\\QmGone\\a.dll"}, {"\\TypeLib", "", "{QmGoneLib}"}});
        Plant("." + UniqueName("!qmabort"), {{"", "", "QmNoSuch.Document"}});
    }
    const std::string lib = Plant("TypeLib\\{000000-" + UniqueName("QmAbortLib") + "}",
                                  {{"\\1.0\\0\\win32", "", "C:\\QmGone\\a.tlb"},
                                   {"\\1.0\\9\\win32", "", "C:\\QmGone\\a.tlb"},
                                   {"\\2.0\\0\\win32", "", "C:\\QmGone\\a.tlb"}});
    // A class is finished with both its problems; a type library's walk stops at its next key.
    const struct {
        void (*scan)(ScanContext&);
        std::string marker;
        long records;
    } cases[] = {{ScanClsids, cr + "CLSID\\{000000-QmAbort", 2},
                 {ScanTypeLibs, cr + lib, 1},
                 {ScanFileAssociations, cr + ".!qmabort", 1}};
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

} // namespace
