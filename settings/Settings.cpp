#include "settings/Settings.h"

#include "core/PathCheck.h"
#include "core/Registry.h"
#include "core/ScanSection.h"

#include <cstring>

const char settingsKeyPath[] = "SOFTWARE\\Quillmoor8";

namespace {

const char* const settingsKey = settingsKeyPath;
const char runValueName[] = "Quillmoor8.exe";
constexpr size_t readBufferSize = 260;
constexpr size_t callerBufferSize = 255;

// At first start every section and every group is on. The sections are
// written in this order, then the groups, then the other settings.
const SectionCode sectionWriteOrder[] = {
    SectionRegistryIntegrity, SectionActiveX, SectionProgramId, SectionAddRemove, SectionFonts,
    SectionSharedDlls, SectionHelpFiles, SectionStartup, SectionServices, SectionVxd,
    SectionFileAssoc, SectionSounds, SectionCompleteRegistry, SectionShortcuts, SectionAppPaths,
    SectionMru, SectionWinTemp, SectionScanDisk, SectionIECookies, SectionIETemp,
    SectionIETypedUrls, SectionTweaks};

struct Default {
    const char* name;
    const char* text; // null: the log folder below the program folder
};

const Default otherDefaults[] = {
    {"Generate Log", "1"}, {"Log File Path", nullptr}, {"AutoRun", "0"},
    {"NoAutoBackup", "0"}, {"CheckAllItems", "1"},     {"Version", "8.0"},
};

SettingsOverlay* overlay = nullptr;

} // namespace

bool SettingsOverlay::NoCase::operator()(const std::string& a, const std::string& b) const
{
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
}

SettingsOverlay::SettingsOverlay(Values values) : values(std::move(values))
{
    overlay = this;
}

SettingsOverlay::~SettingsOverlay()
{
    overlay = nullptr;
}

int ReadSetting(const std::string& name, std::string& text)
{
    if (name.empty())
        return 0;
    if (overlay) {
        auto found = overlay->values.find(name);
        if (found != overlay->values.end()) {
            text = found->second;
            return 1;
        }
    }
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, settingsKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return 0;
    // A value that does not fit the 260-byte buffer counts as absent.
    char buffer[readBufferSize] = {};
    DWORD size = sizeof(buffer);
    DWORD type = REG_SZ;
    if (regApi.RegQueryValueExA(key.Handle(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return 0;
    // Stored without a terminating zero, the text may fill the buffer to its
    // end; it must also leave room for the zero in the 255-byte buffers the
    // callers have always handed in, so anything longer counts as absent too.
    size_t length = strnlen(buffer, size < sizeof(buffer) ? size : sizeof(buffer));
    if (length >= callerBufferSize)
        return 0;
    text.assign(buffer, length);
    return 1;
}

int WriteSetting(const std::string& name, const std::string& text)
{
    if (name.empty())
        return 0;
    if (overlay) {
        auto found = overlay->values.find(name);
        if (found != overlay->values.end()) {
            found->second = text;
            return 1;
        }
    }
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, settingsKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return 0;
    // Stored without the terminating zero; readers terminate what they read.
    return regApi.RegSetValueExA(key.Handle(), name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.data()),
                                 static_cast<DWORD>(text.size())) == ERROR_SUCCESS;
}

bool SettingOn(const std::string& name)
{
    std::string text;
    return ReadSetting(name, text) && lstrcmpiA(text.c_str(), "1") == 0;
}

int SettingsKeyMissing()
{
    RegKey key;
    return key.Open(HKEY_CURRENT_USER, settingsKey, KEY_ALL_ACCESS) != ERROR_SUCCESS;
}

int WriteDefaultSettings()
{
    {
        RegKey software;
        if (software.Open(HKEY_CURRENT_USER, "SOFTWARE", KEY_ALL_ACCESS) != ERROR_SUCCESS)
            return 0;
        HKEY created = nullptr;
        if (regApi.RegCreateKeyA(software.Handle(), "Quillmoor8", &created) != ERROR_SUCCESS)
            return 0;
        RegKey owner(created);
    }
    const std::string logFolder = GetProgramFolder() + "\\logs";
    for (SectionCode code : sectionWriteOrder)
        WriteSetting(SectionSettingsKey(code), "1");
    for (SectionGroupId group : {GroupRegistry, GroupWindows, GroupIETemp, GroupTweaks})
        WriteSetting(GroupSettingsKey(group), "1");
    for (const Default& entry : otherDefaults)
        WriteSetting(entry.name, entry.text ? entry.text : logFolder);
    // The log folder the settings name exists from the start: a setting that
    // names a missing folder is just what the complete scan looks for.
    CreateDirectoryA(logFolder.c_str(), nullptr);
    return 1;
}

namespace {

std::string StartupCommand()
{
    // The entry names the program by its installed name, whatever the
    // running file happens to be called.
    return GetProgramFolder() + "\\" + runValueName;
}

} // namespace

int SetStartWithWindows(bool on)
{
    if (on) {
        WriteSetting("AutoRun", "1");
        return SetStartupRunValue(runValueName, StartupCommand());
    }
    WriteSetting("AutoRun", "0");
    return RemoveStartupRunValue(runValueName);
}
