#pragma once
// What the class and file association tests share: writing below a planted
// key of HKEY_CLASSES_ROOT, picking records and calls out of a recording,
// and making one registry open fail.

#include <windows.h>

#include <string>
#include <vector>

#include "core/ProblemRecord.h"
#include "support/RecordingContext.h"

// Writes a REG_SZ value (empty name: the default value) of a key below
// HKEY_CLASSES_ROOT, creating the key. Plant the key's top with a PlantedKey
// so that everything written here goes away with it.
void WriteClassesValue(const std::string& path, const std::string& name, const std::string& data);
void CreateClassesKey(const std::string& path);

// "HKEY_CLASSES_ROOT\" + path.
std::string Hkcr(const std::string& path);

// Records whose key path is `keyPath` or lies below it, in the order reported.
std::vector<const ProblemRecord*> RecordsUnder(const RecordingContext& context,
                                               const std::string& keyPath);
// Keys shown on the second status line, in order.
std::vector<std::string> ShownItems(const RecordingContext& context);
// The calls made after the first "ShowItem text".
std::vector<std::string> CallsAfterShown(const RecordingContext& context, const std::string& text);

// The number of subkeys of a key below HKEY_CLASSES_ROOT (empty: the root).
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

// The fields of one expected record.
struct ExpectedRecord {
    unsigned section;
    std::string item, keyPath, valueName, valueData, description;
};
// Compares every field a user sees, and the flags every new record carries.
void ExpectRecord(const ProblemRecord& actual, const ExpectedRecord& expected);

// The description texts of registry records, as the user reads them.
constexpr char fileMissingText[] = "The file (%s) does not exist at the specified location";
constexpr char appIdInvalidText[] = "The Application ID (%s) is not valid.  (%s does not exist)";
constexpr char folderInvalidText[] = "The Directory path is not valid. (%s does not exist)";

std::string Lower(std::string text);
