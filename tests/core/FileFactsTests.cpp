#include <gtest/gtest.h>

#include <memory>

#include "core/FileFacts.h"
#include "support/Planted.h"

TEST(FileFacts, AMemoRemembersWhatItWasToldAndNothingOutlivesIt)
{
    const std::string path = "C:\\" + UniqueName("QmFacts") + ".txt";
    std::unique_ptr<PlantedFile> file;
    {
        FileFactsMemo memo;
        EXPECT_EQ(FileAttributesOf(path), INVALID_FILE_ATTRIBUTES);
        file = std::make_unique<PlantedFile>(path);
        EXPECT_EQ(FileAttributesOf(path), INVALID_FILE_ATTRIBUTES) << "answered from memory";
    }
    EXPECT_NE(FileAttributesOf(path), INVALID_FILE_ATTRIBUTES)
        << "outside every memo the platform is asked";
}

TEST(FileFacts, PathsAreAskedWithTheCaseTheValueWroteThem)
{
    const std::string folder = "C:\\" + UniqueName("QmCase");
    PlantedFolder planted(folder);
    PlantedFile file(folder + "\\Tool.exe");
    std::string lowered = folder + "\\tool.exe";
    for (char& c : lowered)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    FileFactsMemo memo;
    memo.SetWrittenText("\"" + folder + "\\Tool.exe\" /run,0");
    EXPECT_EQ(memo.WrittenForm(lowered), folder + "\\Tool.exe");
    EXPECT_EQ(memo.WrittenForm("c:\\elsewhere"), "c:\\elsewhere");
    EXPECT_NE(FileAttributesOf(lowered), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(FileAttributesOf(lowered.substr(0, folder.size())) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST(FileFacts, EachDriveKeepsItsOwnType)
{
    // Asked twice so that the second answers come from memory.
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(DriveTypeOf("C:\\"), UINT(DRIVE_FIXED));
        EXPECT_EQ(DriveTypeOf("d:\\"), UINT(DRIVE_CDROM));
        EXPECT_EQ(DriveTypeOf("N:\\"), UINT(DRIVE_REMOTE));
        EXPECT_EQ(DriveTypeOf("Q:\\"), UINT(DRIVE_NO_ROOT_DIR));
    }
}
