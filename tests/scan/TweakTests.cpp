#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <string>

#include "core/Registry.h"
#include "scan/Tweaks.h"
#include "support/Planted.h"
#include "support/RecordingContext.h"
#include "support/RegistryTree.h"

namespace {

struct Expected {
    const char *title;
    HKEY root;
    const char *subkey, *name, *text; // the recommended text; null for a number
    DWORD number;
};

// Texts and numbers, under both roots.
const Expected tweaks[] = {
    {"Animate Windows While Minimizing / Maximizing.", HKEY_CURRENT_USER,
     "Control Panel\\Desktop\\WindowMetrics", "MinAniMate", "0", 0},
    {"Reduce Wait Time Before Hung Processes End.", HKEY_CURRENT_USER, "Control Panel\\Desktop",
     "HungAppTimeout", "20", 0},
    {"Improve NTFS Performance.", HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\FileSystem",
     "NtfsDisableLastAccessUpdate", nullptr, 1},
    {"Optimize Cache Speed2.", HKEY_LOCAL_MACHINE,
     "System\\CurrentControlSet\\Services\\Dnscache\\Parameters", "CacheHashTableSize", nullptr, 384},
};

// A value's type and bytes, as a registry tree holds them.
using Value = std::pair<DWORD, std::string>;
Value Text(const std::string& text) { return {REG_SZ, text + '\0'}; }
Value Number(DWORD number) { return {REG_DWORD, std::string(reinterpret_cast<char*>(&number), 4)}; }

// The record a scan offers for the tweak, or null.
ProblemPtr Offered(const char* name)
{
    RecordingContext context;
    ScanTweaks(context);
    for (ProblemPtr& record : context.records)
        if (record->item == name)
            return std::move(record);
    return nullptr;
}

} // namespace

// The checks are few and quick: they all run even after an abort.
TEST(Tweaks, EachIsOfferedUntilSetAndApplyingWritesTheRecommendedValueWhereItsKeyExists)
{
    keepScanning = 0;
    for (const Expected& tweak : tweaks) {
        SCOPED_TRACE(tweak.name);
        PlantedKey guard(tweak.root, tweak.subkey); // the system's setting is put back at the end
        guard.Keep(tweak.name);

        SHDeleteValueA(tweak.root, tweak.subkey, tweak.name);
        ProblemPtr record = Offered(tweak.name);
        ASSERT_NE(record, nullptr) << "not offered while missing";
        EXPECT_EQ(RecordText(*record),
                  RecordText(22, tweak.name, RootKeyName(tweak.root) + "\\" + tweak.subkey, "", "", tweak.title));

        // Text is compared exactly: a trailing blank or a leading zero makes another value.
        const Value recommended = tweak.text ? Text(tweak.text) : Number(tweak.number);
        for (const Value& value :
             {recommended, tweak.text ? Text(tweak.text + std::string(" ")) : Number(tweak.number + 1),
              tweak.text ? Text("0" + std::string(tweak.text)) : Number(tweak.number * 2)}) {
            SHSetValueA(tweak.root, tweak.subkey, tweak.name, value.first, value.second.data(),
                        static_cast<DWORD>(value.second.size()));
            EXPECT_EQ(Offered(tweak.name) == nullptr, value == recommended);
        }

        ApplyTweak(*record);
        EXPECT_EQ(TreeAt(tweak.root, tweak.subkey)["|" + std::string(tweak.name)], recommended);
        EXPECT_EQ(Offered(tweak.name), nullptr) << "still offered once applied";
    }

    // A tweak whose key this prefix lacks is neither offered nor created.
    const char optimalLayout[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\OptimalLayout";
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, optimalLayout));
    ProblemPtr record = NewProblemRecord();
    record->item = "EnableAutoLayout";
    ApplyTweak(*record);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, optimalLayout));
    EXPECT_EQ(Offered("EnableAutoLayout"), nullptr);
}
