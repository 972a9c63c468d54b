#include "support/HostLinks.h"

#include "core/Handles.h"
#include "core/KeyChain.h"
#include "core/Platform.h"
#include "support/UiSteps.h"

namespace {

// Runs a command of the host system (in /bin) and waits until `done` holds:
// Wine neither waits for a host program nor hands out its exit code.
template <typename Condition>
bool RunHost(const std::string& command, Condition done)
{
    std::string line = "Z:\\bin\\" + command;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    HandleOwner thread(process.hThread), owner(process.hProcess);
    return WaitFor(done, 10000);
}

// Wine shows a host link as a folder that is a reparse point.
bool IsFolderLink(const std::string& path)
{
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA(path.c_str(), &found));
    return find && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The host system's path of a Windows path; empty when Wine cannot tell.
std::string UnixPath(const std::string& windowsPath)
{
    auto unixName = SystemFunction<char*(CDECL*)(LPCWSTR)>("kernel32.dll", "wine_get_unix_file_name");
    char* name = unixName ? unixName(std::wstring(windowsPath.begin(), windowsPath.end()).c_str()) : nullptr;
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// The deepest key of a chain of "d" keys, created on the way when asked.
RegKey DeepKey(HKEY root, const std::string& path, int levels, bool create)
{
    RegKey key;
    key.Open(root, path, KEY_ALL_ACCESS);
    for (int level = 0; key && level < levels; ++level) {
        HKEY next = nullptr;
        LONG rc = create ? RegCreateKeyExA(key.Handle(), "d", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr)
                         : RegOpenKeyExA(key.Handle(), "d", 0, KEY_ALL_ACCESS, &next);
        key = rc == ERROR_SUCCESS ? RegKey(next) : RegKey();
    }
    return key;
}

} // namespace

FolderLink::FolderLink(const std::string& link, const std::string& target)
    : link(link), unixLink(UnixPath(link))
{
    std::string unixTarget = UnixPath(target);
    made = !unixLink.empty() && !unixTarget.empty() &&
           RunHost("ln -s \"" + unixTarget + "\" \"" + unixLink + "\"", [&] { return IsFolderLink(link); });
}

FolderLink::~FolderLink()
{
    // rm without -r removes the link, never what it leads to.
    if (made)
        RunHost("rm -f \"" + unixLink + "\"", [&] { return !IsFolderLink(link); });
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
    if (RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &opened) == ERROR_SUCCESS)
        DeleteLinkKey(RegKey(opened).Handle());
}

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
