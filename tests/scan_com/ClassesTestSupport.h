#pragma once
// What the class and file association tests share: planting below
// HKEY_CLASSES_ROOT, reading records and calls out of a recording, and making
// one registry open fail.

#include <windows.h>

#include <string>
#include <vector>

#include "support/RecordingContext.h"

// Description texts of registry records, as the user reads them.
constexpr char fileMissingText[] = "The file (%s) does not exist at the specified location";
constexpr char appIdInvalidText[] = "The Application ID (%s) is not valid.  (%s does not exist)";
constexpr char folderInvalidText[] = "The Directory path is not valid. (%s does not exist)";

// Writes a REG_SZ value (empty name: the default value) of a key below
// HKEY_CLASSES_ROOT, creating the key; plant the top key with a PlantedKey
// so that it all goes away.
void WriteClassesValue(const std::string& path, const std::string& name, const std::string& data);

std::string Hkcr(const std::string& path);

// One record's fields as "section|item|keyPath|valueName|valueData|description".
std::string Fields(unsigned section, const std::string& item, const std::string& keyPath,
                   const std::string& valueName, const std::string& valueData,
                   const std::string& description);
// The fields of the records at or below `keyPath`, in the order reported; a
// record that is not checked or carries a size is marked.
std::vector<std::string> RecordsUnder(const RecordingContext& context, const std::string& keyPath);
bool Shown(const RecordingContext& context, const std::string& keyPath);

// Subkeys of a key below HKEY_CLASSES_ROOT (empty path: the root itself).
DWORD ClassesSubkeyCount(const std::string& path);

// While it lives, opening `subkey` below HKEY_CLASSES_ROOT through the
// registry back end fails with access denied.
class FailClassesOpen {
public:
    explicit FailClassesOpen(const std::string& subkey);
    ~FailClassesOpen();
    FailClassesOpen(const FailClassesOpen&) = delete;
    FailClassesOpen& operator=(const FailClassesOpen&) = delete;
};

// The progress steps among the calls from index `from` on.
size_t StepsFrom(const RecordingContext& context, size_t from);
