// What the window costs a scan, and what a scan costs the window.
//
// walk_gui_ratio: the synthetic branch walked by WalkRegistryValues through
// the main window's scan context, against a real main window answering on
// this (the UI) thread, divided by the bare walk of the same branch.
// gui_max_response: while a complete scan with every section on runs from
// that window, a second thread sends the window WM_NULL every 50 ms; the
// longest wait for an answer.
// complete_scan_gui_ratio: that scan against the same scan run headless (the
// better of one run before it and one after).
// window_round_trip and walk_gui_floor: what one synchronous call from the
// scan thread to the window costs on this machine, and the ratio the walk
// cannot beat with one such call per record (the item line and the steps are
// only held for the window, and the queue is looked at once per refresh).
// held_for_window: the item lines and steps the walk held.
// gui_slow_answers and gui_sections: when in the complete scan each answer over
// 50 ms came, and when each section was first seen on the status line (read
// every 20 ms at most, so a shorter section may not show), to tell which part
// of the scan kept the window waiting.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "../SyntheticBranch.h"
#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/TextOutput.h"
#include "app/WindowScanContext.h"
#include "core/AppMessage.h"
#include "resource.h"
#include "scan/HistoryScanners.h"
#include "settings/Settings.h"

namespace {

using namespace bench;

// A line on standard error at least every 10 s while the benchmark runs: what
// it is doing and for how long it has run.
struct Progress {
    std::atomic<const char*> stage{"starting"};
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    LARGE_INTEGER start;
};

DWORD WINAPI ReportProgress(void* parameter)
{
    Progress& progress = *static_cast<Progress*>(parameter);
    while (WaitForSingleObject(progress.done, 10000) == WAIT_TIMEOUT) {
        fprintf(stderr, "gui benchmark: %s (%.0f s)\n", progress.stage.load(), Seconds(progress.start));
        fflush(stderr);
    }
    return 0;
}

Progress progress;

void Stage(const char* text)
{
    progress.stage = text;
    fprintf(stderr, "gui benchmark: %s\n", text);
    fflush(stderr);
}

class Discarded : public TextOutput {
public:
    bool Write(const std::string&) override { return true; }
};

// Seconds of one complete scan without the window, by the settings.
double HeadlessScanSeconds()
{
    Discarded out;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    RunHeadless({"/scan"}, out, out);
    return Seconds(start);
}

// Runs the window's messages until the thread ends.
void PumpUntilEnded(HANDLE thread)
{
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// Counts the calls that cross to the window, and passes every call on.
class CountingContext : public ScanContext {
public:
    explicit CountingContext(std::unique_ptr<ScanContext> window) : window(std::move(window)) {}

    long crossings = 0;
    long held = 0;

    void Report(ProblemPtr record) override { ++crossings, window->Report(std::move(record)); }
    void ShowItem(const std::string& text) override { ++held, window->ShowItem(text); }
    void Step() override { ++held, window->Step(); }
    void Pump() override { window->Pump(); }
    void ShowFailure(const std::string& text, BoxTitle title) override
    {
        window->ShowFailure(text, title);
    }
    void SetStatus(const std::string& text) override { window->SetStatus(text); }
    void SetGroupLabel(SectionGroupId group, const std::string& text) override
    {
        window->SetGroupLabel(group, text);
    }
    bool GroupChecked(SectionGroupId group) override { return window->GroupChecked(group); }
    void SetRowText(int row, int column, const std::string& text) override
    {
        window->SetRowText(row, column, text);
    }
    std::string RowText(int row, int column) override { return window->RowText(row, column); }
    void SetRowImage(int row, int image) override { window->SetRowImage(row, image); }
    void FillProgress() override { window->FillProgress(); }
    void ShowFinalMessage(const std::string& text) override { window->ShowFinalMessage(text); }
    void ShowResultsPage() override { window->ShowResultsPage(); }
    void ScanFinished() override { window->ScanFinished(); }

private:
    std::unique_ptr<ScanContext> window;
};

struct WalkJob {
    std::unique_ptr<CountingContext> context;
    std::string branch;
};

DWORD WINAPI WalkThroughWindow(void* parameter)
{
    const WalkJob& job = *static_cast<WalkJob*>(parameter);
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, job.branch.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 1;
    WalkRegistryValues(*job.context, key, "HKEY_CURRENT_USER\\" + job.branch, SectionCompleteRegistry);
    RegCloseKey(key);
    return 0;
}

// Seconds that `work` takes on a second thread while this one runs the
// window's messages.
double SecondsOnSecondThread(LPTHREAD_START_ROUTINE work, void* parameter)
{
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    HANDLE thread = CreateThread(nullptr, 0, work, parameter, 0, nullptr);
    if (!thread)
        return 0;
    PumpUntilEnded(thread);
    CloseHandle(thread);
    return Seconds(start);
}

double TimeThroughWindow(const MainWindow& main, const std::string& branch, long& crossings,
                         long& held)
{
    WalkJob job{std::make_unique<CountingContext>(main.NewScanContext()), branch};
    double seconds = SecondsOnSecondThread(WalkThroughWindow, &job);
    crossings = job.context->crossings;
    held = job.context->held;
    return seconds;
}

// Seconds per call of `calls` made from a second thread.
struct CallJob {
    void (*call)(HWND);
    HWND window;
    int calls;
};

DWORD WINAPI MakeCalls(void* parameter)
{
    const CallJob& job = *static_cast<CallJob*>(parameter);
    for (int i = 0; i < job.calls; ++i)
        job.call(job.window);
    return 0;
}

double SecondsPerCall(void (*call)(HWND), HWND window, int calls)
{
    CallJob job{call, window, calls};
    return SecondsOnSecondThread(MakeCalls, &job) / calls;
}

void SendNull(HWND window)
{
    SendMessageA(window, WM_NULL, 0, 0);
}

void PeekOwnQueue(HWND)
{
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

struct Probe {
    HWND window;
    std::atomic<bool> stop{false};
    double longest = 0;
    int answered = 0;
    LARGE_INTEGER start;
    std::string slow; // every answer over 50 ms: when in the scan, and how long
};

DWORD WINAPI ProbeWindow(void* parameter)
{
    Probe& probe = *static_cast<Probe*>(parameter);
    while (!probe.stop) {
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(probe.window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) {
            const double ms = Seconds(start) * 1000.0;
            probe.longest = std::max(probe.longest, ms);
            ++probe.answered;
            if (ms > 50) {
                char line[64];
                snprintf(line, sizeof(line), " %.2fs:%.0fms", Seconds(probe.start) - ms / 1000, ms);
                probe.slow += line;
            }
        } else {
            probe.longest = std::max(probe.longest, 10000.0);
        }
        Sleep(50);
    }
    return 0;
}

int WINAPI AnswerOk(HWND, LPCSTR, LPCSTR, UINT)
{
    return IDOK;
}

void SwitchEverySectionOn()
{
    WriteDefaultSettings();
    for (unsigned code = 0; code < SectionCount; ++code) {
        if (*SectionSettingsKey(code))
            WriteSetting(SectionSettingsKey(code), "1");
    }
    for (SectionGroupId group : {GroupRegistry, GroupWindows, GroupIETemp, GroupTweaks})
        WriteSetting(GroupSettingsKey(group), "1");
    // The scan's log goes to the temporary folder, not beside the build.
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof(temp), temp);
    WriteSetting("Log File Path", temp);
}

// The longest answer of the window during one complete scan, in ms; the
// scan's duration in seconds goes to `seconds`.
double LongestResponseDuringScan(double& seconds, int& probes, std::string& slow)
{
    MainWindow main;
    HWND window = main.CreateModeless(nullptr);
    if (!window)
        return -1;
    ShowWindow(window, SW_SHOW);
    Probe probe;
    probe.window = window;
    QueryPerformanceCounter(&probe.start);
    HANDLE prober = CreateThread(nullptr, 0, ProbeWindow, &probe, 0, nullptr);

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    main.StartScan();
    std::string section, sections;
    DWORD sectionReadAt = 0;
    while (main.ScanThreadRunning()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        // The section line is read at most every 20 ms: the loop wakes for every record.
        if (GetTickCount() - sectionReadAt < 20)
            continue;
        sectionReadAt = GetTickCount();
        char text[128] = "";
        GetDlgItemTextA(window, IDC_STATUS_SECTION, text, sizeof(text));
        if (section != text) {
            section = text;
            char line[160];
            const char* name = strncmp(text, "Scanning: ", 10) ? text : text + 10;
            snprintf(line, sizeof(line), " %.2fs:%s", Seconds(probe.start), name);
            sections += line;
        }
    }
    seconds = Seconds(start);
    probe.stop = true;
    PumpUntilEnded(prober);
    CloseHandle(prober);
    DestroyWindow(window);
    probes = probe.answered;
    slow = (probe.slow.empty() ? " none" : probe.slow) + "\nbench: gui_sections" + sections;
    return probe.longest;
}

} // namespace

int main()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    messageBoxFunction = AnswerOk;
    QueryPerformanceCounter(&progress.start);
    progress.thread = CreateThread(nullptr, 0, ReportProgress, &progress, 0, nullptr);
    Stage("planting the synthetic branch");
    SwitchEverySectionOn();

