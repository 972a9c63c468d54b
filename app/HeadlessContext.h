#pragma once
// The scan context of a headless run: no window, no message box. Records go
// straight to the problem collection on the calling thread; the rows and
// labels the window would show are kept so the run can print them; failures
// a scanner must tell the user of go to standard error.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/ProblemCollection.h"
#include "app/TextOutput.h"
#include "scan/ScanContext.h"

struct ScanPlan;

class HeadlessContext : public ScanContext, public ResultsDisplay {
public:
    HeadlessContext(const bool groupChecked[4], TextOutput& err);

    // Where records go; set before the scan starts.
    void SetCollection(ProblemCollection& collection) { this->collection = &collection; }
    // Called for each record the collection accepted, in order of arrival.
    std::function<void(const ProblemRecord&)> onAccepted;

    const std::string& GroupLabel(SectionGroupId group) const { return labels[group]; }
    // Blanks the console's progress line once the scan is over.
    void EndProgress() { progress.Clear(); }

    // ScanContext
    void Report(ProblemPtr record) override;
    void ShowItem(const std::string& text) override;
    void SetStatus(const std::string& text) override;
    void Step() override;
    void Pump() override;
    void ShowFailure(const std::string& text, BoxTitle title) override;
    void SetGroupLabel(SectionGroupId group, const std::string& text) override;
    bool GroupChecked(SectionGroupId group) override;
    void SetRowText(int row, int column, const std::string& text) override;
    std::string RowText(int row, int column) override;
    void SetRowImage(int row, int image) override;

    // ResultsDisplay
    void ShowSectionCount(int row, unsigned section, const std::string& countText) override;
    void ShowGroupLabel(SectionGroupId group, const std::string& text) override;
    void ClearSectionRows() override;
    void InsertSectionRows(const ScanPlan& plan) override;

private:
    struct Row {
        std::array<std::string, 3> columns;
        int image = 0;
    };
    Row* RowAt(int row);

    bool groupChecked[4];
    TextOutput& err;
    // On a console: the section being scanned, the item and the count so far.
    ProgressLine progress;
    std::string status;
    ProblemCollection* collection = nullptr;
    std::vector<Row> rows;
    std::string labels[4];
};
