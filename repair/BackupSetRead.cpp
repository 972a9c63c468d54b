// The read side of a backup set: unpacking, fields of Config.ini, date texts.

#include "repair/BackupSet.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "core/AppMessage.h"
#include "core/FileTools.h"
#include "core/PathCheck.h"
#include "repair/CabinetExtractor.h"

std::string BackupSet::BackupFolder()
{
    return GetProgramFolder() + "\\Quillmoor8Backup";
}

int BackupSet::UnpackTo(const std::string& targetFolder)
{
    EmptyFolder(targetFolder, true);
    return UnpackInto(targetFolder);
}

int BackupSet::UnpackInto(const std::string& targetFolder)
{
    CabinetExtractor extractor;
    if (extractor.OpenCabinet(cabinetPath) && extractor.ExtractTo(targetFolder))
        return 1;
    ShowAppMessage(nullptr, extractor.ErrorText());
    return 0;
}

std::string BackupSet::ReadRecordField(const std::string& line, const std::string& tag)
{
    size_t at = line.find(tag);
    if (at == std::string::npos)
        return line;
    std::string value = line.substr(std::min(line.size(), at + tag.size() + 1));
    size_t close = value.rfind(']');
    if (close != std::string::npos)
        value.erase(close);
    return value;
}

std::string BackupSet::BackupDateText(const std::string& setName)
{
    std::string text = setName.substr(0, 259);
    for (char& c : text)
        if (c == '_')
            c = ',';
    int numbers[6] = {};
    int count = 0;
    size_t start = 0;
    while (count < 6 && start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos
                                                                           : comma - start);
        numbers[count++] = std::atoi(piece.c_str());
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (count < 6)
        return "";
    std::tm when = {};
    when.tm_mon = numbers[0] - 1;
    when.tm_mday = numbers[1];
    when.tm_year = numbers[2] - 1900;
    when.tm_hour = numbers[3];
    when.tm_min = numbers[4];
    when.tm_sec = numbers[5];
    when.tm_isdst = -1;
    // Six numbers that are no real date (month 13) give no text.
    std::tm checked = when;
    if (std::mktime(&checked) == -1 || checked.tm_mon != when.tm_mon || checked.tm_mday != when.tm_mday)
        return "";
    char buffer[128] = {};
    std::strftime(buffer, sizeof(buffer), "%A, %B %d, %Y Time: %H:%M:%S", &checked);
    return buffer;
}
