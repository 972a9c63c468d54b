#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ProblemReport.h"
#include "core/PathCheck.h"
#include "core/Registry.h"
#include "support/Planted.h"

TEST(CommandLine, ArgumentsSplitAtBlanksOutsideQuotes)
{
    EXPECT_EQ(SplitArguments("  /scan   \"/report:C:\\My Files\\r.tsv\"\t/all "),
              (std::vector<std::string>{"/scan", "/report:C:\\My Files\\r.tsv", "/all"}));
    EXPECT_EQ(SplitArguments("/scan /report:\"C:\\a b\\r.tsv\""),
              (std::vector<std::string>{"/scan", "/report:C:\\a b\\r.tsv"}));
    EXPECT_TRUE(SplitArguments("   ").empty());
}

TEST(CommandLine, WhatIsUnderstoodAndWhatIsNot)
{
    struct Case {
        std::vector<std::string> arguments;
        bool understood;
    };
    const Case cases[] = {
        {{"/SCAN", "/All", "/report:-"}, true},
        {{"/scan", "/sections:0,8,22"}, true},
        {{"/?"}, true},
        {{"/all"}, false},                      // nothing to do
        {{"/scanner"}, false},
        {{"/scan", "/sections:18"}, false},     // no section has code 18
        {{"/scan", "/sections:1,,2"}, false},
        {{"/scan", "/report:"}, false},
        {{"/scan", "/all", "/sections:1"}, false},
        {{"/scan", "/FIX", "/nobackup"}, true},
        {{"/scan", "/nobackup"}, false},        // nothing to repair without a backup
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& argument : c.arguments)
            joined += argument + " ";
        HeadlessOptions options;
        std::string error;
        EXPECT_EQ(ParseHeadlessArguments(c.arguments, options, error), c.understood) << joined;
        EXPECT_EQ(error.empty(), c.understood) << joined;
    }

    HeadlessOptions options;
    std::string error;
    ASSERT_TRUE(ParseHeadlessArguments({"/scan", "/sections:0,8,22", "/report:C:\\r.tsv"},
                                       options, error));
    EXPECT_EQ(options.sections, (std::vector<unsigned>{0, 8, 22}));
    EXPECT_FALSE(options.all);
    EXPECT_EQ(options.reportPath, "C:\\r.tsv");
}

// A file dropped on the program or a switch of a shortcut opens the window;
// only "/scan" and "/?" ask for the headless run.
TEST(CommandLine, OnlyScanAndHelpRunWithoutTheWindow)
{
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{}, false},
        {{"C:\\Users\\me\\Desktop\\backup.reg"}, false},
        {{"/all"}, false},
        {{"/scanner"}, false},
        {{"/S"}, false},
        {{"/Scan"}, true},
        {{"/report:-", "/scan", "/bogus"}, true},
        {{"/?"}, true},
    };
    for (const auto& [arguments, headless] : cases)
        EXPECT_EQ(AsksForHeadlessRun(arguments), headless)
            << (arguments.empty() ? "(none)" : arguments[0]);
}

TEST(ProblemReport, FieldsAreEscapedSoThatEachProblemIsOneLine)
{
    ProblemRecord record;
    record.serial = 7;
    record.section = 8;
    record.checked = 1;
    record.item = "C:\\a\tb.exe";
    record.keyPath = "HKEY_CURRENT_USER\\Run";
    record.valueName = "two\r\nlines";
    record.valueData = "back\\slash";
    record.description = "The file (%s) does not exist at the specified location";
    record.sizeBytes = 1536;
    EXPECT_EQ(ReportLine(record),
              "7\t8\tC:\\\\a\\tb.exe\tHKEY_CURRENT_USER\\\\Run\ttwo\\r\\nlines\tback\\\\slash\t"
              "The file (%s) does not exist at the specified location\t1536\t1\r\n");
}

TEST(ProblemReport, EveryPlaceholderOfTheExplanationGetsTheValueData)
{
    ProblemRecord record;
    record.valueData = "{0001-%s}";
    record.description = "The Application ID (%s) is not valid.  (%s does not exist)";
    EXPECT_EQ(ProblemExplanation(record),
              "The Application ID ({0001-%s}) is not valid.  ({0001-%s} does not exist)");
    record.description = "Windows Temp File";
    EXPECT_EQ(ProblemExplanation(record), "Windows Temp File");
}

namespace {
struct CollectedText : TextOutput {
    std::string text;
    bool Write(const std::string& more) override { return text += more, true; }
};
} // namespace

TEST(CommandLine, On64BitWindowsTheScanRefusesToRun)
{
    OverrideWow64(1);
    CollectedText out;
    CollectedText err;
    int code = RunHeadless({"/scan", "/all"}, out, err);
    OverrideWow64(-1);
    EXPECT_EQ(code, ExitCannotRun);
    EXPECT_EQ(err.text, "64 bit version of windows not supported\r\n");
    EXPECT_EQ(out.text, "");
}

// A box the engine shows during a headless run (here the registry layer's
// failed close) is a line on standard error, and the run goes on by itself.
TEST(CommandLine, AHeadlessRunWritesBoxesToStandardErrorInsteadOfWaiting)
{
    // A type library file entry is read with the registry layer's own reader.
    PlantedKey library(HKEY_CLASSES_ROOT, "TypeLib\\{" + UniqueName("QmLib") + "}\\1.0\\0\\win32");
    library.SetString("", "C:\\windows\\system32\\stdole2.tlb");
    RegistryBackEnd saved = regApi;
    regApi.RegCloseKey = [](HKEY key) -> LONG {
        RegCloseKey(key);
        return ERROR_INVALID_HANDLE;
    };
    CollectedText out;
    CollectedText err;
    int code = RunHeadless({"/scan", "/sections:2"}, out, err);
    regApi = saved;
    EXPECT_TRUE(code == ExitNoProblems || code == ExitProblemsFound) << code;
    EXPECT_EQ(err.text.substr(0, 23), "Error in RegCloseKey.\r\n");
}
