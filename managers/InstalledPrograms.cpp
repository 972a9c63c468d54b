#include "managers/InstalledPrograms.h"

#include "core/Registry.h"
#include "managers/EntryBackup.h"

const char uninstallKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char uninstallBackupKey[] = "Software\\Quillmoor8\\UninstallBkup";

std::vector<InstalledProgram> ListInstalledPrograms()
{
    std::vector<InstalledProgram> programs;
    RegKey uninstall;
    if (uninstall.Open(HKEY_LOCAL_MACHINE, uninstallKeyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return programs;
    DWORD count = 0;
    regApi.RegQueryInfoKeyA(uninstall.Handle(), nullptr, nullptr, nullptr, &count, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    for (DWORD index = 0; index < count; ++index) {
        char name[256];
        DWORD length = sizeof(name);
        FILETIME written;
        if (regApi.RegEnumKeyExA(uninstall.Handle(), index, name, &length, nullptr, nullptr,
                                 nullptr, &written) != ERROR_SUCCESS)
            continue;
        RegKey entry;
        if (entry.Open(HKEY_LOCAL_MACHINE, std::string(uninstallKeyPath) + "\\" + name,
                       KEY_ALL_ACCESS) != ERROR_SUCCESS)
            continue;
        DWORD systemComponent = 0;
        if (entry.QueryDwordValue(systemComponent, "SystemComponent") == ERROR_SUCCESS &&
            systemComponent == 1)
            continue;
        char display[261] = {};
        DWORD size = 260;
        if (entry.QueryStringValue(display, "DisplayName", &size) != ERROR_SUCCESS)
            continue;
        InstalledProgram program;
        program.subkey = name;
        program.displayName = BufferText(display, size < 260 ? size : 260);
        program.uninstallCommand = ReadRegString(entry.Handle(), "", "UninstallString", REG_SZ);
        programs.push_back(program);
    }
    return programs;
}

int RemoveInstalledProgram(const std::string& subkey)
{
    if (subkey.empty())
        return 0;
    const std::string entryKey = std::string(uninstallKeyPath) + "\\" + subkey;
    if (!CopyKeyTreeChecked(HKEY_LOCAL_MACHINE, entryKey, HKEY_CURRENT_USER, programKey,
                            "UninstallBkup\\" + subkey, true))
        return 0;
    return DeleteRegKey(HKEY_LOCAL_MACHINE, entryKey);
}
