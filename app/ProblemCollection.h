#pragma once
// The problems of one scan. Every record a scanner finds arrives here, one at
// a time and in the order found: it is checked or not as the user prefers,
// dropped when the built-in exclusions or the ignore list cover it, logged,
// filed, counted per section and per group, and the group labels follow.

#include <cstdint>
#include <string>
#include <vector>

#include "core/ProblemRecord.h"
#include "core/ScanSection.h"
#include "scan/ScanDriver.h"

class IgnoreList;
class ScanLog;

// Where the collection shows what it counts. The main window puts it on its
// controls (the per-section results list and the four group labels); a
// headless run keeps it for printing; a test records it.
class ResultsDisplay {
public:
    virtual ~ResultsDisplay() = default;
    // In the section's row of the per-section results list: the count as
    // text in the "Problems" column, the section code as the row's number,
    // and the image of a section with problems.
    virtual void ShowSectionCount(int row, unsigned section, const std::string& countText) = 0;
    // One of the four group labels of the scanning page.
    virtual void ShowGroupLabel(SectionGroupId group, const std::string& text) = 0;
    // Deletes every row of the per-section results list.
    virtual void ClearSectionRows() = 0;
    // One row for each section the plan runs, in its row order, with the section's label.
    virtual void InsertSectionRows(const ScanPlan& plan) = 0;
};

// The Windows group label: what removing the found files would free.
std::string DiskSpaceText(double bytes);

class ProblemCollection {
public:
    ProblemCollection(const IgnoreList& ignoreList, ScanLog& scanLog, ResultsDisplay& display);

    // What a new scan starts from: the last scan's records destroyed, every
    // counter at 0, no section rows.
    void Reset();
    // Starts a scan, from the window or headless: Reset, a new scan log,
    // CheckAllItems and Generate Log as stored now, and the rows of the
    // sections that run with the groups as checked. Answers the plan the
    // scan driver runs.
    ScanPlan BeginScan(const bool groupChecked[4]);
    // "CheckAllItems" of this scan: every accepted record arrives with it.
    void SetCheckAllItems(int on) { checkAllItems = on ? 1 : 0; }
    // The rows this scan's sections got in the per-section results list.
    void SetSectionRows(const ScanPlan& plan);

    // Takes over one record found by a scanner; the record is kept or destroyed.
    void OnProblemFound(ProblemPtr record);

    // Unticks every record the ignore list now covers (short root names in
    // the key path count as the long ones); returns how many were ticked.
    int UncheckIgnored();

    // Every accepted record of the scan, in order of arrival. The details
    // views and repair may change a record's `checked` and `keyPath`.
    const std::vector<ProblemPtr>& Problems() const { return problemList; }
    uint32_t AcceptedCount() const { return acceptedCount; }
    int32_t SectionProblemCount(unsigned code) const;
    int32_t RegistryProblemCount() const { return registryProblemCount; }
    int32_t IeProblemCount() const { return ieProblemCount; }
    int32_t TweakCount() const { return tweakCount; }
    double DiskBytes() const { return diskBytes; }
    // The text of a group label for the counts so far.
    std::string GroupLabelText(SectionGroupId group) const;

private:
    void CountInSection(const ProblemRecord& record);
    void RefreshGroupLabels();

    const IgnoreList& ignoreList;
    ScanLog& scanLog;
    ResultsDisplay& display;

    int checkAllItems = 1;
    int rowOf[SectionCount];
    std::vector<ProblemPtr> problemList;
    uint32_t acceptedCount = 0;
    int32_t sectionCounts[SectionCount] = {};
    int32_t registryProblemCount = 0;
    int32_t ieProblemCount = 0;
    int32_t tweakCount = 0;
    double diskBytes = 0.0;
};
