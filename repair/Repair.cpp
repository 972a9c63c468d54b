#include "repair/Repair.h"

#include <objbase.h>
#include <shlwapi.h>
#include <urlhist.h>

#include <cstring>

#include "core/FileTools.h"
#include "core/Handles.h"
#include "core/PathCheck.h"
#include "core/Platform.h"
#include "core/Registry.h"
#include "core/ScanSection.h"
#include "repair/BackupSet.h"
#include "repair/RepairPlan.h"
#include "settings/IgnoreList.h"
#include "scan/Tweaks.h"

namespace {

// Switches the file system redirection of a 32-bit process on 64-bit Windows
// off for this thread while it lives. The calls are missing before XP x64:
// without them nothing is done.
class RedirectionOff {
public:
    RedirectionOff()
    {
        if (!IsWow64())
            return;
        disable = SystemFunction<Disable>("kernel32", "Wow64DisableWow64FsRedirection");
        revert = SystemFunction<Revert>("kernel32", "Wow64RevertWow64FsRedirection");
        switchedOff = disable && revert && disable(&previous);
    }
    ~RedirectionOff()
    {
        if (switchedOff)
            revert(previous);
    }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

private:
    using Disable = BOOL(WINAPI*)(PVOID*);
    using Revert = BOOL(WINAPI*)(PVOID);
    Disable disable = nullptr;
    Revert revert = nullptr;
    PVOID previous = nullptr;
    bool switchedOff = false;
};

// Whether RemoveProblem's answer says the item is gone: files that are not
// backed up go at the next start at the latest, and a tweak or the history
// answers nothing.
bool ResultTells(unsigned section)
{
    RemovalKind kind = RemovalKindOf(section);
    return kind == RemovalKind::Key || kind == RemovalKind::Value ||
           kind == RemovalKind::TypedAddress || kind == RemovalKind::BackedUpFile;
}

// The value a record names: typed addresses keep it in `item`.
const std::string& ValueNameOf(const ProblemRecord& record)
{
    return RemovalKindOf(record.section) == RemovalKind::TypedAddress ? record.item : record.valueName;
}

// What the user would recognise the record by, for the notes.
std::string TargetText(const ProblemRecord& record)
{
    switch (RemovalKindOf(record.section)) {
    case RemovalKind::Key:
        return record.keyPath;
    case RemovalKind::Value:
    case RemovalKind::TypedAddress:
    case RemovalKind::Tweak:
        return record.keyPath + "\\" + (record.section == SectionTweaks ? record.item : ValueNameOf(record));
    default:
        return record.item;
    }
}

// The reference a record was reported for, if the scan judged one: the file,
// folder or command that did not exist.
std::string ReferenceOf(const ProblemRecord& record)
{
    switch (record.section) {
    case SectionActiveX:
    case SectionProgramId:
        return record.item.find(":\\") != std::string::npos ? record.item : std::string();
    case SectionAddRemove:
    case SectionAppPaths:
    case SectionFonts:
    case SectionSharedDlls:
    case SectionHelpFiles:
    case SectionStartup:
    case SectionServices:
    case SectionVxd:
    case SectionSounds:
    case SectionCompleteRegistry:
    case SectionShortcuts:
    case SectionMru:
        return record.valueData;
    default:
        return std::string();
    }
}

// A reference that exists again since the scan (the file is back) makes the
// record no longer a problem.
bool ValidAgain(const ProblemRecord& record)
{
    std::string reference = ReferenceOf(record);
    if (reference.empty())
        return false;
    if (record.section == SectionStartup && PathFileExistsA(reference.c_str()))
        return true;
    if ((record.section == SectionMru || record.section == SectionCompleteRegistry) &&
        IsDirectory(reference))
        return true;
    return IsValidPath(reference) != 0;
}

// 1 when a file can be created, written and deleted in `folder`.
int CanWriteFolder(const std::string& folder)
{
    const std::string probe = folder + "\\Quillmoor8.probe";
    HandleOwner file(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    DWORD written = 0;
    bool wrote = WriteFile(file.Get(), "probe", 5, &written, nullptr) && written == 5;
    file.Reset();
    return DeleteFileA(probe.c_str()) && wrote ? 1 : 0;
}

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes the work folder ready for a new set: a set that a killed run left
// there unfinished is packed into a set of its own first. Empty when both
// folders can be written, else why not.
std::string PrepareWorkFolder(const std::string& workFolder)
{
    const std::string backupFolder = BackupSet::BackupFolder();
    CreateFolderPath(backupFolder);
    if (IsDirectory(workFolder)) {
        std::string message;
        if (!BackupSet::RecoverUnfinishedSet(workFolder, message))
            return message;
        EmptyFolder(workFolder, true);
    } else {
        CreateFolderPath(workFolder);
    }
    if (!CanWriteFolder(backupFolder) || !CanWriteFolder(workFolder) ||
        FileExists(workFolder + "\\Config.ini"))
        return "The backup cannot be written to " + backupFolder + " and " + workFolder + ".";
    return std::string();
}

// Puts what the record's removal will take into the set; 1 when it is there.
int BackUp(BackupSet& backupSet, const ProblemRecord& record, int number)
{
    switch (RemovalKindOf(record.section)) {
    case RemovalKind::Key:
        return backupSet.AddRegKey(record.keyPath, number);
    case RemovalKind::Value:
    case RemovalKind::TypedAddress:
        return backupSet.AddRegValue(record.keyPath, ValueNameOf(record), record.valueData, number);
    case RemovalKind::BackedUpFile:
        return backupSet.AddFileCopy(record.item, number);
    case RemovalKind::Tweak:
        // The value as it stands before the tweak, so that restore can put it back.
        return backupSet.AddValueState(record.keyPath, record.item, number);
    default:
        return 1; // nothing of it can be put back
    }
}

// The browser's URL history object and the interface that clears it.
const CLSID urlHistoryClass = {0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
const IID urlHistoryStg2 = {0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};

int ClearBrowserHistory()
{
    IUrlHistoryStg2* history = nullptr;
    if (FAILED(CoCreateInstance(urlHistoryClass, nullptr, CLSCTX_INPROC_SERVER, urlHistoryStg2,
                                reinterpret_cast<void**>(&history))) ||
        !history)
        return 0;
    history->ClearHistory();
    history->Release();
    return 1;
}

bool AnyBrowserWindow()
{
    return FindWindowA("IEFrame", nullptr) != nullptr;
}

BOOL CALLBACK AskBrowserWindowToClose(HWND window, LPARAM)
{
    char className[32] = "";
    if (GetClassNameA(window, className, sizeof(className)) && std::strcmp(className, "IEFrame") == 0)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// How long the browser's windows get to close.
constexpr DWORD browserCloseWaitMs = 5000;

} // namespace

std::string RepairWorkFolder()
{
    char temp[MAX_PATH + 1] = "";
    DWORD length = GetTempPathA(MAX_PATH, temp);
    std::string folder = length > 0 && length <= MAX_PATH ? std::string(temp, length) : std::string();
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder + "\\Quillmoor8BackUp";
}

int CreateFolderPath(const std::string& path)
{
    size_t start = path.find(":\\");
    if (start != std::string::npos) {
        start += 2;
    } else {
        start = path.find("\\\\");
        start = start == std::string::npos ? 0 : start + 2;
    }
    std::string folder = path.substr(0, start);
    int result = 1;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        folder += path.substr(start, end - start);
        start = end + 1;
        if (!folder.empty() && folder.back() != '\\' && !IsDirectory(folder) &&
            !CreateDirectoryA(folder.c_str(), nullptr)) {
            result = 0;
            break;
        }
        if (start < path.size())
            folder += '\\';
    }
    return result;
}

void CloseBrowserWindows(RepairView& view)
{
    if (!AnyBrowserWindow())
        return;
    int answer = view.Box("It is highly recommend you close all internet explorer windows to remove "
                          "attached Items as well as any other open programs.\n Kill All Explorer "
                          "Windows ?",
                          "Alert!", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST | MB_SETFOREGROUND);
    if (answer != IDYES)
        return;
    // Each window is asked to close, as its own close box would; a browser
    // that keeps a window open (an unsaved form) is left to the user.
    EnumWindows(AskBrowserWindowToClose, 0);
    DWORD started = GetTickCount();
    while (AnyBrowserWindow() && GetTickCount() - started < browserCloseWaitMs) {
        view.Pump();
        Sleep(50);
    }
}

int RemoveProblem(ProblemRecord& record, RepairState& state, RepairView& view)
{
    const RemovalKind kind = RemovalKindOf(record.section);
    if (kind == RemovalKind::Key || kind == RemovalKind::Value || kind == RemovalKind::TypedAddress) {
        HKEY root = nullptr;
        std::string subkey;
        if (!SplitKeyPath(record.keyPath, root, subkey) || subkey.empty())
            return 0;
        if (kind == RemovalKind::Key) {
            if (IsProtectedKey(CanonicalKeyPath(record.keyPath)))
                return 0;
            return DeleteRegKey(root, subkey);
        }
        return DeleteRegValue(root, subkey, ValueNameOf(record));
    }
    switch (kind) {
    case RemovalKind::BackedUpFile:
        // Its copy is in the set; a file in use is left, never deleted behind
        // the user's back at the next start.
        return DeleteFileA(record.item.c_str()) ? 1 : 0;
    case RemovalKind::File:
        return DeleteFileOrSchedule(record.item);
    case RemovalKind::BrowserCache:
        if (!state.historyCleared) {
            CloseBrowserWindows(view);
            state.historyCleared = true;
            if (ClearBrowserHistory())
                return 1;
        }
        if (record.valueData == "IE_FILE")
            return DeleteFileOrSchedule(record.item);
        return 0;
    case RemovalKind::Tweak:
        ApplyTweak(record);
        return 0;
    default:
        return 0;
    }
}

RepairOutcome RepairProblems(const std::vector<ProblemPtr>& problems, bool backup,
                             RepairState& state, RepairView& view)
{
    RepairOutcome outcome;
    int total = 0;
    for (const ProblemPtr& record : problems)
        total += record->checked ? 1 : 0;
    view.BeginProgress(total);

    // What the user ticked and ignored now, not at scan time.
    std::vector<RepairDecision> decisions =
        PlanRepair(problems, ReadIgnoreListFile(IgnoreListPath()));

    BackupSet backupSet;
    const std::string workFolder = RepairWorkFolder();
    if (backup) {
        std::string problem = PrepareWorkFolder(workFolder);
        if (!problem.empty()) {
            outcome.backupWritable = false;
            view.Box(problem + "\nNothing has been removed.", nullptr, MB_OK | MB_ICONERROR);
            return outcome;
        }
    }
    // A set is begun with its first item: a run that removes nothing leaves none.
    bool begun = false;
    auto backUp = [&](const ProblemRecord& record, int number) {
        if (!backup)
            return 1;
        if (!begun) {
            backupSet.Begin(workFolder);
            begun = true;
        }
        return BackUp(backupSet, record, number);
    };

    RedirectionOff redirection;
    int done = 0;
    for (size_t index = 0; index < problems.size(); ++index) {
        if (!view.KeepRepairing()) {
            outcome.aborted = true;
            break;
        }
        ProblemRecord& record = *problems[index];
        record.keyPath = ExpandRootAbbreviations(record.keyPath);
        if (record.checked) {
            view.ShowRepairItem(record, done, total);
            const int number = static_cast<int>(index) + 1;
            switch (decisions[index]) {
            case RepairDecision::Remove:
                if (ValidAgain(record)) {
                    ++outcome.skippedValid;
                    outcome.notes.push_back("Valid again, kept: " + TargetText(record));
                } else if (!backUp(record, number)) {
                    ++outcome.failed;
                    outcome.notes.push_back("Not removed, its backup failed: " + TargetText(record) +
                                            " (" + backupSet.LastProblem() + ")");
                } else if (RemoveProblem(record, state, view) || !ResultTells(record.section)) {
                    ++outcome.removed;
                } else {
                    ++outcome.failed;
                    outcome.notes.push_back(RemovalKindOf(record.section) == RemovalKind::BackedUpFile
                                                ? "In use, left in place: " + TargetText(record)
                                                : "Could not be removed: " + TargetText(record));
                }
                break;
            case RepairDecision::Duplicate:
            case RepairDecision::Covered:
                ++outcome.removed;
                break;
            case RepairDecision::Kept:
                ++outcome.kept;
                outcome.notes.push_back("Unticked or ignored elsewhere, kept: " + TargetText(record));
                break;
            case RepairDecision::Refused:
                ++outcome.refused;
                outcome.notes.push_back("Refused, it holds other entries: " + TargetText(record));
                break;
            case RepairDecision::Skip:
                break;
            }
            ++done;
            view.StepProgress();
        }
        view.Pump();
    }

    outcome.aborted = !view.KeepRepairing();
    if (begun) {
        if (backupSet.Finish()) {
            outcome.cabinetPath = backupSet.CabinetPath();
        } else {
            outcome.setKept = backupSet.ResultText();
            view.Box(outcome.setKept, nullptr, MB_OK | MB_ICONWARNING);
        }
    }
    return outcome;
}
