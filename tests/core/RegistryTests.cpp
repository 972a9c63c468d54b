#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>
#include <shlwapi.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/Registry.h"
#include "support/Planted.h"
#include "support/UiDriver.h"

namespace {

// Puts the real back end back when a test that wrapped an entry ends.
struct BackEndRestorer {
    RegistryBackEnd saved = regApi;
    ~BackEndRestorer() { regApi = saved; }
};

// Everything below a key as "sub\key|value" -> type and bytes, for comparing trees.
using TreeDump = std::map<std::string, std::pair<DWORD, std::vector<BYTE>>>;

void DumpTree(HKEY root, const std::string& path, const std::string& prefix, TreeDump& dump)
{
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS) << path;
    dump[prefix + "<key>"] = {};
    for (DWORD i = 0;; ++i) {
        char name[300];
        DWORD nameLength = sizeof(name);
        BYTE data[8192];
        DWORD dataLength = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS)
            break;
        dump[prefix + "|" + name] = {type, std::vector<BYTE>(data, data + dataLength)};
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        char name[300];
        if (RegEnumKeyA(key, i, name, sizeof(name)) != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const std::string& child : children)
        DumpTree(root, path + "\\" + child, prefix + child + "\\", dump);
}

TreeDump Tree(HKEY root, const std::string& path)
{
    TreeDump dump;
    DumpTree(root, path, "", dump);
    return dump;
}

// The stored bytes of a value, or nothing when it is absent.
bool RawValue(HKEY root, const std::string& path, const std::string& name, DWORD& type,
              std::string& bytes)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char data[2048];
    DWORD size = sizeof(data);
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data),
                               &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return false;
    // Text is written without its terminator; the system adds one when the
    // byte after the data happens to be zero, so compare up to it.
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && size > 0 && data[size - 1] == '\0')
        --size;
    bytes.assign(data, size);
    return true;
}

std::string TestKeyPath(const std::string& stem)
{
    return "Software\\" + UniqueName(stem);
}

} // namespace

TEST(RegistryNames, RootNamesAreExactAndKnowOnlyFourRoots)
{
    struct Case {
        const char* text;
        HKEY root;
    } cases[] = {
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},   {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKEY_USERS", HKEY_USERS},
        {"hkey_local_machine", nullptr},            {"HKEY_CURRENT_CONFIG", nullptr},
        {"HKLM", nullptr},                          {"", nullptr},
        {"HKEY_LOCAL_MACHINE ", nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseRootKeyName(c.text), c.root) << c.text;
        if (c.root) {
            EXPECT_EQ(RootKeyName(c.root), c.text);
        }
    }
    EXPECT_EQ(RootKeyName(HKEY_CURRENT_CONFIG), "");
    EXPECT_EQ(RootKeyName(nullptr), "");

    HKEY root = nullptr;
    std::string subkey;
    EXPECT_TRUE(SplitKeyPath("HKEY_CURRENT_USER\\Control Panel\\Sounds\\", root, subkey));
    EXPECT_EQ(root, HKEY_CURRENT_USER);
    EXPECT_EQ(subkey, "Control Panel\\Sounds\\");
    EXPECT_FALSE(SplitKeyPath("HKCU\\Software", root, subkey));
}

TEST(ReadRegString, ReadsUpTo255BytesAndNothingLonger)
{
    PlantedKey key(HKEY_CURRENT_USER, TestKeyPath("QmRead"));
    key.SetString("fits", std::string(254, 'a'));     // 255 bytes with its terminator
    key.SetString("long", std::string(255, 'b'));     // 256 bytes
    key.SetString("expand", "%SystemRoot%\\x.dll", REG_EXPAND_SZ);
    key.SetBinary("bare", {'a', 'b', 'c'}, REG_SZ); // stored without a terminator
    key.SetString("", "default text");

    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "fits"), std::string(254, 'a'));
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "long"), "");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "expand"), "%SystemRoot%\\x.dll");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "bare"), "abc");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), ""), "default text");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "absent"), "");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path() + "\\absent", "fits"), "");
}

TEST(ReadRegString, AFailedCloseIsShownAndTheTextDropped)
{
    PlantedKey key(HKEY_CURRENT_USER, TestKeyPath("QmClose"));
    key.SetString("name", "value");
    BackEndRestorer restore;
    regApi.RegCloseKey = [](HKEY k) -> LONG {
        RegCloseKey(k);
        return ERROR_INVALID_HANDLE;
    };
    std::string result = "unset";
    std::thread reader([&] { result = ReadRegString(HKEY_CURRENT_USER, key.Path(), "name"); });
    MessageBoxSeen box = WaitForMessageBox(GetCurrentProcessId(), 10000);
    if (box.window)
        PressButton(box.window, IDOK);
    reader.join();
    EXPECT_EQ(box.text, "Error in RegCloseKey.");
    EXPECT_EQ(result, "");
}

