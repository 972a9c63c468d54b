#include "core/Registry.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "core/AppMessage.h"
#include "core/Handles.h"
#include "core/KeyChain.h"
#include "core/Platform.h"

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

// A subkey path names a key below its root only when it holds more than
// backslashes; an empty one names the root itself, which nothing deletes.
bool NamesAKeyBelowRoot(const std::string& subkey)
{
    return subkey.find_first_not_of('\\') != std::string::npos;
}

// Deletes `subkey` of `parent` with everything below it, children first. A
// link key below is deleted as itself, never what it points at.
LONG RecurseDelete(KeyChain& chain, HKEY parent, const std::string& subkey, int& counter)
{
    RegKey opened;
    KeyChain::Entered facts;
    LONG rc = chain.Enter(parent, subkey, KEY_ALL_ACCESS, opened, &facts);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (facts.isLink) {
        rc = DeleteLinkKey(opened.Handle());
        chain.Leave();
        ++counter;
        return rc;
    }
    // Always index 0: each child found is gone before the next call.
    for (;;) {
        char name[256];
        DWORD length = sizeof(name);
        FILETIME written;
        if (regApi.RegEnumKeyExA(opened.Handle(), 0, name, &length, nullptr, nullptr, nullptr,
                                 &written) != ERROR_SUCCESS)
            break;
        rc = RecurseDelete(chain, opened.Handle(), name, counter);
        if (rc != ERROR_SUCCESS) {
            chain.Leave();
            return rc;
        }
        ++counter;
    }
    opened.Close();
    chain.Leave();
    ++counter;
    return regApi.RegDeleteKeyA(parent, subkey.c_str());
}

LONG RecurseDelete(HKEY parent, const std::string& subkey, int& counter)
{
    KeyChain chain(parent, KeyChain::Links::OpenItself);
    return RecurseDelete(chain, parent, subkey, counter);
}

// The key's discretionary access list as a self-relative descriptor; empty
// when it cannot be read.
std::vector<BYTE> KeyDescriptor(HKEY key)
{
    std::vector<BYTE> descriptor(256);
    DWORD size = static_cast<DWORD>(descriptor.size());
    LONG rc = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size);
    if (rc == ERROR_INSUFFICIENT_BUFFER) {
        descriptor.resize(size);
        rc = RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor.data(), &size);
    }
    if (rc != ERROR_SUCCESS)
        descriptor.clear();
    return descriptor;
}

// Gives `user` full control of the key held, in front of every entry its
// list has (inherited ones included), and keeps the list's inheritance
// flags. A key without a list is open to all already and is left as it is.
bool AddUserToKeyAccess(HKEY key, PSID user, const std::vector<BYTE>& original)
{
    if (original.empty())
        return false;
    PSECURITY_DESCRIPTOR old = const_cast<BYTE*>(original.data());
    BOOL present = FALSE, defaulted = FALSE;
    PACL oldAcl = nullptr;
    if (!GetSecurityDescriptorDacl(old, &present, &oldAcl, &defaulted))
        return false;
    if (!present || !oldAcl)
        return true;
    DWORD aclSize = oldAcl->AclSize + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user);
    std::vector<BYTE> aclBytes(aclSize);
    PACL acl = reinterpret_cast<PACL>(aclBytes.data());
    DWORD revision = oldAcl->AclRevision > ACL_REVISION ? oldAcl->AclRevision : ACL_REVISION;
    if (!InitializeAcl(acl, aclSize, revision) ||
        !AddAccessAllowedAce(acl, revision, KEY_ALL_ACCESS, user))
        return false;
    for (DWORD index = 0; index < oldAcl->AceCount; ++index) {
        void* ace = nullptr;
        if (!GetAce(oldAcl, index, &ace) ||
            !AddAce(acl, revision, MAXDWORD, ace, static_cast<ACE_HEADER*>(ace)->AceSize))
            return false;
    }
    SECURITY_DESCRIPTOR descriptor;
    if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE))
        return false;
    // Whether the list inherits from the parent is part of the list; the
    // call that sets it arrived with Windows 2000.
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD descriptorRevision = 0;
    auto getControl = SystemFunction<BOOL(WINAPI*)(PSECURITY_DESCRIPTOR,
                                                   PSECURITY_DESCRIPTOR_CONTROL, LPDWORD)>(
        "advapi32.dll", "GetSecurityDescriptorControl");
    auto setControl = SystemFunction<BOOL(WINAPI*)(
        PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL)>(
        "advapi32.dll", "SetSecurityDescriptorControl");
    const SECURITY_DESCRIPTOR_CONTROL inheritance = SE_DACL_AUTO_INHERITED | SE_DACL_PROTECTED;
    if (getControl && setControl && getControl(old, &control, &descriptorRevision))
        setControl(&descriptor, inheritance, control & inheritance);
    return regApi.RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) ==
           ERROR_SUCCESS;
}

