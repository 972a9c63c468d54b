// Recent-file lists, typed browser addresses, and the walk of the whole
// registry for string values naming drive paths that are gone.

#include "scan/HistoryScanners.h"

#include <cstring>
#include <vector>

#include "core/FileFacts.h"
#include "core/KeyChain.h"
#include "core/PathCheck.h"
#include "core/Registry.h"
#include "core/ResourceText.h"
#include "core/Text.h"
#include "res/resource.h"
#include "scan/ClassesWalk.h"
#include "scan/ScanContext.h"
#include "scan/Scanners.h"
#include "settings/Settings.h"

MruKeyTable mruKeys;

namespace {

const char* const typedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedUrls";
const char* const userAssistKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist";

// Fixed read buffers: data that does not fit counts as unreadable.
constexpr DWORD valueNameSize = 16383;
constexpr DWORD subkeyNameSize = 255;
constexpr DWORD stringDataSize = 260;

const char* const mruSubkeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\Recent File List",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU",
    "Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList",
    "Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft Word\\Settings\\Open\\File Name MRU",
    "Software\\Microsoft\\Office\\10.0\\Common\\Open Find\\Microsoft Word\\Settings\\Open\\File Name MRU",
    "Software\\Microsoft\\Office\\12.0\\Word\\File MRU",
    "Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft Word\\Settings\\Save As\\File Name MRU",
    "Software\\Microsoft\\Office\\10.0\\Common\\Open Find\\Microsoft Word\\Settings\\Save As\\File Name MRU",
    "Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft Excel\\Settings\\Open\\File Name MRU",
    "Software\\Microsoft\\Office\\10.0\\Common\\Open Find\\Microsoft Excel\\Settings\\Open\\File Name MRU",
    "Software\\Microsoft\\Office\\12.0\\Excel\\File MRU",
    "Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft Excel\\Settings\\Save As\\File Name MRU",
    "Software\\Microsoft\\Office\\10.0\\Common\\Open Find\\Microsoft Excel\\Settings\\Save As\\File Name MRU",
    "Software\\Microsoft\\Office\\9.0\\Excel\\Recent Files",
    "Software\\Microsoft\\Office\\10.0\\Excel\\Recent Files",
    "Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft FrontPage\\Settings\\Open\\File Name MRU",
    "Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft FrontPage\\Settings\\Save As\\File Name MRU",
    "Software\\Microsoft\\FrontPage\\Explorer\\FrontPage Explorer\\Recent File List",
    "Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft PowerPoint\\Settings\\Open\\File Name MRU",
    "Software\\Microsoft\\Office\\10.0\\Common\\Open Find\\Microsoft PowerPoint\\Settings\\Open\\File Name MRU",
    "Software\\Microsoft\\Office\\12.0\\PowerPoint\\File MRU",
    "Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft PowerPoint\\Settings\\Save As\\File Name MRU",
    "Software\\Microsoft\\Office\\10.0\\Common\\Open Find\\Microsoft PowerPoint\\Settings\\Save As\\File Name MRU",
    "Software\\Microsoft\\Office\\9.0\\PowerPoint\\Recent Files",
    "Software\\Microsoft\\Office\\10.0\\PowerPoint\\Recent Files",
    "Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft Access\\Settings\\Open\\File Name MRU",
    "Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft Access\\Settings\\File New Database\\File Name MRU",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs",
};

// The text up to the first zero byte within the `count` bytes read.
std::string TextOf(const char* data, DWORD count)
{
    return std::string(data, strnlen(data, count));
}

// Removes the last `c` and everything after it.
void CutAtLast(std::string& text, char c)
{
    size_t pos = text.rfind(c);
    if (pos != std::string::npos)
        text.erase(pos);
}

