// The write side of a backup set: the records of Config.ini, the exports and
// copies beside it, and the packing into the set's cabinet.

#include "repair/BackupSet.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "core/AppMessage.h"
#include "core/FileTools.h"
#include "core/Handles.h"
#include "core/PathCheck.h"
#include "core/Registry.h"
#include "repair/CabinetExtractor.h"
#include "repair/RegExport.h"

namespace {

// The registry editor leaves its export a moment after it ends: ten looks, 500 ms apart.
constexpr int exportLooks = 10;
constexpr DWORD exportLookPause = 500;
// Past this many, names are not worth trying any more.
constexpr int mostNameTries = 1000;
// An Add before Begin has no folder to write into (and must not write beside the program).
const char* const noSetText = "Nothing was backed up: no backup set has begun";

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string FileCopyErrorText(const std::string& source, const std::string& copy, DWORD error)
{
    std::vector<char> text(source.size() + copy.size() + 64);
    snprintf(text.data(), text.size(), "Error backing up file src=%s dest=%s, err=%d", source.c_str(), copy.c_str(),
             static_cast<int>(error));
    return text.data();
}

// A record field is one line of Config.ini: a line break inside it would
// start a record of its own.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

// The value's state as the registry holds it now.
struct ValueState {
    bool exists = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// 1 with the state read (a missing key or value is a state too), else 0.
int ReadValueState(const std::string& keyPath, const std::string& valueName, ValueState& state, LONG& error)
{
    HKEY root = nullptr;
    std::string subkey;
    error = ERROR_INVALID_PARAMETER;
    if (!SplitKeyPath(keyPath, root, subkey))
        return 0;
    RegKey key;
    error = key.Open(root, subkey, KEY_READ);
    if (error == ERROR_FILE_NOT_FOUND)
        return 1;
    if (error != ERROR_SUCCESS)
        return 0;
    state.data.resize(256);
    for (int tries = 0; tries < 8; ++tries) {
        DWORD size = static_cast<DWORD>(state.data.size());
        error = regApi.RegQueryValueExA(key.Handle(), valueName.c_str(), nullptr, &state.type, state.data.data(),
                                        &size);
        if (error == ERROR_FILE_NOT_FOUND)
            return 1;
        if (error == ERROR_SUCCESS) {
            state.data.resize(size);
            state.exists = true;
            return 1;
        }
        if (error != ERROR_MORE_DATA)
            return 0;
        state.data.resize(std::max<size_t>(size, state.data.size() * 2) + 2);
    }
    return 0;
}

// The value's data as the text of its record.
std::string DataText(const ValueState& state)
{
    if (!state.exists)
        return "";
    if (state.type == REG_SZ || state.type == REG_EXPAND_SZ || state.type == REG_MULTI_SZ)
        return std::string(state.data.begin(), std::find(state.data.begin(), state.data.end(), 0));
    if (state.type == REG_DWORD && state.data.size() == sizeof(DWORD)) {
        DWORD value = 0;
        memcpy(&value, state.data.data(), sizeof(value));
        return std::to_string(value);
    }
    return "";
}

std::string SetName(const SYSTEMTIME& when)
{
    char name[64];
    snprintf(name, sizeof(name), "%d,%d,%d_%d,%d,%d", when.wMonth, when.wDay, when.wYear, when.wHour, when.wMinute,
             when.wSecond);
    return name;
}

} // namespace

int BackupSet::Fail(const std::string& why)
{
    problem = why;
    return 0;
}

int BackupSet::RecoverUnfinishedSet(const std::string& folder, std::string& message)
{
    message.clear();
    WIN32_FIND_DATAA found = {};
    FindHandle config(FindFirstFileA((folder + "\\Config.ini").c_str(), &found));
    if (!config)
        return 1;
    // The set is named after the time it was begun, as near as the folder tells it.
    FILETIME local;
    SYSTEMTIME when;
    if (!FileTimeToLocalFileTime(&found.ftCreationTime, &local) || !FileTimeToSystemTime(&local, &when))
        GetLocalTime(&when);
    BackupSet unfinished;
    unfinished.BeginAt(folder, when);
    if (unfinished.Finish())
        return 1;
    message = unfinished.ResultText();
    return 0;
}

int BackupSet::Begin(const std::string& folder)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return BeginAt(folder, now);
}

int BackupSet::BeginAt(const std::string& folder, const SYSTEMTIME& when)
{
    workFolder = folder;
    const std::string backupFolder = BackupFolder();
    CreateDirectoryA(backupFolder.c_str(), nullptr);
    // A set is never replaced: a name already taken gets a suffix.
    const std::string name = SetName(when);
    cabinetPath = backupFolder + "\\" + name + ".cab";
    for (int suffix = 2; PathExists(cabinetPath) && suffix < mostNameTries; ++suffix)
        cabinetPath = backupFolder + "\\" + name + "_" + std::to_string(suffix) + ".cab";
    if (compressor.CreateCabinet(cabinetPath, CabinetCompressor::maxCabinetSize))
        return 1;
    ShowAppMessage(nullptr, compressor.ErrorText());
    return 0;
}

