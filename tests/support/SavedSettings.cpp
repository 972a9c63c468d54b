#include "support/SavedSettings.h"

#include "core/Registry.h"
#include "support/Planted.h"

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
