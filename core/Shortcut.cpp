// Shortcut targets and the long form of 8.3 paths.
#include "core/PathCheck.h"

#include <objbase.h>
#include <shlobj.h>

#include <cctype>

#include "core/Handles.h"

HRESULT ResolveShortcut(const std::string& linkPath, HWND window, std::string& target,
                        std::string& description)
{
    ComPtr<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  link.PutVoid());
    if (FAILED(hr))
        return hr;
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, file.PutVoid());
    if (FAILED(hr))
        return hr;

    WCHAR widePath[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH))
        return HRESULT_FROM_WIN32(GetLastError());
    hr = file->Load(widePath, STGM_READ);
    if (FAILED(hr))
        return hr;
    // No user interface, no search, nothing written back to the link.
    hr = link->Resolve(window, SLR_NO_UI | SLR_ANY_MATCH | SLR_UPDATE | SLR_NOUPDATE |
                                   SLR_NOSEARCH);
    if (FAILED(hr))
        return hr;

    char buffer[MAX_PATH] = {};
    WIN32_FIND_DATAA found;
    hr = link->GetPath(buffer, sizeof(buffer), &found, SLGP_SHORTPATH);
    target = buffer;
    if (FAILED(hr))
        return hr;
    char text[MAX_PATH] = {};
    hr = link->GetDescription(text, sizeof(text));
    description = text;
    if (FAILED(hr))
        return hr;

    file.Reset();
    link.Reset();
    std::string longPath;
    if (GetLongPathForm(target, longPath) > target.size())
        target = longPath;
    return hr;
}

size_t GetLongPathForm(const std::string& path, std::string& longPath)
{
    if (path.empty() || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return 0;
    std::string source = path;
    for (char& c : source)
        if (c == '/')
            c = '\\';

    // Only drive-rooted paths are expanded.
    if (source.size() < 2 || source[1] != ':' || !isalpha(static_cast<unsigned char>(source[0])))
        return 0;
    if (source.size() == 2 || (source.size() == 3 && source[2] == '\\')) {
        longPath = source;
        return longPath.size();
    }
    if (source[2] != '\\')
        return 0;

    std::string result = source.substr(0, 3);
    std::string search = result;
    size_t pos = 3;
    while (pos < source.size()) {
        size_t end = source.find('\\', pos);
        if (end == std::string::npos)
            end = source.size();
        if (end == pos) { // a doubled backslash
            ++pos;
            continue;
        }
        search += source.substr(pos, end - pos);
        WIN32_FIND_DATAA found;
        FindHandle find(FindFirstFileA(search.c_str(), &found));
        if (!find)
            return 0;
        result += found.cFileName;
        pos = end + 1;
        if (source.find_first_not_of('\\', pos) != std::string::npos) {
            result += '\\';
            search += '\\';
        }
    }
    if (GetFileAttributesA(result.c_str()) == INVALID_FILE_ATTRIBUTES)
        return 0;
    longPath = result;
    return longPath.size();
}
