#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "core/Registry.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/RegistryTree.h"
#include "support/SavedBackEnd.h"

namespace {

using namespace std::string_literals;

RegistryTree TreeAt(const std::string& path) { return TreeAt(HKEY_CURRENT_USER, path); }

// Wrapped back-end entries fail this many times with this code, then pass through.
int failuresLeft = 0;
LONG failure = 0;

} // namespace

TEST(RegistryNames, OnlyTheFourLongRootNamesAreKnown)
{
    const std::pair<const char*, HKEY> cases[] = {
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT}, {"HKEY_USERS", HKEY_USERS},
        {"hkey_local_machine", nullptr},          {"HKEY_CURRENT_CONFIG", nullptr},
        {"HKLM", nullptr},                        {"HKEY_LOCAL_MACHINE ", nullptr}};
    for (const auto& [name, root] : cases) {
        HKEY split = nullptr;
        std::string subkey;
        EXPECT_EQ(SplitKeyPath(std::string(name) + "\\Control Panel\\Sounds\\", split, subkey),
                  root != nullptr) << name;
        EXPECT_EQ(split, root) << name;
        EXPECT_EQ(subkey, "Control Panel\\Sounds\\") << name;
        EXPECT_EQ(RootKeyName(root), root ? name : "") << name;
    }
}

// Texts up to 255 bytes with their terminator; a failed close is shown and the text dropped.
TEST(ReadRegString, ReadsUpTo255BytesAndNothingLongerNorAfterAFailedClose)
{
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmRead"));
    key.SetString("fits", std::string(254, 'a'));     // 255 bytes with its terminator
    key.SetString("long", std::string(255, 'b'));     // 256 bytes
    key.SetString("expand", "%SystemRoot%\\x.dll", REG_EXPAND_SZ);
    key.SetBinary("bare", {'a', 'b', 'c'}, REG_SZ); // stored without a terminator
    key.SetString("", "default text");
    const std::pair<const char*, std::string> cases[] = {
        {"fits", std::string(254, 'a')}, {"long", ""}, {"expand", "%SystemRoot%\\x.dll"},
        {"bare", "abc"}, {"", "default text"}, {"absent", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), c.first), c.second) << c.first;

    SavedBackEnd restore;
    regApi.RegCloseKey = [](HKEY k) -> LONG {
        RegCloseKey(k);
        return ERROR_INVALID_HANDLE;
    };
    MessageCapture boxes;
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "expand"), "");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Error in RegCloseKey."});
}

TEST(WriteRegValue, StoresTrimmedTextAndNeedsAnExistingKey)
{
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmWrite"));
    EXPECT_EQ(WriteRegValue(HKEY_CURRENT_USER, key.Path(), "cmd", "C:\\app.exe /x  \t\r\n", REG_SZ),
              1);
    EXPECT_EQ(WriteRegValue(HKEY_CURRENT_USER, key.Path(), "exp", "%TEMP%\\a", REG_EXPAND_SZ), 1);
    EXPECT_EQ(WriteRegValue(HKEY_CURRENT_USER, key.Path() + "\\missing", "v", "x", REG_SZ), 0);
    // Read back, a text ends in the terminator the ANSI call adds.
    const RegistryTree expected = {
        {"", {}}, {"|cmd", {REG_SZ, "C:\\app.exe /x\0"s}}, {"|exp", {REG_EXPAND_SZ, "%TEMP%\\a\0"s}}};
    EXPECT_EQ(TreeAt(key.Path()), expected);
}

