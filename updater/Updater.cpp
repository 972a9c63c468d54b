// updater.exe: replaces the program with the newer one from the update
// server. Started by the program's update check with
//   -url "<address of the zip archive>" -dest "<path of the program file>"
// it waits for the program to end, downloads the archive, checks it, puts the
// program file it holds in place of the old one and starts it. The old file is
// kept beside it as "<name>.bak"; whenever a step fails, the old program is put
// back (or never touched), the user is told why, and the old program starts.

#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "core/HttpGet.h"
#include "core/RuntimeImports.h"
#include "core/Text.h"
#include "updater/Sha256.h"
#include "updater/ZipArchive.h"

namespace {

const char windowTitle[] = "Quillmoor Update";
const char programFileName[] = "Quillmoor8.exe";
const DWORD waitForExitMs = 60000;

// ---- the progress window ------------------------------------------------------

class ProgressWindow {
public:
    void Create()
    {
        InitCommonControls();
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = "QuillmoorUpdater";
        RegisterClassA(&windowClass);
        int width = 360, height = 110;
        window = CreateWindowExA(0, windowClass.lpszClassName, windowTitle,
                                 WS_POPUP | WS_CAPTION | WS_BORDER,
                                 (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                 nullptr, nullptr, windowClass.hInstance, nullptr);
        if (!window)
            return;
        HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        label = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 12,
                                12, width - 30, 16, window, nullptr, windowClass.hInstance, nullptr);
        SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 12, 36, width - 30, 18,
                              window, nullptr, windowClass.hInstance, nullptr);
        SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        ShowWindow(window, SW_SHOWNORMAL);
        Pump();
    }
    void SetText(const std::string& text)
    {
        if (label)
            SetWindowTextA(label, text.c_str());
        Pump();
    }
    void SetPercent(int percent)
    {
        if (bar)
            SendMessageA(bar, PBM_SETPOS, percent, 0);
        Pump();
    }
    void Close()
    {
        if (window)
            DestroyWindow(window);
        window = label = bar = nullptr;
    }
    HWND Handle() const { return window; }

    static void Pump()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

private:
    HWND window = nullptr, label = nullptr, bar = nullptr;
};

ProgressWindow progress;

// ---- the command line -----------------------------------------------------------

// The next argument of a command line: quoted (quotes removed) or up to the
// next blank.
std::string NextArgument(const char*& at)
{
    while (*at == ' ' || *at == '\t')
        ++at;
    std::string argument;
    bool quoted = false;
    for (; *at; ++at) {
        if (*at == '"')
            quoted = !quoted;
        else if (!quoted && (*at == ' ' || *at == '\t'))
            break;
        else
            argument += *at;
    }
    return argument;
}

bool ReadArguments(std::string& url, std::string& dest)
{
    const char* at = GetCommandLineA();
    NextArgument(at); // the updater itself
    while (*at) {
        std::string option = NextArgument(at);
        if (lstrcmpiA(option.c_str(), "-url") == 0)
            url = NextArgument(at);
        else if (lstrcmpiA(option.c_str(), "-dest") == 0)
            dest = NextArgument(at);
        else if (option.empty())
            break;
    }
    return !url.empty() && !dest.empty();
}

// ---- downloading -------------------------------------------------------------------

// The whole resource at `address`. A connection that ends before the length
// the server announced is a failure.
HttpResult Download(const std::string& address, std::string& bytes, bool showProgress)
{
    DWORD length = 0;
    HttpResult result = HttpGet(address, INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD, bytes, &length,
                                [showProgress](size_t read, DWORD announced) {
                                    if (showProgress && announced > 0)
                                        progress.SetPercent(static_cast<int>(read * 100.0 / announced));
                                    else
                                        ProgressWindow::Pump();
                                });
    if (result == HttpResult::Done && length > 0 && bytes.size() != length)
        return HttpResult::Failed;
    return result;
}

// The address of the archive's published hash: the archive's own, its
// extension ".zip" replaced by ".sha256".
std::string HashAddress(const std::string& archiveAddress)
{
    size_t dot = archiveAddress.find_last_of('.');
    size_t slash = archiveAddress.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return archiveAddress + ".sha256";
    return archiveAddress.substr(0, dot) + ".sha256";
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// ---- the new program file --------------------------------------------------------

// The machine a PE file is built for, 0 when the bytes are no PE file.
unsigned MachineOf(const std::string& bytes)
{
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z')
        return 0;
    uint32_t header = uint8_t(bytes[0x3c]) | uint8_t(bytes[0x3d]) << 8 | uint8_t(bytes[0x3e]) << 16 |
                      uint32_t(uint8_t(bytes[0x3f])) << 24;
    if (uint64_t(header) + 6 > bytes.size() || bytes.compare(header, 4, std::string("PE\0\0", 4)) != 0)
        return 0;
    return uint8_t(bytes[header + 4]) | uint8_t(bytes[header + 5]) << 8;
}

std::string VersionString(const std::string& file, const char* name)
{
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(file.c_str(), &handle);
    if (size == 0)
        return std::string();
    std::string data(size, '\0');
    if (!GetFileVersionInfoA(file.c_str(), 0, size, &data[0]))
        return std::string();
    struct Translation {
        WORD language, codePage;
    }* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(&data[0], "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation))
        return std::string();
    char query[80];
    wsprintfA(query, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
              translations[0].codePage, name);
    char* value = nullptr;
    if (!VerQueryValueA(&data[0], query, reinterpret_cast<void**>(&value), &length) || !value)
        return std::string();
    return std::string(value, strnlen(value, length));
}

// A program file of Quillmoor: its version information names the product
// and the program.
bool IsQuillmoorProgram(const std::string& file)
{
    return VersionString(file, "ProductName") == "Quillmoor" &&
           lstrcmpiA(VersionString(file, "InternalName").c_str(), "Quillmoor8") == 0;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool done = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                written == bytes.size();
    done = CloseHandle(file) && done;
    if (!done)
        DeleteFileA(path.c_str());
    return done;
}

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr);
    bytes.assign(size, '\0');
    DWORD read = 0;
    bool done = size == INVALID_FILE_SIZE ? false
                                          : (size == 0 || ReadFile(file, &bytes[0], size, &read, nullptr)) &&
                                                read == size;
    CloseHandle(file);
    return done;
}

