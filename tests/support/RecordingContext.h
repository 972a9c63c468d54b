#pragma once
// A scan context for tests: keeps every record and every call, in order.

#include <functional>
#include <string>
#include <vector>

#include "scan/ScanContext.h"

class RecordingContext : public ScanContext {
public:
    std::vector<ProblemPtr> records;
    // Every call as text, e.g. "ShowItem HKEY_...", "Step", "SetStatus Scanning: ...".
    std::vector<std::string> calls;
    int steps = 0;
    bool groupChecked[4] = {true, true, true, true};
    std::vector<std::vector<std::string>> rows; // rows[row][column]
    // Called after each ShowItem (the end of an examined entry); a test may
    // clear keepScanning here to abort mid-section.
    std::function<void(const std::string&)> onItem;

    void Report(ProblemPtr record) override;
    void ShowItem(const std::string& text) override;
    void Step() override { ++steps, calls.push_back("Step"); }
    void Pump() override { calls.push_back("Pump"); }
    void ShowFailure(const std::string& text, BoxTitle title) override
    {
        calls.push_back("ShowFailure " + text +
                        (title == BoxTitle::Application ? " (application title)" : ""));
    }
    void SetStatus(const std::string& text) override { calls.push_back("SetStatus " + text); }
    void SetGroupLabel(SectionGroupId group, const std::string& text) override;
    bool GroupChecked(SectionGroupId group) override;
    void SetRowText(int row, int column, const std::string& text) override;
    std::string RowText(int row, int column) override;
    void SetRowImage(int row, int image) override
    {
        calls.push_back("SetRowImage " + std::to_string(row) + " " + std::to_string(image));
    }
    void FillProgress() override { calls.push_back("FillProgress"); }
    void ShowFinalMessage(const std::string& text) override { calls.push_back("ShowFinalMessage " + text); }
    void ShowResultsPage() override { calls.push_back("ShowResultsPage"); }
    void ScanFinished() override { calls.push_back("ScanFinished"); }

    // Calls that begin with `prefix`.
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
};
