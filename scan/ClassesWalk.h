#pragma once
// Small helpers shared by the scanners that walk HKEY_CLASSES_ROOT: counting
// and naming subkeys by index, and the full path of a key below the root.

#include <windows.h>

#include <string>

#include "core/Registry.h"

// The number of subkeys of an open key; 0 when the key cannot be asked.
inline DWORD CountSubkeys(HKEY key)
{
    DWORD count = 0;
    if (regApi.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return count;
}

// The name of subkey `index`, enumerated into a buffer of `Capacity`
// characters (the terminator included); false when it cannot be read.
template <DWORD Capacity>
bool EnumSubkeyName(HKEY key, DWORD index, std::string& name)
{
    char buffer[Capacity];
    DWORD length = Capacity;
    if (regApi.RegEnumKeyExA(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
        return false;
    name.assign(buffer, length);
    return true;
}

// What the user is told when a key the scan cannot do without does not open.
constexpr char openFailedText[] = "RegOpenKeyEx FAILED";

// "HKEY_CLASSES_ROOT\" followed by the subkey path.
inline std::string ClassesKeyPath(const std::string& subkey)
{
    return RootKeyName(HKEY_CLASSES_ROOT) + "\\" + subkey;
}