// Repeats `attempt` while it fails only because the program file is still
// held (a program ending, or its image outliving its last handle), up to the
// wait limit; true once it succeeds.
template <typename Attempt>
bool RetryWhileHeld(Attempt attempt)
{
    DWORD start = GetTickCount();
    while (!attempt()) {
        DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION) ||
            GetTickCount() - start > waitForExitMs)
            return false;
        ProgressWindow::Pump();
        Sleep(250);
    }
    return true;
}

// Waits until nothing holds the program file open (the program has ended).
bool WaitForProgramExit(const std::string& dest)
{
    return RetryWhileHeld([&dest] {
        HANDLE file = CreateFileA(dest.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(file);
        return true;
    });
}

bool DeleteProgramFile(const std::string& dest)
{
    return RetryWhileHeld([&dest] { return DeleteFileA(dest.c_str()) != FALSE; });
}

bool StartProgram(const std::string& path)
{
    std::string commandLine = "\"" + path + "\"";
    std::string folder = path.substr(0, path.find_last_of('\\') == std::string::npos
                                            ? 0
                                            : path.find_last_of('\\'));
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// ---- the update ------------------------------------------------------------------

// Everything up to the new file in place. On 0 `problem` says why, and the
// program file is as it was.
int Update(const std::string& url, const std::string& dest, std::string& problem)
{
    progress.SetText("Waiting for Quillmoor to close...");
    std::string oldBytes;
    if (!WaitForProgramExit(dest) || !ReadWholeFile(dest, oldBytes)) {
        problem = "Quillmoor is still running or cannot be read (" + dest + ")";
        return 0;
    }

    progress.SetText("Downloading the update...");
    std::string archive;
    HttpResult fetched = Download(url, archive, true);
    if (fetched != HttpResult::Done) {
        problem = fetched == HttpResult::Missing ? "the update server has no update archive"
                                            : "the update could not be downloaded";
        return 0;
    }
    // Where the server publishes the archive's hash, the archive must match it.
    std::string published;
    if (Download(HashAddress(url), published, false) == HttpResult::Done) {
        size_t digits = 0;
        while (digits < published.size() && IsHexDigit(published[digits]))
            ++digits;
        published.resize(digits);
        if (LowerAscii(published) != Sha256Hex(archive)) {
            problem = "the downloaded archive does not match its published SHA-256";
            return 0;
        }
    }

    progress.SetText("Installing the update...");
    std::string newBytes;
    if (!ExtractZipEntry(archive, programFileName, newBytes, problem))
        return 0;
    unsigned machine = MachineOf(newBytes);
    if (machine == 0 || machine != MachineOf(oldBytes)) {
        problem = "the archive's program file is not a Windows program for this system";
        return 0;
    }
    std::string staged = dest + ".new";
    if (!WriteWholeFile(staged, newBytes)) {
        problem = "the new program could not be written beside the old one";
        return 0;
    }
    if (!IsQuillmoorProgram(staged)) {
        DeleteFileA(staged.c_str());
        problem = "the archive's program file is not Quillmoor";
        return 0;
    }

    // The old program stays beside the new one; should the exchange fail
    // half way, it is put back.
    std::string kept = dest + ".bak";
    if (!WriteWholeFile(kept, oldBytes)) {
        DeleteFileA(staged.c_str());
        problem = "no copy of the old program could be kept";
        return 0;
    }
    if (!DeleteProgramFile(dest) || !MoveFileA(staged.c_str(), dest.c_str())) {
        DeleteFileA(staged.c_str());
        std::string now;
        if (!ReadWholeFile(dest, now) || now != oldBytes)
            WriteWholeFile(dest, oldBytes);
        problem = "the new program could not be put in place";
        return 0;
    }
    progress.SetPercent(100);
    if (!StartProgram(dest)) {
        // A program that does not start here is no update: the old one returns.
        WriteWholeFile(dest, oldBytes);
        problem = "the new program does not start";
        return 0;
    }
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string url, dest;
    if (!ReadArguments(url, dest)) {
        MessageBoxA(nullptr, "Usage: updater -url \"<address of the update archive>\" -dest \"<program file>\"",
                    windowTitle, MB_OK | MB_ICONINFORMATION);
        return 2;
    }
    progress.Create();
    std::string problem;
    int done = Update(url, dest, problem);
    progress.Close();
    if (done)
        return 0;
    MessageBoxA(nullptr, ("Quillmoor could not be updated: " + problem + ".\n\nThe installed version "
                          "was left as it was and starts again.").c_str(),
                windowTitle, MB_OK | MB_ICONWARNING);
    StartProgram(dest);
    return 1;
}
