#include "updater/ZipArchive.h"

#include <windows.h>
#include <zlib.h>

#include <cstdint>

namespace {

uint32_t Read16(const std::string& data, size_t at)
{
    return uint8_t(data[at]) | uint32_t(uint8_t(data[at + 1])) << 8;
}

uint32_t Read32(const std::string& data, size_t at)
{
    return Read16(data, at) | Read16(data, at + 2) << 16;
}

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Inflate(const std::string& packed, size_t size, std::string& contents)
{
    contents.assign(size, '\0');
    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return 0;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = reinterpret_cast<Bytef*>(size ? &contents[0] : nullptr);
    stream.avail_out = static_cast<uInt>(size);
    int result = inflate(&stream, Z_FINISH);
    bool whole = result == Z_STREAM_END && stream.total_out == size;
    inflateEnd(&stream);
    return whole;
}

} // namespace

int ExtractZipEntry(const std::string& archive, const std::string& name, std::string& contents,
                    std::string& problem)
{
    contents.clear();
    // The end record stands in the last 64 KB + 22 bytes (its comment is at
    // most 64 KB long).
    const size_t endSize = 22;
    if (archive.size() < endSize) {
        problem = "the download is no zip archive";
        return 0;
    }
    size_t end = std::string::npos;
    size_t lowest = archive.size() > endSize + 0xffff ? archive.size() - endSize - 0xffff : 0;
    for (size_t at = archive.size() - endSize + 1; at-- > lowest;) {
        if (Read32(archive, at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end == std::string::npos) {
        problem = "the download is no zip archive";
        return 0;
    }
    uint32_t entries = Read16(archive, end + 10);
    uint32_t directorySize = Read32(archive, end + 12);
    uint32_t at = Read32(archive, end + 16);
    if (uint64_t(at) + directorySize > end) {
        problem = "the zip archive is damaged";
        return 0;
    }
    for (uint32_t i = 0; i < entries; ++i) {
        if (uint64_t(at) + 46 > end || Read32(archive, at) != 0x02014b50) {
            problem = "the zip archive is damaged";
            return 0;
        }
        uint32_t flags = Read16(archive, at + 8);
        uint32_t method = Read16(archive, at + 10);
        uint32_t crc = Read32(archive, at + 16);
        uint32_t packedSize = Read32(archive, at + 20);
        uint32_t size = Read32(archive, at + 24);
        uint32_t nameLength = Read16(archive, at + 28);
        uint32_t extraLength = Read16(archive, at + 30);
        uint32_t commentLength = Read16(archive, at + 32);
        uint32_t local = Read32(archive, at + 42);
        if (uint64_t(at) + 46 + nameLength > end) {
            problem = "the zip archive is damaged";
            return 0;
        }
        std::string entryName = archive.substr(at + 46, nameLength);
        at += 46 + nameLength + extraLength + commentLength;
        if (lstrcmpiA(BaseName(entryName).c_str(), name.c_str()) != 0 || entryName.back() == '/')
            continue;
        if (flags & 1) {
            problem = "the program file in the zip archive is encrypted";
            return 0;
        }
        if (uint64_t(local) + 30 > archive.size() || Read32(archive, local) != 0x04034b50) {
            problem = "the zip archive is damaged";
            return 0;
        }
        uint64_t data = uint64_t(local) + 30 + Read16(archive, local + 26) + Read16(archive, local + 28);
        if (data + packedSize > archive.size()) {
            problem = "the zip archive is damaged";
            return 0;
        }
        std::string packed = archive.substr(size_t(data), packedSize);
        int unpacked = 0;
        if (method == 0 && packedSize == size) {
            contents = packed;
            unpacked = 1;
        } else if (method == 8) {
            unpacked = Inflate(packed, size, contents);
        } else {
            problem = "the zip archive uses a compression method this updater does not know";
            return 0;
        }
        if (!unpacked || crc32(0, reinterpret_cast<const Bytef*>(contents.data()),
                               static_cast<uInt>(contents.size())) != crc) {
            contents.clear();
            problem = "the program file in the zip archive is damaged";
            return 0;
        }
        return 1;
    }
    problem = "the zip archive holds no " + name;
    return 0;
}
