#pragma once
// A whole registry tree read back for comparing before and after: everything
// below a key as "sub\key\|value" -> type and bytes exactly as read, with an
// entry "sub\key\" for each key. Empty when the key does not open.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

using RegistryTree = std::map<std::string, std::pair<DWORD, std::string>>;

inline RegistryTree TreeAt(HKEY root, const std::string& path, const std::string& prefix = "",
                           RegistryTree tree = {})
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return tree;
    tree[prefix];
    char name[300];
    std::vector<char> data(70000);
    DWORD nameLength = sizeof(name), size = DWORD(data.size()), type = 0;
    for (DWORD i = 0; RegEnumValueA(key, i, name, &nameLength, nullptr, &type, (BYTE*)data.data(), &size) == 0;
         ++i, nameLength = sizeof(name), size = DWORD(data.size()))
        tree[prefix + "|" + name] = {type, std::string(data.data(), size)};
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof(name)) == ERROR_SUCCESS; ++i)
        tree = TreeAt(key, name, prefix + name + "\\", tree);
    RegCloseKey(key);
    return tree;
}
