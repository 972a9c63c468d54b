#pragma once
// The registry access layer: full key paths, the registry functions every
// other layer uses, the key object RegKey, and the back end through which
// every platform registry operation is called.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// ---- Back end ---------------------------------------------------------------
// One table of the platform registry operations. Production points it at
// advapi32/shlwapi and never changes it; a test may wrap one entry to make a
// call fail (access denied, more data, not enough memory) while every other
// call still reaches the real registry.
struct RegistryBackEnd {
    decltype(&::RegOpenKeyExA) RegOpenKeyExA;
    decltype(&::RegCreateKeyExA) RegCreateKeyExA;
    decltype(&::RegCreateKeyA) RegCreateKeyA;
    decltype(&::RegCloseKey) RegCloseKey;
    decltype(&::RegQueryInfoKeyA) RegQueryInfoKeyA;
    decltype(&::RegEnumKeyExA) RegEnumKeyExA;
    decltype(&::RegEnumKeyA) RegEnumKeyA;
    decltype(&::RegEnumValueA) RegEnumValueA;
    decltype(&::RegQueryValueExA) RegQueryValueExA;
    decltype(&::RegQueryValueA) RegQueryValueA;
    decltype(&::RegSetValueExA) RegSetValueExA;
    decltype(&::RegDeleteKeyA) RegDeleteKeyA;
    decltype(&::RegDeleteValueA) RegDeleteValueA;
    DWORD(WINAPI* SHDeleteValueA)(HKEY, LPCSTR, LPCSTR);
    DWORD(WINAPI* SHDeleteKeyA)(HKEY, LPCSTR);
    decltype(&::RegSaveKeyA) RegSaveKeyA;
    decltype(&::RegRestoreKeyA) RegRestoreKeyA;
    decltype(&::RegSetKeySecurity) RegSetKeySecurity;
};

// The table every registry call of the program goes through.
extern RegistryBackEnd regApi;

// ---- Root keys and full key paths -------------------------------------------

// The four roots the program names: their long names and the names the
// kernel gives them (none for the current user's, which is that user's own
// key below HKEY_USERS).
struct NamedRoot {
    HKEY root;
    const char* longName;
    const char* objectName;
};
extern const NamedRoot namedRoots[4];
// Those roots by their long names (case-sensitive); null for anything else.
HKEY ParseRootKeyName(const std::string& name);
// The long name of those four roots; empty for any other handle.
std::string RootKeyName(HKEY root);
// Splits "ROOT\sub\key" at its first backslash; false (and a null root)
// when the root is unknown or the path names the root itself.
bool SplitKeyPath(const std::string& fullPath, HKEY& root, std::string& subkey);

// ---- Registry functions ----------------------------------------------------

// The value's data as text; empty when the key or value cannot be read or the
// data does not fit in 255 bytes.
std::string ReadRegString(HKEY root, const std::string& subkey, const std::string& valueName,
                          DWORD type = REG_SZ);
// 1 when written (trailing white space of the data removed), else 0.
int WriteRegValue(HKEY root, const std::string& subkey, const std::string& valueName,
                  const std::string& data, DWORD type);
// 1 when the key and everything below it are gone, else 0. An empty subkey
// (the root itself) is refused; a link key below is deleted, never its target.
int DeleteRegKey(HKEY root, const std::string& subkey);
// 1 when the value is gone, else 0; refused for an empty subkey.
int DeleteRegValue(HKEY root, const std::string& subkey, const std::string& valueName);
// Copies the whole tree of `source` to `destinationName` below
// `destinationParent`; 0 or a platform error code.
LONG CopyRegKey(HKEY source, HKEY destinationParent, const std::string& destinationName);
// The names of a key's subkeys (up to 255 characters), in the registry's
// order; one that cannot be read is left out.
std::vector<std::string> ReadSubkeyNames(HKEY key);
// 1 when the key opens with KEY_READ.
int KeyExists(HKEY root, const std::string& subkey);
// 1 when HKEY_CLASSES_ROOT\CLSID\{id} opens with full access (braces added when missing).
int ClsidKeyExists(const std::string& classId);
// 1 when HKEY_CLASSES_ROOT\TypeLib\id opens with full access.
int TypeLibKeyExists(const std::string& typeLibId);
// The current user's Run entry; 1 on success.
int SetStartupRunValue(const std::string& name, const std::string& command);
int RemoveStartupRunValue(const std::string& name);
class KeySecurityBackup;
// Adds full control for `user` to the access list of a key (and, with
// recurse, of its subkeys; links are re-secured as themselves, never
// followed), keeping every other entry; 1 when the key itself was re-secured.
// With `saved`, each key's list as it was is added there.
int GrantKeyTreeAccess(HKEY root, const std::string& subkey, PSID user, bool recurse,
                       KeySecurityBackup* saved = nullptr);
// The current user's security identifier; 1 and the bytes, or 0.
int GetCurrentUserSid(std::vector<BYTE>& sid);

// ---- RegKey ------------------------------------------------------------------
// Owns at most one open key handle; closes it when destroyed or reopened.
class RegKey {
public:
    RegKey() = default;
    // Holds `key` (a root or an open key); the object closes it.
    explicit RegKey(HKEY key) : key(key) {}
    ~RegKey();
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    HKEY Handle() const { return key; }
    explicit operator bool() const { return key != nullptr; }

    // 0 on success; the key held so far is unchanged on failure.
    LONG Open(HKEY parent, const std::string& subkey, REGSAM access);
    // The close result, 0 when nothing was held.
    LONG Close();
    LONG QueryDwordValue(DWORD& value, const std::string& name);
    LONG QueryStringValue(char* buffer, const std::string& name, DWORD* byteCount);
    LONG SetDwordValue(DWORD value, const std::string& name);
    LONG SetStringValue(const std::string& text, const std::string& name);
    // Deletes the subkey with everything below it, children first; a link
    // key below is deleted as itself.
    LONG RecurseDeleteKey(const std::string& subkey, int& counter);

private:
    HKEY key = nullptr;
};

// Calls `visit` with the name and the key, opened with full access, of each
// subkey of root\path that opens, in the registry's order.
void ForEachSubkey(HKEY root, const std::string& path,
                   const std::function<void(const std::string&, RegKey&)>& visit);

// The access lists keys had before GrantKeyTreeAccess changed them, each with
// its key held open to put it back (a deep key's path is too long to reopen).
class KeySecurityBackup {
public:
    void Add(RegKey key, std::vector<BYTE> descriptor);
    // Puts each saved list back on its key, where that key still exists.
    void Restore() const;

private:
    struct Saved {
        RegKey key;
        std::vector<BYTE> descriptor;
    };
    std::vector<Saved> saved;
};
