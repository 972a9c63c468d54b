#pragma once
// Reading back the file a backup set keeps for each value it can put back
// exactly: REGEDIT4, "[key]" and one value line.

#include <windows.h>

#include <string>
#include <vector>

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

// The lines of a text file, each without its line end (LF, CR LF or the
// CR CR LF of a text-mode stream).
std::vector<std::string> TextLines(const std::string& bytes);
