#include <gtest/gtest.h>

#include "scan/ScanDriver.h"
#include "support/RecordingContext.h"
#include "support/SavedSettings.h"

// The real scanners over the whole test prefix, every section on: each record
// arrives while its own section's status shows (no scanner is wired to another
// section), and the scan ends with its one final message.
TEST(FullScan, EveryRecordArrivesDuringItsOwnSection)
{
    DefaultSettings settings;
    RecordingContext context;
    const bool groups[4] = {true, true, true, true};
    keepScanning = 1;
    ScanDriver(context, PrepareSections(groups));
    keepScanning = 0;
    std::string status;
    size_t reported = 0;
    for (const std::string& call : context.calls) {
        if (call.rfind("SetStatus ", 0) == 0)
            status = call.substr(10);
        else if (call.rfind("Report ", 0) == 0 && reported < context.records.size())
            EXPECT_EQ(status, SectionStatusText(context.records[reported++]->section)) << call;
    }
    EXPECT_EQ(reported, context.records.size());
    EXPECT_EQ(context.CallsStartingWith("ShowFinalMessage"), std::vector<std::string>{"ShowFinalMessage Scan Completed"});
}
