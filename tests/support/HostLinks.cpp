#include "support/HostLinks.h"

#include <vector>

#include "core/Handles.h"
#include "core/KeyChain.h"
#include "core/Platform.h"

namespace {

// Starts a program of the host system; true when it started. Wine neither
// waits for a host program nor hands out its exit code: callers watch for
// its work (WaitUntil).
bool RunHost(const std::string& commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    HandleOwner thread(process.hThread), owner(process.hProcess);
    return true;
}

template <typename Condition>
bool WaitUntil(Condition done)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start > 10000)
            return false;
    return true;
}

// Wine shows a host link as a folder that is a reparse point.
bool IsFolderLink(const std::string& path)
{
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(path.c_str(), &found));
    return find && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The host system's path of a Windows path; empty when Wine cannot tell.
std::string UnixPath(const std::string& windowsPath)
{
    auto unixName =
        SystemFunction<char*(CDECL*)(LPCWSTR)>("kernel32.dll", "wine_get_unix_file_name");
    if (!unixName)
        return std::string();
    std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* name = unixName(wide.c_str());
    if (!name)
        return std::string();
    std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

} // namespace

FolderLink::FolderLink(const std::string& link, const std::string& target)
    : link(link), unixLink(UnixPath(link))
{
    std::string unixTarget = UnixPath(target);
    made = !unixLink.empty() && !unixTarget.empty() &&
           RunHost("Z:\\bin\\ln -s " + Quoted(unixTarget) + " " + Quoted(unixLink)) &&
           WaitUntil([&] { return IsFolderLink(link); });
}

FolderLink::~FolderLink()
{
    // rm without -r removes the link, never what it leads to.
    if (made && RunHost("Z:\\bin\\rm -f " + Quoted(unixLink)))
        WaitUntil([&] { return !IsFolderLink(link); });
}

LinkKey::LinkKey(HKEY root, const std::string& parent, const std::string& name, HKEY targetRoot,
                 const std::string& target)
    : root(root), path(parent + "\\" + name)
{
    HKEY created = nullptr;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &created,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegKey link(created);
    std::string full = RegistryObjectName(targetRoot) + "\\" + target;
    std::wstring wide(full.begin(), full.end());
    made = RegSetValueExW(link.Handle(), L"SymbolicLinkValue", 0, REG_LINK,
                          reinterpret_cast<const BYTE*>(wide.data()),
                          static_cast<DWORD>(wide.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}

LinkKey::~LinkKey()
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &opened) !=
        ERROR_SUCCESS)
        return;
    RegKey link(opened);
    DeleteLinkKey(link.Handle());
}

namespace {

// The deepest key of a chain of "d" keys, created on the way when asked.
RegKey DeepKey(HKEY root, const std::string& path, int levels, bool create)
{
    RegKey key;
    if (key.Open(root, path, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return key;
    for (int level = 0; level < levels; ++level) {
        HKEY next = nullptr;
        LONG rc = create ? RegCreateKeyExA(key.Handle(), "d", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &next, nullptr)
                         : RegOpenKeyExA(key.Handle(), "d", 0, KEY_ALL_ACCESS, &next);
        if (rc != ERROR_SUCCESS)
            return RegKey();
        key = RegKey(next);
    }
    return key;
}

} // namespace

bool PlantDeepChain(HKEY root, const std::string& path, int levels, const std::string& name,
                    const std::string& data)
{
    RegKey deepest = DeepKey(root, path, levels, true);
    return deepest && deepest.SetStringValue(data, name) == ERROR_SUCCESS;
}

std::string ReadDeepChain(HKEY root, const std::string& path, int levels, const std::string& name)
{
    RegKey deepest = DeepKey(root, path, levels, false);
    char data[256] = "";
    DWORD size = sizeof(data) - 1;
    if (!deepest || deepest.QueryStringValue(data, name, &size) != ERROR_SUCCESS)
        return std::string();
    return data;
}
