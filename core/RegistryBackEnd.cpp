#include "core/Registry.h"

#include <shlwapi.h>

RegistryBackEnd regApi = {
    ::RegOpenKeyExA,   ::RegCreateKeyExA,  ::RegCreateKeyA,    ::RegCloseKey,
    ::RegQueryInfoKeyA, ::RegEnumKeyExA,   ::RegEnumKeyA,      ::RegEnumValueA,
    ::RegQueryValueExA, ::RegQueryValueA,  ::RegSetValueExA,   ::RegDeleteKeyA,
    ::RegDeleteValueA, ::SHDeleteValueA,   ::SHDeleteKeyA,     ::RegSaveKeyA,
    ::RegRestoreKeyA,  ::RegSetKeySecurity,
};
