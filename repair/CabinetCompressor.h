#pragma once
// Writes one cabinet (MSZIP) through the system's Cabinet.dll, loaded at run
// time. Order of use: CreateCabinet, any number of AddFile / AddFolder, Flush.
// Each object makes exactly one cabinet. It shows nothing itself: a call that
// answers 0 leaves its error number and text for the caller to show.

#include <windows.h>
#include <fci.h>

#include <string>

#include "core/Handles.h"

class CabinetCompressor {
public:
    // The largest cabinet callers ask for; anything above is masked off.
    static constexpr unsigned long maxCabinetSize = 0x7FFFFFFF;

    CabinetCompressor();
    // Flushes a cabinet that was begun and not yet flushed (silently).
    ~CabinetCompressor();
    CabinetCompressor(const CabinetCompressor&) = delete;
    CabinetCompressor& operator=(const CabinetCompressor&) = delete;

    // Begins the cabinet at `cabinetPath` (a full path). 1 on success, else 0.
    int CreateCabinet(const std::string& cabinetPath, unsigned long maxSize = maxCabinetSize);
    // Adds one file under its bare file name. 1 when accepted; shows nothing.
    int AddFile(const std::string& filePath);
    // Adds every plain file of `folder` (not of its subfolders), then writes
    // the log "ZipLog.txt" into the folder and adds it last. Always 1.
    int AddFolder(const std::string& folder);
    // Completes the cabinet on disk. 1 on success, else 0.
    int Flush();

    // The error number of the last call that answered 0 (Cabinet.dll's own
    // numbers, or cabErrorNoLibrary / cabErrorInvalidParameters), and its text.
    int ErrorNumber() const { return errorRecord.erfOper; }
    const char* ErrorText() const;

private:
    int Fail(int errorNumber);

    // The callbacks that need the object; the plain file and memory ones
    // are the .cpp file's own.
    static FNFCIGETTEMPFILE(OnTempName);
    static FNFCIGETNEXTCABINET(OnNextCabinet);
    static FNFCIGETOPENINFO(OnOpenInfo);

    ModuleOwner cabinetDll;
    decltype(&FCICreate) fciCreate = nullptr;
    decltype(&FCIAddFile) fciAddFile = nullptr;
    decltype(&FCIFlushCabinet) fciFlushCabinet = nullptr;
    decltype(&FCIDestroy) fciDestroy = nullptr;

    HFCI context = nullptr;
    ERF errorRecord = {};
    CCAB settings = {};
    std::string nameTemplate;
    char tempFolder[MAX_PATH] = {};
    unsigned tempCounter = 1;
    bool pending = false;
    // The file AddFile opened for FCI, until the open-info callback takes it.
    HandleOwner fileToAdd;
};
