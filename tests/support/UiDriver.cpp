#include "support/UiDriver.h"

#include "support/Planted.h"
#include "support/Png.h"

#include <cstdlib>

namespace {

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

std::string ClassName(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::string ScreenshotFolder()
{
    const char* configured = getenv("QM_SCREENSHOTS");
    if (configured && *configured)
        return configured;
    return TestBinaryFolder() + "\\..\\..\\screenshots";
}

} // namespace

std::string QuillmoorExe()
{
    return TestBinaryFolder() + "\\Quillmoor8.exe";
}

AppProcess::~AppProcess()
{
    Kill();
}

bool AppProcess::Start(const std::string& arguments, const std::string& exe)
{
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process = info.hProcess;
    id = info.dwProcessId;
    return true;
}

bool AppProcess::Running() const
{
    return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

DWORD AppProcess::WaitForExit(DWORD milliseconds)
{
    if (!process || WaitForSingleObject(process, milliseconds) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process, &code);
    return code;
}

void AppProcess::Kill()
{
    if (!process)
        return;
    if (Running()) {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
    process = nullptr;
}

std::vector<HWND> TopWindows(DWORD processId)
{
    WindowSearch search{processId, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, const std::string& title, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        for (HWND window : TopWindows(processId))
            if (WindowText(window) == title)
                return window;
        Sleep(50);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

HWND Control(HWND dialog, int id)
{
    return GetDlgItem(dialog, id);
}

std::string WindowText(HWND window)
{
    char buffer[4096] = "";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 5000, &length))
        return "";
    return std::string(buffer, length);
}

bool IsChecked(HWND button)
{
    DWORD_PTR state = 0;
    SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
    return state == BST_CHECKED;
}

bool IsShown(HWND window)
{
    return window && IsWindowVisible(window);
}

void Click(HWND button)
{
    PostMessageA(button, BM_CLICK, 0, 0);
}

void SendKey(HWND window, UINT virtualKey)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    HWND target = window;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    UINT scan = MapVirtualKeyA(virtualKey, 0);
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

MessageBoxSeen WaitForMessageBox(DWORD processId, DWORD milliseconds)
{
    MessageBoxSeen seen;
    DWORD start = GetTickCount();
    do {
        for (HWND window : TopWindows(processId)) {
            if (ClassName(window) != "#32770")
                continue;
            HWND text = GetDlgItem(window, 0xFFFF);
            if (!text)
                continue;
            seen.window = window;
            seen.title = WindowText(window);
            seen.text = WindowText(text);
            return seen;
        }
        Sleep(50);
    } while (GetTickCount() - start < milliseconds);
    return seen;
}

void PressButton(HWND box, int buttonId)
{
    HWND button = GetDlgItem(box, buttonId);
    if (button)
        PostMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
}

std::string SaveScreenshot(const std::string& name, HWND window)
{
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (window)
        GetWindowRect(window, &area);
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return "";

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();

    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    const unsigned char* source = static_cast<const unsigned char*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[i * 3] = source[i * 4 + 2];
        rgb[i * 3 + 1] = source[i * 4 + 1];
        rgb[i * 3 + 2] = source[i * 4];
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    std::string folder = ScreenshotFolder();
    CreateFolders(folder);
    std::string path = folder + "\\" + name + ".png";
    return WritePng(path, width, height, rgb) ? path : "";
}
