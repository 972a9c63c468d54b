// The Repair button of the main window: its questions, the window locked
// while the repair runs, and what the run shows on the results page.

#include "app/MainWindow.h"

#include <commctrl.h>
#include "core/AppMessage.h"
#include "repair/Repair.h"
#include "resource.h"
#include "scan/ScanDriver.h"
#include "settings/Settings.h"

namespace {

// Buttons that start something else; none of them may run beside a repair.
const int lockedWhileRepairing[] = {IDC_SCAN, IDC_BACKUP, IDC_OPTIONS, IDC_PREFERENCES,
                                    IDC_LIVE_UPDATE};

} // namespace

// What the repair shows in the window: the results page's bar, the button's
// caption, and the window's own messages between two records.
class MainWindow::RepairDisplay : public RepairView {
public:
    explicit RepairDisplay(MainWindow& window) : window(window) {}

    void BeginProgress(int total) override
    {
        HWND bar = window.Item(IDC_REPAIR_PROGRESS);
        SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(total)));
        SendMessageA(bar, PBM_SETSTEP, 1, 0);
        SendMessageA(bar, PBM_SETPOS, 0, 0);
    }
    void ShowRepairItem(const ProblemRecord&, int, int) override {}
    void StepProgress() override { SendMessageA(window.Item(IDC_REPAIR_PROGRESS), PBM_STEPIT, 0, 0); }
    void Pump() override { PumpPendingMessages(); }
    bool KeepRepairing() override { return window.repairRunning; }
    int Box(const std::string& text, const char* title, UINT type) override
    {
        // The browser question stands on its own, above every window.
        HWND owner = title ? nullptr : window.hwnd;
        return messageBoxFunction(owner, text.c_str(), title ? title : ApplicationTitle().c_str(),
                                  type);
    }

private:
    MainWindow& window;
};

void MainWindow::RepairCheckedProblems()
{
    if (repairRunning) {
        // A second click is the abort; the run notices it before its next record.
        repairRunning = false;
        SetDlgItemTextA(hwnd, IDC_REPAIR, "Repair Problems");
        return;
    }
    const std::vector<ProblemPtr>& problems = collection.Problems();
    if (problems.empty()) {
        ShowAppMessage(hwnd, "No Problems Found");
        return;
    }
    bool anyChecked = false;
    for (const ProblemPtr& record : problems)
        anyChecked = anyChecked || record->checked;
    if (!anyChecked) {
        ShowAppMessage(hwnd, "No Items Checked.");
        return;
    }
    const bool backup = !SettingOn("NoAutoBackup");
    if (!backup) {
        if (messageBoxFunction(hwnd,
                               "Auto Backup before Deletion is currently disabled.\nTo start removing "
                               "items without backup press yes",
                               "Quillmoor", MB_YESNO) != IDYES)
            return;
    } else {
        ShowAppMessage(hwnd, "Quillmoor will automatically backup any problems fixed before actually "
                             "removing them.\nPress OK to proceed with backup and removal procedures.");
    }

    repairRunning = true;
    closeAfterRepair = false;
    SetDlgItemTextA(hwnd, IDC_REPAIR, "Abort");
    for (int id : lockedWhileRepairing)
        EnableWindow(Item(id), FALSE);
    HCURSOR previousCursor = SetCursor(LoadCursor(nullptr, IDC_WAIT));

    RepairDisplay display(*this);
    RepairOutcome outcome = RepairProblems(problems, backup, repairState, display);

    SetCursor(previousCursor);
    for (int id : lockedWhileRepairing)
        EnableWindow(Item(id), TRUE);
    if (outcome.backupWritable) {
        if (!outcome.notes.empty())
            ShowAppMessage(hwnd, RepairNotesText(outcome), MB_OK | MB_ICONWARNING);
        ShowAppMessage(hwnd, repairRunning ? "Selected Problems Fixed" : "System Repair Aborted");
    }
    repairRunning = false;
    SetPage(Page::Start);
    if (closeAfterRepair)
        End(IDCANCEL);
}

// The records a repair left, in one box: the first few, and how many more.
std::string MainWindow::RepairNotesText(const RepairOutcome& outcome)
{
    constexpr size_t shown = 12;
    std::string text = "Some items were not removed:\n";
    for (size_t i = 0; i < outcome.notes.size() && i < shown; ++i)
        text += "\n" + outcome.notes[i];
    if (outcome.notes.size() > shown)
        text += "\n... and " + std::to_string(outcome.notes.size() - shown) + " more";
    return text;
}
