#include "repair/FullBackup.h"

#include <cstdarg>
#include <cstdio>

#include "core/AppMessage.h"
#include "core/FileTools.h"
#include "core/Handles.h"
#include "core/PathCheck.h"
#include "core/Registry.h"
#include "repair/BackupSet.h"
#include "repair/CabinetCompressor.h"
#include "repair/CabinetExtractor.h"

namespace {

// A file inside the scratch folder saying that the program made the folder:
// only such a folder is ever emptied. Its leading dot keeps it out of the
// cabinet and out of every emptying.
const char scratchMark[] = ".quillmoor-scratch";

struct MachineHive {
    const char* subkey;
    const char* fileName;
};
const MachineHive machineHives[] = {{"Security", "hklm_security.dat"},
                                    {"Software", "hklm_software.dat"},
                                    {"SAM", "hklm_sam.dat"},
                                    {"System", "hklm_system.dat"}};

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

long FileSize(const std::string& path)
{
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA(path.c_str(), &found));
    return search ? static_cast<long>(found.nFileSizeLow) : -1;
}

// The plain files of a folder (names with a leading dot left out).
std::vector<std::string> PlainFiles(const std::string& folder, const char* pattern = "*.*")
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    FindHandle search(FindFirstFileA((folder + "\\" + pattern).c_str(), &found));
    if (!search)
        return names;
    do {
        if (found.cFileName[0] != '.' && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search.Get(), &found));
    return names;
}

std::string Formatted(const char* format, ...)
{
    char buffer[1024];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(buffer, sizeof(buffer), format, arguments);
    va_end(arguments);
    return buffer;
}

bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    size_t length = lstrlenA(prefix);
    return text.size() >= length &&
           CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, text.c_str(),
                          static_cast<int>(length), prefix, static_cast<int>(length)) == CSTR_EQUAL;
}

// The key a hive file goes back into, from its name: "hklm_software.dat"
// is HKEY_LOCAL_MACHINE\software, "hkusers_.DEFAULT.dat" HKEY_USERS\.DEFAULT.
bool HiveTarget(const std::string& fileName, HKEY& root, std::string& subkey)
{
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || lstrcmpiA(fileName.c_str() + dot, ".dat") != 0)
        return false;
    std::string stem = fileName.substr(0, dot);
    if (StartsWithNoCase(stem, "hklm_")) {
        root = HKEY_LOCAL_MACHINE;
        subkey = stem.substr(5);
    } else if (StartsWithNoCase(stem, "hkusers_")) {
        root = HKEY_USERS;
        subkey = stem.substr(8);
    } else if (StartsWithNoCase(stem, "hkcu_")) {
        root = HKEY_CURRENT_USER;
        subkey = stem.substr(5);
    } else {
        return false;
    }
    return !subkey.empty();
}

// Where a hive is mounted while it is checked or copied from.
const char loadName[] = "Quillmoor8Restore";

// Holds a hive file mounted under HKEY_USERS; unmounts it when destroyed.
class LoadedHive {
public:
    explicit LoadedHive(const std::string& filePath)
    {
        FullBackup::SetPrivilege(SE_RESTORE_NAME, true);
        FullBackup::SetPrivilege(SE_BACKUP_NAME, true);
        result = RegLoadKeyA(HKEY_USERS, loadName, filePath.c_str());
        if (result == ERROR_SUCCESS)
            result = key.Open(HKEY_USERS, loadName, KEY_READ);
    }
    ~LoadedHive()
    {
        key.Close();
        RegUnLoadKeyA(HKEY_USERS, loadName);
        FullBackup::SetPrivilege(SE_BACKUP_NAME, false);
        FullBackup::SetPrivilege(SE_RESTORE_NAME, false);
    }
    LoadedHive(const LoadedHive&) = delete;
    LoadedHive& operator=(const LoadedHive&) = delete;

    LONG Result() const { return result; }
    HKEY Handle() const { return key.Handle(); }

private:
    LONG result;
    RegKey key;
};

} // namespace

FullBackup::FullBackup(const std::string& programFolder) : programFolder(programFolder) {}

FullBackup::FullBackup() : FullBackup(GetProgramFolder()) {}

int FullBackup::SetPrivilege(const char* name, bool enable)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return 0;
    HandleOwner owner(token);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid))
        return 0;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    SetLastError(ERROR_SUCCESS);
    AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    return GetLastError() == ERROR_SUCCESS;
}

int FullBackup::SaveHive(HKEY root, const std::string& subkey, const std::string& filePath,
                         LONG& error)
{
    SetPrivilege(SE_BACKUP_NAME, true);
    HKEY opened = nullptr;
    error = regApi.RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, REG_OPTION_BACKUP_RESTORE,
                                   KEY_QUERY_VALUE, nullptr, &opened, nullptr);
    int result = 0;
    if (error == ERROR_SUCCESS) {
        RegKey key(opened);
        // The save refuses to overwrite a file.
        if (FileExists(filePath))
            DeleteFileA(filePath.c_str());
        error = regApi.RegSaveKeyA(key.Handle(), filePath.c_str(), nullptr);
        result = error == ERROR_SUCCESS;
    }
    SetPrivilege(SE_BACKUP_NAME, false);
    return result;
}

