#include "CabinetTestFiles.h"

#include <gtest/gtest.h>

#include "support/Planted.h"

std::string ReadWholeFile(const std::string& path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size()) << path;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string TempPath(const std::string& stem)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + UniqueName(stem);
}

namespace {

unsigned Read16(const std::string& b, size_t at)
{
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

unsigned Read32(const std::string& b, size_t at) { return Read16(b, at) | Read16(b, at + 2) << 16; }

} // namespace

CabinetTable ReadCabinetTable(const std::string& b)
{
    CabinetTable table;
    if (b.size() < 36 || b.compare(0, 4, "MSCF") != 0)
        return table;
    size_t at = Read32(b, 16);
    unsigned count = Read16(b, 28);
    table.setId = static_cast<unsigned short>(Read16(b, 32));
    for (unsigned i = 0; i < count; ++i) {
        if (at + 16 > b.size())
            return table;
        StoredFile file;
        file.size = Read32(b, at);
        file.date = static_cast<unsigned short>(Read16(b, at + 10));
        file.time = static_cast<unsigned short>(Read16(b, at + 12));
        file.attributes = static_cast<unsigned short>(Read16(b, at + 14));
        size_t end = b.find('\0', at + 16);
        if (end == std::string::npos)
            return table;
        file.name = b.substr(at + 16, end - at - 16);
        table.files.push_back(file);
        at = end + 1;
    }
    table.valid = true;
    return table;
}
