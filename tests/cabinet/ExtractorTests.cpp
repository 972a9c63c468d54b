// Unpacking cabinets: what is restored of each file, names that would leave
// the target folder, and cabinets that are damaged or are no cabinets at all.

#include <gtest/gtest.h>

#include "CabinetTestFiles.h"
#include "core/AppMessage.h"
#include "repair/CabinetCompressor.h"
#include "repair/CabinetExtractor.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"

namespace {

// The name every edited cabinet is made with; the edits keep its length.
const std::string plainName = "abcdefghijklmnop.txt";

int Unpack(const std::string& cabinet, const std::string& target)
{
    CabinetExtractor extractor;
    return extractor.OpenCabinet(cabinet) && extractor.ExtractTo(target);
}

std::string PackFiles(const std::string& cabinet, const std::vector<std::string>& files)
{
    CabinetCompressor compressor;
    EXPECT_EQ(compressor.CreateCabinet(cabinet), 1);
    for (const std::string& file : files)
        EXPECT_EQ(compressor.AddFile(file), 1) << file;
    EXPECT_EQ(compressor.Flush(), 1);
    return ReadWholeFile(cabinet);
}

FILETIME LocalTimeToUtc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME when = {year, month, 0, day, hour, minute, second, 0};
    FILETIME local;
    FILETIME utc;
    SystemTimeToFileTime(&when, &local);
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

// Every file below `folder` whose name begins with `stem`.
std::vector<std::string> FilesNamedLike(const std::string& folder, const std::string& stem)
{
    std::vector<std::string> found;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return found;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            for (const std::string& inner : FilesNamedLike(folder + "\\" + name, stem))
                found.push_back(inner);
        } else if (name.compare(0, stem.size(), stem) == 0) {
            found.push_back(folder + "\\" + name);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

bool SameTime(const FILETIME& a, const FILETIME& b) { return CompareFileTime(&a, &b) == 0; }

} // namespace

TEST(CabinetExtractor, RestoresTimesAndKeptAttributesOverReadOnlyFiles)
{
    PlantedFolder source(TempPath("cabattr"));
    struct Case {
        const char* name;
        DWORD attributes;
    };
    const Case cases[] = {
        {"plain.txt", FILE_ATTRIBUTE_ARCHIVE},
        {"readonly.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
        {"hidden.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
    };
    // DOS times have two-second steps; an even second survives exactly.
    const FILETIME stamp = LocalTimeToUtc(2009, 7, 4, 15, 3, 8);
    std::vector<std::string> files;
    for (const Case& c : cases) {
        std::string path = source.Path() + "\\" + c.name;
        WriteWholeFile(path, std::string("content of ") + c.name);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetFileTime(file, nullptr, nullptr, &stamp);
        CloseHandle(file);
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), c.attributes));
        files.push_back(path);
    }
    PlantedFolder out(TempPath("cabattrout"));
    MessageCapture capture;
    CabinetTable table = ReadCabinetTable(PackFiles(out.Path() + "\\attr.cab", files));
    ASSERT_EQ(table.files.size(), 3u);
    for (size_t i = 0; i < table.files.size(); ++i) {
        EXPECT_EQ(table.files[i].name, cases[i].name);
        EXPECT_EQ(table.files[i].attributes, GetFileAttributesA(files[i].c_str()) & 0x27) << cases[i].name;
    }