int FullBackup::PrepareScratch()
{
    // "Temp" beside the program, unless a folder of that name is someone
    // else's: then the first free or own "TempN".
    for (int number = 1; number < 10; ++number) {
        std::string folder = programFolder + (number == 1 ? "\\Temp" : Formatted("\\Temp%d", number));
        std::string mark = folder + "\\" + scratchMark;
        if (!FolderExists(folder)) {
            if (GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES ||
                !CreateDirectoryA(folder.c_str(), nullptr))
                continue;
            HandleOwner file(CreateFileA(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_HIDDEN, nullptr));
            if (!file) {
                RemoveDirectoryA(folder.c_str());
                continue;
            }
        } else if (!FileExists(mark)) {
            continue;
        }
        scratch = folder;
        if (EmptyFolder(scratch, true, "*.*"))
            return 1;
        ShowAppMessage(nullptr, "The folder " + scratch + " could not be emptied.");
        return 0;
    }
    ShowAppMessage(nullptr, "No folder for the backup's working files could be made in " +
                                programFolder + ".");
    return 0;
}

int FullBackup::SaveRegistry()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    CreateDirectoryA(RegBackupFolder().c_str(), nullptr);
    if (!PrepareScratch())
        return 0;

    if (!IsWindows95Family()) {
        if (!SaveHives())
            return 0;
    } else if (!CopyRegistryFiles()) {
        ShowAppMessage(nullptr, "Failed to Backup Registry");
        return 0;
    }
    std::vector<std::string> saved = PlainFiles(scratch);

    std::string setName = Formatted("%d,%d,%d_%d,%d,%d", now.wMonth, now.wDay, now.wYear,
                                    now.wHour, now.wMinute, now.wSecond);
    std::string packed = scratch + "\\" + setName + ".cab";
    // Two backups within one second keep both cabinets.
    std::string kept = RegBackupFolder() + "\\" + setName + ".cab";
    for (int number = 2; GetFileAttributesA(kept.c_str()) != INVALID_FILE_ATTRIBUTES; ++number)
        kept = RegBackupFolder() + "\\" + setName + Formatted("_%d", number) + ".cab";
    {
        CabinetCompressor compressor;
        if (!compressor.CreateCabinet(packed) ||
            (compressor.AddFolder(scratch) == 1 && !compressor.Flush())) {
            ShowAppMessage(nullptr, compressor.ErrorText());
            return 0;
        }
    }
    CopyFileA(packed.c_str(), kept.c_str(), FALSE);
    saved.push_back("ZipLog.txt");
    if (!CheckCabinet(kept, saved)) {
        ShowAppMessage(nullptr, "The full backup could not be verified: " + kept +
                                    " does not hold every registry file saved. The saved files "
                                    "stay in " + scratch + ".");
        return 0;
    }
    EmptyFolder(scratch, true);
    lastCabinet = kept;
    return 1;
}

int FullBackup::SaveHives()
{
    LONG error = 0;
    for (const MachineHive& hive : machineHives) {
        if (!SaveHive(HKEY_LOCAL_MACHINE, hive.subkey, scratch + "\\" + hive.fileName, error)) {
            DWORD number = GetLastError();
            ShowAppMessage(nullptr, Formatted("%d, backup failed",
                                              static_cast<int>(number ? number : error)));
            return 0;
        }
    }
    RegKey users;
    std::vector<std::string> names;
    if (users.Open(HKEY_USERS, "", KEY_ALL_ACCESS) == ERROR_SUCCESS)
        names = ReadSubkeyNames(users.Handle());
    for (const std::string& name : names) {
        if (!SaveHive(HKEY_USERS, name, scratch + "\\hkusers_" + name + ".dat", error)) {
            DWORD number = GetLastError();
            ShowAppMessage(nullptr, Formatted("%d, backup failed",
                                              static_cast<int>(number ? number : error)));
            return 0;
        }
    }
    return 1;
}

int FullBackup::CheckCabinet(const std::string& cabinetPath, const std::vector<std::string>& names)
{
    CabinetExtractor extractor;
    std::vector<CabinetEntry> entries;
    if (!extractor.OpenCabinet(cabinetPath) || !extractor.ListFiles(entries))
        return 0;
    for (const std::string& name : names) {
        long size = FileSize(scratch + "\\" + name);
        bool listed = false;
        for (const CabinetEntry& entry : entries)
            listed = listed || (lstrcmpiA(entry.name.c_str(), name.c_str()) == 0 && entry.size == size);
        if (!listed)
            return 0;
    }
    return 1;
}

int FullBackup::RestoreRegistry(const std::string& cabinetPath)
{
    const std::string notRestored = "The registry was not restored.";
    if (!SaveRegistry()) {
        ShowAppMessage(nullptr, "The current registry could not be backed up first. " + notRestored);
        return 0;
    }
    if (!PrepareScratch())
        return 0;
    {
        CabinetExtractor extractor;
        if (!extractor.OpenCabinet(cabinetPath) || !extractor.ExtractTo(scratch)) {
            ShowAppMessage(nullptr, std::string(extractor.ErrorText()) + "\n" + notRestored);
            return 0;
        }
    }
    if (IsWindows95Family())
        return RestoreRegistryFiles();

    std::vector<std::string> files;
    if (!CheckHives(files))
        return 0;
    return RestoreHives(files);
}

