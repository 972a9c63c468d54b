#pragma once
// Drives the real Quillmoor8.exe from an end-to-end test: starts it, finds
// its windows and controls, clicks, reads texts, answers message boxes and
// takes screenshots. Everything waits with a time limit, never forever.

#include <windows.h>

#include <string>
#include <vector>

#include "core/Handles.h"

// The Quillmoor8.exe built beside the test binaries.
std::string QuillmoorExe();

// One started program. The destructor ends it when it still runs.
class AppProcess {
public:
    AppProcess() = default;
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // Starts `exe` with the command-line arguments; false when it could not start.
    bool Start(const std::string& arguments = "", const std::string& exe = QuillmoorExe());
    DWORD Id() const { return id; }
    bool Running() const;
    // The exit code, or STILL_ACTIVE when the time ran out first.
    DWORD WaitForExit(DWORD milliseconds);

private:
    HandleOwner process;
    DWORD id = 0;
};

// Visible top-level windows of the process.
std::vector<HWND> TopWindows(DWORD processId);
// Waits for a visible top-level window of the process with exactly this title;
// null when none appeared in time.
HWND WaitForWindow(DWORD processId, const std::string& title, DWORD milliseconds);

inline HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }
std::string WindowText(HWND window);
bool IsChecked(HWND button);
inline bool IsShown(HWND window) { return window && IsWindowVisible(window); }
// Clicks a button without waiting for what the click starts (a modal box, say).
inline void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }
// Sends a key press and release to the window that has the focus in the
// window's thread (or to the window itself).
void SendKey(HWND window, UINT virtualKey);

struct MessageBoxSeen {
    HWND window = nullptr;  // null: no box appeared in time
    std::string title;
    std::string text;
};
// Waits for a message box of the process and returns its title and text.
MessageBoxSeen WaitForMessageBox(DWORD processId, DWORD milliseconds);
// Presses the box's button with this id (IDOK, IDYES, ...).
void PressButton(HWND box, int buttonId);

// The colours of a rectangle of the screen, row by row, as RGB values; empty
// when the screen could not be copied.
std::vector<COLORREF> ScreenPixels(const RECT& area);
// Saves a picture of the window (or of the whole screen) as NAME.bmp in the
// screenshots folder, which ./quillmoor test turns into NAME.png after the
// run; returns the file's path, empty on failure.
std::string SaveScreenshot(const std::string& name, HWND window = nullptr);
