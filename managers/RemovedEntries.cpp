#include "managers/RemovedEntries.h"

#include "core/Registry.h"
#include "managers/BrowserHelpers.h"
#include "managers/EntryBackup.h"
#include "managers/InstalledPrograms.h"
#include "managers/StartupPrograms.h"

namespace {

void ListBrowserHelperBackups(std::vector<RemovedEntry>& entries)
{
    ForEachSubkey(HKEY_CURRENT_USER, browserHelpersBackupKey, [&](const std::string& classId, RegKey& backup) {
        entries.push_back({HKEY_LOCAL_MACHINE, browserHelpersKeyPath, classId, "",
                           ReadRegString(backup.Handle(), "", ""), 0, browserHelpersBackupKey, classId,
                           BrowserHelperFile(classId)});
    });
}

void ListStartupBackups(HKEY root, const char* backupKey, std::vector<RemovedEntry>& entries)
{
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, backupKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    std::vector<char> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        LONG rc = regApi.RegEnumValueA(key.Handle(), index, name.data(), &length, nullptr, nullptr,
                                       nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            return;
        if (rc != ERROR_SUCCESS)
            continue;
        RemovedEntry entry;
        entry.root = root;
        entry.keyPath = runKeyPath;
        entry.valueName.assign(name.data(), length);
        DWORD type = 0;
        std::vector<BYTE> bytes;
        ReadRegValueBytes(key.Handle(), entry.valueName, type, bytes);
        entry.valueData = ValueText(bytes);
        entry.file = entry.valueData;
        entry.startup = 1;
        entry.backupKey = backupKey;
        entry.backupName = entry.valueName;
        entries.push_back(entry);
    }
}

void ListInstalledProgramBackups(std::vector<RemovedEntry>& entries)
{
    ForEachSubkey(HKEY_CURRENT_USER, uninstallBackupKey, [&](const std::string& name, RegKey& backup) {
        RemovedEntry entry;
        entry.root = HKEY_LOCAL_MACHINE;
        entry.keyPath = uninstallKeyPath;
        entry.backupKey = uninstallBackupKey;
        entry.backupName = name;
        if (ReadDisplayName(backup, entry.valueData, entry.file))
            entries.push_back(entry);
    });
}

RestoreResult RestoreStartupEntry(const RemovedEntry& entry,
                                  const std::function<bool(const RemovedEntry&)>& replaceExisting)
{
    if (RegValueExists(entry.root, entry.keyPath, entry.valueName) &&
        !SameRegValue(entry.root, entry.keyPath, HKEY_CURRENT_USER, entry.backupKey, entry.valueName) &&
        !replaceExisting(entry))
        return RestoreResult::Skipped;
    if (!CopyRegValueChecked(HKEY_CURRENT_USER, entry.backupKey, entry.valueName, entry.root,
                             entry.keyPath))
        return RestoreResult::Failed;
    DeleteRegValue(HKEY_CURRENT_USER, entry.backupKey, entry.backupName);
    return RestoreResult::Restored;
}

RestoreResult RestoreKeyEntry(const RemovedEntry& entry,
                              const std::function<bool(const RemovedEntry&)>& replaceExisting)
{
    const std::string backup = entry.backupKey + "\\" + entry.backupName;
    const std::string destination = entry.keyPath + "\\" + entry.backupName;
    if (KeyExists(entry.root, destination) &&
        !KeyTreeHolds(HKEY_CURRENT_USER, backup, entry.root, destination) && !replaceExisting(entry))
        return RestoreResult::Skipped;
    if (!CopyKeyTreeChecked(HKEY_CURRENT_USER, backup, entry.root, entry.keyPath, entry.backupName,
                            false))
        return RestoreResult::Failed;
    DeleteRegKey(HKEY_CURRENT_USER, backup);
    return RestoreResult::Restored;
}

} // namespace

std::vector<RemovedEntry> ListRemovedEntries(RemovedKind kind)
{
    std::vector<RemovedEntry> entries;
    switch (kind) {
    case RemovedKind::BrowserHelpers:
        ListBrowserHelperBackups(entries);
        break;
    case RemovedKind::StartupPrograms:
        ListStartupBackups(HKEY_CURRENT_USER, userRunBackupKey, entries);
        ListStartupBackups(HKEY_LOCAL_MACHINE, machineRunBackupKey, entries);
        break;
    case RemovedKind::InstalledPrograms:
        ListInstalledProgramBackups(entries);
        break;
    }
    return entries;
}

RestoreResult RestoreRemovedEntry(const RemovedEntry& entry,
                                  const std::function<bool(const RemovedEntry&)>& replaceExisting)
{
    if (entry.backupName.empty() && !entry.startup)
        return RestoreResult::Failed;
    return entry.startup ? RestoreStartupEntry(entry, replaceExisting)
                         : RestoreKeyEntry(entry, replaceExisting);
}
