#include "ClassesTestSupport.h"

#include <gtest/gtest.h>

#include "core/Registry.h"

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

std::string Fields(unsigned section, const std::string& item, const std::string& keyPath,
                   const std::string& valueName, const std::string& valueData,
                   const std::string& description)
{
    return std::to_string(section) + "|" + item + "|" + keyPath + "|" + valueName + "|" +
           valueData + "|" + description;
}

std::vector<std::string> RecordsUnder(const RecordingContext& context, const std::string& keyPath)
{
    std::vector<std::string> found;
    for (const ProblemPtr& r : context.records) {
        if (r->keyPath != keyPath && r->keyPath.rfind(keyPath + "\\", 0) != 0)
            continue;
        std::string fields =
            Fields(r->section, r->item, r->keyPath, r->valueName, r->valueData, r->description);
        if (r->checked != 1 || r->sizeBytes != 0.0)
            fields += " (not checked, or sized)";
        found.push_back(fields);
    }
    return found;
}

bool Shown(const RecordingContext& context, const std::string& keyPath)
{
    return !context.CallsStartingWith("ShowItem " + keyPath).empty();
}

DWORD ClassesSubkeyCount(const std::string& path)
{
    HKEY key;
    DWORD count = 0;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
    }
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

size_t StepsFrom(const RecordingContext& context, size_t from)
{
    size_t steps = 0;
    for (size_t i = from; i < context.calls.size(); ++i)
        steps += context.calls[i] == "Step";
    return steps;
}
