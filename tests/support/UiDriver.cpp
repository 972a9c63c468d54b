#include "support/UiDriver.h"

#include "support/Planted.h"
#include "support/UiSteps.h"

#include <cstdlib>
#include <fstream>

namespace {

using WindowSearch = std::pair<DWORD, std::vector<HWND>>; // process, its windows

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    if (GetWindowThreadProcessId(window, &owner) && owner == search->first && IsWindowVisible(window))
        search->second.push_back(window);
    return TRUE;
}

std::string ScreenshotFolder()
{
    const char* configured = getenv("QM_SCREENSHOTS");
    return configured && *configured ? configured : TestBinaryFolder() + "\\..\\..\\screenshots";
}

// The screen's pixels in the rectangle as a top-down 32-bit DIB (blue, green,
// red, unused per pixel) with the header that describes it; empty on failure.
std::string ScreenBits(const RECT& area, BITMAPINFOHEADER& header)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    header = {sizeof(header), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header),
                                               DIB_RGB_COLORS, &bits, nullptr, 0));
    std::string copied;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap.Get());
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        copied.assign(static_cast<const char*>(bits), static_cast<size_t>(width) * height * 4);
        SelectObject(memory, old);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied;
}

} // namespace

std::string QuillmoorExe()
{
    return TestBinaryFolder() + "\\Quillmoor8.exe";
}

AppProcess::~AppProcess()
{
    if (Running()) {
        TerminateProcess(process.Get(), 99);
        WaitForSingleObject(process.Get(), 5000);
    }
}

bool AppProcess::Start(const std::string& arguments, const std::string& exe)
{
    std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process.Reset(info.hProcess);
    id = info.dwProcessId;
    return true;
}

bool AppProcess::Running() const
{
    return process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

DWORD AppProcess::WaitForExit(DWORD milliseconds)
{
    if (!process || WaitForSingleObject(process.Get(), milliseconds) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

std::vector<HWND> TopWindows(DWORD processId)
{
    WindowSearch search{processId, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

HWND WaitForWindow(DWORD processId, const std::string& title, DWORD milliseconds)
{
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND window : TopWindows(processId))
            if (WindowText(window) == title)
                return (found = window) != nullptr;
        return false;
    }, milliseconds);
    return found;
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
    WaitFor([&] {
        for (HWND window : TopWindows(processId)) {
            char name[8] = "";
            HWND text = GetDlgItem(window, 0xFFFF);
            if (GetClassNameA(window, name, sizeof(name)) && lstrcmpA(name, "#32770") == 0 && text) {
                seen = {window, WindowText(window), WindowText(text)};
                return true;
            }
        }
        return false;
    }, milliseconds);
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

std::vector<COLORREF> ScreenPixels(const RECT& area)
{
    BITMAPINFOHEADER header;
    const std::string bits = ScreenBits(area, header);
    std::vector<COLORREF> pixels;
    for (size_t i = 0; i + 3 < bits.size(); i += 4)
        pixels.push_back(RGB(BYTE(bits[i + 2]), BYTE(bits[i + 1]), BYTE(bits[i])));
    return pixels;
}

std::string SaveScreenshot(const std::string& name, HWND window)
{
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (window)
        GetWindowRect(window, &area);
    if (area.right <= area.left || area.bottom <= area.top)
        return "";
    std::string folder = ScreenshotFolder(), path = folder + "\\" + name + ".bmp";
    CreateFolders(folder);
    BITMAPINFOHEADER header;
    const std::string bits = ScreenBits(area, header);
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(header);
    BITMAPFILEHEADER head = {0x4D42, static_cast<DWORD>(offset + bits.size()), 0, 0, offset};
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(&head), sizeof(head))
        .write(reinterpret_cast<const char*>(&header), sizeof(header)) << bits;
    return !bits.empty() && file.flush() ? path : "";
}
