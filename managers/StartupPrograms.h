#pragma once
// The programs Windows starts at logon from the two Run keys: listing them,
// removing one after its backup is safe, and running one.

#include <windows.h>

#include <string>
#include <vector>

extern const char runKeyPath[];
// Where removed entries are kept below HKEY_CURRENT_USER, by the key they came from.
extern const char machineRunBackupKey[];
extern const char userRunBackupKey[];

struct StartupItem {
    DWORD kind = 0;      // 1: HKEY_LOCAL_MACHINE's Run key, 0: the current user's
    std::string name;    // the value's name
    std::string command; // the value's data, taken as text
    DWORD type = REG_SZ;
};

// The machine-wide entries, then the current user's.
std::vector<StartupItem> ListStartupItems();

// Saves the entry in the backup key of its kind and deletes it from its Run
// key once the backup reads back the same type and bytes; 1 when removed.
int RemoveStartupItem(const StartupItem& item);

// The command as Windows would run it: an expandable value with its
// environment variables filled in, any other as it stands.
std::string CommandToRun(const StartupItem& item);

// The program file a run command names, for its version details: in lower
// case, cut after its first ".exe", without quotes.
std::string StartupProgramPath(const std::string& command);

// Starts the command through the shell as it stands; when that fails, splits
// it at each blank in turn, from the left, into program and parameters. 1
// when one of the tries started.
int RunStartupCommand(const std::string& command);
