#include "repair/BackupRestore.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string.h>

#include "core/FileTools.h"
#include "core/Handles.h"
#include "core/PathCheck.h"
#include "core/Registry.h"
#include "repair/RegExport.h"
#include "repair/RegValueFile.h"
#include "settings/ScanLog.h"

namespace {

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string RegistryEditor()
{
    std::string windows = GetWindowsFolder();
    while (!windows.empty() && windows.back() == '\\')
        windows.pop_back();
    return windows + "\\regedit.exe";
}

std::string Formatted(const char* format, const std::string& a, int number, const std::string& b)
{
    char text[1200];
    std::snprintf(text, sizeof(text), format, a.c_str(), number, b.c_str());
    return text;
}

// The numbers of a set name ("7,4,2009_15,3,9" and any suffix), for ordering.
std::vector<int> NameNumbers(const std::string& name)
{
    std::vector<int> numbers;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(",_", start);
        if (end == std::string::npos)
            end = name.size();
        numbers.push_back(std::atoi(name.substr(start, end - start).c_str()));
        start = end + 1;
    }
    return numbers;
}

// Year, month, day, hour, minute, second, then whatever follows.
std::vector<int> DateOrder(const std::string& name)
{
    std::vector<int> numbers = NameNumbers(name);
    if (numbers.size() >= 3)
        std::rotate(numbers.begin(), numbers.begin() + 2, numbers.begin() + 3);
    return numbers;
}

// ---- Config.ini ------------------------------------------------------------

bool SameText(const std::string& a, const char* b)
{
    return _stricmp(a.c_str(), b) == 0;
}

// Reads lines[at] as field `tag` and notes on `item` when it is not a whole
// "[TAG:value]" line.
std::string Field(const std::vector<std::string>& lines, size_t at, const char* tag, RestoreItem& item)
{
    const std::string& line = lines[at];
    std::string opening = std::string("[") + tag + ":";
    if (item.fault.empty() && (line.compare(0, opening.size(), opening) != 0 || line.empty() || line.back() != ']'))
        item.fault = "line " + std::to_string(at + 1) + " of Config.ini is not a whole [" + tag + ":...] line";
    return BackupSet::ReadRecordField(line, tag);
}

// ---- restoring -------------------------------------------------------------

// One restore: its scratch folder and its account in restore.txt, which is
// written as things happen, so that a state is on disk before it is overwritten.
struct RestoreRun {
    std::string temp;
    std::string setName;
    bool logBegun = false;
    bool logFailed = false;

    // Appends one entry (the restore's heading first); false when it is not on disk.
    bool Log(const std::string& entry)
    {
        std::string text;
        if (!logBegun) {
            SYSTEMTIME now;
            GetLocalTime(&now);
            char when[64];
            std::snprintf(when, sizeof(when), "%d-%d-%d (%d-%d-%d)", now.wDay, now.wMonth, now.wYear, now.wHour,
                          now.wMinute, now.wSecond);
            text = "\r\nRestore of backup " + setName + " (" + BackupSet::BackupDateText(setName) + ") on " +
                   when + "\r\n";
        }
        text += entry + "\r\n";
        FILE* file = std::fopen(RestoreLogPath().c_str(), "ab");
        bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (file && std::fclose(file) != 0)
            written = false;
        logBegun = logBegun || written;
        logFailed = logFailed || !written;
        return written;
    }
};

const char unkeptState[] = " was left as it stands: its present state could not be written to restore.txt";

// The value as it stands: 0 and its type and bytes, or the error of the open or query.
LONG ReadRawValue(HKEY root, const std::string& subkey, const std::string& name, DWORD& type,
                  std::string& bytes)
{
    HKEY opened = nullptr;
    LONG rc = regApi.RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &opened);
    if (rc != ERROR_SUCCESS)
        return rc;
    RegKey key(opened);
    DWORD size = 0;
    rc = regApi.RegQueryValueExA(key.Handle(), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    bytes.assign(size, '\0');
    rc = regApi.RegQueryValueExA(key.Handle(), name.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(&bytes[0]), &size);
    bytes.resize(rc == ERROR_SUCCESS ? size : 0);
    return rc;
}

