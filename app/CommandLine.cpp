#include "app/CommandLine.h"

#include <cstring>
#include <string.h>

#include "core/ScanSection.h"

namespace {

// Comma-separated section codes: 0 to 22, except 18, which no section has.
bool ParseSectionList(const std::string& list, std::vector<unsigned>& codes)
{
    std::vector<unsigned long> numbers;
    if (!ParseNumberList(list, 2, numbers))
        return false;
    for (unsigned long number : numbers) {
        if (number >= SectionCount || number == SectionReserved)
            return false;
        codes.push_back(static_cast<unsigned>(number));
    }
    return true;
}

} // namespace

bool IsSwitch(const std::string& argument, const char* name, std::string* value)
{
    size_t length = std::strlen(name);
    if (argument.size() < length + 1 || argument[0] != '/')
        return false;
    if (_strnicmp(argument.c_str() + 1, name, length) != 0)
        return false;
    if (!value)
        return argument.size() == length + 1;
    if (argument.size() < length + 2 || argument[length + 1] != ':')
        return false;
    *value = argument.substr(length + 2);
    return true;
}

bool ParseNumberList(const std::string& list, size_t maxDigits, std::vector<unsigned long>& numbers)
{
    size_t start = 0;
    do {
        size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        std::string item = list.substr(start, end - start);
        if (item.empty() || item.size() > maxDigits ||
            item.find_first_not_of("0123456789") != std::string::npos)
            return false;
        numbers.push_back(std::stoul(item));
        start = end + 1;
    } while (start <= list.size());
    return true;
}

std::vector<std::string> SplitArguments(const std::string& commandLine)
{
    std::vector<std::string> arguments;
    std::string current;
    bool inQuotes = false;
    bool pending = false;
    for (char c : commandLine) {
        if (c == '"') {
            inQuotes = !inQuotes;
            pending = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (pending)
                arguments.push_back(current);
            current.clear();
            pending = false;
        } else {
            current += c;
            pending = true;
        }
    }
    if (pending)
        arguments.push_back(current);
    return arguments;
}

bool AsksForHeadlessRun(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments)
        if (argument == "/?" || IsSwitch(argument, "scan", nullptr))
            return true;
    return false;
}

bool ParseHeadlessArguments(const std::vector<std::string>& arguments, HeadlessOptions& options,
                            std::string& error)
{
    options = HeadlessOptions();
    for (const std::string& argument : arguments) {
        std::string value;
        if (argument == "/?") {
            options.help = true;
        } else if (IsSwitch(argument, "scan", nullptr)) {
            options.scan = true;
        } else if (IsSwitch(argument, "fix", nullptr)) {
            options.fix = true;
        } else if (IsSwitch(argument, "nobackup", nullptr)) {
            options.noBackup = true;
        } else if (IsSwitch(argument, "all", nullptr)) {
            options.all = true;
        } else if (IsSwitch(argument, "sections", &value)) {
            if (options.sectionsGiven || !ParseSectionList(value, options.sections)) {
                error = "Not a list of section codes: " + argument;
                return false;
            }
            options.sectionsGiven = true;
        } else if (IsSwitch(argument, "report", &value)) {
            if (options.reportGiven || value.empty()) {
                error = "Not a report file: " + argument;
                return false;
            }
            options.reportGiven = true;
            options.reportPath = value;
        } else {
            error = "Unknown argument: " + argument;
            return false;
        }
    }
    if (options.help)
        return true;
    if (!options.scan) {
        error = "Nothing to do: /scan is missing";
        return false;
    }
    if (options.noBackup && !options.fix) {
        error = "/nobackup needs /fix";
        return false;
    }
    if (options.all && options.sectionsGiven) {
        error = "/all and /sections exclude each other";
        return false;
    }
    return true;
}

std::string HeadlessUsage()
{
    std::string usage =
        "Usage: Quillmoor8.exe /scan [/all | /sections:LIST] [/fix [/nobackup]]\r\n"
        "                      [/report:PATH]\r\n"
        "       Quillmoor8.exe /backups\r\n"
        "       Quillmoor8.exe /restore:SET [/items:LIST]\r\n"
        "\r\n"
        "Runs one complete scan without a window and prints every problem found,\r\n"
        "then the four group totals.\r\n"
        "\r\n"
        "  /all            scan every section, whatever the settings say\r\n"
        "  /sections:LIST  scan only these section codes, comma-separated\r\n"
        "                  (0 is Registry Integrity)\r\n"
        "  /fix            then repair every checked problem, after backing it up\r\n"
        "                  (prints \"Backup set: PATH\" for the set written)\r\n"
        "  /nobackup       with /fix: repair without a backup set\r\n"
        "  /report:PATH    write a tab-separated report to PATH instead\r\n"
        "                  (- for standard output)\r\n"
        "  /?              show this text\r\n"
        "\r\n"
        "Without /all or /sections the sections enabled in the settings run.\r\n"
        "/backups prints each backup set, newest first: name, date, item count.\r\n"
        "/restore:SET puts back every item of a set (its name or its cabinet's\r\n"
        "path), or with /items:1,3 the items so numbered; exit code 0 when all\r\n"
        "came back, 4 when some did not (each named on standard error).\r\n"
        "\r\n"
        "Exit code: 0 nothing found, 1 problems found (and repaired with /fix),\r\n"
        "2 command line not understood, 3 the scan could not run, 4 some\r\n"
        "repair failed or was refused (each reason on standard error).\r\n"
        "\r\n"
        "Section codes:\r\n";
    for (unsigned code = 0; code < SectionCount; ++code) {
        if (code == SectionReserved)
            continue;
        usage += "  " + std::to_string(code) + (code < 10 ? "   " : "  ") +
                 SectionRowLabel(code) + "\r\n";
    }
    return usage;
}
