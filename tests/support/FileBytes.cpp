#include "support/FileBytes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string TestTempFolder()
{
    char buffer[MAX_PATH] = {};
    GetTempPathA(sizeof(buffer), buffer);
    return buffer;
}

std::string ReadOnlyMatch(const std::string& folder, const std::string& pattern)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\" + pattern).c_str(), &data);
    EXPECT_NE(find, INVALID_HANDLE_VALUE) << "no " << pattern << " in " << folder;
    if (find == INVALID_HANDLE_VALUE)
        return "";
    std::string file = folder + "\\" + data.cFileName;
    EXPECT_FALSE(FindNextFileA(find, &data)) << "more than one " << pattern << " in " << folder;
    FindClose(find);
    return ReadFileBytes(file);
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}
