#include "scan/Tweaks.h"

#include <windows.h>

#include <cstring>

#include "core/Registry.h"
#include "scan/ScanContext.h"

namespace {

enum class TweakKind { Text, Number };

struct Tweak {
    const char* title;
    HKEY root;
    const char* subkey;
    const char* valueName; // unique: it names the tweak
    TweakKind kind;
    const char* text;      // recommended text of a Text tweak
    DWORD number;          // recommended number of a Number tweak
};

const Tweak catalogue[] = {
    {"Animate Windows While Minimizing / Maximizing.", HKEY_CURRENT_USER,
     "Control Panel\\Desktop\\WindowMetrics", "MinAniMate", TweakKind::Text, "0", 0},
    {"Reduce Delay Time Of Cascading Menus.", HKEY_CURRENT_USER, "Control Panel\\Desktop",
     "MenuShowDelay", TweakKind::Text, "0", 0},
    {"Improve NTFS Performance.", HKEY_LOCAL_MACHINE,
     "SYSTEM\\CurrentControlSet\\Control\\FileSystem", "NtfsDisableLastAccessUpdate",
     TweakKind::Number, nullptr, 1},
    {"Unload freed up DLLs to conserve memory.", HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer", "AlwaysUnloadDLL",
     TweakKind::Text, "1", 0},
    {"Optimize Hard Disk When Idle.", HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout", "EnableAutoLayout",
     TweakKind::Number, nullptr, 1},
    {"Disable Net Access To Floppy Drive.", HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "allocatefloppies",
     TweakKind::Text, "1", 0},
    {"Disable Net Access To CDROM Drive.", HKEY_LOCAL_MACHINE,
     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "allocatecdroms",
     TweakKind::Text, "1", 0},
    {"Optimize Cache Speed1.", HKEY_LOCAL_MACHINE,
     "System\\CurrentControlSet\\Services\\Dnscache\\Parameters", "CacheHashTableBucketSize",
     TweakKind::Number, nullptr, 1},
    {"Optimize Cache Speed2.", HKEY_LOCAL_MACHINE,
     "System\\CurrentControlSet\\Services\\Dnscache\\Parameters", "CacheHashTableSize",
     TweakKind::Number, nullptr, 384},
    {"Optimize Cache Speed3.", HKEY_LOCAL_MACHINE,
     "System\\CurrentControlSet\\Services\\Dnscache\\Parameters", "MaxCacheEntryTtlLimit",
     TweakKind::Number, nullptr, 64000},
    {"Optimize Cache Speed4.", HKEY_LOCAL_MACHINE,
     "System\\CurrentControlSet\\Services\\Dnscache\\Parameters", "MaxSOACacheEntryTtlLimit",
     TweakKind::Number, nullptr, 301},
    {"TCP Tweak Better Network Performance.", HKEY_LOCAL_MACHINE,
     "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "EnablePMTUDiscovery",
     TweakKind::Number, nullptr, 1},
    {"Turn Off Caching Thumbnail Pictures.", HKEY_CURRENT_USER,
     "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoThumbnailCache",
     TweakKind::Number, nullptr, 1},
    {"End Tasks Before System Reboot Automatically.", HKEY_CURRENT_USER,
     "Control Panel\\Desktop", "AutoEndTasks", TweakKind::Text, "1", 0},
    {"Reduce Wait Time Before Hung Processes End.", HKEY_CURRENT_USER, "Control Panel\\Desktop",
     "HungAppTimeout", TweakKind::Text, "20", 0},
    {"Reduce Time System Waits For Processes Before Log Off.", HKEY_CURRENT_USER,
     "Control Panel\\Desktop", "WaitToKillAppTimeout", TweakKind::Text, "1000", 0},
    {"Kill Services Quicker For Faster Shutdown Time.", HKEY_LOCAL_MACHINE,
     "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout", TweakKind::Text, "500",
     0},
};

// A value that cannot be read (missing, too long for the buffer) counts as
// not set.
bool AlreadySet(RegKey& key, const Tweak& tweak)
{
    if (tweak.kind == TweakKind::Text) {
        char buffer[260] = {};
        DWORD size = sizeof(buffer);
        if (key.QueryStringValue(buffer, tweak.valueName, &size) != ERROR_SUCCESS)
            return false;
        return std::string(buffer, strnlen(buffer, sizeof(buffer))) == tweak.text;
    }
    DWORD value = 0;
    return key.QueryDwordValue(value, tweak.valueName) == ERROR_SUCCESS && value == tweak.number;
}

} // namespace

// All entries are checked in one go: the list is short and fixed, so the
// section neither watches the abort flag nor moves the progress bar.
void ScanTweaks(ScanContext& context)
{
    for (const Tweak& tweak : catalogue) {
        RegKey key;
        if (key.Open(tweak.root, tweak.subkey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
            continue;
        if (AlreadySet(key, tweak))
            continue;
        context.Report(MakeProblemRecord(SectionTweaks, tweak.valueName,
                                         RootKeyName(tweak.root) + "\\" + tweak.subkey, "", "",
                                         tweak.title));
    }
}

void ApplyTweak(const ProblemRecord& record)
{
    for (const Tweak& tweak : catalogue) {
        if (record.item != tweak.valueName)
            continue;
        RegKey key;
        if (key.Open(tweak.root, tweak.subkey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
            return;
        if (tweak.kind == TweakKind::Text)
            key.SetStringValue(tweak.text, tweak.valueName);
        else
            key.SetDwordValue(tweak.number, tweak.valueName);
        return;
    }
}
