// The scanners that look at files rather than registry values: broken
// shortcuts, leftover temporary files, the disk checker's fragments, cookies
// and the browser history. Each walks its folders in the order the file
// system returns them and stops everything once the scan is aborted.

#include "scan/Scanners.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <functional>

#include "core/Handles.h"
#include "core/PathCheck.h"
#include "core/Platform.h"
#include "core/ProblemRecord.h"
#include "core/ResourceText.h"
#include "core/ScanSection.h"
#include "core/Text.h"
#include "resource.h"
#include "scan/ScanContext.h"
#include "scan/UrlCacheEnumerator.h"

namespace {

// Shortcut files are tiny; anything larger is not worth resolving.
constexpr DWORD shortcutSizeLimit = 1024;

bool Contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// "folder\*.*", whatever trailing backslashes the folder came with.
std::string AllFilesIn(std::string folder)
{
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder + "\\*.*";
}

// The low 32 bits of the length, as the size shown to the user.
double FileSize(const WIN32_FIND_DATAA& data)
{
    return static_cast<double>(data.nFileSizeLow);
}

void ShowAndPump(ScanContext& context, const std::string& path)
{
    context.ShowItem(path);
    context.Pump();
}

void Report(ScanContext& context, unsigned section, const std::string& item,
            const std::string& keyPath, const std::string& valueData,
            const std::string& description, double sizeBytes)
{
    context.Report(
        MakeProblemRecord(section, item, keyPath, "", valueData, description, sizeBytes));
}

// A sub-folder found by a walk: walk it too; false stops the whole walk.
using FolderAction = std::function<bool(const std::string& folder)>;
using FileAction = std::function<void(const std::string& path, const WIN32_FIND_DATAA& data)>;

// Hands every entry that `pattern` finds (except "." and "..") to the action
// for its kind, testing the abort flag before each; a sub-folder is followed
// by a message dispatch. False when the walk was stopped.
bool WalkFolder(ScanContext& context, const std::string& pattern, const FolderAction& onFolder,
                const FileAction& onFile)
{
    const std::string folder = pattern.substr(0, pattern.rfind('\\'));
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (!find)
        return true;
    do {
        const std::string name = data.cFileName;
        const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && (name == "." || name == ".."))
            continue;
        if (!context.KeepScanning())
            return false;
        const std::string path = folder + "\\" + name;
        if (isFolder) {
            if (!onFolder(path))
                return false;
            context.Pump();
        } else {
            onFile(path, data);
        }
    } while (FindNextFileA(find.Get(), &data));
    return true;
}

// A shortcut is only broken when it points at a file that should be on one of
// this machine's fixed drives and is not there; anything we cannot judge
// safely counts as sound.
bool ShortcutTargetIsSound(const std::string& target)
{
    return target.empty() || PathIsFileSpecA(target.c_str()) || Contains(target, "Recycled") ||
           PathIsUNCServerShareA(target.c_str()) || IsNotOnFixedDrive(target) == 1 ||
           IsValidPath(target) == 1 || IsDirectory(target) == 1;
}

void CheckShortcut(ScanContext& context, const std::string& path)
{
    std::string target, description;
    ResolveShortcut(path, nullptr, target, description);
    if (!ShortcutTargetIsSound(target))
        Report(context, SectionShortcuts, path, target, target,
               ResourceString(IDS_SHORTCUT_INVALID), 0.0);
}

bool ShortcutsIn(ScanContext& context, const std::string& folder)
{
    return WalkFolder(
        context, AllFilesIn(folder),
        [&](const std::string& sub) { return ShortcutsIn(context, sub); },
        [&](const std::string& path, const WIN32_FIND_DATAA& data) {
            // Network places and the browser cache keep shortcuts of their own.
            if (Contains(path, "NetHood") || Contains(path, "Content.IE5"))
                return;
            if (data.nFileSizeHigh == 0 && data.nFileSizeLow < shortcutSizeLimit &&
                EndsWith(path, ".lnk"))
                CheckShortcut(context, path);
            ShowAndPump(context, path);
        });
}

