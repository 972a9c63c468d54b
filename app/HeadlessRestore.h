#pragma once
// The headless side of the backup sets:
//   Quillmoor8.exe /backups                      one line per set, newest first
//   Quillmoor8.exe /restore:SET [/items:LIST]    restores a set, or chosen items
// SET is a set's name or a cabinet's path; LIST holds item numbers from 1 in
// the order /restore lists them.

#include <string>
#include <vector>

#include "app/TextOutput.h"

// Exit code of a restore in which some item did not come back.
constexpr int ExitRestoreIncomplete = 4;

// True when the arguments ask for /backups or /restore.
bool IsBackupCommand(const std::vector<std::string>& arguments);

// Runs it; the exit code: 0 done, 2 command line not understood or no such
// set or item, 3 cannot run, 4 some item did not come back.
int RunBackupCommand(const std::vector<std::string>& arguments, TextOutput& out, TextOutput& err);
