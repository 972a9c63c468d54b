#include "support/UiDriver.h"

#include "support/Planted.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>

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

void PutU32(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift);
}

void PutChunk(std::string& png, const char* type, const std::string& data)
{
    std::string body = type + data;
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : body) {
        crc ^= c;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    PutU32(png, static_cast<uint32_t>(data.size()));
    png += body;
    PutU32(png, ~crc);
}

// An 8-bit RGB PNG whose deflate stream is stored blocks: large, but needs no library.
bool WritePng(const std::string& path, int width, int height, const std::vector<COLORREF>& pixels)
{
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        for (int x = 0; x < width; ++x) {
            COLORREF c = pixels[static_cast<size_t>(y) * width + x];
            raw += {static_cast<char>(GetRValue(c)), static_cast<char>(GetGValue(c)), static_cast<char>(GetBValue(c))};
        }
    }
    std::string zlib = "\x78\x01";
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw)
        a = (a + c) % 65521, b = (b + a) % 65521;
    for (size_t pos = 0; pos < raw.size();) {
        size_t length = std::min<size_t>(raw.size() - pos, 65535);
        zlib += {static_cast<char>(pos + length == raw.size()), static_cast<char>(length),
                 static_cast<char>(length >> 8), static_cast<char>(~length), static_cast<char>(~length >> 8)};
        zlib.append(raw, pos, length);
        pos += length;
    }
    PutU32(zlib, (b << 16) | a);
    std::string header;
    PutU32(header, width);
    PutU32(header, height);
    header.append("\x08\x02\0\0\0", 5);
    std::string png = "\x89PNG\r\n\x1A\n";
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", "");
    std::ofstream file(path, std::ios::binary);
    return static_cast<bool>(file.write(png.data(), png.size()).flush());
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

std::vector<COLORREF> ScreenPixels(const RECT& area)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    std::vector<COLORREF> pixels;
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap.Get());
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const DWORD* source = static_cast<const DWORD*>(bits); // 0x00RRGGBB
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i)
            pixels.push_back(RGB((source[i] >> 16) & 0xFF, (source[i] >> 8) & 0xFF, source[i] & 0xFF));
        SelectObject(memory, old);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

std::string SaveScreenshot(const std::string& name, HWND window)
{
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (window)
        GetWindowRect(window, &area);
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return "";
    std::string folder = ScreenshotFolder();
    CreateFolders(folder);
    std::string path = folder + "\\" + name + ".png";
    const std::vector<COLORREF> pixels = ScreenPixels(area);
    return !pixels.empty() && WritePng(path, width, height, pixels) ? path : "";
}
