// The scanners that look at files rather than registry values: broken
// shortcuts, leftover temporary files, the disk checker's fragments, cookies
// and the browser history. Each walks its folders in the order the file
// system returns them and stops everything once the scan is aborted.

#include "scan/Scanners.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <set>
#include <tuple>

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

// The folders one walk has entered, by volume and file index: a folder the
// file system reaches by two roads (a link it does not flag, a mounted
// volume) is walked once.
class FolderVisits {
public:
    // False when the walk must not enter `folder`: a link or junction, which
    // leads off the ground being scanned, or a folder already entered.
    bool Enter(const std::string& folder, DWORD attributes)
    {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return false;
        // Folders open only on the NT family; without an identity the link
        // test above is all there is.
        HandleOwner handle(CreateFileA(folder.c_str(), 0,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                       nullptr));
        BY_HANDLE_FILE_INFORMATION info;
        if (!handle || !GetFileInformationByHandle(handle.Get(), &info))
            return true;
        return entered
            .insert(std::make_tuple(info.dwVolumeSerialNumber, info.nFileIndexHigh,
                                    info.nFileIndexLow))
            .second;
    }

private:
    std::set<std::tuple<DWORD, DWORD, DWORD>> entered;
};

// A sub-folder found by a walk: walk it too; false stops the whole walk.
using FolderAction = std::function<bool(const std::string& folder)>;
using FileAction = std::function<void(const std::string& path, const WIN32_FIND_DATAA& data)>;

// Hands every entry that `pattern` finds (except "." and "..") to the action
// for its kind, testing the abort flag before each; a sub-folder is followed
// by a message dispatch. A sub-folder that `visits` refuses is passed over.
// False when the walk was stopped.
bool WalkFolder(ScanContext& context, FolderVisits& visits, const std::string& pattern,
                const FolderAction& onFolder, const FileAction& onFile)
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
            if (!visits.Enter(path, data.dwFileAttributes))
                continue;
            if (!onFolder(path))
                return false;
            context.Pump();
        } else {
            onFile(path, data);
        }
    } while (FindNextFileA(find.Get(), &data));
    return true;
}