    const std::string branch = BranchName();
    if (!PlantBranch(branch)) {
        fprintf(stderr, "bench: could not plant the branch\n");
        RemoveBranch(branch);
        return 1;
    }
    FillMruKeys();
    keepScanning = 1;
    double bare = 1e9, gui = 1e9, roundTrip = 0, peek = 0;
    long crossings = 0, held = 0;
    {
        MainWindow main;
        HWND window = main.CreateModeless(nullptr);
        if (!window) {
            fprintf(stderr, "bench: no main window\n");
            RemoveBranch(branch);
            return 1;
        }
        ShowWindow(window, SW_SHOW);
        main.SetPage(MainWindow::Page::Scanning);
        // Alternating rounds, best of each: the first also warms the caches.
        Stage("walking the branch, bare and through the window");
        for (int round = 0; round < 2; ++round) {
            bare = std::min(bare, TimeBare(branch));
            gui = std::min(gui, TimeThroughWindow(main, branch, crossings, held));
        }
        Stage("timing one call to the window");
        roundTrip = SecondsPerCall(SendNull, window, 5000);
        peek = SecondsPerCall(PeekOwnQueue, window, 5000);
        DestroyWindow(window);
    }
    RemoveBranch(branch);
    printf("bench: walk_bare %.2f s\n", bare);
    printf("bench: walk_gui %.2f s\n", gui);
    printf("bench: walk_gui_ratio %.2f x\n", gui / bare);
    printf("bench: window_calls %ld\n", crossings);
    printf("bench: held_for_window %ld\n", held);
    printf("bench: window_round_trip %.0f us\n", roundTrip * 1e6);
    printf("bench: queue_look %.0f us\n", peek * 1e6);
    printf("bench: walk_gui_floor %.2f x\n", (bare + crossings * roundTrip) / bare);
    fflush(stdout);

    Stage("a complete scan headless");
    double headless = HeadlessScanSeconds();
    Stage("a complete scan through the window");
    double seconds = 0;
    int probes = 0;
    std::string slow;
    double longest = LongestResponseDuringScan(seconds, probes, slow);
    Stage("the complete scan headless again");
    headless = std::min(headless, HeadlessScanSeconds());
    SetEvent(progress.done);
    WaitForSingleObject(progress.thread, INFINITE);
    printf("bench: complete_scan_headless %.2f s\n", headless);
    printf("bench: complete_scan_gui %.2f s\n", seconds);
    printf("bench: complete_scan_gui_ratio %.2f x\n", seconds / headless);
    printf("bench: gui_probes %d\n", probes);
    printf("bench: gui_max_response %.1f ms\n", longest);
    printf("bench: gui_slow_answers%s\n", slow.c_str());
    fflush(stdout);
    return 0;
}