int GrantTree(KeyChain& chain, HKEY parent, const std::string& name, PSID user, bool recurse,
              KeySecurityBackup* saved)
{
    {
        RegKey key;
        if (chain.Enter(parent, name, WRITE_DAC | READ_CONTROL, key) != ERROR_SUCCESS)
            return 0;
        std::vector<BYTE> original = KeyDescriptor(key.Handle());
        bool granted = AddUserToKeyAccess(key.Handle(), user, original);
        chain.Leave();
        if (!granted)
            return 0;
        if (saved)
            saved->Add(std::move(key), std::move(original));
    }
    if (!recurse)
        return 1;

    RegKey key;
    if (chain.Enter(parent, name, KEY_READ, key) != ERROR_SUCCESS)
        return 0;
    DWORD subkeys = 0;
    regApi.RegQueryInfoKeyA(key.Handle(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr);
    for (DWORD index = 0; index < subkeys; ++index) {
        char child[261];
        LONG rc = regApi.RegEnumKeyA(key.Handle(), index, child, sizeof(child));
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_SUCCESS)
            GrantTree(chain, key.Handle(), child, user, true, saved);
    }
    chain.Leave();
    return 1;
}

LONG CopyTree(KeyChain& chain, HKEY source, HKEY destinationParent,
              const std::string& destinationName);

} // namespace

// ---- Root keys and full key paths -------------------------------------------

const NamedRoot namedRoots[4] = {
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", nullptr},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "\\registry\\machine"},
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "\\registry\\machine\\software\\classes"},
    {HKEY_USERS, "HKEY_USERS", "\\registry\\user"},
};

HKEY ParseRootKeyName(const std::string& name)
{
    for (const NamedRoot& named : namedRoots)
        if (name == named.longName)
            return named.root;
    return nullptr;
}

std::string RootKeyName(HKEY root)
{
    for (const NamedRoot& named : namedRoots)
        if (root == named.root)
            return named.longName;
    return "";
}

bool SplitKeyPath(const std::string& fullPath, HKEY& root, std::string& subkey)
{
    size_t slash = fullPath.find('\\');
    root = ParseRootKeyName(fullPath.substr(0, slash));
    subkey = slash == std::string::npos ? std::string() : fullPath.substr(slash + 1);
    // A bare root names no key anything may be done to.
    if (!NamesAKeyBelowRoot(subkey))
        root = nullptr;
    return root != nullptr;
}

// ---- Registry functions ----------------------------------------------------

