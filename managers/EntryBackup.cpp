#include "managers/EntryBackup.h"

#include "core/Registry.h"

const char programKey[] = "Software\\Quillmoor8";

namespace {

// Deeper trees than this are not ours to copy; the walk stops and the check fails.
const int maximumDepth = 512;

int TreeHolds(HKEY copy, HKEY source, int depth)
{
    if (depth >= maximumDepth)
        return 0;
    std::vector<char> name(16384);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        LONG rc = regApi.RegEnumValueA(source, index, name.data(), &length, nullptr, nullptr,
                                       nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return 0;
        DWORD type = 0, copyType = 0;
        std::vector<BYTE> bytes, copyBytes;
        if (ReadRegValueBytes(source, name.data(), type, bytes) != ERROR_SUCCESS ||
            ReadRegValueBytes(copy, name.data(), copyType, copyBytes) != ERROR_SUCCESS ||
            type != copyType || bytes != copyBytes)
            return 0;
    }
    for (DWORD index = 0;; ++index) {
        char subkey[256];
        DWORD length = sizeof(subkey);
        FILETIME written;
        LONG rc = regApi.RegEnumKeyExA(source, index, subkey, &length, nullptr, nullptr, nullptr,
                                       &written);
        if (rc == ERROR_NO_MORE_ITEMS)
            return 1;
        RegKey sourceChild, copyChild;
        if (rc != ERROR_SUCCESS || sourceChild.Open(source, subkey, KEY_READ) != ERROR_SUCCESS ||
            copyChild.Open(copy, subkey, KEY_READ) != ERROR_SUCCESS ||
            !TreeHolds(copyChild.Handle(), sourceChild.Handle(), depth + 1))
            return 0;
    }
}

// The key (root, subkey), created when missing; empty on failure.
RegKey CreateKey(HKEY root, const std::string& subkey)
{
    HKEY created = nullptr;
    if (regApi.RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               &created, nullptr) != ERROR_SUCCESS)
        return RegKey();
    return RegKey(created);
}

} // namespace

std::string BufferText(const void* buffer, size_t size)
{
    const char* text = static_cast<const char*>(buffer);
    size_t length = 0;
    while (length < size && text[length] != '\0')
        ++length;
    return std::string(text, length);
}

LONG ReadRegValueBytes(HKEY key, const std::string& name, DWORD& type, std::vector<BYTE>& bytes)
{
    // The value may grow between asking its size and reading it: ask again.
    for (DWORD size = 1024;;) {
        bytes.assign(size, 0);
        LONG rc = regApi.RegQueryValueExA(key, name.c_str(), nullptr, &type, bytes.data(), &size);
        if (rc == ERROR_MORE_DATA)
            continue;
        bytes.resize(rc == ERROR_SUCCESS ? size : 0);
        return rc;
    }
}

int RegValueExists(HKEY root, const std::string& subkey, const std::string& name)
{
    RegKey key;
    DWORD type = 0;
    std::vector<BYTE> bytes;
    return key.Open(root, subkey, KEY_READ) == ERROR_SUCCESS &&
           ReadRegValueBytes(key.Handle(), name, type, bytes) == ERROR_SUCCESS;
}

int SameRegValue(HKEY root, const std::string& subkey, HKEY otherRoot, const std::string& otherSubkey,
                 const std::string& name)
{
    RegKey key, other;
    DWORD type = 0, otherType = 0;
    std::vector<BYTE> bytes, otherBytes;
    return key.Open(root, subkey, KEY_READ) == ERROR_SUCCESS &&
           other.Open(otherRoot, otherSubkey, KEY_READ) == ERROR_SUCCESS &&
           ReadRegValueBytes(key.Handle(), name, type, bytes) == ERROR_SUCCESS &&
           ReadRegValueBytes(other.Handle(), name, otherType, otherBytes) == ERROR_SUCCESS &&
           type == otherType && bytes == otherBytes;
}

int CopyRegValueChecked(HKEY root, const std::string& subkey, const std::string& name,
                        HKEY destinationRoot, const std::string& destinationSubkey)
{
    RegKey source;
    DWORD type = 0;
    std::vector<BYTE> bytes;
    if (source.Open(root, subkey, KEY_READ) != ERROR_SUCCESS ||
        ReadRegValueBytes(source.Handle(), name, type, bytes) != ERROR_SUCCESS)
        return 0;
    bool wasThere = RegValueExists(destinationRoot, destinationSubkey, name);
    RegKey destination = CreateKey(destinationRoot, destinationSubkey);
    if (!destination)
        return 0;
    LONG rc = regApi.RegSetValueExA(destination.Handle(), name.c_str(), 0, type, bytes.data(),
                                    static_cast<DWORD>(bytes.size()));
    DWORD copyType = 0;
    std::vector<BYTE> copyBytes;
    if (rc == ERROR_SUCCESS &&
        ReadRegValueBytes(destination.Handle(), name, copyType, copyBytes) == ERROR_SUCCESS &&
        copyType == type && copyBytes == bytes)
        return 1;
    if (!wasThere)
        regApi.RegDeleteValueA(destination.Handle(), name.c_str());
    return 0;
}

int KeyTreeHolds(HKEY copy, HKEY source)
{
    return TreeHolds(copy, source, 0);
}

int KeyTreeHolds(HKEY root, const std::string& subkey, HKEY otherRoot, const std::string& otherSubkey)
{
    RegKey source, copy;
    return source.Open(root, subkey, KEY_READ) == ERROR_SUCCESS &&
           copy.Open(otherRoot, otherSubkey, KEY_READ) == ERROR_SUCCESS &&
           KeyTreeHolds(copy.Handle(), source.Handle());
}

int CopyKeyTreeChecked(HKEY root, const std::string& subkey, HKEY destinationRoot,
                       const std::string& destinationParent, const std::string& name, bool replace)
{
    // An empty name would make the parent itself the destination.
    if (name.empty() || subkey.empty())
        return 0;
    const std::string destination = destinationParent + "\\" + name;
    RegKey source;
    if (source.Open(root, subkey, KEY_READ) != ERROR_SUCCESS)
        return 0;
    bool keep = KeyExists(destinationRoot, destination);
    if (keep && replace) {
        if (!DeleteRegKey(destinationRoot, destination))
            return 0;
        keep = false;
    }
    RegKey parent = CreateKey(destinationRoot, destinationParent);
    int copied = parent && CopyRegKey(source.Handle(), parent.Handle(), name) == ERROR_SUCCESS;
    if (copied) {
        RegKey copy;
        copied = copy.Open(destinationRoot, destination, KEY_READ) == ERROR_SUCCESS &&
                 KeyTreeHolds(copy.Handle(), source.Handle());
    }
    if (!copied && !keep)
        DeleteRegKey(destinationRoot, destination);
    return copied;
}
