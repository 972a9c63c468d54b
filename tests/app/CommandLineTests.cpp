#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ProblemReport.h"

// Only "/scan" and "/?" ask for the headless run: a file dropped on the program
// or a switch of a shortcut opens the window. Arguments split at blanks and
// tabs outside quotes.
TEST(CommandLine, WhatRunsHeadlessAndWhatIsUnderstood)
{
    struct Case { const char* commandLine; bool headless, understood; } cases[] = {
        {"", false, false},     {"\"C:\\Users\\me\\Desktop\\backup.reg\"", false, false},
        {"/all", false, false}, {"/scanner", false, false}, {"/S", false, false},
        {"  /SCAN\t/All /report:- ", true, true},  {"/Scan /sections:0,8,22", true, true},
        {"/?", true, true},  {"/report:- /scan /bogus", true, false},
        {"/scan /sections:18", true, false}, // no section has code 18
        {"/scan /sections:1,,2", true, false}, {"/scan /report:", true, false},
        {"/scan /all /sections:1", true, false}, {"/scan /FIX /nobackup", true, true},
        {"/scan /nobackup", true, false}, // nothing to repair without a backup
    };
    HeadlessOptions options;
    std::string error;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine);
        const std::vector<std::string> arguments = SplitArguments(c.commandLine);
        EXPECT_EQ(AsksForHeadlessRun(arguments), c.headless);
        options = HeadlessOptions(), error.clear();
        EXPECT_EQ(ParseHeadlessArguments(arguments, options, error), c.understood);
        EXPECT_EQ(error.empty(), c.understood);
    }
    ASSERT_TRUE(ParseHeadlessArguments(SplitArguments("/scan /sections:0,8,22 \"/report:C:\\My Files\\r.tsv\"   "),
                                       options, error));
    EXPECT_EQ(options.sections, (std::vector<unsigned>{0, 8, 22}));
    EXPECT_TRUE(!options.all && options.reportPath == "C:\\My Files\\r.tsv") << options.reportPath;
}

// A report line escapes its fields so that each problem is one line and keeps
// the explanation as it stands; the readable explanation fills in every
// placeholder with the value data, even data that holds one itself.
TEST(ProblemReport, FieldsAreEscapedAndEveryPlaceholderFilled)
{
    ProblemPtr record = MakeProblemRecord(8, "C:\\a\tb.exe", "HKEY_CURRENT_USER\\Run", "two\r\nlines", "back\\%s",
                                          "The file (%s) does not exist (%s)", 1536);
    record->serial = 7;
    EXPECT_EQ(ReportLine(*record), "7\t8\tC:\\\\a\\tb.exe\tHKEY_CURRENT_USER\\\\Run\ttwo\\r\\nlines\tback\\\\%s\t"
                                   "The file (%s) does not exist (%s)\t1536\t1\r\n");
    EXPECT_EQ(ProblemExplanation(*record), "The file (back\\%s) does not exist (back\\%s)");
}
