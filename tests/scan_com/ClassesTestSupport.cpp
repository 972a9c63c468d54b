#include "ClassesTestSupport.h"

#include <gtest/gtest.h>

#include "core/Registry.h"

void CreateClassesKey(const std::string& path)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
}

void WriteClassesValue(const std::string& path, const std::string& name, const std::string& data)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << path;
    EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>(data.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::string Hkcr(const std::string& path)
{
    return "HKEY_CLASSES_ROOT\\" + path;
}

std::vector<const ProblemRecord*> RecordsUnder(const RecordingContext& context,
                                               const std::string& keyPath)
{
    std::vector<const ProblemRecord*> found;
    for (const ProblemPtr& record : context.records) {
        const std::string& path = record->keyPath;
        if (path == keyPath || path.rfind(keyPath + "\\", 0) == 0)
            found.push_back(record.get());
    }
    return found;
}

std::vector<std::string> ShownItems(const RecordingContext& context)
{
    std::vector<std::string> shown;
    for (const std::string& call : context.CallsStartingWith("ShowItem "))
        shown.push_back(call.substr(9));
    return shown;
}

std::vector<std::string> CallsAfterShown(const RecordingContext& context, const std::string& text)
{
    const std::string wanted = "ShowItem " + text;
    for (size_t i = 0; i < context.calls.size(); ++i)
        if (context.calls[i] == wanted)
            return std::vector<std::string>(context.calls.begin() + i + 1, context.calls.end());
    ADD_FAILURE() << "never shown: " << text;
    return {};
}

DWORD ClassesSubkeyCount(const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return count;
}

namespace {

std::string failingSubkey;
decltype(regApi.RegOpenKeyExA) realOpen = nullptr;

LONG WINAPI OpenFailingOne(HKEY parent, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result)
{
    if (parent == HKEY_CLASSES_ROOT && _stricmp(subkey ? subkey : "", failingSubkey.c_str()) == 0)
        return ERROR_ACCESS_DENIED;
    return realOpen(parent, subkey, options, access, result);
}

} // namespace

FailClassesOpen::FailClassesOpen(const std::string& subkey)
{
    failingSubkey = subkey;
    realOpen = regApi.RegOpenKeyExA;
    regApi.RegOpenKeyExA = OpenFailingOne;
}

FailClassesOpen::~FailClassesOpen()
{
    regApi.RegOpenKeyExA = realOpen;
}

void ExpectRecord(const ProblemRecord& actual, const ExpectedRecord& expected)
{
    SCOPED_TRACE(expected.keyPath);
    EXPECT_EQ(actual.checked, 1u);
    EXPECT_EQ(actual.section, expected.section);
    EXPECT_EQ(actual.item, expected.item);
    EXPECT_EQ(actual.keyPath, expected.keyPath);
    EXPECT_EQ(actual.valueName, expected.valueName);
    EXPECT_EQ(actual.valueData, expected.valueData);
    EXPECT_EQ(actual.description, expected.description);
    EXPECT_EQ(actual.sizeBytes, 0.0);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}
