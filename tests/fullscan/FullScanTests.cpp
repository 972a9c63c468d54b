#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <string>
#include <vector>

#include "scan/ScanDriver.h"
#include "support/RecordingContext.h"
#include "support/SavedSettings.h"

namespace {

// Notes the section that was running when each record arrived.
class SectionWatchingContext : public RecordingContext {
public:
    std::vector<std::string> statusAtReport;

    void SetStatus(const std::string& text) override
    {
        status = text;
        RecordingContext::SetStatus(text);
    }
    void Report(ProblemPtr record) override
    {
        statusAtReport.push_back(status);
        RecordingContext::Report(std::move(record));
    }

private:
    std::string status;
};

} // namespace

// The real scanners over the whole test prefix, every section on. Each record
// belongs to the section that was running when it arrived, so no scanner is
// wired to another section; and the scan ends, on a prefix whose drives lead
// nowhere unexpected, in well under a minute.
TEST(FullScan, EveryRecordArrivesDuringItsOwnSection)
{
    SavedSettingsKey savedKey;
    for (unsigned code = 0; code < SectionCount; ++code)
        if (code != SectionReserved)
            SHSetValueA(HKEY_CURRENT_USER, "SOFTWARE\\Quillmoor8", SectionSettingsKey(code),
                        REG_SZ, "1", 2);

    SectionWatchingContext context;
    const bool groups[4] = {true, true, true, true};
    keepScanning = 1;
    DWORD start = GetTickCount();
    ScanDriver(context, PrepareSections(groups));
    DWORD elapsed = GetTickCount() - start;
    keepScanning = 0;

    EXPECT_LT(elapsed, 60000u);
    ASSERT_EQ(context.records.size(), context.statusAtReport.size());
    for (size_t i = 0; i < context.records.size(); ++i) {
        const ProblemRecord& record = *context.records[i];
        EXPECT_EQ(context.statusAtReport[i], SectionStatusText(record.section))
            << record.item << " | " << record.keyPath;
    }
    EXPECT_EQ(context.CallsStartingWith("ShowFinalMessage"),
              std::vector<std::string>{"ShowFinalMessage Scan Completed"});
}
