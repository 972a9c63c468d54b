#pragma once
// Moves the program's settings key (HKEY_CURRENT_USER\SOFTWARE\Quillmoor8)
// aside for one test and puts it back, as it was, when the test ends. The
// test starts without a settings key.

#include <initializer_list>
#include <string>

#include "support/Planted.h"

class SavedSettingsKey {
public:
    SavedSettingsKey();
    ~SavedSettingsKey();
    SavedSettingsKey(const SavedSettingsKey&) = delete;
    SavedSettingsKey& operator=(const SavedSettingsKey&) = delete;

private:
    std::string savedName; // empty: there was no key to save
};

// What a test that scans starts from: the user's settings moved aside as
// above, every default stored (every section and group on), and the scan log
// written into a folder of the test's own that goes at the end.
class DefaultSettings {
public:
    DefaultSettings();
    const std::string& LogFolder() const { return logs.Path(); }
    // Every section off but these.
    void OnlySections(std::initializer_list<unsigned> on);

private:
    SavedSettingsKey saved;
    PlantedFolder logs;
};
