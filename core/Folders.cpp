// Where things are on this machine: system folders, drives, the program's own
// folder, the AutoCAD folder, and whether we run under WOW64.
#include "core/PathCheck.h"

#include <shlwapi.h>

#include <atomic>
#include <cstring>

#include "core/Platform.h"
#include "core/Registry.h"

namespace {

std::atomic<int> wow64Override{-1};
// Written once at start-up, before any scan thread reads it.
std::string autoCadFolder;

const char autoCadKey[] = "Software\\Autodesk\\AutoCAD";

} // namespace

std::string GetWindowsFolder()
{
    char buffer[MAX_PATH] = {};
    UINT length = GetWindowsDirectoryA(buffer, sizeof(buffer));
    return length && length < sizeof(buffer) ? buffer : "";
}

std::string GetSystemFolder()
{
    char buffer[MAX_PATH] = {};
    UINT length = GetSystemDirectoryA(buffer, sizeof(buffer));
    return length && length < sizeof(buffer) ? buffer : "";
}

std::string GetProgramFilesFolder()
{
    const char variable[] = "%ProgramFiles%";
    char buffer[MAX_PATH] = {};
    DWORD length = ExpandEnvironmentStringsA(variable, buffer, sizeof(buffer));
    if (length == 0 || length > sizeof(buffer))
        return "";
    // Systems of the Windows 95 family have no such variable.
    if (lstrcmpiA(buffer, variable) == 0)
        return "C:\\ProgramFiles";
    return buffer;
}

int IsWow64()
{
    int forced = wow64Override.load();
    if (forced >= 0)
        return forced;
    // Windows before XP SP2 has no such function: certainly not WOW64.
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = SystemFunction<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    if (!isWow64Process || !isWow64Process(GetCurrentProcess(), &wow64))
        return 0;
    return wow64 ? 1 : 0;
}

void OverrideWow64(int value)
{
    wow64Override.store(value);
}

std::string FindAutoCadLocation()
{
    if (!KeyExists(HKEY_LOCAL_MACHINE, autoCadKey))
        return "";
    const std::string base = autoCadKey;
    std::string version = ReadRegString(HKEY_LOCAL_MACHINE, base, "CurVer", REG_SZ);
    std::string release;
    if (version.empty()) {
        version = ReadRegString(HKEY_CURRENT_USER, base, "CurVer", REG_SZ);
        release = ReadRegString(HKEY_CURRENT_USER, base + "\\" + version, "CurVer", REG_SZ);
    } else {
        release = ReadRegString(HKEY_LOCAL_MACHINE, base + "\\" + version, "CurVer", REG_SZ);
    }
    if (release.empty())
        return "";
    return ReadRegString(HKEY_LOCAL_MACHINE, base + "\\" + version + "\\" + release,
                         "AcadLocation", REG_SZ);
}

void SetAutoCadFolder(const std::string& folder)
{
    autoCadFolder = folder;
}

const std::string& AutoCadFolder()
{
    return autoCadFolder;
}

int IsNotOnFixedDrive(const std::string& path)
{
    char root[MAX_PATH] = {};
    lstrcpynA(root, path.c_str(), sizeof(root));
    if (!PathStripToRootA(root))
        return 1;
    return GetDriveTypeA(root) == DRIVE_FIXED ? 0 : 1;
}

int ListLogicalDrives(std::vector<std::string>& roots, int& count)
{
    char buffer[500] = {};
    DWORD length = GetLogicalDriveStringsA(sizeof(buffer), buffer);
    if (length == 0 || length > sizeof(buffer))
        return 0;
    roots.clear();
    for (const char* root = buffer; *root && static_cast<int>(roots.size()) < count;
         root += strlen(root) + 1)
        roots.push_back(root);
    count = static_cast<int>(roots.size());
    return 1;
}

int CountLogicalDrives()
{
    char buffer[255] = {};
    DWORD length = GetLogicalDriveStringsA(sizeof(buffer), buffer);
    if (length == 0)
        return -1;
    // Each root is "X:\" and its terminating zero.
    return static_cast<int>(length / 4);
}

std::string GetProgramFolder()
{
    char buffer[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    std::string path = buffer;
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

int DeleteFileOrSchedule(const std::string& path)
{
    // A file in use goes at the next restart instead.
    if (!DeleteFileA(path.c_str()))
        MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return 1;
}
