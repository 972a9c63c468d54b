#include <gtest/gtest.h>

#include <fstream>
#include <tuple>

#include "repair/CabinetCheck.h"
#include "repair/CabinetCompressor.h"
#include "repair/CabinetExtractor.h"
#include "core/Handles.h"
#include "support/FileBytes.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"

namespace {

std::string TempPath(const std::string& stem) { return TestTempFolder() + UniqueName(stem); }

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    EXPECT_TRUE(std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size()).good()) << path;
}

// Packs `files` into `cabinet`, expecting every step to succeed; its bytes.
std::string PackFiles(const std::string& cabinet, const std::vector<std::string>& files)
{
    CabinetCompressor compressor;
    EXPECT_EQ(compressor.CreateCabinet(cabinet), 1);
    for (const std::string& file : files)
        EXPECT_EQ(compressor.AddFile(file), 1) << file;
    EXPECT_EQ(compressor.Flush(), 1);
    return ReadFileBytes(cabinet);
}

// Unpacks `cabinet` into `target`: empty on success, else the error text the caller shows.
std::string Unpack(const std::string& cabinet, const std::string& target)
{
    CabinetExtractor extractor;
    return extractor.OpenCabinet(cabinet) && extractor.ExtractTo(target) ? "" : extractor.ErrorText();
}

} // namespace

