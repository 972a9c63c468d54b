#include "support/FileBytes.h"

#include <windows.h>

#include <cstdio>

std::string ReadFileBytes(const std::string& path)
{
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
        bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

std::string TestTempFolder()
{
    char buffer[MAX_PATH] = {};
    GetTempPathA(sizeof(buffer), buffer);
    return buffer;
}
