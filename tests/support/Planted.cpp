#include "support/Planted.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdio>
#include <fstream>

#include "core/Registry.h"

namespace {

// A key the planters create (with `disposition`: which it was) or open for a
// moment. They call the platform directly: a test may have wrapped an entry of
// the program's registry back end.
struct TestKey {
    TestKey(HKEY root, const std::string& path, DWORD* disposition = nullptr)
        : result(disposition ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                               &handle, disposition)
                             : RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_SET_VALUE, &handle))
    {
    }
    ~TestKey()
    {
        if (result == ERROR_SUCCESS)
            RegCloseKey(handle);
    }

    HKEY handle = nullptr;
    LONG result;
};

void WriteValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                const void* data, DWORD size)
{
    EXPECT_EQ(SHSetValueA(root, path.c_str(), name.c_str(), type, data, size), ERROR_SUCCESS)
        << "planting " << path << " " << name;
}

} // namespace

PlantedKey::PlantedKey(HKEY r, const std::string& p) : root(r), path(p)
{
    // Level by level: the shallowest key created here is the one removed at the end.
    for (size_t end = 0; end != std::string::npos;) {
        end = path.find('\\', end + 1);
        std::string level = path.substr(0, end);
        DWORD disposition = 0;
        TestKey key(root, level, &disposition);
        EXPECT_EQ(key.result, ERROR_SUCCESS) << "planting " << level;
        if (key.result != ERROR_SUCCESS)
            return;
        if (disposition == REG_CREATED_NEW_KEY && topCreated.empty())
            topCreated = level;
    }
}

PlantedKey::~PlantedKey()
{
    if (!topCreated.empty()) {
        SHDeleteKeyA(root, topCreated.c_str());
        return;
    }
    for (auto sub = createdSubkeys.rbegin(); sub != createdSubkeys.rend(); ++sub)
        SHDeleteKeyA(root, sub->c_str());
    TestKey key(root, path);
    if (key.result != ERROR_SUCCESS)
        return;
    for (auto value = kept.rbegin(); value != kept.rend(); ++value)
        if (value->existed)
            RegSetValueExA(key.handle, value->name.c_str(), 0, value->type, value->data.data(),
                           static_cast<DWORD>(value->data.size()));
        else
            RegDeleteValueA(key.handle, value->name.c_str());
}

void PlantedKey::Keep(const std::string& name)
{
    if (!topCreated.empty())
        return; // the whole key goes at the end
    for (const KeptValue& value : kept)
        if (value.name == name)
            return; // the first state seen is the one to put back
    KeptValue value{name, false, REG_NONE, {}};
    TestKey key(root, path);
    DWORD size = 0;
    if (key.result == ERROR_SUCCESS &&
        RegQueryValueExA(key.handle, name.c_str(), nullptr, &value.type, nullptr, &size) ==
            ERROR_SUCCESS) {
        value.data.resize(size);
        value.existed = RegQueryValueExA(key.handle, name.c_str(), nullptr, &value.type,
                                         value.data.data(), &size) == ERROR_SUCCESS;
        value.data.resize(size);
    }
    kept.push_back(value);
}

std::string PlantedKey::FullPath() const
{
    return RootKeyName(root) + "\\" + path;
}

void PlantedKey::SetString(const std::string& name, const std::string& data, DWORD type)
{
    Keep(name);
    WriteValue(root, path, name, type, data.c_str(), static_cast<DWORD>(data.size() + 1));
}

void PlantedKey::SetDword(const std::string& name, DWORD data)
{
    Keep(name);
    WriteValue(root, path, name, REG_DWORD, &data, sizeof(data));
}

void PlantedKey::SetBinary(const std::string& name, const std::vector<BYTE>& data, DWORD type)
{
    Keep(name);
    WriteValue(root, path, name, type, data.data(), static_cast<DWORD>(data.size()));
}

std::string PlantedKey::Subkey(const std::string& name)
{
    std::string sub = path + "\\" + name;
    DWORD disposition = 0;
    TestKey key(root, sub, &disposition);
    EXPECT_EQ(key.result, ERROR_SUCCESS) << "planting " << sub;
    if (disposition == REG_CREATED_NEW_KEY && topCreated.empty())
        createdSubkeys.push_back(sub);
    return sub;
}

std::vector<std::string> CreateFolders(const std::string& path)
{
    std::vector<std::string> created;
    for (size_t pos = path.find('\\', 3); ; pos = path.find('\\', pos + 1)) {
        std::string prefix = path.substr(0, pos);
        if (!prefix.empty() && GetFileAttributesA(prefix.c_str()) == INVALID_FILE_ATTRIBUTES &&
            CreateDirectoryA(prefix.c_str(), nullptr))
            created.push_back(prefix);
        if (pos == std::string::npos)
            break;
    }
    return created;
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data)) {
        const std::string name = data.cFileName, child = path + "\\" + name;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL), DeleteFileA(child.c_str());
        else if (name != "." && name != "..")
            RemoveTree(child);
    }
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    RemoveDirectoryA(path.c_str());
}

PlantedPath::~PlantedPath()
{
    for (auto it = createdFolders.rbegin(); it != createdFolders.rend(); ++it)
        RemoveDirectoryA(it->c_str());
}

PlantedFile::PlantedFile(const std::string& p, const std::string& content) : PlantedPath(p)
{
    size_t slash = path.rfind('\\');
    if (slash != std::string::npos)
        createdFolders = CreateFolders(path.substr(0, slash));
    std::ofstream file(path, std::ios::binary);
    EXPECT_TRUE(file.write(content.data(), content.size()).flush()) << "planting " << path;
}

PlantedFile::~PlantedFile()
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
}

PlantedFolder::PlantedFolder(const std::string& p) : PlantedPath(p)
{
    createdFolders = CreateFolders(p);
}

std::string UniqueName(const std::string& stem)
{
    static unsigned counter = 0;
    char buffer[64];
    snprintf(buffer, sizeof(buffer), "_%lu_%u", GetCurrentProcessId(), ++counter);
    return stem + buffer;
}

std::string TestBinaryFolder()
{
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string path(buffer, length);
    return path.substr(0, path.rfind('\\'));
}
