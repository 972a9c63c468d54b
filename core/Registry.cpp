#include "core/Registry.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "core/AppMessage.h"
#include "core/Handles.h"

namespace {

// Failures of writes and deletions are worth a line to a debugger, never a
// word to the user.
void Diagnose(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    OutputDebugStringA(text);
}

const char runKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The registry calls that should set the thread's error code often do not; a
// failure must never pass for success, so fall back to the call's own code.
LONG LastErrorOr(LONG code)
{
    DWORD last = GetLastError();
    return last != ERROR_SUCCESS ? static_cast<LONG>(last) : code;
}

} // namespace

// ---- Root keys and full key paths -------------------------------------------

HKEY ParseRootKeyName(const std::string& name)
{
    if (name == "HKEY_CURRENT_USER")
        return HKEY_CURRENT_USER;
    if (name == "HKEY_LOCAL_MACHINE")
        return HKEY_LOCAL_MACHINE;
    if (name == "HKEY_CLASSES_ROOT")
        return HKEY_CLASSES_ROOT;
    if (name == "HKEY_USERS")
        return HKEY_USERS;
    return nullptr;
}

std::string RootKeyName(HKEY root)
{
    if (root == HKEY_CURRENT_USER)
        return "HKEY_CURRENT_USER";
    if (root == HKEY_LOCAL_MACHINE)
        return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CLASSES_ROOT)
        return "HKEY_CLASSES_ROOT";
    if (root == HKEY_USERS)
        return "HKEY_USERS";
    return "";
}

bool SplitKeyPath(const std::string& fullPath, HKEY& root, std::string& subkey)
{
    size_t slash = fullPath.find('\\');
    root = ParseRootKeyName(fullPath.substr(0, slash));
    subkey = slash == std::string::npos ? std::string() : fullPath.substr(slash + 1);
    return root != nullptr;
}

// ---- Registry functions ----------------------------------------------------

std::string ReadRegString(HKEY root, const std::string& subkey, const std::string& valueName,
                          DWORD type)
{
    HKEY key = nullptr;
    if (regApi.RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    // 255 bytes is all a value may hold to count as readable; the extra byte
    // makes room for the terminator.
    char buffer[256] = {};
    DWORD size = 255;
    LONG rc = regApi.RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer), &size);
    if (rc != ERROR_SUCCESS) {
        regApi.RegCloseKey(key);
        return "";
    }
    buffer[size < 255 ? size : 255] = '\0';
    std::string text = buffer;
    if (regApi.RegCloseKey(key) != ERROR_SUCCESS) {
        // Through the program's one door for boxes: without a window the
        // text is taken, never left waiting for a click.
        messageBoxFunction(nullptr, "Error in RegCloseKey.", nullptr, MB_OK | MB_ICONERROR);
        return "";
    }
    return text;
}

int WriteRegValue(HKEY root, const std::string& subkey, const std::string& valueName,
                  const std::string& data, DWORD type)
{
    std::string text = data;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n' || text.back() == '\v' || text.back() == '\f'))
        text.pop_back();

    HKEY opened = nullptr;
    LONG rc = regApi.RegOpenKeyExA(root, subkey.c_str(), 0, KEY_WRITE, &opened);
    if (rc != ERROR_SUCCESS) {
        Diagnose("Error Opening key - %s, ErrCode=%d", subkey.c_str(), static_cast<int>(rc));
        return 0;
    }
    RegKey key(opened);
    rc = regApi.RegSetValueExA(key.Handle(), valueName.c_str(), 0, type,
                               reinterpret_cast<const BYTE*>(text.data()),
                               static_cast<DWORD>(text.size()));
    if (rc != ERROR_SUCCESS) {
        Diagnose("Error Setting value name - %s value - %s, ErrCode=%d", valueName.c_str(),
                 text.c_str(), static_cast<int>(rc));
        return 0;
    }
    return 1;
}

int DeleteRegKey(HKEY root, const std::string& subkey)
{
    // The root may be a key the caller owns: borrow it, never close it.
    RegKey parent(root);
    int counter = 0;
    LONG rc = parent.RecurseDeleteKey(subkey, counter);
    if (rc == ERROR_ACCESS_DENIED) {
        std::vector<BYTE> sid;
        if (GetCurrentUserSid(sid) &&
            GrantKeyTreeAccess(root, subkey, reinterpret_cast<PSID>(sid.data()), true)) {
            counter = 0;
            rc = parent.RecurseDeleteKey(subkey, counter);
        }
    }
    parent.Detach();
    if (rc == ERROR_SUCCESS)
        return 1;
    Diagnose("DeleteRegKey: Couldn't delete %s, error=%d", subkey.c_str(), static_cast<int>(rc));
    return 0;
}

