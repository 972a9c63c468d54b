#include "TestBackupSet.h"

#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "core/FileTools.h"
#include "core/PathCheck.h"
#include "repair/BackupSet.h"
#include "repair/CabinetCompressor.h"
#include "support/FileBytes.h"
#include "support/Planted.h"

namespace {

std::string RegistryEditor()
{
    return GetWindowsFolder() + "\\regedit.exe";
}

void AppendBytes(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "ab");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

} // namespace

TestBackupSet::TestBackupSet(const std::string& name)
    : name(name), work(TestTempFolder() + UniqueName("set"))
{
    CreateFolders(work);
}

TestBackupSet::~TestBackupSet()
{
    RemoveTree(work);
    if (!cabinet.empty())
        DeleteFileA(cabinet.c_str());
}

void TestBackupSet::Lines(const std::string& text)
{
    std::string stored;
    for (char c : text)
        stored += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
    AppendBytes(work + "\\Config.ini", stored);
}

void TestBackupSet::Key(const std::string& keyPath, int number)
{
    std::string file = work + "\\rkBackUp" + std::to_string(number) + ".reg";
    RunProgram(RegistryEditor(), "/e \"" + file + "\" \"" + keyPath + "\"", true);
    EXPECT_FALSE(ReadFileBytes(file).empty()) << keyPath;
    Lines("[TYPE:REG_KEY]\n[NAME:" + keyPath + "]\n[PATH:\\rkBackUp" + std::to_string(number) + ".reg]\n");
}

void TestBackupSet::Value(const std::string& keyPath, const std::string& valueName, const std::string& data)
{
    Lines("[TYPE:REG_VALUE]\n[MAIN_KEY:" + keyPath + "]\n[VALUE_NAME:" + valueName + "]\n[VALUE:" + data + "]\n");
}

void TestBackupSet::File(const std::string& path, const std::string& storedName)
{
    std::string stored = storedName.empty() ? path.substr(path.rfind('\\')) : "\\" + storedName;
    EXPECT_TRUE(CopyFileA(path.c_str(), (work + stored).c_str(), FALSE)) << path;
    Lines("[TYPE:FILE]\n[DEST_PATH:" + path + "]\n");
    if (!storedName.empty())
        Lines("[TYPE:FILE_COPY]\n[PATH:" + stored + "]\n");
}

std::string TestBackupSet::Pack()
{
    CreateDirectoryA(BackupSet::BackupFolder().c_str(), nullptr);
    cabinet = BackupSet::BackupFolder() + "\\" + name + ".cab";
    CabinetCompressor compressor;
    EXPECT_EQ(compressor.CreateCabinet(cabinet), 1);
    compressor.AddFolder(work);
    EXPECT_EQ(compressor.Flush(), 1);
    return cabinet;
}

std::string ExportKey(const std::string& keyPath)
{
    std::string file = TestTempFolder() + UniqueName("export") + ".reg";
    RunProgram(RegistryEditor(), "/e \"" + file + "\" \"" + keyPath + "\"", true);
    std::string bytes = ReadFileBytes(file);
    DeleteFileA(file.c_str());
    return bytes;
}
