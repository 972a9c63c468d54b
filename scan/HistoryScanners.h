#pragma once
// The recent-file lists, the whole-registry walk and the program-start
// counters that Explorer keeps. The section scanners themselves are declared
// in Scanners.h; this header holds what they share and what the main window
// loads for them.

#include <windows.h>

#include <array>
#include <string>

class ScanContext;

// ---- Recent-file key table ---------------------------------------------------
// The keys where Windows and common applications keep their recent-file lists.
// A slot whose root is null ends the table.
struct MruKey {
    HKEY root = nullptr;
    std::string subkey;
};

constexpr int mruKeySlots = 50;
using MruKeyTable = std::array<MruKey, mruKeySlots>;

// Loaded by the main window when it opens (FillMruKeys), read by the scan
// thread afterwards and never changed while a scan runs.
extern MruKeyTable mruKeys;

// Fills `mruKeys` with the known recent-file keys, all under HKEY_CURRENT_USER.
void FillMruKeys();

// ---- Registry walk -----------------------------------------------------------
// Walks `openKey` and everything below it, depth first, reporting every string
// value whose drive path no longer resolves. `keyPath` is the key's full path
// (records and the second status line); `section` is the code the records get:
// the complete scan's or the recent-file lists'. The caller keeps `openKey`.
void WalkRegistryValues(ScanContext& context, HKEY openKey, const std::string& keyPath,
                        unsigned section);

// One counter key of Explorer's program-start counters, `subkeyPath` below
// HKEY_CURRENT_USER: reports each counted program path that no longer exists.
void ScanUserAssistCount(ScanContext& context, const std::string& subkeyPath);

// Every ASCII letter moved 13 places in its alphabet, every other byte as is.
std::string DecodeRot13(const std::string& text);