TEST(WriteRegValue, StoresTrimmedTextAndNeedsAnExistingKey)
{
    PlantedKey key(HKEY_CURRENT_USER, TestKeyPath("QmWrite"));
    EXPECT_EQ(WriteRegValue(HKEY_CURRENT_USER, key.Path(), "cmd", "C:\\app.exe /x  \t\r\n", REG_SZ),
              1);
    EXPECT_EQ(WriteRegValue(HKEY_CURRENT_USER, key.Path(), "exp", "%TEMP%\\a", REG_EXPAND_SZ), 1);
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(RawValue(HKEY_CURRENT_USER, key.Path(), "cmd", type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, "C:\\app.exe /x");
    ASSERT_TRUE(RawValue(HKEY_CURRENT_USER, key.Path(), "exp", type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(bytes, "%TEMP%\\a");

    EXPECT_EQ(WriteRegValue(HKEY_CURRENT_USER, key.Path() + "\\missing", "v", "x", REG_SZ), 0);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.Path() + "\\missing"));
}

namespace {
std::vector<std::string> deletedKeys;
}

TEST(DeleteRegKey, RemovesTheDeepestKeysFirstAndTheKeyLast)
{
    PlantedKey key(HKEY_CURRENT_USER, TestKeyPath("QmDelete"));
    key.Subkey("a");
    key.Subkey("a\\deep");
    key.Subkey("a\\deep\\deeper");
    key.Subkey("b");
    key.SetString("v", "1");
    BackEndRestorer restore;
    deletedKeys.clear();
    regApi.RegDeleteKeyA = [](HKEY parent, LPCSTR name) -> LONG {
        deletedKeys.push_back(name);
        return RegDeleteKeyA(parent, name);
    };
    EXPECT_EQ(DeleteRegKey(HKEY_CURRENT_USER, key.Path()), 1);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.Path()));
    std::vector<std::string> expected = {"deeper", "deep", "a", "b", key.Path()};
    EXPECT_EQ(deletedKeys, expected);

    EXPECT_EQ(DeleteRegKey(HKEY_CURRENT_USER, key.Path()), 0);
}

namespace {
int denialsLeft = 0;
int deleteCalls = 0;
int securityCalls = 0;
}

TEST(DeleteRegKey, AccessDeniedIsRetriedOnceAfterTheKeyIsReSecured)
{
    BackEndRestorer restore;
    regApi.RegDeleteKeyA = [](HKEY parent, LPCSTR name) -> LONG {
        ++deleteCalls;
        if (denialsLeft > 0) {
            --denialsLeft;
            return ERROR_ACCESS_DENIED;
        }
        return RegDeleteKeyA(parent, name);
    };
    regApi.RegSetKeySecurity = [](HKEY k, SECURITY_INFORMATION info,
                                  PSECURITY_DESCRIPTOR sd) -> LONG {
        ++securityCalls;
        return RegSetKeySecurity(k, info, sd);
    };

    {
        PlantedKey key(HKEY_CURRENT_USER, TestKeyPath("QmDenied"));
        key.Subkey("child");
        denialsLeft = 1;
        deleteCalls = securityCalls = 0;
        EXPECT_EQ(DeleteRegKey(HKEY_CURRENT_USER, key.Path()), 1);
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.Path()));
        EXPECT_EQ(securityCalls, 2); // the key and its child
    }
    {
        PlantedKey key(HKEY_CURRENT_USER, TestKeyPath("QmDenied"));
        denialsLeft = 100;
        deleteCalls = 0;
        EXPECT_EQ(DeleteRegKey(HKEY_CURRENT_USER, key.Path()), 0);
        EXPECT_EQ(deleteCalls, 2);
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key.Path()));
    }
}

TEST(DeleteRegValue, RemovesTheValueAndRetriesOnceWhenDenied)
{
    PlantedKey key(HKEY_CURRENT_USER, TestKeyPath("QmDelValue"));
    key.SetString("one", "1");
    key.SetString("two", "2");
    key.SetString("three", "3");
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.Path(), "one"), 1);
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.Path(), "one"), 0);
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.Path() + "\\missing", "two"), 0);

    BackEndRestorer restore;
    regApi.SHDeleteValueA = [](HKEY root, LPCSTR path, LPCSTR name) -> DWORD {
        ++deleteCalls;
        if (denialsLeft > 0) {
            --denialsLeft;
            return ERROR_ACCESS_DENIED;
        }
        return SHDeleteValueA(root, path, name);
    };
    denialsLeft = 1;
    deleteCalls = 0;
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.Path(), "two"), 1);
    EXPECT_EQ(deleteCalls, 2);
    denialsLeft = 100;
    deleteCalls = 0;
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.Path(), "three"), 0);
    EXPECT_EQ(deleteCalls, 2);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "two"), "");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "three"), "3");
}