std::string ReadRegString(HKEY root, const std::string& subkey, const std::string& valueName,
                          DWORD type)
{
    RegKey key;
    if (key.Open(root, subkey, KEY_READ) != ERROR_SUCCESS)
        return "";
    // 255 bytes is all a value may hold to count as readable; the extra byte
    // makes room for the terminator.
    char buffer[256] = {};
    DWORD size = 255;
    if (regApi.RegQueryValueExA(key.Handle(), valueName.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return "";
    buffer[size < 255 ? size : 255] = '\0';
    std::string text = buffer;
    if (key.Close() != ERROR_SUCCESS) {
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
    if (!root || !NamesAKeyBelowRoot(subkey))
        return 0;
    int counter = 0;
    LONG rc = RecurseDelete(root, subkey, counter);
    if (rc == ERROR_ACCESS_DENIED) {
        std::vector<BYTE> sid;
        KeySecurityBackup saved;
        if (GetCurrentUserSid(sid) &&
            GrantKeyTreeAccess(root, subkey, reinterpret_cast<PSID>(sid.data()), true, &saved)) {
            counter = 0;
            rc = RecurseDelete(root, subkey, counter);
        }
        // What survived keeps the access it had.
        if (rc != ERROR_SUCCESS)
            saved.Restore();
    }
    if (rc == ERROR_SUCCESS)
        return 1;
    Diagnose("DeleteRegKey: Couldn't delete %s, error=%d", subkey.c_str(), static_cast<int>(rc));
    return 0;
}

int DeleteRegValue(HKEY root, const std::string& subkey, const std::string& valueName)
{
    if (!root || !NamesAKeyBelowRoot(subkey))
        return 0;
    DWORD rc = regApi.SHDeleteValueA(root, subkey.c_str(), valueName.c_str());
    if (rc == ERROR_ACCESS_DENIED) {
        std::vector<BYTE> sid;
        if (GetCurrentUserSid(sid)) {
            KeySecurityBackup saved;
            GrantKeyTreeAccess(root, subkey, reinterpret_cast<PSID>(sid.data()), true, &saved);
            rc = regApi.SHDeleteValueA(root, subkey.c_str(), valueName.c_str());
            // The key stays: it gets back the access it had.
            saved.Restore();
        }
    }
    if (rc == ERROR_SUCCESS)
        return 1;
    Diagnose("DeleteRegValue: Couldn't delete %s value=%s, error=%d", subkey.c_str(),
             valueName.c_str(), static_cast<int>(rc));
    return 0;
}

namespace {

LONG CopyTree(KeyChain& chain, HKEY source, HKEY destinationParent,
              const std::string& destinationName)
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
        rc = chain.Enter(source, name, KEY_ALL_ACCESS, child);
        // Too deep, or a link back into the tree being copied: passed over,
        // so that the copy ends.
        if (rc == keyChainRefused)
            continue;
        if (rc != ERROR_SUCCESS)
            return LastErrorOr(rc);
        rc = CopyTree(chain, child.Handle(), destination.Handle(), name);
        chain.Leave();
        if (rc != ERROR_SUCCESS && rc != ERROR_NO_MORE_ITEMS)
            return rc;
    }
}

} // namespace

LONG CopyRegKey(HKEY source, HKEY destinationParent, const std::string& destinationName)
{
    KeyChain chain(source);
    return CopyTree(chain, source, destinationParent, destinationName);
}

std::vector<std::string> ReadSubkeyNames(HKEY key)
{
    std::vector<std::string> names;
    DWORD count = 0;
    if (regApi.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0; index < count; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        FILETIME written;
        if (regApi.RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, &written) == ERROR_SUCCESS)
            names.push_back(name);
    }
    return names;
}

void ForEachSubkey(HKEY root, const std::string& path,
                   const std::function<void(const std::string&, RegKey&)>& visit)
{
    RegKey parent;
    if (parent.Open(root, path, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    for (const std::string& name : ReadSubkeyNames(parent.Handle())) {
        RegKey key;
        if (key.Open(parent.Handle(), name, KEY_ALL_ACCESS) == ERROR_SUCCESS)
            visit(name, key);
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

int GrantKeyTreeAccess(HKEY root, const std::string& subkey, PSID user, bool recurse,
                       KeySecurityBackup* saved)
{
    KeyChain chain(root, KeyChain::Links::OpenItself);
    return GrantTree(chain, root, subkey, user, recurse, saved);
}

void KeySecurityBackup::Add(RegKey key, std::vector<BYTE> descriptor)
{
    saved.push_back(Saved{std::move(key), std::move(descriptor)});
}

void KeySecurityBackup::Restore() const
{
    // A key deleted meanwhile refuses the call; it has nothing to restore.
    for (const Saved& entry : saved)
        regApi.RegSetKeySecurity(entry.key.Handle(), DACL_SECURITY_INFORMATION,
                                 const_cast<BYTE*>(entry.descriptor.data()));
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
    return RecurseDelete(key, subkey, counter);
}
