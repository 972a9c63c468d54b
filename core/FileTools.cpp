#include "core/FileTools.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "core/Handles.h"

namespace {

bool IsLinkFolder(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A read-only copy (cabinets keep attributes) must not stop the emptying.
bool DeletePlainFile(const std::string& path)
{
    if (DeleteFileA(path.c_str()))
        return true;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != 0;
}

bool Stopped(HANDLE stopEvent)
{
    return stopEvent && WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0;
}

// One pass over `folder\mask`: files are deleted; with `handleFolders`,
// subfolders are emptied (and removed when no pattern was given).
int EmptyPass(const std::string& folder, const char* mask, bool handleFolders, bool recursive,
              const char* pattern, HANDLE stopEvent)
{
    WIN32_FIND_DATAA found = {};
    FindHandle search(FindFirstFileA((folder + "\\" + mask).c_str(), &found));
    if (!search)
        return 1;
    do {
        if (Stopped(stopEvent))
            return 0;
        if (found.cFileName[0] == '.')
            continue;
        std::string path = folder + "\\" + found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (!DeletePlainFile(path))
                return 0;
            continue;
        }
        if (!handleFolders || !recursive)
            continue;
        if (IsLinkFolder(found.dwFileAttributes)) {
            // Removing a junction removes the link, never what it points at.
            if (!pattern && !RemoveDirectoryA(path.c_str()))
                return 0;
            continue;
        }
        if (!EmptyFolder(path, true, pattern, stopEvent))
            return 0;
        if (!pattern && !RemoveDirectoryA(path.c_str()))
            return 0;
    } while (FindNextFileA(search.Get(), &found));
    return 1;
}

} // namespace

int EmptyFolder(const std::string& folder, bool recursive, const char* pattern, HANDLE stopEvent)
{
    if (folder.empty())
        return 0;
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    std::string base = folder;
    while (base.size() > 1 && base.back() == '\\')
        base.pop_back();
    if (PathIsRootA((base + "\\").c_str()))
        return 0;
    if (pattern && !EmptyPass(base, pattern, false, recursive, pattern, stopEvent))
        return 0;
    return EmptyPass(base, "*", true, recursive, pattern, stopEvent);
}

int RunProgram(const std::string& program, const std::string& parameters, bool wait)
{
    if (!wait) {
        HINSTANCE result = ShellExecuteA(nullptr, "open", program.c_str(), parameters.c_str(),
                                         nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) <= 32 ? 0 : 1;
    }
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExA(&info) && info.hProcess) {
        HandleOwner process(info.hProcess);
        WaitForSingleObject(process.Get(), 120000);
    }
    return 1;
}

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    HandleOwner file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr)) {
        if (read == 0)
            return true;
        bytes.append(buffer, read);
    }
    return false;
}