// The drive path a lowered string value points at, or empty when it holds none
// ("c:\" with a letter before the colon).
std::string DrivePathIn(const std::string& text)
{
    size_t colon = text.find(":\\");
    if (colon == std::string::npos || colon == 0 || text[colon - 1] < 'a' || text[colon - 1] > 'z')
        return "";
    std::string path = text.substr(colon - 1);
    // The variables a REG_SZ value leaves unexpanded; the folders keep their case.
    if (path.find("%systemroot%") != std::string::npos)
        ReplaceAll(path, "%systemroot%", GetWindowsFolder());
    if (path.find("%programfiles%") != std::string::npos)
        ReplaceAll(path, "%programfiles%", GetProgramFilesFolder());
    // Icon indexes, arguments, quotes and lists that follow the path.
    size_t comma = path.find(',');
    if (comma != std::string::npos)
        path.erase(comma);
    CutAtLast(path, '%');
    CutAtLast(path, '"');
    CutAtLast(path, '/');
    CutAtLast(path, ';');
    return path;
}

// The string value as written, and for REG_EXPAND_SZ with its variables
// expanded (kept unexpanded when that fails). The walk judges it lowered.
std::string WrittenText(DWORD type, const char* data, DWORD count)
{
    std::string text = TextOf(data, count);
    if (type == REG_EXPAND_SZ) {
        char expanded[stringDataSize];
        DWORD length = ExpandEnvironmentStringsA(text.c_str(), expanded, sizeof(expanded));
        if (length != 0 && length <= sizeof(expanded))
            text = expanded;
    }
    return text;
}

bool ContainsClasses(const char* name)
{
    std::string lowered = LowerAscii(name);
    return lowered.find("classes") != std::string::npos;
}

// One walk shares its read buffers across every level of the tree: the value
// name buffer alone would cost 16 KB of stack per level of a deep branch.
class ValueWalker {
public:
    ValueWalker(ScanContext& context, HKEY top, unsigned section)
        : context(context), section(section), chain(top), valueName(valueNameSize)
    {
        for (const MruKey& entry : mruKeys) {
            if (!entry.root)
                break;
            mruPaths.push_back(RootKeyName(entry.root) + "\\" + entry.subkey);
        }
        // The program's own settings (and the managers' backups kept among
        // them) are never anybody's leftovers, under either of their names.
        ownSettingsPath = std::string("HKEY_CURRENT_USER\\") + settingsKeyPath;
        std::string user = RegistryObjectName(HKEY_CURRENT_USER);
        if (!user.empty())
            ownSettingsName = user + "\\" + LowerAscii(settingsKeyPath);
    }

    void Walk(HKEY key, const std::string& keyPath)
    {
        DWORD subkeyCount = 0, valueCount = 0;
        if (regApi.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeyCount, nullptr, nullptr,
                                    &valueCount, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        Walk(key, keyPath, subkeyCount, valueCount);
    }

private:
    void Walk(HKEY key, const std::string& keyPath, DWORD subkeyCount, DWORD valueCount)
    {
        if (keyPath.find("HKEY_CURRENT_USER") != std::string::npos && section != 15) {
            // A recent-file key belongs to its own section, whole.
            for (const std::string& mruPath : mruPaths)
                if (!context.KeepScanning() || _stricmp(keyPath.c_str(), mruPath.c_str()) == 0)
                    return;
        }
        if (!context.KeepScanning() || IsOwnSettings(keyPath))
            return;
        WalkSubkeys(key, keyPath, subkeyCount);
        WalkValues(key, keyPath, valueCount);
    }

    bool IsOwnSettings(const std::string& keyPath) const
    {
        return _stricmp(keyPath.c_str(), ownSettingsPath.c_str()) == 0 ||
               (!ownSettingsName.empty() && chain.Name() == ownSettingsName);
    }

    void WalkSubkeys(HKEY key, const std::string& keyPath, DWORD count)
    {
        for (DWORD index = 0; index < count && context.KeepScanning(); ++index) {
            char name[subkeyNameSize];
            DWORD length = subkeyNameSize;
            if (regApi.RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr,
                                     nullptr) != ERROR_SUCCESS)
                continue;
            // Class branches are the bulk of the registry and are judged by
            // their own sections; they are not even opened.
            if (ContainsClasses(name))
                continue;
            // The chain keeps the walk finite: it stops at the registry's
            // depth limit and never follows a link back into this branch.
            RegKey subkey;
            KeyChain::Entered facts;
            if (chain.Enter(key, name, KEY_ALL_ACCESS, subkey, &facts) != ERROR_SUCCESS)
                continue;
            if (facts.counted)
                Walk(subkey.Handle(), keyPath + "\\" + name, facts.subkeys, facts.values);
            chain.Leave();
        }
    }