// Keeps the value's present state in the log unless it already holds `type`
// and `bytes` (with `remove`, unless it is absent); false when it could not.
bool KeepValueState(RestoreRun& run, const std::string& keyPath, HKEY root, const std::string& subkey,
                    const std::string& name, bool remove, DWORD type, const std::string& bytes)
{
    DWORD nowType = 0;
    std::string nowBytes;
    if (ReadRawValue(root, subkey, name, nowType, nowBytes) != ERROR_SUCCESS)
        return true;
    if (!remove && nowType == type && nowBytes == bytes)
        return true;
    return run.Log("Registry value " + keyPath + " \"" + name + "\" " +
                        (remove ? "removed" : "overwritten") + "; it stood as:\r\n[" + keyPath +
                   "]\r\n" + RegValueLine(name, nowType, reinterpret_cast<const BYTE*>(nowBytes.data()), nowBytes.size()));
}

std::string WideToAnsi(const std::string& bytes)
{
    size_t start = bytes.compare(0, 2, "\xff\xfe") == 0 ? 2 : 0;
    std::wstring wide((bytes.size() - start) / 2, L'\0');
    if (!wide.empty())
        memcpy(&wide[0], bytes.data() + start, wide.size() * 2);
    int length = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string text(length > 0 ? length : 0, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &text[0], length,
                            nullptr, nullptr);
    return text;
}

// A key that exists now is exported to the log before the import merges
// into it; false when that could not be written.
bool KeepKeyState(RestoreRun& run, const std::string& keyPath)
{
    HKEY root = nullptr;
    std::string subkey;
    if (!SplitKeyPath(keyPath, root, subkey) || !KeyExists(root, subkey))
        return true;
    std::string exportFile = run.temp + "\\KeyBeforeRestore.reg";
    DeleteFileA(exportFile.c_str());
    RunProgram(RegistryEditor(), "/e \"" + exportFile + "\" \"" + keyPath + "\"", true);
    std::string exported;
    ReadWholeFile(exportFile, exported);
    DeleteFileA(exportFile.c_str());
    if (exported.compare(0, 2, "\xff\xfe") == 0)
        exported = WideToAnsi(exported);
    return !exported.empty() &&
           run.Log("Registry key " + keyPath + " existed and the restore was merged into it; it stood as:\r\n" +
                   exported);
}

std::string RestoreFileItem(RestoreRun& run, const RestoreItem& item)
{
    std::string stored = item.storedName;
    if (stored.empty()) {
        size_t slash = item.destPath.rfind('\\');
        stored = slash == std::string::npos ? "\\" + item.destPath : item.destPath.substr(slash);
    }
    std::string source = run.temp + stored;
    if (CopyFileA(source.c_str(), item.destPath.c_str(), FALSE))
        return "";
    return Formatted("Could not restore file %s, Error Code= %d, Make sure the directories in %s exist",
                     item.destPath, static_cast<int>(GetLastError()), item.destPath);
}

std::string RestoreKeyItem(RestoreRun& run, const RestoreItem& item)
{
    std::string exportFile = run.temp + item.storedName;
    if (!FileExists(exportFile))
        return "The specified file (" + run.temp + item.storedName + ") does not exist in the backup";
    if (!KeepKeyState(run, item.keyPath))
        return "The registry key " + item.keyPath + unkeptState;
    RunProgram(RegistryEditor(), "/S \"" + exportFile + "\"", true);
    HKEY root = nullptr;
    std::string subkey;
    if (!SplitKeyPath(item.keyPath, root, subkey) || !KeyExists(root, subkey))
        return "The registry key " + item.keyPath + " did not come back from " + exportFile;
    return "";
}

std::string ValueFailure(const std::string& data, LONG rc, const std::string& subkey)
{
    return Formatted("Could not restore registry value %s, Error Code = %d, Make sure that the following key exists %s",
                     data, static_cast<int>(rc), subkey);
}

