#pragma once
// What a repair will do with each record, decided before anything is
// touched. Every record's target (a key, a value, a file) is brought to one
// canonical name, so that the same registry entry seen through two paths
// (HKEY_USERS\<own SID> and HKEY_CURRENT_USER, HKEY_CLASSES_ROOT and the hive
// that holds the key, a numbered control set and CurrentControlSet) is
// removed once, and not at all when the user unticked or ignored it anywhere.

#include <string>
#include <vector>

#include "core/ProblemRecord.h"

enum class TargetKind { None, Key, Value, File };

// How a section's problems go: a key whole, one value, a typed address (a
// value named in `item`), a file kept in the backup, a file not backed up,
// a browser cache entry, a tweak put back to its default, or nothing at all.
enum class RemovalKind { Key, Value, TypedAddress, BackedUpFile, File, BrowserCache, Tweak, Nothing };

RemovalKind RemovalKindOf(unsigned section);

struct RepairTarget {
    TargetKind kind = TargetKind::None;
    std::string key;   // canonical full key path, lower case (Key, Value)
    std::string value; // value name as stored (Value)
    std::string file;  // full file path, lower case (File)
};

enum class RepairDecision {
    Remove,    // back up and remove
    Duplicate, // another checked record of the same target does it
    Covered,   // lies inside a key that is removed whole
    Kept,      // a record naming it, or inside it, is unticked or ignored
    Refused,   // a root or a key that holds what the scanners walk
    Skip       // not checked
};

// The long root names in place of "HKCLASS", "HKCU" and "HKLM", wherever they stand.
std::string ExpandRootAbbreviations(const std::string& keyPath);

// One canonical spelling, in lower case, of a full key path (abbreviations
// already expanded). Empty when the root is not one of the four.
std::string CanonicalKeyPath(const std::string& fullPath);

// The target a record's repair acts on. The key path may still hold the
// abbreviated root names.
RepairTarget TargetOf(const ProblemRecord& record);

// True for a root, a hive directly below a root, and every key that is or
// holds one of the keys the scanners walk (Run, App Paths, CLSID, ...).
bool IsProtectedKey(const std::string& canonicalKey);

// One decision per record of `problems`, in order. `ignoreEntries` is the
// ignore list as it stands now.
std::vector<RepairDecision> PlanRepair(const std::vector<ProblemPtr>& problems,
                                       const std::vector<std::string>& ignoreEntries);
