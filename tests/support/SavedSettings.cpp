#include "support/SavedSettings.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <algorithm>

#include "core/ScanSection.h"

namespace {

const char settingsPath[] = "SOFTWARE\\Quillmoor8";
const char savedPath[] = "SOFTWARE\\QuillmoorTestSavedSettings";

// Copies the tree `from` to a new key `to`; false when `from` is missing.
bool Copy(const char* from, const char* to)
{
    HKEY source = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, from, 0, KEY_READ, &source) != ERROR_SUCCESS)
        return false;
    RegCloseKey(source);
    HKEY target = nullptr;
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, to, &target), ERROR_SUCCESS);
    EXPECT_EQ(SHCopyKeyA(HKEY_CURRENT_USER, from, target, 0), ERROR_SUCCESS);
    RegCloseKey(target);
    return true;
}

} // namespace

SavedSettings::SavedSettings()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, savedPath);
    existed = Copy(settingsPath, savedPath);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, settingsPath, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

SavedSettings::~SavedSettings()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, settingsPath);
    if (existed)
        Copy(savedPath, settingsPath);
    SHDeleteKeyA(HKEY_CURRENT_USER, savedPath);
}

void SavedSettings::Set(const std::string& name, const std::string& text)
{
    SHSetValueA(HKEY_CURRENT_USER, settingsPath, name.c_str(), REG_SZ, text.c_str(),
                static_cast<DWORD>(text.size() + 1));
}

void SavedSettings::OnlySections(const std::vector<unsigned>& on)
{
    for (unsigned code = 0; code < SectionCount; ++code)
        if (code != SectionReserved)
            Set(SectionSettingsKey(code), std::count(on.begin(), on.end(), code) ? "1" : "0");
}

std::string SavedSettings::Get(const std::string& name)
{
    char text[260] = {};
    DWORD size = sizeof(text);
    if (SHGetValueA(HKEY_CURRENT_USER, settingsPath, name.c_str(), nullptr, text, &size) !=
        ERROR_SUCCESS)
        return "<missing>";
    return text;
}
