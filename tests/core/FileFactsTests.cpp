#include <gtest/gtest.h>

#include <memory>

#include "core/FileFacts.h"
#include "support/Planted.h"

TEST(FileFacts, AMemoAnswersFromMemoryWithTheWrittenCaseAndNothingOutlivesIt)
{
    const std::string folder = "C:\\" + UniqueName("QmFacts");
    PlantedFolder planted(folder);
    PlantedFile file(folder + "\\Tool.exe");
    std::string lowered = folder + "\\tool.exe";
    for (char& c : lowered)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    const std::string later = folder + "\\later.txt";
    std::unique_ptr<PlantedFile> planting;
    {
        FileFactsMemo memo;
        memo.SetWrittenText("\"" + folder + "\\Tool.exe\" /run,0");
        EXPECT_EQ(memo.WrittenForm(lowered), folder + "\\Tool.exe");
        EXPECT_EQ(memo.WrittenForm("c:\\elsewhere"), "c:\\elsewhere");
        EXPECT_NE(FileAttributesOf(lowered), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(FileAttributesOf(later), INVALID_FILE_ATTRIBUTES);
        planting = std::make_unique<PlantedFile>(later);
        EXPECT_EQ(FileAttributesOf(later), INVALID_FILE_ATTRIBUTES) << "answered from memory";
    }
    EXPECT_NE(FileAttributesOf(later), INVALID_FILE_ATTRIBUTES)
        << "outside every memo the platform is asked";
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
