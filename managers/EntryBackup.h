#pragma once
// Copies of registry values and key trees that are read back before anyone
// relies on them: the managers delete an entry only once its backup holds
// exactly what the entry held, and delete a backup only once the entry is
// back in place.

#include <windows.h>

#include <string>
#include <vector>

// The program's own key below HKEY_CURRENT_USER, which holds the backups.
extern const char programKey[];

// The value's type and bytes, whatever their size; 0 or a platform error code.
LONG ReadRegValueBytes(HKEY key, const std::string& name, DWORD& type, std::vector<BYTE>& bytes);
// Text read into a buffer: its first `size` bytes, up to the first zero byte.
std::string BufferText(const void* buffer, size_t size);
// A value's bytes taken as text, whatever its type.
inline std::string ValueText(const std::vector<BYTE>& bytes)
{
    return BufferText(bytes.data(), bytes.size());
}

// 1 when the value `name` exists below (root, subkey).
int RegValueExists(HKEY root, const std::string& subkey, const std::string& name);
// 1 when the value `name` below (root, subkey) and the one below
// (otherRoot, otherSubkey) exist with the same type and bytes.
int SameRegValue(HKEY root, const std::string& subkey, HKEY otherRoot, const std::string& otherSubkey,
                 const std::string& name);

// Writes the value `name` of (root, subkey) with its type and bytes to the
// same name below (destinationRoot, destinationSubkey), creating that key,
// and reads it back. 1 when the copy holds the same type and bytes. A copy
// that failed is removed again unless a value of that name was there before.
int CopyRegValueChecked(HKEY root, const std::string& subkey, const std::string& name,
                        HKEY destinationRoot, const std::string& destinationSubkey);

// 1 when every value of `source` is in `copy` with the same type and bytes,
// and so on for every subkey below.
int KeyTreeHolds(HKEY copy, HKEY source);
// 1 when the key tree (root, subkey) is held by (otherRoot, otherSubkey).
int KeyTreeHolds(HKEY root, const std::string& subkey, HKEY otherRoot, const std::string& otherSubkey);

// Copies the key tree (root, subkey) to the key `name` (which may contain
// backslashes) below (destinationRoot, destinationParent), creating the
// parent when missing, and checks the copy against the source. With
// `replace`, a key already at the destination is deleted first, so that the
// copy holds the source and nothing else; without, the source is written
// over what is there. 1 when the copy holds the whole source. A copy that
// failed is removed again unless the key was there before and is kept.
int CopyKeyTreeChecked(HKEY root, const std::string& subkey, HKEY destinationRoot,
                       const std::string& destinationParent, const std::string& name, bool replace);
