#pragma once
// The settings store: REG_SZ values under HKEY_CURRENT_USER\SOFTWARE\Quillmoor8.

#include <string>

// 1 and the value's text, or 0 with `text` untouched (missing, unreadable,
// longer than the buffer).
int ReadSetting(const std::string& name, std::string& text);
// 1 when stored; never creates the key.
int WriteSetting(const std::string& name, const std::string& text);
// A flag is on when its text is "1" without regard to case; missing is off.
bool SettingOn(const std::string& name);
int SettingsKeyMissing();
int WriteDefaultSettings();
