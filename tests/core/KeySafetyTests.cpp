#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "core/KeyChain.h"
#include "core/Registry.h"
#include "support/HostLinks.h"
#include "support/Planted.h"
#include "support/SavedBackEnd.h"

namespace {

// The access list and its inheritance flags as SDDL text: of the descriptor
// given, else of the key at `path` below HKEY_CURRENT_USER.
std::string AccessList(const std::string& path, PSECURITY_DESCRIPTOR given = nullptr)
{
    PSECURITY_DESCRIPTOR read = nullptr;
    char* text = nullptr;
    if (!given && GetNamedSecurityInfoA(("CURRENT_USER\\" + path).c_str(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, nullptr, nullptr, &read))
        return "unreadable";
    ConvertSecurityDescriptorToStringSecurityDescriptorA(given ? given : read, SDDL_REVISION_1,
                                                         DACL_SECURITY_INFORMATION, &text, nullptr);
    std::string result = text ? text : "?";
    return LocalFree(text), LocalFree(read), result;
}

int deniedLeft = 0;
std::vector<std::string> listsSet;

} // namespace

TEST(DeleteSafety, ABareRootOrAnEmptySubkeyIsRefusedAndNothingIsTouched)
{
    for (const char* path : {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER\\", "HKEY_LOCAL_MACHINE\\\\"}) {
        HKEY root = HKEY_CURRENT_USER;
        std::string subkey;
        EXPECT_TRUE(!SplitKeyPath(path, root, subkey) && !root) << path;
    }
    // An open key stands in for a root: the same call on a real root would
    // empty it if the refusal failed.
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmBare"));
    key.SetString("kept", "1");
    const std::string child = key.Subkey("child");
    RegKey opened;
    ASSERT_EQ(opened.Open(HKEY_CURRENT_USER, key.Path(), KEY_ALL_ACCESS), 0);
    for (const char* empty : {"", "\\", "\\\\"}) {
        EXPECT_EQ(DeleteRegKey(opened.Handle(), empty), 0) << "[" << empty << "]";
        EXPECT_EQ(DeleteRegValue(opened.Handle(), empty, "kept"), 0) << "[" << empty << "]";
    }
    EXPECT_EQ(DeleteRegKey(nullptr, key.Path()), 0);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "kept"), "1");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, child));
}

// Wine enforces no key permissions: the denial is injected, the access
// lists written and read back are real.
TEST(DeleteSafety, ADeniedValueIsDeletedAndItsKeysGetTheirOwnAccessListsBack)
{
    PlantedKey key(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmDenied"));
    key.SetString("one", "1");
    key.SetString("two", "2");
    const std::string child = key.Subkey("child");
    const std::string keyList = AccessList(key.Path()), childList = AccessList(child);
    ASSERT_NE(keyList.find('('), std::string::npos) << keyList;

    SavedBackEnd restore;
    regApi.SHDeleteValueA = [](HKEY root, LPCSTR path, LPCSTR name) -> DWORD {
        return deniedLeft-- > 0 ? ERROR_ACCESS_DENIED : SHDeleteValueA(root, path, name);
    };
    regApi.RegSetKeySecurity = [](HKEY k, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR d) {
        listsSet.push_back(AccessList("", d));
        return RegSetKeySecurity(k, what, d);
    };
    deniedLeft = 1;
    EXPECT_EQ(DeleteRegValue(HKEY_CURRENT_USER, key.Path(), "one"), 1);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "one"), "");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, key.Path(), "two"), "2");

    // For the retry: the user in front of every entry each key had ...
    std::vector<BYTE> sid;
    char* user = nullptr;
    ASSERT_TRUE(GetCurrentUserSid(sid) && ConvertSidToStringSidA(sid.data(), &user));
    std::string widened = keyList;
    widened.insert(widened.find('('), "(A;;KA;;;" + std::string(user) + ")");
    LocalFree(user);
    ASSERT_GE(listsSet.size(), 2u);
    EXPECT_EQ(listsSet[0], widened);
    // ... and afterwards exactly the lists they had.
    EXPECT_EQ(AccessList(key.Path()), keyList);
    EXPECT_EQ(AccessList(child), childList);
}

// A branch with two link subkeys that lead back to it, a link that leads out
// of it, and a 300-level chain: every recursive routine ends, follows the
// legal depth, and a delete removes links, never what they lead to.
TEST(KeyChain, RecursiveRoutinesEndAtLinksBackAndReachThreeHundredLevels)
{
    PlantedKey outside(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmOutside"));
    outside.SetString("kept", "1");
    PlantedKey loop(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmLoop"));
    loop.SetString("top", "t");
    ASSERT_TRUE(PlantDeepChain(HKEY_CURRENT_USER, loop.Path(), 300, "bottom", "b"));
    LinkKey back1(HKEY_CURRENT_USER, loop.Path(), "back1", HKEY_CURRENT_USER, loop.Path());
    LinkKey back2(HKEY_CURRENT_USER, loop.Path() + "\\d", "back2", HKEY_CURRENT_USER, loop.Path());
    LinkKey out(HKEY_CURRENT_USER, loop.Path(), "out", HKEY_CURRENT_USER, outside.Path());
    ASSERT_TRUE(back1.Made() && back2.Made() && out.Made());

    PlantedKey copies(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmCopies"));
    RegKey from, to;
    ASSERT_EQ(from.Open(HKEY_CURRENT_USER, loop.Path(), KEY_ALL_ACCESS), 0);
    ASSERT_EQ(to.Open(HKEY_CURRENT_USER, copies.Path(), KEY_ALL_ACCESS), 0);
    EXPECT_EQ(CopyRegKey(from.Handle(), to.Handle(), "copy"), 0);
    const std::string copy = copies.Path() + "\\copy";
    EXPECT_EQ(ReadDeepChain(HKEY_CURRENT_USER, copy, 300, "bottom"), "b");
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, copy + "\\out", "kept"), "1");
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, copy + "\\back1"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, copy + "\\d\\back2"));

    std::vector<BYTE> sid;
    ASSERT_TRUE(GetCurrentUserSid(sid));
    EXPECT_EQ(GrantKeyTreeAccess(HKEY_CURRENT_USER, loop.Path(), sid.data(), true), 1);

    EXPECT_EQ(DeleteRegKey(HKEY_CURRENT_USER, loop.Path()), 1);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, loop.Path()));
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, outside.Path(), "kept"), "1");
}
