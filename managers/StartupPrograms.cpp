#include "managers/StartupPrograms.h"

#include <algorithm>

#include "core/FileTools.h"
#include "core/Registry.h"
#include "core/Text.h"
#include "managers/EntryBackup.h"

const char runKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char machineRunBackupKey[] = "Software\\Quillmoor8\\RunLMBkup";
const char userRunBackupKey[] = "Software\\Quillmoor8\\RunCUBkup";

namespace {

HKEY RootOf(DWORD kind)
{
    return kind == 1 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

void ListRunKey(DWORD kind, std::vector<StartupItem>& items)
{
    RegKey key;
    if (key.Open(RootOf(kind), runKeyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    DWORD count = 0;
    regApi.RegQueryInfoKeyA(key.Handle(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            &count, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> name(16384);
    for (DWORD index = 0; index < count; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (regApi.RegEnumValueA(key.Handle(), index, name.data(), &length, nullptr, nullptr,
                                 nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        StartupItem item;
        item.kind = kind;
        item.name.assign(name.data(), length);
        // The whole command, however long.
        std::vector<BYTE> bytes;
        ReadRegValueBytes(key.Handle(), item.name, item.type, bytes);
        item.command = ValueText(bytes);
        items.push_back(item);
    }
}

} // namespace

std::vector<StartupItem> ListStartupItems()
{
    std::vector<StartupItem> items;
    ListRunKey(1, items);
    ListRunKey(0, items);
    return items;
}

int RemoveStartupItem(const StartupItem& item)
{
    HKEY root = RootOf(item.kind);
    const char* backupKey = item.kind == 1 ? machineRunBackupKey : userRunBackupKey;
    if (!CopyRegValueChecked(root, runKeyPath, item.name, HKEY_CURRENT_USER, backupKey))
        return 0;
    return DeleteRegValue(root, runKeyPath, item.name);
}

std::string CommandToRun(const StartupItem& item)
{
    if (item.type != REG_EXPAND_SZ)
        return item.command;
    DWORD size = ExpandEnvironmentStringsA(item.command.c_str(), nullptr, 0);
    std::string expanded(size, '\0');
    if (size == 0 || ExpandEnvironmentStringsA(item.command.c_str(), &expanded[0], size) == 0)
        return item.command;
    expanded.resize(expanded.find('\0'));
    return expanded;
}

std::string StartupProgramPath(const std::string& command)
{
    std::string path = Lowered(command);
    size_t exe = path.find(".exe");
    if (exe != std::string::npos)
        path.erase(exe + 4);
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    return path;
}

int RunStartupCommand(const std::string& command)
{
    if (RunProgram(command, "", false))
        return 1;
    for (size_t blank = command.find(' ', 1); blank != std::string::npos;
         blank = command.find(' ', blank + 1))
        if (RunProgram(command.substr(0, blank), command.substr(blank), false))
            return 1;
    return 0;
}
