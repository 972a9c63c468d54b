#include "app/ProblemCollection.h"

#include <cstdio>

#include "core/PathCheck.h"
#include "scan/ScanDriver.h"
#include "settings/IgnoreList.h"
#include "settings/ScanLog.h"
#include "settings/Settings.h"

namespace {

const char problemsFoundFormat[] = "Problems Found: %d";

std::string Formatted(const char* format, double value)
{
    char text[128];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

std::string Formatted(const char* format, int32_t value)
{
    char text[64];
    std::snprintf(text, sizeof(text), format, static_cast<int>(value));
    return text;
}

// Codes that have a section of their own: 18 is produced by no section.
bool IsCountedSection(unsigned code)
{
    return code >= 1 && code <= 22 && code != SectionReserved;
}

} // namespace

std::string DiskSpaceText(double bytes)
{
    if (bytes <= 1024.0)
        return Formatted("Increase Disk Space By: %0.0f bytes", bytes);
    if (bytes < 1048576.0)
        return Formatted("Increase Disk Space By: %0.2f KB", bytes / 1024.0);
    if (bytes < 1073741824.0)
        return Formatted("Increase Disk Space By: %0.2f MB", bytes / 1048576.0);
    return Formatted("Increase Disk Space By: %0.2f GB", bytes / 1073741824.0);
}

ProblemCollection::ProblemCollection(const IgnoreList& ignoreList, ScanLog& scanLog,
                                     ResultsDisplay& display)
    : ignoreList(ignoreList), scanLog(scanLog), display(display)
{
    Reset();
}

void ProblemCollection::Reset()
{
    problemList.clear();
    acceptedCount = 0;
    for (int32_t& count : sectionCounts)
        count = 0;
    for (int& row : rowOf)
        row = -1;
    registryProblemCount = 0;
    ieProblemCount = 0;
    tweakCount = 0;
    diskBytes = 0.0;
    display.ClearSectionRows();
}

ScanPlan ProblemCollection::BeginScan(const bool groupChecked[4])
{
    Reset();
    scanLog.BeginScanLog();
    SetCheckAllItems(SettingOn("CheckAllItems"));
    scanLog.SetGenerateLog(SettingOn("Generate Log"));
    ScanPlan plan = PrepareSections(groupChecked);
    display.InsertSectionRows(plan);
    SetSectionRows(plan);
    return plan;
}

void ProblemCollection::SetSectionRows(const ScanPlan& plan)
{
    for (unsigned code = 0; code < SectionCount; ++code)
        rowOf[code] = plan.rowOf[code];
}

void ProblemCollection::OnProblemFound(ProblemPtr record)
{
    record->checked = checkAllItems;
    // An entry covers every problem whose text merely contains it: values,
    // subkeys, and keys whose names begin with its last part alike.
    std::string text = record->keyPath + "\\" + record->valueName + "\\" + record->valueData;
    if (IsExcludedReference(text, ignoreList.Entries()))
        return;
    scanLog.LogProblem(*record);
    record->serial = acceptedCount;
    problemList.push_back(std::move(record));
    CountInSection(*problemList.back());
    RefreshGroupLabels();
    ++acceptedCount;
}

int ProblemCollection::UncheckIgnored()
{
    int unticked = 0;
    for (const ProblemPtr& record : problemList) {
        std::string text = LongRootNames(record->keyPath) + "\\" + record->valueName + "\\" + record->valueData;
        if (record->checked && IsExcludedReference(text, ignoreList.Entries())) {
            record->checked = 0;
            ++unticked;
        }
    }
    return unticked;
}

void ProblemCollection::CountInSection(const ProblemRecord& record)
{
    unsigned code = record.section;
    if (!IsCountedSection(code))
        return;
    ++sectionCounts[code];
    // A section switched on after the rows were built has no row; it is
    // still counted.
    if (rowOf[code] >= 0)
        display.ShowSectionCount(rowOf[code], code, Formatted("%d", sectionCounts[code]));
    switch (SectionGroup(code)) {
    case GroupRegistry:
        ++registryProblemCount;
        break;
    case GroupIETemp:
        ++ieProblemCount;
        break;
    case GroupTweaks:
        ++tweakCount;
        break;
    case GroupWindows:
        diskBytes += record.sizeBytes;
        break;
    case GroupNone:
        break;
    }
}

void ProblemCollection::RefreshGroupLabels()
{
    for (SectionGroupId group : {GroupRegistry, GroupIETemp, GroupWindows, GroupTweaks})
        display.ShowGroupLabel(group, GroupLabelText(group));
}

int32_t ProblemCollection::SectionProblemCount(unsigned code) const
{
    return code < SectionCount ? sectionCounts[code] : 0;
}

std::string ProblemCollection::GroupLabelText(SectionGroupId group) const
{
    switch (group) {
    case GroupRegistry:
        return Formatted(problemsFoundFormat, registryProblemCount);
    case GroupIETemp:
        return Formatted(problemsFoundFormat, ieProblemCount);
    case GroupWindows:
        return DiskSpaceText(diskBytes);
    case GroupTweaks:
        return Formatted("Tweaks Available: %d", tweakCount);
    case GroupNone:
        break;
    }
    return std::string();
}
