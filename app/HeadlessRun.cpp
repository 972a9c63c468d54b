#include <windows.h>

#include <exception>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/GroupRows.h"
#include "app/HeadlessContext.h"
#include "app/HeadlessRestore.h"
#include "app/ProblemCollection.h"
#include "app/ProblemReport.h"
#include "core/AppMessage.h"
#include "core/Handles.h"
#include "core/PathCheck.h"
#include "core/Platform.h"
#include "repair/Repair.h"
#include "scan/HistoryScanners.h"
#include "scan/ScanDriver.h"
#include "settings/IgnoreList.h"
#include "settings/ScanLog.h"
#include "settings/Settings.h"

namespace {

// A file opened for writing by this run; empty path: nothing opened.
HandleOwner OpenForWriting(const std::string& path, DWORD creation)
{
    if (path.empty())
        return HandleOwner();
    return HandleOwner(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The section and group settings this run scans with. Every group key is in
// the overlay, so that storing the group states at scan start touches
// nothing of the user's; the section keys only when the command line chose
// the sections itself.
SettingsOverlay::Values ScanSettings(const HeadlessOptions& options)
{
    SettingsOverlay::Values values;
    bool groupOn[4] = {};
    if (options.all || options.sectionsGiven) {
        for (unsigned code = 0; code < SectionCount; ++code) {
            if (code == SectionReserved)
                continue;
            bool on = options.all;
            for (unsigned listed : options.sections)
                on = on || listed == code;
            values[SectionSettingsKey(code)] = on ? "1" : "0";
            if (on)
                groupOn[SectionGroup(code)] = true;
        }
    } else {
        for (const GroupRow& row : groupRows)
            groupOn[row.group] = SettingOn(GroupSettingsKey(row.group));
    }
    for (const GroupRow& row : groupRows)
        values[GroupSettingsKey(row.group)] = groupOn[row.group] ? "1" : "0";
    return values;
}

// The repair of a headless run: no window, nobody to ask. Its questions are
// answered as their default buttons would be, and every box, the backup
// set's own included, becomes a line on standard error.
class HeadlessRepair : public RepairView {
public:
    explicit HeadlessRepair(TextOutput& err) : progress(err), previous(messageBoxFunction)
    {
        boxOutput = &err;
        messageBoxFunction = BoxToError;
    }
    ~HeadlessRepair() override
    {
        messageBoxFunction = previous;
        boxOutput = nullptr;
    }
    HeadlessRepair(const HeadlessRepair&) = delete;
    HeadlessRepair& operator=(const HeadlessRepair&) = delete;

    void BeginProgress(int) override {}
    void ShowRepairItem(const ProblemRecord& record, int done, int total) override
    {
        progress.Show("Repairing " + std::to_string(done + 1) + " of " + std::to_string(total) + ": " +
                      (record.item.empty() ? record.keyPath : record.item));
    }
    void StepProgress() override {}
    void Pump() override {}
    bool KeepRepairing() override { return true; }
    int Box(const std::string& text, const char* title, UINT type) override
    {
        return BoxToError(nullptr, text.c_str(), title, type);
    }
    void EndProgress() { progress.Clear(); }

private:
    static int WINAPI BoxToError(HWND, LPCSTR text, LPCSTR, UINT type)
    {
        if (boxOutput)
            boxOutput->Write(std::string(text ? text : "") + "\r\n");
        UINT buttons = type & MB_TYPEMASK;
        return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
    }

    static TextOutput* boxOutput;
    ProgressLine progress;
    MessageBoxFunction previous;
};

TextOutput* HeadlessRepair::boxOutput = nullptr;

// Repairs what the scan found and left checked; the exit code of the run.
int FixProblems(const ProblemCollection& collection, const HeadlessOptions& options,
                TextOutput& out, TextOutput& err)
{
    RepairState state;
    HeadlessRepair view(err);
    RepairOutcome outcome = RepairProblems(collection.Problems(), !options.noBackup, state, view);
    view.EndProgress();
    for (const std::string& note : outcome.notes)
        err.Write(note + "\r\n");
    if (!outcome.backupWritable || !outcome.setKept.empty())
        return ExitRepairIncomplete;
    // A report on standard output keeps its own format there.
    TextOutput& lines = options.reportGiven && options.reportPath == "-" ? err : out;
    if (!outcome.cabinetPath.empty())
        lines.Write("Backup set: " + outcome.cabinetPath + "\r\n");
    lines.Write("Repaired: " + std::to_string(outcome.removed) +
                ", valid again: " + std::to_string(outcome.skippedValid) +
                ", kept: " + std::to_string(outcome.kept) + ", refused: " +
                std::to_string(outcome.refused) + ", failed: " + std::to_string(outcome.failed) +
                "\r\n");
    return outcome.refused + outcome.failed > 0 ? ExitRepairIncomplete : ExitProblemsFound;
}

} // namespace

int RunHeadless(const std::vector<std::string>& arguments, TextOutput& out, TextOutput& err)
{
    if (IsBackupCommand(arguments))
        return RunBackupCommand(arguments, out, err);
    HeadlessOptions options;
    std::string error;
    if (!ParseHeadlessArguments(arguments, options, error)) {
        err.Write(error + "\r\n\r\n" + HeadlessUsage());
        return ExitBadCommandLine;
    }
    if (options.help) {
        out.Write(HeadlessUsage());
        return ExitNoProblems;
    }

    // Start-up as for the window, without the window.
    BoxesToStandardError boxes(err);
    ComApartment com;
    if (IsWow64()) {
        err.Write(std::string(wow64Refusal) + "\r\n");
        return ExitCannotRun;
    }
    PrepareToScan();
    FillMruKeys();
    IgnoreList ignoreList;
    ignoreList.LoadIgnoreList();

    HandleOwner reportFile = OpenForWriting(
        options.reportGiven && options.reportPath != "-" ? options.reportPath : std::string(),
        CREATE_ALWAYS);
    HandleOutput reportFileOutput(reportFile.Get());
    TextOutput* report = nullptr;
    if (options.reportGiven) {
        if (options.reportPath != "-" && !reportFile) {
            err.Write("Cannot write the report file " + options.reportPath + "\r\n");
            return ExitCannotRun;
        }
        report = options.reportPath == "-" ? &out : &reportFileOutput;
        report->Write(ReportHeader());
    }

    SettingsOverlay scanSettings(ScanSettings(options));
    bool groupChecked[4];
    for (const GroupRow& row : groupRows)
        groupChecked[row.group] = SettingOn(GroupSettingsKey(row.group));

    // The same steps as a scan started from the window.
    HeadlessContext context(groupChecked, err);
    ScanLog scanLog;
    ProblemCollection collection(ignoreList, scanLog, context);
    context.SetCollection(collection);
    context.onAccepted = [&](const ProblemRecord& record) {
        if (report)
            report->Write(ReportLine(record));
        else
            out.Write(ReadableProblem(record));
    };
    ScanPlan plan = collection.BeginScan(groupChecked);
    keepScanning = 1;
    ScanDriver(context, plan);
    context.EndProgress();

    if (!report) {
        for (const GroupRow& row : groupRows)
            out.Write(std::string(row.name) + ": " + context.GroupLabel(row.group) + "\r\n");
    }
    if (collection.AcceptedCount() == 0)
        return ExitNoProblems;
    return options.fix ? FixProblems(collection, options, out, err) : ExitProblemsFound;
}

namespace {

// A GUI program started from a console has no standard handles of its own;
// it borrows the parent's console where the system can lend it (not before
// Windows XP, hence the look-up).
void AttachToParentConsole()
{
    using AttachConsoleProc = BOOL(WINAPI*)(DWORD);
    auto attach = SystemFunction<AttachConsoleProc>("kernel32.dll", "AttachConsole");
    if (attach)
        attach(ATTACH_PARENT_PROCESS);
}

HANDLE UsableHandle(HANDLE handle)
{
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

} // namespace

int RunCommandLine(const std::vector<std::string>& arguments)
{
    HANDLE outHandle = UsableHandle(GetStdHandle(STD_OUTPUT_HANDLE));
    HANDLE errHandle = UsableHandle(GetStdHandle(STD_ERROR_HANDLE));
    if (!outHandle || !errHandle) {
        AttachToParentConsole();
        if (!outHandle)
            outHandle = UsableHandle(GetStdHandle(STD_OUTPUT_HANDLE));
        if (!errHandle)
            errHandle = UsableHandle(GetStdHandle(STD_ERROR_HANDLE));
    }
    // Some systems attach the console without handing out its handles.
    HandleOwner console =
        OpenForWriting(outHandle && errHandle ? std::string() : "CONOUT$", OPEN_EXISTING);
    HandleOutput out(outHandle ? outHandle : console.Get());
    HandleOutput err(errHandle ? errHandle : console.Get());
    try {
        return RunHeadless(arguments, out, err);
    } catch (const std::exception& failure) {
        err.Write(std::string("The scan could not run: ") + failure.what() + "\r\n");
        return ExitCannotRun;
    }
}