// A walk's starting folder counts as entered, so no road leads back into it.
void EnterTop(FolderVisits& visits, const std::string& folder)
{
    visits.Enter(folder, GetFileAttributesA(folder.c_str()) & ~FILE_ATTRIBUTE_REPARSE_POINT);
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

bool ShortcutsIn(ScanContext& context, FolderVisits& visits, const std::string& folder)
{
    return WalkFolder(
        context, visits, AllFilesIn(folder),
        [&](const std::string& sub) { return ShortcutsIn(context, visits, sub); },
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

// A file of a temporary folder is left over when no program holds it open.
void TempFileFound(ScanContext& context, const std::string& path, const WIN32_FIND_DATAA& data)
{
    HandleOwner file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        file.Reset();
        Report(context, SectionWinTemp, path, path, path, "Windows Temp File", FileSize(data));
    }
    ShowAndPump(context, path);
}

bool TempFilesIn(ScanContext& context, FolderVisits& visits, const std::string& folder)
{
    return WalkFolder(
        context, visits, AllFilesIn(folder),
        [&](const std::string& sub) { return TempFilesIn(context, visits, sub); },
        [&](const std::string& path, const WIN32_FIND_DATAA& data) {
            TempFileFound(context, path, data);
        });
}

// Everything inside one of the disk checker's folders.
bool FoundFilesIn(ScanContext& context, FolderVisits& visits, const std::string& pattern)
{
    return WalkFolder(
        context, visits, pattern,
        [&](const std::string& sub) { return FoundFilesIn(context, visits, AllFilesIn(sub)); },
        [&](const std::string& path, const WIN32_FIND_DATAA& data) {
            Report(context, SectionScanDisk, path, path, path, "ScanDisk Files", FileSize(data));
            ShowAndPump(context, path);
        });
}

// The disk checker names its folders "FOUND.000", "FOUND.001" and so on; a
// user's own "found.photos" is not one of them.
bool IsDiskCheckerFolder(const std::string& name)
{
    return name.size() == 9 && _strnicmp(name.c_str(), "found.", 6) == 0 &&
           std::all_of(name.begin() + 6, name.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool HistoryFilesIn(ScanContext& context, FolderVisits& visits, const std::string& pattern)
{
    return WalkFolder(
        context, visits, pattern,
        [&](const std::string& sub) { return HistoryFilesIn(context, visits, AllFilesIn(sub)); },
        [&](const std::string& path, const WIN32_FIND_DATAA&) {
            const std::string lowered = LowerAscii(path);
            // The folder's own index and view settings belong to the system.
            if (Contains(lowered, "index.dat") || Contains(lowered, "desktop.ini"))
                return;
            Report(context, SectionIETemp, lowered, "", "IE_FILE", "IE TEMP", 0.0);
            ShowAndPump(context, lowered);
        });
}

// A folder in the long form of its name, without trailing backslashes, in
// lower case; empty stays empty.
std::string ComparableFolder(const std::string& folder)
{
    if (folder.empty())
        return folder;
    std::string longForm;
    std::string comparable = GetLongPathForm(folder, longForm) ? longForm : folder;
    while (comparable.size() > 1 && comparable.back() == '\\')
        comparable.pop_back();
    return Lowered(comparable);
}

// `folder` is `other` or lies above it.
bool IsAtOrAbove(const std::string& folder, const std::string& other)
{
    return !other.empty() &&
           (other == folder || (other.size() > folder.size() &&
                                other.compare(0, folder.size(), folder) == 0 &&
                                other[folder.size()] == '\\'));
}

// Everything in a temporary folder is reported for deletion, so a folder is
// walked as one only when it cannot hold anything else: never a drive root,
// the Windows, system or program folder, a profile, the user's own
// documents, or a folder above any of them (with TEMP unset, the platform
// answers the profile or the Windows folder). The Windows folder's own Temp
// lies below it and is fine.
bool IsDisposableFolder(const std::string& folder)
{
    const std::string candidate = ComparableFolder(folder);
    if (candidate.empty() || PathIsRootA((candidate + "\\").c_str()))
        return false;
    const std::string profile = ComparableFolder(GetSpecialFolder(CSIDL_PROFILE));
    const size_t profilesEnd = profile.rfind('\\');
    if (profilesEnd != std::string::npos && candidate.rfind('\\') == profilesEnd &&
        candidate.compare(0, profilesEnd, profile, 0, profilesEnd) == 0)
        return false; // a profile of another user, or the public one
    for (const std::string& kept :
         {GetWindowsFolder(), GetSystemFolder(), GetProgramFilesFolder(), GetSpecialFolder(CSIDL_PROFILE)}) {
        if (IsAtOrAbove(candidate, ComparableFolder(kept)))
            return false;
    }
    for (int id : {CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_MYPICTURES, CSIDL_MYMUSIC,
                   CSIDL_MYVIDEO, CSIDL_FAVORITES}) {
        const std::string documents = ComparableFolder(GetSpecialFolder(id));
        if (IsAtOrAbove(candidate, documents) || IsAtOrAbove(documents, candidate))
            return false;
    }
    return true;
}

// Walks a folder from its top with visits of its own; each sub-folder goes
// to `onFolder` together with those visits.
void WalkFromTop(ScanContext& context, const std::string& folder,
                 const std::function<bool(FolderVisits&, const std::string&)>& onFolder,
                 const FileAction& onFile)
{
    FolderVisits visits;
    EnterTop(visits, folder);
    WalkFolder(
        context, visits, AllFilesIn(folder),
        [&](const std::string& sub) { return onFolder(visits, sub); }, onFile);
}

// The repair's work folder, directly in the temporary folder.
const char repairWorkFolderName[] = "Quillmoor8BackUp";

} // namespace

void ScanShortcuts(ScanContext& context, const std::string& driveRoot)
{
    FolderVisits visits;
    EnterTop(visits, driveRoot);
    ShortcutsIn(context, visits, driveRoot);
}

void ScanTempFolder(ScanContext& context, const std::string& folder)
{
    if (!IsDisposableFolder(folder))
        return;
    // The repair keeps its backup's work in the temporary folder while it runs.
    WalkFromTop(
        context, folder,
        [&](FolderVisits& visits, const std::string& sub) {
            const std::string name = sub.substr(sub.rfind('\\') + 1);
            return lstrcmpiA(name.c_str(), repairWorkFolderName) == 0 ||
                   TempFilesIn(context, visits, sub);
        },
        [&](const std::string& path, const WIN32_FIND_DATAA& data) {
            TempFileFound(context, path, data);
        });
}

void ScanFoundFiles(ScanContext& context, const std::string& pattern)
{
    // Only the checker's own folders at the root are walked; loose files
    // that happen to be named "found" are left alone.
    FolderVisits visits;
    WIN32_FIND_DATAA data;
    const std::string root = pattern.substr(0, pattern.rfind('\\'));
    FindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (!find)
        return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsDiskCheckerFolder(data.cFileName))
            continue;
        if (!context.KeepScanning())
            return;
        const std::string folder = root + "\\" + data.cFileName;
        if (!visits.Enter(folder, data.dwFileAttributes))
            continue;
        if (!FoundFilesIn(context, visits, AllFilesIn(folder)))
            return;
        context.Pump();
    } while (FindNextFileA(find.Get(), &data));
}

void ScanCookies(ScanContext& context)
{
    const std::string folder = GetSpecialFolder(CSIDL_COOKIES);
    if (folder.empty())
        return;
    WalkFromTop(
        context, folder,
        [&](FolderVisits& visits, const std::string& sub) {
            TempFilesIn(context, visits, sub);
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
    if (!history.empty()) {
        FolderVisits visits;
        EnterTop(visits, history);
        HistoryFilesIn(context, visits, AllFilesIn(history));
    }
    cache.Close();
}
