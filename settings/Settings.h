#pragma once
// The settings store: REG_SZ values under HKEY_CURRENT_USER\SOFTWARE\Quillmoor8.

#include <map>
#include <string>

// The settings key below HKEY_CURRENT_USER.
extern const char settingsKeyPath[];

// 1 and the value's text, or 0 with `text` untouched (missing, unreadable,
// 255 characters or longer).
int ReadSetting(const std::string& name, std::string& text);
// 1 when stored; never creates the key.
int WriteSetting(const std::string& name, const std::string& text);
// A flag is on when its text is "1" without regard to case; missing is off.
bool SettingOn(const std::string& name);
int SettingsKeyMissing();
int WriteDefaultSettings();

// The program's own entry in the current user's Run key: "AutoRun" is set to
// match first, then the entry "Quillmoor8.exe" (the program folder followed
// by that name) is written (on) or removed (off). The result is that of the
// Run key change.
int SetStartWithWindows(bool on);

// Settings a headless run imposes on itself. While an overlay is in place,
// reads of its names answer from it and writes to them stay in it, so the
// user's store is neither consulted nor changed for them. Put it in place
// before a scan starts and drop it after the scan has ended; one at a time.
class SettingsOverlay {
public:
    struct NoCase {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    using Values = std::map<std::string, std::string, NoCase>;

    explicit SettingsOverlay(Values values);
    ~SettingsOverlay();
    SettingsOverlay(const SettingsOverlay&) = delete;
    SettingsOverlay& operator=(const SettingsOverlay&) = delete;

private:
    Values values;
    friend int ReadSetting(const std::string&, std::string&);
    friend int WriteSetting(const std::string&, const std::string&);
};
