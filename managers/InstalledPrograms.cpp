#include "managers/InstalledPrograms.h"

#include "core/Registry.h"
#include "managers/EntryBackup.h"

const char uninstallKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char uninstallBackupKey[] = "Software\\Quillmoor8\\UninstallBkup";

int ReadDisplayName(RegKey& entry, std::string& displayName, std::string& uninstallCommand)
{
    char display[261] = {};
    DWORD size = 260;
    if (entry.QueryStringValue(display, "DisplayName", &size) != ERROR_SUCCESS)
        return 0;
    displayName = BufferText(display, size < 260 ? size : 260);
    uninstallCommand = ReadRegString(entry.Handle(), "", "UninstallString", REG_SZ);
    return 1;
}

std::vector<InstalledProgram> ListInstalledPrograms()
{
    std::vector<InstalledProgram> programs;
    ForEachSubkey(HKEY_LOCAL_MACHINE, uninstallKeyPath, [&](const std::string& name, RegKey& entry) {
        DWORD systemComponent = 0;
        InstalledProgram program;
        program.subkey = name;
        if ((entry.QueryDwordValue(systemComponent, "SystemComponent") != ERROR_SUCCESS || systemComponent != 1) &&
            ReadDisplayName(entry, program.displayName, program.uninstallCommand))
            programs.push_back(program);
    });
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
