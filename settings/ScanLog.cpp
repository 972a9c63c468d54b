#include "settings/ScanLog.h"

#include <cstdio>

#include "core/PathCheck.h"
#include "settings/Settings.h"

namespace {

// Texts in the file keep "\r\n" and go through a text-mode stream, so each
// line ends in CR CR LF on disk, like the program's other text files.
const char logHeader[] =
    "Quillmoor Version = 8.0\r\n"
    "\r\n--------------------------------------------\r\n\r\n";

std::string WithoutTrailingBackslashes(std::string path)
{
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

bool Exists(const std::string& path)
{
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Opened and closed per write, so the file is complete on disk at every moment
// of the scan. Failures are silent: a log that cannot be written must never
// disturb the scan.
void AppendText(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), Exists(path) ? "at" : "wt");
    if (!file)
        return;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

} // namespace

std::string LogFolder()
{
    std::string configured;
    if (ReadSetting("Log File Path", configured) && Exists(configured))
        return configured;
    return WithoutTrailingBackslashes(GetProgramFolder());
}

std::string ScanLogFileName(const std::string& folder, const SYSTEMTIME& time)
{
    char name[64];
    std::snprintf(name, sizeof(name), "\\%d-%d-%d (%d-%d-%d).txt", time.wDay, time.wMonth,
                  time.wYear, time.wHour, time.wMinute, time.wSecond);
    return WithoutTrailingBackslashes(folder) + name;
}

void ScanLog::BeginScanLog()
{
    std::string folder = WithoutTrailingBackslashes(LogFolder());
    CreateDirectoryA(folder.c_str(), nullptr);
    SYSTEMTIME now;
    GetLocalTime(&now);
    logFilePath = ScanLogFileName(folder, now);
    AppendText(logFilePath, logHeader);
}

void ScanLog::LogProblem(const ProblemRecord& record)
{
    if (generateLog == 0)
        return;
    AppendText(logFilePath, "\r\nKey : " + record.keyPath + "\r\nValueName : " +
                                record.valueName + "\r\nValue : " + record.valueData + "\r\n");
}
