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

Tweak TextTweak(const char* title, HKEY root, const char* subkey, const char* valueName,
                const char* text)
{
    return {title, root, subkey, valueName, TweakKind::Text, text, 0};
}

Tweak NumberTweak(const char* title, HKEY root, const char* subkey, const char* valueName,
                  DWORD number)
{
    return {title, root, subkey, valueName, TweakKind::Number, nullptr, number};
}

const HKEY user = HKEY_CURRENT_USER;
const HKEY machine = HKEY_LOCAL_MACHINE;
const char* const desktop = "Control Panel\\Desktop";
const char* const winlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const char* const dnsCache = "System\\CurrentControlSet\\Services\\Dnscache\\Parameters";

const Tweak catalogue[] = {
    TextTweak("Animate Windows While Minimizing / Maximizing.", user,
              "Control Panel\\Desktop\\WindowMetrics", "MinAniMate", "0"),
    TextTweak("Reduce Delay Time Of Cascading Menus.", user, desktop, "MenuShowDelay", "0"),
    NumberTweak("Improve NTFS Performance.", machine,
                "SYSTEM\\CurrentControlSet\\Control\\FileSystem", "NtfsDisableLastAccessUpdate", 1),
    TextTweak("Unload freed up DLLs to conserve memory.", machine,
              "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer", "AlwaysUnloadDLL", "1"),
    NumberTweak("Optimize Hard Disk When Idle.", machine,
                "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout", "EnableAutoLayout",
                1),
    TextTweak("Disable Net Access To Floppy Drive.", machine, winlogon, "allocatefloppies", "1"),
    TextTweak("Disable Net Access To CDROM Drive.", machine, winlogon, "allocatecdroms", "1"),
    NumberTweak("Optimize Cache Speed1.", machine, dnsCache, "CacheHashTableBucketSize", 1),
    NumberTweak("Optimize Cache Speed2.", machine, dnsCache, "CacheHashTableSize", 384),
    NumberTweak("Optimize Cache Speed3.", machine, dnsCache, "MaxCacheEntryTtlLimit", 64000),
    NumberTweak("Optimize Cache Speed4.", machine, dnsCache, "MaxSOACacheEntryTtlLimit", 301),
    NumberTweak("TCP Tweak Better Network Performance.", machine,
                "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "EnablePMTUDiscovery", 1),
    NumberTweak("Turn Off Caching Thumbnail Pictures.", user,
                "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                "NoThumbnailCache", 1),
    TextTweak("End Tasks Before System Reboot Automatically.", user, desktop, "AutoEndTasks", "1"),
    TextTweak("Reduce Wait Time Before Hung Processes End.", user, desktop, "HungAppTimeout", "20"),
    TextTweak("Reduce Time System Waits For Processes Before Log Off.", user, desktop,
              "WaitToKillAppTimeout", "1000"),
    TextTweak("Kill Services Quicker For Faster Shutdown Time.", machine,
              "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout", "500"),
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
