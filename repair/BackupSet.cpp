// Stand-in for the write side of a backup set, until the full writer lands.

#include "repair/BackupSet.h"

#include <cstdio>
#include <ctime>

#include "core/FileTools.h"
#include "core/PathCheck.h"

namespace {

bool FileThere(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string SetPathNow()
{
    time_t now = time(nullptr);
    struct tm local = *localtime(&now);
    char name[64];
    std::snprintf(name, sizeof(name), "%d,%d,%d_%d,%d,%d", local.tm_mon + 1, local.tm_mday,
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    std::string base = BackupSet::BackupFolder() + "\\" + name;
    std::string path = base + ".cab";
    for (int suffix = 2; FileThere(path); ++suffix)
        path = base + "_" + std::to_string(suffix) + ".cab";
    return path;
}

} // namespace

int BackupSet::Begin(const std::string& folder)
{
    workFolder = folder;
    CreateDirectoryA(BackupFolder().c_str(), nullptr);
    cabinetPath = SetPathNow();
    return compressor.CreateCabinet(cabinetPath);
}

int BackupSet::AddRegKey(const std::string& keyPath, int number)
{
    std::string exportFile = workFolder + "\\rkBackUp" + std::to_string(number) + ".reg";
    RunProgram(GetWindowsFolder() + "\\regedit.exe", "/e \"" + exportFile + "\" \"" + keyPath + "\"", true);
    if (!FileThere(exportFile))
        return 0;
    AppendRecord("[TYPE:REG_KEY]\r\n[NAME:" + keyPath + "]\r\n[PATH:\\rkBackUp" + std::to_string(number) +
                 ".reg]\r\n");
    return 1;
}

int BackupSet::AddRegValue(const std::string& keyPath, const std::string& valueName,
                           const std::string& valueData, int)
{
    AppendRecord("[TYPE:REG_VALUE]\r\n[MAIN_KEY:" + keyPath + "]\r\n[VALUE_NAME:" + valueName +
                 "]\r\n[VALUE:" + valueData + "]\r\n");
    return 1;
}

int BackupSet::AddValueState(const std::string& keyPath, const std::string& valueName, int number)
{
    return AddRegValue(keyPath, valueName, "", number);
}

int BackupSet::AddFileCopy(const std::string& filePath, int)
{
    std::string copy = workFolder + "\\" + filePath.substr(filePath.find_last_of('\\') + 1);
    if (!CopyFileA(filePath.c_str(), copy.c_str(), FALSE))
        return 0;
    AppendRecord("[TYPE:FILE]\r\n[DEST_PATH:" + filePath + "]\r\n");
    return 1;
}

int BackupSet::AppendRecord(const std::string& recordText)
{
    std::string index = workFolder + "\\Config.ini";
    if (FILE* file = std::fopen(index.c_str(), "a")) {
        std::fputs(recordText.c_str(), file);
        std::fclose(file);
    }
    return 1;
}

int BackupSet::Finish()
{
    compressor.AddFolder(workFolder);
    if (!compressor.Flush())
        return 0;
    EmptyFolder(workFolder, true);
    return 1;
}

int BackupSet::RecoverUnfinishedSet(const std::string& folder, std::string&)
{
    if (!FileThere(folder + "\\Config.ini"))
        return 1;
    BackupSet recovered;
    recovered.Begin(folder);
    return recovered.Finish();
}