int DeleteRegValue(HKEY root, const std::string& subkey, const std::string& valueName)
{
    DWORD rc = regApi.SHDeleteValueA(root, subkey.c_str(), valueName.c_str());
    if (rc == ERROR_ACCESS_DENIED) {
        std::vector<BYTE> sid;
        if (GetCurrentUserSid(sid)) {
            GrantKeyTreeAccess(root, subkey, reinterpret_cast<PSID>(sid.data()), true);
            rc = regApi.SHDeleteValueA(root, subkey.c_str(), valueName.c_str());
        }
    }
    if (rc == ERROR_SUCCESS)
        return 1;
    Diagnose("DeleteRegValue: Couldn't delete %s value=%s, error=%d", subkey.c_str(),
             valueName.c_str(), static_cast<int>(rc));
    return 0;
}

LONG CopyRegKey(HKEY source, HKEY destinationParent, const std::string& destinationName)
{
    HKEY created = nullptr;
    SetLastError(ERROR_SUCCESS);
    LONG rc = regApi.RegCreateKeyExA(destinationParent, destinationName.c_str(), 0, nullptr, 0,
                                     KEY_ALL_ACCESS, nullptr, &created, nullptr);
    if (rc != ERROR_SUCCESS)
        return LastErrorOr(rc);
    RegKey destination(created);

    char name[261];
    for (DWORD index = 0;; ++index) {
        DWORD type = 0;
        std::vector<BYTE> data;
        DWORD nameLength = 0;
        DWORD dataLength = 0;
        do {
            DWORD longestData = 0;
            regApi.RegQueryInfoKeyA(source, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, &longestData, nullptr, nullptr);
            data.assign(longestData < 1024 ? 1024 : longestData, 0);
            nameLength = sizeof(name);
            dataLength = static_cast<DWORD>(data.size());
            SetLastError(ERROR_SUCCESS);
            rc = regApi.RegEnumValueA(source, index, name, &nameLength, nullptr, &type,
                                      data.data(), &dataLength);
            if (rc != ERROR_SUCCESS && rc != ERROR_NO_MORE_ITEMS)
                rc = LastErrorOr(rc);
        } while (rc == ERROR_NOT_ENOUGH_MEMORY);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return rc;
        SetLastError(ERROR_SUCCESS);
        rc = regApi.RegSetValueExA(destination.Handle(), name, 0, type, data.data(), dataLength);
        if (rc != ERROR_SUCCESS)
            return LastErrorOr(rc);
    }

    // Copying a key into a subkey of itself: the new key shows up among the
    // subkeys being copied and must not be copied into itself.
    bool intoItself = source == destinationParent;
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = sizeof(name);
        FILETIME written;
        SetLastError(ERROR_SUCCESS);
        rc = regApi.RegEnumKeyExA(source, index, name, &nameLength, nullptr, nullptr, nullptr,
                                  &written);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS)
            return LastErrorOr(rc);
        if (intoItself && lstrcmpiA(name, destinationName.c_str()) == 0)
            continue;
        RegKey child;
        SetLastError(ERROR_SUCCESS);
        rc = child.Open(source, name, KEY_ALL_ACCESS);
        if (rc != ERROR_SUCCESS)
            return LastErrorOr(rc);
        rc = CopyRegKey(child.Handle(), destination.Handle(), name);
        if (rc != ERROR_SUCCESS && rc != ERROR_NO_MORE_ITEMS)
            return rc;
    }
}

int KeyExists(HKEY root, const std::string& subkey)
{
    RegKey key;
    return key.Open(root, subkey, KEY_READ) == ERROR_SUCCESS;
}

int ClsidKeyExists(const std::string& classId)
{
    if (classId.empty())
        return 0;
    std::string braced = classId[0] == '{' ? classId : "{" + classId + "}";
    RegKey key;
    return key.Open(HKEY_CLASSES_ROOT, "CLSID\\" + braced, KEY_ALL_ACCESS) == ERROR_SUCCESS;
}

int TypeLibKeyExists(const std::string& typeLibId)
{
    RegKey key;
    return key.Open(HKEY_CLASSES_ROOT, "TypeLib\\" + typeLibId, KEY_ALL_ACCESS) == ERROR_SUCCESS;
}

int SetStartupRunValue(const std::string& name, const std::string& command)
{
    if (name.empty() || command.empty())
        return 0;
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, runKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return 0;
    // The command lives in a path-sized buffer and is stored without its terminator.
    char buffer[260] = {};
    lstrcpynA(buffer, command.c_str(), sizeof(buffer));
    return regApi.RegSetValueExA(key.Handle(), name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(buffer),
                                 static_cast<DWORD>(strlen(buffer))) == ERROR_SUCCESS;
}

