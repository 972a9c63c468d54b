#include <gtest/gtest.h>

#include "support/UiDriver.h"

TEST(Skeleton, WindowOpensWithItsTitleAndEscapeClosesIt)
{
    AppProcess app;
    ASSERT_TRUE(app.Start()) << QuillmoorExe();
    HWND window = WaitForWindow(app.Id(), "Quillmoor v8.0", 15000);
    ASSERT_NE(window, nullptr) << "no window titled \"Quillmoor v8.0\"";
    Sleep(300);
    EXPECT_FALSE(SaveScreenshot("skeleton", window).empty());
    SendKey(window, VK_ESCAPE);
    EXPECT_EQ(app.WaitForExit(10000), 0u);
}
