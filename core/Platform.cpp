#include "core/Platform.h"

#include <objbase.h>
#include <shlobj.h>

#include "core/Registry.h"

FARPROC FindSystemFunction(const char* library, const char* name)
{
    HMODULE module = GetModuleHandleA(library);
    if (!module)
        module = LoadLibraryA(library);
    return module ? GetProcAddress(module, name) : nullptr;
}

int IsWindows95Family()
{
    return (GetVersion() & 0x80000000u) ? 1 : 0;
}

ComApartment::ComApartment()
{
    using CoInitializeExProc = HRESULT(WINAPI*)(LPVOID, DWORD);
    auto initializeEx = SystemFunction<CoInitializeExProc>("ole32.dll", "CoInitializeEx");
    HRESULT result = initializeEx ? initializeEx(nullptr, COINIT_APARTMENTTHREADED)
                                  : CoInitialize(nullptr);
    // S_FALSE (already joined) needs its CoUninitialize too.
    joined = SUCCEEDED(result);
}

void ComApartment::Leave()
{
    if (joined)
        CoUninitialize();
    joined = false;
}

namespace {

struct ShellFolderName {
    int csidl;
    const char* userValue;   // under HKEY_CURRENT_USER
    const char* commonValue; // under HKEY_LOCAL_MACHINE (all users)
};

const ShellFolderName shellFolderNames[] = {
    {CSIDL_APPDATA, "AppData", nullptr},
    {CSIDL_COOKIES, "Cookies", nullptr},
    {CSIDL_DESKTOPDIRECTORY, "Desktop", nullptr},
    {CSIDL_FAVORITES, "Favorites", nullptr},
    {CSIDL_FONTS, "Fonts", nullptr},
    {CSIDL_HISTORY, "History", nullptr},
    {CSIDL_INTERNET_CACHE, "Cache", nullptr},
    {CSIDL_NETHOOD, "NetHood", nullptr},
    {CSIDL_PERSONAL, "Personal", nullptr},
    {CSIDL_PROGRAMS, "Programs", nullptr},
    {CSIDL_RECENT, "Recent", nullptr},
    {CSIDL_SENDTO, "SendTo", nullptr},
    {CSIDL_STARTMENU, "Start Menu", nullptr},
    {CSIDL_STARTUP, "Startup", nullptr},
    {CSIDL_TEMPLATES, "Templates", nullptr},
    {CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, "Common Desktop"},
    {CSIDL_COMMON_PROGRAMS, nullptr, "Common Programs"},
    {CSIDL_COMMON_STARTMENU, nullptr, "Common Start Menu"},
    {CSIDL_COMMON_STARTUP, nullptr, "Common Startup"},
};

const char shellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

} // namespace

std::string SpecialFolderFromRegistry(int csidl)
{
    for (const ShellFolderName& folder : shellFolderNames) {
        if (folder.csidl != csidl)
            continue;
        return folder.userValue
                   ? ReadRegString(HKEY_CURRENT_USER, shellFoldersKey, folder.userValue, REG_SZ)
                   : ReadRegString(HKEY_LOCAL_MACHINE, shellFoldersKey, folder.commonValue, REG_SZ);
    }
    return "";
}

std::string GetSpecialFolder(int csidl)
{
    using SHGetSpecialFolderPathProc = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);
    auto getPath = SystemFunction<SHGetSpecialFolderPathProc>("shell32.dll", "SHGetSpecialFolderPathA");
    if (!getPath)
        return SpecialFolderFromRegistry(csidl);
    char folder[MAX_PATH] = "";
    if (!getPath(nullptr, folder, csidl, FALSE))
        return "";
    return folder;
}

// The runtime's Unicode imports, answered for the 95 family.
#include "core/RuntimeImports.h"