    void WalkValues(HKEY key, const std::string& keyPath, DWORD count)
    {
        for (DWORD index = 0; index < count && context.KeepScanning(); ++index) {
            DWORD nameLength = valueNameSize;
            DWORD type = 0;
            DWORD dataLength = stringDataSize;
            if (regApi.RegEnumValueA(key, index, valueName.data(), &nameLength, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data), &dataLength) == ERROR_SUCCESS &&
                (type == REG_SZ || type == REG_EXPAND_SZ)) {
                std::string name(valueName.data(), nameLength);
                std::string written = WrittenText(type, data, dataLength);
                std::string lowered = LowerAscii(written);
                std::string path = DrivePathIn(lowered);
                if (!path.empty() && IsMissing(path, written))
                    ReportMissing(keyPath, name, path);
                context.ShowItem(keyPath + "\\" + name);
                context.Pump();
            }
            context.Step();
        }
    }

    bool IsMissing(const std::string& path, const std::string& written)
    {
        fileFacts.SetWrittenText(written);
        return !IsValidPath(path) && !IsDirectory(path);
    }

    void ReportMissing(const std::string& keyPath, const std::string& name, const std::string& path)
    {
        context.Report(MakeProblemRecord(section, path, keyPath, name, path,
                                         ResourceString(IDS_FILE_MISSING)));
    }

    ScanContext& context;
    unsigned section;
    KeyChain chain;
    std::string ownSettingsPath;
    std::string ownSettingsName; // the registry's own name, when it can be told
    // The judge and the folder test ask about the same few paths, and values
    // across the walk about the same folders; a memo spares the repeated
    // trips to the file system.
    FileFactsMemo fileFacts;
    std::vector<std::string> mruPaths;
    std::vector<char> valueName;
    char data[stringDataSize];
};

// Walks a whole root after testing that its SOFTWARE key opens.
void ScanRootWithTest(ScanContext& context, HKEY root)
{
    RegKey test;
    if (test.Open(root, "SOFTWARE", KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        context.ShowFailure(openFailedText, BoxTitle::Application);
        return;
    }
    WalkRegistryValues(context, root, RootKeyName(root), SectionCompleteRegistry);
}

// Hands the name of each value the key held when asked to `action`, while
// the scan goes on; a name that does not read is passed over.
template <typename Action>
void ForEachValueName(ScanContext& context, HKEY key, Action action)
{
    DWORD valueCount = 0;
    if (regApi.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                &valueCount, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS)
        return;
    std::vector<char> nameBuffer(valueNameSize);
    for (DWORD index = 0; index < valueCount && context.KeepScanning(); ++index) {
        DWORD length = valueNameSize;
        if (regApi.RegEnumValueA(key, index, nameBuffer.data(), &length, nullptr, nullptr,
                                 nullptr, nullptr) == ERROR_SUCCESS)
            action(std::string(nameBuffer.data(), length));
    }
}

} // namespace

void FillMruKeys()
{
    mruKeys = MruKeyTable();
    int slot = 0;
    for (const char* subkey : mruSubkeys) {
        mruKeys[slot].root = HKEY_CURRENT_USER;
        mruKeys[slot].subkey = subkey;
        ++slot;
    }
}

