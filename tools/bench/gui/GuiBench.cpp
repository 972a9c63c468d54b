// What the window costs a scan, and what a scan costs the window.
//
// walk_gui_ratio: the synthetic branch walked by WalkRegistryValues through
// the main window's scan context, against a real main window answering on
// this (the UI) thread, divided by the bare walk of the same branch.
// gui_max_response: while a complete scan with every section on runs from
// that window, a second thread sends the window WM_NULL every 50 ms; the
// longest wait for an answer.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "../SyntheticBranch.h"
#include "app/MainWindow.h"
#include "app/WindowScanContext.h"
#include "core/AppMessage.h"
#include "scan/HistoryScanners.h"
#include "settings/Settings.h"

namespace {

using namespace bench;

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

struct WalkJob {
    std::unique_ptr<WindowScanContext> context;
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

double TimeThroughWindow(const MainWindow& main, const std::string& branch)
{
    WalkJob job{main.NewScanContext(), branch};
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    HANDLE thread = CreateThread(nullptr, 0, WalkThroughWindow, &job, 0, nullptr);
    if (!thread)
        return 0;
    PumpUntilEnded(thread);
    CloseHandle(thread);
    return Seconds(start);
}

struct Probe {
    HWND window;
    std::atomic<bool> stop{false};
    double longest = 0;
    int answered = 0;
};

DWORD WINAPI ProbeWindow(void* parameter)
{
    Probe& probe = *static_cast<Probe*>(parameter);
    while (!probe.stop) {
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(probe.window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result)) {
            probe.longest = std::max(probe.longest, Seconds(start) * 1000.0);
            ++probe.answered;
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
double LongestResponseDuringScan(double& seconds, int& probes)
{
    MainWindow main;
    HWND window = main.CreateModeless(nullptr);
    if (!window)
        return -1;
    ShowWindow(window, SW_SHOW);
    Probe probe;
    probe.window = window;
    HANDLE prober = CreateThread(nullptr, 0, ProbeWindow, &probe, 0, nullptr);

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    main.StartScan();
    while (main.ScanThreadRunning()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    seconds = Seconds(start);
    probe.stop = true;
    PumpUntilEnded(prober);
    CloseHandle(prober);
    DestroyWindow(window);
    probes = probe.answered;
    return probe.longest;
}

} // namespace

int main()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    messageBoxFunction = AnswerOk;
    SwitchEverySectionOn();

    const std::string branch = BranchName();
    if (!PlantBranch(branch)) {
        fprintf(stderr, "bench: could not plant the branch\n");
        RemoveBranch(branch);
        return 1;
    }
    FillMruKeys();
    keepScanning = 1;
    double bare = 1e9, gui = 1e9;
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
        for (int round = 0; round < 2; ++round) {
            bare = std::min(bare, TimeBare(branch));
            gui = std::min(gui, TimeThroughWindow(main, branch));
        }
        DestroyWindow(window);
    }
    RemoveBranch(branch);
    printf("bench: walk_bare %.2f s\n", bare);
    printf("bench: walk_gui %.2f s\n", gui);
    printf("bench: walk_gui_ratio %.2f x\n", gui / bare);
    fflush(stdout);

    double seconds = 0;
    int probes = 0;
    double longest = LongestResponseDuringScan(seconds, probes);
    printf("bench: complete_scan_gui %.2f s\n", seconds);
    printf("bench: gui_probes %d\n", probes);
    printf("bench: gui_max_response %.1f ms\n", longest);
    fflush(stdout);
    return 0;
}
