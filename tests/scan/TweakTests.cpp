#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "scan/Tweaks.h"
#include "support/RecordingContext.h"

namespace {

struct Expected {
    const char* title;
    HKEY root;
    const char* rootName;
    const char* subkey;
    const char* name;
    bool text;
    const char* recommendedText;
    DWORD recommendedNumber;
};

const Expected tweaks[] = {
    {"Animate Windows While Minimizing / Maximizing.", HKEY_CURRENT_USER, "HKEY_CURRENT_USER",
     "Control Panel\\Desktop\\WindowMetrics", "MinAniMate", true, "0", 0},
    {"Reduce Delay Time Of Cascading Menus.", HKEY_CURRENT_USER, "HKEY_CURRENT_USER",
     "Control Panel\\Desktop", "MenuShowDelay", true, "0", 0},
    {"Improve NTFS Performance.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "SYSTEM\\CurrentControlSet\\Control\\FileSystem", "NtfsDisableLastAccessUpdate", false,
     nullptr, 1},
    {"Unload freed up DLLs to conserve memory.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer", "AlwaysUnloadDLL", true, "1", 0},
    {"Optimize Hard Disk When Idle.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout", "EnableAutoLayout", false,
     nullptr, 1},
    {"Disable Net Access To Floppy Drive.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "allocatefloppies", true, "1",
     0},
    {"Disable Net Access To CDROM Drive.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "allocatecdroms", true, "1", 0},
    {"Optimize Cache Speed1.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "System\\CurrentControlSet\\Services\\Dnscache\\Parameters", "CacheHashTableBucketSize",
     false, nullptr, 1},
    {"Optimize Cache Speed2.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "System\\CurrentControlSet\\Services\\Dnscache\\Parameters", "CacheHashTableSize", false,
     nullptr, 384},
    {"Optimize Cache Speed3.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "System\\CurrentControlSet\\Services\\Dnscache\\Parameters", "MaxCacheEntryTtlLimit", false,
     nullptr, 64000},
    {"Optimize Cache Speed4.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "System\\CurrentControlSet\\Services\\Dnscache\\Parameters", "MaxSOACacheEntryTtlLimit",
     false, nullptr, 301},
    {"TCP Tweak Better Network Performance.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters", "EnablePMTUDiscovery", false,
     nullptr, 1},
    {"Turn Off Caching Thumbnail Pictures.", HKEY_CURRENT_USER, "HKEY_CURRENT_USER",
     "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoThumbnailCache",
     false, nullptr, 1},
    {"End Tasks Before System Reboot Automatically.", HKEY_CURRENT_USER, "HKEY_CURRENT_USER",
     "Control Panel\\Desktop", "AutoEndTasks", true, "1", 0},
    {"Reduce Wait Time Before Hung Processes End.", HKEY_CURRENT_USER, "HKEY_CURRENT_USER",
     "Control Panel\\Desktop", "HungAppTimeout", true, "20", 0},
    {"Reduce Time System Waits For Processes Before Log Off.", HKEY_CURRENT_USER,
     "HKEY_CURRENT_USER", "Control Panel\\Desktop", "WaitToKillAppTimeout", true, "1000", 0},
    {"Kill Services Quicker For Faster Shutdown Time.", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
     "SYSTEM\\CurrentControlSet\\Control", "WaitToKillServiceTimeout", true, "500", 0},
};

bool KeyOpens(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

struct RawValue {
    bool exists = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

RawValue ReadRaw(HKEY root, const std::string& subkey, const std::string& name)
{
    RawValue value;
    BYTE buffer[1024];
    DWORD size = sizeof(buffer);
    if (SHGetValueA(root, subkey.c_str(), name.c_str(), &value.type, buffer, &size) ==
        ERROR_SUCCESS) {
        value.exists = true;
        value.data.assign(buffer, buffer + size);
    }
    return value;
}

void WriteRaw(HKEY root, const std::string& subkey, const std::string& name, DWORD type,
              const void* data, DWORD size)
{
    ASSERT_EQ(SHSetValueA(root, subkey.c_str(), name.c_str(), type, data, size), ERROR_SUCCESS)
        << subkey << " " << name;
}

void WriteText(const Expected& tweak, const std::string& text)
{
    WriteRaw(tweak.root, tweak.subkey, tweak.name, REG_SZ, text.c_str(),
             static_cast<DWORD>(text.size() + 1));
}

void WriteNumber(const Expected& tweak, DWORD number)
{
    WriteRaw(tweak.root, tweak.subkey, tweak.name, REG_DWORD, &number, sizeof(number));
}

void Remove(const Expected& tweak)
{
    SHDeleteValueA(tweak.root, tweak.subkey, tweak.name);
}

// Keeps a real setting of the system as it was: its value, or its key's
// absence (a key this guard created is removed again, with any parents it
// had to create).
class ValueGuard {
public:
    explicit ValueGuard(const Expected& tweak) : tweak(tweak)
    {
        std::string path = tweak.subkey;
        for (size_t pos = path.find('\\'); ; pos = path.find('\\', pos + 1)) {
            std::string prefix = path.substr(0, pos);
            if (!KeyOpens(tweak.root, prefix)) {
                createdTop = prefix;
                break;
            }
            if (pos == std::string::npos)
                break;
        }
        saved = ReadRaw(tweak.root, tweak.subkey, tweak.name);
        HKEY key;
        EXPECT_EQ(RegCreateKeyExA(tweak.root, tweak.subkey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    ~ValueGuard()
    {
        if (!createdTop.empty())
            SHDeleteKeyA(tweak.root, createdTop.c_str());
        else if (saved.exists)
            SHSetValueA(tweak.root, tweak.subkey, tweak.name, saved.type, saved.data.data(),
                        static_cast<DWORD>(saved.data.size()));
        else
            Remove(tweak);
    }
    ValueGuard(const ValueGuard&) = delete;
    ValueGuard& operator=(const ValueGuard&) = delete;

private:
    const Expected& tweak;
    std::string createdTop;
    RawValue saved;
};

// The record offered for the tweak, or null.
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

TEST(Tweaks, EachIsOfferedUntilSetAndApplyingWritesTheRecommendedValue)
{
    for (const Expected& tweak : tweaks) {
        SCOPED_TRACE(tweak.name);
        ValueGuard guard(tweak);

        Remove(tweak);
        ProblemPtr record = Offered(tweak);
        ASSERT_NE(record, nullptr) << "not offered while missing";
        EXPECT_EQ(record->checked, 1u);
        EXPECT_EQ(record->section, 22u);
        EXPECT_EQ(record->keyPath, std::string(tweak.rootName) + "\\" + tweak.subkey);
        EXPECT_EQ(record->description, tweak.title);
        EXPECT_EQ(record->valueName, "");
        EXPECT_EQ(record->valueData, "");
        EXPECT_EQ(record->sizeBytes, 0.0);

        if (tweak.text) {
            WriteText(tweak, tweak.recommendedText);
            EXPECT_EQ(Offered(tweak), nullptr) << "offered while set";
            // Compared exactly: a blank or a leading zero makes another text.
            WriteText(tweak, std::string(tweak.recommendedText) + " ");
            EXPECT_NE(Offered(tweak), nullptr) << "not offered with a trailing blank";
            WriteText(tweak, std::string("0") + tweak.recommendedText);
            EXPECT_NE(Offered(tweak), nullptr) << "not offered with a leading zero";
        } else {
            WriteNumber(tweak, tweak.recommendedNumber);
            EXPECT_EQ(Offered(tweak), nullptr) << "offered while set";
            WriteNumber(tweak, tweak.recommendedNumber + 1);
            EXPECT_NE(Offered(tweak), nullptr) << "not offered with another number";
        }

        ApplyTweak(*record);
        RawValue written = ReadRaw(tweak.root, tweak.subkey, tweak.name);
        ASSERT_TRUE(written.exists);
        if (tweak.text) {
            EXPECT_EQ(written.type, static_cast<DWORD>(REG_SZ));
            std::string text = tweak.recommendedText;
            // Stored with its terminating zero.
            EXPECT_EQ(written.data, std::vector<BYTE>(text.c_str(), text.c_str() + text.size() + 1));
        } else {
            EXPECT_EQ(written.type, static_cast<DWORD>(REG_DWORD));
            ASSERT_EQ(written.data.size(), sizeof(DWORD));
            DWORD number;
            memcpy(&number, written.data.data(), sizeof(number));
            EXPECT_EQ(number, tweak.recommendedNumber);
        }
        EXPECT_EQ(Offered(tweak), nullptr) << "still offered once applied";
    }
}

TEST(Tweaks, AllChecksCompleteEvenAfterAnAbort)
{
    ValueGuard first(tweaks[0]);
    ValueGuard last(tweaks[16]);
    Remove(tweaks[0]);
    Remove(tweaks[16]);
    keepScanning = 0;

    RecordingContext context;
    ScanTweaks(context);

    EXPECT_NE(context.FindItem(tweaks[0].name), nullptr);
    EXPECT_NE(context.FindItem(tweaks[16].name), nullptr);
    EXPECT_EQ(context.steps, 0);
    EXPECT_TRUE(context.CallsStartingWith("ShowItem").empty());
}

TEST(Tweaks, MissingKeyIsNeitherOfferedNorCreated)
{
    const Expected& optimalLayout = tweaks[4];
    ASSERT_FALSE(KeyOpens(optimalLayout.root, optimalLayout.subkey))
        << "the test prefix is expected to lack this key";

    RecordingContext context;
    ScanTweaks(context);
    EXPECT_EQ(context.FindItem(optimalLayout.name), nullptr);

    ProblemPtr record = NewProblemRecord();
    record->section = 22;
    record->item = optimalLayout.name;
    ApplyTweak(*record);
    EXPECT_FALSE(KeyOpens(optimalLayout.root, optimalLayout.subkey));
}

TEST(Tweaks, ApplyingMatchesTheValueNameExactly)
{
    const Expected& menuDelay = tweaks[1];
    ValueGuard guard(menuDelay);
    WriteText(menuDelay, "400");

    ProblemPtr record = NewProblemRecord();
    record->section = 22;
    record->item = "menushowdelay";
    ApplyTweak(*record);

    RawValue value = ReadRaw(menuDelay.root, menuDelay.subkey, menuDelay.name);
    EXPECT_EQ(std::string(value.data.begin(), value.data.end()), std::string("400", 4));
}