// The value exactly as its copy in the set holds it: its type and bytes, or
// removed again when it did not exist.
std::string RestoreExactValue(RestoreRun& run, const RestoreItem& item)
{
    RegValueText exact;
    std::string error;
    std::string exactFile = run.temp + item.exactName;
    if (!ReadRegValueFile(exactFile, exact, error))
        return "The exact copy (" + exactFile + ") of registry value " + item.keyPath + " \"" + item.valueName +
               "\" " + error;
    if (_stricmp(exact.keyPath.c_str(), item.keyPath.c_str()) != 0 || exact.name != item.valueName)
        return "The exact copy (" + exactFile + ") holds " + exact.keyPath + " \"" + exact.name +
               "\", not the value " + item.keyPath + " \"" + item.valueName + "\" of its record";
    HKEY root = nullptr;
    std::string subkey;
    if (!SplitKeyPath(exact.keyPath, root, subkey))
        return ValueFailure(item.valueData, ERROR_INVALID_PARAMETER, subkey);
    HKEY opened = nullptr;
    LONG rc = regApi.RegOpenKeyExA(root, subkey.c_str(), 0, KEY_WRITE | KEY_READ, &opened);
    if (rc != ERROR_SUCCESS)
        return exact.remove && rc == ERROR_FILE_NOT_FOUND ? "" : ValueFailure(item.valueData, rc, subkey);
    RegKey key(opened);
    if (!KeepValueState(run, exact.keyPath, root, subkey, exact.name, exact.remove, exact.type, exact.bytes))
        return "The registry value " + item.keyPath + " \"" + item.valueName + "\"" + unkeptState;
    if (exact.remove) {
        rc = regApi.RegDeleteValueA(key.Handle(), exact.name.c_str());
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? "" : ValueFailure(item.valueData, rc, subkey);
    }
    rc = regApi.RegSetValueExA(key.Handle(), exact.name.c_str(), 0, exact.type,
                               reinterpret_cast<const BYTE*>(exact.bytes.data()),
                               static_cast<DWORD>(exact.bytes.size()));
    return rc == ERROR_SUCCESS ? "" : ValueFailure(item.valueData, rc, subkey);
}

// The value as text, the way the record alone can give it back.
std::string RestoreTextValue(RestoreRun& run, const RestoreItem& item)
{
    HKEY root = nullptr;
    std::string subkey;
    if (!SplitKeyPath(item.keyPath, root, subkey))
        return ValueFailure(item.valueData, ERROR_INVALID_PARAMETER, subkey);
    std::string written = item.valueData;
    while (!written.empty() && std::strchr(" \t\r\n\v\f", written.back()))
        written.pop_back();
    if (!KeepValueState(run, item.keyPath, root, subkey, item.valueName, false, REG_SZ, written + '\0'))
        return "The registry value " + item.keyPath + " \"" + item.valueName + "\"" + unkeptState;
    if (WriteRegValue(root, subkey, item.valueName, item.valueData, REG_SZ))
        return "";
    HKEY opened = nullptr;
    LONG rc = regApi.RegOpenKeyExA(root, subkey.c_str(), 0, KEY_WRITE, &opened);
    RegKey key(opened);
    return ValueFailure(item.valueData, rc != ERROR_SUCCESS ? rc : ERROR_WRITE_FAULT, subkey);
}

std::string RestoreItemNow(RestoreRun& run, const RestoreItem& item)
{
    if (!item.fault.empty())
        return "Not restored: " + item.fault;
    switch (item.kind) {
    case RestoreKey:
        return RestoreKeyItem(run, item);
    case RestoreValue:
        return item.exactName.empty() ? RestoreTextValue(run, item) : RestoreExactValue(run, item);
    default:
        return RestoreFileItem(run, item);
    }
}

void PrepareTempFolder(const std::string& temp)
{
    CreateDirectoryA(temp.substr(0, temp.rfind('\\')).c_str(), nullptr);
    CreateDirectoryA(temp.c_str(), nullptr);
}

} // namespace

const char* RestoreItem::TypeText() const
{
    return kind == RestoreKey ? "RegKey" : kind == RestoreValue ? "RegValue" : "ShortCut";
}

const std::string& RestoreItem::PathText() const
{
    return kind == RestoreKey ? keyPath : kind == RestoreValue ? valueData : destPath;
}

std::vector<BackupSetEntry> ListBackupSets()
{
    std::vector<BackupSetEntry> sets;
    std::string folder = BackupSet::BackupFolder();
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    WIN32_FIND_DATAA found = {};
    FindHandle search(FindFirstFileA((folder + "\\*.cab").c_str(), &found));
    if (!search)
        return sets;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        std::string setName = name.substr(0, name.rfind('.'));
        sets.push_back({folder + "\\" + name, setName, BackupSet::BackupDateText(setName)});
    } while (FindNextFileA(search.Get(), &found));
    std::sort(sets.begin(), sets.end(), [](const BackupSetEntry& a, const BackupSetEntry& b) {
        if (a.dateText.empty() != b.dateText.empty())
            return b.dateText.empty();
        if (a.dateText.empty())
            return a.name < b.name;
        return DateOrder(a.name) > DateOrder(b.name);
    });
    return sets;
}

