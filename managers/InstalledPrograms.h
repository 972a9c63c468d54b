#pragma once
// The system's list of installed programs (the Uninstall key): listing its
// entries, and removing one from the list after its whole key is safe in the
// program's backup key. Removing an entry uninstalls nothing.

#include <string>
#include <vector>

extern const char uninstallKeyPath[];
// Below HKEY_CURRENT_USER: one copy of each removed entry's key, by its name.
extern const char uninstallBackupKey[];

struct InstalledProgram {
    std::string subkey;      // the entry's key name
    std::string displayName;
    std::string uninstallCommand;
};

// Entries with a display name that are not system components.
std::vector<InstalledProgram> ListInstalledPrograms();

// An entry's display name and uninstall command; 0 (and nothing read) when it
// has no display name.
class RegKey;
int ReadDisplayName(RegKey& entry, std::string& displayName, std::string& uninstallCommand);

// Copies the entry's key (values and subkeys) to the backup key under its
// name, replacing an older copy, and deletes the entry once the copy reads
// back whole; 1 when removed.
int RemoveInstalledProgram(const std::string& subkey);