std::string BackupSet::FreeName(const std::string& stem, const std::string& extension) const
{
    std::string name = stem + extension;
    for (int suffix = 2; PathExists(workFolder + "\\" + name) && suffix < mostNameTries; ++suffix)
        name = stem + "_" + std::to_string(suffix) + extension;
    return name;
}

// The file's bare name when no file of the set has it; otherwise the item's
// number goes in front. Names of the set's own files and names beginning with
// "." (which packing passes over) are never used as they are.
std::string BackupSet::FreeCopyName(const std::string& bareName, int number) const
{
    auto usable = [this](const std::string& name) {
        return name[0] != '.' && lstrcmpiA(name.c_str(), "Config.ini") != 0 &&
               lstrcmpiA(name.c_str(), "ZipLog.txt") != 0 && !PathExists(workFolder + "\\" + name);
    };
    if (!bareName.empty() && usable(bareName))
        return bareName;
    const std::string prefix = std::to_string(number) + "_";
    std::string name = prefix + bareName;
    for (int suffix = 2; !usable(name) && suffix < mostNameTries; ++suffix)
        name = prefix + std::to_string(suffix) + "_" + bareName;
    return name;
}

int BackupSet::AddRegKey(const std::string& keyPath, int number)
{
    problem.clear();
    if (workFolder.empty())
        return Fail(noSetText);
    const std::string name = FreeName("rkBackUp" + std::to_string(number), ".reg");
    const std::string exportFile = workFolder + "\\" + name;
    std::string why;
    if (keyExport == KeyExport::Regedit) {
        if (!ExportWithRegedit(keyPath, exportFile))
            return Fail("The key " + keyPath + " was not backed up: the registry editor wrote no export");
    } else if (!ExportRegKey(keyPath, exportFile, why)) {
        return Fail("The key " + keyPath + " was not backed up: " + why);
    }
    if (!AppendRecord("[TYPE:REG_KEY]\r\n[NAME:" + OneLine(keyPath) + "]\r\n[PATH:\\" + name + "]\r\n")) {
        DeleteFileA(exportFile.c_str());
        return Fail("The key " + keyPath + " was not backed up: its record could not be written");
    }
    return 1;
}

int BackupSet::ExportWithRegedit(const std::string& keyPath, const std::string& filePath)
{
    std::string windows = GetWindowsFolder();
    while (!windows.empty() && windows.back() == '\\')
        windows.pop_back();
    RunProgram(windows + "\\regedit.exe", "/e \"" + filePath + "\" \"" + keyPath + "\"", true);
    for (int look = 0; look < exportLooks; ++look) {
        WIN32_FIND_DATAA found = {};
        FindHandle file(FindFirstFileA(filePath.c_str(), &found));
        if (file)
            return found.nFileSizeLow > 0 || found.nFileSizeHigh > 0 ? 1 : 0;
        Sleep(exportLookPause);
    }
    return 0;
}

int BackupSet::AddRegValue(const std::string& keyPath, const std::string& valueName, const std::string& valueData,
                           int number)
{
    return AddValue(keyPath, valueName, &valueData, number);
}

int BackupSet::AddValueState(const std::string& keyPath, const std::string& valueName, int number)
{
    return AddValue(keyPath, valueName, nullptr, number);
}

int BackupSet::AddValue(const std::string& keyPath, const std::string& valueName, const std::string* recordData,
                        int number)
{
    problem.clear();
    if (workFolder.empty())
        return Fail(noSetText);
    const std::string what = "The value \"" + valueName + "\" of " + keyPath + " was not backed up: ";
    ValueState state;
    LONG error = 0;
    if (!ReadValueState(keyPath, valueName, state, error))
        return Fail(what + "it could not be read (error " + std::to_string(error) + ")");
    // A value to be deleted must be there to be copied; a tweak's value may be absent.
    if (recordData && !state.exists)
        return Fail(what + "it does not exist");
    const std::string line = state.exists ? RegValueLine(valueName, state.type, state.data.data(), state.data.size())
                                          : RegAbsentValueLine(valueName);
    const std::string name = FreeName("rvBackUp" + std::to_string(number), ".reg");
    const std::string exactFile = workFolder + "\\" + name;
    if (!WriteNewFile(exactFile, std::string(regeditHeader) + "\r\n[" + keyPath + "]\r\n" + line + "\r\n\r\n"))
        return Fail(what + "its copy could not be written (error " + std::to_string(GetLastError()) + ")");
    const std::string record = "[TYPE:REG_VALUE]\r\n[MAIN_KEY:" + OneLine(keyPath) + "]\r\n[VALUE_NAME:" +
                               OneLine(valueName) + "]\r\n[VALUE:" + OneLine(recordData ? *recordData : DataText(state)) +
                               "]\r\n[TYPE:REG_VALUE_EXACT]\r\n[PATH:\\" + name + "]\r\n";
    if (!AppendRecord(record)) {
        DeleteFileA(exactFile.c_str());
        return Fail(what + "its record could not be written");
    }
    return 1;
}

