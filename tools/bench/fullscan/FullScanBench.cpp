// The time of one complete scan with every section on, over the prefix as
// Wine makes it: what a user waits for on a clean system.

#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "core/ScanSection.h"
#include "scan/HistoryScanners.h"
#include "scan/ScanContext.h"
#include "scan/ScanDriver.h"
#include "settings/Settings.h"

namespace {

// Keeps the row texts the driver reads back and counts the records.
class CountingContext : public ScanContext {
public:
    int records = 0;

    void Report(ProblemPtr) override { ++records; }
    void ShowItem(const std::string&) override {}
    void Step() override {}
    void Pump() override { PumpPendingMessages(); }
    void ShowFailure(const std::string& text) override { fprintf(stderr, "%s\n", text.c_str()); }
    bool GroupChecked(SectionGroupId) override { return true; }
    void SetRowText(int row, int column, const std::string& text) override
    {
        rows[{row, column}] = text;
    }
    std::string RowText(int row, int column) override { return rows[{row, column}]; }

private:
    std::map<std::pair<int, int>, std::string> rows;
};

} // namespace

int main()
{
    WriteDefaultSettings();
    for (unsigned code = 0; code < SectionCount; ++code)
        if (*SectionSettingsKey(code))
            WriteSetting(SectionSettingsKey(code), "1");
    FillMruKeys();
    const bool groups[4] = {true, true, true, true};
    ScanPlan plan = PrepareSections(groups);

    CountingContext context;
    keepScanning = 1;
    LARGE_INTEGER start, end, frequency;
    QueryPerformanceCounter(&start);
    ScanDriver(context, plan);
    QueryPerformanceCounter(&end);
    QueryPerformanceFrequency(&frequency);
    printf("bench: full_scan_pristine %.2f s\n",
           double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
    printf("bench: full_scan_pristine_records %d count\n", context.records);
    fflush(stdout);
    return 0;
}
