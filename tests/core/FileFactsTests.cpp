#include <gtest/gtest.h>

#include <memory>

#include "core/FileFacts.h"
#include "core/Text.h"
#include "support/Planted.h"

TEST(FileFacts, AMemoAnswersFromMemoryWithTheWrittenCaseAndNothingOutlivesIt)
{
    const std::string folder = "C:\\" + UniqueName("QmFacts");
    PlantedFolder planted(folder);
    PlantedFile file(folder + "\\Tool.exe");
    const std::string lowered = LowerAscii(folder + "\\tool.exe");
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
