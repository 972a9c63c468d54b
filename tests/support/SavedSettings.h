#pragma once
// The program's settings as a test finds them, put back when it ends: the
// settings key is copied aside first, or removed again when the prefix had
// none. Meanwhile the test writes settings freely.

#include <string>
#include <vector>

class SavedSettings {
public:
    SavedSettings();
    ~SavedSettings();
    SavedSettings(const SavedSettings&) = delete;
    SavedSettings& operator=(const SavedSettings&) = delete;

    static void Set(const std::string& name, const std::string& text);
    // Every section on or off: on for the codes listed, off for the others.
    static void OnlySections(const std::vector<unsigned>& on);
    // The setting's text, or "<missing>".
    static std::string Get(const std::string& name);

private:
    bool existed = false;
};
