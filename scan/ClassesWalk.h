#pragma once
// Small helpers shared by the scanners that walk HKEY_CLASSES_ROOT: counting
// and naming subkeys by index, walking them, and the full path of a key below
// the root.

#include <windows.h>

#include <string>

#include "core/Registry.h"
#include "scan/ScanContext.h"

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

// Hands each subkey name of HKEY_CLASSES_ROOT\`path` (read into `Capacity`
// characters) to `each`, with a step after every index, until the scan is
// aborted; a key that does not open is told.
template <DWORD Capacity, typename Each>
void ForEachClassesSubkey(ScanContext& context, const char* path, Each each)
{
    RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, path, KEY_ALL_ACCESS) != ERROR_SUCCESS) {
        context.ShowFailure(openFailedText, BoxTitle::None);
        return;
    }
    const DWORD count = CountSubkeys(key.Handle());
    for (DWORD index = 0; index < count && context.KeepScanning(); ++index) {
        std::string name;
        if (EnumSubkeyName<Capacity>(key.Handle(), index, name))
            each(name);
        context.Step();
    }
}
