#pragma once
// The synthetic branch the walk benchmarks run on (20,000 keys, 100,000
// values under HKEY_CURRENT_USER, a third of them naming files that exist, a
// third files that do not) and the bare walk that is their floor: every key
// opened once, every value read once, one file test per path-like string.

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace bench {

inline constexpr int groupCount = 200;
inline constexpr int keysPerGroup = 99;   // 200 groups + 200 * 99 keys = 20,000 keys
inline constexpr int valuesPerKey = 5;    // 100,000 values
inline constexpr int existingFileCount = 100;
inline const char* const fileFolder = "C:\\QmBenchFiles";

inline std::string Format(const char* format, int number)
{
    char text[MAX_PATH];
    snprintf(text, sizeof(text), format, number);
    return text;
}

// Value `n` of the branch: a third existing files, a third missing files, a
// third other text, numbers and binary data.
inline void SetBenchValue(HKEY key, int n)
{
    std::string name = Format("Value%d", n % valuesPerKey);
    std::string text;
    switch (n % 3) {
    case 0:
        text = std::string(fileFolder) + Format("\\file%03d.txt", n % existingFileCount);
        break;
    case 1:
        text = n % 2 ? std::string(fileFolder) + Format("\\gone%06d.exe", n)
                     : Format("\"C:\\Program Files\\QmGone%d\\tool.exe\" /run,0", n);
        break;
    default:
        if (n % 9 == 2) {
            DWORD number = n;
            RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&number),
                           sizeof(number));
            return;
        }
        if (n % 9 == 5) {
            BYTE bytes[24] = {};
            RegSetValueExA(key, name.c_str(), 0, REG_BINARY, bytes, sizeof(bytes));
            return;
        }
        text = Format("plain text setting number %d", n);
    }
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

inline bool PlantBranch(const std::string& branch)
{
    CreateDirectoryA(fileFolder, nullptr);
    for (int i = 0; i < existingFileCount; ++i) {
        std::string path = std::string(fileFolder) + Format("\\file%03d.txt", i);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
    }
    int value = 0;
    for (int g = 0; g < groupCount; ++g) {
        HKEY group;
        std::string groupPath = branch + Format("\\Group%03d", g);
        if (RegCreateKeyExA(HKEY_CURRENT_USER, groupPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &group, nullptr) != ERROR_SUCCESS)
            return false;
        for (int v = 0; v < valuesPerKey; ++v)
            SetBenchValue(group, value++);
        for (int k = 0; k < keysPerGroup; ++k) {
            HKEY key;
            if (RegCreateKeyExA(group, Format("Key%02d", k).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr) != ERROR_SUCCESS)
                return false;
            for (int v = 0; v < valuesPerKey; ++v)
                SetBenchValue(key, value++);
            RegCloseKey(key);
        }
        RegCloseKey(group);
    }
    return true;
}

inline void RemoveBranch(const std::string& branch)
{
    SHDeleteKeyA(HKEY_CURRENT_USER, branch.c_str());
    for (int i = 0; i < existingFileCount; ++i)
        DeleteFileA((std::string(fileFolder) + Format("\\file%03d.txt", i)).c_str());
    RemoveDirectoryA(fileFolder);
}

// The floor: every key opened once, every value read once, one file test for
// each string holding a drive path.
inline void BareWalk(HKEY key)
{
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0; i < subkeys; ++i) {
        char name[255];
        DWORD length = sizeof(name);
        HKEY subkey;
        if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS &&
            RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, &subkey) == ERROR_SUCCESS) {
            BareWalk(subkey);
            RegCloseKey(subkey);
        }
    }
    static char name[16383];
    for (DWORD i = 0; i < values; ++i) {
        char data[261] = {};
        DWORD nameLength = sizeof(name), type = 0, dataLength = 260;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data),
                          &dataLength) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        const char* drive = strstr(data, ":\\");
        if (drive && drive > data)
            GetFileAttributesA(drive - 1);
    }
}

inline double Seconds(LARGE_INTEGER start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

inline double TimeBare(const std::string& branch)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, branch.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    BareWalk(key);
    RegCloseKey(key);
    return Seconds(start);
}

// The branch's key below HKEY_CURRENT_USER for this process.
inline std::string BranchName()
{
    return Format("Software\\QuillmoorBench_%d", static_cast<int>(GetCurrentProcessId()));
}

} // namespace bench
