// Making cabinets: the parameters refused, the temporary files, packing a
// folder with its log, and what the cabinet stores of each file.

#include <gtest/gtest.h>

#include "CabinetTestFiles.h"
#include "core/AppMessage.h"
#include "repair/CabinetCompressor.h"
#include "repair/CabinetExtractor.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"

namespace {

const char invalidParameters[] = "Invalid parameters";

int Unpack(const std::string& cabinet, const std::string& target)
{
    CabinetExtractor extractor;
    return extractor.OpenCabinet(cabinet) && extractor.ExtractTo(target);
}

} // namespace

TEST(CabinetCompressor, RefusesPathsAndSizesThatMakeNoCabinet)
{
    PlantedFolder work(TempPath("cabargs"));
    struct Case {
        std::string path;
        unsigned long maxSize;
    };
    const Case cases[] = {
        {"nobackslash.cab", CabinetCompressor::maxCabinetSize},
        {work.Path() + "\\ab", CabinetCompressor::maxCabinetSize},
        {work.Path() + "\\", CabinetCompressor::maxCabinetSize},
        {"\\set.cab", CabinetCompressor::maxCabinetSize},
        {work.Path() + "\\small.cab", 19999},
        // The size is masked to 31 bits first: this one masks to 0.
        {work.Path() + "\\masked.cab", 0x80000000UL},
    };
    for (const Case& c : cases) {
        MessageCapture capture;
        {
            CabinetCompressor compressor;
            EXPECT_EQ(compressor.CreateCabinet(c.path, c.maxSize), 0) << c.path;
            EXPECT_EQ(compressor.AddFile("C:\\windows\\win.ini"), 0) << c.path;
        }
        ASSERT_FALSE(capture.Messages().empty()) << c.path;
        for (const CapturedMessage& message : capture.Messages()) {
            EXPECT_EQ(message.text, invalidParameters) << c.path;
            EXPECT_EQ(message.title, ApplicationTitle());
            EXPECT_EQ(message.type, static_cast<UINT>(MB_OK));
        }
    }
    for (const char* name : {"ab", "small.cab", "masked.cab"})
        EXPECT_FALSE(FileExists(work.Path() + "\\" + name)) << name;
    EXPECT_EQ(ApplicationTitle(), "test_cabinet");
}

TEST(CabinetCompressor, SecondCabinetOnOneObjectIsRefusedAndTheFirstStillCompletes)
{
    PlantedFolder work(TempPath("cabtwice"));
    MessageCapture capture;
    CabinetCompressor compressor;
    ASSERT_EQ(compressor.CreateCabinet(work.Path() + "\\first.cab"), 1);
    EXPECT_EQ(compressor.CreateCabinet(work.Path() + "\\second.cab"), 0);
    EXPECT_EQ(capture.Texts(), std::vector<std::string>{invalidParameters});
    ASSERT_EQ(compressor.AddFile("C:\\windows\\win.ini"), 1);
    ASSERT_EQ(compressor.Flush(), 1);
    EXPECT_FALSE(FileExists(work.Path() + "\\second.cab"));
    CabinetTable table = ReadCabinetTable(ReadWholeFile(work.Path() + "\\first.cab"));
    ASSERT_TRUE(table.valid);
    ASSERT_EQ(table.files.size(), 1u);
    EXPECT_EQ(table.files[0].name, "win.ini");
    EXPECT_EQ(table.setId, 12345);
}

TEST(CabinetCompressor, TemporaryFilesPassOverNamesInUseAndAreRemoved)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    auto tempName = [&](int n) {
        char name[MAX_PATH];
        snprintf(name, sizeof(name), "%sCabTemp%04d", temp, n);
        return std::string(name);
    };
    PlantedFile taken1(tempName(1), "someone else's 1");
    PlantedFile taken2(tempName(2), "someone else's 2");
    PlantedFolder work(TempPath("cabtemp"));
    // Large enough that packed data goes out to a temporary file.
    WriteWholeFile(work.Path() + "\\big.bin", std::string(200000, 'b'));
    MessageCapture capture;
    {
        CabinetCompressor compressor;
        ASSERT_EQ(compressor.CreateCabinet(work.Path() + "\\t.cab"), 1);
        ASSERT_EQ(compressor.AddFile(work.Path() + "\\big.bin"), 1);
        EXPECT_TRUE(FileExists(tempName(3))) << "the first free name is in use while packing";
        ASSERT_EQ(compressor.Flush(), 1);
    }
    EXPECT_EQ(ReadWholeFile(tempName(1)), "someone else's 1");
    EXPECT_EQ(ReadWholeFile(tempName(2)), "someone else's 2");
    for (int n = 3; n <= 12; ++n)
        EXPECT_FALSE(FileExists(tempName(n))) << tempName(n) << " left behind";
    EXPECT_TRUE(capture.Messages().empty());
}