// A denied delete is tried once more: it succeeds when the denial was
// passing, and leaves everything in place when it lasts.
TEST(DeleteRegKeyAndValue, RemoveWhatTheyNameAndRetryOnceWhenDenied)
{
    SavedBackEnd restore;
    regApi.RegDeleteKeyA = [](HKEY parent, LPCSTR name) -> LONG {
        return failuresLeft-- > 0 ? ERROR_ACCESS_DENIED : RegDeleteKeyA(parent, name);
    };
    regApi.SHDeleteValueA = [](HKEY root, LPCSTR path, LPCSTR name) -> DWORD {
        return failuresLeft-- > 0 ? ERROR_ACCESS_DENIED : SHDeleteValueA(root, path, name);
    };
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmDelete"));
    for (const char* name : {"one", "two", "three"}) {
        key.SetString(name, "1");
        key.Subkey(std::string(name) + "\\deep\\deeper");
    }
    const struct {
        int failures;
        const char* name;
        int result;
    } cases[] = {{0, "one", 1}, {0, "one", 0}, {1, "two", 1}, {100, "three", 0}};
    for (const auto& c : cases) {
        failuresLeft = c.failures;
        EXPECT_EQ(DeleteRegKey(HKEY_CURRENT_USER, key.Path() + "\\" + c.name), c.result) << c.name;
        failuresLeft = c.failures;
        EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.Path(), c.name), c.result) << c.name;
    }
    const RegistryTree expected = {{"", {}}, {"|three", {REG_SZ, "1\0"s}}, {"three\\", {}},
                                   {"three\\deep\\", {}}, {"three\\deep\\deeper\\", {}}};
    EXPECT_EQ(TreeAt(key.Path()), expected);
}

TEST(CopyRegKey, CopiesTheWholeTreeExactlyEvenIntoItselfAndStopsAtRealErrors)
{
    PlantedKey source(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmCopySrc"));
    source.SetString("", "default");
    source.SetString("expand", "%WINDIR%\\x", REG_EXPAND_SZ);
    source.SetDword("number", 0x12345678);
    source.SetBinary("big", std::vector<BYTE>(5000, 0xAB));
    source.SetBinary("multi", {'a', 0, 'b', 0, 0}, REG_MULTI_SZ);
    source.Subkey("Other");
    ASSERT_EQ(WriteRegValue(HKEY_CURRENT_USER, source.Subkey("one\\two"), "d", "deep value", REG_SZ), 1);
    const RegistryTree original = TreeAt(source.Path());
    PlantedKey target(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmCopyDst"));
    RegKey from, to;
    ASSERT_EQ(from.Open(HKEY_CURRENT_USER, source.Path(), KEY_ALL_ACCESS), 0);
    ASSERT_EQ(to.Open(HKEY_CURRENT_USER, target.Path(), KEY_ALL_ACCESS), 0);
    EXPECT_EQ(CopyRegKey(from.Handle(), to.Handle(), "Backup\\Entry"), 0);
    EXPECT_EQ(TreeAt(target.Path() + "\\Backup\\Entry"), original);

    // Into a subkey of itself: the new key is not copied into itself.
    EXPECT_EQ(CopyRegKey(from.Handle(), from.Handle(), "saved"), 0);
    EXPECT_EQ(TreeAt(source.Path() + "\\saved"), original);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, source.Path() + "\\saved\\saved"));

    // Short of memory: asked again until it works. Any other error ends the copy.
    SavedBackEnd restore;
    regApi.RegEnumValueA = [](HKEY k, DWORD i, LPSTR n, LPDWORD nl, LPDWORD r, LPDWORD t,
                              LPBYTE d, LPDWORD dl) -> LONG {
        return failuresLeft-- > 0 ? failure : RegEnumValueA(k, i, n, nl, r, t, d, dl);
    };
    failuresLeft = 3, failure = ERROR_NOT_ENOUGH_MEMORY;
    EXPECT_EQ(CopyRegKey(from.Handle(), to.Handle(), "retried"), 0);
    EXPECT_EQ(TreeAt(target.Path() + "\\retried"), TreeAt(source.Path()));
    failuresLeft = 1, failure = ERROR_ACCESS_DENIED;
    EXPECT_EQ(CopyRegKey(from.Handle(), to.Handle(), "failed"), ERROR_ACCESS_DENIED);
}
