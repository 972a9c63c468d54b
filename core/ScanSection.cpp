#include "core/ScanSection.h"

namespace {

struct SectionInfo {
    const char* settingsKey;
    const char* rowLabel;   // null: the settings key
    const char* description;
};

const SectionInfo sections[SectionCount] = {
    {"Registry Integrity", nullptr,
     "Errors in this section refer to certain corrupt sections of your registry."},
    {"ActiveX/Classes Section", nullptr,
     "Errors in this section refer to invalid entries in your ActiveX/Classes section.  These may cause errors when attempting to run certain applications."},
    {"Program ID Section", nullptr,
     "Errors in this section refer to invalid entries in your ProgramID Section.  These may cause errors when attempting to run certain applications."},
    {"Add Remove Programs", nullptr,
     "Errors in this section refer to programs that have been installed or uninstalled incorrectly or not completely.  These may cause invalid entries in your add/remove programs section of your control panel."},
    {"Application Paths", nullptr,
     "Errors in this section refer to paths to applications within your computer.  These may cause errors when you attempt to access certain applications."},
    {"Windows Fonts", nullptr,
     "Errors in this section refer to missing fonts.  These may cause errors related to fonts or programs that utilize certain fonts."},
    {"Shared Program Files", nullptr,
     "Errors in this section refer to Shared DLLs within your registry.  These may cause errors when attempting to access certain applications, as well as sporadic errors and system interruptions."},
    {"Help Files", nullptr,
     "Errors in this section refer to missing help files.  These may cause errors when attempting to access help documentation for certain programs."},
    {"Startup Programs", nullptr,
     "Errors in this section refer to missing startup entries.  These may cause errors when you start up your computer."},
    {"System Services", nullptr,
     "Errors in this section refer to services whose program files are missing.  These may cause errors when Windows starts certain services."},
    {"VXD Section", nullptr,
     "Errors in this section refer to errors in virtual device drivers.  These may cause sporadic errors and system interruptions."},
    {"File Associations", nullptr,
     "Errors in this section refer to missing file associations.  These may cause errors when you attempt to access programs associated with certain types of files."},
    {"Sounds Section", nullptr,
     "These refer to missing sound files.  These may cause errors when certain Windows sound files are called by certain applications."},
    {"Complete Registry Scan", nullptr,
     "These are invalid references located throughout your entire registry."},
    {"Invalid Shortcuts", nullptr,
     "Errors in this section refer to Windows shortcuts that are not pointing to valid file locations."},
    {"MRULocations", "MRU Locations",
     "Error in this section refer to missing files in MRU Locations."},
    {"Windows Temp Files", nullptr, "Windows Temp files, just taking space."},
    {"ScanDisk Files", nullptr, "ScanDisk Temp Files, just taking space"},
    {"", nullptr, ""},
    {"IE Cookies", nullptr, "IE Cookies Description"},
    {"IE TempFiles", nullptr, "IE Temp Files"},
    {"IE TypedURLs", nullptr, "IE typed URLs"},
    {"Windows Tweaks", nullptr, "Windows Tweaks"},
};

} // namespace

const char* SectionSettingsKey(unsigned code)
{
    return code < SectionCount ? sections[code].settingsKey : "";
}

const char* SectionRowLabel(unsigned code)
{
    if (code >= SectionCount)
        return "";
    return sections[code].rowLabel ? sections[code].rowLabel : sections[code].settingsKey;
}

std::string SectionStatusText(unsigned code)
{
    return std::string("Scanning: ") + SectionSettingsKey(code);
}

SectionGroupId SectionGroup(unsigned code)
{
    if (code <= 15) return GroupRegistry;
    if (code <= 18) return GroupWindows;
    if (code <= 21) return GroupIETemp;
    if (code == 22) return GroupTweaks;
    return GroupNone;
}

const char* SectionDescription(unsigned code)
{
    return code < SectionCount ? sections[code].description : "";
}

const char* GroupSettingsKey(SectionGroupId group)
{
    switch (group) {
    case GroupRegistry: return "Registry Section";
    case GroupWindows: return "Windows Section";
    case GroupIETemp: return "IE Temp Section";
    case GroupTweaks: return "Tweaks Section";
    default: return "";
    }
}
