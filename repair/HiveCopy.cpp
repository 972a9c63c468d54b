// Replacing a live key's contents from a loaded hive, where the registry's
// own restore does nothing.

#include <vector>

#include "core/Registry.h"
#include "repair/FullBackup.h"

namespace {

struct ValueData {
    DWORD type = 0;
    std::vector<BYTE> data;
};

std::vector<std::string> ValueNames(HKEY key)
{
    std::vector<std::string> names;
    DWORD longest = 0;
    regApi.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            &longest, nullptr, nullptr, nullptr);
    std::vector<char> name(longest * 2 + 2);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (regApi.RegEnumValueA(key, index, name.data(), &length, nullptr, nullptr, nullptr,
                                 nullptr) != ERROR_SUCCESS)
            return names;
        names.emplace_back(name.data(), length);
    }
}

std::vector<std::string> SubkeyNames(HKEY key)
{
    std::vector<std::string> names;
    DWORD longest = 0;
    regApi.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr);
    std::vector<char> name(longest * 2 + 2);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        FILETIME written;
        if (regApi.RegEnumKeyExA(key, index, name.data(), &length, nullptr, nullptr, nullptr,
                                 &written) != ERROR_SUCCESS)
            return names;
        names.emplace_back(name.data(), length);
    }
}

// 0 with the value's type and data, or the platform error.
LONG ReadValue(HKEY key, const std::string& name, ValueData& value)
{
    DWORD size = 0;
    LONG rc = regApi.RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    value.data.assign(size, 0);
    rc = regApi.RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
    value.data.resize(size);
    return rc;
}

// A link key (such as CurrentControlSet) stands for another key: it is
// neither entered nor deleted, on either side.
bool IsLinkKey(HKEY parent, const std::string& name)
{
    HKEY opened = nullptr;
    if (regApi.RegOpenKeyExA(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS)
        return false;
    RegKey key(opened);
    DWORD type = 0;
    return regApi.RegQueryValueExA(key.Handle(), "SymbolicLinkValue", nullptr, &type, nullptr,
                                   nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// Deletes a key with everything below it, never through a link: a link is
// left, and with it the keys above it. 0 when the key is gone.
LONG DeleteKeyTree(HKEY parent, const std::string& name)
{
    if (IsLinkKey(parent, name))
        return ERROR_ACCESS_DENIED;
    {
        RegKey key;
        LONG rc = key.Open(parent, name, KEY_ALL_ACCESS);
        if (rc != ERROR_SUCCESS)
            return rc;
        for (const std::string& child : SubkeyNames(key.Handle()))
            DeleteKeyTree(key.Handle(), child);
    }
    return regApi.RegDeleteKeyA(parent, name.c_str());
}

} // namespace

LONG ReplaceKeyContents(HKEY target, HKEY source)
{
    // A name the narrow functions cannot spell (outside the code page) is
    // listed but reaches nothing: such an entry stays as it is.
    // Values: those the backup lacks go; those that differ are written. A
    // value left alone keeps what the narrow functions cannot carry.
    for (const std::string& name : ValueNames(target)) {
        ValueData ignored;
        if (ReadValue(source, name, ignored) == ERROR_FILE_NOT_FOUND) {
            LONG rc = regApi.RegDeleteValueA(target, name.c_str());
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
                return rc;
        }
    }
    for (const std::string& name : ValueNames(source)) {
        ValueData wanted, present;
        LONG rc = ReadValue(source, name, wanted);
        if (rc == ERROR_FILE_NOT_FOUND)
            continue;
        if (rc != ERROR_SUCCESS)
            return rc;
        if (ReadValue(target, name, present) == ERROR_SUCCESS && present.type == wanted.type &&
            present.data == wanted.data)
            continue;
        rc = regApi.RegSetValueExA(target, name.c_str(), 0, wanted.type, wanted.data.data(),
                                   static_cast<DWORD>(wanted.data.size()));
        if (rc != ERROR_SUCCESS)
            return rc;
    }

    // Subkeys: those the backup lacks go. Some cannot: the system's running
    // state lives in volatile keys that no saved hive holds (a display's
    // "Video" key, say); they stay as they are.
    for (const std::string& name : SubkeyNames(target)) {
        RegKey probe;
        if (IsLinkKey(target, name) || probe.Open(source, name, KEY_READ) != ERROR_FILE_NOT_FOUND)
            continue;
        DeleteKeyTree(target, name);
    }
    for (const std::string& name : SubkeyNames(source)) {
        if (IsLinkKey(source, name) || IsLinkKey(target, name))
            continue;
        RegKey from;
        LONG rc = from.Open(source, name, KEY_READ);
        if (rc == ERROR_FILE_NOT_FOUND)
            continue;
        if (rc != ERROR_SUCCESS)
            return rc;
        HKEY created = nullptr;
        rc = regApi.RegCreateKeyExA(target, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &created, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        RegKey to(created);
        rc = ReplaceKeyContents(to.Handle(), from.Handle());
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}
