#include <gtest/gtest.h>

#include "core/FileFacts.h"
#include "support/Planted.h"

TEST(FileFacts, AMissingFileIsAskedAgainOnceItsMemoEnds)
{
    const std::string path = "C:\\" + UniqueName("QmFacts") + ".txt";
    {
        FileFactsMemo memo;
        EXPECT_EQ(FileAttributesOf(path), INVALID_FILE_ATTRIBUTES);
    }
    PlantedFile file(path);
    FileFactsMemo next;
    EXPECT_NE(FileAttributesOf(path), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(FileAttributesOf("C:\\windows") & FILE_ATTRIBUTE_DIRECTORY,
              DWORD(FILE_ATTRIBUTE_DIRECTORY));
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
