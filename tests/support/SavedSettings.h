#pragma once
// Moves the program's settings key (HKEY_CURRENT_USER\SOFTWARE\Quillmoor8)
// aside for one test and puts it back, as it was, when the test ends. The
// test starts without a settings key.

#include <string>

class SavedSettingsKey {
public:
    SavedSettingsKey();
    ~SavedSettingsKey();
    SavedSettingsKey(const SavedSettingsKey&) = delete;
    SavedSettingsKey& operator=(const SavedSettingsKey&) = delete;

private:
    std::string savedName; // empty: there was no key to save
};
