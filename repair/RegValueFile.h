#pragma once
// One registry value in the registry editor's REGEDIT4 text form: the file a
// backup set keeps for each value it can put back exactly ("[key]" and one
// value line), and the lines restore.txt uses to keep a value's state before
// a restore overwrites it.

#include <windows.h>

#include <string>

struct RegValueText {
    std::string keyPath;  // full key path, root's long name first
    std::string name;     // empty: the key's default value
    bool remove = false;  // "name"=- : the value did not exist
    DWORD type = REG_NONE;
    std::string bytes;    // the data exactly as RegQueryValueExA gives it
};

// Reads a REGEDIT4 file holding one key line and one value line (which may
// run on over continuation lines). True and the value, or false and why not.
bool ReadRegValueFile(const std::string& path, RegValueText& value, std::string& error);

// The value's line in REGEDIT4 form, without a line end: "name"="text",
// "name"=dword:0000002a, "name"=hex(2):..., @=... for the default value.
std::string FormatRegValueLine(const std::string& name, DWORD type, const std::string& bytes);
