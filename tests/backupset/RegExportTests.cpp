// The in-process export against the system's registry editor: what it
// writes, imported with "regedit /S" after the keys are gone, gives back the
// same keys, values, types and bytes (read with the wide API, so the stored
// bytes themselves are compared).

#include <gtest/gtest.h>

#include <process.h>

#include <map>

#include "core/FileTools.h"
#include "core/PathCheck.h"
#include "core/Registry.h"
#include "repair/RegExport.h"
#include "support/FileBytes.h"
#include "support/Planted.h"

namespace {

using Values = std::map<std::wstring, std::pair<DWORD, std::string>>;
using Tree = std::map<std::wstring, Values>; // key path below the top -> its values

void Snap(HKEY key, const std::wstring& at, Tree& tree)
{
    Values& values = tree[at];
    std::vector<wchar_t> name(32768);
    std::vector<BYTE> data(1 << 20);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        values[std::wstring(name.data(), nameLength)] = {type, std::string(data.begin(), data.begin() + size)};
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::wstring child(name.data(), nameLength);
        HKEY opened;
        ASSERT_EQ(RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS);
        Snap(opened, at + L"\\" + child, tree);
        RegCloseKey(opened);
    }
}

Tree Snapshot(const PlantedKey& top)
{
    Tree tree;
    HKEY key;
    if (RegOpenKeyExA(top.Root(), top.Path().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return tree;
    Snap(key, L"", tree);
    RegCloseKey(key);
    return tree;
}

void Put(HKEY root, const std::string& path, const std::string& name, DWORD type, const std::string& data)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Every value type, empty and huge data, and names that need escaping or
// that the import could misread ("]" in a key name, "=" and quotes in value names).
void PlantAwkwardTree(PlantedKey& top)
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
        {"empty expand", REG_EXPAND_SZ, std::string(1, '\0')},
        {"none", REG_NONE, ""},
        {"none bytes", REG_NONE, "\x01\x02\x03"},
        {"dword", REG_DWORD, "\xef\xbe\xad\xde"},
        {"short dword", REG_DWORD, "\x01\x02\x03"},
        {"big endian", REG_DWORD_BIG_ENDIAN, std::string("\0\0\x01\x02", 4)},
        {"link", REG_LINK, std::string("\\\0x\0", 4)},
        {"resources", REG_RESOURCE_LIST, pattern.substr(0, 40)},
        {"full resource", REG_FULL_RESOURCE_DESCRIPTOR, pattern.substr(3, 33)},
        {"requirements", REG_RESOURCE_REQUIREMENTS_LIST, pattern.substr(5, 77)},
        {"qword", REG_QWORD, pattern.substr(9, 8)},
        {"odd type", 0x12345, pattern.substr(11, 5)},
        {"empty binary", REG_BINARY, ""},
        {"huge binary", REG_BINARY, pattern},
        {"huge string", REG_SZ, std::string(40000, 'x') + '\0'},
    };
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    for (const auto& [name, type, data] : values) {
        // The Windows 95 family refuses a string value of no bytes at all.
        if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && type == REG_SZ && data.empty())
            continue;
        Put(top.Root(), top.Path(), name, type, data);
    }
    for (const std::string subkey : {"sub]key", "quo\"te key", "\xe9t\xe9", "deep\\er\\still"}) {
        Put(top.Root(), top.Path() + "\\" + subkey, "here", REG_SZ, subkey + '\0');
        Put(top.Root(), top.Path() + "\\" + subkey, "count", REG_DWORD, std::string("\x07\0\0\0", 4));
    }
    top.Subkey("empty key");
}