namespace {

// A source tree with every kind of value, a long one and nested keys.
void FillSource(PlantedKey& key)
{
    key.SetString("", "default");
    key.SetString("text", "hello");
    key.SetString("expand", "%WINDIR%\\x", REG_EXPAND_SZ);
    key.SetDword("number", 0x12345678);
    key.SetBinary("big", std::vector<BYTE>(5000, 0xAB));
    key.SetBinary("multi", {'a', 0, 'b', 0, 0}, REG_MULTI_SZ);
    key.Subkey("one");
    key.Subkey("one\\two");
    key.Subkey("Other");
    HKEY sub;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (key.Path() + "\\one\\two").c_str(), 0,
                            KEY_ALL_ACCESS, &sub),
              ERROR_SUCCESS);
    const char deep[] = "deep value";
    RegSetValueExA(sub, "d", 0, REG_SZ, reinterpret_cast<const BYTE*>(deep), sizeof(deep));
    RegCloseKey(sub);
}

int enumFailures = 0;
LONG enumFailure = 0;

} // namespace

TEST(CopyRegKey, CopiesEveryValueAndSubkeyExactly)
{
    PlantedKey source(HKEY_CURRENT_USER, TestKeyPath("QmCopySrc"));
    FillSource(source);
    PlantedKey target(HKEY_CURRENT_USER, TestKeyPath("QmCopyDst"));
    RegKey from, to;
    ASSERT_EQ(from.Open(HKEY_CURRENT_USER, source.Path(), KEY_ALL_ACCESS), 0);
    ASSERT_EQ(to.Open(HKEY_CURRENT_USER, target.Path(), KEY_ALL_ACCESS), 0);
    EXPECT_EQ(CopyRegKey(from.Handle(), to.Handle(), "Backup\\Entry"), 0);
    EXPECT_EQ(Tree(HKEY_CURRENT_USER, target.Path() + "\\Backup\\Entry"),
              Tree(HKEY_CURRENT_USER, source.Path()));
}

TEST(CopyRegKey, IntoASubkeyOfItselfSkipsTheNewKey)
{
    PlantedKey source(HKEY_CURRENT_USER, TestKeyPath("QmCopySelf"));
    FillSource(source);
    TreeDump before = Tree(HKEY_CURRENT_USER, source.Path());
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, source.Path(), KEY_ALL_ACCESS), 0);
    EXPECT_EQ(CopyRegKey(key.Handle(), key.Handle(), "saved"), 0);
    EXPECT_EQ(Tree(HKEY_CURRENT_USER, source.Path() + "\\saved"), before);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, source.Path() + "\\saved\\saved"));
}

TEST(CopyRegKey, RetriesWhileMemoryRunsShortAndStopsAtOtherErrors)
{
    PlantedKey source(HKEY_CURRENT_USER, TestKeyPath("QmCopyErr"));
    FillSource(source);
    PlantedKey target(HKEY_CURRENT_USER, TestKeyPath("QmCopyErrDst"));
    RegKey from, to;
    ASSERT_EQ(from.Open(HKEY_CURRENT_USER, source.Path(), KEY_ALL_ACCESS), 0);
    ASSERT_EQ(to.Open(HKEY_CURRENT_USER, target.Path(), KEY_ALL_ACCESS), 0);

    BackEndRestorer restore;
    regApi.RegEnumValueA = [](HKEY k, DWORD i, LPSTR n, LPDWORD nl, LPDWORD r, LPDWORD t,
                              LPBYTE d, LPDWORD dl) -> LONG {
        if (enumFailures > 0) {
            --enumFailures;
            return enumFailure;
        }
        return RegEnumValueA(k, i, n, nl, r, t, d, dl);
    };
    enumFailures = 3;
    enumFailure = ERROR_NOT_ENOUGH_MEMORY;
    EXPECT_EQ(CopyRegKey(from.Handle(), to.Handle(), "retried"), 0);
    EXPECT_EQ(Tree(HKEY_CURRENT_USER, target.Path() + "\\retried"),
              Tree(HKEY_CURRENT_USER, source.Path()));

    enumFailures = 1;
    enumFailure = ERROR_ACCESS_DENIED;
    EXPECT_EQ(CopyRegKey(from.Handle(), to.Handle(), "failed"), ERROR_ACCESS_DENIED);
}

