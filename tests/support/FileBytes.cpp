#include "support/FileBytes.h"

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
