#include "repair/CabinetCheck.h"

#include <windows.h>

#include <cstdint>
#include <vector>

#include "core/Handles.h"

namespace {

constexpr uint16_t hasPrevious = 0x0001;
constexpr uint16_t hasNext = 0x0002;
constexpr uint16_t hasReserve = 0x0004;
constexpr size_t headerSize = 36;
constexpr size_t largestBlock = 65535;

// Sequential reads from one open file, with positions.
class Reader {
public:
    explicit Reader(const std::string& path)
        : file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr))
    {
    }

    bool IsOpen() const { return static_cast<bool>(file); }
    bool Seek(uint32_t offset)
    {
        LONG high = 0;
        return SetFilePointer(file.Get(), static_cast<LONG>(offset), &high, FILE_BEGIN) != INVALID_SET_FILE_POINTER ||
               GetLastError() == NO_ERROR;
    }
    bool Read(void* buffer, size_t size)
    {
        DWORD read = 0;
        return ReadFile(file.Get(), buffer, static_cast<DWORD>(size), &read, nullptr) && read == size;
    }
    bool Skip(size_t size)
    {
        return SetFilePointer(file.Get(), static_cast<LONG>(size), nullptr, FILE_CURRENT) != INVALID_SET_FILE_POINTER ||
               GetLastError() == NO_ERROR;
    }
    // Skips a zero-terminated name.
    bool SkipName()
    {
        char c = 1;
        for (int i = 0; i < 256 && c != '\0'; ++i)
            if (!Read(&c, 1))
                return false;
        return c == '\0';
    }

private:
    HandleOwner file;
};

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | static_cast<uint32_t>(Get16(p + 2)) << 16; }

// The format's checksum: the bytes taken as little-endian 32-bit words and
// combined with exclusive or; the last one to three bytes form one word of their own.
uint32_t Checksum(const uint8_t* data, size_t size, uint32_t seed)
{
    uint32_t sum = seed;
    size_t words = size / 4;
    for (size_t i = 0; i < words; ++i, data += 4)
        sum ^= Get32(data);
    uint32_t tail = 0;
    switch (size % 4) {
    case 3: tail |= static_cast<uint32_t>(*data++) << 16; [[fallthrough]];
    case 2: tail |= static_cast<uint32_t>(*data++) << 8; [[fallthrough]];
    case 1: tail |= *data; break;
    default: break;
    }
    return sum ^ tail;
}

} // namespace

bool CabinetChecksumsMatch(const std::string& cabinetPath)
{
    Reader reader(cabinetPath);
    uint8_t header[headerSize];
    if (!reader.IsOpen() || !reader.Read(header, sizeof(header)) || Get32(header) != 0x4643534D /* "MSCF" */)
        return true;
    const uint16_t folders = Get16(header + 26);
    const uint16_t flags = Get16(header + 30);
    size_t folderReserve = 0;
    size_t dataReserve = 0;
    if (flags & hasReserve) {
        uint8_t reserve[4];
        if (!reader.Read(reserve, sizeof(reserve)) || !reader.Skip(Get16(reserve)))
            return true;
        folderReserve = reserve[2];
        dataReserve = reserve[3];
    }
    for (uint16_t set : {hasPrevious, hasNext})
        if ((flags & set) && !(reader.SkipName() && reader.SkipName()))
            return true;

    struct Folder {
        uint32_t start;
        uint16_t blocks;
    };
    std::vector<Folder> entries;
    for (uint16_t i = 0; i < folders; ++i) {
        uint8_t entry[8];
        if (!reader.Read(entry, sizeof(entry)) || !reader.Skip(folderReserve))
            return true;
        entries.push_back({Get32(entry), Get16(entry + 4)});
    }

    std::vector<uint8_t> block(8 + dataReserve + largestBlock);
    for (const Folder& folder : entries) {
        if (!reader.Seek(folder.start))
            return true;
        for (uint16_t i = 0; i < folder.blocks; ++i) {
            if (!reader.Read(block.data(), 8 + dataReserve))
                return true;
            const uint32_t stored = Get32(block.data());
            const uint16_t size = Get16(block.data() + 4);
            uint8_t* data = block.data() + 8 + dataReserve;
            if (!reader.Read(data, size))
                return true;
            // A stored checksum of 0 means none was written.
            if (stored != 0 && Checksum(block.data() + 4, 4 + dataReserve, Checksum(data, size, 0)) != stored)
                return false;
        }
    }
    return true;
}
