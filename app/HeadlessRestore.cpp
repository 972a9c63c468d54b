#include "app/HeadlessRestore.h"

#include <string.h>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "core/PathCheck.h"
#include "core/Platform.h"
#include "repair/BackupRestore.h"

namespace {

struct BackupOptions {
    bool list = false;
    std::string set;
    bool itemsGiven = false;
    std::vector<size_t> items; // from 1
};

// Item numbers count from 1.
bool ParseItemList(const std::string& list, std::vector<size_t>& items)
{
    std::vector<unsigned long> numbers;
    if (!ParseNumberList(list, 6, numbers))
        return false;
    for (unsigned long number : numbers) {
        if (number == 0)
            return false;
        items.push_back(number);
    }
    return true;
}

bool ParseBackupArguments(const std::vector<std::string>& arguments, BackupOptions& options, std::string& error)
{
    for (const std::string& argument : arguments) {
        std::string value;
        if (IsSwitch(argument, "backups", nullptr) && !options.list) {
            options.list = true;
        } else if (IsSwitch(argument, "restore", &value) && options.set.empty() && !value.empty()) {
            options.set = value;
        } else if (IsSwitch(argument, "items", &value) && !options.itemsGiven) {
            options.itemsGiven = true;
            if (!ParseItemList(value, options.items)) {
                error = "Not a list of item numbers: " + argument;
                return false;
            }
        } else {
            error = "Not understood here: " + argument;
            return false;
        }
    }
    if (options.list == !options.set.empty()) {
        error = "Give either /backups or /restore:SET";
        return false;
    }
    if (options.itemsGiven && options.set.empty()) {
        error = "/items goes with /restore:SET";
        return false;
    }
    return true;
}

// The cabinet a set name or path stands for; empty when there is none.
std::string SetCabinet(const std::string& set)
{
    std::string path = set;
    bool isPath = set.find_first_of("\\/") != std::string::npos ||
                  (set.size() > 4 && _stricmp(set.c_str() + set.size() - 4, ".cab") == 0);
    if (!isPath)
        path = BackupSet::BackupFolder() + "\\" + set + ".cab";
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ? "" : path;
}

std::string SetNameOf(const std::string& cabinet)
{
    std::string name = cabinet.substr(cabinet.find_last_of("\\/") + 1);
    return name.substr(0, name.rfind('.'));
}

int ListSets(TextOutput& out)
{
    BackupSet set;
    for (const BackupSetEntry& entry : ListBackupSets()) {
        BackupContents contents = ListBackupItems(set, entry.cabinetPath);
        out.Write(entry.name + "\t" + entry.dateText + "\t" + std::to_string(contents.items.size()) + "\r\n");
    }
    return 0;
}

int RestoreSet(const BackupOptions& options, TextOutput& out, TextOutput& err)
{
    std::string cabinet = SetCabinet(options.set);
    if (cabinet.empty()) {
        err.Write("No backup set " + options.set + "\r\n");
        return ExitBadCommandLine;
    }
    BackupSet set;
    BackupContents contents = ListBackupItems(set, cabinet);
    if (!contents.indexFound) {
        err.Write("No items in the backup: " + cabinet + " holds no Config.ini\r\n");
        return ExitRestoreIncomplete;
    }
    std::vector<const RestoreItem*> chosen;
    if (options.itemsGiven) {
        for (size_t number : options.items) {
            if (number > contents.items.size()) {
                err.Write("No item " + std::to_string(number) + " in the set; it holds " +
                          std::to_string(contents.items.size()) + "\r\n");
                return ExitBadCommandLine;
            }
            chosen.push_back(&contents.items[number - 1]);
        }
    } else {
        for (const RestoreItem& item : contents.items)
            chosen.push_back(&item);
    }
    for (const std::string& fault : contents.faults)
        err.Write(fault + "\r\n");
    RestoreOutcome outcome = RestoreBackupItems(set, SetNameOf(cabinet), chosen);
    for (const std::string& failure : outcome.failures)
        err.Write(failure + "\r\n");
    out.Write(RestoreSummary(outcome) + "\r\n");
    bool whole = outcome.failures.empty() && (options.itemsGiven || contents.faults.empty());
    return whole ? 0 : ExitRestoreIncomplete;
}

} // namespace

bool IsBackupCommand(const std::vector<std::string>& arguments)
{
    std::string value;
    for (const std::string& argument : arguments)
        if (IsSwitch(argument, "backups", nullptr) || IsSwitch(argument, "restore", &value) ||
            IsSwitch(argument, "items", &value))
            return true;
    return false;
}

int RunBackupCommand(const std::vector<std::string>& arguments, TextOutput& out, TextOutput& err)
{
    BackupOptions options;
    std::string error;
    if (!ParseBackupArguments(arguments, options, error)) {
        err.Write(error + "\r\n\r\n" + HeadlessUsage());
        return ExitBadCommandLine;
    }
    if (IsWow64()) {
        err.Write(std::string(wow64Refusal) + "\r\n");
        return ExitCannotRun;
    }
    ComApartment com;
    BoxesToStandardError boxes(err);
    return options.list ? ListSets(out) : RestoreSet(options, out, err);
}