    // Stale read-only copies in the target are replaced.
    const std::string target = out.Path() + "\\restore";
    CreateDirectoryA(target.c_str(), nullptr);
    for (const Case& c : cases) {
        WriteWholeFile(target + "\\" + c.name, "stale");
        SetFileAttributesA((target + "\\" + c.name).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    ASSERT_EQ(Unpack(out.Path() + "\\attr.cab", target), 1);
    EXPECT_TRUE(capture.Messages().empty());
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string path = target + "\\" + cases[i].name;
        EXPECT_EQ(ReadWholeFile(path), std::string("content of ") + cases[i].name);
        EXPECT_EQ(GetFileAttributesA(path.c_str()) & 0x27, GetFileAttributesA(files[i].c_str()) & 0x27)
            << cases[i].name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        FILETIME created;
        FILETIME written;
        GetFileTime(file, &created, nullptr, &written);
        CloseHandle(file);
        EXPECT_TRUE(SameTime(written, stamp)) << cases[i].name;
        EXPECT_TRUE(SameTime(created, stamp)) << cases[i].name;
    }
}

TEST(CabinetExtractor, StoredNamesStayInsideTheTarget)
{
    PlantedFolder root(TempPath("cabnames"));
    WriteWholeFile(root.Path() + "\\" + plainName, "payload");
    const std::string good = PackFiles(root.Path() + "\\good.cab", {root.Path() + "\\" + plainName});
    const size_t at = good.find(plainName);
    ASSERT_NE(at, std::string::npos);

    struct Case {
        std::string storedName; // as long as plainName
        std::string writtenAt;  // below the target, or empty when nothing may be written
    };
    const Case cases[] = {
        {"sub\\deeper\\file0.txt", "sub\\deeper\\file0.txt"},
        {"..\\..\\outside000.txt", ""},
        {"sub\\..\\..\\outsid.txt", ""},
        {"\\outside00000000.txt", ""},
        {"C:\\outside000000.txt", ""},
        {"sub\\...\\outside1.txt", ""},
        {"file.txt:stream00000", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        ASSERT_EQ(c.storedName.size(), plainName.size());
        std::string edited = good;
        edited.replace(at, plainName.size(), c.storedName);
        const std::string cabinet = root.Path() + "\\edited" + std::to_string(++n) + ".cab";
        WriteWholeFile(cabinet, edited);
        const std::string target = root.Path() + "\\t" + std::to_string(n) + "\\a\\b";

        MessageCapture capture;
        int result = Unpack(cabinet, target);
        if (c.writtenAt.empty()) {
            EXPECT_EQ(result, 0) << c.storedName;
            EXPECT_EQ(capture.Texts(), std::vector<std::string>{"Failure writing to target file"}) << c.storedName;
        } else {
            EXPECT_EQ(result, 1) << c.storedName;
            EXPECT_EQ(ReadWholeFile(target + "\\" + c.writtenAt), "payload");
            EXPECT_TRUE(capture.Messages().empty());
        }
    }
    EXPECT_EQ(FilesNamedLike(root.Path(), "outsid"), std::vector<std::string>{});
    EXPECT_EQ(FilesNamedLike(root.Path(), "file.txt"), std::vector<std::string>{});
    EXPECT_FALSE(FileExists("C:\\outside000000.txt"));
    EXPECT_FALSE(FileExists("C:\\outside00000000.txt"));
}

TEST(CabinetExtractor, DamagedOrForeignFilesGiveTheirErrorText)
{
    PlantedFolder root(TempPath("cabbad"));
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + std::to_string(i * 7919 % 10007) + " of a registry export\r\n";
    WriteWholeFile(root.Path() + "\\export.reg", text);
    const std::string good = PackFiles(root.Path() + "\\good.cab", {root.Path() + "\\export.reg"});
    ASSERT_GT(good.size(), 1000u);

    std::string scrambled = good;
    for (size_t i = good.size() / 2; i < good.size() / 2 + 64; ++i)
        scrambled[i] = static_cast<char>(scrambled[i] ^ (i * 37 + 1));

    struct Case {
        const char* name;
        std::string bytes;
        const char* text;
    };
    const Case cases[] = {
        {"empty.cab", "", "Not a cabinet"},
        {"notes.cab", "This is a text file, not a cabinet.\r\n", "Not a cabinet"},
        {"header.cab", good.substr(0, 20), "Not a cabinet"},
        {"truncated.cab", good.substr(0, good.size() / 2), "Corrupt cabinet"},
        {"scrambled.cab", scrambled, "Corrupt cabinet"},
    };
    for (const Case& c : cases) {
        const std::string cabinet = root.Path() + "\\" + c.name;
        WriteWholeFile(cabinet, c.bytes);
        MessageCapture capture;
        EXPECT_EQ(Unpack(cabinet, root.Path() + "\\out"), 0) << c.name;
        ASSERT_EQ(capture.Messages().size(), 1u) << c.name;
        EXPECT_EQ(capture.Messages()[0].text, c.text) << c.name;
        EXPECT_EQ(capture.Messages()[0].title, ApplicationTitle());
    }

    MessageCapture capture;
    EXPECT_EQ(Unpack(root.Path() + "\\missing.cab", root.Path() + "\\out"), 0);
    EXPECT_EQ(capture.Texts(), std::vector<std::string>{"Cabinet file (or part of splitted CAB) not found"});
}

TEST(CabinetExtractor, EveryCutOfACabinetEndsWithOneAnswer)
{
    PlantedFolder root(TempPath("cabcuts"));
    WriteWholeFile(root.Path() + "\\one.txt", std::string(3000, 'a') + "tail");
    WriteWholeFile(root.Path() + "\\two.txt", "second");
    const std::string good =
        PackFiles(root.Path() + "\\good.cab", {root.Path() + "\\one.txt", root.Path() + "\\two.txt"});
    const std::string cabinet = root.Path() + "\\cut.cab";
    for (size_t length = 0; length < good.size(); length += 3) {
        WriteWholeFile(cabinet, good.substr(0, length));
        MessageCapture capture;
        EXPECT_EQ(Unpack(cabinet, root.Path() + "\\out"), 0) << length;
        EXPECT_EQ(capture.Messages().size(), 1u) << length;
    }
}