BackupContents ReadBackupIndex(const std::string& configPath)
{
    BackupContents contents;
    std::string bytes;
    if (!ReadWholeFile(configPath, bytes))
        return contents;
    contents.indexFound = true;
    std::vector<std::string> lines = TextLines(bytes);
    const size_t count = lines.size();
    for (size_t at = 0; at < count; ++at) {
        std::string type = BackupSet::ReadRecordField(lines[at], "TYPE");
        RestoreItem item;
        item.line = static_cast<int>(at + 1);
        size_t following = SameText(type, recordType::regKey)          ? 2
                           : SameText(type, recordType::regValue)      ? 3
                           : SameText(type, recordType::file)          ? 1
                           : SameText(type, recordType::regValueExact) ? 1
                           : SameText(type, recordType::fileCopy)      ? 1
                                                                      : 0;
        if (following == 0)
            continue;
        if (at + following >= count) {
            contents.faults.push_back("Config.ini ends inside the " + type + " record that begins on line " +
                                      std::to_string(at + 1));
            break;
        }
        Field(lines, at, "TYPE", item);
        if (SameText(type, recordType::regKey)) {
            item.kind = RestoreKey;
            item.keyPath = Field(lines, at + 1, "NAME", item);
            item.storedName = Field(lines, at + 2, "PATH", item);
        } else if (SameText(type, recordType::regValue)) {
            item.kind = RestoreValue;
            item.keyPath = Field(lines, at + 1, "MAIN_KEY", item);
            item.valueName = Field(lines, at + 2, "VALUE_NAME", item);
            item.valueData = Field(lines, at + 3, "VALUE", item);
        } else if (SameText(type, recordType::file)) {
            item.kind = RestoreFile;
            item.destPath = Field(lines, at + 1, "DEST_PATH", item);
        } else {
            // An exact copy or a stored name refines the record just before it.
            bool exact = SameText(type, recordType::regValueExact);
            std::string path = Field(lines, at + 1, "PATH", item);
            RestoreItem* owner = contents.items.empty() ? nullptr : &contents.items.back();
            bool belongs = owner && owner->kind == (exact ? RestoreValue : RestoreFile) &&
                           (exact ? owner->exactName : owner->storedName).empty();
            if (!belongs)
                contents.faults.push_back("The " + type + " record on line " + std::to_string(at + 1) +
                                          " follows no record it belongs to");
            else if (!item.fault.empty())
                owner->fault = item.fault;
            else
                (exact ? owner->exactName : owner->storedName) = path;
            at += following;
            continue;
        }
        contents.items.push_back(item);
        at += following;
    }
    for (const RestoreItem& item : contents.items)
        if (!item.fault.empty())
            contents.faults.push_back(item.fault);
    return contents;
}

std::string RestoreTempFolder()
{
    return GetProgramFolder() + "\\Quillmoor8\\Temp";
}

BackupContents ListBackupItems(BackupSet& set, const std::string& cabinetPath)
{
    std::string temp = RestoreTempFolder();
    PrepareTempFolder(temp);
    set.SetCabinetPath(cabinetPath);
    set.UnpackTo(temp);
    BackupContents contents = ReadBackupIndex(temp + "\\Config.ini");
    EmptyFolder(temp, true, "*.*");
    return contents;
}

RestoreOutcome RestoreBackupItems(BackupSet& set, const std::string& setName,
                                  const std::vector<const RestoreItem*>& items)
{
    RestoreOutcome outcome;
    outcome.chosen = static_cast<int>(items.size());
    RestoreRun run;
    run.temp = RestoreTempFolder();
    run.setName = setName;
    PrepareTempFolder(run.temp);
    set.UnpackInto(run.temp);
    for (const RestoreItem* item : items) {
        std::string failure = RestoreItemNow(run, *item);
        if (failure.empty())
            continue;
        outcome.failures.push_back(failure);
        run.Log(failure);
    }
    EmptyFolder(run.temp, true, "*.*");
    RemoveDirectoryA(run.temp.c_str());
    if (run.logBegun && !run.logFailed)
        outcome.logPath = RestoreLogPath();
    return outcome;
}

std::string RestoreSummary(const RestoreOutcome& outcome)
{
    if (outcome.failures.empty())
        return "Entries Restored Successfully";
    std::string text = std::to_string(outcome.failures.size()) + " of the " + std::to_string(outcome.chosen) +
                       " chosen entries could not be restored.";
    if (!outcome.logPath.empty())
        text += " " + outcome.logPath + " names them.";
    return text;
}

std::string RestoreLogPath()
{
    std::string folder = LogFolder();
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder + "\\restore.txt";
}
