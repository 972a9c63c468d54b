#pragma once
// A scan context for tests: keeps every record and every call, in order.

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "scan/ScanContext.h"

// Records as texts, in no set order: the registry and the file system list
// their entries in orders of their own.
using Records = std::multiset<std::string>;

// A record as "section|item|key path|value name|value data|description|size";
// one not selected for repair, or with a field no scanner sets, is marked.
std::string RecordText(const ProblemRecord& record);
// The text of a record with these fields, selected for repair.
std::string RecordText(unsigned section, const std::string& item, const std::string& keyPath,
                       const std::string& valueName, const std::string& valueData,
                       const std::string& description, double size = 0);

class RecordingContext : public ScanContext {
public:
    std::vector<ProblemPtr> records;
    // The calls a test looks at, as text: "ShowItem HKEY_...", "Step", "SetStatus Scanning: ...".
    std::vector<std::string> calls;
    int steps = 0;
    bool groupChecked[4] = {true, true, true, true};
    // Called after each ShowItem (the end of an examined entry); a test may
    // clear keepScanning here to abort mid-section.
    std::function<void(const std::string&)> onItem;

    void Report(ProblemPtr r) override { calls.push_back("Report " + r->item), records.push_back(std::move(r)); }
    void ShowItem(const std::string& text) override { calls.push_back("ShowItem " + text), onItem ? onItem(text) : void(); }
    void Step() override { ++steps, calls.push_back("Step"); }
    void Pump() override { calls.push_back("Pump"); }
    void ShowFailure(const std::string& text, BoxTitle title) override
    {
        calls.push_back("ShowFailure " + text + (title == BoxTitle::Application ? " (application title)" : ""));
    }
    void SetStatus(const std::string& text) override { calls.push_back("SetStatus " + text); }
    bool GroupChecked(SectionGroupId group) override { return group < GroupNone && groupChecked[group]; }
    void FillProgress() override { calls.push_back("FillProgress"); }
    void ShowFinalMessage(const std::string& text) override { calls.push_back("ShowFinalMessage " + text); }
    void ShowResultsPage() override { calls.push_back("ShowResultsPage"); }
    void ScanFinished() override { calls.push_back("ScanFinished"); }

    // Calls that begin with `prefix`.
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
    // The records whose text contains `marker`.
    Records RecordsWith(const std::string& marker) const;
};

// A scanner's test: the scan goes on unless the test aborts it, and a context collects.
class ScanTest : public testing::Test {
protected:
    void SetUp() override { keepScanning = 1; }
    void TearDown() override { keepScanning = 0; }

    RecordingContext context;
};