bool TempFilesIn(ScanContext& context, const std::string& folder)
{
    return WalkFolder(
        context, AllFilesIn(folder),
        [&](const std::string& sub) { return TempFilesIn(context, sub); },
        [&](const std::string& path, const WIN32_FIND_DATAA& data) {
            // A file that some program holds open is in use, not left over.
            HandleOwner file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file) {
                file.Reset();
                Report(context, SectionWinTemp, path, path, path, "Windows Temp File",
                       FileSize(data));
            }
            ShowAndPump(context, path);
        });
}

// `pattern` is "X:\found.*" at the top and "folder\*.*" below it.
bool FoundFilesIn(ScanContext& context, const std::string& pattern)
{
    return WalkFolder(
        context, pattern,
        [&](const std::string& sub) { return FoundFilesIn(context, AllFilesIn(sub)); },
        [&](const std::string& path, const WIN32_FIND_DATAA& data) {
            Report(context, SectionScanDisk, path, path, path, "ScanDisk Files", FileSize(data));
            ShowAndPump(context, path);
        });
}

bool ScanHistoryFiles(ScanContext& context, const std::string& pattern)
{
    return WalkFolder(
        context, pattern,
        [&](const std::string& sub) { return ScanHistoryFiles(context, AllFilesIn(sub)); },
        [&](const std::string& path, const WIN32_FIND_DATAA&) {
            const std::string lowered = LowerAscii(path);
            // The folder's own index and view settings belong to the system.
            if (Contains(lowered, "index.dat") || Contains(lowered, "desktop.ini"))
                return;
            Report(context, SectionIETemp, lowered, "", "IE_FILE", "IE TEMP", 0.0);
            ShowAndPump(context, lowered);
        });
}

} // namespace

void ScanShortcuts(ScanContext& context, const std::string& driveRoot)
{
    ShortcutsIn(context, driveRoot);
}

void ScanTempFolder(ScanContext& context, const std::string& folder)
{
    TempFilesIn(context, folder);
}

void ScanFoundFiles(ScanContext& context, const std::string& pattern)
{
    FoundFilesIn(context, pattern);
}

void ScanCookies(ScanContext& context)
{
    const std::string folder = GetSpecialFolder(CSIDL_COOKIES);
    if (folder.empty())
        return;
    WalkFolder(
        context, AllFilesIn(folder),
        [&](const std::string& sub) {
            ScanTempFolder(context, sub);
            return true;
        },
        [&](const std::string& path, const WIN32_FIND_DATAA& data) {
            const std::string lowered = LowerAscii(path);
            // The browser's index of its cookies stays.
            if (Contains(lowered, "index.dat"))
                return;
            Report(context, SectionIECookies, lowered, "", "", "Cookie", FileSize(data));
            ShowAndPump(context, lowered);
        });
}

void ScanBrowserCache(ScanContext& context)
{
    UrlCacheEnumerator cache;
    const INTERNET_CACHE_ENTRY_INFOA* entry = cache.First("visited:");
    while (entry && context.KeepScanning()) {
        // Copy what we need: the next call reuses the record.
        const std::string localFile = entry->lpszLocalFileName ? entry->lpszLocalFileName : "";
        const std::string url = entry->lpszSourceUrlName ? entry->lpszSourceUrlName : "";
        entry = cache.Next();
        if (Contains(url, "desktop.ini"))
            continue;
        Report(context, SectionIETemp, localFile, "", url, "IE TEMP", 0.0);
        ShowAndPump(context, localFile);
        context.Step();
    }
    const std::string history = GetSpecialFolder(CSIDL_HISTORY);
    if (!history.empty())
        ScanHistoryFiles(context, AllFilesIn(history));
    cache.Close();
}