// Plants, exports, deletes and imports again; the tree must come back as it was.
void RoundTripThroughRegedit()
{
    PlantedKey top(HKEY_CURRENT_USER, "Software\\" + UniqueName("QmExport"));
    PlantAwkwardTree(top);
    const Tree before = Snapshot(top);
    ASSERT_EQ(before.size(), 8u) << "the top, four subkeys with two levels below one, and an empty key";

    const std::string file = TestTempFolder() + UniqueName("export") + ".reg";
    std::string problem;
    ASSERT_EQ(ExportRegKey(top.FullPath(), file, problem), 1) << problem;
    const std::string text = ReadFileBytes(file);
    EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n[" + top.FullPath() + "]\r\n", 0), 0u);
    EXPECT_EQ(CountOf(text, "\n"), CountOf(text, "\r\n")) << "every line ends with CR LF";

    ASSERT_EQ(DeleteRegKey(top.Root(), top.Path()), 1);
    ASSERT_TRUE(Snapshot(top).empty());
    RunProgram(GetWindowsFolder() + "\\regedit.exe", "/S \"" + file + "\"", true);
    const Tree after = Snapshot(top);
    DeleteFileA(file.c_str());

    std::string differing;
    for (const auto& [path, values] : before)
        for (const auto& [name, value] : values)
            if (!after.count(path) || !after.at(path).count(name) || after.at(path).at(name) != value)
                differing += " [" + std::string(path.begin(), path.end()) + "] " + std::string(name.begin(), name.end());
    EXPECT_TRUE(after == before) << "not back as they were:" << differing;
}

} // namespace

TEST(RegExport, EveryTypeAndAwkwardNameComesBackThroughRegedit)
{
    RoundTripThroughRegedit();
}

// The same with this program and the registry editor both told they run on
// Windows 98: the test binary runs itself again under that setting.
TEST(RegExport, EveryTypeComesBackUnderWindows98)
{
    if (GetEnvironmentVariableA("QM_WIN98_CHILD", nullptr, 0) > 0) {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof(version);
        ASSERT_TRUE(GetVersionExA(&version));
        ASSERT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
        RoundTripThroughRegedit();
        return;
    }
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string self = path;
    PlantedKey ours(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" + self.substr(self.rfind('\\') + 1));
    PlantedKey editor(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\regedit.exe");
    ours.SetString("Version", "win98");
    editor.SetString("Version", "win98");
    _putenv("QM_WIN98_CHILD=1");
    const intptr_t exitCode = _spawnl(_P_WAIT, path, path, "--gtest_filter=RegExport.EveryTypeComesBackUnderWindows98",
                                      nullptr);
    _putenv("QM_WIN98_CHILD=");
    EXPECT_EQ(exitCode, 0) << "the round trip failed under Windows 98 (its output is above)";
}

TEST(RegExport, LinkLeadingBackIntoTheExportIsLeftOut)
{
    PlantedKey top(HKEY_LOCAL_MACHINE, "Software\\" + UniqueName("QmLoop"));
    top.SetString("here", "once");
    PlantedKey inner(top.Root(), top.Path() + "\\inner");
    HKEY innerKey;
    ASSERT_EQ(RegOpenKeyExA(top.Root(), inner.Path().c_str(), 0, KEY_ALL_ACCESS, &innerKey), ERROR_SUCCESS);
    HKEY link;
    ASSERT_EQ(RegCreateKeyExW(innerKey, L"loop", 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                              nullptr, &link, nullptr),
              ERROR_SUCCESS);
    const std::string topName = top.Path().substr(top.Path().find('\\') + 1);
    const std::wstring target = L"\\Registry\\Machine\\Software\\" + std::wstring(topName.begin(), topName.end());
    EXPECT_EQ(RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                             static_cast<DWORD>(target.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(link);

    ASSERT_EQ(KeyExists(top.Root(), inner.Path() + "\\loop\\inner\\loop\\inner"), 1) << "the link leads back";
    std::string text, problem;
    const int complete = ExportRegKeyText(top.FullPath(), text, problem);

    // The link itself goes, never what it leads to.
    using DeleteKey = LONG(WINAPI*)(HANDLE);
    auto ntDeleteKey = reinterpret_cast<DeleteKey>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    HKEY linkItself;
    ASSERT_EQ(RegOpenKeyExA(innerKey, "loop", REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &linkItself), ERROR_SUCCESS);
    EXPECT_EQ(ntDeleteKey(linkItself), 0);
    RegCloseKey(linkItself);
    RegCloseKey(innerKey);

    EXPECT_EQ(complete, 1) << problem;
    EXPECT_EQ(CountOf(text, "\"here\"=\"once\""), 1u) << text;
    EXPECT_EQ(CountOf(text, "]\r\n"), 2u) << "the top and inner only:\n" << text;
}
