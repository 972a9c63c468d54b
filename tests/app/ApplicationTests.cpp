#include <gtest/gtest.h>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "core/PathCheck.h"
#include "core/Registry.h"
#include "support/MessageCapture.h"
#include "support/Planted.h"
#include "support/SavedBackEnd.h"
#include "support/SavedSettings.h"
#include "support/StateWitness.h"

struct CollectedText : TextOutput {
    std::string text;
    bool Write(const std::string& more) override { return text += more, true; }
};

// The window shows a box and never opens; the headless scan writes the
// refusal on standard error and does not run; a switch it does not know
// ends the run with 2 before the system is looked at.
TEST(Application, RefusesSixtyFourBitWindowsWithAndWithoutTheWindow)
{
    OverrideWow64(1);
    MessageCapture boxes;
    EXPECT_FALSE(StartApplication());
    EndApplication();
    CollectedText out, err;
    int code = RunHeadless({"/scan", "/all"}, out, err);
    EXPECT_EQ(RunHeadlessCommand({"/scan", "/bogus"}), ExitBadCommandLine);
    OverrideWow64(-1);

    ASSERT_EQ(boxes.Messages().size(), 1u);
    EXPECT_EQ(boxes.Messages()[0].title + ": " + boxes.Messages()[0].text,
              "test_app: 64 bit version of windows not supported");
    EXPECT_EQ(FindWindowA(nullptr, "Quillmoor v8.0"), nullptr);
    EXPECT_EQ(std::to_string(code) + " " + out.text + "|" + err.text, "3 |64 bit version of windows not supported\r\n");
}

// A box the engine shows during a headless run (here the registry layer's
// failed close of a type library key) is a line on standard error, and the
// run goes on by itself.
TEST(Application, AHeadlessRunWritesBoxesToStandardErrorInsteadOfWaiting)
{
    DefaultSettings settings;
    PlantedKey library(HKEY_CLASSES_ROOT, "TypeLib\\{" + UniqueName("QmLib") + "}\\1.0\\0\\win32");
    library.SetString("", "C:\\windows\\system32\\stdole2.tlb");
    SavedBackEnd saved;
    regApi.RegCloseKey = [](HKEY key) -> LONG { return RegCloseKey(key), ERROR_INVALID_HANDLE; };
    CollectedText out, err;
    int code = RunHeadless({"/scan", "/sections:2"}, out, err);
    EXPECT_TRUE(code == ExitNoProblems || code == ExitProblemsFound) << code;
    EXPECT_EQ(err.text.substr(0, 23), "Error in RegCloseKey.\r\n");
}
