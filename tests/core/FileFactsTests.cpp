#include <gtest/gtest.h>

#include <memory>

#include "core/FileFacts.h"
#include "core/Text.h"
#include "support/Planted.h"

TEST(FileFacts, AMemoAnswersFromMemoryWithTheWrittenCaseAndNothingOutlivesIt)
{
    PlantedFolder folder("C:\\" + UniqueName("QmFacts"));
    PlantedFile file(folder.Path() + "\\Tool.exe");
    const std::string later = folder.Path() + "\\later.txt";
    std::unique_ptr<PlantedFile> planting;
    {
        FileFactsMemo memo;
        memo.SetWrittenText("\"" + file.Path() + "\" /run,0");
        EXPECT_EQ(memo.WrittenForm(LowerAscii(file.Path())), file.Path());
        EXPECT_EQ(memo.WrittenForm("c:\\elsewhere"), "c:\\elsewhere");
        EXPECT_NE(FileAttributesOf(LowerAscii(file.Path())), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(FileAttributesOf(later), INVALID_FILE_ATTRIBUTES);
        planting = std::make_unique<PlantedFile>(later);
        EXPECT_EQ(FileAttributesOf(later), INVALID_FILE_ATTRIBUTES) << "answered from memory";
    }
    EXPECT_NE(FileAttributesOf(later), INVALID_FILE_ATTRIBUTES) << "outside every memo the platform is asked";
}