int FullBackup::CheckHives(std::vector<std::string>& files)
{
    for (const std::string& name : PlainFiles(scratch)) {
        HKEY root;
        std::string subkey;
        if (HiveTarget(name, root, subkey))
            files.push_back(name);
    }
    if (files.empty()) {
        ShowAppMessage(nullptr, "The backup holds no registry files. The registry was not restored.");
        return 0;
    }
    for (const std::string& name : files) {
        LoadedHive hive(scratch + "\\" + name);
        if (hive.Result() != ERROR_SUCCESS) {
            ShowAppMessage(nullptr, Formatted("The backup file %s is damaged or cannot be read "
                                              "(error %d). The registry was not restored.",
                                              name.c_str(), static_cast<int>(hive.Result())));
            return 0;
        }
    }
    return 1;
}

int FullBackup::RestoreHives(const std::vector<std::string>& files)
{
    bool restoreWorks = RestoreKeyWorks() != 0;
    for (const std::string& name : files) {
        HKEY root;
        std::string subkey;
        HiveTarget(name, root, subkey);
        std::string path = scratch + "\\" + name;
        SetPrivilege(SE_RESTORE_NAME, true);
        SetPrivilege(SE_BACKUP_NAME, true);
        HKEY opened = nullptr;
        LONG rc = regApi.RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, REG_OPTION_BACKUP_RESTORE,
                                         KEY_ALL_ACCESS, nullptr, &opened, nullptr);
        RegKey target(opened);
        if (rc == ERROR_SUCCESS && restoreWorks) {
            // Forced, so that keys held open by running programs do not stop
            // it; systems before XP know only the plain restore.
            rc = regApi.RegRestoreKeyA(target.Handle(), path.c_str(), REG_FORCE_RESTORE);
            if (rc == ERROR_INVALID_PARAMETER)
                rc = regApi.RegRestoreKeyA(target.Handle(), path.c_str(), 0);
        }
        // Where the restore does nothing, or refuses a key in use, the
        // contents are replaced from the loaded hive instead.
        if (target && (!restoreWorks || rc != ERROR_SUCCESS)) {
            LoadedHive hive(path);
            rc = hive.Result();
            if (rc == ERROR_SUCCESS)
                rc = ReplaceKeyContents(target.Handle(), hive.Handle());
        }
        SetPrivilege(SE_BACKUP_NAME, false);
        SetPrivilege(SE_RESTORE_NAME, false);
        if (rc != ERROR_SUCCESS) {
            ShowAppMessage(nullptr, Formatted("Restoring %s failed (error %d): the registry is only "
                                              "partly restored. The registry as it was before is "
                                              "saved in %s.",
                                              name.c_str(), static_cast<int>(rc),
                                              lastCabinet.c_str()));
            return 0;
        }
    }
    return 1;
}

int FullBackup::RestoreKeyWorks()
{
    static int answer = -1;
    if (answer >= 0)
        return answer;
    const char checkKey[] = "Software\\Quillmoor8 restore check";
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof(folder), folder);
    std::string file = std::string(folder) + Formatted("qm-restore-check-%lu.dat", GetCurrentProcessId());

    int works = 0;
    RegKey key;
    HKEY created = nullptr;
    if (regApi.RegCreateKeyExA(HKEY_CURRENT_USER, checkKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               &created, nullptr) == ERROR_SUCCESS) {
        key = RegKey(created);
        key.SetDwordValue(1, "Check");
        LONG error = 0;
        if (SaveHive(HKEY_CURRENT_USER, checkKey, file, error)) {
            key.SetDwordValue(2, "Check");
            SetPrivilege(SE_RESTORE_NAME, true);
            regApi.RegRestoreKeyA(key.Handle(), file.c_str(), 0);
            SetPrivilege(SE_RESTORE_NAME, false);
            DWORD value = 0;
            works = key.QueryDwordValue(value, "Check") == ERROR_SUCCESS && value == 1;
        }
        key.Close();
        DeleteRegKey(HKEY_CURRENT_USER, checkKey);
    }
    DeleteFileA(file.c_str());
    answer = works;
    return answer;
}

std::vector<FullBackupEntry> FullBackup::ListBackups(const std::string& programFolder)
{
    std::vector<FullBackupEntry> entries;
    std::string folder = programFolder + "\\RegBackup";
    for (const std::string& name : PlainFiles(folder, "*.cab")) {
        std::string text = BackupSet::BackupDateText(name.substr(0, name.rfind('.')));
        if (!text.empty())
            entries.push_back({text, folder + "\\" + name});
    }
    return entries;
}

int RestartComputer()
{
    if (!IsWindows95Family() && !FullBackup::SetPrivilege(SE_SHUTDOWN_NAME, true))
        return 0;
    return ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0) != 0;
}
