#include "support/SavedSettings.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/Registry.h"
#include "core/ScanSection.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"

namespace {
const char settingsPath[] = "SOFTWARE\\Quillmoor8";
}

SavedSettingsKey::SavedSettingsKey()
{
    RegKey settings;
    if (settings.Open(HKEY_CURRENT_USER, settingsPath, KEY_ALL_ACCESS) == ERROR_SUCCESS) {
        RegKey software;
        software.Open(HKEY_CURRENT_USER, "SOFTWARE", KEY_ALL_ACCESS);
        savedName = UniqueName("QuillmoorSavedSettings");
        CopyRegKey(settings.Handle(), software.Handle(), savedName);
    }
    settings.Close();
    DeleteRegKey(HKEY_CURRENT_USER, settingsPath);
}

SavedSettingsKey::~SavedSettingsKey()
{
    DeleteRegKey(HKEY_CURRENT_USER, settingsPath);
    if (savedName.empty())
        return;
    RegKey saved;
    RegKey software;
    if (saved.Open(HKEY_CURRENT_USER, "SOFTWARE\\" + savedName, KEY_ALL_ACCESS) == ERROR_SUCCESS &&
        software.Open(HKEY_CURRENT_USER, "SOFTWARE", KEY_ALL_ACCESS) == ERROR_SUCCESS)
        CopyRegKey(saved.Handle(), software.Handle(), "Quillmoor8");
    saved.Close();
    DeleteRegKey(HKEY_CURRENT_USER, "SOFTWARE\\" + savedName);
}

DefaultSettings::DefaultSettings() : logs(TestTempFolder() + UniqueName("QuillmoorTestLogs"))
{
    EXPECT_EQ(WriteDefaultSettings(), 1);
    EXPECT_EQ(WriteSetting("Log File Path", logs.Path()), 1);
}

void DefaultSettings::OnlySections(std::initializer_list<unsigned> on)
{
    for (unsigned code = 0; code < SectionCount; ++code)
        if (code != SectionReserved)
            WriteSetting(SectionSettingsKey(code), std::count(on.begin(), on.end(), code) ? "1" : "0");
}
