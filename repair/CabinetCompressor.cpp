#include "repair/CabinetCompressor.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "repair/CabinetErrors.h"
#include "repair/CabinetLibrary.h"

namespace {

constexpr ULONG folderThreshold = 900000;
constexpr unsigned long smallestCabinet = 20000;
constexpr USHORT cabinetSetId = 12345;
constexpr USHORT keptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE;

// The cabinet name is the template with the cabinet number put in. Only %d
// (and %% for a percent sign) are honoured: a file name is no trusted format,
// and any other conversion in it is kept as text rather than handed to printf.
void FormatCabinetName(char* out, size_t size, const std::string& nameTemplate, int number)
{
    std::string name;
    for (size_t i = 0; i < nameTemplate.size(); ++i) {
        if (nameTemplate[i] == '%' && i + 1 < nameTemplate.size()) {
            char next = nameTemplate[i + 1];
            if (next == 'd') {
                name += std::to_string(number);
                ++i;
                continue;
            }
            if (next == '%') {
                name += '%';
                ++i;
                continue;
            }
        }
        name += nameTemplate[i];
    }
    snprintf(out, size, "%s", name.c_str());
}

void FormatDiskName(CCAB* settings)
{
    snprintf(settings->szDisk, sizeof(settings->szDisk), "Disk %d", settings->iDisk);
    ++settings->iDisk;
}

HANDLE OpenForPacking(const char* path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// The plain file callbacks handed to FCI, on C runtime handles.
FNFCIFILEPLACED(OnFilePlaced)
{
    (void)pccab, (void)pszFile, (void)cbFile, (void)fContinuation, (void)pv;
    return 0;
}

FNFCIOPEN(OnOpen)
{
    (void)pv;
    int handle = _open(pszFile, oflag, pmode);
    if (handle == -1)
        *err = errno;
    return handle;
}

FNFCIREAD(OnRead)
{
    (void)pv;
    int moved = _read(static_cast<int>(hf), memory, cb);
    if (moved < 0 || static_cast<UINT>(moved) != cb)
        *err = errno;
    return static_cast<UINT>(moved);
}

FNFCIWRITE(OnWrite)
{
    (void)pv;
    int moved = _write(static_cast<int>(hf), memory, cb);
    if (moved < 0 || static_cast<UINT>(moved) != cb)
        *err = errno;
    return static_cast<UINT>(moved);
}

FNFCICLOSE(OnClose)
{
    (void)pv;
    int result = _close(static_cast<int>(hf));
    if (result != 0)
        *err = errno;
    return result;
}

FNFCISEEK(OnSeek)
{
    (void)pv;
    long result = _lseek(static_cast<int>(hf), dist, seektype);
    if (result == -1)
        *err = errno;
    return result;
}

FNFCIDELETE(OnDelete)
{
    (void)pv;
    int result = remove(pszFile);
    if (result != 0)
        *err = errno;
    return result;
}

FNFCISTATUS(OnStatus)
{
    (void)typeStatus, (void)cb1, (void)cb2, (void)pv;
    return 0;
}

CabinetCompressor* Owner(void* pv) { return static_cast<CabinetCompressor*>(pv); }

} // namespace

CabinetCompressor::CabinetCompressor()
{
    DWORD length = GetTempPathA(MAX_PATH, tempFolder);
    if (length == 0 || length >= MAX_PATH)
        tempFolder[0] = '\0';
}

CabinetCompressor::~CabinetCompressor()
{
    if (pending)
        Flush();
    if (context)
        fciDestroy(context);
}

int CabinetCompressor::Fail(int errorNumber)
{
    errorRecord.erfOper = errorNumber;
    return 0;
}

const char* CabinetCompressor::ErrorText() const
{
    return CompressionErrorText(errorRecord.erfOper);
}

int CabinetCompressor::CreateCabinet(const std::string& cabinetPath, unsigned long maxSize)
{
    size_t slash = cabinetPath.find_last_of('\\');
    if (slash == std::string::npos || context)
        return Fail(cabErrorInvalidParameters);
    std::string folder = cabinetPath.substr(0, slash + 1);
    std::string name = cabinetPath.substr(slash + 1);
    if (name.empty())
        return Fail(cabErrorInvalidParameters);

    if (!cabinetDll &&
        !LoadCabinetEntries(cabinetDll, std::pair{"FCICreate", &fciCreate},
                            std::pair{"FCIAddFile", &fciAddFile},
                            std::pair{"FCIFlushCabinet", &fciFlushCabinet},
                            std::pair{"FCIDestroy", &fciDestroy})) {
        errorRecord.fError = TRUE;
        return Fail(cabErrorNoLibrary);
    }

    pending = true;

    maxSize &= maxCabinetSize;
    if (folder.size() < 3 || name.size() < 3 || maxSize < smallestCabinet)
        return Fail(cabErrorInvalidParameters);
    if (folder.back() != '\\')
        folder += '\\';
    if (folder.size() >= sizeof(settings.szCabPath))
        return Fail(cabErrorInvalidParameters);
    strcpy(settings.szCabPath, folder.c_str());
    nameTemplate = name;
    settings.cb = maxSize;
    settings.cbFolderThresh = folderThreshold;
    settings.cbReserveCFHeader = 0;
    settings.cbReserveCFFolder = 0;
    settings.cbReserveCFData = 0;
    settings.iCab = 1;
    settings.iDisk = 1;
    settings.fFailOnIncompressible = 0;
    settings.setID = cabinetSetId;
    FormatDiskName(&settings);
    FormatCabinetName(settings.szCab, sizeof(settings.szCab), nameTemplate, settings.iCab);

    context = fciCreate(&errorRecord, OnFilePlaced, CabinetAlloc, CabinetFree, OnOpen, OnRead, OnWrite, OnClose,
                        OnSeek, OnDelete, OnTempName, &settings, this);
    return context ? 1 : 0;
}

int CabinetCompressor::AddFile(const std::string& filePath)
{
    std::string name = filePath;
    size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    pending = true;
    if (!context || filePath.size() >= MAX_PATH)
        return 0;
    // The file is opened here, before FCI sees it, and handed over in the
    // open-info callback. A file that cannot be opened is refused at once:
    // some builds of Cabinet.dll keep a file whose opening failed in their
    // list and then fail the whole cabinet at the flush, which would lose
    // every other file of a backup.
    fileToAdd.Reset(OpenForPacking(filePath.c_str()));
    if (!fileToAdd)
        return 0;
    char source[MAX_PATH];
    char stored[MAX_PATH];
    strcpy(source, filePath.c_str());
    strcpy(stored, name.c_str());
    BOOL added = fciAddFile(context, source, stored, FALSE, OnNextCabinet, OnStatus, OnOpenInfo, tcompTYPE_MSZIP);
    fileToAdd.Reset();
    return added ? 1 : 0;
}

int CabinetCompressor::AddFolder(const std::string& folder)
{
    std::string log;
    std::string base = folder;
    while (!base.empty() && base.back() == '\\')
        base.pop_back();

    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA((folder + "\\*.*").c_str(), &entry));
    if (search) {
        do {
            if (entry.cFileName[0] == '.' || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;
            log += "\r\nAdding File to Zip - ";
            log += entry.cFileName;
            std::string path = base + "\\" + entry.cFileName;
            if (!AddFile(path)) {
                log += "\r\n*Error adding file - ";
                log += path;
            }
        } while (FindNextFileA(search.Get(), &entry));
    }

    // Text mode on purpose: readers of the log expect the line breaks it gives.
    std::string logPath = folder + "\\ZipLog.txt";
    FILE* file = fopen(logPath.c_str(), "wt");
    if (file) {
        fwrite(log.data(), 1, log.size(), file);
        fclose(file);
        AddFile(logPath);
    }
    return 1;
}

int CabinetCompressor::Flush()
{
    pending = false;
    if (!context)
        return 0;
    return fciFlushCabinet(context, FALSE, OnNextCabinet, OnStatus) ? 1 : 0;
}

// ---- callbacks handed to FCI that need the object; they run inside the FCI calls above

// Temporary files are "CabTemp" and a four-digit counter in the temporary
// folder; a name some file already has is passed over.
FNFCIGETTEMPFILE(CabinetCompressor::OnTempName)
{
    CabinetCompressor* self = Owner(pv);
    do {
        snprintf(pszTempName, cbTempName, "%sCabTemp%04u", self->tempFolder, self->tempCounter);
        ++self->tempCounter;
    } while (GetFileAttributesA(pszTempName) != INVALID_FILE_ATTRIBUTES);
    return TRUE;
}

FNFCIGETNEXTCABINET(CabinetCompressor::OnNextCabinet)
{
    (void)cbPrevCab;
    CabinetCompressor* self = Owner(pv);
    FormatCabinetName(pccab->szCab, sizeof(pccab->szCab), self->nameTemplate, pccab->iCab);
    FormatDiskName(pccab);
    return TRUE;
}

// Tells FCI the DOS time stamp of a file it is about to store and the
// attributes worth keeping, and hands it the file as a C runtime handle.
FNFCIGETOPENINFO(CabinetCompressor::OnOpenInfo)
{
    CabinetCompressor* self = Owner(pv);
    HandleOwner file(self->fileToAdd.Release());
    if (!file)
        file.Reset(OpenForPacking(pszName));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !GetFileInformationByHandle(file.Get(), &info)) {
        *err = static_cast<int>(GetLastError());
        return -1;
    }
    FILETIME local;
    *pdate = 0;
    *ptime = 0;
    if (FileTimeToLocalFileTime(&info.ftLastWriteTime, &local))
        FileTimeToDosDateTime(&local, pdate, ptime);
    *pattribs = static_cast<USHORT>(info.dwFileAttributes & keptAttributes);
    // From here the C runtime handle owns the file.
    int handle = _open_osfhandle(reinterpret_cast<intptr_t>(file.Get()), _O_RDONLY | _O_BINARY);
    if (handle == -1)
        *err = errno;
    else
        file.Release();
    return handle;
}