int RemoveStartupRunValue(const std::string& name)
{
    if (name.empty())
        return 0;
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, runKey, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return 0;
    return regApi.RegDeleteValueA(key.Handle(), name.c_str()) == ERROR_SUCCESS;
}

int GrantKeyTreeAccess(HKEY root, const std::string& subkey, PSID user, bool recurse)
{
    {
        RegKey key;
        if (key.Open(root, subkey, WRITE_DAC) != ERROR_SUCCESS)
            return 0;
        // Full control for the current user alone; the keys below get the
        // same list one by one when asked to recurse.
        DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user);
        std::vector<BYTE> aclBytes(aclSize);
        PACL acl = reinterpret_cast<PACL>(aclBytes.data());
        SECURITY_DESCRIPTOR descriptor;
        if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
            !AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, user) ||
            !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE))
            return 0;
        if (regApi.RegSetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION, &descriptor) !=
            ERROR_SUCCESS)
            return 0;
    }
    if (!recurse)
        return 1;

    RegKey key;
    if (key.Open(root, subkey, KEY_READ) != ERROR_SUCCESS)
        return 0;
    DWORD subkeys = 0;
    regApi.RegQueryInfoKeyA(key.Handle(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr);
    for (DWORD index = 0; index < subkeys; ++index) {
        char name[261];
        LONG rc = regApi.RegEnumKeyA(key.Handle(), index, name, sizeof(name));
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_SUCCESS)
            GrantKeyTreeAccess(key.Handle(), name, user, true);
    }
    return 1;
}

int GetCurrentUserSid(std::vector<BYTE>& sid)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    HandleOwner tokenOwner(token);
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, nullptr, 0, &size) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return 0;
    std::vector<BYTE> info(size);
    if (!GetTokenInformation(token, TokenUser, info.data(), size, &size))
        return 0;
    PSID user = reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid;
    DWORD length = GetLengthSid(user);
    std::vector<BYTE> copy(length);
    if (!CopySid(length, copy.data(), user))
        return 0;
    sid = std::move(copy);
    return 1;
}

// ---- RegKey ------------------------------------------------------------------

RegKey::~RegKey()
{
    Close();
}

RegKey::RegKey(RegKey&& other) noexcept : key(std::exchange(other.key, nullptr)) {}

RegKey& RegKey::operator=(RegKey&& other) noexcept
{
    if (this != &other) {
        Close();
        key = std::exchange(other.key, nullptr);
    }
    return *this;
}

LONG RegKey::Open(HKEY parent, const std::string& subkey, REGSAM access)
{
    HKEY opened = nullptr;
    LONG rc = regApi.RegOpenKeyExA(parent, subkey.c_str(), 0, access, &opened);
    if (rc == ERROR_SUCCESS) {
        Close();
        key = opened;
    }
    return rc;
}

LONG RegKey::Close()
{
    if (!key)
        return ERROR_SUCCESS;
    return regApi.RegCloseKey(std::exchange(key, nullptr));
}

HKEY RegKey::Detach()
{
    return std::exchange(key, nullptr);
}

LONG RegKey::QueryDwordValue(DWORD& value, const std::string& name)
{
    DWORD type = 0;
    DWORD size = sizeof(value);
    return regApi.RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&value), &size);
}

LONG RegKey::QueryStringValue(char* buffer, const std::string& name, DWORD* byteCount)
{
    DWORD type = 0;
    return regApi.RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), byteCount);
}

LONG RegKey::SetDwordValue(DWORD value, const std::string& name)
{
    return regApi.RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

LONG RegKey::SetStringValue(const std::string& text, const std::string& name)
{
    return regApi.RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1));
}

LONG RegKey::RecurseDeleteKey(const std::string& subkey, int& counter)
{
    RegKey opened;
    LONG rc = opened.Open(key, subkey, KEY_ALL_ACCESS);
    if (rc != ERROR_SUCCESS)
        return rc;
    // Always index 0: each child found is gone before the next call.
    for (;;) {
        char name[256];
        DWORD length = sizeof(name);
        FILETIME written;
        if (regApi.RegEnumKeyExA(opened.Handle(), 0, name, &length, nullptr, nullptr, nullptr,
                                 &written) != ERROR_SUCCESS)
            break;
        rc = opened.RecurseDeleteKey(name, counter);
        if (rc != ERROR_SUCCESS)
            return rc;
        ++counter;
    }
    opened.Close();
    ++counter;
    return regApi.RegDeleteKeyA(key, subkey.c_str());
}