void WalkRegistryValues(ScanContext& context, HKEY openKey, const std::string& keyPath,
                        unsigned section)
{
    ValueWalker(context, openKey, section).Walk(openKey, keyPath);
}

std::string DecodeRot13(const std::string& text)
{
    std::string decoded = text;
    for (char& c : decoded) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>('a' + (c - 'a' + 13) % 26);
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>('A' + (c - 'A' + 13) % 26);
    }
    return decoded;
}

void ScanMruLocations(ScanContext& context)
{
    for (const MruKey& entry : mruKeys) {
        if (!entry.root)
            break;
        RegKey key;
        if (key.Open(entry.root, entry.subkey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
            continue;
        WalkRegistryValues(context, key.Handle(), RootKeyName(entry.root) + "\\" + entry.subkey,
                           SectionMru);
    }
}

void ScanLocalMachine(ScanContext& context)
{
    ScanRootWithTest(context, HKEY_LOCAL_MACHINE);
}

void ScanCurrentUser(ScanContext& context)
{
    ScanRootWithTest(context, HKEY_CURRENT_USER);
}

void ScanAllUsers(ScanContext& context)
{
    WalkRegistryValues(context, HKEY_USERS, "HKEY_USERS", SectionCompleteRegistry);
}

void ScanUserAssist(ScanContext& context)
{
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, userAssistKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    DWORD subkeyCount = 0;
    if (regApi.RegQueryInfoKeyA(key.Handle(), nullptr, nullptr, nullptr, &subkeyCount, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0; index < subkeyCount && context.KeepScanning(); ++index) {
        char name[subkeyNameSize];
        DWORD length = subkeyNameSize;
        if (regApi.RegEnumKeyExA(key.Handle(), index, name, &length, nullptr, nullptr, nullptr,
                                 nullptr) != ERROR_SUCCESS)
            continue;
        std::string guid(name, length);
        while (!guid.empty() && guid.back() == '\\')
            guid.pop_back();
        ScanUserAssistCount(context, std::string(userAssistKey) + "\\" + guid + "\\Count");
    }
}

void ScanUserAssistCount(ScanContext& context, const std::string& subkeyPath)
{
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, subkeyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    ForEachValueName(context, key.Handle(), [&](const std::string& name) {
        // Counted entries read "TAG:path" once decoded; only drive paths are judged.
        std::string decoded = DecodeRot13(name);
        size_t colon = decoded.find(':');
        if (decoded.find("csidl23") != std::string::npos || colon == std::string::npos)
            return;
        std::string path = decoded.substr(colon);
        path.erase(0, path.find_first_not_of(':'));
        if (path.find(':') == std::string::npos || IsValidPath(path))
            return;
        context.Report(MakeProblemRecord(SectionCompleteRegistry, name,
                                         "HKEY_CURRENT_USER\\" + subkeyPath, name, path,
                                         ResourceString(IDS_FILE_MISSING)));
    });
}

void ScanTypedUrls(ScanContext& context)
{
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, typedUrlsKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    ForEachValueName(context, key.Handle(), [&](const std::string& name) {
        // An address too long for the buffer is still a typed address: it is
        // reported with no data rather than read past the buffer.
        char data[stringDataSize];
        DWORD count = sizeof(data);
        std::string address;
        if (regApi.RegQueryValueExA(key.Handle(), name.c_str(), nullptr, nullptr,
                                    reinterpret_cast<BYTE*>(data), &count) == ERROR_SUCCESS)
            address = TextOf(data, count);
        context.Report(MakeProblemRecord(SectionIETypedUrls, name,
                                         std::string("HKEY_CURRENT_USER\\") + typedUrlsKey, "",
                                         address, "IE_TYPED_URLS"));
        context.ShowItem(name);
        context.Pump();
        context.Step();
    });
}