int BackupSet::AddFileCopy(const std::string& filePath, int number)
{
    problem.clear();
    if (workFolder.empty())
        return Fail(noSetText);
    const std::string bareName = filePath.substr(filePath.find_last_of('\\') + 1);
    const std::string name = FreeCopyName(bareName, number);
    const std::string copy = workFolder + "\\" + name;
    // Never over another copy: the name was free, and must still be.
    if (!CopyFileA(filePath.c_str(), copy.c_str(), TRUE)) {
        const std::string text = FileCopyErrorText(filePath, copy, GetLastError());
        ShowAppMessage(nullptr, text);
        return Fail(text);
    }
    if (!AppendRecord("[TYPE:FILE]\r\n[DEST_PATH:" + OneLine(filePath) + "]\r\n[TYPE:FILE_COPY]\r\n[PATH:\\" + name +
                      "]\r\n")) {
        SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(copy.c_str());
        return Fail("The file " + filePath + " was not backed up: its record could not be written");
    }
    return 1;
}

int BackupSet::AppendRecord(const std::string& recordText)
{
    if (workFolder.empty())
        return 0;
    const std::string path = workFolder + "\\Config.ini";
    // Text mode on purpose: every line break of a record is stored as CR CR LF.
    FILE* file = fopen(path.c_str(), PathExists(path) ? "at" : "wt");
    if (!file) {
        char text[64];
        snprintf(text, sizeof(text), "Error creating config.ini, err=%d", static_cast<int>(GetLastError()));
        messageBoxFunction(nullptr, text, "", MB_OK);
        return 0;
    }
    const long before = fseek(file, 0, SEEK_END) == 0 ? ftell(file) : -1;
    bool written = fwrite(recordText.data(), 1, recordText.size(), file) == recordText.size();
    written = fflush(file) == 0 && written;
    written = fclose(file) == 0 && written;
    if (!written && before >= 0) {
        // Readers take a record's lines by position: half a record would
        // shift every record after it, so the file goes back to what it was.
        HandleOwner config(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (config && SetFilePointer(config.Get(), before, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER)
            SetEndOfFile(config.Get());
    }
    return written ? 1 : 0;
}

int BackupSet::Finish()
{
    resultText.clear();
    std::string folder;
    for (char c : workFolder)
        if (c != '"')
            folder += c;
    for (size_t at = folder.find("*.*"); at != std::string::npos; at = folder.find("*.*"))
        folder.erase(at, 3);
    workFolder = folder;
    if (workFolder.empty())
        return 0;
    // The log of an earlier packing of this folder is written anew, never packed as a file.
    DeleteFileA((workFolder + "\\ZipLog.txt").c_str());
    const bool holdsRecords = PathExists(workFolder + "\\Config.ini");
    compressor.AddFolder(workFolder);
    const bool packed = compressor.Flush() != 0;
    // The folder is the only copy of the backup until the cabinet is known to hold all of it.
    if (!packed || !CabinetHoldsWorkFolder()) {
        // A cabinet short of the backup is no set to restore from.
        DeleteFileA(cabinetPath.c_str());
        // A set without a single record has nothing to lose (and Wine's packer
        // refuses a cabinet whose only file, the log, is empty).
        if (!holdsRecords) {
            EmptyFolder(workFolder, true);
            return 1;
        }
        if (!packed)
            ShowAppMessage(nullptr, compressor.ErrorText());
        resultText = "The backup could not be packed into " + cabinetPath + ". Everything backed up is kept in " +
                     workFolder + " and is packed into a set of its own when the next repair begins.";
        return 0;
    }
    EmptyFolder(workFolder, true);
    return 1;
}

// Reopens the cabinet and compares its listing with the plain files of the
// work folder: the same names at the same sizes.
bool BackupSet::CabinetHoldsWorkFolder()
{
    CabinetExtractor extractor;
    std::vector<CabinetEntry> entries;
    if (!extractor.OpenCabinet(cabinetPath) || !extractor.ListFiles(entries))
        return false;
    std::map<std::string, long> sizes;
    for (const CabinetEntry& entry : entries)
        sizes[entry.name] = entry.size;
    size_t files = 0;
    WIN32_FIND_DATAA found = {};
    FindHandle search(FindFirstFileA((workFolder + "\\*").c_str(), &found));
    if (!search)
        return false;
    do {
        if (found.cFileName[0] == '.' || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        ++files;
        auto stored = sizes.find(found.cFileName);
        if (stored == sizes.end() || found.nFileSizeHigh != 0 || static_cast<DWORD>(stored->second) != found.nFileSizeLow)
            return false;
    } while (FindNextFileA(search.Get(), &found));
    return files == entries.size();
}