TEST(KeyChecks, ClassAndTypeLibraryKeys)
{
    std::string clsid = "{" + UniqueName("5EC0DE00-QM") + "}";
    std::string typeLib = "{" + UniqueName("7E1B0000-QM") + "}";
    PlantedKey classKey(HKEY_CLASSES_ROOT, "CLSID\\" + clsid);
    PlantedKey libKey(HKEY_CLASSES_ROOT, "TypeLib\\" + typeLib);

    EXPECT_EQ(ClsidKeyExists(clsid), 1);
    EXPECT_EQ(ClsidKeyExists(clsid.substr(1, clsid.size() - 2)), 1); // braces added
    EXPECT_EQ(ClsidKeyExists("{00000000-DEAD-BEEF-0000-000000000000}"), 0);
    EXPECT_EQ(ClsidKeyExists(""), 0);
    EXPECT_EQ(TypeLibKeyExists(typeLib), 1);
    EXPECT_EQ(TypeLibKeyExists(typeLib.substr(1, typeLib.size() - 2)), 0); // no braces added
    EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + clsid), 1);
    EXPECT_EQ(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + clsid + "\\none"), 0);
}

TEST(StartupRunValue, WritesTheCommandAndRemovesIt)
{
    const std::string run = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    HKEY runKey;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, run.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &runKey, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(runKey);
    const std::string name = UniqueName("QmStartup");

    EXPECT_EQ(SetStartupRunValue(name, ""), 0);
    EXPECT_EQ(SetStartupRunValue("", "C:\\x.exe"), 0);
    DWORD type = 0;
    std::string bytes;
    EXPECT_FALSE(RawValue(HKEY_CURRENT_USER, run, name, type, bytes));

    EXPECT_EQ(SetStartupRunValue(name, "\"C:\\Program Files\\Q\\Q.exe\" /min"), 1);
    ASSERT_TRUE(RawValue(HKEY_CURRENT_USER, run, name, type, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, "\"C:\\Program Files\\Q\\Q.exe\" /min");

    EXPECT_EQ(RemoveStartupRunValue(name), 1);
    EXPECT_FALSE(RawValue(HKEY_CURRENT_USER, run, name, type, bytes));
    EXPECT_EQ(RemoveStartupRunValue(name), 0);
    EXPECT_EQ(RemoveStartupRunValue(""), 0);
}

TEST(RegKeyObject, OpenFailureKeepsTheHeldKeyAndValuesRoundTrip)
{
    PlantedKey planted(HKEY_CURRENT_USER, TestKeyPath("QmRegKey"));
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, planted.Path(), KEY_ALL_ACCESS), 0);
    HKEY held = key.Handle();
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, planted.Path() + "\\missing", KEY_ALL_ACCESS),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.Handle(), held);

    EXPECT_EQ(key.SetDwordValue(7, "NoDriveTypeAutoRun"), 0);
    EXPECT_EQ(key.SetStringValue("0", "MenuShowDelay"), 0);
    DWORD number = 0;
    EXPECT_EQ(key.QueryDwordValue(number, "NoDriveTypeAutoRun"), 0);
    EXPECT_EQ(number, 7u);
    char text[16] = {};
    DWORD size = sizeof(text);
    EXPECT_EQ(key.QueryStringValue(text, "MenuShowDelay", &size), 0);
    EXPECT_EQ(size, 2u); // stored with its terminator
    EXPECT_STREQ(text, "0");
}

TEST(KeySecurity, TheCurrentUserGetsEveryKeyOfTheTree)
{
    std::vector<BYTE> sid;
    ASSERT_EQ(GetCurrentUserSid(sid), 1);
    ASSERT_TRUE(IsValidSid(sid.data()));
    EXPECT_EQ(sid.size(), GetLengthSid(sid.data()));
    char* text = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidA(sid.data(), &text));
    std::string sidText = text;
    LocalFree(text);
    // The user's own hive is mounted under its identifier.
    EXPECT_EQ(KeyExists(HKEY_USERS, sidText), 1) << sidText;

    PlantedKey planted(HKEY_CURRENT_USER, TestKeyPath("QmGrant"));
    std::string deep = planted.Subkey("a\\b");
    ASSERT_EQ(GrantKeyTreeAccess(HKEY_CURRENT_USER, planted.Path(), sid.data(), true), 1);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, deep.c_str(), 0, READ_CONTROL, &key), 0);
    BYTE descriptor[1024];
    DWORD size = sizeof(descriptor);
    LONG rc = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor, &size);
    RegCloseKey(key);
    ASSERT_EQ(rc, 0);
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
    ASSERT_TRUE(present && acl);
    ASSERT_EQ(acl->AceCount, 1);
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Mask & KEY_ALL_ACCESS, static_cast<DWORD>(KEY_ALL_ACCESS));
    EXPECT_TRUE(EqualSid(&ace->SidStart, sid.data()));

    EXPECT_EQ(GrantKeyTreeAccess(HKEY_CURRENT_USER, planted.Path() + "\\none", sid.data(), true),
              0);
}
