// The class, programmatic identifier and type library scanners: component
// registrations below HKEY_CLASSES_ROOT whose server, handler, code base,
// help folder, type library or class no longer exists.

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "core/KeyChain.h"
#include "core/PathCheck.h"
#include "core/ProblemRecord.h"
#include "core/Registry.h"
#include "core/ResourceText.h"
#include "core/ScanSection.h"
#include "core/Text.h"
#include "resource.h"
#include "scan/ClassesWalk.h"
#include "scan/ScanContext.h"
#include "scan/Scanners.h"

namespace {

// The server kinds of a class, in the order they are checked.
const char* const serverKinds[] = {"InprocServer32", "InprocServer", "InprocHandler32",
                                   "LocalServer32"};

// The default value of a key below HKEY_CLASSES_ROOT, read as text into a
// 255-byte buffer; false when the key does not open or the value does not
// read (longer data included), in which case the check is skipped.
bool ReadClassDefault(const std::string& subkey, std::string& text)
{
    RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, subkey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return false;
    char buffer[256];
    DWORD type = REG_SZ;
    DWORD count = 255;
    if (regApi.RegQueryValueExA(key.Handle(), "", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                &count) != ERROR_SUCCESS)
        return false;
    buffer[std::min<DWORD>(count, 255)] = '\0';
    text = buffer;
    return true;
}

// Server paths are often written with %SystemRoot% or %ProgramFiles% in any
// mix of cases: lower the whole text so that both are found, then put the
// real folders in their place.
std::string PrepareServerPath(std::string text)
{
    text = LowerAscii(text);
    ReplaceAll(text, "%systemroot%", GetWindowsFolder());
    ReplaceAll(text, "%programfiles%", GetProgramFilesFolder());
    return text;
}

// Hands the record over when the check found a problem, and shows the key
// the check looked at in either case.
void ReportAndShow(ScanContext& context, ProblemPtr record, const std::string& subkey)
{
    if (record)
        context.Report(std::move(record));
    context.ShowItem(ClassesKeyPath(subkey));
    context.Pump();
}

// Judges the default value of the class's `kind` subkey, when it has one:
// `judge` answers the record of a problem, or none.
template <typename Judge>
void CheckClassEntry(ScanContext& context, const std::string& classKey, const char* kind, Judge judge)
{
    const std::string subkey = classKey + "\\" + kind;
    std::string text;
    if (ReadClassDefault(subkey, text))
        ReportAndShow(context, judge(subkey, text), subkey);
}

void CheckServers(ScanContext& context, const std::string& classKey)
{
    for (const char* kind : serverKinds)
        CheckClassEntry(context, classKey, kind, [](const std::string& subkey, const std::string& text) {
            const std::string tested = PrepareServerPath(text);
            return IsValidPath(tested) ? nullptr
                                       : MakeProblemRecord(SectionActiveX, tested, ClassesKeyPath(subkey),
                                                           ResourceString(IDS_DEFAULT_VALUE), tested,
                                                           ResourceString(IDS_FILE_MISSING));
        });
}

// A version-independent identifier is usually a ProgID, but some classes
// name a file there instead; each is judged for what it looks like.
void CheckVersionIndependentProgId(ScanContext& context, const std::string& classKey)
{
    CheckClassEntry(context, classKey, "VersionIndependentProgId",
                    [](const std::string& subkey, const std::string& text) {
        const std::string tested = PrepareServerPath(text);
        const bool isPath = tested.find(":\\") != std::string::npos;
        return (isPath ? IsValidPath(tested) : IsValidProgId(tested))
                   ? nullptr
                   : MakeProblemRecord(SectionActiveX, tested, ClassesKeyPath(subkey),
                                       ResourceString(IDS_DEFAULT_VALUE), tested,
                                       ResourceString(isPath ? IDS_FILE_MISSING : IDS_APPID_INVALID));
    });
}

void CheckTypeLibReference(ScanContext& context, const std::string& classKey)
{
    CheckClassEntry(context, classKey, "TypeLib", [](const std::string& subkey, const std::string& id) {
        return id.empty() || TypeLibKeyExists(id)
                   ? nullptr
                   : MakeProblemRecord(SectionActiveX, id, ClassesKeyPath(subkey), "", "", "");
    });
}

// Managed classes keep one subkey per registered version below their
// server key, each with the file it was loaded from.
void CheckCodeBases(ScanContext& context, const std::string& classKey)
{
    const std::string serverKey = classKey + "\\InProcServer32";
    RegKey server;
    if (server.Open(HKEY_CLASSES_ROOT, serverKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    const DWORD count = CountSubkeys(server.Handle());
    for (DWORD index = 0; index < count && context.KeepScanning(); ++index) {
        std::string version;
        if (!EnumSubkeyName<256>(server.Handle(), index, version))
            continue;
        const std::string versionKey = serverKey + "\\" + version;
        const std::string codeBase = ReadRegString(HKEY_CLASSES_ROOT, versionKey, "CodeBase");
        if (!codeBase.empty() && !IsValidPath(codeBase))
            context.Report(MakeProblemRecord(SectionActiveX, codeBase, ClassesKeyPath(versionKey),
                                             "CodeBase", codeBase,
                                             ResourceString(IDS_FILE_MISSING)));
    }
}

// Walks one type library key depth first down to its win32, win16 and
// HELPDIR keys; keys without subkeys (such as FLAGS) are passed over. `path`
// is `name` below `parent`, the deepest key of `chain`, which ends the walk
// at the registry's depth limit and at links back into it.
void ScanTypeLibKey(ScanContext& context, KeyChain& chain, HKEY parent, const std::string& path,
                    const std::string& name)
{
    if (!context.KeepScanning())
        return;
    const std::string last = path.substr(path.rfind('\\'));
    if (_stricmp(last.c_str(), "\\win32") == 0 || _stricmp(last.c_str(), "\\win16") == 0) {
        // An empty or unreadable file entry is as broken as a missing file.
        const std::string file = Expanded(ReadRegString(HKEY_CLASSES_ROOT, path, ""));
        ProblemPtr record;
        if (!IsValidPath(file))
            record = MakeProblemRecord(SectionProgramId, file, ClassesKeyPath(path),
                                       ResourceString(IDS_DEFAULT_VALUE), file,
                                       ResourceString(IDS_FILE_MISSING));
        ReportAndShow(context, std::move(record), path);
        return;
    }
    if (_stricmp(last.c_str(), "\\HELPDIR") == 0) {
        std::string folder = Expanded(ReadRegString(HKEY_CLASSES_ROOT, path, ""));
        if (folder.empty())
            return;
        ProblemPtr record;
        if (folder.back() == '\\') {
            folder.pop_back();
            if (IsValidPath(folder))
                return;
            if (!IsDirectory(folder))
                record = MakeProblemRecord(SectionProgramId, folder, ClassesKeyPath(path),
                                           ResourceString(IDS_DEFAULT_VALUE), folder,
                                           ResourceString(IDS_FILE_MISSING));
        } else {
            folder.erase(std::remove(folder.begin(), folder.end(), '"'), folder.end());
            if (!PathFileExistsA(folder.c_str()))
                record = MakeProblemRecord(SectionProgramId, folder, ClassesKeyPath(path),
                                           ResourceString(IDS_DEFAULT_VALUE), folder,
                                           ResourceString(IDS_DIRECTORY_INVALID));
        }
        ReportAndShow(context, std::move(record), path);
        return;
    }
    RegKey key;
    if (chain.Enter(parent, name, KEY_ALL_ACCESS, key) != ERROR_SUCCESS)
        return;
    const DWORD count = CountSubkeys(key.Handle());
    for (DWORD index = 0; index < count && context.KeepScanning(); ++index) {
        std::string child;
        if (EnumSubkeyName<256>(key.Handle(), index, child))
            ScanTypeLibKey(context, chain, key.Handle(), path + "\\" + child, child);
    }
    chain.Leave();
}

} // namespace

void ScanClsids(ScanContext& context)
{
    ForEachClassesSubkey<256>(context, "CLSID", [&](const std::string& classId) {
        const std::string classKey = "CLSID\\" + classId;
        CheckServers(context, classKey);
        CheckVersionIndependentProgId(context, classKey);
        CheckTypeLibReference(context, classKey);
        CheckCodeBases(context, classKey);
    });
}

void ScanProgIds(ScanContext& context)
{
    RegKey root;
    if (root.Open(HKEY_CLASSES_ROOT, "", KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    const DWORD count = CountSubkeys(root.Handle());
    for (DWORD index = 0; index < count && context.KeepScanning(); ++index) {
        std::string name;
        std::string classId;
        if (EnumSubkeyName<256>(root.Handle(), index, name) &&
            ReadClassDefault(name + "\\CLSID", classId)) {
            // The class may be registered, or the value may name another
            // identifier or a file: only a reference that resolves to
            // nothing at all is a problem.
            ProblemPtr record;
            if (!ClsidKeyExists(classId) && !IsValidProgId(classId))
                record = MakeProblemRecord(SectionProgramId, classId,
                                           ClassesKeyPath(name + "\\CLSID"),
                                           ResourceString(IDS_DEFAULT_VALUE), classId,
                                           ResourceString(IDS_APPID_INVALID));
            ReportAndShow(context, std::move(record), name + "\\CLSID");
        }
        context.Step();
    }
}

void ScanTypeLibs(ScanContext& context)
{
    RegKey typeLibs;
    if (typeLibs.Open(HKEY_CLASSES_ROOT, "TypeLib", KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    KeyChain chain(typeLibs.Handle());
    const DWORD count = CountSubkeys(typeLibs.Handle());
    for (DWORD index = 0; index < count && context.KeepScanning(); ++index) {
        std::string typeLibId;
        if (EnumSubkeyName<256>(typeLibs.Handle(), index, typeLibId))
            ScanTypeLibKey(context, chain, typeLibs.Handle(), "TypeLib\\" + typeLibId, typeLibId);
        context.Step();
    }
}
