#pragma once
// What the managers removed and kept in their backup keys: listing it by
// manager, and putting one entry back where it came from.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

enum class RemovedKind {
    BrowserHelpers = 0,
    StartupPrograms = 1,
    InstalledPrograms = 2,
};

struct RemovedEntry {
    HKEY root = nullptr;   // where the entry goes back to
    std::string keyPath;   // below the root: the Run key, or the container of the entry's key
    std::string classId;   // browser helper objects: the key's name
    std::string valueName; // startup entries: the Run value's name
    std::string valueData; // startup entries: the command; browser helper objects: the name
    DWORD startup = 0;     // 1 for startup entries
    std::string backupKey; // below HKEY_CURRENT_USER: the key that holds the backup
    std::string backupName; // the backup value (startup) or subkey (the others)
    std::string file;      // the second column of the list
};

// Browser helper objects by their backup keys; startup entries of the current
// user, then the machine-wide ones; installed programs by their backup keys.
std::vector<RemovedEntry> ListRemovedEntries(RemovedKind kind);

enum class RestoreResult { Restored, Skipped, Failed };

// Writes the entry back and, once it reads back whole, deletes its backup
// (and no other). When something else is in its place now, `replaceExisting`
// is asked first; Skipped when it says no. Failed leaves the backup in place.
RestoreResult RestoreRemovedEntry(const RemovedEntry& entry,
                                  const std::function<bool(const RemovedEntry&)>& replaceExisting);
