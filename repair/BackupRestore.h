#pragma once
// Putting a backup set back: the sets in the backup folder, the items of one
// set as its Config.ini lists them, and the restore of chosen items. The
// restore dialog and the headless restore share all of it.
//
// Nothing is lost silently: an item that does not come back is named in
// restore.txt in the log folder, and a value that exists now with other data
// (or a key that exists now) has its present state written there before it
// is overwritten.

#include <string>
#include <vector>

#include "repair/BackupSet.h"

enum RestoreKind { RestoreFile = 0, RestoreKey = 1, RestoreValue = 2 };

struct RestoreItem {
    int kind = RestoreFile;
    std::string keyPath;    // key: NAME; value: MAIN_KEY
    std::string storedName; // key: PATH of its export; file: FILE_COPY's PATH (may be empty)
    std::string valueName;  // value: VALUE_NAME
    std::string valueData;  // value: VALUE
    std::string exactName;  // value: PATH of its REG_VALUE_EXACT copy (may be empty)
    std::string destPath;   // file: DEST_PATH
    int line = 0;           // the record's first line in Config.ini, from 1
    std::string fault;      // what is malformed in the record's lines; empty when whole

    // "RegKey", "RegValue" or "ShortCut".
    const char* TypeText() const;
    // The list's "Path" column: a key's path, a value's data, a file's path.
    const std::string& PathText() const;
};

struct BackupSetEntry {
    std::string cabinetPath;
    std::string name;     // the file name without ".cab"
    std::string dateText; // BackupDateText of the name
};

// The sets in the backup folder, newest first; names that are no date last.
std::vector<BackupSetEntry> ListBackupSets();

struct BackupContents {
    bool indexFound = false;          // the set held a Config.ini
    std::vector<RestoreItem> items;   // in the order of Config.ini
    std::vector<std::string> faults;  // what is wrong with Config.ini, one text each
};

// Reads a Config.ini. Records are read by position, as every reader does;
// each line that is not a whole "[TAG:value]" line of the tag expected marks
// its item, and a record cut short by the end of the file is a fault.
BackupContents ReadBackupIndex(const std::string& configPath);

// The scratch folder sets are unpacked into: the program folder + "\Quillmoor8\Temp".
std::string RestoreTempFolder();

// Unpacks the set, reads its Config.ini and empties the scratch folder again.
BackupContents ListBackupItems(BackupSet& set, const std::string& cabinetPath);

struct RestoreOutcome {
    int chosen = 0;
    std::vector<std::string> failures; // one text per item that did not come back
    std::string logPath;               // restore.txt, when anything was written to it
};

// Restores the items (of the set last listed or read with `set`) in order,
// writes restore.txt when anything went wrong or was overwritten, and empties
// and removes the scratch folder.
RestoreOutcome RestoreBackupItems(BackupSet& set, const std::string& setName,
                                  const std::vector<const RestoreItem*>& items);

// "Entries Restored Successfully", or how many did not come back and where
// they are named.
std::string RestoreSummary(const RestoreOutcome& outcome);

// restore.txt in the log folder.
std::string RestoreLogPath();