TEST(CabinetCompressor, FolderPacksItsOwnFilesThenTheLog)
{
    PlantedFolder source(TempPath("cabsrc"));
    const std::string dir = source.Path();
    WriteWholeFile(dir + "\\alpha.txt", "alpha\r\n");
    WriteWholeFile(dir + "\\with blank.reg", std::string(70000, 'r'));
    WriteWholeFile(dir + "\\.hidden", "dot file");
    WriteWholeFile(dir + "\\locked.dat", "cannot be read while locked");
    CreateDirectoryA((dir + "\\sub").c_str(), nullptr);
    WriteWholeFile(dir + "\\sub\\inner.txt", "not packed");
    // Held open without sharing, so the file cannot be added.
    HANDLE lock = CreateFileA((dir + "\\locked.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    PlantedFolder out(TempPath("cabout"));
    const std::string cabinet = out.Path() + "\\7,4,2009_15,3,9.cab";
    MessageCapture capture;
    {
        CabinetCompressor compressor;
        ASSERT_EQ(compressor.CreateCabinet(cabinet), 1);
        EXPECT_EQ(compressor.AddFolder(dir + "\\"), 1);
        EXPECT_EQ(compressor.Flush(), 1);
    }
    CloseHandle(lock);
    EXPECT_TRUE(capture.Messages().empty());

    CabinetTable table = ReadCabinetTable(ReadWholeFile(cabinet));
    ASSERT_TRUE(table.valid);
    std::vector<std::string> names;
    for (const StoredFile& file : table.files)
        names.push_back(file.name);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names.back(), "ZipLog.txt");
    EXPECT_NE(std::find(names.begin(), names.end(), "alpha.txt"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "with blank.reg"), names.end());

    // Each line of the log ends in CR CR LF on disk.
    std::string log = ReadWholeFile(dir + "\\ZipLog.txt");
    for (const char* line : {"\r\r\nAdding File to Zip - alpha.txt", "\r\r\nAdding File to Zip - with blank.reg",
                             "\r\r\nAdding File to Zip - locked.dat"})
        EXPECT_NE(log.find(line), std::string::npos) << line << " missing in:\n" << log;
    std::string failed = "\r\r\nAdding File to Zip - locked.dat\r\r\n*Error adding file - " + dir + "\\locked.dat";
    EXPECT_NE(log.find(failed), std::string::npos) << log;
    EXPECT_EQ(log.find("inner.txt"), std::string::npos);
    EXPECT_EQ(log.find(".hidden"), std::string::npos);

    PlantedFolder back(TempPath("cabback"));
    ASSERT_EQ(Unpack(cabinet, back.Path() + "\\new\\deeper"), 1);
    const std::string got = back.Path() + "\\new\\deeper\\";
    EXPECT_EQ(ReadWholeFile(got + "alpha.txt"), "alpha\r\n");
    EXPECT_EQ(ReadWholeFile(got + "with blank.reg"), std::string(70000, 'r'));
    EXPECT_EQ(ReadWholeFile(got + "ZipLog.txt"), log);
    EXPECT_FALSE(FileExists(got + "locked.dat"));
    EXPECT_FALSE(FileExists(got + "inner.txt"));
    EXPECT_TRUE(capture.Messages().empty());
}

TEST(CabinetCompressor, EmptyFolderGivesOnlyAnEmptyLog)
{
    PlantedFolder source(TempPath("cabempty"));
    PlantedFolder out(TempPath("cabemptyout"));
    const std::string cabinet = out.Path() + "\\empty.cab";
    MessageCapture capture;
    int flushed;
    {
        CabinetCompressor compressor;
        ASSERT_EQ(compressor.CreateCabinet(cabinet), 1);
        EXPECT_EQ(compressor.AddFolder(source.Path()), 1);
        flushed = compressor.Flush();
    }
    EXPECT_TRUE(FileExists(source.Path() + "\\ZipLog.txt"));
    EXPECT_EQ(ReadWholeFile(source.Path() + "\\ZipLog.txt"), "");
    if (flushed) {
        CabinetTable table = ReadCabinetTable(ReadWholeFile(cabinet));
        ASSERT_EQ(table.files.size(), 1u);
        EXPECT_EQ(table.files[0].name, "ZipLog.txt");
        EXPECT_EQ(table.files[0].size, 0u);
        EXPECT_TRUE(capture.Messages().empty());
    } else {
        // Wine's Cabinet.dll cannot write a cabinet whose files hold no byte
        // at all; the failure must still be the one message and no cabinet.
        EXPECT_EQ(capture.Texts(), std::vector<std::string>{"Could not create cabinet file"});
        EXPECT_FALSE(FileExists(cabinet));
    }
}

TEST(CabinetCompressor, CabinetBegunButNeverFlushedIsCompletedOnDestruction)
{
    PlantedFolder out(TempPath("cabpending"));
    const std::string cabinet = out.Path() + "\\pending.cab";
    MessageCapture capture;
    {
        CabinetCompressor compressor;
        ASSERT_EQ(compressor.CreateCabinet(cabinet), 1);
        ASSERT_EQ(compressor.AddFile("C:\\windows\\win.ini"), 1);
        EXPECT_FALSE(FileExists(cabinet));
    }
    ASSERT_EQ(Unpack(cabinet, out.Path() + "\\x"), 1);
    EXPECT_EQ(ReadWholeFile(out.Path() + "\\x\\win.ini"), ReadWholeFile("C:\\windows\\win.ini"));
    EXPECT_TRUE(capture.Messages().empty());
}
