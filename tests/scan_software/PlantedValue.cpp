#include "PlantedValue.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

PlantedValue::PlantedValue(HKEY r, const std::string& p, const std::string& n,
                           const std::string& data)
    : root(r), path(p), name(n)
{
    Write(REG_SZ, data.c_str(), static_cast<DWORD>(data.size() + 1));
}

PlantedValue::PlantedValue(HKEY r, const std::string& p, const std::string& n, DWORD data)
    : root(r), path(p), name(n)
{
    Write(REG_DWORD, &data, sizeof(data));
}

void PlantedValue::Write(DWORD type, const void* data, DWORD size)
{
    HKEY key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS)
        << path;
    createdKey = disposition == REG_CREATED_NEW_KEY;
    LONG result = RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    EXPECT_EQ(result, ERROR_SUCCESS) << path << " " << name;
}

PlantedValue::~PlantedValue()
{
    SHDeleteValueA(root, path.c_str(), name.c_str());
    if (createdKey)
        SHDeleteKeyA(root, path.c_str());
}

bool PlantedValue::Exists() const
{
    return SHGetValueA(root, path.c_str(), name.c_str(), nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}