// Also: an unflushed cabinet is completed, and its temporary files pass over others' names and go.
TEST(CabinetCompressor, FolderPacksItsOwnFilesThenTheLogAndUnpacksWithTimesAndAttributes)
{
    auto tempName = [](int n) { return TestTempFolder() + "CabTemp" + std::to_string(10000 + n).substr(1); };
    PlantedFile taken1(tempName(1), "someone else's 1"), taken2(tempName(2), "someone else's 2");
    PlantedFolder source(TempPath("cabsrc")), out(TempPath("cabout"));
    const std::string dir = source.Path(), cabinet = out.Path() + "\\7,4,2009_15,3,9.cab";
    PlantedFile hidden(dir + "\\.hidden", "dot file"), locked(dir + "\\locked.dat"), inner(dir + "\\sub\\inner.txt");
    // DOS times have two-second steps; an even second survives exactly.
    SYSTEMTIME when = {2009, 7, 0, 4, 15, 3, 8, 0};
    FILETIME local, stamp;
    SystemTimeToFileTime(&when, &local);
    LocalFileTimeToFileTime(&local, &stamp);
    const std::tuple<std::string, std::string, DWORD> files[] = {
        {"alpha.txt", "alpha\r\n", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
        {"with blank.reg", std::string(70000, 'r'), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM}};
    for (const auto& [name, content, attributes] : files) {
        WriteWholeFile(dir + "\\" + name, content);
        HandleOwner file(CreateFileA((dir + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        SetFileTime(file.Get(), nullptr, nullptr, &stamp);
        file.Reset();
        ASSERT_TRUE(SetFileAttributesA((dir + "\\" + name).c_str(), attributes));
    }
    MessageCapture capture;
    {
        // Held open without sharing, so the file cannot be added.
        HandleOwner lock(CreateFileA(locked.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        CabinetCompressor compressor;
        ASSERT_EQ(compressor.CreateCabinet(cabinet), 1);
        EXPECT_EQ(compressor.AddFolder(dir + "\\"), 1);
        EXPECT_TRUE(FileExists(tempName(3))) << "the first free name is in use while packing";
    }
    EXPECT_EQ(ReadFileBytes(tempName(1)) + ReadFileBytes(tempName(2)), "someone else's 1someone else's 2");
    for (int n = 3; n <= 12; ++n)
        EXPECT_FALSE(FileExists(tempName(n))) << tempName(n) << " left behind";
    // Each line of the log ends in CR CR LF on disk.
    const std::string log = ReadFileBytes(dir + "\\ZipLog.txt");
    for (const std::string& line : {std::string("alpha.txt"), std::string("with blank.reg"),
                                    "locked.dat\r\r\n*Error adding file - " + dir + "\\locked.dat"})
        EXPECT_NE(log.find("\r\r\nAdding File to Zip - " + line), std::string::npos) << line << " in:\n" << log;
    EXPECT_EQ(CountOf(log, "inner.txt") + CountOf(log, ".hidden"), 0u) << log;

    const std::string got = out.Path() + "\\new\\deeper\\";
    ASSERT_EQ(Unpack(cabinet, got), "");
    ASSERT_EQ(Unpack(cabinet, got), "") << "the read-only copy of an earlier restore is replaced";
    EXPECT_TRUE(capture.Messages().empty());
    EXPECT_EQ(ReadFileBytes(got + "ZipLog.txt"), log);
    for (const char* name : {".hidden", "locked.dat", "sub"})
        EXPECT_FALSE(FileExists(got + name)) << name;
    for (const auto& [name, content, attributes] : files) {
        EXPECT_EQ(ReadFileBytes(got + name), content) << name;
        const DWORD kept = GetFileAttributesA((dir + "\\" + name).c_str()) & 0x27;
        EXPECT_EQ(kept & attributes, attributes) << name;
        EXPECT_EQ(GetFileAttributesA((got + name).c_str()) & 0x27, kept) << name;
        HandleOwner file(CreateFileA((got + name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME created = {}, written = {};
        GetFileTime(file.Get(), &created, nullptr, &written);
        EXPECT_EQ(CompareFileTime(&written, &stamp), 0) << name;
        EXPECT_EQ(CompareFileTime(&created, &stamp), 0) << name;
    }
}

// A stored name that would land outside the target stops the extraction and is written nowhere.
TEST(CabinetExtractor, StoredNamesStayInsideTheTarget)
{
    for (const char* name : {"..\\outside.txt", "sub\\..\\..\\outside.txt", "\\outside.txt", "/outside.txt",
                             "C:\\outside.txt", "sub\\...\\outside.txt", "sub\\. .\\outside.txt", "file.txt:stream", ""})
        EXPECT_FALSE(IsSafeStoredName(name)) << name;
    EXPECT_TRUE(IsSafeStoredName("sub\\deeper\\.file.txt"));

    // Every edited cabinet is made with this name; the edits keep its length.
    PlantedFolder root(TempPath("cabnames"));
    const std::string plainName = "abcdefghijklmnop.txt", target = root.Path() + "\\a\\b\\";
    WriteWholeFile(root.Path() + "\\" + plainName, "payload");
    const std::string good = PackFiles(root.Path() + "\\good.cab", {root.Path() + "\\" + plainName});
    const size_t at = good.find(plainName);
    ASSERT_NE(at, std::string::npos);
    for (const std::string stored : {"sub\\deeper\\file0.txt", "..\\..\\outside000.txt"}) {
        const bool safe = stored[0] != '.';
        WriteWholeFile(root.Path() + "\\edited.cab", std::string(good).replace(at, plainName.size(), stored));
        EXPECT_EQ(Unpack(root.Path() + "\\edited.cab", target), safe ? "" : "Failure writing to target file");
        EXPECT_EQ(ReadFileBytes(target + stored), safe ? "payload" : "") << stored;
    }
}

TEST(CabinetExtractor, DamagedCutOrMissingCabinetsGiveOneErrorText)
{
    PlantedFolder root(TempPath("cabbad"));
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + std::to_string(i * 7919 % 10007) + " of a registry export\r\n";
    WriteWholeFile(root.Path() + "\\export.reg", text);
    const std::string good = PackFiles(root.Path() + "\\good.cab", {root.Path() + "\\export.reg"});
    std::string scrambled = good;
    for (size_t i = good.size() / 2; i < good.size() / 2 + 64; ++i)
        scrambled[i] = static_cast<char>(scrambled[i] ^ (i * 37 + 1));

    const std::string cabinet = root.Path() + "\\bad.cab";
    WriteWholeFile(cabinet, scrambled);
    EXPECT_EQ(Unpack(cabinet, root.Path() + "\\out"), "Corrupt cabinet");
    // Wine's unpacker refuses damaged data itself; our check stands in for those that do not.
    EXPECT_FALSE(CabinetChecksumsMatch(cabinet));
    EXPECT_EQ(Unpack(root.Path() + "\\missing.cab", root.Path() + "\\out"),
              "Cabinet file (or part of splitted CAB) not found");

    // Every cut of a cabinet ends with a refusal and an error text, never a crash.
    for (size_t length = 0; length < good.size(); length += 7) {
        WriteWholeFile(cabinet, good.substr(0, length));
        EXPECT_NE(Unpack(cabinet, root.Path() + "\\out"), "") << length;
    }
}
