#include "repair/CabinetExtractor.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstring>

#include "repair/CabinetCheck.h"
#include "repair/CabinetErrors.h"
#include "repair/CabinetLibrary.h"

namespace {

constexpr DWORD keptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE;
// A set longer than this is taken for a loop of cabinets naming each other.
constexpr int mostCabinetsInSet = 1000;

// Creates every folder on `path` in turn from the left, one per backslash;
// failures (the drive, folders that exist) do not matter here.
void CreateFoldersOnPath(const std::string& path)
{
    for (size_t slash = path.find('\\'); slash != std::string::npos; slash = path.find('\\', slash + 1))
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

// The file callbacks handed to FDI, on C runtime handles.
FNOPEN(OnOpen)
{
    if (oflag & _O_CREAT)
        SetFileAttributesA(pszFile, FILE_ATTRIBUTE_NORMAL);
    return _open(pszFile, oflag, pmode);
}

FNREAD(OnRead) { return static_cast<UINT>(_read(static_cast<int>(hf), pv, cb)); }

FNWRITE(OnWrite) { return static_cast<UINT>(_write(static_cast<int>(hf), pv, cb)); }

FNCLOSE(OnClose) { return _close(static_cast<int>(hf)); }

FNSEEK(OnSeek) { return _lseek(static_cast<int>(hf), dist, seektype); }

} // namespace

bool IsSafeStoredName(const char* name)
{
    if (!name || !*name || name[0] == '\\' || name[0] == '/' || strchr(name, ':'))
        return false;
    // Windows drops trailing dots and blanks from a component, so ". ." or
    // "..." would climb like ".." does.
    const char* component = name;
    for (const char* p = name;; ++p) {
        if (*p == '\\' || *p == '/' || *p == '\0') {
            bool onlyDots = p > component;
            for (const char* c = component; c < p; ++c)
                if (*c != '.' && *c != ' ')
                    onlyDots = false;
            if (onlyDots && std::memchr(component, '.', p - component))
                return false;
            if (*p == '\0')
                return true;
            component = p + 1;
        }
    }
}

CabinetExtractor::~CabinetExtractor()
{
    if (context)
        fdiDestroy(context);
}

int CabinetExtractor::OpenCabinet(const std::string& path)
{
    cabinetPath = path;
    furtherError = 0;
    if (context)
        return ReportError();
    if (!cabinetDll &&
        !LoadCabinetEntries(cabinetDll, std::pair{"FDICreate", &fdiCreate},
                            std::pair{"FDICopy", &fdiCopy},
                            std::pair{"FDIDestroy", &fdiDestroy})) {
        errorRecord.fError = TRUE;
        errorRecord.erfOper = cabErrorNoLibrary;
        return ReportError();
    }
    context = fdiCreate(CabinetAlloc, CabinetFree, OnOpen, OnRead, OnWrite, OnClose, OnSeek, cpu80386, &errorRecord);
    if (!context)
        return ReportError();
    return 1;
}

int CabinetExtractor::ExtractTo(const std::string& folder)
{
    return CopyEach(folder, nullptr);
}

int CabinetExtractor::ListFiles(std::vector<CabinetEntry>& entries)
{
    entries.clear();
    return CopyEach(std::string(), &entries);
}

int CabinetExtractor::CopyEach(const std::string& folder, std::vector<CabinetEntry>* list)
{
    listing = list;
    if (!context || cabinetPath.empty())
        return ReportError();
    size_t slash = cabinetPath.find_last_of('\\');
    std::string cabinetFolder = slash == std::string::npos ? std::string() : cabinetPath.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? cabinetPath : cabinetPath.substr(slash + 1);
    targetFolder = folder;
    if (targetFolder.empty() || targetFolder.back() != '\\')
        targetFolder += '\\';
    furtherError = 0;
    nextCabinet = name;
    lastFolderMade.clear();

    for (int cabinets = 0; cabinets < mostCabinetsInSet; ++cabinets) {
        char cabinetName[MAX_PATH];
        char cabinetDir[MAX_PATH];
        if (name.size() >= MAX_PATH || cabinetFolder.size() >= MAX_PATH) {
            furtherError = FDIERROR_CABINET_NOT_FOUND;
            return ReportError();
        }
        strcpy(cabinetName, name.c_str());
        strcpy(cabinetDir, cabinetFolder.c_str());
        if (!CabinetChecksumsMatch(cabinetFolder + name)) {
            furtherError = FDIERROR_CORRUPT_CABINET;
            return ReportError();
        }
        if (!fdiCopy(context, cabinetName, cabinetDir, 0, OnNotify, nullptr, this))
            return ReportError();
        if (lstrcmpiA(nextCabinet.c_str(), name.c_str()) == 0)
            return 1;
        name = nextCabinet;
    }
    furtherError = FDIERROR_WRONG_CABINET;
    return ReportError();
}

int CabinetExtractor::ReportError()
{
    if (furtherError != 0)
        errorRecord.erfOper = furtherError;
    return 0;
}

const char* CabinetExtractor::ErrorText() const
{
    return DecompressionErrorText(errorRecord.erfOper);
}

// ---- notifications from FDICopy -------------------------------------------

INT_PTR CabinetExtractor::OnCopyFile(FDINOTIFICATION* info)
{
    if (listing) {
        listing->push_back({info->psz1 ? info->psz1 : "", info->cb});
        return 0; // skipped: a listing writes nothing
    }
    // A stored name that would land outside the target is never written; the
    // extraction stops as for a file that cannot be created.
    if (!IsSafeStoredName(info->psz1)) {
        furtherError = FDIERROR_TARGET_FILE;
        return -1;
    }
    std::string path = targetFolder + info->psz1;
    if (path.size() >= MAX_PATH) {
        furtherError = FDIERROR_TARGET_FILE;
        return -1;
    }
    // Files of one folder follow each other: its folders are made once.
    std::string folder = FolderOf(path);
    if (folder != lastFolderMade) {
        CreateFoldersOnPath(path);
        lastFolderMade = folder;
    }
    const int flags = _O_BINARY | _O_CREAT | _O_TRUNC | _O_RDWR;
    int handle = _open(path.c_str(), flags, _S_IREAD | _S_IWRITE);
    // An existing read-only, hidden or system file refuses to be replaced
    // until its attributes are reset.
    if (handle == -1 && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        handle = _open(path.c_str(), flags, _S_IREAD | _S_IWRITE);
    }
    if (handle == -1) {
        furtherError = FDIERROR_TARGET_FILE;
        return -1;
    }
    return handle;
}

INT_PTR CabinetExtractor::OnCloseFile(FDINOTIFICATION* info)
{
    // The stored time goes on through the handle still open for writing, so
    // no later write can move it.
    HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(static_cast<int>(info->hf)));
    FILETIME local;
    FILETIME utc;
    if (file != INVALID_HANDLE_VALUE && DosDateTimeToFileTime(info->date, info->time, &local) &&
        LocalFileTimeToFileTime(&local, &utc))
        SetFileTime(file, &utc, nullptr, &utc);
    _close(static_cast<int>(info->hf));
    SetFileAttributesA((targetFolder + info->psz1).c_str(), info->attribs & keptAttributes);
    return TRUE;
}

INT_PTR CabinetExtractor::OnNextCabinet(FDINOTIFICATION* info)
{
    if (info->fdie != FDIERROR_NONE) {
        furtherError = info->fdie;
        return -1;
    }
    nextCabinet = info->psz1 ? info->psz1 : "";
    return 0;
}

FNFDINOTIFY(CabinetExtractor::OnNotify)
{
    CabinetExtractor* self = static_cast<CabinetExtractor*>(pfdin->pv);
    try {
        switch (fdint) {
        case fdintCOPY_FILE: return self->OnCopyFile(pfdin);
        case fdintCLOSE_FILE_INFO: return self->OnCloseFile(pfdin);
        case fdintNEXT_CABINET: return self->OnNextCabinet(pfdin);
        default: return 0;
        }
    } catch (...) {
        self->furtherError = FDIERROR_ALLOC_FAIL;
        return -1;
    }
}
