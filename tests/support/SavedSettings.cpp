#include "support/SavedSettings.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/Registry.h"
#include "core/ScanSection.h"
#include "settings/Settings.h"
#include "support/FileBytes.h"

namespace {

// Moves HKEY_CURRENT_USER\SOFTWARE\`from` to SOFTWARE\`to`; false when there is none.
bool MoveSoftwareKey(const std::string& from, const std::string& to)
{
    RegKey source, software;
    if (source.Open(HKEY_CURRENT_USER, "SOFTWARE\\" + from, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return false;
    software.Open(HKEY_CURRENT_USER, "SOFTWARE", KEY_ALL_ACCESS);
    CopyRegKey(source.Handle(), software.Handle(), to);
    source.Close();
    DeleteRegKey(HKEY_CURRENT_USER, "SOFTWARE\\" + from);
    return true;
}

} // namespace

SavedSettingsKey::SavedSettingsKey() : savedName(UniqueName("QuillmoorSavedSettings"))
{
    if (!MoveSoftwareKey("Quillmoor8", savedName))
        savedName.clear();
}

SavedSettingsKey::~SavedSettingsKey()
{
    DeleteRegKey(HKEY_CURRENT_USER, "SOFTWARE\\Quillmoor8");
    if (!savedName.empty())
        MoveSoftwareKey(savedName, "Quillmoor8");
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
