#pragma once
// Removing the checked problems of a scan, each after its backup. The main
// window's Repair button and the headless fix run the same RepairProblems;
// only what they show differs (the RepairView).

#include <windows.h>

#include <string>
#include <vector>

#include "core/ProblemRecord.h"

// What a running repair shows, and how it hears of an abort.
class RepairView {
public:
    virtual ~RepairView() = default;
    // The run starts on `total` checked records.
    virtual void BeginProgress(int total) = 0;
    // The record about to be repaired, and how many were done before it.
    virtual void ShowRepairItem(const ProblemRecord& record, int done, int total) = 0;
    // One checked record is done.
    virtual void StepProgress() = 0;
    // Let the user act between two records (the window pumps its messages).
    virtual void Pump() = 0;
    // False once the user asked to stop.
    virtual bool KeepRepairing() = 0;
    // A message box, or what stands in for one; a null title is the
    // application's.
    virtual int Box(const std::string& text, const char* title, UINT type) = 0;
};

struct RepairOutcome {
    bool backupWritable = true; // false: nothing was removed
    bool aborted = false;
    int removed = 0;
    int skippedValid = 0; // its reference exists again
    int kept = 0;         // unticked or ignored elsewhere
    int refused = 0;
    int failed = 0;
    std::vector<std::string> notes; // one line per record not removed, and why
    std::string cabinetPath;        // the set written, when backup was on
    std::string setKept;            // the set could not be packed: where its files are
};

// Per result list: set once the browser history has been cleared (or tried).
struct RepairState {
    bool historyCleared = false;
};

// The work folder of a repair's backup: the temporary folder + "\Quillmoor8BackUp".
std::string RepairWorkFolder();

// Repairs every checked record of `problems`, in order, with a backup set
// when `backup` is on. Expands the abbreviated root names of every record it
// visits. The view hears of progress and answers the abort question.
RepairOutcome RepairProblems(const std::vector<ProblemPtr>& problems, bool backup,
                             RepairState& state, RepairView& view);

// Removes one record's problem as its section prescribes; 1 when it is gone.
int RemoveProblem(ProblemRecord& record, RepairState& state, RepairView& view);

// Asks the user to close the browser's windows, then asks each one to close
// and waits (bounded). Never ends a process; the shell's folder windows are
// left alone.
void CloseBrowserWindows(RepairView& view);

// Creates every missing folder of a full path; 1 when all exist afterwards.
int CreateFolderPath(const std::string& path);
