#include <gtest/gtest.h>

#include <list>
#include <map>

#include "core/Registry.h"
#include "repair/RegExport.h"
#include "support/FileBytes.h"
#include "support/Planted.h"
#include "support/StateWitness.h"

namespace {

// Every key below `path` (from "") with each value's type and stored bytes, read with the wide API.
using Tree = std::map<std::wstring, std::map<std::wstring, std::pair<DWORD, std::string>>>;

Tree Snap(HKEY parent, const std::wstring& path, const std::wstring& at = L"", Tree tree = {})
{
    HKEY key;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return tree;
    std::vector<wchar_t> name(32768);
    std::vector<BYTE> data(1 << 20);
    DWORD length, size, type;
    tree[at];
    for (DWORD i = 0; length = 32768, size = 1 << 20,
         RegEnumValueW(key, i, name.data(), &length, nullptr, &type, data.data(), &size) == ERROR_SUCCESS; ++i)
        tree[at][std::wstring(name.data(), length)] = {type, std::string(data.begin(), data.begin() + size)};
    for (DWORD i = 0; length = 32768,
         RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; ++i)
        tree = Snap(key, {name.data(), length}, at + L"\\" + std::wstring(name.data(), length), std::move(tree));
    RegCloseKey(key);
    return tree;
}

Tree Snapshot(const PlantedKey& top) { return Snap(top.Root(), std::wstring(top.Path().begin(), top.Path().end())); }

// Every value type, empty and huge data, and names the import could misread.
void PlantAwkwardTree(PlantedKey& top, std::list<PlantedKey>& subkeys)
{
    std::string pattern;
    for (int i = 0; i < 300000; ++i)
        pattern += static_cast<char>(i * 7 % 256);
    const std::tuple<std::string, DWORD, std::string> values[] = {
        {"", REG_SZ, std::string("default \"quoted\" C:\\path\\", 26)},
        {"quo\"te=", REG_SZ, std::string(1, '\0')},
        {"back\\slash\\", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15)},
        {"br]ack[et", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
        {"\xe9t\xe9 caf\xe9", REG_SZ, std::string("na\xefve\0", 6)},
        {"line\nbreak", REG_SZ, std::string("two\r\nlines\0", 11)},
        {"embedded nul", REG_SZ, std::string("a\0b\0", 4)},
        {"empty sz", REG_SZ, ""},
        {"empty multi", REG_MULTI_SZ, ""},
        {"none bytes", REG_NONE, "\x01\x02\x03"},
        {"dword", REG_DWORD, "\xef\xbe\xad\xde"},
        {"short dword", REG_DWORD, "\x01\x02\x03"},
        {"big endian", REG_DWORD_BIG_ENDIAN, std::string("\0\0\x01\x02", 4)},
        {"link", REG_LINK, std::string("\\\0x\0", 4)},
        {"requirements", REG_RESOURCE_REQUIREMENTS_LIST, pattern.substr(5, 77)},
        {"qword", REG_QWORD, pattern.substr(9, 8)},
        {"odd type", 0x12345, pattern.substr(11, 5)},
        {"empty binary", REG_BINARY, ""},
        {"huge binary", REG_BINARY, pattern},
        {"huge string", REG_SZ, std::string(40000, 'x') + '\0'},
    };
    for (const auto& [name, type, data] : values)
        top.SetBinary(name, std::vector<BYTE>(data.begin(), data.end()), type);
    for (const std::string subkey : {"sub]key", "quo\"te key", "\xe9t\xe9", "deep\\er\\still"}) {
        subkeys.emplace_back(top.Root(), top.Path() + "\\" + subkey);
        subkeys.back().SetString("here", subkey);
        subkeys.back().SetDword("count", 7);
    }
    top.Subkey("empty key");
}

} // namespace

// Our export, imported by "regedit /S" after the keys are gone, gives back the same keys, types and bytes.
TEST(RegExport, EveryTypeAndAwkwardNameComesBackThroughRegedit)
{
    PlantedKey top(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmExport"));
    std::list<PlantedKey> subkeys;
    PlantAwkwardTree(top, subkeys);
    const Tree before = Snapshot(top);
    ASSERT_EQ(before.size(), 8u) << "the top, four subkeys with two levels below one, and an empty key";

    const std::string file = TestTempFolder() + UniqueName("export") + ".reg";
    std::string problem;
    ASSERT_EQ(ExportRegKey(top.FullPath(), file, problem), 1) << problem;
    const std::string text = ReadFileBytes(file);
    EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n[" + top.FullPath() + "]\r\n", 0), 0u);
    EXPECT_EQ(CountOf(text, "\n"), CountOf(text, "\r\n")) << "every line ends with CR LF";

    ASSERT_EQ(DeleteRegKey(top.Root(), top.Path()), 1);
    RunRegedit("/S \"" + file + "\"");
    const Tree after = Snapshot(top);
    DeleteFileA(file.c_str());

    for (const auto& [path, values] : before)
        for (const auto& [name, value] : values)
            EXPECT_TRUE(after.count(path) && after.at(path).count(name) && after.at(path).at(name) == value)
                << "not back as it was: [" << std::string(path.begin(), path.end()) << "] "
                << std::string(name.begin(), name.end());
    EXPECT_EQ(after.size(), before.size());
}

TEST(RegExport, LinkLeadingBackIntoTheExportIsLeftOut)
{
    PlantedKey top(HKEY_LOCAL_MACHINE, "Software\\" + UniqueName("QmLoop"));
    top.SetString("here", "once");
    PlantedKey inner(top.Root(), top.Path() + "\\inner");
    HKEY innerKey, link;
    ASSERT_EQ(RegOpenKeyExA(top.Root(), inner.Path().c_str(), 0, KEY_ALL_ACCESS, &innerKey), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(innerKey, L"loop", 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                              nullptr, &link, nullptr), ERROR_SUCCESS);
    const std::wstring target = L"\\Registry\\Machine\\" + std::wstring(top.Path().begin(), top.Path().end());
    EXPECT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                             static_cast<DWORD>(target.size() * sizeof(wchar_t))), ERROR_SUCCESS);
    RegCloseKey(link);
    ASSERT_EQ(KeyExists(top.Root(), inner.Path() + "\\loop\\inner\\loop\\inner"), 1) << "the link leads back";
    std::string text, problem;
    const int complete = ExportRegKeyText(top.FullPath(), text, problem);

    // The link itself goes, never what it leads to.
    using DeleteKey = LONG(WINAPI*)(HANDLE);
    auto ntDeleteKey = reinterpret_cast<DeleteKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    ASSERT_EQ(RegOpenKeyExA(innerKey, "loop", REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &link), ERROR_SUCCESS);
    EXPECT_EQ(ntDeleteKey(link), 0);
    RegCloseKey(link);
    RegCloseKey(innerKey);

    EXPECT_EQ(complete, 1) << problem;
    EXPECT_EQ(CountOf(text, "\"here\"=\"once\""), 1u) << text;
    EXPECT_EQ(CountOf(text, "]\r\n"), 2u) << "the top and inner only:\n" << text;
}
