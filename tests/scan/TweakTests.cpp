#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <string>

#include "core/Registry.h"
#include "scan/Tweaks.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"

namespace {

const HKEY CU = HKEY_CURRENT_USER, LM = HKEY_LOCAL_MACHINE;
const char desktop[] = "Control Panel\\Desktop";
const char winlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const char dnsCache[] = "System\\CurrentControlSet\\Services\\Dnscache\\Parameters";

struct Expected {
    const char *title;
    HKEY root;
    const char *subkey, *name, *text; // the recommended text; null for a number
    DWORD number;
};

const Expected tweaks[] = {
    {"Animate Windows While Minimizing / Maximizing.", CU, "Control Panel\\Desktop\\WindowMetrics",
     "MinAniMate", "0", 0},
    {"Reduce Delay Time Of Cascading Menus.", CU, desktop, "MenuShowDelay", "0", 0},
    {"Improve NTFS Performance.", LM, "SYSTEM\\CurrentControlSet\\Control\\FileSystem",
     "NtfsDisableLastAccessUpdate", nullptr, 1},
    {"Unload freed up DLLs to conserve memory.", LM,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer", "AlwaysUnloadDLL", "1", 0},
    {"Optimize Hard Disk When Idle.", LM,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout", "EnableAutoLayout", nullptr, 1},
    {"Disable Net Access To Floppy Drive.", LM, winlogon, "allocatefloppies", "1", 0},
    {"Disable Net Access To CDROM Drive.", LM, winlogon, "allocatecdroms", "1", 0},
    {"Optimize Cache Speed1.", LM, dnsCache, "CacheHashTableBucketSize", nullptr, 1},
    {"Optimize Cache Speed2.", LM, dnsCache, "CacheHashTableSize", nullptr, 384},
    {"Optimize Cache Speed3.", LM, dnsCache, "MaxCacheEntryTtlLimit", nullptr, 64000},
    {"Optimize Cache Speed4.", LM, dnsCache, "MaxSOACacheEntryTtlLimit", nullptr, 301},
    {"TCP Tweak Better Network Performance.", LM,
     "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "EnablePMTUDiscovery", nullptr, 1},
    {"Turn Off Caching Thumbnail Pictures.", CU,
     "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoThumbnailCache",
     nullptr, 1},
    {"End Tasks Before System Reboot Automatically.", CU, desktop, "AutoEndTasks", "1", 0},
    {"Reduce Wait Time Before Hung Processes End.", CU, desktop, "HungAppTimeout", "20", 0},
    {"Reduce Time System Waits For Processes Before Log Off.", CU, desktop,
     "WaitToKillAppTimeout", "1000", 0},
    {"Kill Services Quicker For Faster Shutdown Time.", LM, "SYSTEM\\CurrentControlSet\\Control",
     "WaitToKillServiceTimeout", "500", 0},
};

// A value as stored: its type as one character, then its bytes; empty when missing.
std::string Stored(const Expected& tweak)
{
    char buffer[1024];
    DWORD type = REG_NONE, size = sizeof(buffer);
    if (SHGetValueA(tweak.root, tweak.subkey, tweak.name, &type, buffer, &size) != ERROR_SUCCESS)
        return "";
    return static_cast<char>(type) + std::string(buffer, size);
}

void Store(const Expected& tweak, const std::string& value)
{
    EXPECT_EQ(SHSetValueA(tweak.root, tweak.subkey, tweak.name, value[0], value.data() + 1,
                          static_cast<DWORD>(value.size() - 1)),
              ERROR_SUCCESS);
}

std::string Text(const std::string& text) { return static_cast<char>(REG_SZ) + text + '\0'; }

std::string Number(DWORD number)
{
    return static_cast<char>(REG_DWORD) + std::string(reinterpret_cast<char*>(&number), 4);
}

// The record a scan offers for the tweak, or null.
ProblemPtr Offered(const Expected& tweak)
{
    RecordingContext context;
    ScanTweaks(context);
    for (ProblemPtr& record : context.records)
        if (record->item == tweak.name)
            return std::move(record);
    return nullptr;
}

} // namespace

// The checks are few and quick: they all run even after an abort.
TEST(Tweaks, EachIsOfferedUntilSetAndApplyingWritesTheRecommendedValue)
{
    keepScanning = 0;
    for (const Expected& tweak : tweaks) {
        SCOPED_TRACE(tweak.name);
        PlantedKey guard(tweak.root, tweak.subkey); // the system's setting is put back at the end
        guard.Keep(tweak.name);

        SHDeleteValueA(tweak.root, tweak.subkey, tweak.name);
        ProblemPtr record = Offered(tweak);
        ASSERT_NE(record, nullptr) << "not offered while missing";
        EXPECT_EQ(std::to_string(record->checked) + "|" + std::to_string(record->section) + "|" +
                      record->keyPath + "|" + record->description + "|" + record->valueName +
                      record->valueData + "|" + std::to_string(record->sizeBytes),
                  "1|22|" + RootLongName(tweak.root) + "\\" + tweak.subkey + "|" + tweak.title +
                      "||0.000000");

        // Text is compared exactly: a trailing blank or a leading zero makes another value.
        const std::string recommended = tweak.text ? Text(tweak.text) : Number(tweak.number);
        const std::string others[] = {
            tweak.text ? Text(tweak.text + std::string(" ")) : Number(tweak.number + 1),
            tweak.text ? Text("0" + std::string(tweak.text)) : Number(tweak.number * 2)};
        Store(tweak, recommended);
        EXPECT_EQ(Offered(tweak), nullptr) << "offered while set";
        for (const std::string& other : others) {
            Store(tweak, other);
            EXPECT_NE(Offered(tweak), nullptr) << "not offered with another value";
        }

        ApplyTweak(*record);
        EXPECT_EQ(Stored(tweak), recommended);
        EXPECT_EQ(Offered(tweak), nullptr) << "still offered once applied";
    }
}

TEST(Tweaks, MissingKeyIsNeitherOfferedNorCreated)
{
    const Expected& optimalLayout = tweaks[4]; // a key this prefix lacks
    ASSERT_FALSE(KeyExists(optimalLayout.root, optimalLayout.subkey));
    ProblemPtr record = NewProblemRecord();
    record->item = optimalLayout.name;
    ApplyTweak(*record);
    EXPECT_FALSE(KeyExists(optimalLayout.root, optimalLayout.subkey));
    EXPECT_EQ(Offered(optimalLayout), nullptr);
}
