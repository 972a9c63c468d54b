#include "settings/IgnoreList.h"

#include <cstdio>

#include "core/PathCheck.h"
#include "core/Text.h"

namespace {

const char whiteSpace[] = " \t\r\n";

std::string Trimmed(const std::string& line)
{
    size_t first = line.find_first_not_of(whiteSpace);
    if (first == std::string::npos)
        return std::string();
    size_t last = line.find_last_not_of(whiteSpace);
    return line.substr(first, last - first + 1);
}

} // namespace

std::string LongRootNames(const std::string& keyPath)
{
    std::string path = keyPath;
    ReplaceAll(path, "HKLM", "HKEY_LOCAL_MACHINE");
    ReplaceAll(path, "HKCU", "HKEY_CURRENT_USER");
    ReplaceAll(path, "HKCLASS", "HKEY_CLASSES_ROOT");
    return path;
}

std::string IgnoreListPath()
{
    std::string folder = GetProgramFolder();
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder + "\\Iglist.lst";
}

std::vector<std::string> ReadIgnoreListFile(const std::string& path)
{
    std::vector<std::string> entries;
    // Read raw: a lone carriage return ends a line too, and the extra one
    // that text-mode writing leaves is trimmed with the other white space.
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return entries;
    std::string content;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
        content.append(chunk, got);
    std::fclose(file);

    size_t start = 0;
    while (start <= content.size()) {
        size_t end = content.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = content.size();
        std::string entry = Trimmed(content.substr(start, end - start));
        if (!entry.empty())
            entries.push_back(entry);
        start = end + 1;
    }
    return entries;
}

int WriteIgnoreListFile(const std::string& path, const std::vector<std::string>& entries)
{
    FILE* file = std::fopen(path.c_str(), "wt");
    if (!file)
        return 0;
    bool written = true;
    for (const std::string& entry : entries) {
        std::string line = entry + "\r\n";
        if (std::fwrite(line.data(), 1, line.size(), file) != line.size())
            written = false;
    }
    return std::fclose(file) == 0 && written;
}

void IgnoreList::LoadIgnoreList()
{
    ignoreList = ReadIgnoreListFile(IgnoreListPath());
}
