#include <gtest/gtest.h>

#include "app/Application.h"
#include "core/PathCheck.h"
#include "support/TestThread.h"
#include "support/UiDriver.h"

TEST(Application, RefusesSixtyFourBitWindowsWithAMessageAndNoWindow)
{
    OverrideWow64(1);
    MessageBoxSeen seen;
    TestThread answer([&seen] {
        seen = WaitForMessageBox(GetCurrentProcessId(), 10000);
        if (seen.window)
            PressButton(seen.window, IDOK);
    });
    EXPECT_FALSE(StartApplication());
    answer.Join();
    EndApplication();
    OverrideWow64(-1);

    ASSERT_NE(seen.window, nullptr) << "no message box";
    EXPECT_EQ(seen.text, "64 bit version of windows not supported");
    EXPECT_EQ(seen.title, "test_app");
    EXPECT_EQ(FindWindowA(nullptr, "Quillmoor v8.0"), nullptr);
}
